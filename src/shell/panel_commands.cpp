#include "shell/panel_commands.h"

#include "app/varnoth_app.h"
#include "dialogs/find_dlg.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "shell/file_commands.h"
#include "shell/find_commands.h"
#include "shell/main_dialog_adapter.h"
#include "shell/parser_manager.h"
#include "ui/command_ids.h"
#include "ui/command_router.h"
#include "ui/file_scope_ctrl.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/results_pane.h"
#include "ui/status_bar_ctrl.h"
#include "ui/system_error.h"
#include "ui/top_panel.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"
#include "work/copy_rows.h"
#include "work/export_rows.h"
#include "work/file_view.h"
#include "work/window_plan.h"
#include "work/work_messages.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <tuple>

namespace {

constexpr int kScopeRefreshMs = 100;
constexpr int kFileManagerWaitMs = 3000;
const char* const kClickedColumn = "clicked_column";
const char* const kPanelHooked = "panel_hooked";

std::u16string ChooseExportPathWithDialog(QWidget* parent, const std::u16string& folder,
                                          const std::u16string& initial_name)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(ExportDialogFilter().split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(QStringLiteral("log"));
    // The chosen filter's extension is the one appended.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter.contains(QStringLiteral("*.csv")) ? QStringLiteral("csv")
                                                                         : QStringLiteral("log"));
    });
    dialog.setSizeGripEnabled(true);
    if (!folder.empty())
        dialog.setDirectory(ToQString(folder));
    dialog.selectFile(ToQString(initial_name));
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        const QString chosen = dialog.selectedFiles().constFirst();
        const int refusal = ExportTargetRefusal(FromQString(chosen));
        if (refusal == 0)
            return FromQString(chosen);
        ShowMessage(SystemErrorText(refusal) + u"\n" + FromQString(chosen), MB_OK | MB_ICONERROR);
    }
}

int ShowInFileManagerOfDesktop(const std::u16string& path)
{
    const QString file = ToQString(path);
    if (!QFileInfo::exists(file))
        return ENOENT;
    // The freedesktop file-manager interface selects the file in its folder.
    const QString dbus = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
    if (!dbus.isEmpty()) {
        // dbus-send splits array items at commas: keep them inside the item.
        QString url = QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded());
        url.replace(u',', QStringLiteral("%2C"));
        QProcess process;
        process.start(dbus,
                      {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                       QStringLiteral("--reply-timeout=2000"), QStringLiteral("--dest=org.freedesktop.FileManager1"),
                       QStringLiteral("/org/freedesktop/FileManager1"),
                       QStringLiteral("org.freedesktop.FileManager1.ShowItems"), QStringLiteral("array:string:") + url,
                       QStringLiteral("string:")});
        if (process.waitForFinished(kFileManagerWaitMs) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0)
            return 0;
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kFileManagerWaitMs);
        }
    }
    // Else the folder itself.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath())) ? 0 : ENOENT;
}

panel_command_seams& Seams()
{
    static panel_command_seams seams{ChooseExportPathWithDialog, ShowInFileManagerOfDesktop, nullptr};
    return seams;
}

std::vector<std::u16string> ColumnNames(const CLogListCtrl& list)
{
    std::vector<std::u16string> names;
    for (int i = 0; i < list.ColumnCount(); ++i)
        names.push_back(list.ColumnName(i));
    return names;
}

void SayCopyFailure(int code)
{
    ShowMessage(DictionaryText(u"IDS_MSG_COPY_FAIL") + SystemErrorText(code), MB_OK | MB_ICONERROR);
}

void CopyPathText(const std::u16string& text)
{
    if (const int code = CopyText(text.c_str()); code != 0)
        SayCopyFailure(code);
}

void RunExportCommand(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs, int id)
{
    CLogListCtrl* list = tabs.ActiveList();
    file_view* file = list ? list->File() : nullptr;
    if (!list || !file)
        return;
    export_command_state state;
    state.kind = id - ids::kFileExportSelected;
    state.rows = static_cast<std::size_t>(std::max(0, list->RowCount()));
    state.selected = static_cast<std::size_t>(std::max<int64_t>(0, list->SelectedCount()));
    const view_counts counts = file->counts();
    state.indexing = counts.indexing;
    state.indexed_lines = counts.line_count;
    state.has_conditions = file->filter_groups().ConditionCount() > 0;
    state.quick_filter = file->quick_filter_text();
    state.results = file->results().size();
    if (!ExportCommandChecks(state,
                             [](const std::u16string& text, unsigned flags) { return ShowMessage(text, flags); }))
        return;

    // The last export's folder, else the documents folder (else home).
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QFileInfo(documents).isDir())
        documents = QDir::homePath();
    const std::u16string folder = FromQString(StartFolder(app.settings.export_folder, documents));
    const std::u16string path = Seams().choose_export_path(&window, folder, ExportInitialName(file->name()));
    if (path.empty())
        return;
    app.settings.export_folder = FromQString(QFileInfo(ToQString(path)).absolutePath());
    // The selection as it is now: the job never asks the list.
    std::vector<std::size_t> selected;
    if (state.kind == EXPORT_KIND_SELECTED_ROWS) {
        for (int row : list->SelectedRows())
            selected.push_back(static_cast<std::size_t>(row));
    }
    app.ExportRows(state.kind, path, ColumnNames(*list), selected);
    window.UpdateToolbar();
    window.UpdateStatusTexts();
}

// Keeps the companions of the main window in step with the active file.
class panel_companions : public QObject {
public:
    panel_companions(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
        : QObject(&window), m_window(window), m_app(app), m_tabs(tabs)
    {
        m_timer.setInterval(kScopeRefreshMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { RefreshScope(); });
        m_timer.start();
    }

    void ActiveChanged()
    {
        file_view* file = m_app.ActiveFile();
        m_window.TopPanel()->ShowParser(file ? file->parser_name() : std::u16string());
        RefreshEncoding();
        if (CLogListCtrl* list = m_tabs.ActiveList())
            HookList(*list);
        RefreshScope();
    }

    void RefreshEncoding()
    {
        file_view* file = m_app.ActiveFile();
        const view_counts counts = file ? file->counts() : view_counts();
        m_window.StatusBar()->SetEncoding(file != nullptr, counts.has_bom, counts.encoding);
    }

    void RefreshScope()
    {
        CFileScopeCtrl* bar = m_window.FileScopeBar();
        file_view* file = m_app.ActiveFile();
        scope key;
        if (file) {
            const view_counts numbers = file->counts();
            const uint64_t max_lines = m_app.MaxLoadingLines();
            key = {static_cast<uint64_t>(std::max<int64_t>(0, numbers.file_size)),
                   numbers.line_count,
                   numbers.first,
                   numbers.last,
                   max_lines > 0 ? max_lines : std::max<uint64_t>(1, numbers.line_count),
                   file->id()};
        }
        if (key == m_shown && !bar->IsDragging())
            return;
        if (bar->IsDragging())
            return; // the drag keeps the shape it started with
        m_shown = key;
        file_scope_ctrl_source source;
        if (file)
            source = [&app = m_app](uint64_t line, std::u16string& text) {
                // Looked up at every call: the file may have closed meanwhile.
                file_view* active = app.ActiveFile();
                return active && active->line_preview(line, text);
            };
        bar->SetScope(key.size, key.lines, key.first, key.last, key.window, std::move(source));
    }

    void HookList(CLogListCtrl& list)
    {
        if (list.property(kPanelHooked).toBool())
            return;
        list.setProperty(kPanelHooked, true);
        connect(&list, &CLogListCtrl::SelectionChanged, this, [this] {
            m_window.UpdateToolbar();
            m_window.UpdateStatusTexts();
        });
        connect(&list, &CLogListCtrl::ContextMenuRequested, &list,
                [&list](const QPoint&, int, int column) { list.setProperty(kClickedColumn, column); });
    }

private:
    using file_scope_ctrl_source = CFileScopeCtrl::line_text_source;
    struct scope {
        uint64_t size = 0;
        uint64_t lines = 0;
        int64_t first = -1;
        int64_t last = -1;
        uint64_t window = 1;
        uint64_t file_id = 0;
        bool operator==(const scope&) const = default;
    };

    CVarnothDlg& m_window;
    CVarnothApp& m_app;
    main_dialog_adapter& m_tabs;
    QTimer m_timer;
    scope m_shown{1, 1, 0, 0, 1, 0}; // differs from every real shape: the first refresh draws
};

} // namespace

panel_command_seams SetPanelCommandSeams(panel_command_seams seams)
{
    panel_command_seams old = Seams();
    if (!seams.choose_export_path)
        seams.choose_export_path = ChooseExportPathWithDialog;
    if (!seams.show_in_file_manager)
        seams.show_in_file_manager = ShowInFileManagerOfDesktop;
    Seams() = std::move(seams);
    return old;
}

int ExportTargetRefusal(const std::u16string& path)
{
    const QString chosen = ToQString(path);
    const QFileInfo info(chosen);
    if (chosen.isEmpty() || !QFileInfo(info.absolutePath()).isDir())
        return ENOENT;
    if (info.isDir())
        return EISDIR;
    if (!info.exists())
        return 0;
    const QByteArray name = QFile::encodeName(chosen);
    if (::access(name.constData(), W_OK) != 0)
        return errno == 0 ? EACCES : errno;
    // A file nobody may write is read-only, also for a user whom the system
    // would let write it anyway.
    struct stat status {};
    if (::stat(name.constData(), &status) == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return EACCES;
    return 0;
}

QString ExportDialogFilter()
{
    return QStringLiteral("%1 (*.log);;%2 (*.csv)")
        .arg(Text(u"IDS_FILE_FORMAT_NAME_LOG"), Text(u"IDS_FILE_FORMAT_NAME_CSV"));
}

int CopyText(const char16_t* text)
{
    if (!text)
        return EINVAL;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return EIO;
    const QString value = QString::fromUtf16(text);
    clipboard->setText(value);
    return clipboard->text() == value ? 0 : EIO;
}

// The rows of the results pane that the copy takes: its selected rows while
// it has the focus; none otherwise.
std::vector<int> SelectedResults(const CResultsPane* pane)
{
    std::vector<int> rows;
    if (!pane || !pane->isVisible() || pane->window()->focusWidget() != pane->List())
        return rows;
    for (const QModelIndex& index : pane->List()->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CopyRows(CVarnothApp& app, main_dialog_adapter& tabs, int column)
{
    CLogListCtrl* list = tabs.ActiveList();
    file_view* file = list ? list->File() : nullptr;
    if (!list || !file)
        return;
    // With the focus in the results pane, its rows are the ones copied.
    const CResultsPane* pane = tabs.ActivePane();
    const std::vector<int> results = SelectedResults(pane);
    const std::vector<int> selected = results.empty() ? list->SelectedRows() : results;
    if (selected.empty())
        return;
    copy_rows_text copied;
    try {
        // The whole text is reserved at once, so that rows are appended
        // without moving it, and a shortage is known before anything is copied.
        copied.text.reserve(kCopyRowsLimit + 1);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct restore_cursor {
            ~restore_cursor() { QApplication::restoreOverrideCursor(); }
        } restore;
        const std::vector<std::u16string> names = ColumnNames(*list);
        if (!results.empty()) {
            // Each result read and split through the index, as the pane shows it.
            std::vector<log_line> lines(results.size());
            std::vector<const log_line*> rows;
            rows.reserve(results.size());
            for (std::size_t i = 0; i < results.size(); ++i) {
                const int64_t line = pane->Model().LineOfRow(results[i]);
                const bool read = line >= 0 && file->read_line(static_cast<uint64_t>(line), lines[i]);
                rows.push_back(read ? &lines[i] : nullptr);
            }
            copied = CopyRowsText(rows, column, names, app.settings.column_separator);
        } else {
            const file_view::rows shown = file->read_rows();
            const std::vector<log_line*>& source = shown.lines();
            std::vector<const log_line*> rows;
            rows.reserve(selected.size());
            for (int row : selected)
                rows.push_back(row >= 0 && static_cast<std::size_t>(row) < source.size() ? source[row] : nullptr);
            copied = CopyRowsText(rows, column, names, app.settings.column_separator);
        }
    } catch (const std::bad_alloc&) {
        ShowMessage(DictionaryText(u"IDS_MSG_NOT_ENOUGH_MEMORY"), MB_OK | MB_ICONERROR);
        return;
    }
    if (copied.cut)
        ShowMessage(DictionaryText(u"IDS_MSG_COPY_TOO_MANY"), MB_OK | MB_ICONWARNING);
    if (const int code = CopyText(copied.text.c_str()); code != 0)
        SayCopyFailure(code);
}

void RegisterPanelCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    command_router& router = window.Router();

    router.add_range(ids::kFileExportSelected, ids::kFileExportResults,
                     [&window, &app, &tabs](int id) { RunExportCommand(window, app, tabs, id); });

    router.add(ids::kEditCopy, [&app, &tabs](int) { CopyRows(app, tabs, -1); });
    router.add_range(ids::kCopyColumnFirst, ids::kCopyColumnLast,
                     [&app, &tabs](int id) { CopyRows(app, tabs, id - ids::kCopyColumnFirst); });
    router.add(ids::kEditCopyClickedColumn, [&app, &tabs](int) {
        CLogListCtrl* list = tabs.ActiveList();
        const QVariant column = list ? list->property(kClickedColumn) : QVariant();
        if (column.isValid() && column.toInt() >= 0)
            CopyRows(app, tabs, column.toInt());
    });

    auto active_path = [&app]() -> std::u16string {
        file_view* file = app.ActiveFile();
        return file ? file->path() : std::u16string();
    };
    router.add(ids::kEditCopyFilePath, [active_path](int) {
        if (const std::u16string path = active_path(); !path.empty())
            CopyPathText(path);
    });
    router.add(ids::kEditCopyFileName, [active_path](int) {
        if (const std::u16string path = active_path(); !path.empty())
            CopyPathText(PathFileName(path));
    });
    router.add(ids::kEditCopyDirPath, [active_path](int) {
        if (const std::u16string path = active_path(); !path.empty())
            CopyPathText(PathFolder(path));
    });
    router.add(ids::kEditBrowseDir, [active_path](int) {
        const std::u16string path = active_path();
        if (path.empty())
            return;
        if (const int code = Seams().show_in_file_manager(path); code != 0)
            ShowMessage(SystemErrorText(code), MB_OK | MB_ICONERROR);
    });

    CTopPanel* panel = window.TopPanel();
    panel->Attach(&app);
    panel->RefillParsers();
    panel->RefillQuickFilterHistory();
    auto* companions = new panel_companions(window, app, tabs);

    // After the parser list changed: the chooser, and what shows the active file's columns.
    auto after_parsers_changed = [&window, &app, &tabs, panel, companions] {
        panel->RefillParsers();
        file_view* file = app.ActiveFile();
        panel->ShowParser(file ? file->parser_name() : std::u16string());
        if (CFindDlg* find = FindDialog(window); find && file)
            find->SetTarget(file, tabs.ActiveList());
        companions->RefreshScope();
        window.UpdateToolbar();
        window.UpdateStatusTexts();
    };
    router.add(ids::kTopPanelManage, [&window, &app, &tabs, after_parsers_changed](int) {
        if (app.JobRunning())
            return;
        RunParserManager(window, app, tabs, Seams().run_parser_manager);
        after_parsers_changed();
    });
    router.add(ids::kEditNewParserFromLine, [&window, &app, &tabs, after_parsers_changed](int) {
        if (app.JobRunning() || !tabs.ActiveList())
            return;
        RunParserSuggestion(window, app, tabs);
        after_parsers_changed();
    });

    QObject::connect(panel, &CTopPanel::ParserChosen, companions,
                     [&window, &app, &tabs, panel, companions](int index, const QString& text) {
                         // Entry 0 is the built-in default parser, whatever a parser file is called.
                         const std::u16string name = index == 0 ? std::u16string() : FromQString(text);
                         if (app.ChangeParser(name)) {
                             if (CLogListCtrl* list = tabs.ActiveList()) {
                                 tabs.SetColumns(*list);
                                 list->SetRowCount();
                                 list->FitColumns();
                             }
                         }
                         file_view* file = app.ActiveFile();
                         panel->ShowParser(file ? file->parser_name() : std::u16string());
                         // The find dialog shows the new columns and "all columns" again.
                         if (CFindDlg* find = FindDialog(window); find && file)
                             find->SetTarget(file, tabs.ActiveList());
                         companions->RefreshScope();
                         window.UpdateToolbar();
                         window.UpdateStatusTexts();
                     });
    QObject::connect(panel, &CTopPanel::FocusListRequested, companions, [&tabs] {
        if (CLogListCtrl* list = tabs.ActiveList())
            list->setFocus(Qt::TabFocusReason);
    });
    QObject::connect(panel, &CTopPanel::QuickFilterApplied, companions, [&window] {
        window.UpdateToolbar();
        window.UpdateStatusTexts();
    });

    QObject::connect(window.StatusBar(), &CLVStatusBarCtrl::EncodingChosen, companions,
                     [&window, &app, &tabs, companions](int32_t encoding) {
                         if (app.ChangeEncoding(encoding)) {
                             // Searches "all columns" again, as after a parser change.
                             if (CFindDlg* find = FindDialog(window); find && app.ActiveFile())
                                 find->SetTarget(app.ActiveFile(), tabs.ActiveList());
                         }
                         companions->RefreshEncoding();
                         companions->RefreshScope();
                         window.UpdateStatusTexts();
                     });
    QObject::connect(window.FileScopeBar(), &CFileScopeCtrl::LineRequested, companions,
                     [&app, companions](qint64 line) {
                         file_view* file = app.ActiveFile();
                         if (!file || line < 0)
                             return;
                         file->move_window(PlanScope(file->place(), line));
                         companions->RefreshScope();
                     });
    QObject::connect(window.TabControl(), &QTabWidget::currentChanged, companions,
                     [companions] { companions->ActiveChanged(); });
    companions->ActiveChanged();
}
