// log_list_bench: the frame time of the log list under the offscreen platform.
//
// Page: one full page (50 rows by 6 columns of the bundled sample) repainted
// with 10 highlight rules, half of them regular expressions, and a search
// that highlights its hits; beside it, in the same run, the same page with
// no rules and no search, and a plain QTableView over a QStandardItemModel of
// the same texts.
//
// Scroll: Page Down through a 100000-row window, one repaint per key, from
// the first row to the last; the median and the worst frame, beside the same
// walk without rules and the plain table's walk.
//
// Times are the interface thread's CPU time (the machine is shared, so wall
// time would measure the neighbours); the wall-clock median is printed too.
#include "highlight/highlight.h"
#include "log_list_fixture.h"
#include "search/search_info.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_list_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kPageRows = 50;
constexpr int kPageRounds = 200;
constexpr std::size_t kScrollRows = 100000;

struct frame_times {
    std::vector<double> cpu_ms;
    std::vector<double> wall_ms;

    static double Median(std::vector<double> v)
    {
        if (v.empty())
            return 0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    static double Worst(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
    static double Best(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
};

// Times one frame: thread CPU and wall clock.
template <class Frame> void Time(frame_times& times, Frame frame)
{
    QElapsedTimer wall;
    wall.start();
    const double cpu = bench::ThreadCpuMilliseconds();
    frame();
    times.cpu_ms.push_back(bench::ThreadCpuMilliseconds() - cpu);
    times.wall_ms.push_back(static_cast<double>(wall.nsecsElapsed()) / 1e6);
}

tagHIGHLIGHT_ITEM Rule(const std::u16string& expression, const std::u16string& column, bool regexp, bool cs)
{
    tagHIGHLIGHT_ITEM rule;
    rule.expression = expression;
    rule.column = column;
    rule.regexp = regexp;
    rule.case_sensitive = cs;
    rule.text_color = 0x00000080;
    rule.back_color = 0x00E0E0FF;
    return rule;
}

// The rules of the page: five texts and five regular expressions.
CHighlight PageRules()
{
    return {Rule(u"ERROR", u"Level", false, true),
            Rule(u"WARN", u"Level", false, true),
            Rule(u"timeout", u"", false, false),
            Rule(u"cache miss", u"Message", false, false),
            Rule(u"worker-3", u"Thread", false, true),
            Rule(u"took \\d{4} ms", u"Message", true, true),
            Rule(u"\\b10\\.0\\.\\d+\\.\\d+", u"", true, true),
            Rule(u"^(Retrying|Timeout)", u"", true, false),
            Rule(u"user:\\d+$", u"Message", true, true),
            Rule(u"batch-(1|2)\\d\\.dat", u"", true, false)};
}

const log_pattern_list& SixColumns()
{
    static const log_pattern_list parser = {bench::Item(u"", u" ", u"Date"),    bench::Item(u"", u" [", u"Time"),
                                            bench::Item(u"", u"] [", u"Level"), bench::Item(u"", u"] ", u"Thread"),
                                            bench::Item(u"", u" ", u"Verb"),    bench::Item(u"", u"", u"Message")};
    return parser;
}

// count lines taken round-robin from the sample.
std::vector<std::u16string> Lines(const std::vector<std::u16string>& sample, std::size_t count)
{
    std::vector<std::u16string> lines;
    lines.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        lines.push_back(sample[(i * 61) % sample.size()]);
    return lines;
}

// A list of lines with or without the rules and search, sized to show kPageRows rows.
struct bench_list {
    test_file_view file;
    CHighlight rules = PageRules();
    CSearchInfo search;
    CLogListCtrl list;

    bench_list(const std::vector<std::u16string>& lines, bool highlighted)
    {
        list_fixture::FillSplit(file, lines, SixColumns());
        search.expression = u"Connection pool";
        search.highlight = true;
        file.set_highlight_enabled(highlighted ? 1 : 0 != 0);
        list.SetFile(&file);
        int index = 0;
        for (const std::u16string& name : list_fixture::ColumnNames(SixColumns()))
            list.InsertColumn(index++, name);
        list.SetRowCount();
        if (highlighted)
            list.SetHighlightSources(&rules, &search);
        list.resize(1200, list.horizontalHeader()->sizeHint().height() + kPageRows * list.RowHeight());
        list.show();
        list.FitColumns();
    }
};

// A plain table of the same texts.
struct plain_table {
    QStandardItemModel model;
    QTableView view;

    explicit plain_table(const std::vector<std::u16string>& lines)
    {
        const log_pattern_list& parser = SixColumns();
        model.setColumnCount(static_cast<int>(parser.size()));
        model.setRowCount(static_cast<int>(lines.size()));
        int row = 0;
        for (const std::u16string& text : lines) {
            const std::unique_ptr<log_line> line = bench::SplitLine(text, parser);
            for (std::size_t c = 0; c < line->columns().size(); ++c) {
                const log_column& column = line->columns()[c];
                model.setItem(row, static_cast<int>(c),
                              new QStandardItem(QString::fromStdU16String(std::u16string(line->text_of(column)))));
            }
            ++row;
        }
        view.setModel(&model);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.verticalHeader()->hide();
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.verticalHeader()->setMinimumSectionSize(1);
        view.verticalHeader()->setDefaultSectionSize(view.fontMetrics().height() + 8);
        view.resize(1200, view.horizontalHeader()->sizeHint().height() + kPageRows * (view.fontMetrics().height() + 8));
        view.show();
        view.resizeColumnsToContents();
    }
};

frame_times PaintPage(QAbstractItemView& view)
{
    frame_times times;
    for (int i = 0; i < 5; ++i)
        view.viewport()->repaint(); // warm the glyph caches
    for (int i = 0; i < kPageRounds; ++i)
        Time(times, [&] { view.viewport()->repaint(); });
    return times;
}

// Page Down from the first row to the last, one repaint per key.
frame_times ScrollDown(QAbstractItemView& view, int rows)
{
    frame_times times;
    view.setFocus();
    view.setCurrentIndex(view.model()->index(0, 0));
    view.viewport()->repaint();
    for (int guard = 0; guard < rows && view.currentIndex().row() < rows - 1; ++guard) {
        const int before = view.currentIndex().row();
        Time(times, [&] {
            QTest::keyClick(&view, Qt::Key_PageDown);
            view.viewport()->repaint();
        });
        if (view.currentIndex().row() == before)
            break; // the list asked for a window move instead
    }
    return times;
}

void Print(const char* what, const frame_times& times)
{
    std::printf("  %-44s median %7.3f ms  best %7.3f ms  worst %7.3f ms  (wall median %7.3f ms, %zu frames)\n", what,
                frame_times::Median(times.cpu_ms), frame_times::Best(times.cpu_ms), frame_times::Worst(times.cpu_ms),
                frame_times::Median(times.wall_ms), times.cpu_ms.size());
}

} // namespace

class log_list_bench : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_sample = bench::ReadSampleLines(VARNOTH_SOURCE_RESOURCES "/samples/sample.log");
        QVERIFY(m_sample.size() >= kPageRows);
    }

    void PagePaint()
    {
        const std::vector<std::u16string> lines = Lines(m_sample, kPageRows);
        std::printf("\nOne page: %d rows x 6 columns, %d repaints (thread CPU per frame; target 16 ms)\n", kPageRows,
                    kPageRounds);
        {
            bench_list list(lines, true);
            QVERIFY(QTest::qWaitForWindowExposed(&list.list, 5000));
            QCOMPARE(list.list.rowAt(list.list.viewport()->height() - 1), kPageRows - 1);
            Print("log list, 10 rules (5 regex) + search hits", PaintPage(list.list));
        }
        {
            bench_list list(lines, false);
            QVERIFY(QTest::qWaitForWindowExposed(&list.list, 5000));
            Print("baseline: log list, no rules, no search", PaintPage(list.list));
        }
        {
            plain_table table(lines);
            QVERIFY(QTest::qWaitForWindowExposed(&table.view, 5000));
            Print("baseline: QTableView + QStandardItemModel", PaintPage(table.view));
        }
    }

    void PageDownScroll()
    {
        const std::vector<std::u16string> lines = Lines(m_sample, kScrollRows);
        std::printf("\nPage Down through a %zu-row window, one repaint per key (thread CPU per frame)\n", kScrollRows);
        {
            bench_list list(lines, true);
            QVERIFY(QTest::qWaitForWindowExposed(&list.list, 5000));
            const frame_times times = ScrollDown(list.list, static_cast<int>(kScrollRows));
            QVERIFY(times.cpu_ms.size() > kScrollRows / kPageRows / 2);
            Print("log list, 10 rules (5 regex) + search hits", times);
        }
        {
            bench_list list(lines, false);
            QVERIFY(QTest::qWaitForWindowExposed(&list.list, 5000));
            Print("baseline: log list, no rules, no search", ScrollDown(list.list, static_cast<int>(kScrollRows)));
        }
        {
            plain_table table(lines);
            QVERIFY(QTest::qWaitForWindowExposed(&table.view, 5000));
            Print("baseline: QTableView + QStandardItemModel", ScrollDown(table.view, static_cast<int>(kScrollRows)));
        }
        QCOMPARE(log_file::wait_for_discards(10000), 0);
    }

private:
    std::vector<std::u16string> m_sample;
};

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_QPA_FONTDIR"))
        qputenv("QT_QPA_FONTDIR", "/usr/share/fonts/truetype/dejavu");
    QApplication app(argc, argv);
    log_list_bench bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "log_list_bench.moc"
