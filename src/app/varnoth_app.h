// The application object: the first and last code of the system.  It
// prepares the data folder when constructed, loads the dictionary, settings
// and data files during start-up, and writes them back at exit.  It owns the
// shared state that the main window, the commands and the work thread use.
//
// Thread-safety: owned by the interface thread; the work thread reads the
// settings it is given at job start.  Nothing here takes a lock.
#pragma once

#include "app/settings.h"

#include <memory>
#include <string>
#include <vector>

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

private:
    void PrepareDataDirectory(const app_environment& environment);
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
};

// The one application object while it exists (null before and after).
CVarnothApp* TheApp();
