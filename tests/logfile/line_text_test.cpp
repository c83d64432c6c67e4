// Line bytes to text against the platform conversions, for lengths on both
// sides of every sixteen-byte step and a non-ASCII byte at every place.
#include "logfile/line_text.h"
#include "platform/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

std::u16string reference(int32_t encoding, std::string bytes)
{
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string::npos)
        bytes.resize(zero);
    std::u16string out;
    if (encoding == ENCODING_UTF8)
        return Utf8ToWide(bytes, out) ? out : FromUtf8(bytes);
    if (AnsiToWide(bytes, out))
        return out;
    out.clear();
    for (char c : bytes)
        out.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : u'\uFFFD');
    return out;
}

TEST(logfile_LineText, OneByteTextsAgreeWithThePlatformConversions)
{
    std::mt19937 rng(5);
    for (int32_t encoding : {ENCODING_ANSI, ENCODING_UTF8}) {
        for (std::size_t length = 0; length <= 70; ++length) {
            for (int round = 0; round < 40; ++round) {
                std::string bytes(length, 'a');
                for (char& c : bytes)
                    c = static_cast<char>(0x20 + rng() % 0x5F);
                if (length > 0 && round % 2 == 0) {
                    // One non-ASCII byte (or a UTF-8 pair) somewhere, or a zero.
                    const std::size_t at = rng() % length;
                    const char* inserts[] = {"\xC3\xA9", "\xE9", "\x80", "\0"};
                    const char* insert = inserts[rng() % 4];
                    bytes.replace(at, 1, std::string(insert, std::max<std::size_t>(std::strlen(insert), 1)));
                }
                std::u16string out = u"stale";
                ASSERT_TRUE(line_bytes_to_text(encoding, bytes.data(), bytes.size(), out));
                ASSERT_EQ(out, reference(encoding, bytes)) << "length " << length << " encoding " << encoding;
            }
        }
    }
}

} // namespace
