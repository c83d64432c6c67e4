#include "shell/main_dialog_adapter.h"

#include "app/varnoth_app.h"
#include "platform/diagnostics.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_page.h"
#include "ui/overview_strip.h"
#include "ui/results_pane.h"
#include "ui/status_bar_ctrl.h"
#include "ui/top_panel.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"
#include "work/file_view.h"
#include "work/window_plan.h"
#include "work/work_messages.h"

#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QItemSelectionModel>
#include <QObject>

#include <algorithm>
#include <chrono>

namespace {

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
    // The status bar's line number follows the focused row.
    QObject::connect(target->selectionModel(), &QItemSelectionModel::currentRowChanged, &m_window,
                     [this] { m_window.UpdateStatusTexts(); });
    QObject::connect(target, &CLogListCtrl::WindowMoveRequested, &m_window,
                     [this, target](int lines) { MoveWindow(*target, lines); });
    QObject::connect(target, &CLogListCtrl::ContextMenuRequested, &m_window,
                     [this, target](const QPoint& global, int row, int column) {
                         m_window.ShowListPopup(global, column, target->ColumnName(column),
                                                target->CellText(row, column));
                     });
}

void main_dialog_adapter::AddFileTab(file_view& file)
{
    QTabWidget* tabs = m_window.TabControl();
    auto* list = new CLogListCtrl;
    list->setObjectName(QStringLiteral("log_list"));
    list->SetFile(&file);
    list->SetHighlightSources(&file.highlight_rules(), &file.search());
    list->SetSearchHighlightColor(m_app.settings.search_highlight);
    list->SetLineNumbersVisible(m_app.settings.show_line_numbers);
    SetColumns(*list);
    list->SetRowCount();
    list->FitColumns();
    ConnectList(*list);
    m_removing = true; // the tab change is handled once the tab is complete
    const stream_tab* stream = StreamOf(file.path());
    if (stream)
        file.set_auto_refresh(true);
    auto* page = new CLogPage(list);
    CResultsPane* pane = page->Pane();
    pane->SetFile(&file);
    pane->SetColumnNames(file.column_names());
    pane->List()->SetHighlightSources(&file, &file.highlight_rules(), &file.search());
    pane->List()->SetSearchHighlightColor(m_app.settings.search_highlight);
    pane->SetCanceller([this] { m_app.WorkThread().CancelEvent().set(); });
    page->Strip()->SetFile(&file);
    QObject::connect(page->Strip(), &COverviewStrip::LineClicked, &m_window,
                     [this, list](int64_t line) { ShowLine(*list, line); });
    QObject::connect(pane, &CResultsPane::ResultActivated, &m_window,
                     [this, list](uint64_t k) { ShowResult(*list, k); });
    QObject::connect(page, &CLogPage::PaneHeightChanged, &m_window,
                     [this](int height) { m_app.settings.results_pane_height = height; });
    const int index = tabs->addTab(page, Literal(ToQString(TabName(file))));
    tabs->setTabToolTip(index, ToQString(file.path()));
    tabs->setCurrentIndex(index);
    m_removing = false;
    list->setFocus();
    // Opened tail first: the last row is the one to look at.
    if (m_app.settings.load_tail_first && list->RowCount() > 0)
        list->SelectRow(list->RowCount() - 1);
    if (!stream) // a temporary file is gone once its tab closes
        m_app.AddRecentFile(file.path());
    OnActiveTabChanged();
}

void main_dialog_adapter::AddStream(std::u16string path, std::u16string name, std::function<void()> closed)
{
    m_streams.push_back({std::move(path), std::move(name), std::move(closed)});
}

const main_dialog_adapter::stream_tab* main_dialog_adapter::StreamOf(const std::u16string& path) const
{
    for (const stream_tab& stream : m_streams)
        if (stream.path == path)
            return &stream;
    return nullptr;
}

std::u16string main_dialog_adapter::TabName(const file_view& file) const
{
    const stream_tab* stream = StreamOf(file.path());
    return stream ? stream->name : file.name();
}

void main_dialog_adapter::SetColumns(CLogListCtrl& list)
{
    file_view* file = list.File();
    if (!file)
        return;
    list.SetColumnNames(file->column_names());
    if (CLogPage* page = PageOfList(&list))
        page->Pane()->SetColumnNames(file->column_names());
}

CResultsPane* main_dialog_adapter::ActivePane() const
{
    return ResultsPaneOfPage(m_window.TabControl()->currentWidget());
}

bool main_dialog_adapter::RunResults(bool find, const CSearchInfo& search)
{
    file_view* file = ActiveData();
    auto* page = qobject_cast<CLogPage*>(m_window.TabControl()->currentWidget());
    if (!file || !page)
        return false;
    CResultsPane* pane = page->Pane();
    page->ShowPane(m_app.settings.results_pane_height);
    pane->Start();
    const bool ran = find ? file->find_all(search) : file->filter_whole_file();
    // The tab may have closed meanwhile (from the progress dialog's loop).
    if (ActivePane() == pane)
        pane->Finish();
    return ran;
}

void main_dialog_adapter::FollowResults(file_view& file, bool again)
{
    if (!file.results_used())
        return;
    CResultsPane* pane = ActivePane();
    if (pane)
        pane->Start();
    if (again)
        file.rerun_results();
    else
        file.update_results();
    if (pane && ActivePane() == pane)
        pane->Finish();
}

bool main_dialog_adapter::FindAll(const CSearchInfo& search)
{
    return RunResults(true, search);
}

bool main_dialog_adapter::FilterWholeFile()
{
    return RunResults(false, CSearchInfo());
}

bool main_dialog_adapter::ShowResult(CLogListCtrl& list, uint64_t k)
{
    file_view* file = list.File();
    if (!file || k >= file->results().size())
        return false;
    return ShowLine(list, static_cast<int64_t>(file->results().at(k)), file->plan_for_result(k));
}

bool main_dialog_adapter::ShowLine(CLogListCtrl& list, int64_t line)
{
    file_view* file = list.File();
    return file && ShowLine(list, line, PlanHolding(file->place(), line));
}

bool main_dialog_adapter::ShowLine(CLogListCtrl& list, int64_t line, const window_plan& plan)
{
    file_view* file = list.File();
    // Not while a job runs (the pane takes clicks while its walk runs).
    if (!file || m_app.JobRunning() || (plan.move && !file->move_window(plan)))
        return false;
    // The row that shows the line: with a filter on, the first shown row at
    // or after it.
    int row = -1;
    {
        const file_view::rows shown = file->read_rows();
        std::size_t low = 0;
        std::size_t high = shown.size();
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (shown.line_number(middle) < line)
                low = middle + 1;
            else
                high = middle;
        }
        if (shown.size() > 0)
            row = static_cast<int>(std::min(low, shown.size() - 1));
    }
    if (row >= 0 && row < list.RowCount())
        list.SelectRow(row);
    m_window.UpdateStatusTexts();
    return row >= 0;
}

CLogListCtrl* main_dialog_adapter::List(int index) const
{
    return LogListOfPage(m_window.TabControl()->widget(index));
}

CLogListCtrl* main_dialog_adapter::ActiveList() const
{
    return LogListOfPage(m_window.TabControl()->currentWidget());
}

file_view* main_dialog_adapter::ActiveData() const
{
    CLogListCtrl* list = ActiveList();
    return list ? list->File() : nullptr;
}

active_view_state main_dialog_adapter::ViewState() const
{
    active_view_state s;
    s.line_numbers = m_app.settings.show_line_numbers;
    s.tab_count = static_cast<int>(m_app.OpenFileList().lock()->size());
    file_view* file = m_app.ActiveFile();
    if (!file)
        return s;
    s.has_file = true;
    s.auto_refresh = file->auto_refresh() != 0;
    s.highlight_enabled = file->highlight_enabled() != 0;
    s.filter_enabled = file->filter_enabled() != 0;
    s.has_filter_conditions = file->filter_groups().ConditionCount() > 0;
    const view_counts counts = file->counts();
    s.window_first = counts.first;
    s.window_last = counts.last;
    s.indexed_lines = static_cast<int64_t>(counts.line_count);
    s.cut_lines = static_cast<int64_t>(counts.long_lines);
    s.looks_binary = counts.binary;
    s.packing = FromUtf8(packing_name(counts.packed));
    switch (counts.unpack) {
    case unpack_note::none: s.packed = packed_note::none; break;
    case unpack_note::truncated: s.packed = packed_note::truncated; break;
    case unpack_note::damaged: s.packed = packed_note::damaged; break;
    case unpack_note::trailing: s.packed = packed_note::trailing; break;
    case unpack_note::failed: s.packed = packed_note::failed; break;
    }
    CLogListCtrl* list = ActiveList();
    if (!list) {
        // A file whose tab is not there yet counts the rows of its source.
        s.row_count = static_cast<int64_t>(file->row_count());
        return s;
    }
    s.row_count = list->RowCount();
    s.selected_count = list->SelectedCount();
    s.has_selection = s.selected_count > 0;
    s.current_line = list->CurrentLineNumber();
    const int columns = list->ColumnCount();
    s.column_names.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i)
        s.column_names.push_back(list->ColumnName(i));
    return s;
}

void main_dialog_adapter::UpdateWindowTexts()
{
    file_view* file = ActiveData();
    m_window.UpdateTitle(file ? TabName(*file) : std::u16string());
    m_window.UpdateToolbar();
    m_window.UpdateStatusTexts();
}

void main_dialog_adapter::OnActiveTabChanged()
{
    ReleaseTimerPause();
    m_window.StopIndexTimer();
    file_view* file = ActiveData();
    if (file && file->indexing())
        m_window.StartIndexTimer([this] { return IndexTimerTick(); });
    m_window.UpdateCommonTasksVisibility();
    UpdateWindowTexts();
}

void main_dialog_adapter::ReleaseTimerPause()
{
    m_timer_hold.release();
    m_paused_by_timer = nullptr;
}

bool main_dialog_adapter::IndexTimerTick()
{
    file_view* file = ActiveData();
    if (!file || !file->indexing()) {
        ReleaseTimerPause();
        m_window.UpdateStatusTexts();
        m_window.UpdateToolbar();
        return false;
    }
    if (file != m_paused_by_timer)
        ReleaseTimerPause();
    // While a modal dialog runs (a job's progress) the pointer's place means
    // nothing here, and the job may need the lines the thread adds.
    if (QApplication::activeModalWidget()) {
        ReleaseTimerPause();
    } else {
        const QWidget* bar = m_window.FileScopeBar();
        const bool over_bar = bar && bar->isVisible() && bar->rect().contains(bar->mapFromGlobal(QCursor::pos()));
        if (over_bar && !m_paused_by_timer) {
            m_timer_hold = file->hold_indexing();
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

uint64_t main_dialog_adapter::ActiveFileId()
{
    file_view* file = ActiveData();
    return file ? file->id() : 0;
}

CLogListCtrl* main_dialog_adapter::ListOf(uint64_t file_id) const
{
    QTabWidget* tabs = m_window.TabControl();
    for (int i = 0; i < tabs->count(); ++i)
        if (CLogListCtrl* list = List(i); list && list->File() && list->File()->id() == file_id)
            return list;
    return nullptr;
}

void main_dialog_adapter::ViewJobDone(uint64_t file_id, bool rows_only, int selection_kind, int64_t row,
                                      bool columns_changed)
{
    CLogListCtrl* list = ListOf(file_id);
    if (!list)
        return;
    if (columns_changed)
        SetColumns(*list);
    if (list != ActiveList()) {
        list->SetRedraw(true);
        list->SetRowCount();
        return;
    }
    if (rows_only)
        ShowRowSource();
    else
        UpdateView(selection_kind, row);
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
    CLogListCtrl* list = LogListOfPage(page);
    file_view* file = list ? list->File() : nullptr;
    if (auto* log_page = qobject_cast<CLogPage*>(page)) {
        log_page->Pane()->SetFile(nullptr);
        log_page->Strip()->SetFile(nullptr);
    }
    if (file && file == m_paused_by_timer)
        ReleaseTimerPause();
    // The list lets go of its file before the file goes.
    if (list)
        list->SetFile(nullptr);
    m_removing = true;
    tabs->removeTab(index);
    m_removing = false;
    delete page;
    if (!file)
        return;
    const std::u16string path = file->path();
    m_app.OpenFileList().remove_id(file->id());
    for (auto stream = m_streams.begin(); stream != m_streams.end(); ++stream) {
        if (stream->path != path)
            continue;
        const std::function<void()> closed = std::move(stream->closed);
        m_streams.erase(stream);
        if (closed)
            closed();
        break;
    }
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
    file_view* file = list.File();
    if (!file || lines == 0 || &list != ActiveList())
        return;
    const window_plan plan = PlanEdgeMove(Place(*file), lines);
    if (plan.move)
        m_app.ReparseFrom(plan.first, plan.selection, plan.row);
}

window_place main_dialog_adapter::Place(file_view& file) const
{
    return file.place();
}

void main_dialog_adapter::Refresh()
{
    file_view* file = ActiveData();
    CLogListCtrl* list = ActiveList();
    if (!file || !list)
        return;

    // A file that was rotated away under us is read again from scratch;
    // refresh would take the new file's bytes as appended ones.
    const file_view::file_change change = file->check_rotation();
    if (change != file_view::file_change::none) {
        DebugOutput("[shell] %s changed (%d): reloading\n", ToUtf8(file->path()).c_str(), static_cast<int>(change));
        if (ReloadActive())
            m_window.ShowStatusNote(NoteText(u"IDS_STATUSBAR_NOTE_RELOADED", TabName(*file)));
        else
            m_window.ShowStatusNote(NoteText(u"IDS_STATUSBAR_NOTE_RELOAD_FAILED", TabName(*file)));
        return;
    }

    const bool encoding_was_unknown = file->counts().encoding == ENCODING_UNKNOWN;
    const auto start = std::chrono::steady_clock::now();
    const int64_t added = file->index_appended();
    DebugOutput(
        "[DEBUG]Refresh index cost %dms\n",
        static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()));
    if (added <= 0)
        return;
    // The results go on through the appended lines.
    FollowResults(*file, false);
    if (file != ActiveData())
        return;
    if (encoding_was_unknown) {
        // A file that was empty (a stream that has just begun) takes its
        // parser and encoding now; the parser box and the encoding box show
        // them at once, not at the next change of tab.
        m_app.GetParser(file);
        SetColumns(*list);
        m_window.TopPanel()->ShowParser(file->parser_name());
        const view_counts counts = file->counts();
        m_window.StatusBar()->SetEncoding(true, counts.has_bom, counts.encoding);
    }
    const window_plan plan = PlanRefresh(Place(*file), m_app.settings.tail_on_refresh);
    if (!plan.move) {
        m_window.UpdateStatusTexts(); // the line count grew all the same
        return;
    }
    file->move_window(plan);
    if (encoding_was_unknown)
        list->FitColumns();
}

bool main_dialog_adapter::ReloadActive()
{
    file_view* file = ActiveData();
    CLogListCtrl* list = ActiveList();
    if (!file || !list)
        return false;
    ReleaseTimerPause();
    m_window.StopIndexTimer();
    // The reload is a job like an open: a large file gets the progress
    // dialog and the interface keeps turning.  The filter, the rules, the
    // flags and the quick filter live on in the view.
    const bool reloaded = file->reload();
    if (file != ActiveData()) // the tab went while the job ran
        return reloaded;
    // The results of the file that was are made again on the new one.
    if (reloaded) {
        FollowResults(*file, true);
        if (file != ActiveData())
            return reloaded;
    }
    // The parser box, the columns and their widths follow the file's
    // parser at once, whether it changed or not.
    m_window.TopPanel()->ShowParser(file->parser_name());
    SetColumns(*list);
    list->SetRedraw(true);
    list->SetRowCount();
    list->FitColumns();
    OnActiveTabChanged();
    return reloaded;
}
