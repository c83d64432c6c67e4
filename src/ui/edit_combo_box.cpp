#include "ui/edit_combo_box.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>

#include <algorithm>

CEditComboBox::CEditComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    QLineEdit* edit = lineEdit();
    connect(edit, &QLineEdit::textEdited, this, [this](const QString& text) {
        Remember();
        emit EditChange(text);
    });
    connect(edit, &QLineEdit::cursorPositionChanged, this, [this] {
        if (m_focused)
            Remember();
    });
    connect(edit, &QLineEdit::selectionChanged, this, [this] {
        if (m_focused)
            Remember();
    });
}

CEditComboBox::selection CEditComboBox::CurrentSelection() const
{
    const QLineEdit* edit = lineEdit();
    selection s;
    s.cursor = edit->cursorPosition();
    if (edit->hasSelectedText()) {
        s.start = edit->selectionStart();
        s.length = edit->selectionLength();
    } else {
        s.start = s.cursor;
    }
    return s;
}

void CEditComboBox::Remember()
{
    m_saved = CurrentSelection();
}

void CEditComboBox::Restore()
{
    QLineEdit* edit = lineEdit();
    const int size = static_cast<int>(edit->text().size());
    const int start = std::clamp(m_saved.start, 0, size);
    const int length = std::clamp(m_saved.length, 0, size - start);
    if (length == 0) {
        edit->setCursorPosition(std::clamp(m_saved.cursor, 0, size));
        return;
    }
    // A selection made leftwards keeps its caret at the start.
    if (m_saved.cursor == m_saved.start)
        edit->setSelection(start + length, -length);
    else
        edit->setSelection(start, length);
}

void CEditComboBox::focusOutEvent(QFocusEvent* event)
{
    if (event->reason() != Qt::PopupFocusReason && !(QApplication::mouseButtons() & Qt::LeftButton))
        Remember();
    m_focused = false;
    QComboBox::focusOutEvent(event);
}

void CEditComboBox::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    // A click puts the caret where the user clicked; every other way back keeps the old place.
    if (event->reason() != Qt::PopupFocusReason && !(QApplication::mouseButtons() & Qt::LeftButton))
        Restore();
    m_focused = true;
}
