// The clipboard texts of the copy commands: rows with every column or one,
// the header and line-end rules, the separator, the size limit, and the
// path texts.
#include "export_test_support.h"
#include "work/cell_text.h"
#include "work/copy_rows.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// A line whose columns are cells, laid out one after another in its text.
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

class CopyRows_Test : public ::testing::Test {
protected:
    void add(const std::vector<std::u16string>& cells)
    {
        m_owned.push_back(Row(cells));
        rows.push_back(m_owned.back().get());
    }

    copy_rows_text copy(int column, std::u16string_view separator = u" ", std::size_t limit = kCopyRowsLimit)
    {
        return CopyRowsText(rows, column, names, separator, limit);
    }

    std::vector<std::u16string> names = {u"Time", u"Level", u"Text"};
    std::vector<const log_line*> rows;

private:
    std::vector<std::unique_ptr<log_line>> m_owned;
};

TEST_F(CopyRows_Test, OneRowHasNeitherHeaderNorLineEnd)
{
    add({u"12:00", u"INFO", u"started, ok"});
    const copy_rows_text all = copy(-1);
    EXPECT_EQ(all.text, u"12:00 INFO started, ok");
    EXPECT_FALSE(all.cut);
    EXPECT_EQ(copy(2).text, u"started, ok");
    EXPECT_EQ(copy(0).text, u"12:00");
}

TEST_F(CopyRows_Test, TwoRowsHaveAHeaderAndALineEndAfterEachRow)
{
    add({u"12:00", u"INFO", u"started"});
    add({u"12:01", u"WARN", u"slow"});
    EXPECT_EQ(copy(-1).text, u"Time Level Text\r\n12:00 INFO started\r\n12:01 WARN slow\r\n");
    EXPECT_EQ(copy(1).text, u"Level\r\nINFO\r\nWARN\r\n");
}

TEST_F(CopyRows_Test, TheTabSeparatorGivesTabSeparatedText)
{
    add({u"a", u"b", u"c"});
    add({u"d", u"e", u"f"});
    EXPECT_EQ(copy(-1, u"\t").text, u"Time\tLevel\tText\r\na\tb\tc\r\nd\te\tf\r\n");
    // One column has nothing to separate.
    EXPECT_EQ(copy(2, u"\t").text, u"Text\r\nc\r\nf\r\n");
}

TEST_F(CopyRows_Test, MissingCellsAreEmptyAndKeepTheirSeparators)
{
    add({u"only"});
    rows.push_back(nullptr);
    add({u"x", u"", u"z"});
    EXPECT_EQ(copy(-1).text, u"Time Level Text\r\nonly  \r\n  \r\nx  z\r\n");
    EXPECT_EQ(copy(2).text, u"Text\r\n\r\n\r\nz\r\n");
}

TEST_F(CopyRows_Test, NothingToCopyGivesAnEmptyText)
{
    EXPECT_EQ(copy(-1).text, u"");
    add({u"a", u"b", u"c"});
    for (int column : {3, 100, -2}) {
        const copy_rows_text none = copy(column);
        EXPECT_TRUE(none.text.empty()) << column;
        EXPECT_FALSE(none.cut);
    }
}

// The reference: whole rows are taken while they fit, from a plain sum of lengths.
std::u16string ExpectedWithin(const std::u16string& header, const std::vector<std::u16string>& row_texts,
                              std::size_t limit, bool& cut)
{
    cut = false;
    if (header.size() > limit) {
        cut = true;
        return u"";
    }
    std::u16string text = header;
    for (const std::u16string& row : row_texts) {
        if (text.size() + row.size() > limit) {
            cut = true;
            break;
        }
        text += row;
    }
    return text;
}

// Cell column of row as a plain reading of its text.
std::u16string ShownText(const log_line& row, int column)
{
    const log_column& cell = row.columns()[static_cast<std::size_t>(column)];
    return std::u16string(row.text().substr(cell.offset, cell.length));
}

TEST_F(CopyRows_Test, TheLimitKeepsTheRowsThatFitAndMarksTheCut)
{
    add({u"aaaa", u"bb", u"c"});
    add({u"dd", u"e", u"ffff"});
    add({u"g", u"h", u"i"});
    const std::u16string header = u"Time Level Text\r\n";
    const std::vector<std::u16string> texts = {u"aaaa bb c\r\n", u"dd e ffff\r\n", u"g h i\r\n"};
    const std::size_t full = header.size() + texts[0].size() + texts[1].size() + texts[2].size();
    for (std::size_t limit = 0; limit <= full + 2; ++limit) {
        bool cut = false;
        const std::u16string expected = ExpectedWithin(header, texts, limit, cut);
        const copy_rows_text got = copy(-1, u" ", limit);
        ASSERT_EQ(Narrow(got.text), Narrow(expected)) << "limit " << limit;
        ASSERT_EQ(got.cut, cut) << "limit " << limit;
    }
}

TEST_F(CopyRows_Test, OneColumnAtTheLimitCountsNoSeparator)
{
    // Copying one column other than the first writes no separator at all, so
    // a copy that fills the limit exactly is whole; a separator counted for
    // the columns before the copied one would cut it.
    add({u"12:00", u"INFO", u"started"});
    add({u"12:01", u"WARN", u"slow"});
    for (int column = 0; column < 3; ++column) {
        for (std::u16string_view separator : {u" ", u" | "}) {
            const std::u16string header = names[static_cast<std::size_t>(column)] + u"\r\n";
            const std::vector<std::u16string> texts = {ShownText(*rows[0], column) + u"\r\n",
                                                       ShownText(*rows[1], column) + u"\r\n"};
            const std::size_t full = header.size() + texts[0].size() + texts[1].size();
            for (std::size_t limit = full - 3; limit <= full + 1; ++limit) {
                bool cut = false;
                const std::u16string expected = ExpectedWithin(header, texts, limit, cut);
                const copy_rows_text got = copy(column, separator, limit);
                ASSERT_EQ(Narrow(got.text), Narrow(expected)) << "column " << column << " limit " << limit;
                ASSERT_EQ(got.cut, cut) << "column " << column << " limit " << limit;
            }
        }
    }
}

TEST_F(CopyRows_Test, ACellLongerThanTheListShowsIsCutAsTheListShowsIt)
{
    // A line of 65535 'y' in one column: the list shows 65534 of them.
    names = {u"Line"};
    add({std::u16string(65535, u'y')});
    EXPECT_EQ(copy(-1).text, std::u16string(kMaxCellText, u'y'));
    EXPECT_EQ(copy(0).text, std::u16string(kMaxCellText, u'y'));
    add({u"short"});
    EXPECT_EQ(copy(0).text, u"Line\r\n" + std::u16string(kMaxCellText, u'y') + u"\r\nshort\r\n");
}

TEST_F(CopyRows_Test, RandomRowsAgainstThePlainSum)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        CopyRows_Test::rows.clear();
        std::vector<std::u16string> texts;
        const int count = std::uniform_int_distribution<int>(1, 12)(rng);
        for (int r = 0; r < count; ++r) {
            std::vector<std::u16string> cells;
            const int cells_in_row = std::uniform_int_distribution<int>(0, 4)(rng);
            for (int c = 0; c < cells_in_row; ++c)
                cells.push_back(std::u16string(std::uniform_int_distribution<std::size_t>(0, 9)(rng), u'x'));
            add(cells);
            std::u16string text;
            for (std::size_t c = 0; c < 3; ++c)
                text += (c ? u"\t" : u"") + (c < cells.size() ? cells[c] : u"");
            texts.push_back(text + (count > 1 ? u"\r\n" : u""));
        }
        const std::u16string header = count > 1 ? u"Time\tLevel\tText\r\n" : u"";
        const std::size_t limit = std::uniform_int_distribution<std::size_t>(0, 200)(rng);
        bool cut = false;
        const std::u16string expected = ExpectedWithin(header, texts, limit, cut);
        const copy_rows_text got = copy(-1, u"\t", limit);
        ASSERT_EQ(Narrow(got.text), Narrow(expected)) << "round " << round;
        ASSERT_EQ(got.cut, cut) << "round " << round;
    }
}

TEST_F(CopyRows_Test, TheClipboardLimitIs15728639Characters)
{
    EXPECT_EQ(kCopyRowsLimit, 15728639u);
    names = {u"L"};
    const std::size_t header = 3; // "L\r\n"
    // Rows of the longest cell a list shows that, with a shorter last one,
    // fill the limit exactly; then one character more.
    const std::size_t row = kMaxCellText + 2;
    const std::size_t full_rows = (kCopyRowsLimit - header) / row;
    const std::size_t last = kCopyRowsLimit - header - full_rows * row - 2;
    ASSERT_LE(last, kMaxCellText);
    for (std::size_t i = 0; i < full_rows; ++i)
        add({std::u16string(kMaxCellText, u'a')});
    add({std::u16string(last, u'b')});
    const copy_rows_text exact = copy(-1);
    EXPECT_FALSE(exact.cut);
    EXPECT_EQ(exact.text.size(), kCopyRowsLimit);

    CopyRows_Test::rows.pop_back();
    add({std::u16string(last + 1, u'b')});
    const copy_rows_text over = copy(-1);
    EXPECT_TRUE(over.cut);
    EXPECT_EQ(over.text.size(), header + full_rows * row);
}

TEST(CopyRows_Paths, NameAndFolderOfAPath)
{
    struct row {
        std::u16string path, name, folder;
    } rows[] = {
        {u"/var/log/app.log", u"app.log", u"/var/log"},
        {u"/app.log", u"app.log", u"/"},
        {u"app.log", u"app.log", u""},
        {u"/var/log/", u"", u"/var/log"},
        {u"/a/b.c/d", u"d", u"/a/b.c"},
        {u"", u"", u""},
        {u"/var/log/caf\u00e9 \u65e5\u672c.log", u"caf\u00e9 \u65e5\u672c.log", u"/var/log"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(PathFileName(r.path), r.name) << Narrow(r.path);
        EXPECT_EQ(PathFolder(r.path), r.folder) << Narrow(r.path);
    }
}

} // namespace
