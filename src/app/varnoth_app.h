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
    void SetMainWindowRan() { main_window_ran_ = true; }

    // --- exit -----------------------------------------------------------
    // Saves data and settings when this instance holds the lock and ran its
    // main window; releases the dictionary and the lock in every case.
    void ExitInstance();
    // Writes every data file.  Each file is written completely under a
    // temporary name and renamed into place; files of the collections that
    // were not rewritten are removed only afterwards, so a failed write never
    // loses the previous copy.  Returns false when any write failed.
    bool SaveData();
    bool SaveSettings();

    // --- shared services ------------------------------------------------
    void AddExpressionHistory(const std::u16string& text);
    void AddRecentFile(const std::u16string& path);

    // Paths, set once at construction.
    const std::u16string& ModulePath() const { return module_path_; }
    const std::u16string& InstallationDirectory() const { return installation_directory_; }
    const std::u16string& DataDirectory() const { return data_directory_; }
    const std::u16string& DictionaryDirectory() const { return dictionary_directory_; }
    const std::u16string& ParserDirectory() const { return parser_directory_; }
    const std::u16string& FilterDirectory() const { return filter_directory_; }
    const std::u16string& HighlightDirectory() const { return highlight_directory_; }
    const std::u16string& HistoryDirectory() const { return history_directory_; }
    const std::u16string& HelpDirectory() const { return help_directory_; }
    bool CopiedShippedParsers() const { return copy_shipped_parsers_; }
    int LanguageIndex() const { return 0; }
    static std::u16string LanguageCode() { return u"en"; }

    const std::u16string& Title() const { return title_; }

    app_settings settings;
    std::vector<std::u16string> expression_history;
    std::vector<std::u16string> recent_files;

private:
    void PrepareDataDirectory(const app_environment& environment);

    std::u16string module_path_;
    std::u16string installation_directory_;
    std::u16string data_directory_;
    std::u16string dictionary_directory_;
    std::u16string parser_directory_;
    std::u16string filter_directory_;
    std::u16string highlight_directory_;
    std::u16string history_directory_;
    std::u16string help_directory_;
    bool copy_shipped_parsers_ = false;
    std::u16string title_;
    std::unique_ptr<named_mutex> instance_mutex_;
    bool glossant_initialized_ = false;
    bool dictionary_loaded_ = false;
    bool main_window_ran_ = false;
};

// The one application object while it exists (null before and after).
CVarnothApp* TheApp();
