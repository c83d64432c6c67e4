// An edit that only lets well-formed date-time formats be typed: a letter is
// taken only when it is a format letter whose field the text does not hold
// yet; digits and characters above 127 are refused with a beep.  Leaving the
// control (or Normalize, which the owner calls before reading the text at OK)
// drops characters above 127 and puts a space between adjacent format
// letters; when that changes the text, it is selected entirely.
//
// Thread-safety: interface thread only.
#pragma once

#include <QLineEdit>

#include <string>
#include <string_view>

// Whether typing ch is accepted when the control would keep the text kept
// (its text without the current selection).  ASCII letters must be format
// letters whose field kept does not hold; digits and characters above 127 are
// refused; everything else (punctuation, space, control characters) is taken.
bool DateTimeFormatCharAccepted(std::u16string_view kept, char16_t ch);

// text without characters above 127 and with a space between every two
// adjacent format letters.
std::u16string NormalizeDateTimeFormat(std::u16string_view text);

class CDateTimeFormatEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CDateTimeFormatEdit(QWidget* parent = nullptr);

    // Normalises the text; true when it changed (the text is then selected).
    bool Normalize();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The text the control keeps when typing replaces the selection.
    std::u16string KeptText() const;
};
