#include "dialogs/ipv4_address_ctrl.h"

#include "dialogs/beep.h"
#include "format/data_format.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace {

constexpr int kLargestOctet = 255;

} // namespace

CIPAddressCtrl::CIPAddressCtrl(QWidget* parent) : QFrame(parent)
{
    // One frame around the four fields, with the background of an edit.
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("0000"));
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("octet_%1").arg(i));
        field->setFrame(false);
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), field));
        field->setFixedWidth(width);
        field->setContextMenuPolicy(Qt::NoContextMenu);
        field->installEventFilter(this);
        m_fields[i] = field;
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setBackgroundRole(QPalette::Base);
            layout->addWidget(dot);
        }
        layout->addWidget(field);
        connect(field, &QLineEdit::textEdited, this, [this, i] { OnEdited(static_cast<int>(i)); });
    }
    layout->addStretch(1);
    setFocusProxy(m_fields[0]);
    setFocusPolicy(Qt::StrongFocus);
}

void CIPAddressCtrl::SetAddress(uint32_t address)
{
    for (int i = 0; i < 4; ++i)
        Field(i)->setText(QString::number((address >> (8 * (3 - i))) & 0xFFu));
}

uint32_t CIPAddressCtrl::Address() const
{
    uint32_t address = 0;
    for (const int octet : Fields())
        address = (address << 8) | static_cast<uint32_t>(octet);
    return address;
}

std::array<int, 4> CIPAddressCtrl::Fields() const
{
    std::array<int, 4> octets{};
    for (int i = 0; i < 4; ++i)
        octets[static_cast<std::size_t>(i)] = Field(i)->text().toInt(); // empty reads as 0
    return octets;
}

bool CIPAddressCtrl::IsBlank() const
{
    for (const QLineEdit* field : m_fields)
        if (!field->text().isEmpty())
            return false;
    return true;
}

void CIPAddressCtrl::OnEdited(int index)
{
    QLineEdit* field = Field(index);
    if (field->text().toInt() > kLargestOctet) {
        field->setText(QString::number(kLargestOctet));
        Beep();
    }
    if (field->text().size() == 3 && field->cursorPosition() == 3 && index < 3)
        MoveTo(index + 1, true);
}

void CIPAddressCtrl::MoveTo(int index, bool select_all)
{
    QLineEdit* field = Field(index);
    field->setFocus(Qt::OtherFocusReason);
    if (select_all)
        field->selectAll();
}

bool CIPAddressCtrl::Paste(int index)
{
    const QString text = QApplication::clipboard()->text().trimmed();
    tagDATA_FORMAT ipv4;
    ipv4.data_type = DATA_TYPE_IPV4;
    tagDATA_VALUE value;
    const std::u16string wide = FromQString(text);
    ParseDataValue(value, wide.data(), wide.size(), ipv4);
    if (value.valid) {
        SetAddress(static_cast<uint32_t>(value.payload));
        MoveTo(3, false);
        return true;
    }
    bool digits = !text.isEmpty() && text.size() <= 3;
    for (const QChar c : text)
        digits = digits && c.isDigit();
    if (!digits)
        return false;
    Field(index)->setText(text);
    OnEdited(index);
    return true;
}

bool CIPAddressCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    int index = -1;
    for (int i = 0; i < 4; ++i)
        if (watched == Field(i))
            index = i;
    if (index < 0)
        return QFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = Field(index);
    if (key->matches(QKeySequence::Paste)) {
        if (!Paste(index))
            Beep();
        return true;
    }
    const QString typed = key->text();
    if (typed == QStringLiteral(".") || typed == QStringLiteral(" ")) {
        if (!field->text().isEmpty() && !field->hasSelectedText() && index < 3)
            MoveTo(index + 1, true);
        return true;
    }
    if (typed.size() == 1 && typed.front().isDigit() && field->text().size() == 3 && !field->hasSelectedText()
        && field->cursorPosition() == 3 && index < 3) {
        // A full field passes the digit on to the next one, as if typed there.
        MoveTo(index + 1, true);
        QCoreApplication::sendEvent(Field(index + 1), event);
        return true;
    }
    switch (key->key()) {
    case Qt::Key_Backspace:
        if (field->text().isEmpty() || (field->cursorPosition() == 0 && !field->hasSelectedText())) {
            if (index > 0) {
                MoveTo(index - 1, false);
                Field(index - 1)->end(false);
            }
            return true;
        }
        break;
    case Qt::Key_Left:
        if (field->cursorPosition() == 0 && !field->hasSelectedText() && index > 0) {
            MoveTo(index - 1, false);
            Field(index - 1)->end(false);
            return true;
        }
        break;
    case Qt::Key_Right:
        if (field->cursorPosition() == field->text().size() && !field->hasSelectedText() && index < 3) {
            MoveTo(index + 1, false);
            Field(index + 1)->home(false);
            return true;
        }
        break;
    default: break;
    }
    if (!typed.isEmpty() && typed.front().isPrint() && !typed.front().isDigit()
        && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        Beep();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
