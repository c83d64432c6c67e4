// The .lc dictionary format: what is read, what is skipped, what fails.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glossant/lc_reader.h"
#include "temp_folder.h"

using Glossant::LcEntries;
using Glossant::LcError;
using Glossant::LcReport;
using Glossant::ReadLcFile;
using Glossant::ReadLcSection;

namespace {

using namespace std::string_literals;

struct EntryCase {
    const char* name;
    std::string file;
    LcEntries expected;               // the entries of [dict]
    std::vector<std::size_t> skipped; // malformed line numbers
};

class LcEntryTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(LcEntryTest, ReadsDictSection)
{
    const EntryCase& c = GetParam();
    LcEntries entries;
    LcReport report;
    ASSERT_TRUE(ReadLcSection(c.file, "dict", entries, &report));
    EXPECT_EQ(report.error, LcError::None);
    EXPECT_EQ(entries, c.expected);
    EXPECT_EQ(report.skipped_lines, c.skipped);
}

const EntryCase kEntryCases[] = {
    {"PlainEntries", "[dict]\nA=Alpha\nB=Beta\n", {{u"A", u"Alpha"}, {u"B", u"Beta"}}, {}},
    {"NoFinalLineEnd", "[dict]\nA=Alpha", {{u"A", u"Alpha"}}, {}},
    {"CrLfLineEnds", "[dict]\r\nA=Alpha\r\nB=Beta\r\n", {{u"A", u"Alpha"}, {u"B", u"Beta"}}, {}},
    {"LoneCrLineEnds", "[dict]\rA=Alpha\rB=Beta", {{u"A", u"Alpha"}, {u"B", u"Beta"}}, {}},
    {"ByteOrderMark", "\xEF\xBB\xBF[dict]\nA=Alpha\n", {{u"A", u"Alpha"}}, {}},
    {"CommentsAndBlankLines", "# top\n[dict]\n\n  \t\n; note\n  # indented\nA=Alpha\n", {{u"A", u"Alpha"}}, {}},
    {"HashInsideTextIsText", "[dict]\nA=one # two ; three\n", {{u"A", u"one # two ; three"}}, {}},
    {"BlanksAroundKeyAndText", "[dict]\n  A \t=  \tAlpha beta \t\n", {{u"A", u"Alpha beta"}}, {}},
    {"EmptyText", "[dict]\nA=\nB=   \n", {{u"A", u""}, {u"B", u""}}, {}},
    {"FurtherEqualsSignsBelongToText", "[dict]\nA=x=1, y==2\n", {{u"A", u"x=1, y==2"}}, {}},
    {"Escapes", "[dict]\nA=one\\ntwo\\tthree\\\\four\\rfive\n", {{u"A", u"one\ntwo\tthree\\four\rfive"}}, {}},
    {"EscapedSpacesKeepEnds", "[dict]\nA=\\s padded \\s\n", {{u"A", u"  padded  "}}, {}},
    {"EscapedBackslashBeforeLetter", "[dict]\nA=\\\\sp and \\\\t\n", {{u"A", u"\\sp and \\t"}}, {}},
    {"RawTabInsideText", "[dict]\nA=a\tb\n", {{u"A", u"a\tb"}}, {}},
    {"PrintfPlaceholdersUntouched", "[dict]\nA=%s: %d%%\n", {{u"A", u"%s: %d%%"}}, {}},
    {"Utf8TextBecomesUtf16",
     "[dict]\nA=gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x93\x84\n",
     {{u"A", u"gr\u00FC\u00DF \u20AC \U0001F4C4"}},
     {}},
    {"LaterEntryReplacesEarlier", "[dict]\nA=first\nA=second\n", {{u"A", u"second"}}, {}},
    {"KeysAreCaseSensitive", "[dict]\nkey=lower\nKEY=upper\n", {{u"KEY", u"upper"}, {u"key", u"lower"}}, {}},
    {"KeyCharacters", "[dict]\nIDS_A.b-9=ok\n", {{u"IDS_A.b-9", u"ok"}}, {}},
    {"OtherSectionsIgnored", "[other]\nA=no\n[dict]\nB=yes\n[more]\nC=no\n", {{u"B", u"yes"}}, {}},
    {"RepeatedSectionAddsUp", "[dict]\nA=1\n[other]\nB=2\n[dict]\nC=3\n", {{u"A", u"1"}, {u"C", u"3"}}, {}},
    {"EntriesBeforeFirstHeaderIgnored", "A=lost\n[dict]\nB=kept\n", {{u"B", u"kept"}}, {}},
    {"HeaderWithBlanks", "  [ dict ]  \nA=1\n", {{u"A", u"1"}}, {}},
    {"SectionNameIsCaseSensitive", "[Dict]\nA=no\n[dict]\nB=yes\n", {{u"B", u"yes"}}, {}},
    // Malformed lines are skipped; the rest of the file still counts.
    {"LineWithoutEquals", "[dict]\nA=1\njust words\nB=2\n", {{u"A", u"1"}, {u"B", u"2"}}, {3}},
    {"EmptyKey", "[dict]\n=text\n  =text\nB=2\n", {{u"B", u"2"}}, {2, 3}},
    {"KeyWithSpaceOrOddCharacters", "[dict]\nMY KEY=1\nK\xC3\xA9Y=2\nK/Y=3\nB=2\n", {{u"B", u"2"}}, {2, 3, 4}},
    {"UnknownEscape", "[dict]\nA=bad \\q escape\nB=2\n", {{u"B", u"2"}}, {2}},
    {"BackslashEndingLine", "[dict]\nA=trailing\\\nB=2\n", {{u"B", u"2"}}, {2}},
    {"ControlCharacterInText", "[dict]\nA=nul\0here\nB=bell\x07\nC=ok\n"s, {{u"C", u"ok"}}, {2, 3}},
    {"MalformedLinesCountedInEverySection", "[other]\nbroken\n[dict]\nA=1\n", {{u"A", u"1"}}, {2}},
    {"MalformedHeaderStrandsItsEntries",
     "[dict]\nA=1\n[dict\nB=lost\n[dict]\nC=3\n",
     {{u"A", u"1"}, {u"C", u"3"}},
     {3}},
    {"EmptyOrBadHeaderNames", "[dict]\nA=1\n[]\nB=lost\n[two words]\nC=lost\n", {{u"A", u"1"}}, {3, 5}},
    {"HeaderFollowedByCommentIsMalformed", "[dict]\nA=1\n[dict] # x\nB=lost\n", {{u"A", u"1"}}, {3}},
    {"EmptySectionIsFound", "[dict]\n[other]\nA=1\n", {}, {}},
    // A malformed line is reported by its number whatever the line ends are.
    {"CrLfMalformedLineNumber",
     "[dict]\r\nA=1\r\n\r\nbroken\r\nB=2\r\nalso broken\r\n",
     {{u"A", u"1"}, {u"B", u"2"}},
     {4, 6}},
    {"LoneCrMalformedLineNumber", "[dict]\rA=1\r\rbroken\rB=2\r", {{u"A", u"1"}, {u"B", u"2"}}, {4}},
    {"MixedLineEndsMalformedLineNumbers",
     "[dict]\r\nbad one\n\r\rbad two\r\nA=1\nbad three",
     {{u"A", u"1"}},
     {2, 5, 7}},
};

INSTANTIATE_TEST_SUITE_P(Format, LcEntryTest, ::testing::ValuesIn(kEntryCases),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

// Random files of good, blank and malformed lines with every kind of line
// end: the reported numbers are those of the malformed lines as written.
TEST(LcReader, MalformedLineNumbersFollowEveryKindOfLineEnd)
{
    const char* const ends[] = {"\n", "\r\n", "\r"};
    uint64_t state = 0xC0FFEE123456789ULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int file = 0; file < 300; ++file) {
        std::string text = "[dict]";
        text += ends[next() % 3];
        std::vector<std::size_t> expected;
        LcEntries entries;
        const std::size_t lines = 1 + next() % 40;
        for (std::size_t line = 2; line < lines + 2; ++line) {
            const uint64_t kind = next() % 4;
            if (kind == 0) {
                text += "not an entry";
                expected.push_back(line);
            } else if (kind == 1) {
                text += "  ";
            } else {
                const std::string key = "K" + std::to_string(line);
                text += key + "=v";
                entries.emplace(std::u16string(key.begin(), key.end()), u"v");
            }
            // The last line may end without a line end.
            if (line + 1 < lines + 2 || next() % 2)
                text += ends[next() % 3];
        }
        LcEntries read;
        LcReport report;
        ASSERT_TRUE(ReadLcSection(text, "dict", read, &report));
        ASSERT_EQ(report.skipped_lines, expected) << "file " << file;
        ASSERT_EQ(read, entries) << "file " << file;
    }
}

struct FailureCase {
    const char* name;
    std::string file;
    LcError error;
};

class LcFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LcFailureTest, FailsAndLeavesEntriesAlone)
{
    const FailureCase& c = GetParam();
    LcEntries entries{{u"KEPT", u"before"}};
    LcReport report;
    EXPECT_FALSE(ReadLcSection(c.file, "dict", entries, &report));
    EXPECT_EQ(report.error, c.error);
    EXPECT_EQ(entries, (LcEntries{{u"KEPT", u"before"}}));
}

const FailureCase kFailureCases[] = {
    {"EmptyFile", "", LcError::NoSuchSection},
    {"OnlyComments", "# nothing\n", LcError::NoSuchSection},
    {"OtherSectionOnly", "[other]\nA=1\n", LcError::NoSuchSection},
    {"SectionNameDiffersInCase", "[DICT]\nA=1\n", LcError::NoSuchSection},
    {"OnlyMalformedHeader", "[dict\nA=1\n", LcError::NoSuchSection},
    {"InvalidUtf8InText", "[dict]\nA=caf\xE9\n", LcError::InvalidUtf8},
    {"InvalidUtf8InComment", "# \xFF\xFE\n[dict]\nA=1\n", LcError::InvalidUtf8},
    {"TruncatedSequenceAtEnd", "[dict]\nA=\xE2\x82", LcError::InvalidUtf8},
    {"EncodedSurrogate", "[dict]\nA=\xED\xA0\x80\n", LcError::InvalidUtf8},
    {"OverlongEncoding", "[dict]\nA=\xC0\xAF\n", LcError::InvalidUtf8},
    {"Utf16File", "\xFF\xFE[\0d\0"s, LcError::InvalidUtf8},
};

INSTANTIATE_TEST_SUITE_P(Format, LcFailureTest, ::testing::ValuesIn(kFailureCases),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(LcReader, TooLargeTextIsRefused)
{
    const std::string huge = "[dict]\nA=" + std::string(Glossant::kMaxLcFileBytes, 'x') + "\n";
    LcEntries entries;
    LcReport report;
    EXPECT_FALSE(ReadLcSection(huge, "dict", entries, &report));
    EXPECT_EQ(report.error, LcError::TooLarge);
}

TEST(LcReader, LongTextUnderTheLimitIsKept)
{
    const std::string line(100000, 'x');
    LcEntries entries;
    ASSERT_TRUE(ReadLcSection("[dict]\nA=" + line + "\n", "dict", entries));
    EXPECT_EQ(entries.at(u"A").size(), line.size());
}

TEST(LcReader, SectionOtherThanDictCanBeRead)
{
    LcEntries entries;
    ASSERT_TRUE(ReadLcSection("[dict]\nA=1\n[menu.en-GB]\nA=2\n", "menu.en-GB", entries));
    EXPECT_EQ(entries, (LcEntries{{u"A", u"2"}}));
}

TEST(LcReaderFile, ReadsFileByWidePath)
{
    TempFolder folder;
    const auto path = folder.Write("d\xC3\xA9j\xC3\xA0 vu.lc", "[dict]\nA=Alpha\n");
    LcEntries entries;
    ASSERT_TRUE(ReadLcFile(WideOf(path), "dict", entries));
    EXPECT_EQ(entries, (LcEntries{{u"A", u"Alpha"}}));
}

TEST(LcReaderFile, UnreadablePathsFail)
{
    TempFolder folder;
    const std::u16string cases[] = {
        u"", WideOf(folder.path() / "missing.lc"),
        WideOf(folder.path()), // a folder, not a file
    };
    for (const auto& path : cases) {
        LcEntries entries;
        LcReport report;
        EXPECT_FALSE(ReadLcFile(path, "dict", entries, &report));
        EXPECT_EQ(report.error, LcError::Unreadable);
    }
}

TEST(LcReaderFile, FileWithoutPermissionFails)
{
    TempFolder folder;
    const auto path = folder.Write("locked.lc", "[dict]\nA=1\n");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    if (std::ifstream(path).good())
        GTEST_SKIP() << "running with privileges that ignore file permissions";
    LcEntries entries;
    LcReport report;
    EXPECT_FALSE(ReadLcFile(WideOf(path), "dict", entries, &report));
    EXPECT_EQ(report.error, LcError::Unreadable);
}

TEST(LcReaderFile, OversizedFileIsRefusedUnread)
{
    TempFolder folder;
    const auto path = folder.path() / "huge.lc";
    {
        std::ofstream out(path, std::ios::binary);
        out << "[dict]\nA=1\n";
    }
    std::filesystem::resize_file(path, Glossant::kMaxLcFileBytes + 1); // sparse: cheap to make
    LcEntries entries;
    LcReport report;
    EXPECT_FALSE(ReadLcFile(WideOf(path), "dict", entries, &report));
    EXPECT_EQ(report.error, LcError::TooLarge);
}

} // namespace
