#include "dialogs/mnemonics.h"

#include "ui/ui_text.h"

#include <QAbstractButton>
#include <QLabel>

#include <set>

namespace {

bool IsCandidate(QChar c)
{
    return c.isLetterOrNumber();
}

bool StartsWord(const QString& text, qsizetype i)
{
    return i == 0 || !IsCandidate(text[i - 1]);
}

// The position of the character text takes, or -1.
qsizetype PickPosition(const QString& text, const std::set<QChar>& taken)
{
    for (int pass = 0; pass < 2; ++pass) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (!IsCandidate(text[i]) || (pass == 0 && !StartsWord(text, i)))
                continue;
            if (!taken.count(text[i].toLower()))
                return i;
        }
    }
    return -1;
}

bool HasLetter(const QString& text)
{
    for (const QChar c : text)
        if (c.isLetter())
            return true;
    return false;
}

bool TakesMnemonic(QWidget* widget)
{
    // A label of a number alone (a row number) is no word to pick a letter from.
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->buddy() != nullptr && HasLetter(label->text());
    if (qobject_cast<QAbstractButton*>(widget)) {
        const int id = IdFromObjectName(widget->objectName());
        return id != 1 && id != 2;
    }
    return false;
}

QString TextOf(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    return static_cast<QAbstractButton*>(widget)->text();
}

void SetTextOf(QWidget* widget, const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
    } else {
        static_cast<QAbstractButton*>(widget)->setText(text);
    }
}

} // namespace

std::vector<QString> WithMnemonics(const std::vector<QString>& texts)
{
    std::set<QChar> taken;
    std::vector<QString> marked;
    marked.reserve(texts.size());
    for (const QString& text : texts) {
        const qsizetype position = PickPosition(text, taken);
        if (position >= 0)
            taken.insert(text[position].toLower());
        QString result;
        result.reserve(text.size() + 2);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (i == position)
                result += QLatin1Char('&');
            result += text[i];
            if (text[i] == QLatin1Char('&'))
                result += QLatin1Char('&');
        }
        marked.push_back(result);
    }
    return marked;
}

void AssignMnemonics(QWidget* dialog)
{
    // Field labels choose first, then check boxes and radio buttons, then
    // push buttons: a field's label keeps the first letter of its word.
    std::vector<QWidget*> widgets;
    const QList<QWidget*> children = dialog->findChildren<QWidget*>();
    for (const int rank : {0, 1, 2}) {
        for (QWidget* widget : children) {
            if (!TakesMnemonic(widget))
                continue;
            const int own = qobject_cast<QLabel*>(widget) ? 0 : widget->inherits("QPushButton") ? 2 : 1;
            if (own == rank)
                widgets.push_back(widget);
        }
    }
    std::vector<QString> texts;
    for (QWidget* widget : widgets)
        texts.push_back(TextOf(widget));
    const std::vector<QString> marked = WithMnemonics(texts);
    for (std::size_t i = 0; i < widgets.size(); ++i)
        SetTextOf(widgets[i], marked[i]);
}
