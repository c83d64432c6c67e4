#include "shell/settings_commands.h"

#include "app/varnoth_app.h"
#include "dialogs/filter_dlg.h"
#include "dialogs/highlight_dlg.h"
#include "filter/log_filter_groups.h"
#include "shell/main_dialog_adapter.h"
#include "ui/command_ids.h"
#include "ui/log_list_ctrl.h"
#include "ui/results_pane.h"
#include "ui/varnoth_dlg.h"
#include "work/file_view.h"

namespace {

std::vector<std::u16string> Headers(const CLogListCtrl* list)
{
    std::vector<std::u16string> headers;
    if (list)
        for (int c = 0; c < list->ColumnCount(); ++c)
            headers.push_back(list->ColumnName(c));
    return headers;
}

void FilterSetting(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    file_view* file = tabs.ActiveData();
    if (!file)
        return;
    CFilterDlg::context what;
    what.headers = Headers(tabs.ActiveList());
    for (const log_pattern* column : ParserColumns(app.FindParser(file->parser_name())))
        what.columns[column->name] = column->data_format;
    what.favorites = &app.filter_favorite_sets;
    what.recent = &app.recent_conditions;
    what.history = &app.expression_history;
    const bool had_conditions = file->filter_groups().ConditionCount() > 0;

    CFilterDlg dialog(file->filter_groups(), std::move(what), &window);
    const bool applied = dialog.exec() == QDialog::Accepted;
    // The dialog's event loop may have seen the tab close.
    file = tabs.ActiveData();
    if (!file)
        return;
    if (!applied) {
        if (!had_conditions && file->filter_enabled())
            file->set_filter_enabled(false);
        window.UpdateToolbar();
        return;
    }
    log_filter_groups groups = dialog.Groups();
    if (groups.ConditionCount() > 0) {
        file->set_filter_groups(std::move(groups), true); // filtered by a job, the view follows
        window.UpdateToolbar();
        if (dialog.WholeFileChosen() && tabs.ActiveData() == file)
            tabs.FilterWholeFile();
        return;
    }
    if (file->filter_enabled())
        file->set_filter_enabled(false);
    file->set_filter_groups(log_filter_groups());
    window.UpdateToolbar();
    tabs.UpdateView(0, -1);
}

void HighlightSetting(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    file_view* file = tabs.ActiveData();
    if (!file)
        return;
    CHighlightDlg::context what;
    what.headers = Headers(tabs.ActiveList());
    what.favorites = &app.highlight_favorite_sets;
    what.recent = &app.recent_highlights;
    what.history = &app.expression_history;
    const bool had_rules = !file->highlight_rules().empty();

    CHighlightDlg dialog(file->highlight_rules(), std::move(what), &window);
    const bool applied = dialog.exec() == QDialog::Accepted;
    file = tabs.ActiveData();
    if (!file)
        return;
    if (applied) {
        file->set_highlight_rules(dialog.Rules());
        file->set_highlight_enabled(!dialog.Rules().empty());
    } else if (!had_rules) {
        file->set_highlight_enabled(false);
    }
    window.UpdateToolbar();
    if (CLogListCtrl* list = tabs.ActiveList())
        list->viewport()->update();
    if (CResultsPane* pane = tabs.ActivePane())
        pane->List()->viewport()->update();
}

} // namespace

void RegisterSettingsCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    command_router& router = window.Router();
    router.add(ids::kViewFilterSetting, [&window, &app, &tabs](int) { FilterSetting(window, app, tabs); });
    router.add(ids::kViewFilterWholeFile, [&window, &tabs](int) {
        tabs.FilterWholeFile();
        window.UpdateToolbar();
    });
    router.add(ids::kViewHighlightSetting, [&window, &app, &tabs](int) { HighlightSetting(window, app, tabs); });
}
