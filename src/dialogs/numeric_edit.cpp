#include "dialogs/numeric_edit.h"

#include "dialogs/beep.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

CNumericEdit::CNumericEdit(bool integers_only, bool grouping, QWidget* parent)
    : QLineEdit(parent), m_entry(integers_only, grouping)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setContextMenuPolicy(Qt::NoContextMenu);
    setDragEnabled(false);
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    Render();
}

void CNumericEdit::Render()
{
    const QString shown = ToQString(m_entry.Text());
    if (shown != text())
        setText(shown);
    deselect();
    setCursorPosition(static_cast<int>(shown.size()));
}

void CNumericEdit::TypeText(const QString& typed, bool skip_group_separators)
{
    bool refused = false;
    for (const QChar c : typed) {
        if (skip_group_separators && c == QLatin1Char(','))
            continue;
        if (!m_entry.Type(c.unicode()))
            refused = true;
    }
    if (refused)
        Beep();
    Render();
}

void CNumericEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_Tab
        || key == Qt::Key_Backtab) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        TypeText(QApplication::clipboard()->text(), true);
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(text());
        return;
    }
    if (key == Qt::Key_Backspace) {
        m_entry.Backspace();
        Render();
        return;
    }
    if (key == Qt::Key_Delete) {
        m_entry.Clear();
        Render();
        return;
    }
    const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->modifiers() & chords) {
        event->ignore(); // shortcuts and mnemonics belong to the dialog
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.front().isPrint()) {
        TypeText(typed, false);
        return;
    }
    // Caret movement and selection keys do nothing: the caret stays at the end.
    event->accept();
}

void CNumericEdit::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty())
        TypeText(event->commitString(), false);
    event->accept();
}

void CNumericEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    Render();
}

void CNumericEdit::mousePressEvent(QMouseEvent* event)
{
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    Render();
    event->accept();
}

void CNumericEdit::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void CNumericEdit::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void CNumericEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    Render();
    event->accept();
}
