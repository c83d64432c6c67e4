#include "log_list_model_test.h"

#include "log_list_fixture.h"
#include "ui/log_list_model.h"
#include "ui/log_list_rules.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

std::vector<std::vector<std::u16string>> Rows(int count, int columns)
{
    std::vector<std::vector<std::u16string>> rows;
    for (int r = 0; r < count; ++r) {
        std::vector<std::u16string> cells;
        for (int c = 0; c < columns; ++c)
            cells.push_back(u"r" + QString::number(r).toStdU16String() + u"c" + QString::number(c).toStdU16String());
        rows.push_back(cells);
    }
    return rows;
}

void AddColumns(CLogListModel& model, int count)
{
    for (int c = 0; c < count; ++c)
        model.InsertColumn(c, u"col" + QString::number(c).toStdU16String());
}

} // namespace

void log_list_model_test::cleanup()
{
    QCOMPARE(log_file::wait_for_discards(5000), 0);
}

void log_list_model_test::ModelTester_AcceptsTheModelThroughRowAndColumnChanges()
{
    test_file_view file;
    list_fixture::FillCells(file, Rows(30, 3));
    CLogListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetFile(&file);
    AddColumns(model, 3);
    QCOMPARE(model.SetRowCount(), 30);
    log_file_test_access::set_filtered(FileOf(file), {1, 3, 5});
    file_view_engine::set_filter_enabled(file, true);
    QCOMPARE(model.SetRowCount(), 3);
    file_view_engine::set_filter_enabled(file, false);
    QCOMPARE(model.SetRowCount(), 30);
    model.InsertColumn(1, u"middle");
    model.SetColumn(0, u"first");
    QVERIFY(model.DeleteColumn(3));
    model.SetFile(nullptr);
    QCOMPARE(model.SetRowCount(), 0);
    model.SetFile(&file);
    QCOMPARE(model.SetRowCount(), 30);
    QVERIFY(!QTest::currentTestFailed());
}

void log_list_model_test::Rows_FollowTheRowSourceRule()
{
    test_file_view file;
    list_fixture::FillCells(file, Rows(10, 2));
    log_file_test_access::set_filtered(FileOf(file), {2, 4, 6, 8});
    log_file_test_access::set_quick(FileOf(file), {7});
    CLogListModel model;
    model.SetFile(&file);
    AddColumns(model, 2);

    struct row {
        int filter_enabled;
        std::u16string quick;
        int count;
        std::u16string first_cell;
    };
    const row table[] = {
        {0, u"", 10, u"r0c0"},
        {1, u"", 4, u"r2c0"},
        {0, u"x", 1, u"r7c0"},
        {1, u"x", 1, u"r7c0"}, // the quick filter wins over the filter
    };
    for (const row& r : table) {
        file_view_engine::set_filter_enabled(file, r.filter_enabled != 0);
        file_view_engine::set_quick_filter_text(file, r.quick);
        QCOMPARE(model.SetRowCount(), r.count);
        QCOMPARE(model.rowCount(), r.count);
        QCOMPARE(model.CellText(0, 0), r.first_cell);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QString::fromStdU16String(r.first_cell));
    }
}

void log_list_model_test::Rows_CountChangesAtTheEndOnly()
{
    test_file_view file;
    list_fixture::FillCells(file, Rows(10, 1));
    log_file_test_access::set_filtered(FileOf(file), {0, 1, 2});
    CLogListModel model;
    model.SetFile(&file);
    AddColumns(model, 1);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QCOMPARE(model.SetRowCount(), 10);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), 9);
    QCOMPARE(changed.count(), 0); // no row stayed

    file_view_engine::set_filter_enabled(file, true);
    QCOMPARE(model.SetRowCount(), 3);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 3);
    QCOMPARE(removed.at(0).at(2).toInt(), 9);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>().row(), 2);

    QCOMPARE(model.SetRowCount(), 3); // same count: only the cells change
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(resets.count(), 0);
}

void log_list_model_test::Cells_A65535CharacterColumnShows65534()
{
    std::u16string whole(65535, u'a');
    whole[65533] = u'y';
    whole[65534] = u'z';
    test_file_view file;
    list_fixture::FillCells(file, {{whole}, {u"short"}});
    CLogListModel model;
    model.SetFile(&file);
    AddColumns(model, 1);
    model.SetRowCount();
    const std::u16string shown = model.CellText(0, 0);
    QCOMPARE(shown.size(), std::size_t(65534));
    QCOMPARE(shown, whole.substr(0, 65534));
    QCOMPARE(model.data(model.index(0, 0)).toString().size(), qsizetype(65534));
    QCOMPARE(model.CellText(1, 0), std::u16string(u"short"));
}

void log_list_model_test::Cells_RowOrColumnThatDoesNotExistIsEmpty()
{
    test_file_view file;
    // The second line split into one column only.
    list_fixture::FillCells(file, {{u"a", u"b", u"c"}, {u"only"}});
    CLogListModel model;
    model.SetFile(&file);
    AddColumns(model, 4); // one column more than any line has
    model.SetRowCount();
    QCOMPARE(model.CellText(0, 2), std::u16string(u"c"));
    QVERIFY(model.CellText(0, 3).empty());
    QVERIFY(model.CellText(1, 1).empty());
    QVERIFY(model.CellText(2, 0).empty());
    QVERIFY(model.CellText(-1, 0).empty());
    QVERIFY(model.CellText(0, -1).empty());
    QVERIFY(model.CellText(0, 4).empty());
    QVERIFY(model.data(model.index(1, 3)).toString().isEmpty());

    // The row source shrank under the model (its count not set again yet).
    log_file_test_access::set_filtered(FileOf(file), {});
    file_view_engine::set_filter_enabled(file, true);
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(model.CellText(0, 0).empty());

    CLogListModel without_file;
    AddColumns(without_file, 1);
    QCOMPARE(without_file.SetRowCount(), 0);
    QVERIFY(without_file.CellText(0, 0).empty());
}

void log_list_model_test::Cells_SuspendedModelAnswersNothing()
{
    test_file_view file;
    list_fixture::FillCells(file, {{u"a"}});
    CLogListModel model;
    model.SetFile(&file);
    AddColumns(model, 1);
    model.SetRowCount();
    model.SetSuspended(true);
    QVERIFY(model.CellText(0, 0).empty());
    QVERIFY(model.data(model.index(0, 0)).toString().isEmpty());
    QCOMPARE(model.rowCount(), 1);
    model.SetSuspended(false);
    QCOMPARE(model.CellText(0, 0), std::u16string(u"a"));
}

void log_list_model_test::Columns_InsertSetDeleteAndHeader()
{
    CLogListModel model;
    model.InsertColumn(0, u"b");
    model.InsertColumn(0, u"a");
    model.InsertColumn(99, u"d"); // clamped to the end
    model.InsertColumn(2, u"c");
    QCOMPARE(model.ColumnNames(), (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
    QVERIFY(model.SetColumn(1, u"B"));
    QVERIFY(!model.SetColumn(4, u"x"));
    QVERIFY(!model.SetColumn(-1, u"x"));
    QVERIFY(model.DeleteColumn(3));
    QVERIFY(!model.DeleteColumn(3));
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("B"));
    QVERIFY(!model.headerData(3, Qt::Horizontal).isValid());
    QCOMPARE(model.ColumnName(2), std::u16string(u"c"));
    QVERIFY(model.ColumnName(3).empty());
    QVERIFY(model.ColumnName(-1).empty());
}
