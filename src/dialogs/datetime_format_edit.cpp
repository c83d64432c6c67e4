#include "dialogs/datetime_format_edit.h"

#include "dialogs/beep.h"
#include "format/datetime.h"
#include "ui/ui_text.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace {

bool IsAsciiLetter(char16_t ch)
{
    return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z');
}

} // namespace

bool DateTimeFormatCharAccepted(std::u16string_view kept, char16_t ch)
{
    if (ch > 127 || (ch >= u'0' && ch <= u'9'))
        return false;
    if (!IsAsciiLetter(ch))
        return true;
    if (!IsDateTimeFormatLetter(ch))
        return false;
    const char16_t letter[1] = {ch};
    return (DateTimeFormatFields(kept) & DateTimeFormatFields(std::u16string_view(letter, 1))) == 0;
}

std::u16string NormalizeDateTimeFormat(std::u16string_view text)
{
    std::u16string result;
    result.reserve(text.size() * 2);
    for (const char16_t ch : text) {
        if (ch > 127)
            continue;
        if (!result.empty() && IsDateTimeFormatLetter(result.back()) && IsDateTimeFormatLetter(ch))
            result.push_back(u' ');
        result.push_back(ch);
    }
    return result;
}

CDateTimeFormatEdit::CDateTimeFormatEdit(QWidget* parent) : QLineEdit(parent)
{}

std::u16string CDateTimeFormatEdit::KeptText() const
{
    std::u16string kept = FromQString(text());
    if (hasSelectedText()) {
        const auto start = static_cast<std::size_t>(selectionStart());
        kept.erase(start, static_cast<std::size_t>(selectedText().size()));
    }
    return kept;
}

bool CDateTimeFormatEdit::Normalize()
{
    const std::u16string normal = NormalizeDateTimeFormat(FromQString(text()));
    if (normal == FromQString(text()))
        return false;
    setText(ToQString(normal));
    selectAll();
    return true;
}

void CDateTimeFormatEdit::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const QString typed = event->text();
    if (!(event->modifiers() & chords) && !typed.isEmpty() && typed.front().isPrint()) {
        const std::u16string kept = KeptText();
        for (const QChar c : typed) {
            if (!DateTimeFormatCharAccepted(kept, c.unicode())) {
                Beep();
                event->accept();
                return;
            }
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CDateTimeFormatEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const std::u16string kept = KeptText();
    for (const QChar c : event->commitString()) {
        if (!DateTimeFormatCharAccepted(kept, c.unicode())) {
            Beep();
            event->accept();
            return;
        }
    }
    QLineEdit::inputMethodEvent(event);
}

void CDateTimeFormatEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    Normalize();
}
