// Colours are kept as 0x00BBGGRR integers in models and files; these two
// helpers are the only place where they meet QColor.
#pragma once

#include <QColor>

#include <cstdint>

// The colour of a 0x00BBGGRR value (the top byte is ignored).
inline QColor ColorFromRef(uint32_t ref)
{
    return QColor(static_cast<int>(ref & 0xFFu), static_cast<int>((ref >> 8) & 0xFFu),
                  static_cast<int>((ref >> 16) & 0xFFu));
}

// The 0x00BBGGRR value of colour (alpha is dropped).
inline uint32_t RefFromColor(const QColor& colour)
{
    return static_cast<uint32_t>(colour.red()) | static_cast<uint32_t>(colour.green()) << 8
           | static_cast<uint32_t>(colour.blue()) << 16;
}
