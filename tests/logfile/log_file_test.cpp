#include "index_helpers.h"
#include "logfile/line_scan.h"
#include "logfile/log_file.h"
#include "support/bounded_wait.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Index passes, as the index thread runs them, until one adds nothing; false
// when a file of file_bytes bytes takes more passes than it has bytes (a
// pass that keeps adding).
bool IndexToTheEnd(log_file& file, std::size_t file_bytes)
{
    for (std::size_t pass = 0; pass <= file_bytes; ++pass) {
        if (file.index_more() <= 0)
            return true;
    }
    return false;
}

constexpr std::size_t kChunk = log_file::kReadBufferSize;

class logfile_LogFile : public ::testing::Test {
protected:
    void SetUp() override { setenv("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252", 1); }
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(kTestWaitMs), 0); }

    temp_folder folder;
};

// ---- opening and encodings --------------------------------------------------

TEST_F(logfile_LogFile, DetectsEncodingFromTheByteOrderMark)
{
    struct row {
        const char* name;
        std::string bytes;
        int32_t encoding;
        bool bom;
        int bom_length;
        line_list lines;
    };
    const row rows[] = {
        {"empty", "", ENCODING_UNKNOWN, false, 0, {}},
        {"one byte", "a", ENCODING_UNKNOWN, false, 0, {}},
        {"two bytes, no line end", "ab", ENCODING_ANSI, false, 0, {}},
        {"plain", "ab\n", ENCODING_ANSI, false, 0, {{0, 2}}},
        {"ucs2 le", std::string("\xFF\xFE", 2) + ucs2_bytes(u"ab\n", true), ENCODING_UCS2LE, true, 2, {{2, 4}}},
        {"ucs2 be", std::string("\xFE\xFF", 2) + ucs2_bytes(u"ab\n", false), ENCODING_UCS2BE, true, 2, {{2, 4}}},
        {"utf8 bom", "\xEF\xBB\xBFx\n", ENCODING_UTF8, true, 3, {{3, 1}}},
        {"EF BB without BF", "\xEF\xBB\x41x\n", ENCODING_ANSI, false, 0, {{0, 4}}},
        {"EF BB alone", "\xEF\xBB", ENCODING_ANSI, false, 0, {}},
        {"utf8 without bom", "\xC3\xA9t\xC3\xA9\n", ENCODING_UTF8, false, 0, {{0, 5}}},
    };
    for (const row& r : rows) {
        for (bool tail_first : {false, true}) {
            log_file file;
            ASSERT_TRUE(file.open(widen(folder.write("f.log", r.bytes)), 0, tail_first)) << r.name;
            EXPECT_EQ(file.encoding(), r.encoding) << r.name;
            EXPECT_EQ(file.has_bom(), r.bom) << r.name;
            EXPECT_EQ(file.bom_length(), r.bom_length) << r.name;
            EXPECT_EQ(indexed_lines(file), r.lines) << r.name << " tail_first=" << tail_first;
            EXPECT_EQ(file.tail_mode(), tail_first && !r.lines.empty()) << r.name;
        }
    }
}

TEST_F(logfile_LogFile, OpenFailsForBadPaths)
{
    log_file file;
    EXPECT_FALSE(file.open(nullptr, 0, false));
    EXPECT_FALSE(file.open(u"", 0, false));
    EXPECT_FALSE(file.open(widen(folder.path() + "/missing.log"), 0, false));
    EXPECT_FALSE(file.open(widen(folder.path()), 0, false)) << "a folder is not a log file";
    EXPECT_FALSE(file.is_open());
    EXPECT_EQ(file.index_forward(0, 0), -1);
    EXPECT_EQ(file.index_backward(-1, 0), -1);
    EXPECT_EQ(file.index_more(), -1);
    EXPECT_EQ(file.refresh(), -1);
    std::u16string text;
    EXPECT_FALSE(file.line_preview(0, text));
    EXPECT_FALSE(file.line_end().has_value());
}

TEST_F(logfile_LogFile, OpenFailsForAnUnreadableFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const std::string path = folder.write("locked.log", "a\nb\n");
    ::chmod(path.c_str(), 0);
    log_file file;
    EXPECT_FALSE(file.open(widen(path), 0, false));
}

TEST_F(logfile_LogFile, CloseEmptiesTheIndex)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("f.log", numbered_lines(30))), 0, true));
    EXPECT_EQ(file.line_count(), 30u);
    EXPECT_EQ(file.first_slot(), 9970);
    file.close();
    EXPECT_EQ(file.line_count(), 0u);
    EXPECT_EQ(file.first_slot(), -1);
    EXPECT_EQ(file.encoding(), ENCODING_ANSI);
    EXPECT_FALSE(file.tail_mode());
    EXPECT_EQ(file.file_size(), 0);
    EXPECT_FALSE(file.is_open());
}

TEST_F(logfile_LogFile, EncodingSwitchOnlyBetweenAnsiAndUtf8WithoutBom)
{
    log_file plain;
    ASSERT_TRUE(plain.open(widen(folder.write("a.log", "x\n")), 0, false));
    EXPECT_TRUE(plain.set_encoding(ENCODING_UTF8));
    EXPECT_EQ(plain.encoding(), ENCODING_UTF8);
    EXPECT_FALSE(plain.set_encoding(ENCODING_UCS2LE));
    EXPECT_TRUE(plain.set_encoding(ENCODING_ANSI));

    log_file marked;
    ASSERT_TRUE(marked.open(widen(folder.write("b.log", "\xEF\xBB\xBFx\n")), 0, false));
    EXPECT_FALSE(marked.set_encoding(ENCODING_ANSI));
    EXPECT_EQ(marked.encoding(), ENCODING_UTF8);
}

// ---- line ends --------------------------------------------------------------

TEST_F(logfile_LogFile, LineEndRulesOfTheOneByteEncodings)
{
    struct row {
        const char* name;
        std::string bytes;
        line_list lines;
    };
    const row rows[] = {
        {"LF", "a\nbb\n", {{0, 1}, {2, 2}}},
        {"CR LF pairs vanish", "a\r\nbb\r\n", {{0, 1}, {3, 2}}},
        {"LF CR pairs vanish", "a\n\rbb\n\r", {{0, 1}, {3, 2}}},
        {"lone CR", "a\rbb\r", {{0, 1}, {2, 2}}},
        {"blank lines add nothing", "\n\n\na\n\n\r\n", {{3, 1}}},
        {"missing final line end", "a\nlast", {{0, 1}}},
        {"only line ends", "\n\r\n", {}},
        {"zero byte is text", std::string("a\0b\n", 4), {{0, 3}}},
    };
    for (const row& r : rows) {
        for (bool tail_first : {false, true}) {
            log_file file;
            ASSERT_TRUE(file.open(widen(folder.write("f.log", r.bytes)), 0, tail_first));
            EXPECT_EQ(indexed_lines(file), r.lines) << r.name << " tail_first=" << tail_first;
        }
    }
}

TEST_F(logfile_LogFile, TwoByteLineEndsInEitherByteOrder)
{
    struct row {
        const char* name;
        std::u16string text;
        bool little;
        std::vector<std::u16string> previews;
    };
    const row rows[] = {
        {"le CR LF", u"ab\r\ncd\r\n", true, {u"ab", u"cd"}},
        {"be CR LF", u"ab\r\ncd\r\n", false, {u"ab", u"cd"}},
        {"le U+0D00 splits", u"ab\u0D00cd\n", true, {u"ab", u"cd"}},
        {"le U+0A00 splits", u"ab\u0A00cd\n", true, {u"ab", u"cd"}},
        // In big-endian files the units are read little-endian: 0D00 is CR.
        {"be U+000D read as 0D00", u"xy\rz\n", false, {u"xy", u"z"}},
        {"0000 unit cuts the text", std::u16string(u"ab\0cd\n", 6), true, {u"ab"}},
        {"non-latin text", u"\u4F60\u597D\n\u00E9\n", true, {u"\u4F60\u597D", u"\u00E9"}},
    };
    for (const row& r : rows) {
        const std::string bom = r.little ? "\xFF\xFE" : "\xFE\xFF";
        for (bool tail_first : {false, true}) {
            log_file file;
            ASSERT_TRUE(file.open(widen(folder.write("u.log", bom + ucs2_bytes(r.text, r.little))), 0, tail_first));
            ASSERT_EQ(file.line_count(), r.previews.size()) << r.name;
            for (std::size_t i = 0; i < r.previews.size(); ++i) {
                std::u16string text;
                ASSERT_TRUE(file.line_preview(i, text)) << r.name;
                EXPECT_EQ(text, r.previews[i]) << r.name << " line " << i;
            }
        }
    }
}

TEST_F(logfile_LogFile, LineEndText)
{
    struct row {
        const char* name;
        std::string bytes;
        std::optional<std::u16string> expected;
    };
    const std::string le = "\xFF\xFE";
    const std::string be = "\xFE\xFF";
    const row rows[] = {
        {"LF", "a\nb\n", u"\n"},
        {"CR", "a\rb\r", u"\r"},
        {"CR LF", "a\r\nb\r\n", u"\r\n"},
        {"CR at the very end", "a\r", u"\r"},
        {"ucs2 le CR LF", le + ucs2_bytes(u"a\r\n", true), u"\r\n"},
        {"ucs2 le CR", le + ucs2_bytes(u"a\rb\r", true), u"\r"},
        {"ucs2 le LF", le + ucs2_bytes(u"a\n", true), u"\n"},
        {"ucs2 be CR LF", be + ucs2_bytes(u"a\r\n", false), u"\r\n"},
        {"ucs2 be CR", be + ucs2_bytes(u"a\rb\r", false), u"\r"},
        {"no line", "\n\n", std::nullopt},
        {"unknown encoding", "a", std::nullopt},
    };
    for (const row& r : rows) {
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("e.log", r.bytes)), 0, false));
        EXPECT_EQ(file.line_end(), r.expected) << r.name;
        EXPECT_EQ(file.line_end(), r.expected) << r.name << " (cached)";
    }
}

// ---- text and previews ------------------------------------------------------

TEST_F(logfile_LogFile, PreviewCutsLongLinesAndConvertsByEncoding)
{
    const std::string long_line(150, 'x');
    const std::string hundred(100, 'y');
    const std::string path = folder.write("p.log", long_line + "\n" + hundred + "\n" + "caf\xE9\n"
                                                       + "\xC3\xA9t\xC3\xA9\n" + std::string("ab\0cd\n", 6));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    struct row {
        uint64_t line;
        std::u16string expected;
    };
    const row ansi_rows[] = {
        {0, std::u16string(100, u'x') + u"..."},
        {1, std::u16string(100, u'y')},
        {2, u"caf\u00E9"},
        {3, u"\u00C3\u00A9t\u00C3\u00A9"}, // UTF-8 bytes read as Windows-1252
        {4, u"ab"},
    };
    for (const row& r : ansi_rows) {
        std::u16string text;
        ASSERT_TRUE(file.line_preview(r.line, text));
        EXPECT_EQ(text, r.expected) << r.line;
    }
    ASSERT_TRUE(file.set_encoding(ENCODING_UTF8));
    std::u16string text;
    ASSERT_TRUE(file.line_preview(3, text));
    EXPECT_EQ(text, u"\u00E9t\u00E9");
    ASSERT_TRUE(file.line_preview(2, text));
    EXPECT_EQ(text, u"caf\uFFFD") << "an invalid byte is replaced, the line is kept";
    EXPECT_FALSE(file.line_preview(5, text));
}

TEST(logfile_LineText, ConversionsByEncoding)
{
    struct row {
        int32_t encoding;
        std::string bytes;
        bool ok;
        std::u16string expected;
    };
    const row rows[] = {
        {ENCODING_ANSI, "plain ascii", true, u"plain ascii"},
        {ENCODING_ANSI, std::string("a\0b", 3), true, u"a"},
        {ENCODING_UTF8, "\xE2\x82\xAC", true, u"\u20AC"},
        {ENCODING_UTF8, std::string("\xE2\x82\xAC\0x", 5), true, u"\u20AC"},
        {ENCODING_UCS2LE, std::string("a\0b\0", 4), true, u"ab"},
        {ENCODING_UCS2BE, std::string("\0a\0b", 4), true, u"ab"},
        {ENCODING_UCS2LE, std::string("a\0\0\0b\0", 6), true, u"a"},
        {ENCODING_UCS2LE, std::string("a\0b", 3), false, u""},
        {ENCODING_UNKNOWN, "ab", false, u""},
    };
    setenv("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252", 1);
    for (const row& r : rows) {
        std::u16string out = u"stale";
        EXPECT_EQ(line_bytes_to_text(r.encoding, r.bytes.data(), r.bytes.size(), out), r.ok) << r.encoding;
        EXPECT_EQ(out, r.expected) << r.encoding;
    }
}

// ---- line lengths -----------------------------------------------------------

TEST_F(logfile_LogFile, EveryLineIsIndexedWithItsWholeLengthPastTheLineLimit)
{
    struct row {
        const char* name;
        bool ucs2;
        std::size_t units; // of the middle line
    };
    const row rows[] = {
        {"ansi 65535 bytes", false, 65535}, {"ansi 65536 bytes", false, 65536}, {"ansi 1 MB", false, 1 << 20},
        {"ucs2 32768 units", true, 32768},  {"ucs2 65535 units", true, 65535},  {"ucs2 65536 units", true, 65536},
    };
    for (const row& r : rows) {
        std::string bytes;
        std::size_t bom = 0;
        if (r.ucs2) {
            bytes = "\xFF\xFE" + ucs2_bytes(u"before\n" + std::u16string(r.units, u'm') + u"\nafter\n", true);
            bom = 2;
        } else {
            bytes = "before\n" + std::string(r.units, 'm') + "\nafter\n";
        }
        const int unit = r.ucs2 ? 2 : 1;
        const line_list expected = reference_lines(bytes, unit, bom);
        ASSERT_EQ(expected.size(), 3u) << r.name;
        ASSERT_EQ(expected[1].second, r.units * static_cast<std::size_t>(unit)) << r.name;
        for (bool tail_first : {false, true}) {
            log_file file;
            ASSERT_TRUE(file.open(widen(folder.write("l.log", bytes)), 0, tail_first));
            EXPECT_EQ(indexed_lines(file), expected) << r.name << " tail_first=" << tail_first;
            EXPECT_EQ(file.read_index().long_line_count(), r.units > kMaxLineUnits ? 1u : 0u) << r.name;
            // A preview reads no more than the line's text holds.
            std::u16string text;
            ASSERT_TRUE(file.line_preview(1, text));
            EXPECT_EQ(text, std::u16string(100, u'm') + u"...");
        }
    }
}

TEST_F(logfile_LogFile, LinesLongerThanAChunkAreIndexedBothWays)
{
    const std::string bytes =
        "first\n" + std::string(kChunk + 12345, 'h') + "\nsecond\n" + std::string(2 * kChunk + 7, 'g') + "\nthird\n";
    const line_list expected = reference_lines(bytes, 1, 0);
    ASSERT_EQ(expected.size(), 5u);
    for (bool tail_first : {false, true}) {
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("huge.log", bytes)), 0, tail_first));
        EXPECT_EQ(indexed_lines(file), expected) << "tail_first=" << tail_first;
    }
    // In passes as well (the index thread's way), one line a pass, and with
    // text after the last line end.
    const std::string tail_text = bytes + std::string(kChunk + 5, 't');
    for (bool tail_first : {false, true}) {
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("huge2.log", tail_text)), 1, tail_first));
        while (file.line_count() < expected.size()) {
            const int64_t added = tail_first ? file.index_backward(-1, 1) : file.index_forward(-1, 1);
            ASSERT_EQ(added, 1) << "tail_first=" << tail_first;
        }
        EXPECT_EQ(tail_first ? file.index_backward(-1, 1) : file.index_forward(-1, 1), 0);
        EXPECT_EQ(indexed_lines(file), expected) << "tail_first=" << tail_first;
    }
}

TEST_F(logfile_LogFile, BinaryFileDoesNotBreakTheScans)
{
    std::mt19937 random(7);
    std::string bytes(3 * kChunk / 2, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    const line_list expected = reference_lines(bytes, 1, 0);
    for (bool tail_first : {false, true}) {
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("bin.dat", bytes)), 0, tail_first));
        EXPECT_EQ(indexed_lines(file), expected);
        std::u16string text;
        if (!expected.empty()) {
            EXPECT_TRUE(file.line_preview(expected.size() / 2, text));
        }
    }
}

// ---- chunk boundaries -------------------------------------------------------

// Random lines (blank lines and runs of them, CR LF pairs, lengths up to a
// few hundred bytes) over several chunks: forward, backward and pass-by-pass
// scans all find exactly the lines of a plain byte-by-byte scan.
TEST_F(logfile_LogFile, ScansAgreeWithAPlainScanAcrossChunks)
{
    struct row {
        const char* name;
        int32_t encoding; // ANSI, UCS2LE or UCS2BE
    };
    const row rows[] = {{"ansi", ENCODING_ANSI}, {"ucs2 le", ENCODING_UCS2LE}, {"ucs2 be", ENCODING_UCS2BE}};
    for (const row& r : rows) {
        std::mt19937 random(11);
        std::u16string text;
        while (text.size() * (r.encoding == ENCODING_ANSI ? 1 : 2) < 2 * kChunk + kChunk / 3) {
            const int kind = static_cast<int>(random() % 10);
            if (kind == 0)
                text += u"\n";
            else if (kind == 1)
                text += u"\r\n";
            else if (kind == 3 && random() % 8 == 0)
                // A run of empty lines (up to 12 KB of line ends): every
                // bit of a 64-bit mask set, runs across reads and passes.
                for (std::size_t n = random() % 6000; n-- > 0;)
                    text += random() % 3 == 0 ? u"\r\n" : u"\n";
            text += std::u16string(random() % 300 + 1, static_cast<char16_t>(u'a' + random() % 26));
            text += kind == 2 ? u"\r" : u"\n";
        }
        std::string bytes;
        std::size_t bom = 0;
        if (r.encoding == ENCODING_ANSI) {
            bytes.assign(text.begin(), text.end());
        } else {
            const bool little = r.encoding == ENCODING_UCS2LE;
            bytes = (little ? "\xFF\xFE" : "\xFE\xFF") + ucs2_bytes(text, little);
            bom = 2;
        }
        const int unit = r.encoding == ENCODING_ANSI ? 1 : 2;
        const line_list expected = reference_lines(bytes, unit, bom);
        const std::string path = folder.write("r.log", bytes);
        for (bool tail_first : {false, true}) {
            log_file whole;
            ASSERT_TRUE(whole.open(widen(path), 0, tail_first));
            EXPECT_EQ(whole.encoding(), r.encoding);
            EXPECT_EQ(indexed_lines(whole), expected) << r.name << " tail_first=" << tail_first;

            log_file passes;
            ASSERT_TRUE(passes.open(widen(path), 7, tail_first));
            ASSERT_TRUE(IndexToTheEnd(passes, bytes.size()));
            const line_list found = indexed_lines(passes);
            EXPECT_EQ(found, expected) << r.name << " in passes, tail_first=" << tail_first;
            for (const auto& line : found)
                if ((line.first - static_cast<int64_t>(bom)) % unit != 0) {
                    ADD_FAILURE() << r.name << ": line at an odd offset " << line.first;
                    break;
                }
        }
    }
}

TEST_F(logfile_LogFile, LineEndOnTheFirstByteOfABackwardChunkEndsTheLineBeforeIt)
{
    // The last chunk of a tail-first scan starts exactly on the LF after "beta".
    std::string tail = "\n";
    int i = 0;
    while (tail.size() < kChunk - 40)
        tail += "row " + std::to_string(i++) + "\n";
    tail += std::string(kChunk - tail.size() - 1, 'z') + "\n";
    ASSERT_EQ(tail.size(), kChunk);
    const std::string bytes = "alpha\nbeta" + tail;
    const line_list expected = reference_lines(bytes, 1, 0);
    ASSERT_EQ(expected[1], (line_list::value_type{6, 4}));
    for (bool tail_first : {false, true}) {
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("b.log", bytes)), 0, tail_first));
        EXPECT_EQ(indexed_lines(file), expected) << "tail_first=" << tail_first;
    }
}

TEST_F(logfile_LogFile, BackwardScanFindsTheFirstLineWhenExactlyOneChunkIsLeft)
{
    // From the end of the BOM to the end there are exactly 4 MB: the first
    // line has no line end before it and must still be found.
    std::string body = "first line\n";
    int i = 0;
    while (body.size() < kChunk - 30)
        body += "entry " + std::to_string(i++) + "\n";
    body += std::string(kChunk - body.size() - 1, 'q') + "\n";
    ASSERT_EQ(body.size(), kChunk);
    for (const std::string& bom : {std::string(), std::string("\xEF\xBB\xBF")}) {
        const std::string bytes = bom + body;
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("x.log", bytes)), 0, true));
        const line_list found = indexed_lines(file);
        ASSERT_FALSE(found.empty());
        EXPECT_EQ(found.front(), (line_list::value_type{static_cast<int64_t>(bom.size()), 10}));
        EXPECT_EQ(found, reference_lines(bytes, 1, bom.size()));
    }
}

TEST_F(logfile_LogFile, OddSizedUcs2FileIsReadInWholeUnitsBothWays)
{
    const std::string bytes = "\xFF\xFE" + ucs2_bytes(u"one\ntwo\nthree\n", true) + "x";
    const line_list expected = {{2, 6}, {10, 6}, {18, 10}};
    for (bool tail_first : {false, true}) {
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("odd.log", bytes)), 0, tail_first));
        EXPECT_EQ(indexed_lines(file), expected) << "tail_first=" << tail_first;
    }
}

TEST_F(logfile_LogFile, LargeUcs2FilesOpenedTailFirstKeepEvenOffsets)
{
    for (bool little : {true, false}) {
        std::u16string text;
        int n = 0;
        while (text.size() * 2 < kChunk * 2 + 1000)
            text += u"entry " + widen(std::to_string(n++)) + u" \u00E9\u4E2D\r\n";
        // The little-endian file ends in half a unit: a backward chunk must
        // still start on a unit boundary.
        const std::string bytes = (little ? "\xFF\xFE" : "\xFE\xFF") + ucs2_bytes(text, little) + (little ? "x" : "");
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("big.log", bytes)), 1000, true));
        ASSERT_TRUE(IndexToTheEnd(file, bytes.size()));
        ASSERT_EQ(file.line_count(), static_cast<uint64_t>(n));
        for (const auto& line : indexed_lines(file))
            ASSERT_EQ(line.first % 2, 0) << "line at an odd offset";
        for (int k : {0, 1, n / 2, n - 1}) {
            std::u16string preview;
            ASSERT_TRUE(file.line_preview(static_cast<uint64_t>(k), preview));
            EXPECT_EQ(preview, u"entry " + widen(std::to_string(k)) + u" \u00E9\u4E2D");
        }
    }
}

// ---- the index's blocks -----------------------------------------------------

TEST_F(logfile_LogFile, ForwardOpenOf25000LinesWith10000AtOnce)
{
    const std::string path = folder.write("f.log", numbered_lines(25000));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 10000, false));
    EXPECT_EQ(file.line_count(), 10000u);
    EXPECT_EQ(file.index_more(), 10000);
    EXPECT_EQ(file.index_more(), 5000);
    EXPECT_EQ(file.index_more(), 0);
    EXPECT_EQ(file.line_count(), 25000u);
    EXPECT_EQ(file.first_slot(), 0);
    const std::vector<block_shape> blocks = {{true, 10000}, {true, 10000}, {true, 5000}};
    EXPECT_EQ(index_blocks(file), blocks);
}

TEST_F(logfile_LogFile, TailFirstOpenOf25000LinesWith10000AtOnce)
{
    const std::string text = numbered_lines(25000);
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("t.log", text)), 10000, true));
    EXPECT_TRUE(file.tail_mode());
    EXPECT_EQ(file.line_count(), 10000u);
    EXPECT_EQ(file.first_slot(), 0);
    EXPECT_EQ(index_blocks(file), (std::vector<block_shape>{{false, 10000}}));
    std::u16string first;
    ASSERT_TRUE(file.line_preview(0, first));
    EXPECT_EQ(first, u"line 15000");

    EXPECT_EQ(file.index_more(), 10000);
    EXPECT_EQ(file.index_more(), 5000);
    EXPECT_EQ(file.index_more(), 0);
    EXPECT_EQ(file.line_count(), 25000u);
    EXPECT_EQ(file.first_slot(), 5000);
    EXPECT_EQ(index_blocks(file), (std::vector<block_shape>{{false, 5000}, {false, 10000}, {false, 10000}}));
    EXPECT_EQ(indexed_lines(file), reference_lines(text, 1, 0));
    ASSERT_TRUE(file.line_preview(0, first));
    EXPECT_EQ(first, u"line 0");
}

TEST_F(logfile_LogFile, PrependingShiftsTheWindowByEachAddedLine)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("w.log", numbered_lines(3000))), 1000, true));
    file.set_window(100, 199);
    int64_t first, last;
    for (int64_t step = 1; step <= 3; ++step) {
        ASSERT_EQ(file.index_backward(-1, 1), 1);
        file.window(first, last);
        EXPECT_EQ(first, 100 + step);
        EXPECT_EQ(last, 199 + step);
    }
    EXPECT_EQ(file.index_backward(-1, 500), 500);
    file.window(first, last);
    EXPECT_EQ(first, 603);
    EXPECT_EQ(last, 702);
    // Appending does not move it.
    EXPECT_EQ(file.index_forward(-1, 0), 0);
    file.set_window(-1, -1);
    EXPECT_EQ(file.index_backward(-1, 1), 1);
    file.window(first, last);
    EXPECT_EQ(first, -1);
    EXPECT_EQ(last, -1);
}

TEST(logfile_LineIndex, LinesGigabytesApartShareABlock)
{
    // Distances past 32 bits, and lengths past 32 bits, in one block.
    line_index index;
    index.add_line(0, 5, true);
    index.add_line(3'000'000'000LL, 7, true);
    index.add_line(3'000'000'010LL, 5'000'000'000ULL, true);
    index.add_line(9'000'000'000LL, 2, true);
    index.add_line(-1, 0, true); // an empty length is never stored
    const line_index::reader view = index.read();
    EXPECT_EQ(view.line_count(), 4u);
    EXPECT_EQ(view.block_count(), 1u);
    line_cursor cursor;
    const std::pair<int64_t, uint64_t> expected[] = {
        {0, 5}, {3'000'000'000LL, 7}, {3'000'000'010LL, 5'000'000'000ULL}, {9'000'000'000LL, 2}};
    ASSERT_TRUE(view.locate(0, cursor));
    for (const auto& want : expected) {
        int64_t offset;
        uint64_t length;
        view.line_at(cursor, offset, length);
        EXPECT_EQ(offset, want.first);
        EXPECT_EQ(length, want.second);
        uint32_t narrow;
        view.line_at(cursor, offset, narrow);
        EXPECT_EQ(narrow, std::min<uint64_t>(want.second, UINT32_MAX));
        view.advance(cursor);
    }
    EXPECT_EQ(view.last_line_end(), 9'000'000'002LL);
    ASSERT_TRUE(view.locate(3, cursor));
    EXPECT_FALSE(view.locate(4, cursor));
}

// ---- files that change under the scan ---------------------------------------

TEST_F(logfile_LogFile, FileShrinkingWhileIndexedStopsTheScans)
{
    const std::string text = numbered_lines(300000);
    for (bool tail_first : {false, true}) {
        const std::string path = folder.write("s.log", text);
        log_file file;
        ASSERT_TRUE(file.open(widen(path), 1000, tail_first));
        ASSERT_EQ(truncate(path.c_str(), 100), 0);
        EXPECT_EQ(file.index_more(), 0) << "tail_first=" << tail_first;
        EXPECT_EQ(file.line_count(), 1000u);
        std::u16string text_out;
        file.line_preview(999, text_out); // may fail; must not crash
    }
}

TEST_F(logfile_LogFile, FileRemovedWhileOpenIsStillRead)
{
    const std::string path = folder.write("gone.log", numbered_lines(50));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 10, false));
    std::filesystem::remove(path);
    EXPECT_EQ(file.index_more(), 40);
    std::u16string text;
    ASSERT_TRUE(file.line_preview(49, text));
    EXPECT_EQ(text, u"line 49");
}

// ---- the line-end finder ----------------------------------------------------

TEST(logfile_LineScan, EveryCodePathFindsTheSameLineEnds)
{
    std::mt19937 random(3);
    // Line ends in one byte of 200, of 8 and in every byte (every bit of a
    // 64-bit mask set).
    for (unsigned density : {200u, 8u, 1u}) {
        for (std::size_t length : {0u, 1u, 2u, 63u, 64u, 65u, 130u, 1000u, 4095u, 4096u, 4098u}) {
            std::string data(length, 'a');
            for (char& c : data) {
                const auto pick = static_cast<unsigned>(random() % density);
                c = pick == 0                  ? (random() % 2 ? '\n' : '\r')
                    : pick == 1 && density > 2 ? '\0'
                                               : static_cast<char>(random() & 0xFF);
            }
            for (int unit : {1, 2}) {
                const std::size_t used = unit == 2 ? length & ~std::size_t{1} : length;
                const std::size_t words = (used + 63) / 64;
                const std::string label = "length " + std::to_string(length) + " unit " + std::to_string(unit)
                                          + " density " + std::to_string(density);
                std::vector<uint64_t> expected(words + 1, 0);
                ASSERT_TRUE(find_line_ends_using("portable", data.data(), used, unit, expected.data()));
                // The portable path against the definition.
                for (std::size_t p = 0; p + static_cast<std::size_t>(unit) <= used; ++p) {
                    const bool end = (unit == 1 || p % 2 == 0) && is_line_end_unit(data, p, unit);
                    ASSERT_EQ(((expected[p / 64] >> (p % 64)) & 1) != 0, end) << label;
                }
                for (const char* kind : {"sse2", "avx2"}) {
                    std::vector<uint64_t> masks(words + 1, 0);
                    if (!find_line_ends_using(kind, data.data(), used, unit, masks.data()))
                        continue;
                    EXPECT_EQ(masks, expected) << kind << " " << label;
                }
            }
        }
    }
}

} // namespace

namespace {

// The bytes this process has read through read calls so far (Linux's count).
uint64_t BytesReadByProcess()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

} // namespace

TEST_F(logfile_LogFile, AnIndexPassReadsAboutTheBytesOfItsLinesBothWays)
{
    // Short lines at both ends and lines a hundred times as long between
    // them: a pass sized by the short lines' average reads on until it has
    // its lines.
    std::string bytes;
    const auto short_lines = [&bytes] {
        for (int i = 0; i < 100000; ++i)
            bytes += "short " + std::to_string(i % 1000) + "\n";
    };
    short_lines();
    for (int i = 0; i < 12000; ++i)
        bytes += std::string(static_cast<std::size_t>(700 + i % 300), static_cast<char>('a' + i % 26)) + "\r\n";
    short_lines();
    const line_list expected = reference_lines(bytes, 1, 0);
    const std::string path = folder.write("passes.log", bytes);
    if (BytesReadByProcess() == 0)
        GTEST_SKIP() << "no read count in /proc/self/io";
    for (bool tail_first : {false, true}) {
        log_file file;
        ASSERT_TRUE(file.open(widen(path), 1000, tail_first));
        const uint64_t before = BytesReadByProcess();
        ASSERT_EQ(file.index_more(), static_cast<int64_t>(log_file::kPassLines));
        const uint64_t read = BytesReadByProcess() - before;
        // A pass of short lines (at most 10 bytes each): their bytes, a
        // quarter more and two blocks to spare, far below a whole chunk.
        EXPECT_LE(read, log_file::kPassLines * 11 * 5 / 4 + 128 * 1024) << "tail_first=" << tail_first;
        ASSERT_TRUE(IndexToTheEnd(file, bytes.size()));
        EXPECT_EQ(indexed_lines(file), expected) << "tail_first=" << tail_first;
    }
}
