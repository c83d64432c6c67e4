#include "app/varnoth_app.h"

#include "app/folder_rewrite.h"
#include "format/datetime.h"
#include "glossant/dictionary_text.h"
#include "glossant/glossant.h"
#include "logfile/log_file.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "xml/xml_file.h"

#include <fcntl.h>
#include <unistd.h>

namespace {
CVarnothApp* g_app = nullptr;
constexpr int kExitDiscardWaitMs = 2000;
} // namespace

CVarnothApp* TheApp()
{
    return g_app;
}

app_environment app_environment::FromSystem()
{
    app_environment environment;
    ::InstallationDirectory(&environment.module_path);
    environment.common_data_folder = UserDataHome();
    return environment;
}

CVarnothApp::CVarnothApp() : CVarnothApp(app_environment::FromSystem())
{}

CVarnothApp::CVarnothApp(const app_environment& environment)
{
    InitXmlServices();
    PrepareDataDirectory(environment);
    g_app = this;
}

CVarnothApp::~CVarnothApp()
{
    StopWorkThread();
    if (g_app == this)
        g_app = nullptr;
}

void CVarnothApp::PrepareDataDirectory(const app_environment& environment)
{
    m_module_path = environment.module_path;
    const std::size_t slash = m_module_path.rfind(u'/');
    m_installation_directory = slash == std::u16string::npos ? std::u16string() : m_module_path.substr(0, slash);

    // Probe whether the installation folder is writable by creating a file in
    // a folder of our own there.
    const std::u16string probe_folder = m_installation_directory + u"/folder_test";
    const std::u16string probe_file = probe_folder + u"/file_test";
    MakeDirectory(probe_folder);
    const int fd = ::open(NativePath(probe_file).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        RemoveEmptyDirectory(probe_folder);
        m_data_directory = environment.common_data_folder + u"/Ostrel";
        MakeDirectory(m_data_directory);
        m_data_directory += u"/Varnoth";
        MakeDirectory(m_data_directory);
        m_copy_shipped_parsers = true;
    } else {
        ::close(fd);
        RemoveFile(probe_file);
        RemoveEmptyDirectory(probe_folder);
        m_data_directory = m_installation_directory;
    }

    m_parser_directory = m_data_directory + u"/parser";
    m_filter_directory = m_data_directory + u"/filter";
    m_highlight_directory = m_data_directory + u"/highlight";
    m_history_directory = m_data_directory + u"/history";
    m_dictionary_directory = m_installation_directory + u"/dict";
    m_help_directory = m_installation_directory + u"/help";
    MakeDirectory(m_parser_directory);
    MakeDirectory(m_filter_directory);
    MakeDirectory(m_highlight_directory);
    MakeDirectory(m_history_directory);

    if (m_copy_shipped_parsers) {
        // A parser the user already has (perhaps edited) is never overwritten.
        const std::u16string shipped = m_installation_directory + u"/parser";
        for (const std::u16string& name : ListFiles(shipped, u".xml"))
            CopyFileNoOverwrite(JoinPath(shipped, name), JoinPath(m_parser_directory, name));
    }

    if (!m_installation_directory.empty() && ::chdir(NativePath(m_installation_directory).c_str()) != 0) {
        // The current folder only matters for relative paths the user types;
        // staying where we are is harmless.
    }
}

bool CVarnothApp::AcquireSingleInstance()
{
    auto mutex = std::make_unique<named_mutex>(u"Varnoth");
    if (!mutex->try_lock())
        return false;
    m_instance_mutex = std::move(mutex);
    return true;
}

bool CVarnothApp::HoldsSingleInstance() const
{
    return m_instance_mutex && m_instance_mutex->owned();
}

bool CVarnothApp::InitializeDictionary()
{
    m_glossant_initialized = Glossant::Initialize();
    return m_glossant_initialized;
}

bool CVarnothApp::LoadDictionary()
{
    const std::u16string path = m_dictionary_directory + u"/" + LanguageCode() + u".lc";
    if (!IsReadableFile(path))
        return false;
    m_dictionary_loaded = Glossant::LoadDictionary(path, "dict");
    return m_dictionary_loaded;
}

void CVarnothApp::BuildTitle()
{
    m_title = DictionaryText(u"IDS_APPNAME");
}

void CVarnothApp::LoadSettings()
{
    ::LoadSettings(settings, m_data_directory + u"/setting.xml");
}

void CVarnothApp::LoadData()
{
    SetDateTimeLanguages({});
    LoadDateTimeLanguages(JoinPath(m_data_directory, std::u16string(DATETIME_WORDS_FILE_NAME)));
    LoadFavoritesAndRecent();

    ReadHistoryFile(expression_history, m_history_directory + u"/expression.dat");
    ReadHistoryFile(recent_files, m_history_directory + u"/file.dat");
}

bool CVarnothApp::SaveData()
{
    bool ok = SaveDateTimeLanguages(JoinPath(m_data_directory, std::u16string(DATETIME_WORDS_FILE_NAME)));
    ok = SaveFavorites() && ok;

    folder_rewrite history(m_history_directory);
    auto write_history = [&](const std::u16string& name, const std::vector<std::u16string>& list) {
        const bool written = WriteHistoryFile(list, history.path_of(name));
        if (!list.empty())
            history.keep(name, written);
    };
    write_history(u"expression.dat", expression_history);
    write_history(u"file.dat", recent_files);
    ok = SaveRecent(history) && ok;
    ok = history.finish() && ok;
    return ok;
}

bool CVarnothApp::SaveSettings()
{
    return ::SaveSettings(settings, m_data_directory + u"/setting.xml");
}

void CVarnothApp::ExitInstance()
{
    // No job may touch the collections while they are written.
    StopWorkThread();
    m_open_files.clear();
    if (HoldsSingleInstance() && m_main_window_ran) {
        SaveData();
        SaveSettings();
    }
    if (m_glossant_initialized)
        Glossant::UnInitialize();
    m_glossant_initialized = false;
    m_dictionary_loaded = false;
    m_instance_mutex.reset();

    // Parsed lines are freed by short-lived threads under the deletion lock;
    // taking it once lets a release in progress finish before the process ends.
    log_file::deletion_lock().lock();
    log_file::deletion_lock().unlock();
    log_file::wait_for_discards(kExitDiscardWaitMs);
}

void CVarnothApp::AddExpressionHistory(const std::u16string& text)
{
    ::AddExpressionHistory(expression_history, text);
}

void CVarnothApp::AddRecentFile(const std::u16string& path)
{
    ::AddRecentFile(recent_files, path);
}
