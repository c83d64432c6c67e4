// Go to line (Ctrl+G): a small dialog that asks for a line number of the
// file, from 1 to the number of lines, and refuses anything else with a
// message, staying open so that the number can be put right.
//
// Thread-safety: interface thread only.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

class QLineEdit;

// What the typed text says.
struct line_entry {
    enum class kind { line, empty, not_a_number, out_of_range };
    kind result = kind::empty;
    int64_t line = 0; // the line (from 1) when result is line
    bool operator==(const line_entry&) const = default;
};

// Reads text as a line number between 1 and line_count: blanks around it
// and digit group separators ("," "." "'" and blanks between digits) are
// allowed, a sign or any other character is not a number, 0 or a number
// beyond line_count (however many digits) is out of range.
line_entry ParseLineEntry(const QString& text, int64_t line_count);

class CGoToLineDlg : public QDialog {
    Q_OBJECT
public:
    // current: the line shown in the field at first (0: none); line_count:
    // the file's lines.
    CGoToLineDlg(int64_t current, int64_t line_count, QWidget* parent = nullptr);

    // The line chosen, from 1; valid once the dialog was accepted.
    int64_t Line() const { return m_line; }
    QLineEdit* Edit() const { return m_edit; }

    void accept() override;

private:
    QLineEdit* m_edit = nullptr;
    int64_t m_line_count = 0;
    int64_t m_line = 0;
};
