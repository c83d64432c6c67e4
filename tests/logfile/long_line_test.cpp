// Every line is a line: lines longer than a line's text can hold are indexed
// with their whole length and shown cut, in every encoding, both index
// directions and with every line end; the window, its filters and the
// preview see the part shown.
#include "index_helpers.h"
#include "logfile/log_file.h"
#include "parser/default_parser.h"
#include "support/bounded_wait.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

class logfile_LongLines : public ::testing::Test {
protected:
    void SetUp() override { setenv("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252", 1); }
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(kTestWaitMs), 0); }

    temp_folder folder;
};

enum class text_encoding { ansi, utf8, ucs2le, ucs2be };

// The file's bytes for lines joined by end, with the encoding's mark.
std::string encode(const std::u16string& text, text_encoding encoding)
{
    switch (encoding) {
    case text_encoding::ansi: return std::string(text.begin(), text.end());
    case text_encoding::utf8: {
        std::string out = "\xEF\xBB\xBF";
        for (char16_t c : text) {
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
            } else {
                // Only U+00E9 is used above ASCII.
                out += "\xC3\xA9";
            }
        }
        return out;
    }
    case text_encoding::ucs2le: return "\xFF\xFE" + ucs2_bytes(text, true);
    case text_encoding::ucs2be: return "\xFE\xFF" + ucs2_bytes(text, false);
    }
    return {};
}

// Opens path forwards or tail-first, at once or one line at a time, and
// indexes to the end.
bool open_and_index(log_file& file, const std::string& path, int mode)
{
    const bool tail_first = mode >= 2;
    if (!file.open(widen(path), mode % 2 ? 1 : 0, tail_first))
        return false;
    for (int pass = 0; pass < 100; ++pass) {
        const int64_t added = tail_first ? file.index_backward(-1, 1) : file.index_forward(-1, 1);
        if (added <= 0)
            return added == 0;
    }
    return false;
}

const char* const kModes[] = {"forward", "forward one line a pass", "tail-first", "tail-first one line a pass"};

} // namespace

TEST_F(logfile_LongLines, ElevenLinesOfAThousandToHalfAMillionCharactersAreElevenLines)
{
    const std::size_t lengths[] = {1000, 2000, 5000, 10000, 20000, 50000, 65535, 65536, 100000, 200000, 500000};
    std::string text;
    for (std::size_t i = 0; i < std::size(lengths); ++i)
        text += std::string(lengths[i], static_cast<char>('a' + i)) + "\n";
    const std::string path = folder.write("eleven.log", text);
    for (int mode = 0; mode < 4; ++mode) {
        log_file file;
        ASSERT_TRUE(open_and_index(file, path, mode)) << kModes[mode];
        EXPECT_EQ(file.line_count(), 11u) << kModes[mode];
        EXPECT_EQ(file.read_index().long_line_count(), 4u) << kModes[mode];
        ASSERT_TRUE(file.parse_range(file.indexer().hold(), MakeDefaultParser(u"Line"), 0, 0));
        const log_file::window_reader window = file.read_window();
        ASSERT_EQ(window.lines().size(), 11u);
        for (std::size_t i = 0; i < std::size(lengths); ++i) {
            const log_line& line = *window.lines()[i];
            EXPECT_EQ(line.text().size(), std::min<std::size_t>(lengths[i], kMaxLineUnits)) << i;
            EXPECT_EQ(line.cut_length(), lengths[i] > kMaxLineUnits ? lengths[i] : 0u) << i;
        }
    }
}

TEST_F(logfile_LongLines, AMegabyteMiddleLineIsShownCutInEveryEncodingDirectionAndLineEnd)
{
    // The middle line starts with HEAD and ends with TAIL, past the cut.  In
    // UTF-8 each character is two bytes, so the cut at 65535 bytes splits one;
    // in UCS-2 the line is surrogate pairs, so the cut at 65535 units does.
    const std::u16string pair = u"\U0001F600";
    for (text_encoding encoding :
         {text_encoding::ansi, text_encoding::utf8, text_encoding::ucs2le, text_encoding::ucs2be}) {
        const bool two_byte = encoding == text_encoding::ucs2le || encoding == text_encoding::ucs2be;
        std::u16string middle = u"HEAD";
        std::u16string expected = u"HEAD";
        std::size_t middle_bytes = 4 * (two_byte ? 2 : 1);
        while (middle_bytes < (1u << 20)) {
            if (two_byte) {
                middle += pair;
                middle_bytes += 4;
            } else {
                middle += encoding == text_encoding::utf8 ? u'\u00e9' : u'm';
                middle_bytes += encoding == text_encoding::utf8 ? 2 : 1;
            }
        }
        middle += u"TAIL";
        middle_bytes += 4 * (two_byte ? 2 : 1);
        // What the text holds: 65535 units, less a character split by the cut.
        if (two_byte) {
            expected = middle.substr(0, kMaxLineUnits);
            if (expected.back() >= 0xD800 && expected.back() <= 0xDBFF)
                expected.pop_back();
        } else if (encoding == text_encoding::utf8) {
            expected = middle.substr(0, 4 + (kMaxLineUnits - 4) / 2);
        } else {
            expected = middle.substr(0, kMaxLineUnits);
        }
        for (const char16_t* end : {u"\n", u"\r\n", u"\r"}) {
            const std::u16string text = u"before" + std::u16string(end) + middle + end + u"after" + end;
            const std::string path = folder.write("m.log", encode(text, encoding));
            for (int mode = 0; mode < 4; ++mode) {
                SCOPED_TRACE(std::string("encoding ") + std::to_string(static_cast<int>(encoding)) + " end "
                             + std::to_string(std::u16string(end).size()) + " " + kModes[mode]);
                log_file file;
                ASSERT_TRUE(open_and_index(file, path, mode));
                ASSERT_EQ(file.line_count(), 3u);
                EXPECT_EQ(indexed_lines(file)[1].second, middle_bytes);
                EXPECT_EQ(file.read_index().long_line_count(), 1u);

                ASSERT_TRUE(file.parse_range(file.indexer().hold(), MakeDefaultParser(u"Line"), 0, 0));
                {
                    const log_file::window_reader window = file.read_window();
                    ASSERT_EQ(window.lines().size(), 3u);
                    const log_line& line = *window.lines()[1];
                    EXPECT_EQ(std::u16string(line.text().begin(), line.text().end()), expected);
                    EXPECT_EQ(line.cut_length(), middle_bytes);
                    EXPECT_EQ(window.lines()[0]->cut_length(), 0u);
                    EXPECT_EQ(std::u16string(window.lines()[2]->text().begin(), window.lines()[2]->text().end()),
                              u"after");
                }
                // Filters see the part shown: the head is there, the tail is not.
                EXPECT_EQ(file.apply_quick_filter(false, u"head"), 1u);
                EXPECT_EQ(file.apply_quick_filter(false, u"tail"), 0u);
                file.apply_quick_filter(false, u"");
                std::u16string preview;
                ASSERT_TRUE(file.line_preview(1, preview));
                EXPECT_EQ(preview, expected.substr(0, 100) + u"...");
            }
        }
    }
}
