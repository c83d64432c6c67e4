// Reading a date-time value whose format has fields of fixed width only
// ("Y-m-d H:M:S.s"): the digits are read straight from their places instead
// of field by field, with the same answer as ParseDataValue.
#pragma once

#include "format/data_format.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A date-time format made ready for many values.  The fast reading applies
// to formats of number letters Y (four digits), m d H M S (two) and s (three),
// each followed by a literal that is not a digit, or ending the format, none
// given twice; every other format (names, 12-hour clock, two-digit years,
// letters in a row) is left to ParseDataValue.
class fixed_datetime {
public:
    fixed_datetime() = default;
    explicit fixed_datetime(const tagDATA_FORMAT& format);

    // Whether the format is read here at all.
    bool usable() const { return m_usable; }

    // When text[0..length) has exactly the format's shape (every field's
    // digits in their places, every literal in its place, nothing more),
    // sets value as ParseDataValue would and returns true; otherwise returns
    // false and leaves value alone, for ParseDataValue to read.
    //
    // Each thread keeps the date and time it read last: a text that begins
    // as that one did, up to its seconds, has only its seconds and
    // milliseconds read (when every time of that date has one offset).
    bool read(const char16_t* text, std::size_t length, tagDATA_VALUE& value) const;

    // The most characters before the seconds that a kept reading compares.
    static constexpr std::size_t kMostKeptPrefix = 64;

private:
    struct field {
        uint8_t slot = 0;  // Y m d H M S s: 0 to 6
        uint8_t place = 0; // where its digits start in the text
        uint8_t width = 0; // how many digits it has
        int16_t least = 0; // the range of the field's number
        int16_t most = 0;
    };
    static constexpr std::size_t kSlots = 7;
    static constexpr std::size_t kMaxFields = kSlots;
    static constexpr std::size_t kMaxShape = 255;
    // The shape is compared eight characters at a time, past its end too.
    static constexpr std::size_t kPaddedShape = (kMaxShape + 7) / 8 * 8;

    bool m_usable = false;
    // The text's shape: each literal as itself, each digit place as 0.
    std::u16string m_shape;
    // The shape again, followed by zeros to a multiple of eight characters,
    // and for each of its places all ones where a literal (or the padding)
    // is, 0 where a digit goes.
    char16_t m_padded_shape[kPaddedShape] = {};
    uint16_t m_literal_at[kPaddedShape] = {};
    field m_fields[kMaxFields];
    std::size_t m_field_count = 0;
    // The kept reading: which reader made it (copies of a reader share its
    // number), the characters it compares (0: none is kept, the seconds or
    // milliseconds come before another field) and the first field after
    // them.
    uint64_t m_number = 0;
    std::size_t m_kept_prefix = 0;
    std::size_t m_first_fine = 0;

    // Whether places [from, length) of text hold the shape's literals and
    // digits.
    bool fits_shape(const char16_t* text, std::size_t length, std::size_t from) const;
};
