#include "ui/status_bar_ctrl.h"

#include "logfile/line_text.h"
#include "ui/command_ids.h"
#include "ui/dialog_units.h"
#include "ui/file_scope_ctrl.h"
#include "ui/ui_text.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QSizeGrip>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// Right edges of parts 0 to 3, in units of m.
constexpr std::array<int, 4> kPartEnds = {13, 26, 38, 47};
constexpr int kTextPadding = 4;

} // namespace

encoding_choice EncodingChoice(bool has_file, bool has_bom, int32_t encoding)
{
    encoding_choice choice;
    if (!has_file)
        return choice;
    if (!has_bom && encoding != ENCODING_UNKNOWN) {
        choice.entries = {QStringLiteral("ANSI"), QStringLiteral("UTF-8")};
        choice.selected = encoding == ENCODING_UTF8 ? 1 : 0;
        choice.enabled = true;
        return choice;
    }
    choice.entries = {Text(u"IDS_WORD_UNKNOWN"), QStringLiteral("UCS-2(LE)"), QStringLiteral("UCS-2(BE)"),
                      QStringLiteral("UTF-8")};
    switch (encoding) {
    case ENCODING_UCS2LE: choice.selected = 1; break;
    case ENCODING_UCS2BE: choice.selected = 2; break;
    case ENCODING_UTF8: choice.selected = 3; break;
    default: choice.selected = 0; break;
    }
    return choice;
}

CLVStatusBarCtrl::CLVStatusBarCtrl(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("status_bar"));
    setSizeGripEnabled(true);
    for (std::size_t i = 0; i < m_texts.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("status_part_%1").arg(i));
        label->setContentsMargins(kTextPadding, 0, kTextPadding, 0);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        m_texts[i] = label;
    }
    auto note = [this](const char* name, const char16_t* tip) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setContentsMargins(kTextPadding, 0, kTextPadding, 0);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        if (tip)
            label->setToolTip(Text(tip));
        label->hide();
        return label;
    };
    m_packing_note = note("status_packing_note", u"IDS_STATUSBAR_TIP_PACKED");
    m_binary_note = note("status_binary_note", u"IDS_STATUSBAR_TIP_BINARY");
    m_cut_note = note("status_cut_note", u"IDS_STATUSBAR_TIP_LONG_LINES_CUT");
    m_line_part = note("status_line_part", nullptr);
    m_encoding = new QComboBox(this);
    m_encoding->setObjectName(IdObjectName(ids::kEncodingBox));
    m_encoding->setEnabled(false);
    m_encoding->setFocusPolicy(Qt::StrongFocus);
    connect(m_encoding, &QComboBox::activated, this, [this](int index) {
        if (!m_encoding->isEnabled() || m_encoding->count() != 2)
            return;
        const int32_t wanted = index == 1 ? ENCODING_UTF8 : ENCODING_ANSI;
        if (wanted == m_file_encoding)
            return;
        m_file_encoding = wanted;
        emit EncodingChosen(wanted);
    });
    m_scope = new CFileScopeCtrl(this);
    LayoutParts();
}

void CLVStatusBarCtrl::SetStatusTexts(const status_texts& texts)
{
    m_total_text = ToQString(texts.total);
    if (m_note.isEmpty())
        m_texts[0]->setText(m_total_text);
    m_texts[1]->setText(ToQString(texts.filtered));
    m_texts[2]->setText(ToQString(texts.selected));
    SetNote(m_packing_note, ToQString(texts.packing));
    SetNote(m_binary_note, ToQString(texts.binary));
    SetNote(m_cut_note, ToQString(texts.cut));
    SetNote(m_line_part, ToQString(texts.line));
}

void CLVStatusBarCtrl::SetNote(QLabel* note, const QString& text)
{
    if (text == note->text() && text.isEmpty() != note->isVisibleTo(this))
        return;
    note->setText(text);
    note->setVisible(!text.isEmpty());
    LayoutParts();
    update();
}

void CLVStatusBarCtrl::ShowNote(const QString& text, int milliseconds)
{
    if (!m_note_timer) {
        m_note_timer = new QTimer(this);
        m_note_timer->setSingleShot(true);
        connect(m_note_timer, &QTimer::timeout, this, [this] { ClearNote(); });
    }
    if (m_note.isEmpty())
        m_total_text = m_texts[0]->text();
    m_note = text;
    m_texts[0]->setText(text);
    m_texts[0]->setToolTip(text);
    m_note_timer->start(milliseconds);
}

void CLVStatusBarCtrl::ClearNote()
{
    if (m_note_timer)
        m_note_timer->stop();
    if (m_note.isEmpty())
        return;
    m_note.clear();
    m_texts[0]->setText(m_total_text);
    m_texts[0]->setToolTip(QString());
}

void CLVStatusBarCtrl::SetEncoding(bool has_file, bool has_bom, int32_t encoding)
{
    m_file_encoding = encoding;
    const encoding_choice choice = EncodingChoice(has_file, has_bom, encoding);
    m_encoding->setEnabled(false);
    m_encoding->clear();
    for (const QString& entry : choice.entries)
        m_encoding->addItem(entry);
    m_encoding->setCurrentIndex(choice.selected);
    m_encoding->setEnabled(choice.enabled);
}

int CLVStatusBarCtrl::PartUnit() const
{
    return DialogUnitsX(fontMetrics(), 6);
}

int CLVStatusBarCtrl::PartsRight() const
{
    int right = width();
    // The grip sits at the right edge, but the bar's own layout may not have
    // moved it there yet when the parts are laid out: go by its width.
    if (const auto* grip = findChild<QSizeGrip*>(); isSizeGripEnabled() && grip && !grip->isHidden())
        right -= grip->sizeHint().width();
    return std::max(0, right);
}

QRect CLVStatusBarCtrl::PartRect(int index) const
{
    const int m = PartUnit();
    const int right = PartsRight();
    auto end = [&](int i) {
        return i < 0 ? 0 : i >= static_cast<int>(kPartEnds.size()) ? right : std::min(right, kPartEnds[i] * m);
    };
    const int left = end(index - 1);
    return QRect(left, 0, std::max(0, end(index) - left), height());
}

void CLVStatusBarCtrl::LayoutParts()
{
    for (int i = 0; i < 3; ++i)
        m_texts[static_cast<std::size_t>(i)]->setGeometry(PartRect(i).adjusted(1, 1, -1, -1));
    m_encoding->setGeometry(PartRect(3).adjusted(1, 1, -1, -1));
    QRect scope = PartRect(4);
    for (QLabel* note : {m_packing_note, m_line_part, m_binary_note, m_cut_note}) {
        if (!note->isVisibleTo(this))
            continue;
        const int width = std::min(scope.width(), note->sizeHint().width() + 2);
        note->setGeometry(QRect(scope.left(), scope.top(), width, scope.height()).adjusted(1, 1, -1, -1));
        scope.setLeft(scope.left() + width);
    }
    m_scope->setGeometry(scope.adjusted(1, 1, -1, -1));
}

QSize CLVStatusBarCtrl::sizeHint() const
{
    const int height =
        std::max({QStatusBar::sizeHint().height(), m_encoding->sizeHint().height() + 2, fontMetrics().height() + 8});
    return {kPartEnds.back() * PartUnit() + 100, height};
}

QSize CLVStatusBarCtrl::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void CLVStatusBarCtrl::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    LayoutParts();
}

void CLVStatusBarCtrl::showEvent(QShowEvent* event)
{
    QStatusBar::showEvent(event);
    LayoutParts();
}

void CLVStatusBarCtrl::changeEvent(QEvent* event)
{
    QStatusBar::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateGeometry();
        LayoutParts();
    }
}

void CLVStatusBarCtrl::paintEvent(QPaintEvent* event)
{
    QStatusBar::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width() - 1, 0);
    // Dividers after the three text parts.
    const int inset = std::max(3, height() / 5);
    for (int i = 0; i < 3; ++i) {
        const QRect part = PartRect(i);
        if (part.width() > 0)
            painter.drawLine(part.right(), inset, part.right(), height() - 1 - inset);
    }
    for (const QLabel* note : {m_packing_note, m_line_part, m_binary_note, m_cut_note}) {
        if (!note->isVisibleTo(this))
            continue;
        const int right = note->geometry().right() + 1;
        painter.drawLine(right, inset, right, height() - 1 - inset);
    }
}
