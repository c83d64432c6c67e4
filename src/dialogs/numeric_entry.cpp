#include "dialogs/numeric_entry.h"

#include <algorithm>

namespace {

bool AllZero(const std::u16string& digits)
{
    return std::all_of(digits.begin(), digits.end(), [](char16_t c) { return c == u'0'; });
}

} // namespace

bool numeric_entry::IsZero() const
{
    return AllZero(m_integer) && AllZero(m_decimal);
}

bool numeric_entry::TypeDigit(char16_t digit)
{
    if (m_integers_only || !m_point) {
        if (m_integer == u"0") {
            m_integer.assign(1, digit);
            return true;
        }
        const std::size_t limit = m_integers_only ? kMaxIntegerDigits : kMaxDecimalIntegerDigits;
        if (m_integer.size() >= limit)
            return false;
        m_integer.push_back(digit);
        return true;
    }
    const std::u16string all = m_integer + m_decimal;
    const std::size_t leading_zeros = std::min(all.find_first_not_of(u'0'), all.size());
    if (all.size() - leading_zeros >= kMaxSignificantDigits || all.size() >= kMaxAllDigits)
        return false;
    m_decimal.push_back(digit);
    return true;
}

bool numeric_entry::Type(char16_t ch)
{
    if (ch == u'-') {
        m_negative = true;
        return true;
    }
    if (ch == u'+') {
        m_negative = false;
        return true;
    }
    if (ch >= u'0' && ch <= u'9')
        return TypeDigit(ch);
    if (ch == u'.' && !m_integers_only && !m_point) {
        m_point = true;
        return true;
    }
    return false;
}

void numeric_entry::Backspace()
{
    if (!m_integers_only && m_point) {
        if (!m_decimal.empty())
            m_decimal.pop_back();
        else
            m_point = false;
    } else if (!m_integer.empty()) {
        m_integer.pop_back();
    }
    if (IsZero())
        m_negative = false;
}

void numeric_entry::Clear()
{
    m_integer.clear();
    m_decimal.clear();
    m_point = false;
    m_negative = false;
}

std::u16string numeric_entry::Text() const
{
    const std::u16string digits = m_integer.empty() ? std::u16string(u"0") : m_integer;
    std::u16string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (m_grouping && i > 0 && (digits.size() - i) % 3 == 0)
            text.push_back(u',');
        text.push_back(digits[i]);
    }
    if (!m_integers_only && m_point)
        text += u"." + m_decimal;
    if (m_negative && !IsZero())
        text.insert(text.begin(), u'-');
    return text;
}
