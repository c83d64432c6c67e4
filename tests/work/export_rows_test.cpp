// The export operation end to end over real log files: what each kind writes,
// in which encoding, with which line ends; how cancelling, failing writes and
// refused targets end; and when the result asks to open the export.
#include "export_test_support.h"
#include "filter/filter_run.h"
#include "filter/filter_store.h"
#include "filter/log_filter_groups.h"
#include "logfile/log_file.h"
#include "parser/default_parser.h"
#include "parser/split_line.h"
#include "platform/message_box.h"
#include "support/temp_dir.h"
#include "work/export_rows.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

log_pattern ColumnItem(std::u16string end, std::u16string name)
{
    log_pattern item(std::move(name));
    item.end = std::move(end);
    return item;
}

// "<number> <level> <message>"
log_pattern_list LevelParser()
{
    log_pattern_list parser;
    parser.push_back(ColumnItem(u" ", u"Number"));
    parser.push_back(ColumnItem(u" ", u"Level"));
    parser.push_back(ColumnItem(u"", u"Message"));
    return parser;
}

const std::vector<std::u16string> kLevelColumns = {u"Number", u"Level", u"Message"};

// Line i of the level logs: every fifth an ERROR, messages with commas and quotes.
std::string LevelLine(int i)
{
    const char* level = i % 5 == 0 ? "ERROR" : (i % 2 ? "INFO" : "DEBUG");
    return std::to_string(i) + " " + level + " message " + std::to_string(i) + (i % 3 ? ", with \"quotes\"" : "");
}

std::string LevelLog(int count, const std::string& end)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += LevelLine(i) + end;
    return text;
}

log_filter_groups ErrorsOnly()
{
    log_filter condition;
    condition.SetColumn(u"Level");
    condition.SetType(FILTER_TYPE_EQUAL);
    condition.SetContent(u"ERROR");
    log_filter_groups groups;
    groups.AddCondition(condition);
    return groups;
}

// A CSV field by the rule, as an independent spelling of it.
std::string CsvField(const std::string& field, bool quoted)
{
    if (!quoted || field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string out = "\"";
    for (char c : field) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

// The CSV line of a level line, split by a plain scan.
std::string LevelCsv(const std::string& line)
{
    const std::size_t a = line.find(' ');
    const std::size_t b = line.find(' ', a + 1);
    return CsvField(line.substr(0, a), true) + "," + CsvField(line.substr(a + 1, b - a - 1), true) + ","
           + CsvField(line.substr(b + 1), true) + "\r\n";
}

const char* const kBom = "\xEF\xBB\xBF";

class ExportRows_Test : public ::testing::Test {
protected:
    void SetUp() override { LoadEnglishDictionary(); }
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }

    void open(log_file& file, const std::string& bytes, const char* name = "source.log")
    {
        dir.write(name, bytes);
        source_path = dir.wide(name);
        ASSERT_TRUE(file.open(source_path, 0, false));
    }

    // The window of every line, parsed with parser.
    std::vector<log_line*> window(log_file& file, const log_pattern_list& parser)
    {
        EXPECT_TRUE(file.parse_range(file.indexer().hold(), parser, 0, 0));
        return file.read_window().lines();
    }

    export_request request(log_file& file, int32_t kind, const std::string& target,
                           const log_pattern_list* parser = nullptr)
    {
        export_request r;
        r.kind = kind;
        r.path = dir.wide(target);
        r.csv = IsCsvTarget(r.path);
        r.file = &file;
        r.file_path = source_path;
        r.parser = parser;
        r.column_names = kLevelColumns;
        return r;
    }

    export_hooks hooks()
    {
        export_hooks h;
        h.message = std::ref(messages);
        h.progress = [this](int64_t current, int64_t total) { progress.push_back({current, total}); };
        h.cancel_requested = [this] { return ++cancel_tests > cancel_after; };
        return h;
    }

    std::vector<std::u16string> message_texts() const
    {
        std::vector<std::u16string> texts;
        for (const shown_message& m : messages.shown)
            texts.push_back(m.text);
        return texts;
    }

    void expect_completed(const export_result& result, bool log)
    {
        EXPECT_EQ(result.end, export_end::completed);
        EXPECT_EQ(result.open_after, log);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, DictionaryText(u"IDS_MSG_EXPORT_COMPLETE"));
        EXPECT_EQ(messages.shown[0].flags, MB_OK | MB_ICONINFORMATION);
    }

    scoped_code_page code_page{"WINDOWS-1252"};
    temp_dir dir;
    std::u16string source_path;
    message_recorder messages;
    std::vector<std::pair<int64_t, int64_t>> progress;
    int cancel_tests = 0;
    int cancel_after = 1 << 30;
};

TEST_F(ExportRows_Test, VisibleRowsOfAFilteredViewAreExactlyTheRowsShownInEveryLineEnd)
{
    for (const std::string end : {"\n", "\r", "\r\n"}) {
        SCOPED_TRACE(testing::PrintToString(end));
        log_file file;
        open(file, LevelLog(200, end));
        const log_pattern_list parser = LevelParser();
        const std::vector<log_line*> lines = window(file, parser);
        const filter_run_result shown = RunFilter(lines, parser, ErrorsOnly(), log_filter());
        ASSERT_EQ(shown.filtered.size(), 40u);

        std::string expected_log;
        std::string expected_csv = "Number,Level,Message\r\n";
        for (int i = 0; i < 200; ++i) {
            if (LevelLine(i).find(" ERROR ") != std::string::npos) {
                expected_log += LevelLine(i) + end;
                expected_csv += LevelCsv(LevelLine(i));
            }
        }
        for (const char* target : {"rows.log", "rows.csv"}) {
            messages.shown.clear();
            export_request r = request(file, EXPORT_KIND_VISIBLE_ROWS, target);
            r.rows = shown.filtered;
            const export_result result = ExportRows(r, hooks());
            const bool log = !r.csv;
            expect_completed(result, log);
            EXPECT_EQ(result.rows_written, 40u);
            // An ANSI source: no byte-order mark.
            EXPECT_EQ(dir.read(target), log ? expected_log : expected_csv);
        }
    }
}

TEST_F(ExportRows_Test, SelectedRowsAreTheSelectionInRowOrder)
{
    log_file file;
    open(file, LevelLog(30, "\n"));
    const std::vector<log_line*> lines = window(file, LevelParser());
    export_request r = request(file, EXPORT_KIND_SELECTED_ROWS, "sel.log");
    r.rows = lines;
    r.selected = {0, 3, 4, 29, 30, 5000}; // the last two lie past the rows
    const export_result result = ExportRows(r, hooks());
    expect_completed(result, true);
    EXPECT_EQ(result.rows_written, 4u);
    EXPECT_EQ(dir.read("sel.log"),
              LevelLine(0) + "\n" + LevelLine(3) + "\n" + LevelLine(4) + "\n" + LevelLine(29) + "\n");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), std::make_pair(int64_t{0}, int64_t{6}));
}

TEST_F(ExportRows_Test, CsvQuotesCommasAndQuotationMarksAndLeavesEmptyFieldsEmpty)
{
    log_file file;
    open(file, "x,y|say \"hi\"|\n"
               "plain|\"|a\"b,c\n"
               "||\n"
               "only first\n");
    log_pattern_list parser;
    parser.push_back(ColumnItem(u"|", u"A"));
    parser.push_back(ColumnItem(u"|", u"B"));
    parser.push_back(ColumnItem(u"", u"C"));
    const std::vector<std::u16string> names = {u"A", u"B, and more", u"C"};
    const std::string header = "A,\"B, and more\",C\r\n";
    const std::string body = "\"x,y\",\"say \"\"hi\"\"\"\r\n"
                             "plain,\"\"\"\",\"a\"\"b,c\"\r\n";

    // A whole-file export writes each line's own columns: "||" splits into
    // two empty cells (a value may not start at the end of the text), "only
    // first" into none and is left out.
    export_request whole = request(file, EXPORT_KIND_WHOLE_FILE, "w.csv", &parser);
    whole.column_names = names;
    ASSERT_EQ(ExportRows(whole, hooks()).end, export_end::completed);
    EXPECT_EQ(dir.read("w.csv"), header + body + ",\r\n");

    // A row of the list has every list column, empty where the line has none.
    export_request visible = request(file, EXPORT_KIND_VISIBLE_ROWS, "v.csv");
    const std::vector<log_line*> lines = window(file, parser);
    visible.rows = lines;
    visible.column_names = names;
    ASSERT_EQ(ExportRows(visible, hooks()).end, export_end::completed);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(dir.read("v.csv"), header
                                     + "\"x,y\",\"say \"\"hi\"\"\",\r\n"
                                       "plain,\"\"\"\",\"a\"\"b,c\"\r\n"
                                       ",,\r\n"
                                       ",,\r\n");
}

TEST_F(ExportRows_Test, SingleColumnLinesAreWrittenUnquoted)
{
    log_file file;
    open(file, "a,b \"c\"\nplain\n\"leading quote\n");
    const log_pattern_list parser = MakeDefaultParser(u"Line, whole");
    export_request r = request(file, EXPORT_KIND_WHOLE_FILE, "one.csv", &parser);
    r.column_names = {u"Line, whole"};
    expect_completed(ExportRows(r, hooks()), false);
    EXPECT_EQ(dir.read("one.csv"), "Line, whole\r\na,b \"c\"\r\nplain\r\n\"leading quote\r\n");
}

TEST_F(ExportRows_Test, ByteOrderMarkOnlyForSourcesThatAreNotAnsi)
{
    struct row {
        const char* name;
        std::string bytes;
        int32_t chosen; // the user's encoding choice, 0 for the one the file opens in
        std::string expected; // the whole log export
    } rows[] = {
        {"ansi", "caf\xE9 \x80\n", 0, "caf\xE9 \x80\n"},
        // Read as ANSI by the user's choice: the same bytes come back without a mark.
        {"utf8 without bom, as ansi", "caf\xC3\xA9\n", ENCODING_ANSI, "caf\xC3\xA9\n"},
        {"utf8 without bom, guessed", "caf\xC3\xA9\n", 0, std::string(kBom) + "caf\xC3\xA9\n"},
        {"utf8 with bom", std::string(kBom) + "caf\xC3\xA9\r\n", 0, std::string(kBom) + "caf\xC3\xA9\r\n"},
        {"ucs2 le", std::string("\xFF\xFE") + std::string("c\0a\0f\0\xE9\0-\0\x2d\x4e\r\0\n\0", 16), false,
         std::string(kBom) + "caf\xC3\xA9-\xE4\xB8\xAD\r\n"},
        {"ucs2 be", std::string("\xFE\xFF") + std::string("\0c\0a\0f\0\xE9\0-\x4e\x2d\0\n", 14), 0,
         std::string(kBom) + "caf\xC3\xA9-\xE4\xB8\xAD\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        log_file file;
        open(file, r.bytes);
        if (r.chosen != 0) {
            ASSERT_TRUE(file.set_encoding(r.chosen));
        }
        const log_pattern_list parser = MakeDefaultParser(u"Line");
        const std::vector<log_line*> lines = window(file, parser);
        for (const int32_t kind : {EXPORT_KIND_VISIBLE_ROWS, EXPORT_KIND_WHOLE_FILE}) {
            export_request log = request(file, kind, "e.log", &parser);
            log.rows = lines;
            ASSERT_EQ(ExportRows(log, hooks()).end, export_end::completed);
            EXPECT_EQ(dir.read("e.log"), r.expected) << "kind " << kind;

            export_request csv = request(file, kind, "e.csv", &parser);
            csv.rows = lines;
            csv.column_names = {u"Line"};
            ASSERT_EQ(ExportRows(csv, hooks()).end, export_end::completed);
            const std::string written = dir.read("e.csv");
            const bool bom = r.expected.rfind(kBom, 0) == 0;
            EXPECT_EQ(written.rfind(kBom, 0) == 0, bom) << "kind " << kind;
            EXPECT_EQ(written.substr(bom ? 3 : 0, 6), "Line\r\n");
        }
    }
}

TEST_F(ExportRows_Test, WholeFileLeavesOutLinesWithoutColumns)
{
    std::string text;
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        const bool splits = i % 7 != 3;
        const std::string line = splits ? "key" + std::to_string(i) + " | value, " + std::to_string(i)
                                        : "no separator in line " + std::to_string(i);
        text += line + "\r\n";
        if (splits)
            expected += "key" + std::to_string(i) + ",\"value, " + std::to_string(i) + "\"\r\n";
    }
    log_file file;
    open(file, text);
    log_pattern_list parser;
    parser.push_back(ColumnItem(u" | ", u"Key"));
    parser.push_back(ColumnItem(u"", u"Value"));
    export_request r = request(file, EXPORT_KIND_WHOLE_FILE, "w.csv", &parser);
    r.column_names = {u"Key", u"Value"};
    const export_result result = ExportRows(r, hooks());
    expect_completed(result, false);
    EXPECT_EQ(dir.read("w.csv"), "Key,Value\r\n" + expected);
    EXPECT_EQ(result.rows_written, 3000u - 3000u / 7 - (3000 % 7 > 3 ? 1 : 0));
}

TEST_F(ExportRows_Test, WholeFileLogKeepsTheSourcesLineEnd)
{
    struct row {
        const char* name;
        std::string bytes;
        std::string expected;
    } rows[] = {
        {"lf", "a\nb\nc\n", "a\nb\nc\n"},
        {"cr", "a\rb\rc\r", "a\rb\rc\r"},
        {"cr lf", "a\r\nb\r\nc\r\n", "a\r\nb\r\nc\r\n"},
        {"mixed: the first line decides", "a\r\nb\nc\r", "a\r\nb\r\nc\r\n"},
        // An unfinished last line is not indexed (it may still be written), so not exported.
        {"unfinished last line", "a\r\nb", "a\r\n"},
        {"no line end at all", "only", ""},
        {"ucs2 le cr lf",
         std::string("\xFF\xFE"
                     "a\0\r\0\n\0b\0\r\0\n\0",
                     14),
         std::string(kBom) + "a\r\nb\r\n"},
        {"ucs2 be cr", std::string("\xFE\xFF\0a\0\r\0b\0\r", 10), std::string(kBom) + "a\rb\r"},
    };
    const log_pattern_list parser = MakeDefaultParser(u"Line");
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        log_file file;
        open(file, r.bytes);
        ASSERT_EQ(ExportRows(request(file, EXPORT_KIND_WHOLE_FILE, "t.log", &parser), hooks()).end,
                  export_end::completed);
        EXPECT_EQ(dir.read("t.log"), r.expected);
    }
}

TEST_F(ExportRows_Test, WithoutALineEndInTheSourceRowsEndInALineFeed)
{
    // A one-byte file has no line and so no line end (and an unknown
    // encoding, which is not ANSI: UTF-8 with its mark).
    log_file file;
    open(file, "x");
    ASSERT_EQ(file.encoding(), ENCODING_UNKNOWN);
    ASSERT_FALSE(file.line_end());
    log_line a;
    a.assign_text(std::u16string{u'a', u'\u00e9'});
    log_line b;
    b.assign_text(std::u16string{u'b', u'\0', u'h', u'i', u'd'}); // nothing after a zero
    const std::vector<log_line*> rows = {&a, &b};
    export_request r = request(file, EXPORT_KIND_VISIBLE_ROWS, "n.log");
    r.rows = rows;
    ASSERT_EQ(ExportRows(r, hooks()).end, export_end::completed);
    EXPECT_EQ(dir.read("n.log"), std::string(kBom) + "a\xC3\xA9\nb\n");
}

TEST_F(ExportRows_Test, FilteredFileExportsTheLinesTheConditionsPass)
{
    log_file file;
    open(file, LevelLog(5000, "\n"));
    const log_pattern_list parser = LevelParser();
    const log_filter_groups groups = ErrorsOnly();
    std::string expected;
    std::string everything;
    for (int i = 0; i < 5000; ++i) {
        everything += LevelLine(i) + "\n";
        if (i % 5 == 0)
            expected += LevelLine(i) + "\n";
    }
    export_request r = request(file, EXPORT_KIND_FILTERED_FILE, "f.log", &parser);
    r.groups = &groups;
    expect_completed(ExportRows(r, hooks()), true);
    EXPECT_EQ(dir.read("f.log"), expected);

    // Without conditions (the user said Yes to exporting everything) every line passes.
    const log_filter_groups none;
    r.groups = &none;
    ASSERT_EQ(ExportRows(r, hooks()).end, export_end::completed);
    EXPECT_EQ(dir.read("f.log"), everything);
    r.groups = nullptr;
    ASSERT_EQ(ExportRows(r, hooks()).end, export_end::completed);
    EXPECT_EQ(dir.read("f.log"), everything);
}

// The results of a filter over the whole file go out as the filtered
// export writes the same lines, in log and CSV form; a result that cannot
// be read is passed over.
TEST_F(ExportRows_Test, ResultsGoOutAsTheFilteredFileWritesTheirLines)
{
    log_file file;
    open(file, LevelLog(3000, "\r\n"));
    const log_pattern_list parser = LevelParser();
    const std::vector<log_line*> rows = window(file, parser);
    ASSERT_EQ(rows.size(), 3000u);
    const log_filter_groups groups = ErrorsOnly();
    std::vector<uint64_t> errors;
    for (uint64_t i = 0; i < 3000; i += 5)
        errors.push_back(i);
    for (const char* target : {"r.log", "r.csv"}) {
        const std::string reference = std::string("f") + target;
        export_request filtered = request(file, EXPORT_KIND_FILTERED_FILE, reference, &parser);
        filtered.groups = &groups;
        ASSERT_EQ(ExportRows(filtered, hooks()).end, export_end::completed);

        export_request results = request(file, EXPORT_KIND_RESULTS, target);
        results.result_lines = errors;
        results.result_lines.push_back(7000); // past the file
        results.read_line = [&rows, &parser](uint64_t n, log_line& out) {
            if (n >= rows.size())
                return false;
            const std::u16string text(rows[static_cast<std::size_t>(n)]->text());
            out = log_line{};
            return split_line(out, text.data(), text.size(), parser, true);
        };
        messages.shown.clear();
        const export_result result = ExportRows(results, hooks());
        expect_completed(result, std::string(target) == "r.log");
        EXPECT_EQ(result.rows_written, errors.size());
        EXPECT_TRUE(dir.read(target) == dir.read(reference)) << target;
    }
    // Without a reader nothing is written.
    export_request unread = request(file, EXPORT_KIND_RESULTS, "u.log");
    unread.result_lines = errors;
    EXPECT_EQ(ExportRows(unread, hooks()).end, export_end::bad_request);
    EXPECT_FALSE(dir.exists("u.log"));
}

TEST_F(ExportRows_Test, FilteredFilePassesTheQuickFilterToo)
{
    log_file file;
    open(file, LevelLog(3000, "\n"));
    const log_pattern_list parser = LevelParser();
    const log_filter_groups groups = ErrorsOnly();
    log_filter quick;
    ASSERT_TRUE(SetQuickFilter(quick, u"MESSAGE 1", false));
    std::string both;
    std::string quick_only;
    for (int i = 0; i < 3000; ++i) {
        const std::string line = LevelLine(i);
        const bool passes_quick = line.find("message 1") != std::string::npos;
        if (passes_quick)
            quick_only += line + "\n";
        if (passes_quick && i % 5 == 0)
            both += line + "\n";
    }
    ASSERT_FALSE(both.empty());
    export_request r = request(file, EXPORT_KIND_FILTERED_FILE, "q.log", &parser);
    r.groups = &groups;
    r.quick = &quick;
    ASSERT_EQ(ExportRows(r, hooks()).end, export_end::completed);
    EXPECT_EQ(dir.read("q.log"), both);
    // The quick filter as the only filter.
    const log_filter_groups none;
    r.groups = &none;
    ASSERT_EQ(ExportRows(r, hooks()).end, export_end::completed);
    EXPECT_EQ(dir.read("q.log"), quick_only);
    // It filters only the filtered kind.
    r.kind = EXPORT_KIND_WHOLE_FILE;
    ASSERT_EQ(ExportRows(r, hooks()).end, export_end::completed);
    EXPECT_EQ(dir.read("q.log"), LevelLog(3000, "\n"));
}

TEST_F(ExportRows_Test, CellsAndLinesAreWrittenAsTheListShowsThem)
{
    // A one-column line of 65535 'y' (the list shows 65534), and a line of
    // 1 MB (its text holds its first 65535 characters).
    const std::string longest(65535, 'y');
    const std::string huge = std::string(1 << 20, 'z') + "END";
    log_file file;
    open(file, "first\n" + longest + "\n" + huge + "\nlast\n");
    const log_pattern_list parser = MakeDefaultParser(u"Line");
    const std::vector<log_line*> rows = window(file, parser);
    ASSERT_EQ(rows.size(), 4u);
    const std::string shown_cell(65534, 'y');
    const std::string huge_cell(65534, 'z');
    const std::string huge_text(65535, 'z');
    for (int32_t kind : {EXPORT_KIND_VISIBLE_ROWS, EXPORT_KIND_SELECTED_ROWS, EXPORT_KIND_WHOLE_FILE}) {
        SCOPED_TRACE(kind);
        export_request csv = request(file, kind, "c.csv", &parser);
        csv.column_names = {u"Line"};
        csv.rows = rows;
        csv.selected = {1, 2};
        ASSERT_EQ(ExportRows(csv, hooks()).end, export_end::completed);
        const std::string cells = shown_cell + "\r\n" + huge_cell + "\r\n";
        EXPECT_EQ(dir.read("c.csv"),
                  kind == EXPORT_KIND_SELECTED_ROWS ? "Line\r\n" + cells : "Line\r\nfirst\r\n" + cells + "last\r\n");
        // A log export writes each line as far as its text goes.
        export_request log = request(file, kind, "l.log", &parser);
        log.rows = rows;
        log.selected = {1, 2};
        ASSERT_EQ(ExportRows(log, hooks()).end, export_end::completed);
        const std::string lines = longest + "\n" + huge_text + "\n";
        EXPECT_EQ(dir.read("l.log"), kind == EXPORT_KIND_SELECTED_ROWS ? lines : "first\n" + lines + "last\n");
    }
}

TEST_F(ExportRows_Test, FilteredFileComparesTypedColumnsAsTheirType)
{
    // As text "3" > "25"; as numbers only 26 and up pass "greater than 25".
    log_file file;
    open(file, LevelLog(400, "\n"));
    log_pattern_list parser = LevelParser();
    parser.front().data_format.data_type = DATA_TYPE_NUMERIC;
    log_filter condition;
    condition.SetColumn(u"Number");
    condition.SetType(FILTER_TYPE_GREATER);
    condition.SetContent(u"25");
    log_filter_groups groups;
    groups.AddCondition(condition);
    export_request r = request(file, EXPORT_KIND_FILTERED_FILE, "n.csv", &parser);
    r.groups = &groups;
    ASSERT_EQ(ExportRows(r, hooks()).end, export_end::completed);
    std::string expected = "Number,Level,Message\r\n";
    for (int i = 26; i < 400; ++i)
        expected += LevelCsv(LevelLine(i));
    EXPECT_EQ(dir.read("n.csv"), expected);
}

TEST_F(ExportRows_Test, CancelAnsweredNoKeepsThePartialFileAndOpensOnlyALogExport)
{
    log_file file;
    open(file, LevelLog(20000, "\n"));
    const log_pattern_list parser = LevelParser();
    const std::vector<log_line*> lines = window(file, parser);
    std::string full_log;
    for (int i = 0; i < 20000; ++i)
        full_log += LevelLine(i) + "\n";

    for (const int32_t kind : {EXPORT_KIND_VISIBLE_ROWS, EXPORT_KIND_WHOLE_FILE}) {
        for (const char* target : {"part.log", "part.csv"}) {
            SCOPED_TRACE(std::string(target) + " kind " + std::to_string(kind));
            messages.shown.clear();
            messages.answers = {IDNO};
            cancel_tests = 0;
            cancel_after = 10; // the eleventh test sees the Cancel click
            export_request r = request(file, kind, target, &parser);
            r.rows = lines;
            const export_result result = ExportRows(r, hooks());
            EXPECT_EQ(result.end, export_end::cancelled_kept);
            EXPECT_EQ(result.open_after, !r.csv);
            EXPECT_GT(result.rows_written, 0u);
            EXPECT_LT(result.rows_written, 20000u);
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, DictionaryText(u"IDS_MSG_EXPORT_CANCEL_DELETE"));
            EXPECT_EQ(messages.shown[0].flags, MB_YESNO | MB_ICONQUESTION);
            const std::string kept = dir.read(target);
            if (!r.csv) {
                // Whole rows, a prefix of the full export.
                EXPECT_EQ(kept, full_log.substr(0, kept.size()));
                EXPECT_EQ(kept.back(), '\n');
                EXPECT_EQ(static_cast<uint64_t>(std::count(kept.begin(), kept.end(), '\n')), result.rows_written);
            } else {
                EXPECT_EQ(kept.rfind("Number,Level,Message\r\n", 0), 0u);
            }
        }
    }
    cancel_after = 1 << 30;
}

TEST_F(ExportRows_Test, CancelAnsweredYesDeletesTheTarget)
{
    log_file file;
    open(file, LevelLog(3000, "\n"));
    const log_pattern_list parser = LevelParser();
    for (const int32_t kind : {EXPORT_KIND_VISIBLE_ROWS, EXPORT_KIND_FILTERED_FILE}) {
        const std::vector<log_line*> lines = window(file, parser);
        messages.shown.clear();
        messages.answers = {IDYES};
        cancel_tests = 0;
        cancel_after = 0; // cancelled before the first row
        export_request r = request(file, kind, "gone.log", &parser);
        r.rows = lines;
        const export_result result = ExportRows(r, hooks());
        EXPECT_EQ(result.end, export_end::cancelled_deleted);
        EXPECT_FALSE(result.open_after);
        EXPECT_EQ(result.rows_written, 0u);
        EXPECT_FALSE(dir.exists("gone.log"));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].flags, MB_YESNO | MB_ICONQUESTION);
    }
}

std::size_t g_disk_left = 0;
ssize_t SmallDiskWrite(int fd, const void* bytes, std::size_t count)
{
    if (g_disk_left == 0) {
        errno = ENOSPC;
        return -1;
    }
    const ssize_t n = ::write(fd, bytes, std::min(count, g_disk_left));
    if (n > 0)
        g_disk_left -= static_cast<std::size_t>(n);
    return n;
}

TEST_F(ExportRows_Test, AWriteErrorShowsTheSystemsTextKeepsTheFileAndOpensNothing)
{
    log_file file;
    open(file, LevelLog(100000, "\n"));
    const log_pattern_list parser = LevelParser();
    const std::vector<log_line*> lines = window(file, parser);
    for (const int32_t kind : {EXPORT_KIND_VISIBLE_ROWS, EXPORT_KIND_WHOLE_FILE}) {
        for (const char* target : {"full.log", "full.csv"}) {
            SCOPED_TRACE(std::string(target) + " kind " + std::to_string(kind));
            messages.shown.clear();
            g_disk_left = 1000000;
            export_request r = request(file, kind, target, &parser);
            r.rows = lines;
            export_hooks h = hooks();
            h.writer = &SmallDiskWrite;
            const export_result result = ExportRows(r, h);
            EXPECT_EQ(result.end, export_end::write_failed);
            EXPECT_EQ(result.error, ENOSPC);
            EXPECT_FALSE(result.open_after);
            EXPECT_EQ(message_texts(), std::vector<std::u16string>{ErrorCodeText(ENOSPC) + u"\n" + r.path});
            EXPECT_EQ(messages.shown[0].flags, MB_OK | MB_ICONERROR);
            EXPECT_EQ(fs::file_size(dir / target), 1000000u);
        }
    }
}

TEST_F(ExportRows_Test, ARealFullFileSystemEndsTheExportAsAWriteError)
{
    const fs::path mount_point = dir / "small";
    fs::create_directory(mount_point);
    if (::mount("tmpfs", mount_point.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") != 0)
        GTEST_SKIP() << "no permission to mount a small file system here";
    struct unmount_at_end {
        const fs::path& point;
        ~unmount_at_end() { ::umount2(point.c_str(), MNT_DETACH); }
    } unmount{mount_point};
    log_file file;
    open(file, LevelLog(60000, "\n"));
    const log_pattern_list parser = LevelParser();
    export_request r = request(file, EXPORT_KIND_WHOLE_FILE, "small/x.csv", &parser);
    const export_result result = ExportRows(r, hooks());
    EXPECT_EQ(result.end, export_end::write_failed);
    EXPECT_EQ(result.error, ENOSPC);
    EXPECT_FALSE(result.open_after);
    EXPECT_EQ(message_texts(), std::vector<std::u16string>{ErrorCodeText(ENOSPC) + u"\n" + r.path});
    EXPECT_TRUE(fs::exists(mount_point / "x.csv"));
}

TEST_F(ExportRows_Test, RefusedTargetsAreNamedAndLeftAlone)
{
    log_file file;
    const std::string text = LevelLog(50, "\n");
    open(file, text);
    const log_pattern_list parser = LevelParser();

    // The source itself, by its own name.
    export_request same = request(file, EXPORT_KIND_WHOLE_FILE, "source.log", &parser);
    EXPECT_EQ(ExportRows(same, hooks()).end, export_end::create_failed);
    EXPECT_EQ(dir.read("source.log"), text);

    // A link.
    dir.write("precious.txt", "keep");
    fs::create_symlink(dir / "precious.txt", dir / "link.log");
    export_request link = request(file, EXPORT_KIND_WHOLE_FILE, "link.log", &parser);
    EXPECT_EQ(ExportRows(link, hooks()).end, export_end::create_failed);
    EXPECT_EQ(dir.read("precious.txt"), "keep");

    // A folder that does not exist: the system's reason.
    export_request missing = request(file, EXPORT_KIND_WHOLE_FILE, "no/such.log", &parser);
    const export_result result = ExportRows(missing, hooks());
    EXPECT_EQ(result.end, export_end::create_failed);
    EXPECT_EQ(result.error, ENOENT);

    EXPECT_EQ(message_texts(), (std::vector<std::u16string>{
                                   DictionaryText(u"IDS_MSG_EXPORT_TARGET_IS_SOURCE") + u"\n" + same.path,
                                   DictionaryText(u"IDS_MSG_EXPORT_TARGET_NOT_FILE") + u"\n" + link.path,
                                   ErrorCodeText(ENOENT) + u"\n" + missing.path,
                               }));
    for (const shown_message& m : messages.shown)
        EXPECT_EQ(m.flags, MB_OK | MB_ICONERROR);
}

TEST_F(ExportRows_Test, WholeFileWhileIndexingCreatesNothing)
{
    log_file file;
    dir.write("big.log", LevelLog(200000, "\n"));
    source_path = dir.wide("big.log");
    ASSERT_TRUE(file.open(source_path, 100, false));
    ASSERT_TRUE(file.start_indexer());
    index_hold index_held = file.indexer().hold();
    if (file.indexer().is_running()) {
        const log_pattern_list parser = LevelParser();
        const export_result result = ExportRows(request(file, EXPORT_KIND_WHOLE_FILE, "early.log", &parser), hooks());
        EXPECT_EQ(result.end, export_end::still_indexing);
        EXPECT_FALSE(result.open_after);
        EXPECT_FALSE(dir.exists("early.log"));
        EXPECT_EQ(message_texts(), std::vector<std::u16string>{DictionaryText(u"IDS_MSG_EXPORT_STILL_INDEXING")});
    }
    index_held.release();
    ASSERT_EQ(file.indexer().wait_stopped(20000), 0);
}

TEST_F(ExportRows_Test, ProgressComesAtMostEveryHalfSecondAndOnceAtTheLastLine)
{
    log_file file;
    open(file, LevelLog(50000, "\n"));
    const log_pattern_list parser = LevelParser();
    const std::vector<log_line*> lines = window(file, parser);
    for (const int32_t kind : {EXPORT_KIND_VISIBLE_ROWS, EXPORT_KIND_WHOLE_FILE, EXPORT_KIND_FILTERED_FILE}) {
        SCOPED_TRACE(kind);
        progress.clear();
        std::vector<int64_t> report_times;
        int64_t fake_now = 0;
        const log_filter_groups groups = ErrorsOnly();
        export_request r = request(file, kind, "p.log", &parser);
        r.rows = lines;
        r.groups = &groups;
        export_hooks h = hooks();
        h.clock_ms = [&] { return fake_now += 37; };
        h.progress = [&](int64_t current, int64_t total) {
            progress.push_back({current, total});
            report_times.push_back(fake_now);
        };
        ASSERT_EQ(ExportRows(r, h).end, export_end::completed);
        ASSERT_GE(progress.size(), 3u);
        EXPECT_EQ(progress.front().first, 0);
        for (std::size_t i = 0; i < progress.size(); ++i) {
            EXPECT_EQ(progress[i].second, 50000);
            if (i > 0) {
                EXPECT_GE(progress[i].first, progress[i - 1].first);
                if (i + 1 < progress.size() || kind == EXPORT_KIND_VISIBLE_ROWS) {
                    EXPECT_GE(report_times[i] - report_times[i - 1], 500) << i;
                }
            }
        }
        if (kind == EXPORT_KIND_VISIBLE_ROWS) {
            EXPECT_LT(progress.back().first, 50000);
        } else {
            EXPECT_EQ(progress.back().first, 50000);
            EXPECT_LT(progress[progress.size() - 2].first, 50000);
        }
    }
}

TEST_F(ExportRows_Test, NothingHappensWithoutASourceOrAParser)
{
    log_file file;
    open(file, "a\n");
    export_request no_file = request(file, EXPORT_KIND_VISIBLE_ROWS, "x.log");
    no_file.file = nullptr;
    EXPECT_EQ(ExportRows(no_file, hooks()).end, export_end::bad_request);
    EXPECT_EQ(ExportRows(request(file, EXPORT_KIND_WHOLE_FILE, "x.log"), hooks()).end, export_end::bad_request);
    EXPECT_EQ(ExportRows(request(file, 7, "x.log"), hooks()).end, export_end::bad_request);
    EXPECT_FALSE(dir.exists("x.log"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST(ExportRows_Target, CsvIsDecidedByTheFileNamesExtension)
{
    struct row {
        std::u16string path;
        bool csv;
    } rows[] = {
        {u"/a/b.csv", true},  {u"/a/b.CSV", true},      {u"/a/b.Csv", true},   {u"b.csv", true},
        {u"/a/b.log", false}, {u"/a/b.csv.log", false}, {u"/a/b", false},      {u"/a.csv/b", false},
        {u"/a/csv", false},   {u"/a/.csv", true},       {u"/a/b.csvx", false}, {u"", false},
    };
    for (const row& r : rows)
        EXPECT_EQ(IsCsvTarget(r.path), r.csv) << Narrow(r.path);
}

TEST(ExportRows_Target, TheInitialNameIsTheFileNameUpToItsLastDot)
{
    struct row {
        std::u16string name, initial;
    } rows[] = {
        {u"access.log", u"access"},  {u"app.2024-08-05.log", u"app.2024-08-05"},
        {u"README", u"README"},      {u".profile", u".profile"},
        {u"trailing.", u"trailing"}, {u"", u""},
    };
    for (const row& r : rows)
        EXPECT_EQ(ExportInitialName(r.name), r.initial) << Narrow(r.name);
}

TEST(ExportRows_Command, ChecksEachKindBeforeTheSaveDialog)
{
    LoadEnglishDictionary();
    const std::u16string no_lines = DictionaryText(u"IDS_MSG_NO_LINE_TO_EXPORT");
    const std::u16string indexing = DictionaryText(u"IDS_MSG_EXPORT_STILL_INDEXING");
    const std::u16string ask = DictionaryText(u"IDS_MSG_EXPORT_NO_FILTER");
    std::u16string ask_quick = DictionaryText(u"IDS_MSG_EXPORT_QUICK_FILTER_ONLY");
    ASSERT_NE(ask_quick.find(u"%s"), std::u16string::npos);
    ask_quick.replace(ask_quick.find(u"%s"), 2, u"POST");
    struct row {
        export_command_state state;
        int answer;
        bool go;
        std::u16string text; // the message shown, empty for none
        unsigned flags;
    } rows[] = {
        {{EXPORT_KIND_SELECTED_ROWS, 10, 2}, IDOK, true, u"", 0},
        {{EXPORT_KIND_SELECTED_ROWS, 10, 0}, IDOK, false, no_lines, MB_OK | MB_ICONINFORMATION},
        {{EXPORT_KIND_SELECTED_ROWS, 0, 0}, IDOK, false, no_lines, MB_OK | MB_ICONINFORMATION},
        {{EXPORT_KIND_VISIBLE_ROWS, 10, 0}, IDOK, true, u"", 0},
        {{EXPORT_KIND_VISIBLE_ROWS, 0, 0}, IDOK, false, no_lines, MB_OK | MB_ICONINFORMATION},
        {{EXPORT_KIND_WHOLE_FILE, 0, 0, false, 5}, IDOK, true, u"", 0},
        {{EXPORT_KIND_WHOLE_FILE, 0, 0, true, 5}, IDOK, false, indexing, MB_OK | MB_ICONINFORMATION},
        {{EXPORT_KIND_WHOLE_FILE, 0, 0, false, 0}, IDOK, false, no_lines, MB_OK | MB_ICONINFORMATION},
        {{EXPORT_KIND_FILTERED_FILE, 0, 0, true, 0, false}, IDYES, false, indexing, MB_OK | MB_ICONINFORMATION},
        {{EXPORT_KIND_FILTERED_FILE, 0, 0, false, 0, false}, IDYES, false, no_lines, MB_OK | MB_ICONINFORMATION},
        {{EXPORT_KIND_FILTERED_FILE, 0, 0, false, 5, true}, IDNO, true, u"", 0},
        {{EXPORT_KIND_FILTERED_FILE, 0, 0, false, 5, false}, IDYES, true, ask, MB_YESNO | MB_ICONQUESTION},
        {{EXPORT_KIND_FILTERED_FILE, 0, 0, false, 5, false}, IDNO, false, ask, MB_YESNO | MB_ICONQUESTION},
        // The quick filter alone is named; with conditions beside it nothing is asked.
        {{EXPORT_KIND_FILTERED_FILE, 0, 0, false, 5, false, u"POST"},
         IDYES,
         true,
         ask_quick,
         MB_YESNO | MB_ICONQUESTION},
        {{EXPORT_KIND_FILTERED_FILE, 0, 0, false, 5, false, u"POST"},
         IDNO,
         false,
         ask_quick,
         MB_YESNO | MB_ICONQUESTION},
        {{EXPORT_KIND_FILTERED_FILE, 0, 0, false, 5, true, u"POST"}, IDNO, true, u"", 0},
        {{EXPORT_KIND_WHOLE_FILE, 0, 0, false, 5, false, u"POST"}, IDNO, true, u"", 0},
        {{EXPORT_KIND_RESULTS, 0, 0, true, 5, false, u"", 3}, IDOK, true, u"", 0},
        {{EXPORT_KIND_RESULTS, 10, 10, false, 5, true, u"", 0}, IDOK, false, no_lines, MB_OK | MB_ICONINFORMATION},
        {{5, 10, 10, false, 5, true}, IDOK, false, u"", 0},
    };
    for (const row& r : rows) {
        message_recorder messages;
        messages.default_answer = r.answer;
        EXPECT_EQ(ExportCommandChecks(r.state, std::ref(messages)), r.go) << "kind " << r.state.kind;
        if (r.text.empty()) {
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, r.text);
            EXPECT_EQ(messages.shown[0].flags, r.flags);
        }
    }
}

} // namespace
