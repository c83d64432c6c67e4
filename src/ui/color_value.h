// Colour values as the models and files keep them (0x00BBGGRR) and as Qt
// paints them.  The one place where the two meet.
#pragma once

#include <QColor>

#include <cstdint>

// The opaque colour of a 0x00BBGGRR value; the top byte is ignored.
inline QColor ColorFromValue(int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    return QColor(static_cast<int>(bits & 0xFFu), static_cast<int>((bits >> 8) & 0xFFu),
                  static_cast<int>((bits >> 16) & 0xFFu));
}

// The 0x00BBGGRR value of color; alpha is dropped.
inline int32_t ValueFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<int32_t>(static_cast<uint32_t>(rgb.red()) | (static_cast<uint32_t>(rgb.green()) << 8)
                                | (static_cast<uint32_t>(rgb.blue()) << 16));
}
