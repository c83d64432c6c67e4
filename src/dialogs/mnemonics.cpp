#include "dialogs/mnemonics.h"

#include "ui/ui_text.h"

#include <QAbstractButton>
#include <QLabel>

#include <map>
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

namespace {

// The candidate positions of text, word starts first, then the others.
std::vector<qsizetype> CandidatePositions(const QString& text)
{
    std::vector<qsizetype> positions;
    for (int pass = 0; pass < 2; ++pass)
        for (qsizetype i = 0; i < text.size(); ++i)
            if (IsCandidate(text[i]) && (pass == 0) == StartsWord(text, i))
                positions.push_back(i);
    return positions;
}

// Gives text `which` a letter by moving earlier holders to other letters of
// their own where that frees one (an augmenting path); false when no chain
// of moves does.
bool TakeByMoving(std::size_t which, const std::vector<QString>& texts, std::vector<qsizetype>& positions,
                  std::map<QChar, std::size_t>& holder, std::set<QChar>& tried)
{
    for (const qsizetype i : CandidatePositions(texts[which])) {
        const QChar letter = texts[which][i].toLower();
        if (!tried.insert(letter).second)
            continue;
        const auto held = holder.find(letter);
        if (held != holder.end() && !TakeByMoving(held->second, texts, positions, holder, tried))
            continue;
        positions[which] = i;
        holder[letter] = which;
        return true;
    }
    return false;
}

} // namespace

std::vector<QString> WithMnemonics(const std::vector<QString>& texts)
{
    std::set<QChar> taken;
    std::map<QChar, std::size_t> holder;
    std::vector<qsizetype> positions(texts.size(), -1);
    for (std::size_t t = 0; t < texts.size(); ++t) {
        const qsizetype position = PickPosition(texts[t], taken);
        if (position >= 0) {
            positions[t] = position;
            taken.insert(texts[t][position].toLower());
            holder[texts[t][position].toLower()] = t;
            continue;
        }
        // Every letter of this text is taken: an earlier text may give one
        // up for another of its own.
        std::set<QChar> tried;
        if (TakeByMoving(t, texts, positions, holder, tried)) {
            taken.clear();
            for (const auto& entry : holder)
                taken.insert(entry.first);
        }
    }
    std::vector<QString> marked;
    marked.reserve(texts.size());
    for (std::size_t t = 0; t < texts.size(); ++t) {
        const QString& text = texts[t];
        QString result;
        result.reserve(text.size() + 2);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (i == positions[t])
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
