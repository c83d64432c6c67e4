#include "shell/parser_manager.h"

#include "app/varnoth_app.h"
#include "dialogs/parser_dlg.h"
#include "parser/log_line.h"
#include "parser/split_line.h"
#include "shell/main_dialog_adapter.h"
#include "ui/command_ids.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/varnoth_dlg.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kSuggestionLines = 300; // the window's last rows a suggestion looks at
constexpr std::size_t kFitLines = 5;          // the last rows a parser must split to be taken

std::u16string RowText(const log_line* line)
{
    return line ? std::u16string(line->text().begin(), line->text().end()) : std::u16string();
}

class shell_parser_host : public parser_dlg_host {
public:
    shell_parser_host(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
        : m_window(window), m_app(app), m_tabs(tabs)
    {
    }

    parser_list& Parsers() override { return m_app.Parsers(); }
    std::u16string ParserFolder() override { return m_app.ParserDirectory(); }

    bool InUse(const std::u16string& name) override { return FirstTabUsing(name) >= 0; }

    void CloseFilesUsing(const std::u16string& name) override
    {
        // One tab at a time, as the close-file command closes the active one.
        for (int guard = TabCount(); guard >= 0; --guard) {
            const int tab = FirstTabUsing(name);
            if (tab < 0)
                return;
            m_tabs.ActivateTab(tab);
            m_window.Router().route(ids::kFileClose);
            if (FirstTabUsing(name) == tab && TabCount() > 0 && m_tabs.ActiveTab() == tab)
                return; // the tab would not close: nothing more to try
        }
    }

    void RenameReferences(const std::u16string& old_name, const std::u16string& new_name) override
    {
        for (int tab = 0; tab < TabCount(); ++tab)
            if (file_view* file = FileOf(tab); file && NameOf(*file) == old_name)
                renamed[file->id()] = new_name;
    }

    std::u16string SelectedLine() override
    {
        CLogListCtrl* list = m_tabs.ActiveList();
        file_view* file = list ? list->File() : nullptr;
        if (!file)
            return {};
        int row = list->SelectionMark();
        if (row < 0) {
            const std::vector<int> selected = list->SelectedRows();
            row = selected.empty() ? -1 : selected.front();
        }
        const file_view::rows shown = file->read_rows();
        if (row < 0 || static_cast<std::size_t>(row) >= shown.size())
            return {};
        return RowText(shown.lines()[static_cast<std::size_t>(row)]);
    }

    std::vector<std::u16string> SampleLines() override
    {
        file_view* file = m_tabs.ActiveData();
        if (!file)
            return {};
        const file_view::rows shown = file->read_rows();
        const std::size_t first = shown.size() > kSuggestionLines ? shown.size() - kSuggestionLines : 0;
        std::vector<std::u16string> lines;
        for (std::size_t i = first; i < shown.size(); ++i)
            lines.push_back(RowText(shown.lines()[i]));
        return lines;
    }

    // The parser name a file goes on with: renamed here, or its own.
    std::u16string NameOf(const file_view& file) const
    {
        const auto found = renamed.find(file.id());
        return found != renamed.end() ? found->second : file.parser_name();
    }

    std::map<uint64_t, std::u16string> renamed;

private:
    int TabCount() const { return m_window.TabControl()->count(); }
    file_view* FileOf(int tab) const
    {
        CLogListCtrl* list = m_tabs.List(tab);
        return list ? list->File() : nullptr;
    }
    int FirstTabUsing(const std::u16string& name) const
    {
        for (int tab = 0; tab < TabCount(); ++tab)
            if (file_view* file = FileOf(tab); file && NameOf(*file) == name)
                return tab;
        return -1;
    }

    CVarnothDlg& m_window;
    CVarnothApp& m_app;
    main_dialog_adapter& m_tabs;
};

struct file_before {
    uint64_t id = 0;
    std::u16string name;
    log_pattern_list parser;
};

// Whether parser splits each of the file's last rows (up to kFitLines).
bool SplitsLastRows(file_view& file, const log_pattern_list& parser)
{
    const file_view::rows shown = file.read_rows();
    if (shown.size() == 0 || parser.empty())
        return false;
    const std::size_t first = shown.size() > kFitLines ? shown.size() - kFitLines : 0;
    const int32_t columns = leaf_count(parser);
    for (std::size_t i = first; i < shown.size(); ++i) {
        const log_line* row = shown.lines()[i];
        log_line line;
        if (!row || !split_line(line, row->text().data(), row->text().size(), parser, true)
            || static_cast<int32_t>(line.columns().size()) != columns)
            return false;
    }
    return true;
}

// Runs manage over the open files' host: the parser names it changed come
// back, and the files are brought in line.
bool ManageOverFiles(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs,
                     const std::function<std::vector<std::u16string>(parser_dlg_host&)>& manage)
{
    std::vector<file_before> before;
    for (int tab = 0; tab < window.TabControl()->count(); ++tab)
        if (CLogListCtrl* list = tabs.List(tab); list && list->File())
            before.push_back({list->File()->id(), list->File()->parser_name(),
                              app.FindParser(list->File()->parser_name())});

    shell_parser_host host(window, app, tabs);
    const std::vector<std::u16string> changed = manage(host);

    bool reparsed = false;
    for (const file_before& file_was : before) {
        CLogListCtrl* list = tabs.ListOf(file_was.id);
        file_view* file = list ? list->File() : nullptr;
        if (!file)
            continue; // closed by the manager
        std::u16string name = host.NameOf(*file);
        if (name.empty()) {
            // A parser made just now for this log is taken when it fits it.
            for (auto it = changed.rbegin(); it != changed.rend(); ++it) {
                const auto entry = std::find_if(app.Parsers().begin(), app.Parsers().end(),
                                                [&](const tagPARSER_ITEM& parser) { return parser.name == *it; });
                if (entry != app.Parsers().end() && SplitsLastRows(*file, entry->parser)) {
                    name = entry->name;
                    break;
                }
            }
        }
        if (name == file_was.name && app.FindParser(name) == file_was.parser)
            continue;
        file->change_parser(name);
        tabs.SetColumns(*list);
        list->SetRowCount();
        list->FitColumns();
        reparsed = true;
    }
    return reparsed;
}

} // namespace

bool RunParserManager(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs,
                      const std::function<void(QWidget* parent)>& run)
{
    return ManageOverFiles(window, app, tabs, [&](parser_dlg_host& host) {
        if (run) {
            run(&window);
            return std::vector<std::u16string>();
        }
        CParserDlg manager(host, &window);
        manager.exec();
        return manager.Changed();
    });
}

bool RunParserSuggestion(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    return ManageOverFiles(window, app, tabs, [&](parser_dlg_host& host) {
        // The manager's own suggestion, without its list on the screen.
        CParserDlg manager(host, &window);
        manager.OnSuggest();
        return manager.Changed();
    });
}
