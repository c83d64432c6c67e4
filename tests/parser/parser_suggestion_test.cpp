#include "parser/parser_suggestion.h"
#include "parser/parser_test_support.h"
#include "parser/pattern_xml.h"
#include "parser/split_line.h"
#include "suggestion_corpus.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

std::vector<std::u16string> ReadCorpus(const char* file)
{
    std::ifstream in(std::filesystem::path(VARNOTH_SUGGESTION_CORPUS) / file, std::ios::binary);
    std::vector<std::u16string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(FromUtf8(line));
    return lines;
}

parser_suggestion Suggest(const std::vector<std::u16string>& lines, std::size_t selected = 0)
{
    std::vector<std::u16string_view> others;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (i != selected)
            others.push_back(lines[i]);
    return suggest_parser(lines.empty() ? std::u16string_view() : std::u16string_view(lines[selected]), others);
}

// What split_line itself makes of the lines with parser: those cut into every
// column whose text, read again with its column's format, is valid.
std::size_t SplitByHand(const log_pattern_list& parser, const std::vector<std::u16string>& lines)
{
    std::vector<const log_pattern*> leaves;
    const auto count = static_cast<std::size_t>(leaf_count(parser, &leaves));
    std::size_t split = 0;
    for (const std::u16string& text : lines) {
        log_line line;
        if (!split_line(line, text.data(), text.size(), parser, true) || line.columns().size() != count)
            continue;
        split += std::all_of(leaves.begin(), leaves.end(), [&, i = std::size_t{0}](const log_pattern* leaf) mutable {
            tagDATA_VALUE value;
            ParseDataValue(value, line.text().data() + line.columns()[i].offset, line.columns()[i].length,
                           leaf->data_format);
            ++i;
            return leaf->data_format.data_type == DATA_TYPE_TEXT || value.valid;
        });
    }
    return split;
}

std::size_t NonEmpty(const std::vector<std::u16string>& lines)
{
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [](const std::u16string& line) { return !line.empty(); }));
}

// Every suggestion must be a parser the rest of the system takes as it is:
// names valid and unique, every column but the last with an end text, the
// split it reports the one split_line gives, unchanged by a save and load.
void ExpectSound(const parser_suggestion& suggestion, const std::vector<std::u16string>& lines, const char* name)
{
    SCOPED_TRACE(name);
    ASSERT_FALSE(suggestion.parser.empty());
    EXPECT_EQ(suggestion.sampled, std::min(NonEmpty(lines), kMaxSuggestionSample));
    EXPECT_EQ(suggestion.split, SplitByHand(suggestion.parser, lines));
    std::vector<std::u16string> names;
    std::size_t index = 0;
    for (const log_pattern& item : suggestion.parser) {
        EXPECT_FALSE(item.name.empty());
        EXPECT_EQ(item.name.find_first_of(u"\"'&<>"), std::u16string::npos) << ToUtf8(item.name);
        EXPECT_EQ(std::count(names.begin(), names.end(), item.name), 0) << ToUtf8(item.name);
        names.push_back(item.name);
        if (++index < suggestion.parser.size()) {
            EXPECT_FALSE(item.end.empty()) << ToUtf8(item.name);
        }
    }
    temp_dir dir;
    ASSERT_TRUE(SavePatternFile(suggestion.parser, dir.wide("suggested.xml")));
    log_pattern_list loaded;
    ASSERT_TRUE(LoadPatternFile(loaded, dir.wide("suggested.xml")));
    EXPECT_TRUE(loaded == suggestion.parser) << dir.read("suggested.xml");
}

TEST(parser_Suggestion, TheCorpusFormatsGetTheirColumns)
{
    for (const corpus_format& format : SuggestionCorpus()) {
        const std::vector<std::u16string> lines = ReadCorpus(format.file);
        ASSERT_GE(lines.size(), 10u) << format.file;
        const parser_suggestion suggestion = Suggest(lines);
        EXPECT_EQ(DescribeColumns(suggestion.parser), format.suggested ? format.suggested : format.columns)
            << format.name;
        EXPECT_GE(suggestion.split * 100, suggestion.sampled * 95) << format.name;
        ExpectSound(suggestion, lines, format.name);
    }
    EXPECT_GE(SuggestionCorpus().size(), 20u);
}

TEST(parser_Suggestion, TheSameLinesGiveTheSameParserFromAnyOfTheirRows)
{
    for (const corpus_format& format : SuggestionCorpus()) {
        const std::vector<std::u16string> lines = ReadCorpus(format.file);
        const parser_suggestion first = Suggest(lines);
        EXPECT_TRUE(Suggest(lines).parser == first.parser) << format.name;
        // Another row of the same file gives columns of the same kinds.
        const parser_suggestion other = Suggest(lines, lines.size() / 2);
        EXPECT_EQ(DescribeLayout(DescribeColumns(other.parser)), DescribeLayout(DescribeColumns(first.parser)))
            << format.name << " from row " << lines.size() / 2;
    }
}

TEST(parser_Suggestion, ADateTimeWithSpacesIsOneTypedColumn)
{
    const parser_suggestion suggestion = Suggest(ReadCorpus("dpkg.log"));
    ASSERT_FALSE(suggestion.parser.empty());
    const log_pattern& time = suggestion.parser.front();
    EXPECT_EQ(time.data_format.data_type, DATA_TYPE_DATETIME);
    EXPECT_EQ(time.data_format.format, u"Y-m-d H:M:S");
    EXPECT_EQ(time.end, u" ");
    EXPECT_TRUE(time.end_after_datetime);
    // Where the format holds no blank the switch stays off.
    const parser_suggestion iso = Suggest(ReadCorpus("iso_app.log"));
    EXPECT_FALSE(iso.parser.front().end_after_datetime);
}

TEST(parser_Suggestion, IrregularSpacingBeforeBracketsAndTheMessage)
{
    const std::vector<std::u16string> lines = {
        u"2024-08-05 13:07:10.320  [INFO ]  [main]   Server started on port 8080",
        u"2024-08-05 13:07:11.001 [WARN]    [worker-1] Slow request: GET /orders",
        u"2024-08-05 13:07:12.450   [ERROR] [worker-2]  Payment 4711 failed",
        u"2024-08-05 13:07:13.002 [DEBUG] [main] Cache warmed",
        u"2024-08-05 13:07:14.900 [INFO]     [scheduler]           Cleanup done",
    };
    const parser_suggestion suggestion = Suggest(lines);
    EXPECT_EQ(DescribeColumns(suggestion.parser), "Time:datetime=Y-m-d H:M:S.s | Level | Thread | Message");
    EXPECT_EQ(suggestion.split, lines.size());
    ExpectSound(suggestion, lines, "irregular spacing");
    log_line line;
    ASSERT_TRUE(split_line(line, lines[2].data(), lines[2].size(), suggestion.parser, true));
    EXPECT_EQ(ColumnTexts(line), (std::vector<std::u16string>{u"2024-08-05 13:07:12.450", u"ERROR", u"worker-2",
                                                              u" Payment 4711 failed"}));
}

TEST(parser_Suggestion, EdgeSamples)
{
    const struct {
        const char* name;
        std::vector<std::u16string> lines;
        const char* columns; // null: no parser
    } cases[] = {
        {"an empty sample", {}, nullptr},
        {"only empty lines", {u"", u""}, nullptr},
        {"a line of only a message", {u"Server started, all good."}, "Message"},
        {"one word", {u"x"}, "Message"},
        {"messages of different words", {u"hello world", u"another line here", u"3 apples"}, "Message"},
        {"an empty selected line takes the first line with text",
         {u"", u"2024/08/05 13:07:10 starting", u"2024/08/05 13:07:11 stopping"},
         "Time:datetime=Y/m/d H:M:S | Message"},
        {"a single line with a head",
         {u"2024-08-05T13:07:10Z ERROR disk full"},
         "Time:datetime=Y-m-dTH:M:S | Level | Message"},
        {"brackets that never close", {u"[[[[ [ ( \"", u"[a [b (c"}, "Message"},
    };
    for (const auto& c : cases) {
        const parser_suggestion suggestion = Suggest(c.lines);
        if (!c.columns) {
            EXPECT_TRUE(suggestion.parser.empty()) << c.name;
            EXPECT_EQ(suggestion.sampled, 0u) << c.name;
            EXPECT_EQ(suggestion.split, 0u) << c.name;
            continue;
        }
        EXPECT_EQ(DescribeColumns(suggestion.parser), c.columns) << c.name;
        ExpectSound(suggestion, c.lines, c.name);
    }
}

TEST(parser_Suggestion, BinaryAndLongestLinesStayBounded)
{
    std::mt19937 random(28);
    std::vector<std::u16string> binary;
    for (int i = 0; i < 50; ++i) {
        std::u16string line;
        const std::size_t size = 1 + random() % 300;
        for (std::size_t k = 0; k < size; ++k)
            line.push_back(static_cast<char16_t>(random() % 4 == 0 ? u"[]\"= :-.0123"[random() % 12] : random()));
        binary.push_back(line);
    }
    ExpectSound(Suggest(binary), binary, "binary");

    // 65535 characters: a head, then a message that never ends, and lines
    // made only of opening brackets or of digits.
    std::u16string longest = u"2024-08-05 13:07:10 [INFO] [main] ";
    longest.resize(65535, u'x');
    std::u16string brackets(65535, u'[');
    std::u16string digits(65535, u'7');
    const std::vector<std::u16string> lines = {longest, longest, brackets, digits};
    const parser_suggestion suggestion = Suggest(lines);
    EXPECT_EQ(DescribeColumns(suggestion.parser), "Time:datetime=Y-m-d H:M:S | Level | Thread | Message");
    ExpectSound(suggestion, lines, "longest lines");
    const parser_suggestion from_brackets = Suggest({brackets, digits});
    ExpectSound(from_brackets, {brackets, digits}, "longest brackets");
}

TEST(parser_Suggestion, AtMostTheSampleLimitIsLookedAt)
{
    std::vector<std::u16string> lines(kMaxSuggestionSample + 100, u"2024/08/05 13:07:10 starting");
    const parser_suggestion suggestion = Suggest(lines);
    EXPECT_EQ(suggestion.sampled, kMaxSuggestionSample);
    EXPECT_EQ(suggestion.split, kMaxSuggestionSample);
}

} // namespace
