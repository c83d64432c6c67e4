// The application object: the first and last code of the system.  It
// prepares the data folder when constructed, loads the dictionary, settings
// and data files during start-up, and writes them back at exit.  It owns the
// shared state that the main window, the commands and the work thread use.
//
// Thread-safety: owned by the interface thread.  The work thread reaches it
// only through work_host while the interface thread waits for its job; the
// open files and the progress record are behind their own locks.
#pragma once

#include "app/progress_dialog.h"
#include "app/settings.h"
#include "filter/filter_store.h"
#include "format/datetime.h"
#include "highlight/highlight_store.h"
#include "parser/log_pattern.h"
#include "platform/message_queue.h"
#include "work/export_rows.h"
#include "work/open_files.h"
#include "work/progress_state.h"
#include "work/work_host.h"
#include "work/work_thread.h"

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

class folder_rewrite;
class log_file;
struct CSearchInfo;
class main_dialog_link;
class named_mutex;

// Where the application looks for its folders; tests replace the defaults.
struct app_environment {
    std::u16string module_path;        // the running executable
    std::u16string common_data_folder; // the fallback data root
    static app_environment FromSystem();
};

class CVarnothApp : public work_host {
public:
    CVarnothApp();
    explicit CVarnothApp(const app_environment& environment);
    ~CVarnothApp() override;
    CVarnothApp(const CVarnothApp&) = delete;
    CVarnothApp& operator=(const CVarnothApp&) = delete;

    // --- start-up steps, in the order the shell calls them ---------------
    // Takes the single-instance lock "Varnoth"; false when another instance
    // holds it (this instance must then end without a window or any write).
    bool AcquireSingleInstance();
    bool HoldsSingleInstance() const;
    // Starts the dictionary library; false ends start-up without a message.
    bool InitializeDictionary();
    // Loads dictionary folder + "/en.lc"; false when it is missing or does not load.
    bool LoadDictionary();
    void BuildTitle();
    void LoadSettings();
    void LoadData();
    // Marks that the main window ran, so that ExitInstance saves.
    void SetMainWindowRan() { m_main_window_ran = true; }

    // Starts the work thread; false when it runs already or cannot start.
    bool StartWorkThread();
    // From now on ShowMessage on another thread reaches the interface thread
    // through SendToInterfaceThread.
    void InstallMessageRouter();

    // --- exit -----------------------------------------------------------
    // Stops the work thread (quit, then wait for it) and closes the open
    // files; saves data and settings when this instance holds the lock and
    // ran its main window, and then names every file that could not be
    // written in one error box; releases the dictionary and the lock in every
    // case, and lets a release of parsed lines in progress finish.
    void ExitInstance();
    // Writes every data file.  Each file is written completely under a
    // temporary name and renamed into place; files of the collections that
    // were not rewritten are removed only afterwards, so a failed write never
    // loses the previous copy.  Returns the paths that could not be written
    // (empty when every write succeeded).
    std::vector<std::u16string> SaveData();
    // False when setting.xml could not be written.
    bool SaveSettings();
    // The text of the exit box for the files that could not be written.
    static std::u16string SaveFailureText(const std::vector<std::u16string>& paths);

    // --- parsers ----------------------------------------------------------
    // The parser list and the default parser belong to the interface thread;
    // a job uses a parser it was handed (by FindParser) while the interface
    // thread waits for the job, and nobody edits the list meanwhile.
    //
    // The parser whose entry name equals name exactly (case included), the
    // last such entry when several do; the default parser for an empty name
    // or a name no entry has.  (Also what the work thread's jobs use.)
    const log_pattern_list& FindParser(std::u16string_view name) const override;
    // Chooses the parser of a freshly opened (or refreshed, formerly empty)
    // file: the entries that fit its last indexed lines, most columns first
    // and later entries first among equals; the default parser when none
    // fits.  parser_name receives the entry's name, empty for the default.
    // The window of file is empty afterwards.  Never null.
    const log_pattern_list* GetParser(log_file& file, std::u16string& parser_name) const;
    const log_pattern_list& DefaultParser() const { return m_default_parser; }
    parser_list& Parsers() { return m_parsers; }
    const parser_list& Parsers() const { return m_parsers; }

    // --- shared services ------------------------------------------------
    void AddExpressionHistory(const std::u16string& text);
    void AddRecentFile(const std::u16string& path);

    // Paths, set once at construction.
    const std::u16string& ModulePath() const { return m_module_path; }
    const std::u16string& InstallationDirectory() const { return m_installation_directory; }
    const std::u16string& DataDirectory() const { return m_data_directory; }
    const std::u16string& DictionaryDirectory() const { return m_dictionary_directory; }
    const std::u16string& ParserDirectory() const { return m_parser_directory; }
    const std::u16string& FilterDirectory() const { return m_filter_directory; }
    const std::u16string& HighlightDirectory() const { return m_highlight_directory; }
    const std::u16string& HistoryDirectory() const { return m_history_directory; }
    const std::u16string& HelpDirectory() const { return m_help_directory; }
    bool CopiedShippedParsers() const { return m_copy_shipped_parsers; }
    std::u16string SettingsPath() const { return m_data_directory + u"/setting.xml"; }
    std::u16string LanguageFilePath() const
    {
        return m_data_directory + u"/" + std::u16string(DATETIME_WORDS_FILE_NAME);
    }
    // The folders of the data folder that could not be created at
    // construction (each also written to the diagnostics).
    const std::vector<std::u16string>& UncreatedFolders() const { return m_uncreated_folders; }
    int LanguageIndex() const { return 0; }
    static std::u16string LanguageCode() { return u"en"; }

    const std::u16string& Title() const { return m_title; }

    // --- the job protocol (interface thread) ----------------------------
    // Paths equal to an open file's path (ASCII letters folded) only
    // activate that file's tab, as do repeats within paths; the rest are
    // opened by one job.
    void OpenFiles(const std::vector<std::u16string>& paths);
    // Opens paths by one job without looking for open files (the open and
    // recent-file commands).  Nothing happens for an empty list.
    void OpenFilesDirect(const std::vector<std::u16string>& paths);
    // Shorthands for the active file's intents (file_view): a new window
    // from first_line, then the view update (selection kind, row); filtering
    // again by its quick filter text (quick) or by its filter groups; a new
    // quick filter text.  Nothing without an active file or while a job runs.
    void ReparseFrom(int64_t first_line, int selection_kind, int64_t row);
    void RunFilter(bool quick);
    void ApplyQuickFilter(const std::u16string& text);
    // Searches the active file from its window on, window by window, with a
    // copy of search whose expression holds the search text (and whose
    // regexp flag is set for a wildcard); cancellable.  Nothing without an
    // active file.
    void FindInFile(const CSearchInfo& search);
    // Exports rows of the active file to path (kind: EXPORT_KIND_*; CSV when
    // the name ends in ".csv") by one cancellable job.  column_names are the
    // list's columns in order; selected, for kind 0, the list's selected row
    // numbers taken now, before the job runs.  A log export that completed
    // or was cancelled and kept is opened afterwards (only activated when it
    // is open already).  Nothing, and a bad_request result, without an
    // active file or work thread.
    export_result ExportRows(int32_t kind, const std::u16string& path, const std::vector<std::u16string>& column_names,
                             const std::vector<std::size_t>& selected, write_function writer = nullptr);
    // The active file takes the parser of that name (the default parser for
    // a name no entry has) and its window is parsed again from its first
    // line by a job.  Returns true when the parser changed, so that the
    // list's columns must be rebuilt; the file's search column becomes -1
    // in every case.  Nothing (false) without an active file.
    bool ChangeParser(const std::u16string& name);
    // The encoding chooser: an active file without byte-order mark switches
    // to ENCODING_ANSI or ENCODING_UTF8 and re-reads its window in it.
    // False when nothing changed.
    bool ChangeEncoding(int32_t encoding);

    // Waits for the job posted last: up to the progress delay (500 ms) only
    // the work thread's two requests are served and no dialog is shown; a
    // job that ends in that time leaves its queued progress dropped.  After
    // that a modal progress dialog runs until the job's WM_WORK_DONE.
    // A live job (the whole-file results, which the window shows while they
    // come) waits from its start in the live wait when one is set: the
    // window goes on painting and only the results' own controls take
    // input, Cancel among them; no progress dialog, no blind first wait.
    void RunJobAndWait(int file_count, bool cancellable, bool live = false);
    // Posts a request to the interface thread and waits for its answer
    // (served at once when called on the interface thread).  Once the
    // interface thread has closed, the fallback answer: IDNO, IDCANCEL or
    // IDOK for a box by its buttons, 0 otherwise.
    intptr_t SendToInterfaceThread(unsigned id, uintptr_t wparam, const void* data);
    // The handlers of the six interface messages; false for any other id.
    bool HandleInterfaceMessage(const thread_message& message);
    // The file of the active tab (found by its id), null without a main
    // window or active tab.
    file_view* ActiveFile();
    // Chooses the parser of a freshly opened file, stores its name in file
    // and returns it; null for a null file.
    const log_pattern_list* GetParser(file_view* file);

    CWorkThread& WorkThread() { return m_work_thread; }
    void SetMainDialog(main_dialog_link* dialog) { m_main_dialog = dialog; }
    main_dialog_link* MainDialog() const { return m_main_dialog; }
    void SetProgressDialogFactory(progress_dialog_factory factory) { m_progress_factory = std::move(factory); }
    // Makes the wait of a live job (file_count and cancellable as for the
    // dialog); without one a live job waits as any other does.
    void SetLiveWaitFactory(progress_dialog_factory factory) { m_live_wait_factory = std::move(factory); }
    // The dialog while one is shown, else null.
    progress_dialog* ShownProgressDialog() const { return m_progress_dialog; }
    // How long a job may run before its progress dialog appears (test seam).
    void SetProgressDelayMs(int milliseconds) { m_progress_delay_ms = milliseconds; }

    // --- work_host -------------------------------------------------------
    bool RunViewJob(tagVIEW_JOB& job) override;
    bool JobRunning() const override { return m_waiting_for_job; }
    uint64_t MaxLoadingLines() override { return settings.max_loading_lines; }
    bool LoadTailFirst() override { return settings.load_tail_first; }
    const log_pattern_list* DetectParser(file_view& file) override;
    open_file_list& OpenFileList() override { return m_open_files; }
    progress_record& Progress() override { return m_progress; }
    message_queue& InterfaceQueue() override { return InterfaceThreadQueue(); }

    app_settings settings;
    std::vector<std::u16string> expression_history;
    std::vector<std::u16string> recent_files;
    filter_favorites filter_favorite_sets;
    highlight_favorites highlight_favorite_sets;
    std::vector<log_filter> recent_conditions; // newest first
    CHighlight recent_highlights;              // newest first

private:
    void PrepareDataDirectory(const app_environment& environment);
    void StopWorkThread();
    // Posts a job to the work thread (resetting its cancel event for a
    // cancellable job); false when the thread does not run.
    bool PostJob(unsigned id, uintptr_t wparam, intptr_t lparam, bool cancellable = false);
    void OnWorkProgress();
    void OnWorkDone(uint64_t serial);
    void AnswerRequest(const thread_message& message);
    // LoadData steps for parsers: the default parser, then every parser file.
    void LoadParsers();
    // SaveData step for parsers: every entry with items to parser folder +
    // "/" + name + ".xml"; other files of the folder are removed only after
    // every write, and only when they were there at start and loaded (a
    // parser file the user is still editing by hand, or put into the folder
    // while the viewer ran, is never deleted).  Paths that could not be
    // written are appended to failed.
    void SaveParsers(std::vector<std::u16string>& failed);

    // Favourites of the filter and highlight folders (file name without
    // ".xml"), then the recent conditions and rules of the history folder.
    void LoadFavoritesAndRecent();
    // Rewrites both favourite folders: every set with at least one condition
    // or rule whose name passes IsValidFileName.  Files that did not load at
    // start, and files of names that may not be written, are left in place.
    void SaveFavorites(std::vector<std::u16string>& failed);
    // Writes the recent conditions and rules into the history folder being rewritten.
    void SaveRecent(folder_rewrite& history);
    // Writes the date-time languages.  A language file that was not read
    // whole at start is never overwritten: it stays as it is while the
    // languages are those it gave, and is otherwise first copied beside
    // itself ("datetime_words.previous.xml", numbered when taken).  The path
    // is appended to failed when it could not be written or kept.
    void SaveLanguages(std::vector<std::u16string>& failed);
    // Creates one folder level; a failure is recorded and written to the
    // diagnostics.
    void MakeDataFolder(const std::u16string& path);

    std::u16string m_module_path;
    std::u16string m_installation_directory;
    std::u16string m_data_directory;
    std::u16string m_dictionary_directory;
    std::u16string m_parser_directory;
    std::u16string m_filter_directory;
    std::u16string m_highlight_directory;
    std::u16string m_history_directory;
    std::u16string m_help_directory;
    bool m_copy_shipped_parsers = false;
    std::vector<std::u16string> m_uncreated_folders;
    std::u16string m_title;
    std::unique_ptr<named_mutex> m_instance_mutex;
    bool m_glossant_initialized = false;
    bool m_dictionary_loaded = false;
    bool m_main_window_ran = false;
    log_pattern_list m_default_parser;
    parser_list m_parsers;
    std::vector<std::u16string> m_unreadable_parser_files;
    std::set<std::u16string> m_parser_files_at_start; // every file of the parser folder at start

    open_file_list m_open_files;
    progress_record m_progress;
    CWorkThread m_work_thread{*this};
    main_dialog_link* m_main_dialog = nullptr;
    progress_dialog_factory m_progress_factory;
    progress_dialog_factory m_live_wait_factory;
    progress_dialog* m_progress_dialog = nullptr;
    int m_progress_delay_ms = 500;
    uint64_t m_last_done_serial = 0; // the newest job whose done was handled
    bool m_waiting_for_job = false;  // inside RunJobAndWait
    std::atomic<bool> m_interface_closed{false};

    language_file_read m_language_file = language_file_read::missing;  // how it was read at start
    std::shared_ptr<const DateTimeLanguageTable> m_languages_at_start; // what it gave

    std::set<std::u16string> m_unloaded_filter_files;    // favourite files that did not load
    std::set<std::u16string> m_unloaded_highlight_files; // the same for highlight favourites
};

// The one application object while it exists (null before and after).
CVarnothApp* TheApp();
