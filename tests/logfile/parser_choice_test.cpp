#include "logfile/parser_choice.h"
#include "parser/parser_test_support.h"
#include "parser/pattern_xml.h"
#include "platform/files.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// count items; the first count - 1 end with end_text, the last takes the rest.
log_pattern_list columns(int count, const std::u16string& end_text = u";")
{
    log_pattern_list parser;
    for (int i = 0; i < count; ++i)
        parser.push_back(
            Item(u"", i + 1 < count ? end_text : u"", u"c" + std::u16string(1, static_cast<char16_t>(u'0' + i))));
    return parser;
}

std::u16string name_of(const tagPARSER_ITEM* entry)
{
    return entry ? entry->name : u"(default)";
}

class logfile_ParserChoice : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }
    temp_folder folder;
};

TEST_F(logfile_ParserChoice, CandidatesComeMostColumnsFirstAndLaterEntriesFirstAmongEquals)
{
    const parser_list parsers{{columns(3), u"P"}, {columns(5), u"Q"}, {columns(5), u"R"},
                              {columns(1), u"S"}, {columns(3), u"T"}, {log_pattern_list(), u"empty"}};
    std::u16string order;
    for (const tagPARSER_ITEM* entry : parser_candidates(parsers))
        order += entry->name + u" ";
    EXPECT_EQ(order, u"R Q T P S empty ");
    EXPECT_TRUE(parser_candidates(parser_list()).empty());
}

TEST_F(logfile_ParserChoice, ThePQRCases)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("f.log", "a;b;c;d;e\nf;g;h;i;j\n")), 0, false));
    // All fit: R, the highest count and the later of the two fives.
    parser_list parsers{{columns(3), u"P"}, {columns(5), u"Q"}, {columns(5), u"R"}};
    EXPECT_EQ(name_of(choose_parser(file, parsers)), u"R");
    // Only P fits: it is chosen after R and Q fail.
    parsers = {{columns(3), u"P"}, {columns(5, u"|"), u"Q"}, {columns(5, u"|"), u"R"}};
    EXPECT_EQ(name_of(choose_parser(file, parsers)), u"P");
    // None fits.
    parsers = {{columns(3, u"|"), u"P"}};
    EXPECT_EQ(name_of(choose_parser(file, parsers)), u"(default)");
    EXPECT_EQ(name_of(choose_parser(file, parser_list())), u"(default)");
    // A parser without items never fits.
    parsers = {{log_pattern_list(), u"empty"}};
    EXPECT_EQ(name_of(choose_parser(file, parsers)), u"(default)");
    // The choice leaves no window behind.
    EXPECT_TRUE(file.read_window().lines().empty());
    EXPECT_EQ(file.read_window_numbers().first, -1);
}

TEST_F(logfile_ParserChoice, OnlyTheLastFiveLinesAreChecked)
{
    log_file file;
    // The first line does not fit, the last five do.
    ASSERT_TRUE(file.open(widen(folder.write("f.log", "nothing here\n" + numbered_lines(5, ";x\n"))), 0, false));
    EXPECT_TRUE(check_parser(file, columns(2)));
    EXPECT_EQ(file.last_parse_counts().visited, 5u);
    EXPECT_TRUE(file.read_window().lines().empty());

    // The last line does not fit, every earlier one does.
    log_file other;
    ASSERT_TRUE(other.open(widen(folder.write("g.log", numbered_lines(20, ";x\n") + "no semicolon\n")), 0, false));
    EXPECT_FALSE(check_parser(other, columns(2)));
    EXPECT_TRUE(other.read_window().lines().empty());

    // Three lines: lines 0 to 2 are checked.
    log_file three;
    ASSERT_TRUE(three.open(widen(folder.write("h.log", numbered_lines(3, ";x\n"))), 0, false));
    EXPECT_TRUE(check_parser(three, columns(2)));
    EXPECT_EQ(three.last_parse_counts().visited, 3u);
    EXPECT_EQ(three.last_parse_counts().split, 3u);

    // A line with more items' worth of text still has exactly the count.
    EXPECT_TRUE(check_parser(three, columns(1)));
    EXPECT_FALSE(check_parser(three, columns(3)));
    EXPECT_FALSE(check_parser(three, log_pattern_list()));
}

TEST_F(logfile_ParserChoice, AFileEmptyAtOpenGetsItsParserAfterARefresh)
{
    const std::string path = folder.write("e.log", "");
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    const parser_list parsers{{columns(3), u"three"}};
    EXPECT_EQ(name_of(choose_parser(file, parsers)), u"(default)");
    EXPECT_FALSE(check_parser(file, columns(3)));
    folder.append(path, "a;b;c\nd;e;f\n");
    EXPECT_EQ(file.refresh(), 2);
    EXPECT_EQ(name_of(choose_parser(file, parsers)), u"three");
}

TEST_F(logfile_ParserChoice, AFileWithABomButNoCompleteLineHasNoParserToChoose)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("b.log", "\xEF\xBB\xBF"
                                                      "a;b;c")),
                          0, false));
    EXPECT_EQ(file.encoding(), ENCODING_UTF8);
    EXPECT_EQ(name_of(choose_parser(file, parser_list{{columns(3), u"three"}})), u"(default)");
}

std::string read_text(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The lines of a golden sample that its parser splits completely.
std::string sample_lines(const char* sample, std::size_t count)
{
    std::istringstream in(read_text(std::filesystem::path(VARNOTH_PARSER_GOLDEN) / sample));
    std::string out;
    std::size_t taken = 0;
    for (std::string line; taken < count && std::getline(in, line); ++taken)
        out += line + "\n";
    return out;
}

TEST_F(logfile_ParserChoice, TheShippedParsersAreChosenForTheirFormats)
{
    parser_list shipped;
    const std::u16string resources = std::filesystem::path(VARNOTH_SOURCE_RESOURCES).u16string();
    ASSERT_GE(LoadParserList(shipped, JoinPath(resources, u"parser")), 7u);
    const struct {
        const char* name;
        std::string text;
        const char16_t* parser;
    } cases[] = {
        {"combined", sample_lines("combined_access.log", 4), u"Web server combined access"},
        {"common", sample_lines("access.log", 3), u"Web server access"},
        {"syslog", sample_lines("syslog.log", 4), u"Syslog"},
        {"syslog, early in the month", sample_lines("syslog_padded.log", 3), u"Syslog, space-padded day"},
        {"ISO 8601", sample_lines("iso8601.log", 4), u"ISO 8601 log"},
        {"Java", sample_lines("java.log", 3), u"Java log"},
        {"application", sample_lines("application.log", 3), u"Application log"},
        {"package manager", sample_lines("package_manager.log", 7), u"Package manager log"},
        {"application sample", read_text(std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "samples" / "sample.log"),
         u"Application log"},
        {"access sample", read_text(std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "samples" / "access.log"),
         u"Web server access"},
        {"none", "just some words\nwithout any structure\nat all\n", u"(default)"},
    };
    for (const auto& c : cases) {
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("s.log", c.text)), 0, false)) << c.name;
        EXPECT_EQ(name_of(choose_parser(file, shipped)), c.parser) << c.name;
    }
}

// A user's parser for "YYYY-mm-dd HH:MM:SS action package version" lines,
// written with a date and a time column.
log_pattern_list users_package_parser()
{
    return Parser({Typed(Item(u"", u" ", u"Date"), DATA_TYPE_DATETIME, u"Y-m-d"),
                   Typed(Item(u"", u" ", u"Time"), DATA_TYPE_DATETIME, u"H:M:S"), Item(u"", u" ", u"Action"),
                   Item(u"", u" ", u"Package"), Item(u"", u"", u"Version")});
}

TEST_F(logfile_ParserChoice, TypedColumnsThatDoNotReadKeepAParserFromWinning)
{
    parser_list parsers;
    const std::u16string resources = std::filesystem::path(VARNOTH_SOURCE_RESOURCES).u16string();
    ASSERT_GE(LoadParserList(parsers, JoinPath(resources, u"parser")), 8u);
    parsers.push_back({users_package_parser(), u"mine"});
    const log_pattern_list numbered = Parser({Typed(Item(u"", u";", u"n"), DATA_TYPE_NUMERIC), Item(u"", u"", u"x")});
    const struct {
        const char* name;
        std::string text;
        parser_list extra;
        const char16_t* parser;
    } cases[] = {
        // Its Date column never reads: the default parser is better.
        {"update-alternatives",
         "update-alternatives 2024-08-05 13:07:15: run with --install /usr/bin/editor editor /usr/bin/vim 30\n"
         "update-alternatives 2024-08-05 13:07:15: using /usr/bin/vim to provide /usr/bin/editor (editor) in auto\n",
         {},
         u"(default)"},
        // Its Time column reads, but with ".320" left over: the shipped
        // parser whose values read whole wins despite fewer columns.
        {"application", sample_lines("application.log", 3), {}, u"Application log"},
        // Its values all read whole, and it has the most columns.
        {"package manager", sample_lines("package_manager.log", 7), {}, u"mine"},
        // A size of "-" does not read as a number, but other lines' sizes do:
        // the parser still fits, no other fits whole.
        {"access with a missing size", sample_lines("access.log", 3), {}, u"Web server access"},
        // A typed column that reads on no line rules a parser out even when
        // nothing else fits.
        {"numbers that never read", "a;b\nc;d\n", {{numbered, u"numbered"}}, u"(default)"},
        {"numbers that read on one line", "a;b\n7;d\n", {{numbered, u"numbered"}}, u"numbered"},
    };
    for (const auto& c : cases) {
        parser_list candidates = parsers;
        candidates.insert(candidates.end(), c.extra.begin(), c.extra.end());
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("t.log", c.text)), 0, false)) << c.name;
        EXPECT_EQ(name_of(choose_parser(file, candidates)), c.parser) << c.name;
        EXPECT_TRUE(file.read_window().lines().empty()) << c.name;
    }
}

TEST_F(logfile_ParserChoice, AWholeFitBeatsAPartFitAndMostColumnsWinAmongEquals)
{
    const auto typed = [](int count, int32_t data_type) {
        log_pattern_list parser = columns(count);
        parser.front().data_format.data_type = data_type;
        parser.front().data_format.format = u"H:M:S";
        return parser;
    };
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("f.log", "13:07:10.5;b;c;d\n13:07:11.5;f;g;h\n")), 0, false));
    EXPECT_EQ(rate_parser(file, typed(4, DATA_TYPE_DATETIME)), parser_fit::partly); // ".5" is left over
    EXPECT_EQ(rate_parser(file, typed(3, DATA_TYPE_TEXT)), parser_fit::whole);
    EXPECT_EQ(rate_parser(file, typed(3, DATA_TYPE_IPV4)), parser_fit::none);
    EXPECT_EQ(rate_parser(file, columns(5)), parser_fit::none);
    EXPECT_EQ(rate_parser(file, log_pattern_list()), parser_fit::none);
    EXPECT_TRUE(check_parser(file, typed(3, DATA_TYPE_IPV4))); // it splits, whatever the values say

    parser_list parsers{{typed(4, DATA_TYPE_DATETIME), u"four, partly"},
                        {typed(2, DATA_TYPE_TEXT), u"two"},
                        {typed(3, DATA_TYPE_TEXT), u"three"},
                        {typed(4, DATA_TYPE_IPV4), u"four, none"}};
    EXPECT_EQ(name_of(choose_parser(file, parsers)), u"three");
    parsers.pop_front();
    parsers.push_front({typed(3, DATA_TYPE_DATETIME), u"three, partly"});
    parsers.remove_if([](const tagPARSER_ITEM& entry) { return entry.name != u"three, partly"; });
    EXPECT_EQ(name_of(choose_parser(file, parsers)), u"three, partly"); // a part fit beats the default parser
}

} // namespace
