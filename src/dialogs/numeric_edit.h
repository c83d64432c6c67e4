// A number entry that keeps its digits itself (numeric_entry) and shows them
// formatted, right-aligned, with the caret always after the last character.
// Backspace removes the last digit (or the point), Delete clears everything,
// refused characters beep.  The mouse only gives the control the focus;
// nothing can be selected.  Pasting types the pasted characters one by one.
// The owner reads the shown text (text()).
//
// Thread-safety: interface thread only.
#pragma once

#include "dialogs/numeric_entry.h"

#include <QLineEdit>

class CNumericEdit : public QLineEdit {
    Q_OBJECT
public:
    CNumericEdit(bool integers_only, bool grouping, QWidget* parent = nullptr);

    const numeric_entry& Entry() const { return m_entry; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Types every character of text; beeps once when any is refused.
    void TypeText(const QString& text, bool skip_group_separators);
    void Render();

    numeric_entry m_entry;
};
