#include "filter_dlg_test.h"

#include "dialog_test_support.h"
#include "dialogs/filter_dlg.h"
#include "dialogs/filter_edit_dlg.h"
#include "dialogs/text_input_dlg.h"
#include "format/datetime.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

namespace {

tagDATA_FORMAT Typed(int32_t type)
{
    tagDATA_FORMAT format;
    format.data_type = type;
    return format;
}

// A parser with a text, a numeric and an IPv4 column, as the list shows it.
struct filter_fixture {
    filter_column_map columns = {
        {u"Level", Typed(DATA_TYPE_TEXT)}, {u"Bytes", Typed(DATA_TYPE_NUMERIC)}, {u"Client", Typed(DATA_TYPE_IPV4)}};
    std::vector<std::u16string> headers = {u"Level", u"Bytes", u"Client"};
    filter_favorites favorites;
    std::vector<log_filter> recent;
    std::vector<std::u16string> history;

    CFilterDlg::context Context() { return {headers, columns, &favorites, &recent, &history}; }
};

log_filter Condition(std::u16string column, int32_t type, std::u16string text, bool logic_and = true,
                     bool case_sensitive = false)
{
    log_filter condition;
    condition.SetColumn(std::move(column));
    condition.SetType(type);
    condition.SetContent(text);
    condition.SetLogicAnd(logic_and);
    condition.SetCaseSensitive(case_sensitive);
    return condition;
}

// Fills the condition dialog's fields the way a user does: the column and
// the expression typed, the compare type chosen with the keyboard.
void Fill(CFilterEditDlg* dialog, const QString& column, int type, const QString& expression)
{
    auto* column_box = Child<QComboBox>(dialog, CFilterEditDlg::kColumnBox);
    column_box->lineEdit()->selectAll();
    QTest::keyClick(column_box->lineEdit(), Qt::Key_Delete);
    TypeText(column_box->lineEdit(), column);
    auto* compare = Child<QComboBox>(dialog, CFilterEditDlg::kCompareBox);
    compare->setFocus();
    QTest::keyClick(compare, Qt::Key_Home);
    for (int i = 0; i < type; ++i)
        QTest::keyClick(compare, Qt::Key_Down);
    auto* expression_box = Child<QComboBox>(dialog, CFilterEditDlg::kExpressionBox);
    expression_box->lineEdit()->selectAll();
    QTest::keyClick(expression_box->lineEdit(), Qt::Key_Delete);
    TypeText(expression_box->lineEdit(), expression);
}

QStringList Column(QTableWidget* list, int column)
{
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts << list->item(row, column)->text();
    return texts;
}

int Selected(QTableWidget* list)
{
    const auto ranges = list->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

} // namespace

void filter_dlg_test::EditDlg_ChecksInTheirOrderWithTheirMessages()
{
    const std::u16string empty_value =
        Filled(u"IDS_MSG_FILTER_VALUE_EMPTY",
               {FromQString(Text(u"IDS_FILTER_EXPRESSION")), FromQString(Text(u"IDS_FILTER_COMPARE")),
                FromQString(Text(u"IDS_FILTER_TYPE_EQUAL")), FromQString(Text(u"IDS_FILTER_TYPE_NOTEQUAL"))});
    struct row {
        const char* column;
        int type;
        const char* expression;
        std::u16string message; // empty: accepted
    };
    const std::vector<row> rows = {
        {"Level", FILTER_TYPE_EQUAL, "", {}},
        {"Level", FILTER_TYPE_NOTEQUAL, "", {}},
        {"Level", FILTER_TYPE_CONTAIN, "", empty_value},
        {"Level", FILTER_TYPE_REGEXP, "", empty_value},
        {"Bytes", FILTER_TYPE_GREATER, "12x", FromQString(Text(u"IDS_MSG_INVALID_EXPRESSION"))},
        {"Bytes", FILTER_TYPE_LESS_EQUAL, "-12", {}},
        {"Level", FILTER_TYPE_GREATER, "12x", {}},
        {"Other", FILTER_TYPE_GREATER, "12x", {}}, // not in the map: text
        {"Client", FILTER_TYPE_GREATER_EQUAL, "10.0.0.300", FromQString(Text(u"IDS_MSG_INVALID_EXPRESSION"))},
        {"Client", FILTER_TYPE_LESS, "10.0.0.3", {}},
        {"Bytes", FILTER_TYPE_CONTAIN, "12x", {}}, // text compare on a typed column
        {"", FILTER_TYPE_EQUAL, "", FromQString(Text(u"IDS_MSG_INVALID_COLUMN_NAME"))},
        {"", FILTER_TYPE_CONTAIN, "", FromQString(Text(u"IDS_MSG_INVALID_COLUMN_NAME"))}, // column first
        {"a&b", FILTER_TYPE_CONTAIN, "", FromQString(Text(u"IDS_MSG_ILLEGAL_COLUMN_NAME"))},
        {"it's", FILTER_TYPE_CONTAIN, "x", FromQString(Text(u"IDS_MSG_ILLEGAL_COLUMN_NAME"))},
    };
    filter_fixture f;
    for (const row& r : rows) {
        const QString what = QStringLiteral("%1 %2 '%3'").arg(r.column).arg(r.type).arg(r.expression);
        f.history.clear();
        scripted_boxes boxes;
        CFilterEditDlg dialog(CFilterEditDlg::mode::edit, f.columns, f.headers, f.history);
        dialog.show();
        QVERIFY(Activate(&dialog));
        Fill(&dialog, QString::fromUtf8(r.column), r.type, QString::fromUtf8(r.expression));
        QTest::keyClick(Focused(), Qt::Key_Return);
        if (r.message.empty()) {
            QVERIFY2(boxes.shown.empty(), qPrintable(what));
            QVERIFY2(dialog.result() == QDialog::Accepted, qPrintable(what));
            const log_filter made = dialog.Condition();
            QCOMPARE(made.column(), Wide(r.column));
            QCOMPARE(made.type(), r.type);
            QCOMPARE(made.content(), Wide(r.expression));
            // Every accepted expression heads the history (an empty one is not kept).
            QCOMPARE(f.history.empty(), std::string(r.expression).empty());
        } else {
            QVERIFY2(dialog.isVisible(), qPrintable(what));
            QCOMPARE(boxes.shown.size(), std::size_t{1});
            QCOMPARE(ToQString(boxes.shown[0].first), ToQString(r.message));
            QCOMPARE(boxes.shown[0].second & MB_ICONMASK, unsigned{MB_ICONINFORMATION});
            QVERIFY(f.history.empty());
        }
    }
}

void filter_dlg_test::EditDlg_GenerateFollowsTheColumnType()
{
    filter_fixture f;
    CFilterEditDlg dialog(CFilterEditDlg::mode::edit, f.columns, f.headers, f.history);
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* generate = Child<QPushButton>(&dialog, CFilterEditDlg::kGenerateButton);
    QVERIFY(!generate->isEnabled());
    const std::vector<std::pair<QString, bool>> rows = {{"Bytes", true}, {"Level", false},  {"Client", true},
                                                        {"Byte", false}, {"Bytes2", false}, {"", false}};
    for (const auto& [column, enabled] : rows) {
        Fill(&dialog, column, FILTER_TYPE_EQUAL, QString());
        QVERIFY2(generate->isEnabled() == enabled, qPrintable(column));
    }
    // Chosen from the list rather than typed.
    auto* column_box = Child<QComboBox>(&dialog, CFilterEditDlg::kColumnBox);
    column_box->setCurrentIndex(2);
    QVERIFY(generate->isEnabled());
    QCOMPARE(dialog.ColumnFormat().data_type, DATA_TYPE_IPV4);

    // Generate on the IPv4 column: the address typed there becomes the
    // expression, focused and selected.
    when_modal<QDialog> pick([](QDialog* value) {
        for (const char key : std::string("10.1.2.3"))
            QTest::keyClick(QApplication::focusWidget(), key);
        QTest::keyClick(Focused(), Qt::Key_Return);
        (void)value;
    });
    QTest::mouseClick(generate, Qt::LeftButton);
    QVERIFY(pick.Ran());
    auto* expression = Child<QComboBox>(&dialog, CFilterEditDlg::kExpressionBox);
    QCOMPARE(expression->currentText(), QStringLiteral("10.1.2.3"));
    QCOMPARE(expression->lineEdit()->selectedText(), QStringLiteral("10.1.2.3"));
}

void filter_dlg_test::FilterDlg_AddModeStaysOpenAndARepeatedConditionLeavesOneSelectedRow()
{
    filter_fixture f;
    CFilterDlg dialog(log_filter_groups(), f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* list = Child<QTableWidget>(&dialog, CFilterDlg::kConditionList);
    int rows_seen_open = -1;
    bool stayed_open = false;
    when_modal<CFilterEditDlg> add([&](CFilterEditDlg* edit) {
        QCOMPARE(Child<QPushButton>(edit, 1)->text(), Text(u"IDS_FILTEREDITDLG_BUTTON_ADD"));
        Fill(edit, "Level", FILTER_TYPE_EQUAL, "ERROR");
        QTest::keyClick(Focused(), Qt::Key_Return);
        Fill(edit, "Bytes", FILTER_TYPE_GREATER, "100");
        QTest::keyClick(Focused(), Qt::Key_Return);
        // The same condition again (type and logic are not what makes it the same).
        Fill(edit, "Level", FILTER_TYPE_EQUAL, "ERROR");
        QTest::keyClick(Focused(), Qt::Key_Return);
        stayed_open = edit->isVisible();
        rows_seen_open = list->rowCount();
        QCOMPARE(Child<QComboBox>(edit, CFilterEditDlg::kExpressionBox)->currentText(), QStringLiteral("ERROR"));
        QTest::keyClick(Focused(), Qt::Key_Escape);
    });
    QTest::mouseClick(Child<QPushButton>(&dialog, CFilterDlg::kAddButton), Qt::LeftButton);
    QVERIFY(add.Ran());
    QVERIFY(stayed_open);
    QCOMPARE(rows_seen_open, 2);
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(Selected(list), 0); // the repeated one, already present
    QCOMPARE(list->item(0, 0)->text(),
             ToQString(Filled(u"IDS_FILTERDLG_LIST_FORMAT_CONDITION",
                              {u"Level", FromQString(Text(u"IDS_FILTER_TYPE_EQUAL")), u"ERROR"})));
    QCOMPARE(list->item(1, 0)->text(), QStringLiteral("Bytes > \"100\""));
    QCOMPARE(Column(list, 1), QStringList({Text(u"IDS_WORD_NO"), Text(u"IDS_WORD_NO")}));
    QCOMPARE(Column(list, 2), QStringList({Text(u"IDS_FILTER_LOGIC_AND"), Text(u"IDS_FILTER_LOGIC_AND")}));
    QCOMPARE(f.history, (std::vector<std::u16string>{u"ERROR", u"100"}));
    // Nothing leaves the dialog before Apply.
    QVERIFY(f.recent.empty());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.result(), int{QDialog::Rejected});
}

void filter_dlg_test::FilterDlg_ConditionOnAMissingColumnIsGrey()
{
    filter_fixture f;
    log_filter_groups groups;
    groups.AddCondition(Condition(u"Level", FILTER_TYPE_CONTAIN, u"x"));
    groups.AddCondition(Condition(u"Gone", FILTER_TYPE_CONTAIN, u"y"));
    groups.AddCondition(Condition(u"", FILTER_TYPE_CONTAIN, u"z"));
    CFilterDlg dialog(groups, f.Context());
    auto* list = Child<QTableWidget>(&dialog, CFilterDlg::kConditionList);
    QCOMPARE(list->rowCount(), 3);
    const QColor normal = dialog.palette().color(QPalette::ButtonText);
    const QColor grey = dialog.palette().color(QPalette::Disabled, QPalette::Text);
    QVERIFY(normal != grey);
    for (int column = 0; column < 3; ++column) {
        QCOMPARE(list->item(0, column)->foreground().color(), normal);
        QCOMPARE(list->item(1, column)->foreground().color(), grey);
        QCOMPARE(list->item(2, column)->foreground().color(), normal); // any column
    }
    QCOMPARE(list->item(2, 0)->text(), ToQString(Filled(u"IDS_FILTERDLG_LIST_FORMAT_CONDITION_NOCOLUMN",
                                                        {FromQString(Text(u"IDS_FILTER_TYPE_CONTAIN")), u"z"})));
}

void filter_dlg_test::FilterDlg_RemoveEditAndButtons()
{
    filter_fixture f;
    log_filter_groups groups;
    groups.AddCondition(Condition(u"Level", FILTER_TYPE_EQUAL, u"A"));
    groups.AddCondition(Condition(u"Bytes", FILTER_TYPE_GREATER, u"5"));
    groups.AddCondition(Condition(u"Client", FILTER_TYPE_EQUAL, u"1.2.3.4"));
    CFilterDlg dialog(groups, f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* list = Child<QTableWidget>(&dialog, CFilterDlg::kConditionList);
    auto button = [&](int id) { return Child<QPushButton>(&dialog, id); };
    QVERIFY(!button(CFilterDlg::kRemoveButton)->isEnabled());
    QVERIFY(!button(CFilterDlg::kEditButton)->isEnabled());
    QVERIFY(!button(CFilterDlg::kRecentButton)->isEnabled()); // no recent conditions
    QVERIFY(button(CFilterDlg::kAddFavoriteButton)->isEnabled());
    QVERIFY(!button(CFilterDlg::kDeleteFavoriteButton)->isEnabled());
    // Filtering the whole file is offered while there are conditions.
    auto* whole_file = dialog.findChild<QPushButton*>(QStringLiteral("filter_whole_file"));
    QVERIFY(!whole_file->isHidden());
    QCOMPARE(whole_file->isEnabled(), list->rowCount() > 0);

    // Delete on the middle row: the row now at its place is selected.
    list->setFocus();
    list->selectRow(1);
    QVERIFY(button(CFilterDlg::kRemoveButton)->isEnabled());
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(Selected(list), 1);
    QCOMPARE(list->item(1, 0)->text().left(6), QStringLiteral("Client"));
    // On the last row: the new last row.
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(Selected(list), 0);

    // Enter on the list edits the selected row; OK replaces it.
    when_modal<CFilterEditDlg> edit([](CFilterEditDlg* editor) {
        QCOMPARE(editor->windowTitle(), Text(u"IDS_FILTEREDITDLG_TITLE_EDIT"));
        QCOMPARE(Child<QComboBox>(editor, CFilterEditDlg::kColumnBox)->currentText(), QStringLiteral("Level"));
        QCOMPARE(Child<QComboBox>(editor, CFilterEditDlg::kCompareBox)->currentIndex(), int{FILTER_TYPE_EQUAL});
        Fill(editor, "Level", FILTER_TYPE_NOTEQUAL, "B");
        Child<QComboBox>(editor, CFilterEditDlg::kLogicBox)->setCurrentIndex(1);
        QTest::keyClick(Focused(), Qt::Key_Return);
    });
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(edit.Ran());
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(list->item(0, 2)->text(), Text(u"IDS_FILTER_LOGIC_OR"));
    QCOMPARE(Selected(list), 0);

    QTest::mouseClick(button(CFilterDlg::kRemoveAllButton), Qt::LeftButton);
    QCOMPARE(list->rowCount(), 0);
    QVERIFY(!button(CFilterDlg::kAddFavoriteButton)->isEnabled());
    QTest::mouseClick(button(1), Qt::LeftButton); // Apply
    QCOMPARE(dialog.result(), int{QDialog::Accepted});
    QCOMPARE(dialog.Groups().ConditionCount(), std::size_t{0});
}

void filter_dlg_test::FilterDlg_FavoriteNamesRefusedAndOverwrittenIgnoringCase()
{
    filter_fixture f;
    log_filter_groups old_set;
    old_set.AddCondition(Condition(u"Level", FILTER_TYPE_EQUAL, u"OLD"));
    f.favorites[u"Errors"] = old_set;
    f.favorites[u"alpha"] = old_set;
    log_filter_groups groups;
    groups.AddCondition(Condition(u"Level", FILTER_TYPE_EQUAL, u"NEW"));
    CFilterDlg dialog(groups, f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* box = Child<QComboBox>(&dialog, CFilterDlg::kFavoriteBox);
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->itemText(0), Text(u"IDS_SPECIAL_RECALL_FAVORITE"));
    QCOMPARE(box->itemText(1), QStringLiteral("alpha")); // sorted ignoring case
    QCOMPARE(box->itemText(2), QStringLiteral("Errors"));
    auto* save = Child<QPushButton>(&dialog, CFilterDlg::kAddFavoriteButton);

    auto name_it = [&](const QString& name) {
        return std::make_unique<when_modal<CTextInputDlg>>([name](CTextInputDlg* input) {
            QCOMPARE(input->windowTitle(), Text(u"IDS_FILTERDLG_FAVNAME"));
            QCOMPARE(Child<QLabel>(input, CTextInputDlg::kLabel)->text().remove(QLatin1Char('&')),
                     Text(u"IDS_FILTERDLG_FAVNAME_LABEL"));
            TypeText(Focused(), name);
            QTest::keyClick(Focused(), Qt::Key_Return);
        });
    };
    {
        // '/' is no part of a file name.
        scripted_boxes boxes;
        auto typed = name_it(QStringLiteral("a/b"));
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(typed->Ran());
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].first, FromQString(Text(u"IDS_MSG_ILLEGAL_FAVORITE_NAME")));
        QCOMPARE(f.favorites.size(), std::size_t{2});
        QVERIFY(f.recent.empty());
    }
    {
        // Other capitals: asked with the stored name; No keeps everything.
        scripted_boxes boxes({IDNO});
        auto typed = name_it(QStringLiteral("ERRORS"));
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(typed->Ran());
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].first, Filled(u"IDS_MSG_FAVORITE_EXISTED_OVERWRITE_ASK", {u"Errors"}));
        QCOMPARE(boxes.shown[0].second, unsigned{MB_YESNO | MB_ICONQUESTION});
        QVERIFY(f.favorites.count(u"Errors"));
        QCOMPARE(box->count(), 3);
    }
    {
        // Yes: one favourite, under the name as typed last, selected.
        scripted_boxes boxes({IDYES});
        auto typed = name_it(QStringLiteral("errors"));
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(typed->Ran());
        QCOMPARE(f.favorites.size(), std::size_t{2});
        QVERIFY(!f.favorites.count(u"Errors"));
        QVERIFY(f.favorites.count(u"errors"));
        QCOMPARE(f.favorites[u"errors"], groups);
        QCOMPARE(box->count(), 3);
        QCOMPARE(box->currentText(), QStringLiteral("errors"));
        // Saving a favourite records the recent conditions.
        QCOMPARE(f.recent.size(), std::size_t{1});
        QVERIFY(Child<QPushButton>(&dialog, CFilterDlg::kDeleteFavoriteButton)->isEnabled());
    }
    {
        // Choosing a favourite replaces the list; deleting it asks first.
        box->setCurrentIndex(1); // alpha
        auto* list = Child<QTableWidget>(&dialog, CFilterDlg::kConditionList);
        QCOMPARE(list->rowCount(), 1);
        QVERIFY(list->item(0, 0)->text().contains(QStringLiteral("OLD")));
        scripted_boxes boxes({IDYES});
        QTest::mouseClick(Child<QPushButton>(&dialog, CFilterDlg::kDeleteFavoriteButton), Qt::LeftButton);
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].first, Filled(u"IDS_MSG_DO_YOU_WANT_TO_DELETE_FAVORITE", {u"alpha"}));
        QVERIFY(!f.favorites.count(u"alpha"));
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(box->count(), 2);
        QVERIFY(!Child<QPushButton>(&dialog, CFilterDlg::kDeleteFavoriteButton)->isEnabled());
    }
}

void filter_dlg_test::FilterDlg_ApplyWithElevenConditionsKeepsTenRecentLastFirst()
{
    filter_fixture f;
    f.recent.push_back(Condition(u"Level", FILTER_TYPE_EQUAL, u"c5", false)); // the same as one below
    log_filter_groups groups;
    for (int i = 0; i < 11; ++i)
        groups.AddCondition(Condition(u"Level", FILTER_TYPE_EQUAL, u"c" + Wide(std::to_string(i).c_str())));
    CFilterDlg dialog(groups, f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    QTest::mouseClick(Child<QPushButton>(&dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.result(), int{QDialog::Accepted});
    QCOMPARE(f.recent.size(), std::size_t{10});
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(f.recent[i].content(), u"c" + Wide(std::to_string(10 - i).c_str()));
        QVERIFY(f.recent[i].logic_and());
    }
    QCOMPARE(dialog.Groups().ConditionCount(), std::size_t{11});
}

void filter_dlg_test::FilterDlg_RecentMenuAddsACopy()
{
    filter_fixture f;
    f.recent = {Condition(u"Level", FILTER_TYPE_CONTAIN, u"took", true, true), Condition(u"", FILTER_TYPE_EQUAL, u"x")};
    CFilterDlg dialog(log_filter_groups(), f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    QVERIFY(Child<QPushButton>(&dialog, CFilterDlg::kRecentButton)->isEnabled());
    QMenu menu;
    dialog.FillRecentMenu(menu);
    const QList<QAction*> actions = menu.actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->text(), Literal(DescribeCondition(f.recent[0]) + QStringLiteral("(")
                                         + Text(u"IDS_FILTER_CASE_SENSITIVE") + QStringLiteral(")")));
    QCOMPARE(actions[1]->text(), Literal(DescribeCondition(f.recent[1])));
    actions[0]->trigger();
    actions[0]->trigger(); // the same again: still one row
    auto* list = Child<QTableWidget>(&dialog, CFilterDlg::kConditionList);
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(list->item(0, 1)->text(), Text(u"IDS_WORD_YES"));
    QCOMPARE(Selected(list), 0);
}

void filter_dlg_test::TextInputDlg_OkOnlyWithText()
{
    CTextInputDlg dialog(QStringLiteral("T"), QStringLiteral("L"), {u"one", u"two"});
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* ok = Child<QPushButton>(&dialog, 1);
    auto* box = Child<QComboBox>(&dialog, CTextInputDlg::kTextBox);
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->currentText(), QString());
    QVERIFY(!ok->isEnabled());
    QTest::keyClick(Focused(), Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    TypeText(Focused(), QStringLiteral("n"));
    QVERIFY(ok->isEnabled());
    QTest::keyClick(Focused(), Qt::Key_Backspace);
    QVERIFY(!ok->isEnabled());
    TypeText(Focused(), QStringLiteral("name 1"));
    QTest::keyClick(Focused(), Qt::Key_Return);
    QCOMPARE(dialog.result(), int{QDialog::Accepted});
    QCOMPARE(dialog.Text(), std::u16string(u"name 1"));
}
