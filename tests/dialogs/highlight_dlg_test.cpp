#include "highlight_dlg_test.h"

#include "dialog_test_support.h"
#include "dialogs/color_picker.h"
#include "dialogs/highlight_dlg.h"
#include "dialogs/text_input_dlg.h"
#include "ui/color_ref.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace {

struct highlight_fixture {
    std::vector<std::u16string> headers = {u"Time", u"Level", u"Message"};
    highlight_favorites favorites;
    CHighlight recent;
    std::vector<std::u16string> history;

    CHighlightDlg::context Context() { return {headers, &favorites, &recent, &history}; }
};

tagHIGHLIGHT_ITEM Rule(std::u16string expression, std::u16string column = {}, int32_t text = 0x000000,
                       int32_t back = 0x00FFFF)
{
    tagHIGHLIGHT_ITEM rule;
    rule.expression = std::move(expression);
    rule.column = std::move(column);
    rule.text_color = text;
    rule.back_color = back;
    return rule;
}

QTableWidget* List(QWidget* dialog)
{
    return Child<QTableWidget>(dialog, CHighlightDlg::kRuleList);
}

QPushButton* Button(QWidget* dialog, int id)
{
    return Child<QPushButton>(dialog, id);
}

int Selected(QTableWidget* list)
{
    const auto ranges = list->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void ClickRow(QTableWidget* list, int row)
{
    const QRect cell = list->visualRect(list->model()->index(row, 2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
}

// The darkest pixel of a cell's text area, by lightness.
int DarkestLightness(const QImage& image, const QRect& cell)
{
    int darkest = 256;
    for (int y = cell.top() + 1; y < cell.bottom(); ++y)
        for (int x = cell.left() + 1; x < cell.right(); ++x)
            darkest = std::min(darkest, QColor(image.pixel(x, y)).lightness());
    return darkest;
}

} // namespace

void highlight_dlg_test::InPlaceEditing_WritesTheSelectedRow()
{
    highlight_fixture f;
    CHighlightDlg dialog(CHighlight{}, f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    QVERIFY(!Button(&dialog, CHighlightDlg::kRemoveButton)->isEnabled());
    QVERIFY(!Button(&dialog, CHighlightDlg::kAddFavoriteButton)->isEnabled());
    QCOMPARE(Child<CFGColorPicker>(&dialog, CHighlightDlg::kBackColor)->GetColor(), uint32_t{0x0000D5});

    QTest::mouseClick(Button(&dialog, CHighlightDlg::kAddButton), Qt::LeftButton);
    auto* list = List(&dialog);
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(Selected(list), 0);
    auto* expression = Child<QComboBox>(&dialog, CHighlightDlg::kExpressionBox);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(expression));
    QCOMPARE(expression->lineEdit()->selectedText(), Text(u"IDS_HIGHLIGHTDLG_LIST_NEWTEXT"));
    // Typing replaces the selected text, in the row as well.
    TypeText(Focused(), QStringLiteral("ERROR"));
    QCOMPARE(dialog.Rows()[0].expression, std::u16string(u"ERROR"));
    QCOMPARE(list->item(0, 0)->text(), ToQString(Filled(u"IDS_HIGHLIGHTDLG_LIST_FORMAT_ITEM_NOCOLUMN",
                                                        {FromQString(Text(u"IDS_HIGHLIGHT_VERB_CONTAIN")), u"ERROR"})));
    auto* column = Child<QComboBox>(&dialog, CHighlightDlg::kColumnBox);
    TypeText(column->lineEdit(), QStringLiteral("Level"));
    Child<QCheckBox>(&dialog, CHighlightDlg::kCaseSensitiveCheck)->click();
    auto* text_color = Child<CFGColorPicker>(&dialog, CHighlightDlg::kTextColor);
    text_color->SetColorDialog([](uint32_t, QWidget*) { return std::optional<uint32_t>(0x00FF0000); });
    text_color->PickColor();
    const tagHIGHLIGHT_ITEM& rule = dialog.Rows()[0];
    QCOMPARE(rule.column, std::u16string(u"Level"));
    QVERIFY(rule.case_sensitive);
    QCOMPARE(rule.text_color, 0x00FF0000);
    QCOMPARE(rule.back_color, 0x0000D5);
    QCOMPARE(list->item(0, 2)->text(), Text(u"IDS_WORD_YES"));
    QCOMPARE(list->item(0, 1)->text(), Text(u"IDS_HIGHLIGHTDLG_LIST_EXAMPLE_TEXT"));

    // A second row; selecting the first shows it again in the controls.
    QTest::mouseClick(Button(&dialog, CHighlightDlg::kAddButton), Qt::LeftButton);
    QCOMPARE(Selected(list), 1);
    QCOMPARE(column->currentText(), QString());
    ClickRow(list, 0);
    QCOMPARE(expression->currentText(), QStringLiteral("ERROR"));
    QCOMPARE(column->currentText(), QStringLiteral("Level"));
    QVERIFY(Child<QCheckBox>(&dialog, CHighlightDlg::kCaseSensitiveCheck)->isChecked());
    QCOMPARE(text_color->GetColor(), uint32_t{0x00FF0000});

    // Delete on the list removes the row; Apply builds the rules with their
    // expressions in the history.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(Selected(list), 0);
    QTest::mouseClick(Button(&dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.result(), int{QDialog::Accepted});
    QCOMPARE(dialog.Rules().size(), std::size_t{1});
    QCOMPARE(dialog.Rules()[0].expression, FromQString(Text(u"IDS_HIGHLIGHTDLG_LIST_NEWTEXT")));
    QCOMPARE(f.history.front(), dialog.Rules()[0].expression);
    QCOMPARE(f.recent.size(), std::size_t{1});
}

void highlight_dlg_test::Wildcard_ClearsRegexpAndTheVerbFollows()
{
    highlight_fixture f;
    tagHIGHLIGHT_ITEM regexp_rule = Rule(u"took \\d+", u"Message");
    regexp_rule.regexp = true;
    CHighlightDlg dialog(CHighlight{regexp_rule}, f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* list = List(&dialog);
    auto verb = [&](std::u16string_view key) {
        return ToQString(
            Filled(u"IDS_HIGHLIGHTDLG_LIST_FORMAT_ITEM", {u"Message", FromQString(Text(key)), u"took \\d+"}));
    };
    QCOMPARE(list->item(0, 0)->text(), verb(u"IDS_HIGHLIGHT_VERB_REGEXP"));
    ClickRow(list, 0);
    auto* wildcard = Child<QCheckBox>(&dialog, CHighlightDlg::kWildcardCheck);
    auto* regexp = Child<QCheckBox>(&dialog, CHighlightDlg::kRegexpCheck);
    QVERIFY(regexp->isChecked());
    wildcard->click();
    QVERIFY(wildcard->isChecked());
    QVERIFY(!regexp->isChecked());
    QVERIFY(dialog.Rows()[0].wildcard);
    QVERIFY(!dialog.Rows()[0].regexp);
    QCOMPARE(list->item(0, 0)->text(), verb(u"IDS_HIGHLIGHT_VERB_WILDCARD"));
    regexp->click();
    QVERIFY(!wildcard->isChecked());
    QCOMPARE(list->item(0, 0)->text(), verb(u"IDS_HIGHLIGHT_VERB_REGEXP"));
    regexp->click();
    QCOMPARE(list->item(0, 0)->text(), verb(u"IDS_HIGHLIGHT_VERB_CONTAIN"));

    // Without a selection the two boxes still exclude each other.
    list->clearSelection();
    wildcard->click();
    regexp->click();
    QVERIFY(regexp->isChecked());
    QVERIFY(!wildcard->isChecked());
    QVERIFY(!dialog.Rows()[0].regexp); // the row is left alone
}

void highlight_dlg_test::MoveButtons_EnabledByPosition()
{
    highlight_fixture f;
    CHighlightDlg dialog(CHighlight{Rule(u"a"), Rule(u"b"), Rule(u"c")}, f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* list = List(&dialog);
    auto* up = Button(&dialog, CHighlightDlg::kMoveUpButton);
    auto* down = Button(&dialog, CHighlightDlg::kMoveDownButton);
    QVERIFY(!up->isEnabled());
    QVERIFY(!down->isEnabled());
    const std::vector<std::pair<bool, bool>> enabled = {{false, true}, {true, true}, {true, false}};
    for (int row = 0; row < 3; ++row) {
        ClickRow(list, row);
        QCOMPARE(up->isEnabled(), enabled[row].first);
        QCOMPARE(down->isEnabled(), enabled[row].second);
    }
    // Down from the first row twice, then up once: b c a, then b a c.
    ClickRow(list, 0);
    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(Selected(list), 1);
    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(Selected(list), 2);
    QVERIFY(!down->isEnabled());
    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(Selected(list), 1);
    std::u16string order;
    for (const tagHIGHLIGHT_ITEM& rule : dialog.Rows())
        order += rule.expression;
    QCOMPARE(order, std::u16string(u"bac"));
    QVERIFY(list->item(1, 0)->text().contains(QStringLiteral("\"a\"")));
}

void highlight_dlg_test::MissingColumn_GreyButTheExampleKeepsItsColours()
{
    highlight_fixture f;
    CHighlightDlg dialog(
        CHighlight{Rule(u"here", u"Level", 0x0000FF00, 0x00FF0000), Rule(u"gone", u"Missing", 0x000000FF, 0x0000FFFF)},
        f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* list = List(&dialog);
    list->clearSelection();
    const QImage image = list->viewport()->grab().toImage();
    for (int row = 0; row < 2; ++row) {
        const QRect example = list->visualRect(list->model()->index(row, CHighlightDlg::kExampleColumn));
        const tagHIGHLIGHT_ITEM& rule = dialog.Rows()[row];
        QCOMPARE(QColor(image.pixel(example.left() + 2, example.center().y())),
                 ColorFromRef(static_cast<uint32_t>(rule.back_color)));
        // Somewhere in the sample text: the rule's text colour.
        bool text_seen = false;
        for (int x = example.left(); x < example.right() && !text_seen; ++x)
            for (int y = example.top(); y < example.bottom() && !text_seen; ++y)
                text_seen = QColor(image.pixel(x, y)) == ColorFromRef(static_cast<uint32_t>(rule.text_color));
        QVERIFY2(text_seen, qPrintable(QString::number(row)));
    }
    // The condition text of the rule for a missing column is lighter (grey)
    // than that of the rule for a column the list has.
    const QColor window = QColor(image.pixel(list->visualRect(list->model()->index(0, 0)).left() + 1,
                                             list->visualRect(list->model()->index(0, 0)).center().y()));
    QCOMPARE(window, list->palette().color(QPalette::Base));
    const int normal = DarkestLightness(image, list->visualRect(list->model()->index(0, 0)));
    const int grey = DarkestLightness(image, list->visualRect(list->model()->index(1, 0)));
    QVERIFY2(grey > normal + 40, qPrintable(QStringLiteral("%1 %2").arg(grey).arg(normal)));
}

void highlight_dlg_test::Apply_ColumnWithAmpersandKeepsTheDialogOpenOnThatRow()
{
    highlight_fixture f;
    CHighlightDlg dialog(CHighlight{Rule(u"a"), Rule(u"b", u"x&y"), Rule(u"c")}, f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    ClickRow(List(&dialog), 0);
    scripted_boxes boxes;
    QTest::mouseClick(Button(&dialog, 1), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(boxes.shown.size(), std::size_t{1});
    QCOMPARE(boxes.shown[0].first, FromQString(Text(u"IDS_MSG_ILLEGAL_COLUMN_NAME")));
    QCOMPARE(Selected(List(&dialog)), 1);
    auto* column = Child<QComboBox>(&dialog, CHighlightDlg::kColumnBox);
    QCOMPARE(column->lineEdit()->selectedText(), QStringLiteral("x&y"));
    QVERIFY(f.recent.empty());
    // Mended in place, Apply goes through.
    TypeText(column->lineEdit(), QStringLiteral("Level"));
    QTest::mouseClick(Button(&dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.result(), int{QDialog::Accepted});
    QCOMPARE(dialog.Rules()[1].column, std::u16string(u"Level"));
    QCOMPARE(f.recent.size(), std::size_t{3});
    QCOMPARE(f.recent[0].expression, std::u16string(u"c")); // the last rule first
}

void highlight_dlg_test::Recent_ReaddedInTheColoursOfANewRule()
{
    highlight_fixture f;
    tagHIGHLIGHT_ITEM used = Rule(u"took *ms", u"Message", 0x00123456, 0x00654321);
    used.wildcard = true;
    used.case_sensitive = true;
    f.recent.push_back(used); // as stored, with colours of its own
    CHighlightDlg dialog(CHighlight{}, f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    QVERIFY(Button(&dialog, CHighlightDlg::kRecentButton)->isEnabled());
    QMenu menu;
    dialog.FillRecentMenu(menu);
    QCOMPARE(menu.actions().size(), 1);
    QCOMPARE(menu.actions()[0]->text(),
             Literal(DescribeRule(used) + QStringLiteral("(") + Text(u"IDS_HIGHLIGHTDLG_LIST_COLUMN_CASE_SENSITIVE")
                     + QStringLiteral(")")));
    menu.actions()[0]->trigger();
    QCOMPARE(dialog.Rows().size(), std::size_t{1});
    const tagHIGHLIGHT_ITEM& rule = dialog.Rows()[0];
    QCOMPARE(rule.text_color, 0x000000);
    QCOMPARE(rule.back_color, 0x0000D5);
    QCOMPARE(rule.expression, used.expression);
    QVERIFY(rule.wildcard && rule.case_sensitive);
    QCOMPARE(Selected(List(&dialog)), 0);
    QCOMPARE(Child<CFGColorPicker>(&dialog, CHighlightDlg::kBackColor)->GetColor(), uint32_t{0x0000D5});
}

void highlight_dlg_test::Favorites_SavedChosenAndDeleted()
{
    highlight_fixture f;
    f.favorites[u"Web"] = CHighlight{Rule(u"GET")};
    CHighlightDlg dialog(CHighlight{Rule(u"ERROR", u"Level")}, f.Context());
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* box = Child<QComboBox>(&dialog, CHighlightDlg::kFavoriteBox);
    QCOMPARE(box->count(), 2);
    {
        scripted_boxes boxes({IDYES});
        when_modal<CTextInputDlg> typed([](CTextInputDlg* input) {
            QCOMPARE(input->windowTitle(), Text(u"IDS_HIGHLIGHTDLG_FAVNAME"));
            TypeText(Focused(), QStringLiteral("WEB"));
            QTest::keyClick(Focused(), Qt::Key_Return);
        });
        QTest::mouseClick(Button(&dialog, CHighlightDlg::kAddFavoriteButton), Qt::LeftButton);
        QVERIFY(typed.Ran());
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].first, Filled(u"IDS_MSG_FAVORITE_EXISTED_OVERWRITE_ASK", {u"Web"}));
        QCOMPARE(f.favorites.size(), std::size_t{1});
        QCOMPARE(f.favorites.begin()->first, std::u16string(u"WEB"));
        QCOMPARE(f.favorites.begin()->second[0].expression, std::u16string(u"ERROR"));
        QCOMPARE(box->currentText(), QStringLiteral("WEB"));
        QCOMPARE(f.recent.size(), std::size_t{1});
    }
    {
        scripted_boxes boxes;
        when_modal<CTextInputDlg> typed([](CTextInputDlg*) {
            TypeText(Focused(), QStringLiteral("a:b"));
            QTest::keyClick(Focused(), Qt::Key_Return);
        });
        QTest::mouseClick(Button(&dialog, CHighlightDlg::kAddFavoriteButton), Qt::LeftButton);
        QVERIFY(typed.Ran());
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].first, FromQString(Text(u"IDS_MSG_ILLEGAL_FAVORITE_NAME")));
        QCOMPARE(f.favorites.size(), std::size_t{1});
    }
    {
        scripted_boxes boxes({IDYES});
        QTest::mouseClick(Button(&dialog, CHighlightDlg::kDeleteFavoriteButton), Qt::LeftButton);
        QCOMPARE(boxes.shown[0].first, Filled(u"IDS_MSG_DO_YOU_WANT_TO_DELETE_FAVORITE", {u"WEB"}));
        QVERIFY(f.favorites.empty());
        QCOMPARE(box->count(), 1);
        QCOMPARE(box->currentIndex(), 0);
    }
}
