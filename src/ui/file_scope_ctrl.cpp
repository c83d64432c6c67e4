#include "ui/file_scope_ctrl.h"

#include "ui/command_ids.h"
#include "ui/ui_text.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

constexpr int kToolTipDelayMs = 500;
constexpr int kLeaveCheckMs = 100;

const QColor kStripColour(200, 250, 120);
const QColor kWindowColour(50, 150, 255);
const QColor kMouseLineColour(255, 0, 0);

QColor Mix(const QColor& base, const QColor& tint, double weight)
{
    const auto mix = [weight](int a, int b) { return static_cast<int>(a + (b - a) * weight + 0.5); };
    return QColor(mix(base.red(), tint.red()), mix(base.green(), tint.green()), mix(base.blue(), tint.blue()));
}

} // namespace

scope_colours ScopeColours(const QPalette& palette)
{
    const QColor face = palette.color(QPalette::Button);
    // On a light face the strip is light green and the window blue; on a
    // dark face (a dark theme, light button text) the same hues are mixed
    // into the face, so that the size text stays readable over them.
    if (face.lightness() >= 128)
        return {kStripColour, kWindowColour, kMouseLineColour};
    return {Mix(face, kStripColour, 0.3), Mix(face, kWindowColour, 0.55), kMouseLineColour};
}

namespace {

// Tooltip text as markup that shows the plain text exactly: log lines may
// hold characters that a tooltip would otherwise read as rich text.
QString PlainToolTipMarkup(const QString& text)
{
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return QStringLiteral("<p style=\"white-space:pre\">") + html + QStringLiteral("</p>");
}

} // namespace

CFileScopeCtrl::CFileScopeCtrl(QWidget* parent) : QWidget(parent), m_tooltip_timer(this), m_leave_timer(this)
{
    setObjectName(IdObjectName(ids::kFileScopeBar));
    setMouseTracking(true);
    // Every pixel is painted (Qt's backing store keeps the drawing off-screen
    // until it is complete, so the bar never flickers).
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_tooltip_timer.setObjectName(QStringLiteral("tooltip_timer"));
    m_leave_timer.setObjectName(QStringLiteral("leave_timer"));
    m_tooltip_timer.setSingleShot(true);
    m_tooltip_timer.setInterval(kToolTipDelayMs);
    m_leave_timer.setSingleShot(true);
    m_leave_timer.setInterval(kLeaveCheckMs);
    connect(&m_tooltip_timer, &QTimer::timeout, this, &CFileScopeCtrl::OnToolTipTimer);
    connect(&m_leave_timer, &QTimer::timeout, this, &CFileScopeCtrl::OnLeaveTimer);
    m_map.SetClientSize(width(), height());
}

bool CFileScopeCtrl::SetScope(uint64_t file_size, uint64_t total_lines, int64_t window_first, int64_t window_last,
                              uint64_t window_size, line_text_source line_text)
{
    const bool has_line_text = static_cast<bool>(line_text);
    m_map.SetClientSize(width(), height()); // a hidden widget gets its resize event only when shown
    if (!m_map.SetScope(file_size, total_lines, window_first, window_last, window_size, has_line_text))
        return false;
    m_line_text = std::move(line_text);
    m_size_text = ToQString(FileSizeText(FromQString(Text(u"IDS_FILESCOPECTRL_TEXT_FILESIZE")), file_size));
    m_last_tooltip.clear();
    if (!m_map.Active())
        m_dragging = false;
    if (!m_map.TooltipActive()) {
        m_tooltip_timer.stop();
        QToolTip::hideText();
    }
    UpdateCursor();
    update();
    return true;
}

QSize CFileScopeCtrl::sizeHint() const
{
    return {200, fontMetrics().height() + 6};
}

QSize CFileScopeCtrl::minimumSizeHint() const
{
    return {40, fontMetrics().height() + 2};
}

QString CFileScopeCtrl::LineText(int64_t line) const
{
    std::u16string text;
    if (line < 0 || !m_line_text || !m_line_text(static_cast<uint64_t>(line), text))
        return {};
    return ToQString(text);
}

QString CFileScopeCtrl::ToolTipTextAt(int x) const
{
    if (!m_map.TooltipActive())
        return {};
    const scope_tooltip_lines lines = m_map.TooltipLines(x, m_dragging, m_drag_start);
    if (lines.first < 0)
        return {};
    if (lines.second < 0)
        return LineText(lines.first);
    const std::u16string joined =
        JoinLinePreviews(FromQString(LineText(lines.first)), FromQString(LineText(lines.second)));
    return ToQString(joined).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

bool CFileScopeCtrl::MouseInInner() const
{
    return m_mouse.x() >= 0 && m_map.InInner(m_mouse.x(), m_mouse.y());
}

void CFileScopeCtrl::UpdateCursor()
{
    if (m_map.Active() && (MouseInInner() || m_dragging))
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void CFileScopeCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_map.SetClientSize(width(), height());
    if (m_dragging) {
        const auto [start, end] = m_map.DragSegment(m_drag_start);
        m_drag_start = start;
        m_drag_end = end;
    }
}

void CFileScopeCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Button));

    const scope_rect& in = m_map.Inner();
    const QRect inner(in.left, in.top, in.width(), in.height());
    if (m_map.Active() && inner.isValid()) {
        const scope_colours scope = ScopeColours(colours);
        painter.fillRect(inner, scope.strip);
        const bool has_segment = m_map.SegmentStart() >= 0;
        const QRect segment(m_map.SegmentStart(), inner.top(), m_map.SegmentEnd() - m_map.SegmentStart(),
                            inner.height());
        if (m_dragging) {
            painter.setBrush(Qt::NoBrush);
            if (has_segment) {
                painter.setPen(QPen(scope.window, 1, Qt::SolidLine));
                painter.drawRect(segment.adjusted(0, 0, -1, -1));
            }
            painter.setPen(QPen(scope.window, 1, Qt::DotLine));
            const QRect drag(m_drag_start, inner.top(), m_drag_end - m_drag_start, inner.height());
            if (drag.width() < 3)
                painter.drawRect(drag.adjusted(0, 0, -1, -1));
            else
                painter.drawRoundedRect(drag.adjusted(0, 0, -1, -1), 2, 2);
        } else {
            if (has_segment)
                painter.fillRect(segment, scope.window);
            if (MouseInInner() && !m_map.InSegment(m_mouse.x())) {
                painter.setPen(QPen(scope.mouse_line, 1));
                painter.drawLine(m_mouse.x(), inner.top(), m_mouse.x(), inner.bottom());
            }
        }
        painter.setPen(colours.color(QPalette::ButtonText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_size_text);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(colours.color(QPalette::Dark), 1));
        painter.drawRoundedRect(rect().adjusted(0, 0, -1, -1), 2, 2);
    } else {
        painter.setPen(colours.color(QPalette::ButtonText));
        painter.drawText(rect().adjusted(in.left + 2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_size_text);
    }
}

void CFileScopeCtrl::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    m_mouse = pos;
    if (event->button() != Qt::LeftButton || !m_map.Active() || !m_map.InInner(pos.x(), pos.y())) {
        QWidget::mousePressEvent(event);
        return;
    }
    const auto [start, end] = m_map.DragSegment(pos.x());
    m_dragging = true;
    m_drag_start = start;
    m_drag_end = end;
    m_leave_timer.stop();
    QToolTip::hideText();
    UpdateCursor();
    update();
    emit DragStarted();
}

void CFileScopeCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (pos == m_mouse)
        return;
    m_mouse = pos;
    if (m_map.TooltipActive())
        m_tooltip_timer.start();
    if (m_dragging) {
        const auto [start, end] = m_map.DragSegment(pos.x());
        m_drag_start = start;
        m_drag_end = end;
        if (QToolTip::isVisible())
            QToolTip::hideText();
    } else {
        m_leave_timer.start();
    }
    UpdateCursor();
    update();
}

void CFileScopeCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    const int64_t line = m_map.PixelToLine(m_drag_start);
    m_mouse = event->position().toPoint();
    UpdateCursor();
    update();
    if (line >= 0)
        emit LineRequested(line);
}

void CFileScopeCtrl::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (m_dragging)
        return;
    m_mouse = QPoint(-1, -1);
    m_tooltip_timer.stop();
    update();
}

void CFileScopeCtrl::OnToolTipTimer()
{
    if (!m_map.TooltipActive() || !MouseInInner())
        return;
    const QString text = ToolTipTextAt(m_mouse.x());
    if (text.isEmpty())
        return;
    m_last_tooltip = text;
    const scope_rect& in = m_map.Inner();
    QToolTip::showText(mapToGlobal(m_mouse + QPoint(0, height())), PlainToolTipMarkup(text), this,
                       QRect(in.left, in.top, in.width(), in.height()));
}

void CFileScopeCtrl::OnLeaveTimer()
{
    if (!MouseInInner())
        update();
}
