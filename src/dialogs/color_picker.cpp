#include "dialogs/color_picker.h"

#include "ui/color_ref.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

CFGColorPicker::CFGColorPicker(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setProperty("window_class", QStringLiteral("FGColorPicker"));
}

void CFGColorPicker::SetColor(uint32_t color)
{
    m_color = color & 0x00FFFFFFu;
    update();
}

void CFGColorPicker::SetColorDialog(color_dialog dialog)
{
    m_dialog = std::move(dialog);
}

std::optional<uint32_t> CFGColorPicker::StandardColorDialog(uint32_t initial, QWidget* parent)
{
    const QColor chosen = QColorDialog::getColor(ColorFromRef(initial), parent);
    if (!chosen.isValid())
        return std::nullopt;
    return RefFromColor(chosen);
}

void CFGColorPicker::PickColor()
{
    const std::optional<uint32_t> chosen = m_dialog ? m_dialog(m_color, this) : StandardColorDialog(m_color, this);
    if (!chosen)
        return;
    SetColor(*chosen);
    repaint();
    emit ColorPicked(m_color);
}

QSize CFGColorPicker::sizeHint() const
{
    const int h = fontMetrics().height() + 6;
    return {h * 2, h};
}

void CFGColorPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), ColorFromRef(m_color));
    painter.setPen(palette().color(isEnabled() ? QPalette::Dark : QPalette::Mid));
    painter.drawRect(frame);
    if (hasFocus()) {
        // A second, inner frame in the highlight colour marks the keyboard focus.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(rect().adjusted(2, 2, -2, -2));
    }
}

void CFGColorPicker::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && isEnabled()) {
        event->accept();
        PickColor();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CFGColorPicker::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        event->accept();
        PickColor();
        return;
    }
    QWidget::keyPressEvent(event);
}
