#include "shell/main_dialog_adapter.h"

#include "app/varnoth_app.h"
#include "platform/diagnostics.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "shell/index_pause.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/top_panel.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"
#include "work/work_data.h"
#include "work/work_messages.h"

#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QObject>

#include <algorithm>
#include <chrono>

namespace {

int64_t MaxLines(const CVarnothApp& app)
{
    return static_cast<int64_t>(app.settings.max_loading_lines);
}

QString NoteText(std::u16string_view key, const std::u16string& name)
{
    return Text(key).replace(QStringLiteral("%s"), ToQString(name));
}

} // namespace

main_dialog_adapter::main_dialog_adapter(CVarnothDlg& window, CVarnothApp& app) : m_window(window), m_app(app)
{
    m_window.SetViewStateProvider([this] { return ViewState(); });
    m_window.SetDropHandler([this](const std::vector<std::u16string>& paths) { m_app.OpenFiles(paths); });
    QObject::connect(m_window.TabControl(), &QTabWidget::currentChanged, &m_window, [this] {
        if (!m_removing)
            OnActiveTabChanged();
    });
}

main_dialog_adapter::~main_dialog_adapter()
{
    ReleaseTimerPause();
    m_window.StopIndexTimer();
    m_window.SetViewStateProvider(nullptr);
    m_window.SetDropHandler(nullptr);
}

void main_dialog_adapter::ConnectList(CLogListCtrl& list)
{
    CLogListCtrl* target = &list;
    QObject::connect(target, &CLogListCtrl::SelectionChanged, &m_window, [this] {
        m_window.UpdateToolbar();
        m_window.UpdateStatusTexts();
    });
    QObject::connect(target, &CLogListCtrl::WindowMoveRequested, &m_window,
                     [this, target](int lines) { MoveWindow(*target, lines); });
    QObject::connect(target, &CLogListCtrl::ContextMenuRequested, &m_window,
                     [this, target](const QPoint& global, int row, int column) {
                         m_window.ShowListPopup(global, column, target->ColumnName(column),
                                                target->CellText(row, column));
                     });
}

void main_dialog_adapter::AddFileTab(CWorkData& file)
{
    QTabWidget* tabs = m_window.TabControl();
    auto* list = new CLogListCtrl;
    list->setObjectName(QStringLiteral("log_list"));
    list->SetFile(&file);
    list->SetHighlightSources(&file.highlight_rules, &file.search);
    list->SetSearchHighlightColor(m_app.settings.search_highlight);
    SetColumns(*list);
    list->SetRowCount();
    list->FitColumns();
    ConnectList(*list);
    m_removing = true; // the tab change is handled once the tab is complete
    const int index = tabs->addTab(list, Literal(ToQString(file.name)));
    tabs->setTabToolTip(index, ToQString(file.path));
    tabs->setCurrentIndex(index);
    m_removing = false;
    list->setFocus();
    // Opened tail first: the last row is the one to look at.
    if (m_app.settings.load_tail_first && list->RowCount() > 0)
        list->SelectRow(list->RowCount() - 1);
    m_app.AddRecentFile(file.path);
    OnActiveTabChanged();
}

void main_dialog_adapter::SetColumns(CLogListCtrl& list)
{
    CWorkData* file = list.File();
    if (!file)
        return;
    std::vector<const log_pattern*> leaves;
    leaf_count(m_app.FindParser(file->parser_name), &leaves);
    std::vector<std::u16string> names;
    names.reserve(leaves.size());
    for (const log_pattern* leaf : leaves)
        names.push_back(leaf->name);
    list.SetColumnNames(names);
}

CLogListCtrl* main_dialog_adapter::List(int index) const
{
    return qobject_cast<CLogListCtrl*>(m_window.TabControl()->widget(index));
}

CLogListCtrl* main_dialog_adapter::ActiveList() const
{
    return qobject_cast<CLogListCtrl*>(m_window.TabControl()->currentWidget());
}

CWorkData* main_dialog_adapter::ActiveData() const
{
    CLogListCtrl* list = ActiveList();
    return list ? list->File() : nullptr;
}

active_view_state main_dialog_adapter::ViewState() const
{
    active_view_state s;
    s.tab_count = static_cast<int>(m_app.OpenFileList().lock()->size());
    CWorkData* file = m_app.ActiveFile();
    if (!file)
        return s;
    s.has_file = true;
    s.auto_refresh = file->auto_refresh != 0;
    s.highlight_enabled = file->highlight_enabled != 0;
    s.filter_enabled = file->filter_enabled != 0;
    s.has_filter_conditions = file->filter_conditions.ConditionCount() > 0;
    const log_file::window_numbers numbers = file->file.read_window_numbers();
    s.window_first = numbers.first;
    s.window_last = numbers.last;
    s.indexed_lines = static_cast<int64_t>(numbers.line_count);
    s.cut_lines = static_cast<int64_t>(file->file.read_index().long_line_count());
    CLogListCtrl* list = ActiveList();
    if (!list) {
        // A file whose tab is not there yet counts the rows of its source.
        s.row_count = static_cast<int64_t>(file->row_count());
        return s;
    }
    s.row_count = list->RowCount();
    s.selected_count = list->SelectedCount();
    s.has_selection = s.selected_count > 0;
    const int columns = list->ColumnCount();
    s.column_names.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i)
        s.column_names.push_back(list->ColumnName(i));
    return s;
}

void main_dialog_adapter::UpdateWindowTexts()
{
    CWorkData* file = ActiveData();
    m_window.UpdateTitle(file ? file->name : std::u16string());
    m_window.UpdateToolbar();
    m_window.UpdateStatusTexts();
}

void main_dialog_adapter::OnActiveTabChanged()
{
    ReleaseTimerPause();
    m_window.StopIndexTimer();
    CWorkData* file = ActiveData();
    if (file && file->file.indexer().is_running())
        m_window.StartIndexTimer([this] { return IndexTimerTick(); });
    m_window.UpdateCommonTasksVisibility();
    UpdateWindowTexts();
}

void main_dialog_adapter::ReleaseTimerPause()
{
    if (!m_paused_by_timer)
        return;
    m_paused_by_timer->file.indexer().resume();
    m_paused_by_timer = nullptr;
}

bool main_dialog_adapter::IndexTimerTick()
{
    CWorkData* file = ActiveData();
    if (!file || !file->file.indexer().is_running()) {
        ReleaseTimerPause();
        m_window.UpdateStatusTexts();
        m_window.UpdateToolbar();
        return false;
    }
    if (file != m_paused_by_timer)
        ReleaseTimerPause();
    // While a modal dialog runs the pointer's place means nothing here.
    if (!QApplication::activeModalWidget()) {
        const QWidget* bar = m_window.FileScopeBar();
        const bool over_bar = bar && bar->isVisible() && bar->rect().contains(bar->mapFromGlobal(QCursor::pos()));
        if (over_bar && !m_paused_by_timer) {
            file->file.indexer().pause();
            m_paused_by_timer = file;
        } else if (!over_bar) {
            ReleaseTimerPause();
        }
    }
    m_window.UpdateStatusTexts();
    return true;
}

void main_dialog_adapter::UpdateView(int selection_kind, int64_t row)
{
    CLogListCtrl* list = ActiveList();
    if (!list)
        return;
    list->SetRedraw(true);
    list->SetRowCount();
    list->ApplySelectionKind(selection_kind, static_cast<int>(row));
    m_window.UpdateToolbar();
    m_window.UpdateStatusTexts();
}

int main_dialog_adapter::ActiveTab()
{
    return m_window.TabControl()->currentIndex();
}

void main_dialog_adapter::ActivateTab(int index)
{
    m_window.TabControl()->setCurrentIndex(index);
}

void main_dialog_adapter::SetListRedraw(bool on)
{
    if (CLogListCtrl* list = ActiveList())
        list->SetRedraw(on);
}

void main_dialog_adapter::ShowRowSource()
{
    if (CLogListCtrl* list = ActiveList())
        list->SetRowCount();
    m_window.UpdateToolbar();
    m_window.UpdateStatusTexts();
}

void main_dialog_adapter::RemoveTab(int index)
{
    QTabWidget* tabs = m_window.TabControl();
    QWidget* page = tabs->widget(index);
    if (!page)
        return;
    auto* list = qobject_cast<CLogListCtrl*>(page);
    if (list && list->File() == m_paused_by_timer)
        ReleaseTimerPause();
    // The list lets go of its file before the file goes.
    if (list)
        list->SetFile(nullptr);
    m_removing = true;
    tabs->removeTab(index);
    m_removing = false;
    delete page;
    m_app.OpenFileList().remove(index);
}

void main_dialog_adapter::CloseActiveTab()
{
    const int index = m_window.TabControl()->currentIndex();
    if (index < 0)
        return;
    RemoveTab(index);
    OnActiveTabChanged();
}

void main_dialog_adapter::CloseOtherTabs()
{
    QTabWidget* tabs = m_window.TabControl();
    const int active = tabs->currentIndex();
    if (active < 0)
        return;
    for (int i = 0; i < active; ++i)
        RemoveTab(0);
    while (tabs->count() > 1)
        RemoveTab(1);
    OnActiveTabChanged();
}

void main_dialog_adapter::MoveWindow(CLogListCtrl& list, int lines)
{
    CWorkData* file = list.File();
    if (!file || lines == 0 || &list != ActiveList())
        return;
    index_pause paused(*file);
    const log_file::window_numbers numbers = file->file.read_window_numbers();
    const int64_t f = numbers.first;
    const int64_t l = numbers.last;
    const int64_t n = static_cast<int64_t>(numbers.line_count);
    if (f < 0)
        return;
    if (lines < 0 && f > 0)
        m_app.ReparseFrom(std::max<int64_t>(0, f + lines), SELECT_ROW, 0);
    else if (lines > 0 && l < n - 1)
        m_app.ReparseFrom(f + std::min<int64_t>(lines, n - l - 1), SELECT_ROW, -1);
}

void main_dialog_adapter::Refresh()
{
    CWorkData* file = ActiveData();
    CLogListCtrl* list = ActiveList();
    if (!file || !list)
        return;

    // A file that was rotated away under us is read again from scratch;
    // refresh() would take the new file's bytes as appended ones.
    const log_file::file_change change =
        file->file.is_open() ? file->file.check_change(file->path) : log_file::file_change::replaced;
    if (change != log_file::file_change::none) {
        DebugOutput("[shell] %s changed (%d): reloading\n", ToUtf8(file->path).c_str(), static_cast<int>(change));
        if (ReloadActive())
            m_window.ShowStatusNote(NoteText(u"IDS_STATUSBAR_NOTE_RELOADED", file->name));
        else
            m_window.ShowStatusNote(NoteText(u"IDS_STATUSBAR_NOTE_RELOAD_FAILED", file->name));
        return;
    }

    const bool encoding_was_unknown = file->file.encoding() == ENCODING_UNKNOWN;
    const auto start = std::chrono::steady_clock::now();
    const int64_t added = file->file.refresh();
    DebugOutput(
        "[DEBUG]Refresh index cost %dms\n",
        static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()));
    if (added <= 0)
        return;
    if (encoding_was_unknown) {
        m_app.GetParser(file);
        SetColumns(*list);
    }

    const log_file::window_numbers numbers = file->file.read_window_numbers();
    const int64_t g = numbers.first;
    const int64_t h = numbers.last;
    const int64_t n = static_cast<int64_t>(numbers.line_count);
    int64_t m = g < 0 ? 0 : g;
    const int64_t maximum = MaxLines(m_app);
    const bool tail = m_app.settings.tail_on_refresh;
    int64_t wanted_last;
    if (maximum <= 0) {
        wanted_last = n - 1; // no limit: the window is the whole file
    } else if (tail) {
        wanted_last = n - 1;
        if (m + maximum < n) {
            list->ClearSelectedRows();
            m = n - maximum;
        }
    } else {
        // The window keeps its first line and takes up to its size.
        wanted_last = std::min(n - 1, m + maximum - 1);
    }
    if (m == g && wanted_last == h) {
        m_window.UpdateStatusTexts(); // the line count grew all the same
        return;
    }
    m_app.ReparseFrom(m, tail ? SELECT_LAST : SELECT_KEEP, -1);
    if (encoding_was_unknown)
        list->FitColumns();
}

bool main_dialog_adapter::ReloadActive()
{
    CWorkData* file = ActiveData();
    CLogListCtrl* list = ActiveList();
    if (!file || !list)
        return false;
    ReleaseTimerPause();
    m_window.StopIndexTimer();
    list->SetRedraw(false);
    const int64_t maximum = MaxLines(m_app);
    const bool tail_first = m_app.settings.load_tail_first;
    // close() discards the window and ends the index thread; the filter,
    // the rules, the flags and the quick filter live on in the file's data.
    file->file.close();
    const bool opened =
        IsReadableFile(file->path)
        && file->file.open(file->path, static_cast<uint64_t>(std::max<int64_t>(maximum, 0)), tail_first);
    if (!opened) {
        list->SetRedraw(true);
        list->SetRowCount();
        UpdateWindowTexts();
        return false;
    }
    const std::u16string old_parser = file->parser_name;
    m_app.GetParser(file);
    if (file->parser_name != old_parser || list->ColumnCount() == 0)
        SetColumns(*list);
    const int64_t n = static_cast<int64_t>(file->file.line_count());
    if (n > 0) {
        const int64_t first = tail_first && maximum > 0 && maximum < n ? n - maximum : 0;
        m_app.ReparseFrom(first, tail_first ? SELECT_LAST : SELECT_FIRST, -1);
    } else {
        list->SetRedraw(true);
        list->SetRowCount();
    }
    list->SetRedraw(true);
    file->file.start_indexer();
    OnActiveTabChanged();
    return true;
}
