#include "find_dlg_test.h"

#include "app/settings.h"
#include "dialogs/color_picker.h"
#include "dialogs/find_dlg.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "regex/text_match.h"
#include "support/test_view_host.h"
#include "ui/edit_combo_box.h"
#include "ui/log_list_ctrl.h"
#include "ui/ui_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<std::pair<std::u16string, unsigned>> g_messages;

template <typename T> T* Child(QWidget* dialog, int id)
{
    return dialog->findChild<T*>(IdObjectName(id));
}

// A dialog over its own settings and history, and a file shown by a list
// with three named columns.
struct find_fixture {
    app_settings settings;
    std::vector<std::u16string> history{u"older", u"oldest"};
    test_file_view file;
    std::unique_ptr<CLogListCtrl> list = std::make_unique<CLogListCtrl>();
    CFindDlg dialog{settings, history};

    find_fixture()
    {
        list->SetFile(&file);
        list->InsertColumn(0, u"Time");
        list->InsertColumn(1, u"Level");
        list->InsertColumn(2, u"Message");
    }

    QComboBox* Expression() { return Child<QComboBox>(&dialog, CFindDlg::kExpressionBox); }
    QComboBox* Column() { return Child<QComboBox>(&dialog, CFindDlg::kColumnBox); }
    QCheckBox* Check(int id) { return Child<QCheckBox>(&dialog, id); }
    QRadioButton* Radio(int id) { return Child<QRadioButton>(&dialog, id); }
    QPushButton* Button(int id) { return Child<QPushButton>(&dialog, id); }
    CFGColorPicker* Swatch() { return Child<CFGColorPicker>(&dialog, CFindDlg::kColorButton); }

    void Type(const QString& expression) { Expression()->setEditText(expression); }
    void FindNext() { Button(CFindDlg::kFindNextButton)->click(); }
};

QStringList Items(QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

void find_dlg_test::init()
{
    g_messages.clear();
    SetMessagePresenter([](const std::u16string& text, unsigned flags) {
        g_messages.emplace_back(text, flags);
        return IDOK;
    });
}

void find_dlg_test::cleanup()
{
    SetMessagePresenter({});
}

void find_dlg_test::Start_HiddenWithItsControlsAndNoTarget()
{
    find_fixture f;
    CFindDlg& dialog = f.dialog;
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.isModal());
    QCOMPARE(dialog.objectName(), IdObjectName(137));
    QCOMPARE(dialog.windowTitle(), Text(u"IDS_FINDDLG_TITLE"));

    const std::vector<std::pair<int, std::u16string_view>> checks = {
        {1007, u"IDS_FINDDLG_CHECK_CASE_SENSITIVE"}, {1008, u"IDS_FINDDLG_CHECK_HIGHLIGHT"},
        {1009, u"IDS_FINDDLG_CHECK_WILDCARD"},       {1010, u"IDS_FINDDLG_CHECK_REGEXP"},
        {1014, u"IDS_FINDDLG_CHECK_FIND_IN_FILE"},
    };
    for (const auto& [id, key] : checks) {
        QCheckBox* check = f.Check(id);
        QVERIFY2(check, qPrintable(QString::number(id)));
        QCOMPARE(check->text(), Text(key));
        QVERIFY(!check->isChecked());
    }
    QCOMPARE(f.Radio(1011)->text(), Text(u"IDS_FINDDLG_RADIO_DOWN"));
    QCOMPARE(f.Radio(1012)->text(), Text(u"IDS_FINDDLG_RADIO_UP"));
    QVERIFY(f.Radio(1011)->isChecked());
    QVERIFY(!f.Radio(1012)->isChecked());
    QCOMPARE(qobject_cast<QGroupBox*>(f.Radio(1011)->parentWidget())->title(), Text(u"IDS_FINDDLG_TEXT_DIRECTION"));
    QCOMPARE(f.Button(1)->text(), Text(u"IDS_FINDDLG_BUTTON_FIND_NEXT"));
    QCOMPARE(f.Button(1017)->text(), Text(u"IDS_FINDDLG_BUTTON_CLEAR_HIGHLIGHT"));
    QCOMPARE(f.Button(2)->text(), Text(u"IDS_FINDDLG_BUTTON_CANCEL"));
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    QVERIFY(labels.contains(Text(u"IDS_FINDDLG_TEXT_EXPRESSION")));
    QVERIFY(labels.contains(Text(u"IDS_FINDDLG_TEXT_COLUMN")));

    // The expression box lists the history; the column box has only "any column".
    QVERIFY(qobject_cast<CEditComboBox*>(f.Expression()));
    QCOMPARE(Items(f.Expression()), QStringList({"older", "oldest"}));
    QCOMPARE(f.Expression()->currentText(), QString());
    QCOMPARE(Items(f.Column()), QStringList({Text(u"IDS_SPECIAL_ANY_COLUMN")}));
    QCOMPARE(f.Column()->currentIndex(), 0);
    QCOMPARE(f.Swatch()->GetColor(), uint32_t(0x0000FFFF));

    // Without a target there is nothing to search.
    QVERIFY(!dialog.TargetFile());
    QVERIFY(!f.Button(1)->isEnabled());
    QVERIFY(!f.Button(1017)->isEnabled());
    QVERIFY(f.Button(2)->isEnabled());
    QCOMPARE(dialog.WorkingSearch(), CSearchInfo());
}

void find_dlg_test::Target_ShowsTheFileSearchAndTheListColumns()
{
    find_fixture f;
    f.settings.search_highlight = 0x00336699;
    file_view_engine::search(f.file).expression = u"timeout";
    file_view_engine::search(f.file).column = 1;
    file_view_engine::search(f.file).up = true;
    file_view_engine::search(f.file).case_sensitive = true;
    file_view_engine::search(f.file).highlight = true;
    file_view_engine::search(f.file).regexp = true;
    file_view_engine::search(f.file).find_in_file = true;
    f.dialog.SetTarget(&f.file, f.list.get());

    QCOMPARE(f.dialog.TargetFile(), &f.file);
    QCOMPARE(f.dialog.TargetList(), f.list.get());
    QCOMPARE(f.dialog.WorkingSearch(), f.file.search());
    QCOMPARE(f.Expression()->currentText(), QStringLiteral("timeout"));
    QCOMPARE(Items(f.Column()), QStringList({Text(u"IDS_SPECIAL_ANY_COLUMN"), "Time", "Level", "Message"}));
    QCOMPARE(f.Column()->currentIndex(), 2);
    QVERIFY(f.Radio(1012)->isChecked());
    QVERIFY(f.Check(1007)->isChecked());
    QVERIFY(f.Check(1008)->isChecked());
    QVERIFY(!f.Check(1009)->isChecked());
    QVERIFY(f.Check(1010)->isChecked());
    QVERIFY(f.Check(1014)->isChecked());
    QCOMPARE(f.Swatch()->GetColor(), uint32_t(0x00336699));
    QVERIFY(f.Button(1)->isEnabled());
    QVERIFY(f.Button(1017)->isEnabled());
    QCOMPARE(f.dialog.SearchFromControls(), f.file.search());

    // The list lost a column: the box follows the headers on the next change,
    // and a column that is gone shows as any column.
    f.list->DeleteColumn(2);
    f.list->DeleteColumn(1);
    f.dialog.SetTarget(&f.file, f.list.get());
    QCOMPARE(Items(f.Column()), QStringList({Text(u"IDS_SPECIAL_ANY_COLUMN"), "Time"}));
    QCOMPARE(f.Column()->currentIndex(), 0);
    QCOMPARE(f.dialog.SearchFromControls().column, -1);

    // No target again: a new search and nothing to press.
    f.dialog.SetTarget(nullptr, nullptr);
    QCOMPARE(f.dialog.WorkingSearch(), CSearchInfo());
    QCOMPARE(f.Expression()->currentText(), QString());
    QVERIFY(!f.Check(1014)->isChecked());
    QVERIFY(f.Radio(1011)->isChecked());
    QCOMPARE(f.Column()->count(), 1);
    QVERIFY(!f.Button(1)->isEnabled());
    QVERIFY(!f.Button(1017)->isEnabled());
}

void find_dlg_test::Target_GoneWithItsListOrWhenTheListShowsAnotherFile()
{
    find_fixture f;
    QSignalSpy finds(&f.dialog, &CFindDlg::FindNextRequested);
    f.dialog.SetTarget(&f.file, f.list.get());
    QCOMPARE(f.dialog.TargetFile(), &f.file);

    // The list now shows another file: the old one is no target any more.
    test_file_view other;
    f.list->SetFile(&other);
    QVERIFY(!f.dialog.TargetFile());
    QVERIFY(!f.dialog.TargetList());
    f.Type(QStringLiteral("abc"));
    f.dialog.OnFindNext();
    f.dialog.OnClearHighlight();
    QCOMPARE(finds.count(), 0);
    QCOMPARE(f.file.search(), CSearchInfo());
    QCOMPARE(other.search(), CSearchInfo());

    // A file without a list, or a list without a file, is no target either.
    f.dialog.SetTarget(&f.file, nullptr);
    QVERIFY(!f.dialog.TargetFile());
    f.dialog.SetTarget(nullptr, f.list.get());
    QVERIFY(!f.dialog.TargetFile());

    // The list closes with its tab.
    f.list->SetFile(&f.file);
    f.dialog.SetTarget(&f.file, f.list.get());
    QVERIFY(f.dialog.TargetFile());
    f.list.reset();
    QVERIFY(!f.dialog.TargetFile());
    f.Type(QStringLiteral("abc"));
    f.dialog.OnFindNext();
    QCOMPARE(finds.count(), 0);
    QVERIFY(g_messages.empty());
}

void find_dlg_test::WildcardAndRegexp_ExcludeEachOther()
{
    find_fixture f;
    f.dialog.SetTarget(&f.file, f.list.get());
    QCheckBox* wildcard = f.Check(CFindDlg::kWildcardCheck);
    QCheckBox* regexp = f.Check(CFindDlg::kRegexpCheck);
    wildcard->click();
    QVERIFY(wildcard->isChecked() && !regexp->isChecked());
    regexp->click();
    QVERIFY(!wildcard->isChecked() && regexp->isChecked());
    wildcard->click();
    QVERIFY(wildcard->isChecked() && !regexp->isChecked());
    wildcard->click();
    QVERIFY(!wildcard->isChecked() && !regexp->isChecked());

    // A stored search with both flags (never written by the dialog) shows the
    // wildcard only, and reads back with one of them.
    file_view_engine::search(f.file).expression = u"a*b";
    file_view_engine::search(f.file).wildcard = true;
    file_view_engine::search(f.file).regexp = true;
    f.dialog.SetTarget(&f.file, f.list.get());
    QVERIFY(wildcard->isChecked() && !regexp->isChecked());
    const CSearchInfo read = f.dialog.SearchFromControls();
    QVERIFY(read.wildcard && !read.regexp);
}

void find_dlg_test::FindNext_RestartsOnlyWhenWhatIsSearchedChanged()
{
    find_fixture f;
    QSignalSpy finds(&f.dialog, &CFindDlg::FindNextRequested);
    f.dialog.SetTarget(&f.file, f.list.get());
    auto last_restart = [&] { return finds.takeLast().at(0).toBool(); };

    f.Type(QStringLiteral("error"));
    f.FindNext();
    QCOMPARE(finds.count(), 1);
    QVERIFY(last_restart()); // from the empty search
    QCOMPARE(f.file.search().expression, std::u16string(u"error"));
    f.FindNext();
    QVERIFY(!last_restart()); // the same search walks on

    struct change {
        const char* name;
        std::function<void()> act;
        bool restart;
    };
    const std::vector<change> changes = {
        {"case sensitive", [&] { f.Check(1007)->click(); }, false},
        {"direction up", [&] { f.Radio(1012)->click(); }, false},
        {"highlight", [&] { f.Check(1008)->click(); }, false},
        {"find in file", [&] { f.Check(1014)->click(); }, false},
        {"direction down", [&] { f.Radio(1011)->click(); }, false},
        {"column", [&] { f.Column()->setCurrentIndex(3); }, true},
        {"expression", [&] { f.Type(QStringLiteral("warn")); }, true},
        {"expression case only", [&] { f.Type(QStringLiteral("WARN")); }, true},
        {"wildcard", [&] { f.Check(1009)->click(); }, true},
        {"regexp instead", [&] { f.Check(1010)->click(); }, true},
        {"nothing", [] {}, false},
    };
    for (const change& c : changes) {
        c.act();
        f.FindNext();
        QVERIFY2(finds.count() == 1, c.name);
        QVERIFY2(last_restart() == c.restart, c.name);
        // The file holds all of the controls' search, and the dialog's copy too.
        QVERIFY2(f.file.search() == f.dialog.SearchFromControls(), c.name);
        QVERIFY2(f.dialog.WorkingSearch() == f.file.search(), c.name);
    }
    const CSearchInfo& stored = f.file.search();
    QCOMPARE(stored.expression, std::u16string(u"WARN"));
    QCOMPARE(stored.column, 2);
    QVERIFY(stored.case_sensitive && stored.highlight && stored.find_in_file && stored.regexp);
    QVERIFY(!stored.up && !stored.wildcard);
    QVERIFY(stored.pattern.empty());
    QCOMPARE(f.history.front(), std::u16string(u"WARN"));
    QVERIFY(g_messages.empty());
}

void find_dlg_test::FindNext_EmptyExpressionAsksForOneAndStoresNothing()
{
    find_fixture f;
    QSignalSpy finds(&f.dialog, &CFindDlg::FindNextRequested);
    file_view_engine::search(f.file).expression = u"kept";
    f.dialog.SetTarget(&f.file, f.list.get());
    f.Type(QString());
    f.Check(1007)->click();
    f.FindNext();
    QCOMPARE(finds.count(), 0);
    QCOMPARE(g_messages.size(), size_t(1));
    QCOMPARE(g_messages[0].first, DictionaryText(u"IDS_MSG_INPUT_EXPRESSION"));
    QCOMPARE(g_messages[0].second & MB_ICONMASK, unsigned(MB_ICONINFORMATION));
    QCOMPARE(f.file.search().expression, std::u16string(u"kept"));
    QVERIFY(!f.file.search().case_sensitive);
    QCOMPARE(f.history, (std::vector<std::u16string>{u"older", u"oldest"}));
}

void find_dlg_test::FindNext_WildcardStaysAsTypedInTheFileAndTheHistory()
{
    find_fixture f;
    f.dialog.SetTarget(&f.file, f.list.get());
    f.Type(QStringLiteral("disk*full"));
    f.Check(CFindDlg::kWildcardCheck)->click();
    f.FindNext();
    QCOMPARE(f.file.search().expression, std::u16string(u"disk*full"));
    QVERIFY(f.file.search().wildcard);
    QCOMPARE(f.file.search().pattern, WildcardToRegex(u"disk*full"));
    QCOMPARE(SearchText(f.file.search()), WildcardToRegex(u"disk*full"));
    QVERIFY(SearchUsesRegex(f.file.search()));
    QCOMPARE(f.history, (std::vector<std::u16string>{u"disk*full", u"older", u"oldest"}));
    QCOMPARE(Items(f.Expression()), QStringList({"disk*full", "older", "oldest"}));
    QCOMPARE(f.Expression()->currentText(), QStringLiteral("disk*full"));

    // Again: the history keeps one entry for it, at the top.
    f.Type(QStringLiteral("older"));
    f.Check(CFindDlg::kWildcardCheck)->click();
    f.FindNext();
    QVERIFY(f.file.search().pattern.empty());
    f.Type(QStringLiteral("disk*full"));
    f.FindNext();
    QCOMPARE(f.history, (std::vector<std::u16string>{u"disk*full", u"older", u"oldest"}));
    QCOMPARE(f.Expression()->currentText(), QStringLiteral("disk*full"));
    QCOMPARE(f.Expression()->currentIndex(), 0);
}

void find_dlg_test::FindNext_EnterInTheExpressionBoxFindsOnce()
{
    find_fixture f;
    QSignalSpy finds(&f.dialog, &CFindDlg::FindNextRequested);
    f.dialog.SetTarget(&f.file, f.list.get());
    f.dialog.ShowAndActivate();
    QVERIFY(QTest::qWaitForWindowExposed(&f.dialog, 5000));
    QLineEdit* edit = f.Expression()->lineEdit();
    QVERIFY(edit->hasFocus() || f.Expression()->hasFocus());
    QTest::keyClicks(edit, QStringLiteral("panic"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(finds.count(), 1);
    QCOMPARE(f.file.search().expression, std::u16string(u"panic"));
    QTest::keyClick(edit, Qt::Key_Enter);
    QCOMPARE(finds.count(), 2);
    QVERIFY(!finds.at(1).at(0).toBool());
    QVERIFY(f.dialog.isVisible()); // find next leaves the dialog open
    // The entry typed stays in the box, and no second copy joins the list.
    QCOMPARE(edit->text(), QStringLiteral("panic"));
    QCOMPARE(Items(f.Expression()), QStringList({"panic", "older", "oldest"}));
    // The same through the box itself, where the keyboard focus is.
    QTest::keyClick(f.Expression(), Qt::Key_Return);
    QCOMPARE(finds.count(), 3);

    // Without a target Enter does nothing.
    f.dialog.SetTarget(nullptr, nullptr);
    f.Type(QStringLiteral("panic"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(finds.count(), 3);
    QVERIFY(g_messages.empty());
    f.dialog.hide();
}

void find_dlg_test::ColourButton_WritesTheSettingAtOnceAndCancelChangesNothing()
{
    find_fixture f;
    QSignalSpy changes(&f.dialog, &CFindDlg::SearchHighlightChanged);
    f.dialog.SetTarget(&f.file, f.list.get());
    std::optional<uint32_t> answer = 0x00224466;
    std::vector<uint32_t> asked;
    f.Swatch()->SetColorDialog([&](uint32_t initial, QWidget*) {
        asked.push_back(initial);
        return answer;
    });

    f.Swatch()->PickColor();
    QCOMPARE(asked, std::vector<uint32_t>{0x0000FFFF});
    QCOMPARE(f.settings.search_highlight, 0x00224466); // before any find next
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).toInt(), 0x00224466);
    QCOMPARE(f.Swatch()->GetColor(), uint32_t(0x00224466));

    answer.reset();
    f.Swatch()->PickColor();
    QCOMPARE(asked.back(), uint32_t(0x00224466));
    QCOMPARE(f.settings.search_highlight, 0x00224466);
    QCOMPARE(f.Swatch()->GetColor(), uint32_t(0x00224466));
    QCOMPARE(changes.count(), 1);

    // A target change shows the setting, also one changed elsewhere.
    f.settings.search_highlight = 0x000000FF;
    f.dialog.SetTarget(&f.file, f.list.get());
    QCOMPARE(f.Swatch()->GetColor(), uint32_t(0x000000FF));
}

void find_dlg_test::ClearHighlightAndCancel_KeepTheStoredSearch()
{
    find_fixture f;
    f.dialog.SetTarget(&f.file, f.list.get());
    f.Type(QStringLiteral("fatal"));
    f.Check(CFindDlg::kHighlightCheck)->click();
    f.Check(CFindDlg::kCaseSensitiveCheck)->click();
    f.FindNext();
    QVERIFY(f.file.search().highlight);
    CSearchInfo expected = f.file.search();

    f.Button(CFindDlg::kClearHighlightButton)->click();
    expected.highlight = false;
    QCOMPARE(f.file.search(), expected);
    QVERIFY(!f.dialog.WorkingSearch().highlight);

    f.dialog.ShowAndActivate();
    QVERIFY(f.dialog.isVisible());
    f.Type(QStringLiteral("not stored"));
    f.Button(CFindDlg::kCancelButton)->click();
    QVERIFY(!f.dialog.isVisible());
    QCOMPARE(f.file.search(), expected);
    // Shown again on the same file, it shows the stored search.
    f.dialog.SetTarget(&f.file, f.list.get());
    QCOMPARE(f.Expression()->currentText(), QStringLiteral("fatal"));
    QVERIFY(f.Check(CFindDlg::kCaseSensitiveCheck)->isChecked());
    QVERIFY(!f.Check(CFindDlg::kHighlightCheck)->isChecked());
    QVERIFY(g_messages.empty());
}
