#include "parser_dlg_test.h"

#include "dialog_test_support.h"
#include "dialogs/data_format_dlg.h"
#include "glossant/dictionary_text.h"
#include "dialogs/datetime_format_edit.h"
#include "dialogs/parser_dlg.h"
#include "dialogs/parser_edit_dlg.h"
#include "parser/log_line.h"
#include "parser/parser_suggestion.h"
#include "parser/pattern_xml.h"
#include "parser/split_line.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace {

const char16_t* const kPackageLine = u"2024-08-05 13:07:10 status installed libc6:amd64 2.36-9";

// The open files as the manager sees them, and the parser folder.
class fake_host : public parser_dlg_host {
public:
    parser_list& Parsers() override { return parsers; }
    std::u16string ParserFolder() override { return folder; }
    bool InUse(const std::u16string& name) override { return in_use.count(name) > 0; }
    void CloseFilesUsing(const std::u16string& name) override
    {
        closed.push_back(name);
        in_use.erase(name);
    }
    void RenameReferences(const std::u16string& old_name, const std::u16string& new_name) override
    {
        renames.emplace_back(old_name, new_name);
    }
    std::u16string SelectedLine() override { return selected; }
    std::vector<std::u16string> SampleLines() override { return samples; }

    parser_list parsers;
    std::u16string folder;
    std::set<std::u16string> in_use;
    std::vector<std::u16string> closed;
    std::vector<std::pair<std::u16string, std::u16string>> renames;
    std::u16string selected;
    std::vector<std::u16string> samples;
};

QPushButton* Button(QWidget* dialog, int id)
{
    return Child<QPushButton>(dialog, id);
}

QLineEdit* Edit(QWidget* dialog, int id)
{
    return Child<QLineEdit>(dialog, id);
}

QTreeWidget* Tree(QWidget* dialog)
{
    return Child<QTreeWidget>(dialog, CParserEditDlg::kTree);
}

QTreeWidgetItem* RootItem(QWidget* dialog)
{
    return Tree(dialog)->topLevelItem(0);
}

QStringList ChildTexts(QTreeWidgetItem* parent)
{
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

// Types the fields of the current column (start and end as shown, escapes and all).
void SetFields(QWidget* dialog, const QString& name, const QString& start, const QString& end,
               int type = DATA_TYPE_TEXT)
{
    Edit(dialog, CParserEditDlg::kColumnName)->setText(name);
    Edit(dialog, CParserEditDlg::kStart)->setText(start);
    Edit(dialog, CParserEditDlg::kEnd)->setText(end);
    Child<QComboBox>(dialog, CParserEditDlg::kDataType)->setCurrentIndex(type);
}

log_pattern Column(const char16_t* name, const char16_t* end)
{
    log_pattern column(name);
    column.end = end;
    return column;
}

tagPARSER_ITEM WebParser(const char16_t* name = u"Web")
{
    return {{Column(u"Client", u" "), Column(u"Request", u"")}, name};
}

std::unique_ptr<CParserEditDlg> AddEditor()
{
    auto dialog = std::make_unique<CParserEditDlg>(CParserEditDlg::mode::add, tagPARSER_ITEM{},
                                                   std::vector<std::u16string>{});
    dialog->show();
    return dialog;
}

bool FileThere(const std::u16string& folder, const std::u16string& name)
{
    return QFile::exists(ToQString(ParserFilePath(folder, name)));
}

} // namespace

static std::unique_ptr<QTemporaryDir> g_folder;
static std::unique_ptr<fake_host> g_host;

void parser_dlg_test::init()
{
    g_folder = std::make_unique<QTemporaryDir>();
    g_host = std::make_unique<fake_host>();
    g_host->folder = FromQString(g_folder->path());
}

void parser_dlg_test::cleanup()
{
    g_host.reset();
    g_folder.reset();
}

void parser_dlg_test::Editor_EscapesAreShownAndStoredBothWays()
{
    struct row {
        const char16_t* stored;
        const char16_t* shown;
    };
    for (const row& r : {row{u"[ ", u"[\\sp"}, row{u"\t|", u"\\t|"}, row{u"a \t b", u"a\\sp\\t\\spb"}, row{u"", u""}}) {
        QCOMPARE(ShowEscapes(r.stored), std::u16string(r.shown));
        QCOMPARE(ReadEscapes(r.shown), std::u16string(r.stored));
    }
    tagPARSER_ITEM parser{{Column(u"Level", u"] "), Column(u"Message", u"")}, u"p"};
    parser.parser.front().start = u"\t";
    CParserEditDlg dialog(CParserEditDlg::mode::edit, parser, {});
    dialog.show();
    Tree(&dialog)->setCurrentItem(RootItem(&dialog)->child(0));
    QCOMPARE(Edit(&dialog, CParserEditDlg::kStart)->text(), QStringLiteral("\\t"));
    QCOMPARE(Edit(&dialog, CParserEditDlg::kEnd)->text(), QStringLiteral("]\\sp"));
    Edit(&dialog, CParserEditDlg::kStart)->setText(QStringLiteral("[\\sp"));
    scripted_boxes boxes;
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Parser().parser.front().start, std::u16string(u"[ "));
    QCOMPARE(dialog.Parser().parser.front().end, std::u16string(u"] "));
    QVERIFY(boxes.shown.empty());
}

void parser_dlg_test::Editor_NewColumnsAreNumberedAndOkFollowsTheColumnCount()
{
    auto dialog = AddEditor();
    QPushButton* ok = Button(dialog.get(), 1);
    QCOMPARE(Edit(dialog.get(), CParserEditDlg::kParserName)->text(), Text(u"IDS_PARSEREDITDLG_NEW_PARSER"));
    QVERIFY(!ok->isEnabled());
    QVERIFY(!Button(dialog.get(), CParserEditDlg::kAddColumn)->isEnabled()); // the root is selected
    Button(dialog.get(), CParserEditDlg::kAddSubColumn)->click();
    QVERIFY(ok->isEnabled());
    Button(dialog.get(), CParserEditDlg::kAddColumn)->click();
    Button(dialog.get(), CParserEditDlg::kAddColumn)->click();
    const QString base = Text(u"IDS_PARSEREDITDLG_NEW_COLUMN");
    QCOMPARE(ChildTexts(RootItem(dialog.get())), (QStringList{base, base + "-1", base + "-2"}));
    // Copy takes the selected name with the first free number.
    Button(dialog.get(), CParserEditDlg::kCopyColumn)->click();
    QCOMPARE(Tree(dialog.get())->currentItem()->text(0), base + "-2-1");
    for (int i = 0; i < 4; ++i)
        Button(dialog.get(), CParserEditDlg::kDeleteColumn)->click();
    QCOMPARE(RootItem(dialog.get())->childCount(), 0);
    QVERIFY(!ok->isEnabled());
    Button(dialog.get(), CParserEditDlg::kAddSubColumn)->click();
    QVERIFY(ok->isEnabled());
}

void parser_dlg_test::Editor_DuplicateLeafNamesAreRefusedAndGroupsMayShareAName()
{
    auto dialog = AddEditor();
    QWidget* d = dialog.get();
    scripted_boxes boxes;
    Button(d, CParserEditDlg::kAddSubColumn)->click();
    SetFields(d, "Time", "", "\\sp");
    Button(d, CParserEditDlg::kAddColumn)->click();
    QTreeWidgetItem* second = Tree(d)->currentItem();
    SetFields(d, "Time", "", "");
    Button(d, CParserEditDlg::kAddColumn)->click(); // leaving the second leaf is refused
    QCOMPARE(boxes.shown.size(), std::size_t{1});
    QCOMPARE(boxes.shown.back().first, DictionaryText(u"IDS_MSG_DUPLICATED_COLUMN_NAME"));
    QCOMPARE(Tree(d)->currentItem(), second);
    QCOMPARE(RootItem(d)->childCount(), 2);
    // Selecting another item is refused the same way.
    Tree(d)->setCurrentItem(RootItem(d));
    QCOMPARE(Tree(d)->currentItem(), second);
    QCOMPARE(boxes.shown.size(), std::size_t{2});

    // As a group the second item may be called Time too.
    SetFields(d, "Rest", "", "");
    Button(d, CParserEditDlg::kAddSubColumn)->click();
    Button(d, CParserEditDlg::kAddColumn)->click();
    Tree(d)->setCurrentItem(second);
    SetFields(d, "Time", "", "");
    Tree(d)->setCurrentItem(RootItem(d));
    QCOMPARE(boxes.shown.size(), std::size_t{2});
    QCOMPARE(second->text(0), QStringLiteral("Time"));
    // A label edited in the tree is checked alike.
    second->child(0)->setText(0, QStringLiteral("Time"));
    QCOMPARE(boxes.shown.back().first, DictionaryText(u"IDS_MSG_DUPLICATED_COLUMN_NAME"));
    QCOMPARE(second->child(0)->text(0), Text(u"IDS_PARSEREDITDLG_NEW_COLUMN"));

    // Enter on the tree edits the label; Enter in the label keeps the text, without closing.
    QVERIFY(Activate(d));
    Tree(d)->setFocus();
    Tree(d)->setCurrentItem(second->child(1));
    QTest::keyClick(Tree(d), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr, kTestWaitMs);
    auto* label = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    label->selectAll();
    TypeText(label, "Host");
    QTest::keyClick(label, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(second->child(1)->text(0), QStringLiteral("Host"), kTestWaitMs);
    QCOMPARE(Edit(d, CParserEditDlg::kColumnName)->text(), QStringLiteral("Host"));
    QVERIFY(dialog->isVisible());
}

void parser_dlg_test::Editor_NameCharactersAreRefused()
{
    auto dialog = AddEditor();
    QWidget* d = dialog.get();
    scripted_boxes boxes;
    Button(d, CParserEditDlg::kAddSubColumn)->click();
    SetFields(d, "A & B", "", "");
    Button(d, CParserEditDlg::kAddColumn)->click();
    QCOMPARE(boxes.shown.back().first, DictionaryText(u"IDS_MSG_ILLEGAL_COLUMN_NAME"));
    SetFields(d, "", "", "");
    Button(d, CParserEditDlg::kAddColumn)->click();
    QCOMPARE(boxes.shown.back().first, DictionaryText(u"IDS_MSG_INVALID_COLUMN_NAME"));
    SetFields(d, "Message", "", "");
    for (const char* name : {"web:log", "what?", "a/b", "", ".."}) {
        Edit(d, CParserEditDlg::kParserName)->setText(QString::fromUtf8(name));
        QCOMPARE(RootItem(d)->text(0), QString::fromUtf8(name)); // the root follows the name
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QCOMPARE(boxes.shown.back().first, DictionaryText(*name ? u"IDS_MSG_ILLEGAL_PARSER_NAME"
                                                                : u"IDS_MSG_INVALID_PARSER_NAME"));
        QCOMPARE(d->focusWidget(), static_cast<QWidget*>(Edit(d, CParserEditDlg::kParserName)));
    }
    Edit(d, CParserEditDlg::kParserName)->setText("web log");
    dialog->accept();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->Parser().name, std::u16string(u"web log"));
}

void parser_dlg_test::Editor_EndTextIsNeededPerLevelExceptOnTheLast()
{
    auto dialog = AddEditor();
    QWidget* d = dialog.get();
    scripted_boxes boxes;
    Button(d, CParserEditDlg::kAddSubColumn)->click(); // the group, the only top-level column
    SetFields(d, "Group", "", "");
    Button(d, CParserEditDlg::kAddSubColumn)->click();
    QTreeWidgetItem* first = Tree(d)->currentItem();
    SetFields(d, "First", "", "");
    Button(d, CParserEditDlg::kAddColumn)->click();
    SetFields(d, "Second", "", "");
    Edit(d, CParserEditDlg::kParserName)->setText("grouped");
    dialog->accept();
    QVERIFY(dialog->isVisible());
    QCOMPARE(boxes.shown.back().first, Filled(u"IDS_MSG_INVALID_COLUMN_END", {u"First"}));
    QCOMPARE(Tree(d)->currentItem(), first);
    QCOMPARE(d->focusWidget(), static_cast<QWidget*>(Edit(d, CParserEditDlg::kEnd)));
    Edit(d, CParserEditDlg::kEnd)->setText("|");
    dialog->accept();
    QVERIFY(!dialog->isVisible());
    const log_pattern_list& parser = dialog->Parser().parser;
    QCOMPARE(parser.size(), std::size_t{1});
    QCOMPARE(parser.front().end, std::u16string());
    QCOMPARE(parser.front().sub_items.size(), std::size_t{2});
    QCOMPARE(parser.front().sub_items.front().end, std::u16string(u"|"));
    QCOMPARE(parser.front().sub_items.back().end, std::u16string());
}

void parser_dlg_test::Editor_TestLineSplitsAPackageLogLineLikeAPlainCut()
{
    auto dialog = AddEditor();
    QWidget* d = dialog.get();
    scripted_boxes boxes;
    Button(d, CParserEditDlg::kAddSubColumn)->click();
    SetFields(d, "Date-time", "", "\\sp", DATA_TYPE_DATETIME);
    QVERIFY(Button(d, CParserEditDlg::kFormat)->isEnabled());
    QCheckBox* after = Child<QCheckBox>(d, CParserEditDlg::kEndAfterDateTime);
    QVERIFY(after->isEnabled());
    after->setChecked(true);
    when_modal<CDataFormatDlg_DateTime> format([](CDataFormatDlg_DateTime* box) {
        Child<CDateTimeFormatEdit>(box, CDataFormatDlg_DateTime::kFormatEdit)->setText("Y-m-d H:M:S");
        box->accept();
    });
    Button(d, CParserEditDlg::kFormat)->click();
    QVERIFY(format.Ran());
    for (const char* name : {"Action", "Status", "Package"}) {
        Button(d, CParserEditDlg::kAddColumn)->click();
        SetFields(d, name, "", "\\sp");
    }
    Button(d, CParserEditDlg::kAddColumn)->click();
    SetFields(d, "Version", "", "");
    QVERIFY(!after->isEnabled()); // a text column has no date-time extent
    Edit(d, CParserEditDlg::kParserName)->setText("dpkg");
    dialog->SetTestLine(kPackageLine);
    dialog->OnTest();
    QCOMPARE(boxes.shown.back().first, DictionaryText(u"IDS_MSG_TEST_SUCCESS"));

    // The columns a plain cut at the spaces gives, the first two words together.
    const QStringList words = QString::fromStdU16String(kPackageLine).split(' ');
    const QStringList expected = {words[0] + ' ' + words[1], words[2], words[3], words[4], words.mid(5).join(' ')};
    auto* result = Child<QTableWidget>(d, CParserEditDlg::kTestResult);
    QCOMPARE(result->rowCount(), 5);
    QStringList names;
    QStringList values;
    for (int row = 0; row < result->rowCount(); ++row) {
        names << result->item(row, 0)->text();
        values << result->item(row, 1)->text();
    }
    QCOMPARE(names, (QStringList{"Date-time", "Action", "Status", "Package", "Version"}));
    QCOMPARE(values, expected);

    dialog->accept();
    QVERIFY(!dialog->isVisible());
    const log_pattern_list& parser = dialog->Parser().parser;
    QCOMPARE(parser.front().data_format.format, std::u16string(u"Y-m-d H:M:S"));
    QVERIFY(parser.front().end_after_datetime);
    log_line line;
    const std::u16string text = kPackageLine;
    QVERIFY(split_line(line, text.data(), text.size(), parser, true));
    QVERIFY(line.columns().front().value().valid);
}

void parser_dlg_test::Editor_TestMessagesAndTheFailedTestQuestion()
{
    CParserEditDlg dialog(CParserEditDlg::mode::edit, {{Column(u"A", u";"), Column(u"B", u"")}, u"semi"}, {});
    dialog.show();
    QCOMPARE(Button(&dialog, 1)->text(), Text(u"IDS_WORD_APPLY"));
    QCOMPARE(dialog.windowTitle(), Text(u"IDS_PARSEREDITDLG_TITLE_EDIT"));
    scripted_boxes boxes;
    struct row {
        const char16_t* line;
        std::u16string message;
    };
    for (const row& r : {row{u"", DictionaryText(u"IDS_MSG_TEST_FAIL")},
                         row{u"no semicolon", Filled(u"IDS_MSG_TEST_FAIL_COLUMN", {u"A"})},
                         row{u"a;b", DictionaryText(u"IDS_MSG_TEST_SUCCESS")}}) {
        dialog.SetTestLine(r.line);
        dialog.OnTest();
        QCOMPARE(boxes.shown.back().first, r.message);
    }
    // OK asks when the test line does not split: No stays, Yes closes.
    const std::size_t before = boxes.shown.size();
    boxes.Answer(IDNO);
    boxes.Answer(IDYES);
    dialog.SetTestLine(u"no semicolon");
    dialog.accept();
    QCOMPARE(boxes.shown.size(), before + 1);
    QCOMPARE(boxes.shown.back().first, DictionaryText(u"IDS_MSG_PARSET_TEST_FAIL_CONTINUE_ASK"));
    QVERIFY(dialog.isVisible());
    dialog.accept();
    QVERIFY(!dialog.isVisible());
}

void parser_dlg_test::Manager_DuplicateNumbersTheCopies()
{
    g_host->parsers = {WebParser(), WebParser(u"WEB - 1")};
    CParserDlg dialog(*g_host);
    dialog.show();
    auto* list = Child<QTableWidget>(&dialog, CParserDlg::kList);
    QCOMPARE(list->currentRow(), 1); // the last parser is selected
    for (const char16_t* expected : {u"Web - 2", u"Web - 3"}) {
        list->selectRow(0);
        Button(&dialog, CParserDlg::kDuplicateButton)->click();
        QCOMPARE(g_host->parsers.back().name, std::u16string(expected));
        QVERIFY(g_host->parsers.back().parser == g_host->parsers.front().parser);
        QCOMPARE(list->item(list->currentRow(), 0)->text(), ToQString(expected));
        QVERIFY(FileThere(g_host->folder, expected));
    }
    QCOMPARE(list->item(0, 1)->text(), ToQString(template_text(WebParser().parser)));
}

void parser_dlg_test::Manager_AddingANameDifferingInCaseReplacesThatParser()
{
    g_host->parsers = {WebParser()};
    QVERIFY(WriteParserFile(g_host->folder, g_host->parsers.front()));
    CParserDlg dialog(*g_host);
    dialog.show();
    scripted_boxes boxes({IDYES});
    when_modal<CParserEditDlg> editor([](CParserEditDlg* box) {
        Edit(box, CParserEditDlg::kParserName)->setText("WEB");
        Button(box, CParserEditDlg::kAddSubColumn)->click();
        box->accept();
    });
    Button(&dialog, CParserDlg::kAddButton)->click();
    QVERIFY(editor.Ran());
    QCOMPARE(boxes.shown.front().first, Filled(u"IDS_MSG_PARSER_EXISTED_OVERWRITE_ASK", {u"Web"}));
    QCOMPARE(g_host->parsers.size(), std::size_t{1});
    QCOMPARE(g_host->parsers.front().name, std::u16string(u"WEB"));
    QCOMPARE(leaf_count(g_host->parsers.front().parser), 1);
    auto* list = Child<QTableWidget>(&dialog, CParserDlg::kList);
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(list->item(0, 0)->text(), QStringLiteral("WEB"));
    QVERIFY(FileThere(g_host->folder, u"WEB"));
    QVERIFY(!FileThere(g_host->folder, u"Web"));
    QCOMPARE(g_host->renames.size(), std::size_t{1});
    log_pattern_list stored;
    QVERIFY(LoadPatternFile(stored, ParserFilePath(g_host->folder, u"WEB")));
    QVERIFY(stored == g_host->parsers.front().parser);
}

void parser_dlg_test::Manager_EditingAParserInUseAsksFirst()
{
    g_host->parsers = {WebParser()};
    g_host->in_use = {u"Web"};
    CParserDlg dialog(*g_host);
    dialog.show();
    {
        scripted_boxes boxes({IDNO});
        dialog.OnEdit();
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown.front().first, DictionaryText(u"IDS_MSG_PARSER_IN_USE_CANNOT_EDIT_ASK"));
        QVERIFY(g_host->closed.empty());
        QVERIFY(g_host->parsers.front().parser == WebParser().parser);
    }
    scripted_boxes boxes({IDYES});
    std::vector<std::u16string> closed_when_open;
    when_modal<CParserEditDlg> editor([&](CParserEditDlg* box) {
        closed_when_open = g_host->closed;
        Tree(box)->setCurrentItem(RootItem(box)->child(1));
        Edit(box, CParserEditDlg::kColumnName)->setText("Line");
        box->accept();
    });
    dialog.OnEdit();
    QVERIFY(editor.Ran());
    QCOMPARE(closed_when_open, std::vector<std::u16string>{u"Web"});
    QCOMPARE(g_host->parsers.front().parser.back().name, std::u16string(u"Line"));
    log_pattern_list stored;
    QVERIFY(LoadPatternFile(stored, ParserFilePath(g_host->folder, u"Web")));
    QVERIFY(stored == g_host->parsers.front().parser);
}

void parser_dlg_test::Manager_RemoveAsksAndClosesTheUsers()
{
    g_host->parsers = {WebParser(u"a"), WebParser(u"b"), WebParser(u"c")};
    for (const tagPARSER_ITEM& parser : g_host->parsers)
        QVERIFY(WriteParserFile(g_host->folder, parser));
    g_host->in_use = {u"b"};
    CParserDlg dialog(*g_host);
    dialog.show();
    auto* list = Child<QTableWidget>(&dialog, CParserDlg::kList);
    list->selectRow(1);
    {
        scripted_boxes boxes({IDYES, IDNO});
        dialog.OnRemove();
        QCOMPARE(boxes.shown.size(), std::size_t{2});
        QCOMPARE(boxes.shown[0].first, Filled(u"IDS_MSG_DO_YOU_WANT_TO_DELETE_PARSER", {u"b"}));
        QCOMPARE(boxes.shown[1].first, DictionaryText(u"IDS_MSG_PARSER_IN_USE_CANNOT_REMOVE_ASK"));
        QCOMPARE(g_host->parsers.size(), std::size_t{3});
        QVERIFY(FileThere(g_host->folder, u"b"));
    }
    scripted_boxes boxes({IDYES, IDYES});
    QVERIFY(Activate(&dialog));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(g_host->closed, std::vector<std::u16string>{u"b"});
    QCOMPARE(g_host->parsers.size(), std::size_t{2});
    QVERIFY(!FileThere(g_host->folder, u"b"));
    QCOMPARE(list->currentRow(), 1); // the row now at the removed row's place
    QCOMPARE(list->item(1, 0)->text(), QStringLiteral("c"));
}

void parser_dlg_test::Manager_AReadOnlyParserFileIsReportedAndTheListKeepsTheParser()
{
    g_host->parsers = {WebParser()};
    QVERIFY(WriteParserFile(g_host->folder, g_host->parsers.front()));
    const QString path = ToQString(ParserFilePath(g_host->folder, u"Web"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
    CParserDlg dialog(*g_host);
    dialog.show();
    scripted_boxes boxes;
    when_modal<CParserEditDlg> editor([](CParserEditDlg* box) {
        Tree(box)->setCurrentItem(RootItem(box)->child(1));
        Edit(box, CParserEditDlg::kColumnName)->setText("Line");
        box->accept();
    });
    dialog.OnEdit();
    QVERIFY(editor.Ran());
    QCOMPARE(boxes.shown.size(), std::size_t{1});
    QVERIFY(boxes.shown.front().first.find(FromQString(path)) != std::u16string::npos);
    QVERIFY(g_host->parsers.front().parser == WebParser().parser);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    // Nor can it be removed behind the user's mark.
    scripted_boxes more({IDYES});
    dialog.OnRemove();
    QCOMPARE(g_host->parsers.size(), std::size_t{1});
    QVERIFY(QFile::exists(path));
}

void parser_dlg_test::Manager_RenameInPlaceChecksTheNameAndMovesTheFile()
{
    g_host->parsers = {WebParser(), WebParser(u"Other")};
    for (const tagPARSER_ITEM& parser : g_host->parsers)
        QVERIFY(WriteParserFile(g_host->folder, parser));
    CParserDlg dialog(*g_host);
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* list = Child<QTableWidget>(&dialog, CParserDlg::kList);
    QTableWidgetItem* name = list->item(0, 0);
    scripted_boxes boxes({IDNO});
    for (const char* refused : {"web:1", ""}) {
        name->setText(QString::fromUtf8(refused));
        QCOMPARE(boxes.shown.back().first,
                 DictionaryText(*refused ? u"IDS_MSG_ILLEGAL_PARSER_NAME" : u"IDS_MSG_INVALID_PARSER_NAME"));
        QCOMPARE(name->text(), QStringLiteral("Web"));
        // The label edit starts again on the same row.
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr, kTestWaitMs);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
    }
    name->setText("other"); // taken by "Other" in another case: No keeps both
    QCOMPARE(boxes.shown.back().first, Filled(u"IDS_MSG_PARSER_EXISTED_OVERWRITE_ASK", {u"Other"}));
    QCOMPARE(name->text(), QStringLiteral("Web"));
    // Typed into the label editor: Enter ends the edit (no editor dialog opens).
    when_modal<CParserEditDlg> editor([](CParserEditDlg* box) { box->reject(); });
    list->setFocus();
    list->setCurrentCell(0, 0);
    list->editItem(name);
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr, kTestWaitMs);
    auto* label = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    label->selectAll();
    TypeText(label, "Access");
    QTest::keyClick(label, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(g_host->parsers.front().name, std::u16string(u"Access"), kTestWaitMs);
    QVERIFY(!editor.Ran());
    QVERIFY(dialog.isVisible());
    QVERIFY(FileThere(g_host->folder, u"Access"));
    QVERIFY(!FileThere(g_host->folder, u"Web"));
}

void parser_dlg_test::Manager_SuggestFillsTheEditorWithTheSplitShare()
{
    g_host->selected = kPackageLine;
    g_host->samples = {u"2024-08-05 13:07:11 startup packages configure",
                       u"2024-08-05 13:07:12 status unpacked libc6:amd64 2.36-9", kPackageLine};
    std::vector<std::u16string_view> others(g_host->samples.begin(), g_host->samples.end());
    const parser_suggestion expected = suggest_parser(g_host->selected, others);
    QVERIFY(!expected.parser.empty());
    CParserDlg dialog(*g_host);
    dialog.show();
    QString note;
    QString test_line;
    int columns = -1;
    when_modal<CParserEditDlg> editor([&](CParserEditDlg* box) {
        note = Child<QLabel>(box, CParserEditDlg::kSuggestionShare)->text();
        test_line = Edit(box, CParserEditDlg::kTestLine)->text();
        columns = RootItem(box)->childCount();
        box->reject();
    });
    Button(&dialog, CParserDlg::kSuggestButton)->click();
    QVERIFY(editor.Ran());
    QCOMPARE(note, ToQString(Filled(u"IDS_PARSERDLG_SUGGEST_SHARE",
                                    {Wide(std::to_string(expected.split).c_str()),
                                     Wide(std::to_string(expected.sampled).c_str())})));
    QCOMPARE(test_line, ToQString(kPackageLine));
    QCOMPARE(columns, static_cast<int>(expected.parser.size()));
    QVERIFY(g_host->parsers.empty()); // cancelled: nothing added

    // Nothing to suggest from: a message, no editor.
    g_host->selected.clear();
    g_host->samples.clear();
    scripted_boxes boxes;
    dialog.OnSuggest();
    QCOMPARE(boxes.shown.size(), std::size_t{1});
    QCOMPARE(boxes.shown.front().first, DictionaryText(u"IDS_MSG_SUGGEST_NO_LINES"));
}
