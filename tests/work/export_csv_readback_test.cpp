// CSV exports read back by an independent reader, Python's csv module: every
// field of every row must come back exactly, for random fields with commas,
// quotation marks, line breaks and characters from every plane.
#include "export_test_support.h"
#include "filter/log_filter_groups.h"
#include "logfile/log_file.h"
#include "support/temp_dir.h"
#include "work/export_rows.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// Reads the CSV file argv[1] in the encoding argv[2] and compares it with the
// expected rows of argv[3]: one line per row, each field "x" + the hex of its
// UTF-8 bytes, fields separated by spaces.  Prints the first difference.
const char* const kReader = R"(
import csv, sys
path, encoding, expected_path = sys.argv[1], sys.argv[2], sys.argv[3]
with open(expected_path, encoding='ascii') as f:
    expected = [[bytes.fromhex(x[1:]).decode('utf-8') for x in line.split(' ')]
                for line in f.read().split('\n') if line]
with open(path, newline='', encoding=encoding) as f:
    rows = list(csv.reader(f))
if len(rows) != len(expected):
    print('rows: read %d, expected %d' % (len(rows), len(expected)))
    sys.exit(1)
for n, (got, want) in enumerate(zip(rows, expected)):
    if got != want:
        print('row %d: read %r, expected %r' % (n, got, want))
        sys.exit(1)
print('ok %d rows' % len(rows))
)";

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Runs the reader over csv_path; the empty string when every row matched,
// else what the reader said.  Bounded: the reader is killed after 60 s.
std::string ReadBack(const temp_dir& dir, const std::string& csv_name, const std::string& encoding,
                     const std::vector<std::vector<std::u16string>>& expected)
{
    dir.write("reader.py", kReader);
    std::string lines;
    for (const auto& row : expected) {
        for (std::size_t i = 0; i < row.size(); ++i)
            lines += (i ? " x" : "x") + Hex(ToUtf8(row[i]));
        lines += "\n";
    }
    dir.write("expected.txt", lines);
    const std::string command = "timeout 60 python3 '" + (dir / "reader.py").string() + "' '"
                                + (dir / csv_name).string() + "' " + encoding + " '" + (dir / "expected.txt").string()
                                + "' > '" + (dir / "reader.out").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string said = dir.read("reader.out");
    if (status == 0 && said.rfind("ok ", 0) == 0)
        return "";
    return "reader status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ": " + said;
}

bool PythonAvailable()
{
    static const bool available = std::system("timeout 20 python3 -c 'import csv' > /dev/null 2>&1") == 0;
    return available;
}

// A line whose columns are the given cells, one after another in its text.
std::unique_ptr<log_line> Row(const std::vector<std::u16string>& cells)
{
    auto line = std::make_unique<log_line>();
    std::u16string text;
    for (const std::u16string& cell : cells)
        text += cell;
    line->assign_text(text);
    std::size_t offset = 0;
    for (const std::u16string& cell : cells) {
        line->add_column(offset, cell.size());
        offset += cell.size();
    }
    return line;
}

// Random field text from a pool of awkward pieces.
std::u16string RandomField(std::mt19937& rng, bool line_breaks, bool wide)
{
    static const std::u16string ascii_pieces[] = {u",", u"\"", u"\"\"", u" ", u"a", u"text", u",\"", u"'", u";"};
    static const std::u16string break_pieces[] = {u"\r\n", u"\n", u"\r", u"\n\r"};
    static const std::u16string wide_pieces[] = {u"\u00e9", u"\u20ac", u"\u4e2d\u6587", u"\U0001F600",
                                                 u"\u05d0", u"\uFFFD", u"\u00a0",       u"\U00010348"};
    std::u16string field;
    const int pieces = std::uniform_int_distribution<int>(0, 8)(rng);
    for (int i = 0; i < pieces; ++i) {
        const int pick = std::uniform_int_distribution<int>(0, 9)(rng);
        if (pick < 6)
            field += ascii_pieces[std::uniform_int_distribution<std::size_t>(0, 8)(rng)];
        else if (pick < 8 && wide)
            field += wide_pieces[std::uniform_int_distribution<std::size_t>(0, 7)(rng)];
        else if (line_breaks)
            field += break_pieces[std::uniform_int_distribution<std::size_t>(0, 3)(rng)];
    }
    return field;
}

class ExportReadback : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadEnglishDictionary();
        if (!PythonAvailable())
            GTEST_SKIP() << "python3 with its csv module is not available";
    }
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }

    temp_dir dir;
};

TEST_F(ExportReadback, RandomRowsOfAUtf8SourceComeBackFieldForField)
{
    scoped_code_page code_page("WINDOWS-1252");
    dir.write("source.log", "\xEF\xBB\xBFone line\n");
    log_file file;
    ASSERT_TRUE(file.open(dir.wide("source.log"), 0, false));
    ASSERT_EQ(file.encoding(), ENCODING_UTF8);

    std::mt19937 rng(21);
    const std::vector<std::u16string> names = {u"Time, local", u"Le\"vel\"", u"Text\r\nmore", u"\u65e5\u4ed8"};
    std::vector<std::vector<std::u16string>> expected = {names};
    std::vector<std::unique_ptr<log_line>> owned;
    std::vector<log_line*> rows;
    for (int r = 0; r < 3000; ++r) {
        // Some rows have fewer cells than the list has columns.
        const std::size_t cells = r % 11 == 0 ? std::uniform_int_distribution<std::size_t>(0, 3)(rng) : 4;
        std::vector<std::u16string> fields;
        for (std::size_t c = 0; c < cells; ++c)
            fields.push_back(RandomField(rng, true, true));
        owned.push_back(Row(fields));
        rows.push_back(owned.back().get());
        fields.resize(4);
        expected.push_back(fields);
    }
    // An unpaired surrogate cannot be written in UTF-8; U+FFFD stands in.
    owned.push_back(Row({std::u16string(1, char16_t(0xD83D)) + u",x", u"a", u"b", u"c"}));
    rows.push_back(owned.back().get());
    expected.push_back({u"\uFFFD,x", u"a", u"b", u"c"});

    export_request r;
    r.kind = EXPORT_KIND_VISIBLE_ROWS;
    r.path = dir.wide("random.csv");
    r.csv = true;
    r.file = &file;
    r.column_names = names;
    r.rows = rows;
    const export_result result = ExportRows(r, {});
    ASSERT_EQ(result.end, export_end::completed);
    EXPECT_EQ(ReadBack(dir, "random.csv", "utf-8-sig", expected), "");
}

TEST_F(ExportReadback, RandomRowsOfAnAnsiSourceComeBackInTheCodePage)
{
    scoped_code_page code_page("WINDOWS-1252");
    dir.write("source.log", "caf\xE9\n");
    log_file file;
    ASSERT_TRUE(file.open(dir.wide("source.log"), 0, false));
    ASSERT_EQ(file.encoding(), ENCODING_ANSI);

    std::mt19937 rng(8);
    std::vector<std::vector<std::u16string>> expected = {{u"A", u"B"}};
    std::vector<std::unique_ptr<log_line>> owned;
    std::vector<log_line*> rows;
    for (int r = 0; r < 2000; ++r) {
        std::vector<std::u16string> fields = {RandomField(rng, true, false), RandomField(rng, true, false)};
        std::vector<std::u16string> want = fields;
        if (r % 3 == 0) {
            // In the code page, and outside it (written as "?").
            fields[0] += u"\u00e9\u20ac\u0178";
            want[0] += u"\u00e9\u20ac\u0178";
            fields[1] += u"\u4e2d\U0001F600";
            want[1] += u"??";
        }
        owned.push_back(Row(fields));
        rows.push_back(owned.back().get());
        expected.push_back(want);
    }
    export_request r;
    r.kind = EXPORT_KIND_VISIBLE_ROWS;
    r.path = dir.wide("ansi.csv");
    r.csv = true;
    r.file = &file;
    r.column_names = {u"A", u"B"};
    r.rows = rows;
    ASSERT_EQ(ExportRows(r, {}).end, export_end::completed);
    const std::string bytes = dir.read("ansi.csv");
    EXPECT_NE(bytes.rfind("A,B\r\n", 0), std::string::npos) << "no byte-order mark before the header";
    EXPECT_EQ(ReadBack(dir, "ansi.csv", "cp1252", expected), "");
}

// UTF-16 text as little-endian bytes.
std::string Ucs2Le(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

TEST_F(ExportReadback, WholeFileOfAUcs2SourceThroughFilterComesBackFieldForField)
{
    // Tab-separated lines; no field holds a line end (the file would split
    // there), and the last one is never empty (a value may not start at
    // the end of the text).
    std::mt19937 rng(13);
    std::u16string text = u"\uFEFF";
    std::vector<std::vector<std::u16string>> lines;
    for (int i = 0; i < 4000; ++i) {
        std::vector<std::u16string> fields = {RandomField(rng, false, true), RandomField(rng, false, true),
                                              RandomField(rng, false, true) + u"."};
        text += fields[0] + u"\t" + fields[1] + u"\t" + fields[2] + (i % 2 ? u"\r\n" : u"\n");
        lines.push_back(fields);
    }
    dir.write("source.log", Ucs2Le(text));
    log_file file;
    ASSERT_TRUE(file.open(dir.wide("source.log"), 0, false));
    ASSERT_EQ(file.encoding(), ENCODING_UCS2LE);
    ASSERT_EQ(file.line_count(), 4000u);

    log_pattern_list parser(3);
    auto item = parser.begin();
    for (const char16_t* name : {u"One", u"Two", u"Three"})
        (item++)->name = name;
    parser.front().end = u"\t";
    std::next(parser.begin())->end = u"\t";
    log_filter condition;
    condition.SetColumn(u"Two");
    condition.SetType(FILTER_TYPE_CONTAIN);
    condition.SetContent(u",");
    log_filter_groups groups;
    groups.AddCondition(condition);

    for (const int32_t kind : {EXPORT_KIND_WHOLE_FILE, EXPORT_KIND_FILTERED_FILE}) {
        SCOPED_TRACE(kind);
        std::vector<std::vector<std::u16string>> expected = {{u"One", u"Two, second", u"Three"}};
        for (const auto& fields : lines)
            if (kind == EXPORT_KIND_WHOLE_FILE || fields[1].find(u',') != std::u16string::npos)
                expected.push_back(fields);
        export_request r;
        r.kind = kind;
        r.path = dir.wide("whole.csv");
        r.csv = true;
        r.file = &file;
        r.parser = &parser;
        r.column_names = expected[0];
        r.groups = &groups;
        const export_result result = ExportRows(r, {});
        ASSERT_EQ(result.end, export_end::completed);
        EXPECT_EQ(result.rows_written, expected.size() - 1);
        EXPECT_EQ(ReadBack(dir, "whole.csv", "utf-8-sig", expected), "");
    }
}

} // namespace
