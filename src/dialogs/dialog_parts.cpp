#include "dialogs/dialog_parts.h"

#include "glossant/dictionary_text.h"
#include "ui/ui_text.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>

#include <ctime>

namespace {

dialog_clock& Clock()
{
    static dialog_clock clock;
    return clock;
}

} // namespace

std::u16string FormatText(std::u16string_view key, std::initializer_list<std::u16string> values)
{
    const std::u16string text = DictionaryText(key);
    std::u16string result;
    result.reserve(text.size() + 32);
    auto value = values.begin();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
        if (text[i] != u'%' || (next != u's' && next != u'd' && next != u'%')) {
            result += text[i];
            continue;
        }
        ++i;
        if (next == u'%')
            result += u'%';
        else if (value != values.end())
            result += *value++;
        else
            result += {u'%', next};
    }
    return result;
}

std::u16string NumberText(long long number)
{
    const std::string digits = std::to_string(number);
    return std::u16string(digits.begin(), digits.end());
}

QDialogButtonBox* OkCancelButtons(QDialog& dialog, bool without_cancel)
{
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton(Text(u"IDS_WORD_OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(IdObjectName(1));
    ok->setDefault(true);
    if (!without_cancel) {
        QPushButton* cancel = buttons->addButton(Text(u"IDS_WORD_CANCEL"), QDialogButtonBox::RejectRole);
        cancel->setObjectName(IdObjectName(2));
    }
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

QLabel* FieldLabel(QWidget* parent, std::u16string_view key, QWidget* buddy)
{
    auto* label = new QLabel(Text(key), parent);
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(buddy);
    return label;
}

dialog_clock SetDialogClock(dialog_clock clock)
{
    dialog_clock previous = std::move(Clock());
    Clock() = std::move(clock);
    return previous;
}

int64_t DialogNow()
{
    if (Clock())
        return Clock()();
    return static_cast<int64_t>(std::time(nullptr));
}
