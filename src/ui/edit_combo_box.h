// An editable drop-down that behaves like an edit for its owner: every change
// of its text by the user is reported (EditChange), and the caret and text
// selection survive the control losing and regaining the keyboard focus.
// Choosing an entry from the list is reported by QComboBox::activated, not
// by EditChange.  The box never completes or inserts entries by itself.
//
// Thread-safety: interface thread only.
#pragma once

#include <QComboBox>

class CEditComboBox : public QComboBox {
    Q_OBJECT
public:
    // The caret and selection of the edit part: [start, start + length), the
    // caret at cursor (at one end of the selection when there is one).
    struct selection {
        int start = 0;
        int length = 0;
        int cursor = 0;
        bool operator==(const selection&) const = default;
    };

    explicit CEditComboBox(QWidget* parent = nullptr);

    // The selection remembered last (on a change, while focused, or on losing the focus).
    selection SavedSelection() const { return m_saved; }
    // The edit part's selection now.
    selection CurrentSelection() const;

signals:
    // The user changed the text of the edit part (typing, deleting, pasting, cutting, undo).
    void EditChange(const QString& text);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Remember();
    void Restore();

    selection m_saved;
    bool m_focused = false;
};
