#include "app/varnoth_app.h"

#include "app/folder_rewrite.h"
#include "xml/xml_file.h"
#include "format/datetime.h"
#include "glossant/dictionary_text.h"
#include "glossant/glossant.h"
#include "logfile/log_file.h"
#include "platform/files.h"
#include "platform/named_mutex.h"

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
    if (g_app == this)
        g_app = nullptr;
}

void CVarnothApp::PrepareDataDirectory(const app_environment& environment)
{
    module_path_ = environment.module_path;
    const std::size_t slash = module_path_.rfind(u'/');
    installation_directory_ = slash == std::u16string::npos ? std::u16string() : module_path_.substr(0, slash);

    // Probe whether the installation folder is writable by creating a file in
    // a folder of our own there.
    const std::u16string probe_folder = installation_directory_ + u"/folder_test";
    const std::u16string probe_file = probe_folder + u"/file_test";
    MakeDirectory(probe_folder);
    const int fd = ::open(NativePath(probe_file).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        RemoveEmptyDirectory(probe_folder);
        data_directory_ = environment.common_data_folder + u"/Ostrel";
        MakeDirectory(data_directory_);
        data_directory_ += u"/Varnoth";
        MakeDirectory(data_directory_);
        copy_shipped_parsers_ = true;
    } else {
        ::close(fd);
        RemoveFile(probe_file);
        RemoveEmptyDirectory(probe_folder);
        data_directory_ = installation_directory_;
    }

    parser_directory_ = data_directory_ + u"/parser";
    filter_directory_ = data_directory_ + u"/filter";
    highlight_directory_ = data_directory_ + u"/highlight";
    history_directory_ = data_directory_ + u"/history";
    dictionary_directory_ = installation_directory_ + u"/dict";
    help_directory_ = installation_directory_ + u"/help";
    MakeDirectory(parser_directory_);
    MakeDirectory(filter_directory_);
    MakeDirectory(highlight_directory_);
    MakeDirectory(history_directory_);

    if (copy_shipped_parsers_) {
        // A parser the user already has (perhaps edited) is never overwritten.
        const std::u16string shipped = installation_directory_ + u"/parser";
        for (const std::u16string& name : ListFiles(shipped, u".xml"))
            CopyFileNoOverwrite(JoinPath(shipped, name), JoinPath(parser_directory_, name));
    }

    if (!installation_directory_.empty() && ::chdir(NativePath(installation_directory_).c_str()) != 0) {
        // The current folder only matters for relative paths the user types;
        // staying where we are is harmless.
    }
}

bool CVarnothApp::AcquireSingleInstance()
{
    auto mutex = std::make_unique<named_mutex>(u"Varnoth");
    if (!mutex->try_lock())
        return false;
    instance_mutex_ = std::move(mutex);
    return true;
}

bool CVarnothApp::HoldsSingleInstance() const
{
    return instance_mutex_ && instance_mutex_->owned();
}

bool CVarnothApp::InitializeDictionary()
{
    glossant_initialized_ = Glossant::Initialize();
    return glossant_initialized_;
}

bool CVarnothApp::LoadDictionary()
{
    const std::u16string path = dictionary_directory_ + u"/" + LanguageCode() + u".lc";
    if (!IsReadableFile(path))
        return false;
    dictionary_loaded_ = Glossant::LoadDictionary(path, "dict");
    return dictionary_loaded_;
}

void CVarnothApp::BuildTitle()
{
    title_ = DictionaryText(u"IDS_APPNAME");
}

void CVarnothApp::LoadSettings()
{
    ::LoadSettings(settings, data_directory_ + u"/setting.xml");
}

void CVarnothApp::LoadData()
{
    SetDateTimeLanguages({});
    LoadDateTimeLanguages(JoinPath(data_directory_, std::u16string(DATETIME_WORDS_FILE_NAME)));

    ReadHistoryFile(expression_history, history_directory_ + u"/expression.dat");
    ReadHistoryFile(recent_files, history_directory_ + u"/file.dat");
}

bool CVarnothApp::SaveData()
{
    bool ok = SaveDateTimeLanguages(JoinPath(data_directory_, std::u16string(DATETIME_WORDS_FILE_NAME)));

    folder_rewrite history(history_directory_);
    auto write_history = [&](const std::u16string& name, const std::vector<std::u16string>& list) {
        const bool written = WriteHistoryFile(list, history.path_of(name));
        if (!list.empty())
            history.keep(name, written);
    };
    write_history(u"expression.dat", expression_history);
    write_history(u"file.dat", recent_files);
    ok = history.finish() && ok;
    return ok;
}

bool CVarnothApp::SaveSettings()
{
    return ::SaveSettings(settings, data_directory_ + u"/setting.xml");
}

void CVarnothApp::ExitInstance()
{
    if (HoldsSingleInstance() && main_window_ran_) {
        SaveData();
        SaveSettings();
    }
    if (glossant_initialized_)
        Glossant::UnInitialize();
    glossant_initialized_ = false;
    dictionary_loaded_ = false;
    instance_mutex_.reset();

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
