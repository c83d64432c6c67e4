#include "index_helpers.h"
#include "log_file_access.h"
#include "logfile/log_file.h"
#include "parser/parser_test_support.h"
#include "parser/split_line.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace {

// "<n> key=<n % 7>": a number, then a key and its value.
std::string keyed_lines(int count, const std::string& end = "\n")
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += std::to_string(i) + " key=" + std::to_string(i % 7) + end;
    return out;
}

log_pattern_list keyed_parser()
{
    return Parser({Typed(Item(u"", u" ", u"number"), DATA_TYPE_NUMERIC), Item(u"", u"=", u"key"),
                   Typed(Item(u"", u"", u"value"), DATA_TYPE_NUMERIC)});
}

int64_t number_of(const log_line& line)
{
    return line.columns().empty() ? -1 : line.columns()[0].value().payload;
}

std::vector<int64_t> numbers(const std::vector<log_line*>& lines)
{
    std::vector<int64_t> out;
    for (const log_line* line : lines)
        out.push_back(number_of(*line));
    return out;
}

std::vector<int64_t> range(int64_t first, int64_t last)
{
    std::vector<int64_t> out;
    for (int64_t n = first; n <= last; ++n)
        out.push_back(n);
    return out;
}

class logfile_ParseRange : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }

    void open(log_file& file, const std::string& text, uint64_t max_lines = 0, bool tail_first = false)
    {
        ASSERT_TRUE(file.open(widen(folder.write("w.log", text)), max_lines, tail_first));
    }

    temp_folder folder;
};

TEST_F(logfile_ParseRange, SplitsAndTypesEveryLineOfTheWindow)
{
    log_file file;
    open(file, keyed_lines(1000, "\r\n"));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 10, 20));
    int64_t first, last;
    file.window(first, last);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 29);
    const log_file::window_reader window = file.read_window();
    ASSERT_EQ(window.lines().size(), 20u);
    const std::vector<line_list::value_type> indexed = indexed_lines(file);
    for (std::size_t i = 0; i < 20; ++i) {
        const log_line& line = *window.lines()[i];
        const int n = static_cast<int>(10 + i);
        EXPECT_EQ(line.offset, indexed[static_cast<std::size_t>(n)].first);
        EXPECT_EQ(std::u16string(line.text().begin(), line.text().end()),
                  widen(std::to_string(n) + " key=" + std::to_string(n % 7)));
        ASSERT_EQ(line.columns().size(), 3u);
        EXPECT_EQ(ColumnText(line, line.columns()[1]), u"key");
        EXPECT_EQ(line.columns()[0].value().payload, n);
        EXPECT_EQ(line.columns()[2].value().payload, n % 7);
        // One block for the line, its column records and its text.
        EXPECT_TRUE(line.in_one_block());
    }
}

TEST_F(logfile_ParseRange, CountZeroOrBeyondTheIndexTakesEveryLineToTheEnd)
{
    log_file file;
    open(file, keyed_lines(250));
    for (uint64_t count : {uint64_t{0}, uint64_t{250}, uint64_t{100000}}) {
        ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 40, count));
        const log_file::window_numbers numbers = file.read_window_numbers();
        EXPECT_EQ(numbers.first, 40) << count;
        EXPECT_EQ(numbers.last, 249) << count;
        EXPECT_EQ(::numbers(file.read_window().lines()), range(40, 249)) << count;
        file.discard_lines();
    }
    // Exactly the number of lines from the first one: count 0 means all of
    // the index, the window still starts at the first line asked for.
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 0, 0));
    EXPECT_EQ(file.read_window().lines().size(), 250u);
}

TEST_F(logfile_ParseRange, RefusesAndChangesNothing)
{
    log_file file;
    open(file, keyed_lines(50));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 5, 10));
    const std::vector<log_line*> before = file.read_window().lines();
    EXPECT_FALSE(file.parse_range(file.indexer().hold(), keyed_parser(), 50, 10));    // first line not indexed
    EXPECT_FALSE(file.parse_range(file.indexer().hold(), keyed_parser(), -1, 10));    // negative
    EXPECT_FALSE(file.parse_range(file.indexer().hold(), log_pattern_list(), 0, 10)); // parser without items
    EXPECT_EQ(file.read_window().lines(), before);
    int64_t first, last;
    file.window(first, last);
    EXPECT_EQ(first, 5);
    EXPECT_EQ(last, 14);

    log_file closed;
    EXPECT_FALSE(closed.parse_range(closed.indexer().hold(), keyed_parser(), 0, 0));
    log_file empty;
    open(empty, "");
    EXPECT_FALSE(empty.parse_range(empty.indexer().hold(), keyed_parser(), 0, 0));
}

TEST_F(logfile_ParseRange, MovingTheWindowByOneLineReadsConvertsAndSplitsOneLine)
{
    log_file file;
    open(file, keyed_lines(5000));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 100, 1000));
    const std::vector<log_line*> old_lines = file.read_window().lines();

    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 101, 1000));
    log_file::parse_counts counts = file.last_parse_counts();
    EXPECT_EQ(counts.visited, 1000u);
    EXPECT_EQ(counts.reused, 999u);
    EXPECT_EQ(counts.reads, 1u);
    EXPECT_EQ(counts.converted, 1u);
    EXPECT_EQ(counts.split, 1u);
    EXPECT_EQ(counts.bytes_read, std::string("1100 key=1").size()); // only the new line's bytes
    {
        const log_file::window_reader window = file.read_window();
        EXPECT_EQ(numbers(window.lines()), range(101, 1100));
        // The same objects, with their columns.
        for (std::size_t i = 0; i < 999; ++i)
            EXPECT_EQ(window.lines()[i], old_lines[i + 1]);
    }

    // Back by one: the new line comes first.
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 100, 1000));
    counts = file.last_parse_counts();
    EXPECT_EQ(counts.reused, 999u);
    EXPECT_EQ(counts.split, 1u);
    EXPECT_EQ(numbers(file.read_window().lines()), range(100, 1099));

    // The same window again reads nothing at all.
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 100, 1000));
    counts = file.last_parse_counts();
    EXPECT_EQ(counts.reused, 1000u);
    EXPECT_EQ(counts.reads, 0u);
    EXPECT_EQ(counts.split, 0u);

    // A window elsewhere reads every line again, in few reads.
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 3000, 1000));
    counts = file.last_parse_counts();
    EXPECT_EQ(counts.reused, 0u);
    EXPECT_EQ(counts.split, 1000u);
    EXPECT_EQ(counts.reads, 1u);
    EXPECT_EQ(numbers(file.read_window().lines()), range(3000, 3999));
}

TEST_F(logfile_ParseRange, ReadsTheLinesOfALargeWindowInBuffersOfAtMostFourMegabytes)
{
    log_file file;
    const std::string text = keyed_lines(400000); // about 5.8 MB
    open(file, text);
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 0, 0));
    const log_file::parse_counts counts = file.last_parse_counts();
    EXPECT_EQ(counts.split, 400000u);
    // Two threads share the lines in chunks, each chunk read once by the
    // thread that takes it: no byte is read twice, and a few dozen reads at
    // most (one thread alone reads twice).
    EXPECT_GE(counts.reads, 2u);
    EXPECT_LE(counts.reads, 24u);
    EXPECT_LE(counts.bytes_read, text.size());
    EXPECT_EQ(numbers(file.read_window().lines()), range(0, 399999));

    // The last five lines cost only their own bytes.
    file.discard_lines();
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 399995, 5));
    EXPECT_EQ(file.last_parse_counts().reads, 1u);
    EXPECT_LT(file.last_parse_counts().bytes_read, 100u);
}

TEST_F(logfile_ParseRange, UnreadableLinesAreLeftOutWhileTheWindowCountsThem)
{
    // A short window, and one long enough for two threads to share.
    for (const int count : {100, 20000}) {
        const std::string path = folder.write("t.log", keyed_lines(count));
        log_file file;
        ASSERT_TRUE(file.open(widen(path), 0, false));
        const line_list indexed = indexed_lines(file);
        // The file loses its last 40 % after it was indexed.
        const int kept = count * 6 / 10;
        ASSERT_EQ(truncate(path.c_str(), indexed[static_cast<std::size_t>(kept)].first), 0);
        ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), count / 2, 0));
        EXPECT_EQ(numbers(file.read_window().lines()), range(count / 2, kept - 1)) << count;
        int64_t first, last;
        file.window(first, last);
        EXPECT_EQ(first, count / 2);
        EXPECT_EQ(last, count - 1);
        file.close();
    }
}

TEST_F(logfile_ParseRange, OddTwoByteLinesAreLeftOutWhileTheWindowCountsThem)
{
    for (bool little : {true, false}) {
        const std::string bom = little ? "\xFF\xFE" : "\xFE\xFF";
        const std::string path = folder.write("u.log", bom + ucs2_bytes(u"0 a=1\n1 b=2\n2 c=3\n", little));
        log_file whole;
        ASSERT_TRUE(whole.open(widen(path), 0, false));
        const line_list indexed = indexed_lines(whole);
        ASSERT_EQ(indexed.size(), 3u);
        ASSERT_TRUE(whole.parse_range(whole.indexer().hold(), keyed_parser(), 0, 0));
        EXPECT_EQ(numbers(whole.read_window().lines()), (std::vector<int64_t>{0, 1, 2})) << little;

        // No scan makes an odd two-byte line: lay out the index by hand, the
        // middle line one byte short.
        log_file file;
        ASSERT_TRUE(file.open(widen(path), 1, false));
        log_file_test_access::add_indexed_line(file, indexed[1].first, static_cast<uint16_t>(indexed[1].second - 1));
        log_file_test_access::add_indexed_line(file, indexed[2].first, static_cast<uint16_t>(indexed[2].second));
        ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 0, 0));
        EXPECT_EQ(numbers(file.read_window().lines()), (std::vector<int64_t>{0, 2})) << little;
        int64_t first, last;
        file.window(first, last);
        EXPECT_EQ(first, 0);
        EXPECT_EQ(last, 2);
    }
}

TEST_F(logfile_ParseRange, LinesThatDoNotFitKeepTheColumnsMadeBeforeTheFailure)
{
    log_file file;
    open(file, "1 key=2\n3 nokey\n4\n\x01\x02 \xff\xfe\n" + std::string(65532, 'x') + " a=\nafter=1\n");
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 0, 0));
    const log_file::window_reader window = file.read_window();
    ASSERT_EQ(window.lines().size(), 6u);
    const std::size_t expected[] = {3, 1, 0, 1, 2, 0};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(window.lines()[i]->columns().size(), expected[i]) << i;
    EXPECT_EQ(window.lines()[4]->text().size(), 65535u);
}

// Verdicts in place of the filters: which lines pass depends on the test.
bool even(const log_line& line)
{
    return number_of(line) % 2 == 0;
}
bool multiple_of_three(const log_line& line)
{
    return number_of(line) % 3 == 0;
}
bool multiple_of_five(const log_line& line)
{
    return number_of(line) % 5 == 0;
}

std::vector<int64_t> passing(int64_t first, int64_t last, bool (*test)(const log_line&), bool (*also)(const log_line&))
{
    std::vector<int64_t> out;
    for (int64_t n = first; n <= last; ++n) {
        log_line line;
        tagDATA_VALUE value;
        value.payload = n;
        value.valid = true;
        line.add_column(0, 0, value);
        if (test(line) && (!also || also(line)))
            out.push_back(n);
    }
    return out;
}

TEST_F(logfile_ParseRange, FilteredAndQuickListsAreRebuiltInFileOrderWithCarriedVerdicts)
{
    log_file file;
    open(file, keyed_lines(400));
    log_file_test_access::set_verdicts(file, even, multiple_of_three);
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 100, 100)); // lines 100-199
    {
        const log_file::window_reader window = file.read_window();
        EXPECT_EQ(numbers(window.filtered_lines()), passing(100, 199, even, nullptr));
        // The quick list takes only lines that pass the groups as well.
        EXPECT_EQ(numbers(window.quick_lines()), passing(100, 199, even, multiple_of_three));
    }

    // New verdicts for new lines; the reused lines 100-199 keep theirs.
    log_file_test_access::set_verdicts(file, multiple_of_five, even);
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 50, 200)); // lines 50-249
    EXPECT_EQ(file.last_parse_counts().reused, 100u);
    std::vector<int64_t> filtered = passing(50, 99, multiple_of_five, nullptr);
    std::vector<int64_t> quick = passing(50, 99, multiple_of_five, even);
    for (int64_t n : passing(100, 199, even, nullptr))
        filtered.push_back(n);
    for (int64_t n : passing(100, 199, even, multiple_of_three))
        quick.push_back(n);
    for (int64_t n : passing(200, 249, multiple_of_five, nullptr))
        filtered.push_back(n);
    for (int64_t n : passing(200, 249, multiple_of_five, even))
        quick.push_back(n);
    {
        const log_file::window_reader window = file.read_window();
        EXPECT_EQ(numbers(window.lines()), range(50, 249));
        EXPECT_EQ(numbers(window.filtered_lines()), filtered);
        EXPECT_EQ(numbers(window.quick_lines()), quick);
    }

    // Without groups in force the quick list takes every line that passes it;
    // the filtered list, not rebuilt, is emptied.
    log_file_test_access::set_verdicts(file, nullptr, multiple_of_three);
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 300, 50));
    {
        const log_file::window_reader window = file.read_window();
        EXPECT_TRUE(window.filtered_lines().empty());
        EXPECT_EQ(numbers(window.quick_lines()), passing(300, 349, multiple_of_three, nullptr));
    }

    // No filter in force: both lists are empty.
    log_file_test_access::set_verdicts(file, nullptr, nullptr);
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 310, 50));
    const log_file::window_reader window = file.read_window();
    EXPECT_TRUE(window.filtered_lines().empty());
    EXPECT_TRUE(window.quick_lines().empty());
    EXPECT_EQ(window.lines().size(), 50u);
}

// A long stretch of new lines is made by two threads; the window is the
// same as one thread makes it, whichever way it moves.
TEST_F(logfile_ParseRange, LongStretchesOfNewLinesMakeTheSameWindowInEitherDirection)
{
    log_file file;
    open(file, keyed_lines(40000));
    log_file_test_access::set_verdicts(file, even, multiple_of_three);
    struct move {
        int64_t first;
        uint64_t reused;
    };
    // From nothing; down by 15000 lines (new lines after the old window);
    // up by 12000 (new lines before it); elsewhere (nothing reused).
    for (const move& m : {move{0, 0}, move{15000, 5000}, move{3000, 8000}, move{20000, 0}}) {
        if (m.first == 20000)
            file.discard_lines();
        ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), m.first, 20000)) << m.first;
        const log_file::parse_counts counts = file.last_parse_counts();
        EXPECT_EQ(counts.visited, 20000u) << m.first;
        EXPECT_EQ(counts.reused, m.reused) << m.first;
        EXPECT_EQ(counts.split, 20000u - m.reused) << m.first;
        const log_file::window_reader window = file.read_window();
        const int64_t last = m.first + 19999;
        EXPECT_EQ(numbers(window.lines()), range(m.first, last)) << m.first;
        for (const log_line* line : window.lines()) {
            ASSERT_EQ(line->columns().size(), 3u);
            ASSERT_EQ(line->columns()[2].value().payload, number_of(*line) % 7);
        }
        EXPECT_EQ(numbers(window.filtered_lines()), passing(m.first, last, even, nullptr)) << m.first;
        EXPECT_EQ(numbers(window.quick_lines()), passing(m.first, last, even, multiple_of_three)) << m.first;
    }
}

TEST_F(logfile_ParseRange, WindowsFollowTheTailWhileTheIndexThreadIsPausedAroundEachParse)
{
    // Tail first: the thread prepends while windows are parsed between its
    // passes; each window's numbers and lines stay in step.
    log_file file;
    open(file, keyed_lines(120000), 1000, true);
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), 0, 1000));
    ASSERT_TRUE(file.start_indexer());
    for (int round = 0; round < 20; ++round) {
        index_hold index_held = file.indexer().hold();
        const log_file::window_numbers numbers = file.read_window_numbers();
        const uint64_t first_number = static_cast<uint64_t>(numbers.first);
        // The window kept its lines while they moved down by the lines prepended.
        EXPECT_EQ(number_of(*file.read_window().lines().front()),
                  static_cast<int64_t>(120000 - numbers.line_count + first_number));
        const int64_t wanted = static_cast<int64_t>(numbers.line_count) - 1000 - round;
        ASSERT_TRUE(file.parse_range(file.indexer().hold(), keyed_parser(), wanted, 1000));
        const int64_t top = static_cast<int64_t>(120000 - file.line_count()) + wanted;
        EXPECT_EQ(::numbers(file.read_window().lines()), range(top, top + 999));
        index_held.release();
    }
    ASSERT_EQ(file.indexer().wait_stopped(20000), 0);
    EXPECT_EQ(file.line_count(), 120000u);
}

struct walk_record {
    std::vector<int64_t> numbers;
    std::vector<uint64_t> positions;
    uint64_t total = 0;
    uint64_t stop_after = 0; // 0: never
};

bool record_line(const log_line& line, uint64_t number, uint64_t total, void* context)
{
    auto* record = static_cast<walk_record*>(context);
    record->numbers.push_back(number_of(line));
    record->positions.push_back(number);
    record->total = total;
    return record->stop_after == 0 || record->positions.size() < record->stop_after;
}

TEST_F(logfile_ParseRange, WalkVisitsEveryIndexedLineInOrder)
{
    log_file file;
    open(file, keyed_lines(30000, "\r\n"));
    walk_record all;
    ASSERT_TRUE(file.for_each_line(keyed_parser(), record_line, &all));
    EXPECT_EQ(all.numbers, range(0, 29999));
    EXPECT_EQ(all.total, 30000u);
    for (std::size_t i = 0; i < all.positions.size(); ++i)
        ASSERT_EQ(all.positions[i], i);

    walk_record stopped;
    stopped.stop_after = 10;
    ASSERT_TRUE(file.for_each_line(keyed_parser(), record_line, &stopped));
    EXPECT_EQ(stopped.numbers, range(0, 9));

    // A test lets only some lines through; the numbers stay those of the file.
    walk_record some;
    ASSERT_TRUE(file.for_each_line(keyed_parser(), record_line, &some,
                                   [](const log_line& line) { return number_of(line) % 1000 == 0; }));
    EXPECT_EQ(some.numbers.size(), 30u);
    EXPECT_EQ(some.positions[1], 1000u);
    EXPECT_EQ(some.numbers[1], 1000);

    EXPECT_FALSE(file.for_each_line(keyed_parser(), nullptr, nullptr));
    // The walk does not touch the window.
    EXPECT_TRUE(file.read_window().lines().empty());
}

TEST_F(logfile_ParseRange, WalkGivesUnreadableLinesWithoutText)
{
    const std::string path = folder.write("t.log", keyed_lines(20));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    ASSERT_EQ(truncate(path.c_str(), indexed_lines(file)[15].first), 0);
    walk_record record;
    ASSERT_TRUE(file.for_each_line(keyed_parser(), record_line, &record));
    std::vector<int64_t> expected = range(0, 14);
    expected.insert(expected.end(), 5, -1);
    EXPECT_EQ(record.numbers, expected);
}

TEST_F(logfile_ParseRange, WalkRefusesWhileTheIndexThreadRuns)
{
    log_file file;
    open(file, keyed_lines(200000), 100, false);
    ASSERT_TRUE(file.start_indexer());
    index_hold index_held = file.indexer().hold();
    walk_record record;
    if (file.indexer().is_running()) {
        EXPECT_FALSE(file.for_each_line(keyed_parser(), record_line, &record));
    }
    EXPECT_TRUE(record.numbers.empty());
    index_held.release();
    ASSERT_EQ(file.indexer().wait_stopped(20000), 0);
    EXPECT_TRUE(file.for_each_line(keyed_parser(), record_line, &record));
    EXPECT_EQ(record.numbers.size(), 200000u);
}

} // namespace
