#include "ui_rules_test.h"

#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "ui/accelerators.h"
#include "ui/command_ids.h"
#include "ui/command_router.h"
#include "ui/command_state.h"
#include "ui/go_to_line_dlg.h"
#include "ui/message_presenter.h"
#include "ui/system_error.h"
#include "ui/ui_text.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>

#include <cerrno>
#include <set>
#include <vector>

namespace {

const std::vector<int> kToolbarIds = {32773, 32774, 32775, 32809, 32795, 32796, 32793, 32794, 32779, 32780,
                                      32782, 32781, 32777, 32778, 32797, 32798, 32799, 32800, 32872, 32783, 32784};

const std::vector<int> kMenuIds = {32773, 32774, 32786, 32775, 32810, 32811, 32812, 32813, 32814, 32776,
                                   32777, 32787, 32788, 32779, 32780, 32781, 32782, 32789, 32790, 32791,
                                   32792, 32783, 32793, 32794, 32795, 32796, 32797, 32798, 32799, 32800,
                                   32872, 32808, 32784, 32802, 32803, 32804, 32785};

active_view_state OpenFile()
{
    active_view_state s;
    s.tab_count = 1;
    s.has_file = true;
    s.window_first = 0;
    s.window_last = 99;
    s.indexed_lines = 100;
    return s;
}

std::set<int> Enabled(const std::vector<int>& ids, command_state (*rule)(int, const active_view_state&),
                      const active_view_state& s)
{
    std::set<int> enabled;
    for (int id : ids) {
        if (rule(id, s).enabled)
            enabled.insert(id);
    }
    return enabled;
}

} // namespace

void ui_rules_test::Router_RoutesSingleIdsAndRanges()
{
    command_router router;
    std::vector<int> calls;
    router.add(32773, [&](int id) { calls.push_back(id); });
    router.add_range(33000, 33099, [&](int id) { calls.push_back(id); });

    struct row {
        int id;
        bool handled;
    };
    const row rows[] = {{32773, true},  {33000, true},  {33099, true},  {33050, true},
                        {32999, false}, {33100, false}, {32774, false}, {0, false}};
    for (const row& r : rows) {
        calls.clear();
        QCOMPARE(router.route(r.id), r.handled);
        QCOMPARE(router.has(r.id), r.handled);
        QCOMPARE(calls, r.handled ? std::vector<int>{r.id} : std::vector<int>{});
    }
    router.remove(32773);
    QVERIFY(!router.route(32773));
    router.add_range(5, 4, [&](int id) { calls.push_back(id); }); // empty range: ignored
    QVERIFY(!router.has(5));
}

void ui_rules_test::Router_SingleIdWinsOverRange_LaterRegistrationReplaces()
{
    command_router router;
    std::vector<std::pair<char, int>> calls;
    router.add_range(33100, 33199, [&](int id) { calls.push_back({'r', id}); });
    router.add(33105, [&](int id) { calls.push_back({'s', id}); });
    QVERIFY(router.route(33105));
    QVERIFY(router.route(33106));
    router.add(33105, [&](int id) { calls.push_back({'t', id}); });
    router.add_range(33100, 33199, [&](int id) { calls.push_back({'u', id}); });
    QVERIFY(router.route(33105));
    QVERIFY(router.route(33106));
    const std::vector<std::pair<char, int>> expected = {{'s', 33105}, {'r', 33106}, {'t', 33105}, {'u', 33106}};
    QCOMPARE(calls, expected);

    // A handler that replaces itself while it runs finishes normally.
    int runs = 0;
    router.add(1, [&](int) {
        ++runs;
        router.add(1, [&](int) { runs += 10; });
    });
    QVERIFY(router.route(1));
    QVERIFY(router.route(1));
    QCOMPARE(runs, 11);
}

void ui_rules_test::Accelerators_TranslateTheSixteenKeysAndF1()
{
    struct row {
        int key;
        Qt::KeyboardModifiers modifiers;
        int command;
    };
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const row rows[] = {
        {Qt::Key_O, ctrl, 32773},
        {Qt::Key_F4, Qt::AltModifier, 32776},
        {Qt::Key_A, ctrl, 32787},
        {Qt::Key_I, ctrl | shift, 32788},
        {Qt::Key_C, ctrl, 32777},
        {Qt::Key_F, ctrl, 32779},
        {Qt::Key_F, ctrl | shift, 32780},
        {Qt::Key_F3, Qt::NoModifier, 32781},
        {Qt::Key_F3, shift, 32782},
        {Qt::Key_F5, Qt::NoModifier, 32793},
        {Qt::Key_F5, ctrl, 32794},
        {Qt::Key_PageUp, ctrl, 32795},
        {Qt::Key_PageDown, ctrl, 32796},
        {Qt::Key_F6, Qt::NoModifier, 32798},
        {Qt::Key_F7, Qt::NoModifier, 32800},
        {Qt::Key_F1, Qt::NoModifier, 32784},
        {Qt::Key_F1, ctrl, 32802},
        {Qt::Key_F1, shift, 32784},
        {Qt::Key_F1, ctrl | shift, 32802},
        {Qt::Key_F5, Qt::KeypadModifier, 32793},
        {Qt::Key_Home, ctrl, ids::kViewFirstLine},
        {Qt::Key_End, ctrl, ids::kViewLastLine},
        {Qt::Key_G, ctrl, ids::kViewGoToLine},
    };
    for (const row& r : rows)
        QCOMPARE(TranslateAccelerator(r.key, r.modifiers), r.command);

    // The table holds nineteen distinct key combinations.
    QCOMPARE(kAccelerators.size(), std::size_t{19});
    std::set<std::pair<int, int>> keys;
    for (const accelerator& a : kAccelerators)
        keys.insert({a.key, static_cast<int>(a.modifiers.toInt())});
    QCOMPARE(keys.size(), std::size_t{19});
}

void ui_rules_test::Accelerators_OtherModifierCombinations_AreNotTranslated()
{
    struct row {
        int key;
        Qt::KeyboardModifiers modifiers;
    };
    const row rows[] = {
        {Qt::Key_O, Qt::NoModifier},
        {Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_C, Qt::ControlModifier | Qt::AltModifier},
        {Qt::Key_I, Qt::ControlModifier},
        {Qt::Key_F4, Qt::NoModifier},
        {Qt::Key_F5, Qt::AltModifier},
        {Qt::Key_PageUp, Qt::NoModifier},
        {Qt::Key_F2, Qt::NoModifier},
        {Qt::Key_A, Qt::NoModifier},
        {Qt::Key_Home, Qt::NoModifier},
        {Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier},
    };
    for (const row& r : rows)
        QCOMPARE(TranslateAccelerator(r.key, r.modifiers), 0);
}

void ui_rules_test::EditFields_AreRecognised()
{
    QLineEdit line;
    QTextEdit text;
    QPlainTextEdit plain;
    QSpinBox spin;
    QDateTimeEdit date;
    QComboBox editable;
    editable.setEditable(true);
    QComboBox list;
    QLabel label;
    QPushButton button;
    QVERIFY(IsEditField(&line));
    QVERIFY(IsEditField(&text));
    QVERIFY(IsEditField(text.viewport()));
    QVERIFY(IsEditField(&plain));
    QVERIFY(IsEditField(&spin));
    QVERIFY(IsEditField(&date));
    QVERIFY(IsEditField(&editable));
    QVERIFY(IsEditField(editable.lineEdit()));
    QVERIFY(!IsEditField(&list));
    QVERIFY(!IsEditField(&label));
    QVERIFY(!IsEditField(&button));
    QVERIFY(!IsEditField(nullptr));
}

void ui_rules_test::Toolbar_NoFile_OnlyOpenOptionsHelpEnabled()
{
    const active_view_state none;
    QCOMPARE(Enabled(kToolbarIds, &ToolbarCommandState, none), (std::set<int>{32773, 32783, 32784}));
    for (int id : kToolbarIds)
        QVERIFY(!ToolbarCommandState(id, none).checked);

    // Flags of a file that is not there check nothing.
    active_view_state stale;
    stale.auto_refresh = stale.highlight_enabled = stale.filter_enabled = true;
    stale.has_selection = true;
    QCOMPARE(Enabled(kToolbarIds, &ToolbarCommandState, stale), (std::set<int>{32773, 32783, 32784}));
    for (int id : kToolbarIds)
        QVERIFY2(!ToolbarCommandState(id, stale).checked, qPrintable(QString::number(id)));
    // The menu's check marks of auto refresh, highlighting and filtering too.
    for (int id : {32794, 32798, 32800})
        QVERIFY2(!MenuCommandState(id, stale).checked, qPrintable(QString::number(id)));
}

void ui_rules_test::Toolbar_WithFile_FollowsTheActiveTab()
{
    active_view_state s = OpenFile(); // whole file in the window, no selection
    const std::set<int> with_tab = {32773, 32783, 32784, 32774, 32775, 32809, 32793, 32794,
                                    32797, 32798, 32799, 32800, 32779, 32780, 32781, 32782};
    QCOMPARE(Enabled(kToolbarIds, &ToolbarCommandState, s), with_tab);

    s.has_selection = true;
    std::set<int> with_selection = with_tab;
    with_selection.insert({32777, 32778});
    QCOMPARE(Enabled(kToolbarIds, &ToolbarCommandState, s), with_selection);

    struct row {
        bool auto_refresh, highlight, filter;
    };
    const row rows[] = {{true, false, false}, {false, true, false}, {false, false, true}, {true, true, true}};
    for (const row& r : rows) {
        s.auto_refresh = r.auto_refresh;
        s.highlight_enabled = r.highlight;
        s.filter_enabled = r.filter;
        QCOMPARE(ToolbarCommandState(32794, s), (command_state{true, r.auto_refresh}));
        QCOMPARE(ToolbarCommandState(32798, s), (command_state{true, r.highlight}));
        QCOMPARE(ToolbarCommandState(32800, s), (command_state{true, r.filter}));
    }
}

void ui_rules_test::Scrolling_DependsOnTheWindowEdges()
{
    struct row {
        int64_t first, last, indexed;
        bool up, down;
    };
    const row rows[] = {
        {0, 99, 100, false, false},   // the whole file
        {0, 99, 500, false, true},    // the head of a longer file
        {400, 499, 500, true, false}, // the tail
        {200, 299, 500, true, true},  // the middle
        {-1, -1, 500, true, false},   // no window yet: "not 0" above, never below
        {-1, -1, 0, true, false},     {0, 0, 1, false, false},
    };
    for (const row& r : rows) {
        active_view_state s = OpenFile();
        s.window_first = r.first;
        s.window_last = r.last;
        s.indexed_lines = r.indexed;
        QCOMPARE(CanScrollUp(s), r.up);
        QCOMPARE(CanScrollDown(s), r.down);
        QCOMPARE(ToolbarCommandState(32795, s).enabled, r.up);
        QCOMPARE(ToolbarCommandState(32796, s).enabled, r.down);
        QCOMPARE(MenuCommandState(32795, s).enabled, r.up);
        QCOMPARE(MenuCommandState(32796, s).enabled, r.down);
    }
}

void ui_rules_test::Menus_NoFile_EditOffersOnlyOptions()
{
    const active_view_state none;
    const std::set<int> expected = {32773, 32776, 32783, 32784, 32802, 32803, 32804, 32785};
    QCOMPARE(Enabled(kMenuIds, &MenuCommandState, none), expected);
    QVERIFY(!ExportSubmenuEnabled(none));
    QVERIFY(!CopyColumnSubmenuEnabled(none));
    QVERIFY(!IncludeExcludeSubmenusEnabled(none));
    QVERIFY(MenuCommandState(33000, none).enabled); // a recent file can always be opened
    QVERIFY(!MenuCommandState(33100, none).enabled);
    QVERIFY(!MenuCommandState(33250, none).enabled);
}

void ui_rules_test::Menus_WithFile_FollowTabsSelectionAndFlags()
{
    active_view_state s = OpenFile();
    QVERIFY(MenuCommandState(32774, s).enabled);
    QVERIFY(!MenuCommandState(32786, s).enabled); // close others needs two tabs
    s.tab_count = 2;
    QVERIFY(MenuCommandState(32786, s).enabled);
    QVERIFY(ExportSubmenuEnabled(s));
    for (int id : {32787, 32788, 32779, 32780, 32781, 32782, 32789, 32790, 32791, 32792, 32783})
        QVERIFY2(MenuCommandState(id, s).enabled, qPrintable(QString::number(id)));
    QVERIFY(!MenuCommandState(32777, s).enabled);
    QVERIFY(!CopyColumnSubmenuEnabled(s));
    QVERIFY(!MenuCommandState(32808, s).enabled);
    QVERIFY(!MenuCommandState(32872, s).enabled);
    QVERIFY(!ToolbarCommandState(32872, s).enabled);

    s.has_filter_conditions = true;
    QVERIFY(MenuCommandState(32808, s).enabled);
    QCOMPARE(MenuCommandState(32872, s), (command_state{true, false}));
    QCOMPARE(ToolbarCommandState(32872, s), (command_state{true, false}));
    s.has_selection = true;
    QVERIFY(MenuCommandState(32777, s).enabled);
    QVERIFY(CopyColumnSubmenuEnabled(s));
    QVERIFY(IncludeExcludeSubmenusEnabled(s));
    QVERIFY(MenuCommandState(33100, s).enabled);
    QVERIFY(MenuCommandState(33399, s).enabled);
    s.auto_refresh = true;
    s.filter_enabled = true;
    QCOMPARE(MenuCommandState(32794, s), (command_state{true, true}));
    QCOMPARE(MenuCommandState(32798, s), (command_state{true, false}));
    QCOMPARE(MenuCommandState(32800, s), (command_state{true, true}));
}

void ui_rules_test::StatusTexts_EmptyWithoutFile_CountsWithFile()
{
    const status_texts none = StatusTexts(active_view_state{});
    QVERIFY(none.total.empty() && none.filtered.empty() && none.selected.empty());

    active_view_state s = OpenFile();
    s.indexed_lines = 1234567;
    s.row_count = 42;
    s.selected_count = 0;
    const status_texts texts = StatusTexts(s);
    QVERIFY(!DictionaryText(u"IDS_STATUSBAR_TEXT_TOTAL").empty());
    QCOMPARE(texts.total, DictionaryText(u"IDS_STATUSBAR_TEXT_TOTAL") + u": 1234567");
    QCOMPARE(texts.filtered, DictionaryText(u"IDS_STATUSBAR_TEXT_FILTERED") + u": 42");
    QCOMPARE(texts.selected, DictionaryText(u"IDS_STATUSBAR_TEXT_SELECTED") + u": 0");
    QVERIFY(texts.cut.empty());
    s.cut_lines = 2;
    QCOMPARE(StatusTexts(s).cut, DictionaryText(u"IDS_STATUSBAR_TEXT_LONG_LINES_CUT") + u": 2");
    QVERIFY(texts.binary.empty());
    s.looks_binary = true;
    QCOMPARE(StatusTexts(s).binary, DictionaryText(u"IDS_STATUSBAR_TEXT_BINARY"));
    QCOMPARE(StatusTexts(s).total, texts.total);
}

void ui_rules_test::StatusTexts_CompressedFile_ShowsItsPackingAndNote()
{
    active_view_state s = OpenFile();
    QVERIFY(StatusTexts(s).packing.empty());
    s.packing = u"gzip";
    QCOMPARE(StatusTexts(s).packing, std::u16string(u"gzip"));
    const struct {
        packed_note note;
        const char16_t* key;
    } rows[] = {
        {packed_note::truncated, u"IDS_STATUSBAR_TEXT_PACKED_TRUNCATED"},
        {packed_note::damaged, u"IDS_STATUSBAR_TEXT_PACKED_DAMAGED"},
        {packed_note::trailing, u"IDS_STATUSBAR_TEXT_PACKED_TRAILING"},
        {packed_note::failed, u"IDS_STATUSBAR_TEXT_PACKED_FAILED"},
    };
    for (const auto& row : rows) {
        s.packed = row.note;
        QVERIFY(!DictionaryText(row.key).empty());
        QCOMPARE(StatusTexts(s).packing, u"gzip: " + DictionaryText(row.key));
    }
    s.packing.clear();
    QVERIFY(StatusTexts(s).packing.empty());
}

void ui_rules_test::ShortenedCellText_From70Characters_KeepsBothEnds()
{
    // Every character differs from its neighbours, so a slip by one shows.
    const auto text = [](std::size_t length) {
        std::u16string out;
        for (std::size_t i = 0; i < length; ++i)
            out.push_back(static_cast<char16_t>(u'A' + i % 26));
        return out;
    };
    for (std::size_t length : {0u, 1u, 33u, 66u, 67u, 68u, 69u})
        QCOMPARE(ShortenedCellText(text(length)), text(length));
    for (std::size_t length : {70u, 71u, 72u, 100u, 65535u}) {
        const std::u16string whole = text(length);
        const std::u16string shortened = ShortenedCellText(whole);
        QCOMPARE(shortened.size(), std::size_t{69});
        QCOMPARE(shortened, whole.substr(0, 33) + u"..." + whole.substr(length - 33));
    }
    QCOMPARE(QuotedItemText(u"Include", u"x y"), std::u16string(u"Include 'x y'"));
}

void ui_rules_test::WindowTitle_AppendsTheFileName()
{
    QCOMPARE(WindowTitle(u"Varnoth", u""), std::u16string(u"Varnoth"));
    QCOMPARE(WindowTitle(u"Varnoth", u"server.log"), std::u16string(u"Varnoth - server.log"));
}

void ui_rules_test::SystemErrorText_KnownAndUnknownCodes()
{
    const std::u16string unknown = DictionaryText(u"IDS_MSG_UNKNOWN_ERROR");
    QVERIFY(!unknown.empty());
    for (int code : {0, -1, 1000000})
        QCOMPARE(SystemErrorText(code), unknown);
    for (int code : {ENOENT, EACCES, ENOSPC}) {
        const std::u16string text = SystemErrorText(code);
        QVERIFY(!text.empty());
        QVERIFY(text != unknown);
        QVERIFY(text.size() <= 1024);
    }
}

void ui_rules_test::MessageBoxMapping_IconsButtonsResults()
{
    struct row {
        unsigned flags;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };
    const row rows[] = {
        {MB_OK | MB_ICONERROR, QMessageBox::Critical, QMessageBox::Ok},
        {MB_OK | MB_ICONWARNING, QMessageBox::Warning, QMessageBox::Ok},
        {MB_OK | MB_ICONINFORMATION, QMessageBox::Information, QMessageBox::Ok},
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No},
        {MB_YESNOCANCEL | MB_ICONQUESTION, QMessageBox::Question,
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel},
        {MB_OKCANCEL, QMessageBox::NoIcon, QMessageBox::Ok | QMessageBox::Cancel},
    };
    for (const row& r : rows) {
        QCOMPARE(MessageBoxIcon(r.flags), r.icon);
        QCOMPARE(MessageBoxButtons(r.flags), r.buttons);
    }
    QCOMPARE(MessageBoxResult(QMessageBox::Yes), 6);
    QCOMPARE(MessageBoxResult(QMessageBox::No), 7);
    QCOMPARE(MessageBoxResult(QMessageBox::Ok), 1);
    QCOMPARE(MessageBoxResult(QMessageBox::Cancel), 2);

    // The configured box: dictionary texts on the buttons, plain text, escape answers No.
    QMessageBox box;
    ConfigureMessageBox(box, u"Delete <b>it</b>?", MB_YESNO | MB_ICONQUESTION);
    QCOMPARE(box.text(), QStringLiteral("Delete <b>it</b>?"));
    QCOMPARE(box.textFormat(), Qt::PlainText);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), Text(u"IDS_WORD_YES"));
    QCOMPARE(box.button(QMessageBox::No)->text(), Text(u"IDS_WORD_NO"));
    QCOMPARE(box.escapeButton(), box.button(QMessageBox::No));
}

void ui_rules_test::HistoryCombo_IsRefilledInOrderAndKeepsTheEditText()
{
    QComboBox combo;
    combo.setEditable(true);
    combo.addItem("stale");
    combo.setEditText("typed");
    FillHistoryCombo(combo, {u"newest", u"older", u"oldest"});
    QCOMPARE(combo.count(), 3);
    QCOMPARE(combo.itemText(0), QString("newest"));
    QCOMPARE(combo.itemText(2), QString("oldest"));
    QCOMPARE(combo.currentText(), QString("typed"));
    FillHistoryCombo(combo, {});
    QCOMPARE(combo.count(), 0);
}

void ui_rules_test::GoToLine_EntriesAreLinesOfTheFileOrRefused()
{
    using k = line_entry::kind;
    struct row {
        const char* text;
        int64_t line_count;
        line_entry expected;
    };
    const row rows[] = {
        {"1", 10, {k::line, 1}},
        {"10", 10, {k::line, 10}},
        {"  7 ", 10, {k::line, 7}},
        {"007", 10, {k::line, 7}},
        {"12,345", 20000, {k::line, 12345}},
        {"12.345.678", 20000000, {k::line, 12345678}},
        {"1 234", 2000, {k::line, 1234}},
        {"", 10, {k::empty, 0}},
        {"   ", 10, {k::empty, 0}},
        {"0", 10, {k::out_of_range, 0}},
        {"000", 10, {k::out_of_range, 0}},
        {"11", 10, {k::out_of_range, 0}},
        {"1", 0, {k::out_of_range, 0}},
        {"99999999999999999999999", 10, {k::out_of_range, 0}},
        {"9223372036854775807", 9223372036854775807LL, {k::line, 9223372036854775807LL}},
        {"9223372036854775808", 9223372036854775807LL, {k::out_of_range, 0}},
        {"-3", 10, {k::not_a_number, 0}},
        {"+3", 10, {k::not_a_number, 0}},
        {"3x", 10, {k::not_a_number, 0}},
        {"1e3", 5000, {k::not_a_number, 0}},
        {",12", 100, {k::not_a_number, 0}},
        {"12,", 100, {k::not_a_number, 0}},
        {"1,,2", 100, {k::not_a_number, 0}},
        {"\u0663", 10, {k::not_a_number, 0}}, // an Arabic-Indic digit is no line number here
    };
    for (const row& r : rows) {
        const line_entry got = ParseLineEntry(QString::fromUtf8(r.text), r.line_count);
        QVERIFY2(got == r.expected, r.text);
    }
}
