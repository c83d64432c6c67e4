#include "app/varnoth_app.h"

#include "app/folder_rewrite.h"
#include "format/datetime.h"
#include "glossant/dictionary_text.h"
#include "glossant/glossant.h"
#include "logfile/log_file.h"
#include "logfile/parser_choice.h"
#include "parser/default_parser.h"
#include "parser/pattern_xml.h"
#include "platform/diagnostics.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/named_mutex.h"
#include "platform/strings.h"
#include "xml/xml_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
CVarnothApp* g_app = nullptr;
constexpr int kExitDiscardWaitMs = 2000;
// How many earlier copies of an unreadable language file may pile up.
constexpr int kMaxKeptLanguageFiles = 100;
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
    // A probe folder that cannot be made is the answer "not writable".
    MakeDirectory(probe_folder);
    const int fd = ::open(NativePath(probe_file).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        RemoveEmptyDirectory(probe_folder);
        m_data_directory = environment.common_data_folder + u"/Ostrel";
        MakeDataFolder(m_data_directory);
        m_data_directory += u"/Varnoth";
        MakeDataFolder(m_data_directory);
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
    MakeDataFolder(m_parser_directory);
    MakeDataFolder(m_filter_directory);
    MakeDataFolder(m_highlight_directory);
    MakeDataFolder(m_history_directory);

    if (m_copy_shipped_parsers) {
        // A parser the user already has (perhaps edited) is never overwritten.
        const std::u16string shipped = m_installation_directory + u"/parser";
        for (const std::u16string& name : ListFiles(shipped, u".xml")) {
            const std::u16string target = JoinPath(m_parser_directory, name);
            if (!CopyFileNoOverwrite(JoinPath(shipped, name), target) && !PathExists(target))
                DebugOutput("[app] cannot copy the shipped parser %s\n", ToUtf8(target).c_str());
        }
    }

    // The current folder only matters for relative paths the user types;
    // staying where we are is harmless.
    if (!m_installation_directory.empty() && ::chdir(NativePath(m_installation_directory).c_str()) != 0)
        DebugOutput("[app] cannot enter %s: %s\n", ToUtf8(m_installation_directory).c_str(), std::strerror(errno));
}

void CVarnothApp::MakeDataFolder(const std::u16string& path)
{
    if (MakeDirectory(path))
        return;
    const int error = errno;
    m_uncreated_folders.push_back(path);
    DebugOutput("[app] cannot create the folder %s: %s\n", ToUtf8(path).c_str(), std::strerror(error));
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
    ::LoadSettings(settings, SettingsPath());
}

void CVarnothApp::LoadParsers()
{
    m_default_parser = MakeDefaultParser(DictionaryText(u"IDS_SPECIAL_DEFAULT_PARSER_CONTENT"));
    m_parsers.clear();
    m_unreadable_parser_files.clear();
    const std::vector<std::u16string> files = ListFiles(m_parser_directory, u"");
    m_parser_files_at_start = std::set<std::u16string>(files.begin(), files.end());
    LoadParserList(m_parsers, m_parser_directory, &m_unreadable_parser_files);
}

void CVarnothApp::SaveParsers(std::vector<std::u16string>& failed)
{
    folder_rewrite folder(m_parser_directory);
    for (const std::u16string& file_name : m_unreadable_parser_files)
        folder.keep(file_name, true);
    for (const tagPARSER_ITEM& entry : m_parsers) {
        if (entry.parser.empty())
            continue; // nothing is written for a parser without items
        if (!IsStorableParserName(entry.name)) {
            // A name that is no file name is never written outside the folder.
            failed.push_back(JoinPath(m_parser_directory, entry.name + u".xml"));
            continue;
        }
        const std::u16string file_name = entry.name + u".xml";
        folder.keep(file_name, SavePatternFile(entry.parser, folder.path_of(file_name)));
    }
    folder.finish(m_parser_files_at_start);
    failed.insert(failed.end(), folder.failed().begin(), folder.failed().end());
}

const log_pattern_list& CVarnothApp::FindParser(std::u16string_view name) const
{
    const log_pattern_list* found = &m_default_parser;
    if (name.empty())
        return *found;
    for (const tagPARSER_ITEM& entry : m_parsers)
        if (entry.name == name)
            found = &entry.parser;
    return *found;
}

const log_pattern_list* CVarnothApp::GetParser(log_file& file, std::u16string& parser_name) const
{
    const tagPARSER_ITEM* chosen = choose_parser(file, m_parsers);
    parser_name = chosen ? chosen->name : std::u16string();
    return chosen ? &chosen->parser : &m_default_parser;
}

void CVarnothApp::LoadData()
{
    LoadParsers();
    SetDateTimeLanguages({});
    LoadDateTimeLanguages(LanguageFilePath(), &m_language_file);
    m_languages_at_start = DateTimeLanguages();
    LoadFavoritesAndRecent();

    ReadHistoryFile(expression_history, m_history_directory + u"/expression.dat");
    ReadHistoryFile(recent_files, m_history_directory + u"/file.dat");
}

std::vector<std::u16string> CVarnothApp::SaveData()
{
    std::vector<std::u16string> failed;
    SaveParsers(failed);
    SaveLanguages(failed);
    SaveFavorites(failed);

    folder_rewrite history(m_history_directory);
    SaveRecent(history);
    auto write_history = [&](const std::u16string& name, const std::vector<std::u16string>& list) {
        const bool written = WriteHistoryFile(list, history.path_of(name));
        if (!list.empty())
            history.keep(name, written);
    };
    write_history(u"expression.dat", expression_history);
    write_history(u"file.dat", recent_files);
    history.finish();
    failed.insert(failed.end(), history.failed().begin(), history.failed().end());
    return failed;
}

void CVarnothApp::SaveLanguages(std::vector<std::u16string>& failed)
{
    const std::u16string path = LanguageFilePath();
    if (m_language_file == language_file_read::partly || m_language_file == language_file_read::unread) {
        const auto languages = DateTimeLanguages();
        if (!m_languages_at_start || *languages == *m_languages_at_start)
            return; // nothing changed: the file stays as the user left it
        std::u16string kept;
        for (int number = 1; number <= kMaxKeptLanguageFiles && kept.empty(); ++number) {
            const std::u16string name = number == 1
                                            ? std::u16string(u"datetime_words.previous.xml")
                                            : u"datetime_words.previous-" + FromUtf8(std::to_string(number)) + u".xml";
            if (CopyFileNoOverwrite(path, JoinPath(m_data_directory, name)))
                kept = name;
        }
        if (kept.empty()) {
            failed.push_back(path);
            return;
        }
        DebugOutput("[app] the unreadable language file is kept as %s\n", ToUtf8(kept).c_str());
    }
    if (!SaveDateTimeLanguages(path))
        failed.push_back(path);
}

bool CVarnothApp::SaveSettings()
{
    return ::SaveSettings(settings, SettingsPath());
}

std::u16string CVarnothApp::SaveFailureText(const std::vector<std::u16string>& paths)
{
    std::u16string text = DictionaryText(u"IDS_MSG_CANNOT_SAVE_FILES");
    if (text.empty())
        text = u"The changes could not be saved to these files:";
    for (const std::u16string& path : paths)
        text += u"\n" + path;
    return text;
}

void CVarnothApp::ExitInstance()
{
    // No job may touch the collections while they are written.
    StopWorkThread();
    m_open_files.clear();
    if (HoldsSingleInstance() && m_main_window_ran) {
        std::vector<std::u16string> failed = SaveData();
        if (!SaveSettings())
            failed.push_back(SettingsPath());
        for (const std::u16string& path : failed)
            DebugOutput("[app] cannot write %s\n", ToUtf8(path).c_str());
        // Nothing the user changed may be lost without a word.
        if (!failed.empty())
            ShowMessage(SaveFailureText(failed), MB_OK | MB_ICONERROR);
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
