// UTF-16 text to the bytes of an export: UTF-8, or the system ANSI code page.
//
// Thread-safety: an encoder serves one thread (the ANSI encoder fills a
// table of characters as it meets them).
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

// How the text of an export becomes bytes.
enum class output_encoding {
    utf8, // UTF-8; an unpaired surrogate becomes U+FFFD
    ansi, // the system ANSI code page; a character it cannot hold becomes "?"
};

class text_encoder {
public:
    // An ANSI encoder whose code page turns out to be UTF-8 encodes UTF-8.
    explicit text_encoder(output_encoding encoding);
    ~text_encoder();
    text_encoder(const text_encoder&) = delete;
    text_encoder& operator=(const text_encoder&) = delete;

    // The encoding actually written.
    output_encoding encoding() const { return m_encoding; }

    // The most bytes one unit of text can take, a doubled quotation mark
    // included: what the caller reserves per unit.
    std::size_t max_bytes_per_unit() const { return m_max_bytes_per_unit; }

    // Encodes text at out, with every quotation mark twice when
    // double_quotes, and returns the end of what was written.  out must
    // hold max_bytes_per_unit() bytes per unit.  A surrogate pair split at
    // the end of text counts as unpaired.
    char* encode(char* out, std::u16string_view text, bool double_quotes);

private:
    class ansi_table;

    output_encoding m_encoding;
    std::unique_ptr<ansi_table> m_ansi;
    std::size_t m_max_bytes_per_unit;
};
