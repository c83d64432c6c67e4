// The state of a number entry and the rules by which keys change it: integer
// digits (empty meaning 0), decimal digits, a decimal-point flag and a
// negative flag.  The shown text is always rebuilt from this state.
//
// A '-' typed while the value is still zero is kept for the digits that
// follow (so '-' then 5 gives -5) but never shown on a zero; removing digits
// down to a zero value drops it.
//
// Thread-safety: none; a value type.
#pragma once

#include <string>

class numeric_entry {
public:
    static constexpr std::size_t kMaxIntegerDigits = 18;        // integers only
    static constexpr std::size_t kMaxDecimalIntegerDigits = 14; // before the point, decimal mode
    static constexpr std::size_t kMaxSignificantDigits = 14;    // decimal mode, without leading zeros
    static constexpr std::size_t kMaxAllDigits = 25;            // decimal mode, every digit

    numeric_entry(bool integers_only, bool grouping) : m_integers_only(integers_only), m_grouping(grouping) {}

    // Applies a typed character; false when it is refused (the control beeps
    // and nothing changes).
    bool Type(char16_t ch);
    // Removes the last decimal digit, else the point, else the last integer digit.
    void Backspace();
    // Clears every digit and both flags.
    void Clear();

    // The shown text: the integer digits ("0" when none) grouped by ','
    // when grouping, then "." and the decimal digits when the point is set,
    // with '-' in front of a negative value that is not zero.
    std::u16string Text() const;

    const std::u16string& IntegerDigits() const { return m_integer; }
    const std::u16string& DecimalDigits() const { return m_decimal; }
    bool HasPoint() const { return m_point; }
    bool Negative() const { return m_negative; }
    bool IsZero() const;
    bool IntegersOnly() const { return m_integers_only; }
    bool Grouping() const { return m_grouping; }

private:
    bool TypeDigit(char16_t digit);

    std::u16string m_integer;
    std::u16string m_decimal;
    bool m_point = false;
    bool m_negative = false;
    bool m_integers_only;
    bool m_grouping;
};
