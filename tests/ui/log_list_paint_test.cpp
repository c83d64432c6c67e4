#include "log_list_paint_test.h"

#include "glossant/glossant.h"
#include "highlight/highlight.h"
#include "log_list_fixture.h"
#include "search/search_info.h"
#include "ui/color_value.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_list_delegate.h"
#include "ui/log_list_model.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

const QColor kBase(255, 255, 255);
const QColor kText(0, 0, 0);
const QColor kHighlight(0, 120, 215);
const QColor kHighlightedText(255, 255, 255);
const QColor kDark(160, 160, 160);
const QColor kGrid(232, 232, 232);       // 9 % of the text colour over the base
const int32_t kSearchColor = 0x0000FFFF; // yellow
const int32_t kRuleBack = 0x000000C0;    // red 192
const int32_t kRuleText = 0x00FFFFFF;

QPalette FixedPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, kBase);
    palette.setColor(QPalette::Window, kBase);
    palette.setColor(QPalette::Text, kText);
    palette.setColor(QPalette::ButtonText, kText);
    palette.setColor(QPalette::Highlight, kHighlight);
    palette.setColor(QPalette::HighlightedText, kHighlightedText);
    palette.setColor(QPalette::Dark, kDark);
    return palette;
}

tagHIGHLIGHT_ITEM Rule(const std::u16string& expression, const std::u16string& column, bool regexp, int32_t text,
                       int32_t back)
{
    tagHIGHLIGHT_ITEM rule;
    rule.expression = expression;
    rule.column = column;
    rule.regexp = regexp;
    rule.case_sensitive = true;
    rule.text_color = text;
    rule.back_color = back;
    return rule;
}

// A list in a window with an edit field that can take the focus away.
struct painted_list {
    QWidget window;
    CLogListCtrl* list;
    QLineEdit* edit;
    test_file_view file;
    CHighlight rules;
    CSearchInfo search;

    painted_list(const std::vector<std::vector<std::u16string>>& cells, const std::vector<std::u16string>& columns)
    {
        auto* layout = new QVBoxLayout(&window);
        list = new CLogListCtrl(&window);
        edit = new QLineEdit(&window);
        layout->addWidget(list);
        layout->addWidget(edit);
        list->setPalette(FixedPalette());
        list_fixture::FillCells(file, cells);
        list->SetFile(&file);
        for (std::size_t c = 0; c < columns.size(); ++c)
            list->InsertColumn(static_cast<int>(c), columns[c]);
        list->SetRowCount();
        list->SetHighlightSources(&rules, &search);
        list->SetSearchHighlightColor(kSearchColor);
        window.resize(640, 360);
    }
    bool ShowFocused()
    {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window, 5000))
            return false;
        list->setFocus();
        return QTest::qWaitFor([this] { return list->hasFocus(); }, 5000);
    }
    bool MoveFocusAway()
    {
        edit->setFocus();
        return QTest::qWaitFor([this] { return !list->hasFocus(); }, 5000);
    }
    QImage Grab() const { return list->viewport()->grab().toImage(); }
    QRect Content(int row, int column) const
    {
        return list->visualRect(list->Model().index(row, column)).adjusted(0, 0, -1, -1);
    }
};

QColor Pixel(const QImage& image, QPoint point)
{
    return image.pixelColor(point);
}

// The leftmost pixel of row y in rect that is mostly ink (black text on
// white: darker than mid grey, so that a glyph's faint edge does not count);
// -1 when none.
int FirstInk(const QImage& image, const QRect& rect, int y)
{
    for (int x = rect.left(); x <= rect.right(); ++x)
        if (image.pixelColor(x, y).lightness() < 128)
            return x;
    return -1;
}

QString Describe(const QColor& c)
{
    return QStringLiteral("(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

#define COMPARE_COLOR(actual, expected)                                                                                \
    QVERIFY2((actual) == (expected), qPrintable(Describe(actual) + QStringLiteral(" != ") + Describe(expected)))

} // namespace

void log_list_paint_test::cleanup()
{
    QCOMPARE(log_file::wait_for_discards(5000), 0);
}

void log_list_paint_test::Frame_MarkedCellsOfSelectedRowsGetAHighlightFrame()
{
    painted_list view({{u"INFO", u"started"}, {u"ERROR", u"disk full"}, {u"ERROR", u"again"}, {u"INFO", u"done"}},
                      {u"Level", u"Message"});
    view.rules.push_back(Rule(u"ERROR", u"Level", false, kRuleText, kRuleBack));
    view.file.set_highlight_enabled(true);
    QVERIFY(view.ShowFocused());
    view.list->SelectRow(1);
    view.list->ClearSelectionMark(); // no focus outline in the way

    for (bool focused : {true, false}) {
        if (!focused)
            QVERIFY(view.MoveFocusAway());
        const QImage image = view.Grab();
        const QColor selected_back = focused ? kHighlight : kDark;
        // Row 1, selected: its marked Level cell keeps the rule's back colour inside a highlight frame.
        const QRect marked = view.Content(1, 0);
        for (QPoint edge : {marked.topLeft(), marked.topRight(), marked.bottomLeft(), marked.bottomRight(),
                            QPoint(marked.center().x(), marked.top()), QPoint(marked.left(), marked.center().y())})
            COMPARE_COLOR(Pixel(image, edge), kHighlight);
        COMPARE_COLOR(Pixel(image, marked.topLeft() + QPoint(1, 1)), ColorFromValue(kRuleBack));
        COMPARE_COLOR(Pixel(image, marked.bottomRight() - QPoint(1, 1)), ColorFromValue(kRuleBack));
        // Its unmarked Message cell: the selected colours, no frame.
        const QRect plain = view.Content(1, 1);
        COMPARE_COLOR(Pixel(image, plain.topLeft()), selected_back);
        COMPARE_COLOR(Pixel(image, plain.topLeft() + QPoint(1, 1)), selected_back);
        // Row 2, marked but not selected: no frame.
        const QRect unselected = view.Content(2, 0);
        COMPARE_COLOR(Pixel(image, unselected.topLeft()), ColorFromValue(kRuleBack));
        COMPARE_COLOR(Pixel(image, unselected.bottomRight()), ColorFromValue(kRuleBack));
    }
}

void log_list_paint_test::ListText_OverALightBackOfADarkTheme_TurnsDark()
{
    struct row {
        QColor back;
        QColor text;
        QColor shown;
    };
    const QColor light_text(225, 225, 225), dark_text(20, 20, 20);
    const row rows[] = {
        {QColor(30, 30, 32), light_text, light_text},         // a dark theme's own list
        {QColor(255, 255, 0), light_text, Qt::black},         // the yellow search hit under a dark theme
        {QColor(255, 255, 255), dark_text, dark_text},        // a light theme's own list
        {QColor(255, 255, 0), dark_text, dark_text},          // the search hit under a light theme
        {QColor(40, 40, 120), QColor(60, 60, 60), Qt::white}, // dark on dark
    };
    for (const row& r : rows)
        QCOMPARE(ReadableListText(r.back, r.text), r.shown);
}

void log_list_paint_test::Colors_NormalSelectedWithAndWithoutFocusSearchAndRules()
{
    painted_list view({{u"a", u"plain"}, {u"b", u"needle here"}, {u"c", u"plain"}, {u"needle", u"x"}},
                      {u"Level", u"Message"});
    view.search.expression = u"needle";
    view.search.highlight = true;
    view.search.column = 1;
    view.rules.push_back(Rule(u"needle", u"", false, kRuleText, kRuleBack));
    QVERIFY(view.ShowFocused());
    view.list->SelectRow(2);
    view.list->ClearSelectionMark();

    QImage image = view.Grab();
    auto back = [&](int row, int column) { return Pixel(image, view.Content(row, column).topLeft() + QPoint(1, 1)); };
    COMPARE_COLOR(back(0, 1), kBase);
    COMPARE_COLOR(back(1, 1), ColorFromValue(kSearchColor)); // a search hit in the search's column
    COMPARE_COLOR(back(3, 0), kBase);                        // not the search's column; rules are off
    COMPARE_COLOR(back(2, 0), kHighlight);
    // The grid: a soft line along the right and bottom edges of every cell.
    const QRect cell = view.list->visualRect(view.list->Model().index(0, 0));
    COMPARE_COLOR(Pixel(image, QPoint(cell.right(), cell.center().y())), kGrid);
    COMPARE_COLOR(Pixel(image, QPoint(cell.center().x(), cell.bottom())), kGrid);

    view.file.set_highlight_enabled(true);
    view.list->viewport()->update();
    image = view.Grab();
    COMPARE_COLOR(back(3, 0), ColorFromValue(kRuleBack));    // the rule
    COMPARE_COLOR(back(1, 1), ColorFromValue(kSearchColor)); // the search wins over the rule

    QVERIFY(view.MoveFocusAway());
    image = view.Grab();
    COMPARE_COLOR(back(2, 0), kDark); // a selected row without focus
    COMPARE_COLOR(back(0, 0), kBase);

    // The focused row, unselected, while the list has the focus: a highlight outline.
    QVERIFY(view.ShowFocused());
    view.list->SetSelectionMark(0);
    image = view.Grab();
    const QRect focused = view.Content(0, 0);
    COMPARE_COLOR(Pixel(image, focused.topLeft()), kHighlight);
    COMPARE_COLOR(Pixel(image, QPoint(focused.center().x(), focused.bottom())), kHighlight);
    COMPARE_COLOR(Pixel(image, focused.topLeft() + QPoint(1, 1)), kBase);
}

void log_list_paint_test::Text_StartsSixPixelsInTwoInTheFirstColumnVerticallyCentred()
{
    const std::u16string block = u"\u2588\u2588";
    painted_list view({{block, block, block}}, {u"One", u"Two", u"Three"});
    QVERIFY(view.ShowFocused());
    const QImage image = view.Grab();
    const int margins[] = {2, 6, 6};
    for (int column = 0; column < 3; ++column) {
        const QRect content = view.Content(0, column);
        const int ink = FirstInk(image, content, content.center().y());
        QVERIFY(ink >= 0);
        QVERIFY2(ink - content.left() >= margins[column] && ink - content.left() <= margins[column] + 1,
                 qPrintable(QStringLiteral("column %1 text at %2").arg(column).arg(ink - content.left())));
        // Vertically centred: the glyph's middle near the cell's middle.
        int top = -1;
        int bottom = -1;
        for (int y = content.top(); y <= content.bottom(); ++y) {
            if (image.pixelColor(ink + 1, y).lightness() < 128) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
        }
        QVERIFY(top > content.top() && bottom < content.bottom());
        QVERIFY2(
            std::abs((top + bottom) / 2 - content.center().y()) <= 3,
            qPrintable(
                QStringLiteral("glyph %1-%2 in %3-%4").arg(top).arg(bottom).arg(content.top()).arg(content.bottom())));
    }
    // Rows are as high as the font plus a little air, all alike.
    QCOMPARE(view.list->rowHeight(0), view.list->fontMetrics().height() + 8);
}

void log_list_paint_test::Text_CutCellsMatchTheWholeTextElided()
{
    QFont font(QStringLiteral("DejaVu Sans"), 10);
    const QFontMetrics metrics(font);
    const QRect rect(6, 0, 240, 24);
    std::u16string huge(65535, u'w');
    huge.replace(100, 2, u"\U0001F600"); // a surrogate pair
    std::u16string pairs;
    for (int i = 0; i < 300; ++i)
        pairs += u"\U00010348"; // a letter beyond the basic plane
    const std::u16string texts[] = {
        u"fits",     std::u16string(40, u'm'), std::u16string(239, u'i'), std::u16string(241, u'.'), huge, pairs,
        u"tab\there"};
    for (const std::u16string& text : texts) {
        QImage ours(260, 24, QImage::Format_RGB32);
        QImage reference(260, 24, QImage::Format_RGB32);
        ours.fill(Qt::white);
        reference.fill(Qt::white);
        {
            QPainter painter(&ours);
            painter.setFont(font);
            painter.setPen(Qt::black);
            DrawCellText(painter, rect, text, metrics);
        }
        const QString whole = QString::fromStdU16String(text);
        {
            QPainter painter(&reference);
            painter.setFont(font);
            painter.setPen(Qt::black);
            const QPoint origin(rect.left(), rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent());
            painter.drawText(origin, metrics.elidedText(whole, Qt::ElideRight, rect.width()));
        }
        QVERIFY2(ours == reference, qPrintable(QStringLiteral("text of %1 characters").arg(text.size())));
        QCOMPARE(CellTextIsCut(text, rect.width(), metrics), metrics.horizontalAdvance(whole) > rect.width());
        // Nothing is drawn right of the cell's text area.
        for (int x = rect.right() + 1; x < ours.width(); ++x)
            for (int y = 0; y < ours.height(); ++y)
                QVERIFY(ours.pixelColor(x, y) == QColor(Qt::white));
    }
}

void log_list_paint_test::CutLine_EndsInTheCutMarkAndItsTooltipGivesTheLength()
{
    painted_list view({{u"INFO", u"whole"}, {u"WARN", std::u16string(2000, u'z')}}, {u"Level", u"Message"});
    {
        const log_file::window_reader window = FileOf(view.file).read_window();
        window.lines()[1]->set_cut_length(300000);
    }
    view.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view.window));
    const QImage image = view.Grab();
    // The tinted box at the right end of the cut line's last cell, and not
    // in the whole line's.
    const QColor tint(166, 208, 241); // 35 % of the highlight over the base
    for (int row : {0, 1}) {
        const QRect cell = view.Content(row, 1);
        const QPoint probe(cell.right() - 2, cell.top() + 3);
        if (row == 1)
            COMPARE_COLOR(Pixel(image, probe), tint);
        else
            COMPARE_COLOR(Pixel(image, probe), kBase);
        // The Level cell of the cut line carries no mark.
        COMPARE_COLOR(Pixel(image, QPoint(view.Content(row, 0).right() - 2, cell.top() + 3)), kBase);
    }
    QCOMPARE(view.list->Model().CutMark(1).column, 1);
    QCOMPARE(view.list->Model().CutMark(0).column, -1);

    // The tooltip over any cell of the cut line says how long it is.
    QVERIFY(Glossant::Initialize());
    QVERIFY(Glossant::LoadDictionary(QStringLiteral(VARNOTH_SOURCE_RESOURCES "/dict/en.lc").toStdU16String(), "dict"));
    const QRect level = view.Content(1, 0);
    QHelpEvent help(QEvent::ToolTip, level.center(), view.list->viewport()->mapToGlobal(level.center()));
    QApplication::sendEvent(view.list->viewport(), &help);
    QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), 5000);
    QVERIFY2(QToolTip::text().contains(QLocale().toString(300000)), qPrintable(QToolTip::text()));
    QVERIFY(QToolTip::text().contains(QLocale().toString(2005))); // "WARN " and the z
    QToolTip::hideText();
    Glossant::UnInitialize();
}

void log_list_paint_test::RedrawOff_ShowsTheRowsAsTheyWereNeverBlankCells()
{
    // A job (find in file) turns redrawing off while it rewrites the rows;
    // a paint meanwhile shows the rows as they were, the selected one too.
    painted_list view({{u"INFO", u"started"}, {u"ERROR", u"disk full"}, {u"INFO", u"done"}}, {u"Level", u"Message"});
    QVERIFY(view.ShowFocused());
    view.list->SelectRow(1);
    const QImage before = view.Grab();
    const QRect selected_first = view.Content(1, 0);
    QVERIFY(FirstInk(before, selected_first, selected_first.center().y()) >= 0);

    view.list->SetRedraw(false);
    QVERIFY(view.list->Model().Suspended());
    QCOMPARE(view.Grab(), before);
    view.list->viewport()->repaint();
    QCOMPARE(view.Grab(), before);

    view.list->SetRedraw(true);
    QCOMPARE(view.Grab(), before);
}

void log_list_paint_test::Screenshot_SampleFileWithRulesAndASelection()
{
    const log_pattern_list parser = list_fixture::LoadParserItems(
        QStringLiteral(VARNOTH_SOURCE_RESOURCES "/parser/Application log.xml").toStdU16String());
    QCOMPARE(parser.size(), std::size_t(4));
    const std::vector<std::u16string> lines = bench::ReadSampleLines(VARNOTH_SOURCE_RESOURCES "/samples/sample.log");
    QVERIFY(lines.size() >= 100);

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* list = new CLogListCtrl(&window);
    layout->addWidget(list);
    test_file_view file;
    list_fixture::FillSplit(file, lines, parser);
    CHighlight rules = {Rule(u"ERROR", u"Level", false, 0x00FFFFFF, 0x003C3CD0),
                        Rule(u"WARN", u"Level", false, 0x00000000, 0x0060D0FF),
                        Rule(u"worker-3", u"Thread", false, 0x00803000, 0x00FFE8D0),
                        Rule(u"Timeout after \\d+ ms", u"Message", true, 0x00000000, 0x00A0E0FF),
                        Rule(u"\\b10\\.0\\.\\d+\\.\\d+", u"", true, 0x000000A0, 0x00E0E0FF)};
    CSearchInfo search;
    search.expression = u"Connection pool";
    search.highlight = true;
    file.set_highlight_enabled(1 != 0);
    list->SetFile(&file);
    int index = 0;
    for (const std::u16string& name : list_fixture::ColumnNames(parser))
        list->InsertColumn(index++, name);
    list->SetRowCount();
    list->SetHighlightSources(&rules, &search);
    list->SetSearchHighlightColor(0x0080FFFF);
    window.resize(1100, 460);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window, 5000));
    list->setFocus();
    QVERIFY(QTest::qWaitFor([list] { return list->hasFocus(); }, 5000));
    list->FitColumns();
    QItemSelection selection;
    for (int row : {1, 4, 5, 6})
        selection.select(list->Model().index(row, 0), list->Model().index(row, list->ColumnCount() - 1));
    list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    list->SetSelectionMark(9);

    const QImage image = window.grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    QVERIFY2(colours.size() > 60, qPrintable(QString::number(colours.size())));

    QTemporaryDir scratch;
    const QString folder = qEnvironmentVariableIsSet("VARNOTH_UI_SCREENSHOT_DIR")
                               ? qEnvironmentVariable("VARNOTH_UI_SCREENSHOT_DIR")
                               : scratch.path();
    QVERIFY(image.save(QDir(folder).filePath(QStringLiteral("log_list.png")), "PNG"));
    list->clearFocus();
    window.setFocus();
    QVERIFY(window.grab().toImage().save(QDir(folder).filePath(QStringLiteral("log_list_unfocused.png")), "PNG"));
}
