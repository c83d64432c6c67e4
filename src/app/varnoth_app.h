// The application object: the first and last code of the system.  It
// prepares the data folder when constructed, loads the dictionary, settings
// and data files during start-up, and writes them back at exit.  It owns the
// shared state that the main window, the commands and the work thread use.
//
// Thread-safety: owned by the interface thread; the work thread reads the
// settings it is given at job start.  Nothing here takes a lock.
#pragma once

#include "app/settings.h"
#include "filter/filter_store.h"
#include "highlight/highlight_store.h"
#include "parser/log_pattern.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

class folder_rewrite;
class log_file;
class named_mutex;

// Where the application looks for its folders; tests replace the defaults.
struct app_environment {
    std::u16string module_path;        // the running executable
    std::u16string common_data_folder; // the fallback data root
    static app_environment FromSystem();
};

class CVarnothApp {
public:
    CVarnothApp();
    explicit CVarnothApp(const app_environment& environment);
    ~CVarnothApp();
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

    // --- exit -----------------------------------------------------------
    // Saves data and settings when this instance holds the lock and ran its
    // main window, and then names every file that could not be written in
    // one error box; releases the dictionary and the lock in every case.
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
    // or a name no entry has.
    const log_pattern_list& FindParser(std::u16string_view name) const;
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
    // The folders of the data folder that could not be created at
    // construction (each also written to the diagnostics).
    const std::vector<std::u16string>& UncreatedFolders() const { return m_uncreated_folders; }
    int LanguageIndex() const { return 0; }
    static std::u16string LanguageCode() { return u"en"; }

    const std::u16string& Title() const { return m_title; }

    app_settings settings;
    std::vector<std::u16string> expression_history;
    std::vector<std::u16string> recent_files;
    filter_favorites filter_favorite_sets;
    highlight_favorites highlight_favorite_sets;
    std::vector<log_filter> recent_conditions; // newest first
    CHighlight recent_highlights;              // newest first

private:
    void PrepareDataDirectory(const app_environment& environment);
    // LoadData steps for parsers: the default parser, then every parser file.
    void LoadParsers();
    // SaveData step for parsers: every entry with items to parser folder +
    // "/" + name + ".xml"; other files of the folder are removed only after
    // every write, except the files that did not load at start (a parser file
    // the user is still editing by hand is never deleted).  Paths that could
    // not be written are appended to failed.
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
    std::set<std::u16string> m_unloaded_filter_files;    // favourite files that did not load
    std::set<std::u16string> m_unloaded_highlight_files; // the same for highlight favourites
};

// The one application object while it exists (null before and after).
CVarnothApp* TheApp();
