#include "shell/view_commands.h"

#include "app/varnoth_app.h"
#include "filter/filter_store.h"
#include "shell/main_dialog_adapter.h"
#include "ui/command_ids.h"
#include "ui/file_tab_ctrl.h"
#include "ui/go_to_line_dlg.h"
#include "ui/log_list_ctrl.h"
#include "ui/results_pane.h"
#include "ui/varnoth_dlg.h"
#include "work/file_view.h"
#include "work/window_plan.h"
#include "work/work_messages.h"

#include <algorithm>

namespace {

// Filter on/off (32800).
void ToggleFilter(CVarnothDlg& window, main_dialog_adapter& tabs)
{
    file_view* file = tabs.ActiveData();
    if (!file)
        return;
    if (!file->filter_enabled() && file->filter_groups().ConditionCount() == 0) {
        window.Router().route(ids::kViewFilterSetting);
        return;
    }
    file->set_filter_enabled(!file->filter_enabled());
    window.UpdateToolbar();
}

// Conditions added to the view's groups: filtered again, or turned on.
void AddConditions(CVarnothDlg& window, main_dialog_adapter& tabs, const std::vector<log_filter>& conditions)
{
    file_view* file = tabs.ActiveData();
    if (!file || conditions.empty())
        return;
    log_filter_groups groups = file->filter_groups();
    for (const log_filter& condition : conditions)
        groups.AddCondition(condition);
    file->set_filter_groups(std::move(groups), true);
    window.UpdateToolbar();
}

// Include (33200 + column) or exclude (33300 + column) the values of every
// selected row in one column.
void AddConditionsFromSelectedRows(CVarnothDlg& window, main_dialog_adapter& tabs, int column, bool include)
{
    file_view* file = tabs.ActiveData();
    CLogListCtrl* list = tabs.ActiveList();
    if (!file || !list || column < 0 || column >= list->ColumnCount())
        return;
    const std::vector<int> rows = list->SelectedRows();
    if (rows.empty())
        return;
    const std::u16string name = list->ColumnName(column);
    std::vector<log_filter> conditions;
    for (int row : rows) {
        const std::u16string text = list->CellText(row, column);
        conditions.push_back(include ? MakeIncludeCondition(name, text) : MakeExcludeCondition(name, text));
    }
    AddConditions(window, tabs, conditions);
}

// Ctrl+Home and Ctrl+End: the file's first or last line, loaded and
// selected.  A tail-first index must reach the file's start first (and a
// head-first one its end), which the user may wait for or cancel.
void GoToFileEnd(CVarnothDlg& window, main_dialog_adapter& tabs, bool last)
{
    file_view* file = tabs.ActiveData();
    if (!file)
        return;
    if (last != file->counts().tail_mode && !file->finish_indexing())
        return;
    const window_place place = file->place();
    const window_plan plan = last ? PlanTail(place) : PlanHead(place);
    if (plan.move && !file->move_window(plan))
        return;
    CLogListCtrl* list = tabs.ActiveList();
    if (!list || list->File() != file || list->RowCount() == 0)
        return;
    list->SelectRow(last ? list->RowCount() - 1 : 0);
    window.UpdateStatusTexts();
}

// Ctrl+G: the line asked for, loaded in the middle of the window and selected.
void GoToLine(CVarnothDlg& window, main_dialog_adapter& tabs)
{
    file_view* file = tabs.ActiveData();
    CLogListCtrl* list = tabs.ActiveList();
    if (!file || !list)
        return;
    // The numbers the user sees are the file's: a tail-first file must be
    // indexed to its start before its numbers are known, and any file to
    // its end before its count is.
    if (!file->finish_indexing())
        return;
    const int64_t lines = static_cast<int64_t>(file->counts().line_count);
    if (lines == 0)
        return;
    CGoToLineDlg dialog(list->CurrentLineNumber(), lines, &window);
    if (dialog.exec() != QDialog::Accepted || tabs.ActiveList() != list)
        return;
    // With a filter on, the first shown row at or after the line (the line
    // itself may be filtered out).
    tabs.ShowLine(*list, dialog.Line() - 1);
}

} // namespace

void RegisterViewCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    command_router& router = window.Router();

    router.add(ids::kFileCloseOthers, [&tabs](int) { tabs.CloseOtherTabs(); });
    router.add(ids::kFileCloseAll, [&tabs](int) {
        tabs.CloseOtherTabs();
        tabs.CloseActiveTab();
    });
    router.add(ids::kFileExit, [&window, &tabs](int) {
        tabs.CloseOtherTabs();
        tabs.CloseActiveTab();
        window.EndDialog();
    });

    router.add(ids::kEditSelectAll, [&tabs](int) {
        if (CLogListCtrl* list = tabs.ActiveList())
            list->SelectAllRows();
    });
    router.add(ids::kEditInvertSelection, [&tabs](int) {
        if (CLogListCtrl* list = tabs.ActiveList())
            list->InvertSelection();
    });

    router.add(ids::kViewRefresh, [&tabs](int) { tabs.Refresh(); });
    router.add(ids::kViewAutoRefresh, [&window, &tabs](int) {
        if (file_view* file = tabs.ActiveData()) {
            file->set_auto_refresh(!file->auto_refresh());
            window.UpdateToolbar();
        }
    });

    // Ctrl+PgUp and Ctrl+PgDown: the window before and after this one.
    auto scroll = [&tabs](bool up) {
        file_view* file = tabs.ActiveData();
        if (!file)
            return;
        const window_place place = file->place();
        file->move_window(up ? PlanScrollUp(place) : PlanScrollDown(place));
    };
    router.add(ids::kViewScrollUp, [scroll](int) { scroll(true); });
    router.add(ids::kViewScrollDown, [scroll](int) { scroll(false); });

    router.add(ids::kViewFirstLine, [&window, &tabs](int) { GoToFileEnd(window, tabs, false); });
    router.add(ids::kViewLastLine, [&window, &tabs](int) { GoToFileEnd(window, tabs, true); });
    router.add(ids::kViewGoToLine, [&window, &tabs](int) { GoToLine(window, tabs); });
    router.add(ids::kViewLineNumbers, [&window, &app, &tabs](int) {
        const bool on = !app.settings.show_line_numbers;
        app.settings.show_line_numbers = on;
        for (int i = 0; i < window.TabControl()->count(); ++i)
            if (CLogListCtrl* list = tabs.List(i))
                list->SetLineNumbersVisible(on);
    });

    router.add(ids::kViewHighlightEnable, [&window, &tabs](int) {
        file_view* file = tabs.ActiveData();
        if (!file)
            return;
        if (!file->highlight_enabled() && file->highlight_rules().empty()) {
            window.Router().route(ids::kViewHighlightSetting);
            return;
        }
        file->set_highlight_enabled(!file->highlight_enabled());
        window.UpdateToolbar();
        if (CLogListCtrl* list = tabs.ActiveList())
            list->viewport()->update();
        if (CResultsPane* pane = tabs.ActivePane())
            pane->List()->viewport()->update();
    });

    router.add(ids::kViewFilterEnable, [&window, &tabs](int) { ToggleFilter(window, tabs); });
    router.add(ids::kViewFilterRemoveAll, [&window, &tabs](int) {
        file_view* file = tabs.ActiveData();
        if (!file || file->filter_groups().ConditionCount() == 0)
            return;
        if (file->filter_enabled() && !file->set_filter_enabled(false))
            return; // refused while a job runs: the conditions stay
        file->set_filter_groups(log_filter_groups());
        window.UpdateToolbar();
    });

    // The list popup's items for the clicked cell.
    auto add_clicked = [&window, &tabs](bool include) {
        const CVarnothDlg::clicked_cell& cell = window.ClickedCell();
        if (cell.column < 0)
            return;
        AddConditions(window, tabs,
                      {include ? MakeIncludeCondition(cell.column_name, cell.text)
                               : MakeExcludeCondition(cell.column_name, cell.text)});
    };
    router.add(ids::kEditIncludeCell, [add_clicked](int) { add_clicked(true); });
    router.add(ids::kEditExcludeCell, [add_clicked](int) { add_clicked(false); });
    router.add_range(ids::kIncludeColumnFirst, ids::kIncludeColumnLast, [&window, &tabs](int id) {
        AddConditionsFromSelectedRows(window, tabs, id - ids::kIncludeColumnFirst, true);
    });
    router.add_range(ids::kExcludeColumnFirst, ids::kExcludeColumnLast, [&window, &tabs](int id) {
        AddConditionsFromSelectedRows(window, tabs, id - ids::kExcludeColumnFirst, false);
    });
}
