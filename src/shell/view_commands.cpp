#include "shell/view_commands.h"

#include "app/varnoth_app.h"
#include "filter/filter_store.h"
#include "platform/diagnostics.h"
#include "shell/main_dialog_adapter.h"
#include "ui/command_ids.h"
#include "ui/log_list_ctrl.h"
#include "ui/varnoth_dlg.h"
#include "work/window_plan.h"
#include "work/work_data.h"
#include "work/work_messages.h"

#include <algorithm>

namespace {

// Filter on/off (32800).
void ToggleFilter(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    CWorkData* file = tabs.ActiveData();
    if (!file)
        return;
    if (!file->filter_enabled && file->filter_conditions.ConditionCount() == 0) {
        window.Router().route(ids::kViewFilterSetting);
        return;
    }
    file->filter_enabled = file->filter_enabled ? 0 : 1;
    window.UpdateToolbar();
    if (file->filter_enabled) {
        app.RunFilter(false);
        return;
    }
    // Off: the window's rows are no longer filtered, and a quick filter
    // works on all of them again.
    file->file.reset_filter();
    if (!file->quick_filter_text.empty())
        app.ApplyQuickFilter(file->quick_filter_text);
    else
        tabs.UpdateView(SELECT_KEEP, -1);
}

// After conditions were added: filter again, or turn the filter on.
void FilterAfterAdding(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    CWorkData* file = tabs.ActiveData();
    if (!file)
        return;
    if (file->filter_enabled)
        app.RunFilter(false);
    else
        ToggleFilter(window, app, tabs);
}

// Include (33200 + column) or exclude (33300 + column) the values of every
// selected row in one column.
void AddConditionsFromSelectedRows(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs, int column,
                                   bool include)
{
    CWorkData* file = tabs.ActiveData();
    CLogListCtrl* list = tabs.ActiveList();
    if (!file || !list || column < 0 || column >= list->ColumnCount())
        return;
    const std::vector<int> rows = list->SelectedRows();
    if (rows.empty())
        return;
    const std::u16string name = list->ColumnName(column);
    for (int row : rows) {
        const std::u16string text = list->CellText(row, column);
        file->filter_conditions.AddCondition(include ? MakeIncludeCondition(name, text)
                                                     : MakeExcludeCondition(name, text));
    }
    FilterAfterAdding(window, app, tabs);
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
        if (CWorkData* file = tabs.ActiveData()) {
            file->auto_refresh = file->auto_refresh ? 0 : 1;
            window.UpdateToolbar();
        }
    });

    // Ctrl+PgUp and Ctrl+PgDown: the window before and after this one.
    auto scroll = [&app, &tabs](bool up) {
        CWorkData* file = tabs.ActiveData();
        if (!file)
            return;
        const log_file::window_numbers numbers = file->file.read_window_numbers();
        const window_place place{numbers.first, numbers.last, numbers.line_count, app.settings.max_loading_lines};
        const window_plan plan = up ? PlanScrollUp(place) : PlanScrollDown(place);
        if (plan.move)
            app.ReparseFrom(plan.first, plan.selection, plan.row);
    };
    router.add(ids::kViewScrollUp, [scroll](int) { scroll(true); });
    router.add(ids::kViewScrollDown, [scroll](int) { scroll(false); });

    router.add(ids::kViewHighlightEnable, [&window, &tabs](int) {
        CWorkData* file = tabs.ActiveData();
        if (!file)
            return;
        if (!file->highlight_enabled && file->highlight_rules.empty()) {
            window.Router().route(ids::kViewHighlightSetting);
            return;
        }
        file->highlight_enabled = file->highlight_enabled ? 0 : 1;
        window.UpdateToolbar();
        if (CLogListCtrl* list = tabs.ActiveList())
            list->viewport()->update();
    });

    router.add(ids::kViewFilterEnable, [&window, &app, &tabs](int) { ToggleFilter(window, app, tabs); });
    router.add(ids::kViewFilterRemoveAll, [&window, &tabs](int) {
        CWorkData* file = tabs.ActiveData();
        if (!file || file->filter_conditions.ConditionCount() == 0)
            return;
        file->filter_conditions.clear();
        if (file->filter_enabled)
            window.Router().route(ids::kViewFilterEnable); // turns it off
        else
            window.UpdateToolbar();
    });

    // The list popup's items for the clicked cell.
    auto add_clicked = [&window, &app, &tabs](bool include) {
        CWorkData* file = tabs.ActiveData();
        const CVarnothDlg::clicked_cell& cell = window.ClickedCell();
        if (!file || cell.column < 0)
            return;
        file->filter_conditions.AddCondition(include ? MakeIncludeCondition(cell.column_name, cell.text)
                                                     : MakeExcludeCondition(cell.column_name, cell.text));
        FilterAfterAdding(window, app, tabs);
    };
    router.add(ids::kEditIncludeCell, [add_clicked](int) { add_clicked(true); });
    router.add(ids::kEditExcludeCell, [add_clicked](int) { add_clicked(false); });
    router.add_range(ids::kIncludeColumnFirst, ids::kIncludeColumnLast, [&window, &app, &tabs](int id) {
        AddConditionsFromSelectedRows(window, app, tabs, id - ids::kIncludeColumnFirst, true);
    });
    router.add_range(ids::kExcludeColumnFirst, ids::kExcludeColumnLast, [&window, &app, &tabs](int id) {
        AddConditionsFromSelectedRows(window, app, tabs, id - ids::kExcludeColumnFirst, false);
    });
}

void RegisterPendingCommands(CVarnothDlg& window)
{
    command_router& router = window.Router();
    // ---- stand-ins: commands that other parts of the viewer carry out ----
    const auto pending = [](int id) { DebugOutput("[shell] command %d has no handler yet\n", id); };
    for (int id : {ids::kEditFind,
                   ids::kEditFindInFile,
                   ids::kEditFindNext,
                   ids::kEditFindPrevious, // find
                   ids::kEditOptions,      // options
                   ids::kViewHighlightSetting,
                   ids::kViewFilterSetting, // settings
                   ids::kHelpAbout,
                   ids::kHelpOnlineHelp,
                   ids::kHelpFeedback,
                   ids::kHelpCheckUpdate, // help menu
                   ids::kFileExportSelected,
                   ids::kFileExportVisible,
                   ids::kFileExportFile,
                   ids::kFileExportFileFilter, // export
                   ids::kEditCopy,
                   ids::kEditCopyClickedColumn, // copy
                   ids::kEditCopyFilePath,
                   ids::kEditCopyFileName,
                   ids::kEditCopyDirPath,
                   ids::kEditBrowseDir}) { // paths
        if (!router.has(id))
            router.add(id, pending);
    }
    if (!router.has(ids::kCopyColumnFirst))
        router.add_range(ids::kCopyColumnFirst, ids::kCopyColumnLast, pending);
}
