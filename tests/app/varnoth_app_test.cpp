#include "app/varnoth_app.h"
#include "format/datetime.h"
#include "glossant/dictionary_text.h"
#include "platform/diagnostics.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_cwd = std::filesystem::current_path();
        setenv("VARNOTH_RUNTIME_DIR", (m_dir.path() / "run").c_str(), 1);
        m_dir.write("install/varnoth", "");
        m_dir.write("install/parser/Apache.xml", "<pattern_list/>");
        m_dir.write("install/parser/Syslog.xml", "<pattern_list/>");
        std::filesystem::create_directories(m_dir / "common");
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_cwd);
        unsetenv("VARNOTH_RUNTIME_DIR");
    }

    app_environment Environment() const
    {
        return {(m_dir / "install" / "varnoth").u16string(), (m_dir / "common").u16string()};
    }

    // Makes the installation folder refuse the writability probe.  Removing
    // write permission is not enough when the tests run as root, so the probe
    // folder's name is also taken by a plain file.
    void MakeInstallationReadOnly()
    {
        m_dir.write("install/folder_test", "");
        if (::geteuid() != 0)
            ::chmod((m_dir / "install").c_str(), 0555);
    }

    // Records the message boxes shown while it lives.
    struct recorded_boxes {
        std::vector<std::pair<std::u16string, unsigned>> shown;
        MessagePresenter previous;
        recorded_boxes()
        {
            previous = SetMessagePresenter([this](const std::u16string& text, unsigned flags) {
                shown.emplace_back(text, flags);
                return IDOK;
            });
        }
        ~recorded_boxes() { SetMessagePresenter(previous); }
    };

    void InstallDictionary()
    {
        std::filesystem::create_directories(m_dir / "install" / "dict");
        std::filesystem::copy_file(std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "dict" / "en.lc",
                                   m_dir / "install" / "dict" / "en.lc");
    }

    temp_dir m_dir;
    std::filesystem::path m_cwd;
};

bool Contains(const std::u16string& text, const std::u16string& part)
{
    return text.find(part) != std::u16string::npos;
}

TEST_F(AppTest, WritableInstallationFolderIsTheDataFolder)
{
    CVarnothApp app(Environment());
    EXPECT_EQ(app.DataDirectory(), (m_dir / "install").u16string());
    EXPECT_FALSE(app.CopiedShippedParsers());
    EXPECT_FALSE(m_dir.exists("install/folder_test"));
    EXPECT_FALSE(m_dir.exists("common/Ostrel"));
    for (const char* sub : {"parser", "filter", "highlight", "history"})
        EXPECT_TRUE(std::filesystem::is_directory(m_dir / "install" / sub)) << sub;
    EXPECT_FALSE(m_dir.exists("install/dict")); // never created
    EXPECT_EQ(std::filesystem::current_path(), m_dir / "install");
    EXPECT_EQ(TheApp(), &app);
}

TEST_F(AppTest, ReadOnlyInstallationCopiesShippedParsersWithoutOverwriting)
{
    MakeInstallationReadOnly();
    const std::string data = "common/Ostrel/Varnoth/";
    {
        CVarnothApp app(Environment());
        EXPECT_EQ(app.DataDirectory(), (m_dir / "common" / "Ostrel" / "Varnoth").u16string());
        EXPECT_TRUE(app.CopiedShippedParsers());
        EXPECT_EQ(m_dir.read(data + "parser/Apache.xml"), "<pattern_list/>");
        EXPECT_TRUE(m_dir.exists(data + "parser/Syslog.xml"));
        EXPECT_TRUE(std::filesystem::is_directory(m_dir / (data + "history")));
    }
    m_dir.write(data + "parser/Apache.xml", "<pattern_list><edited/></pattern_list>");
    std::filesystem::remove(m_dir / (data + "parser/Syslog.xml"));
    CVarnothApp again(Environment());
    EXPECT_EQ(m_dir.read(data + "parser/Apache.xml"), "<pattern_list><edited/></pattern_list>");
    EXPECT_TRUE(m_dir.exists(data + "parser/Syslog.xml")); // a deleted shipped parser comes back
}

TEST_F(AppTest, SecondInstanceIsRefusedAndWritesNothing)
{
    CVarnothApp first(Environment());
    ASSERT_TRUE(first.AcquireSingleInstance());
    {
        CVarnothApp second(Environment());
        EXPECT_FALSE(second.AcquireSingleInstance());
        second.SetMainWindowRan();
        second.AddRecentFile(u"/var/log/syslog");
        second.ExitInstance();
    }
    EXPECT_FALSE(m_dir.exists("install/setting.xml"));
    EXPECT_FALSE(m_dir.exists("install/history/file.dat"));
}

TEST_F(AppTest, ExitSavesSettingsAndHistoriesAndStartReadsThemBack)
{
    {
        CVarnothApp app(Environment());
        ASSERT_TRUE(app.AcquireSingleInstance());
        app.LoadSettings();
        app.LoadData();
        app.settings.max_loading_lines_to_save = 777;
        app.AddRecentFile(u"/var/log/syslog");
        app.AddExpressionHistory(u"ERROR|FATAL");
        app.SetMainWindowRan();
        app.ExitInstance();
    }
    CVarnothApp app(Environment());
    app.LoadSettings();
    app.LoadData();
    EXPECT_EQ(app.settings.max_loading_lines, 777u);
    EXPECT_EQ(app.recent_files, std::vector<std::u16string>{u"/var/log/syslog"});
    EXPECT_EQ(app.expression_history, std::vector<std::u16string>{u"ERROR|FATAL"});
}

TEST_F(AppTest, DateTimeLanguagesAreLoadedAtStartAndWrittenAtExit)
{
    {
        CVarnothApp app(Environment());
        ASSERT_TRUE(app.AcquireSingleInstance());
        app.LoadData();
        DateTimeLanguageTable table;
        tagDATETIME_WORDS words = DefaultDateTimeWords();
        words.full_name[0] = u"Januar";
        table[u"Deutsch"] = words;
        SetDateTimeLanguages(table);
        app.SetMainWindowRan();
        app.ExitInstance();
    }
    EXPECT_TRUE(m_dir.exists("install/datetime_words.xml"));
    SetDateTimeLanguages({});
    CVarnothApp app(Environment());
    app.LoadData();
    EXPECT_EQ(FindDateTimeWords(u"Deutsch").full_name[0], u"Januar");
    SetDateTimeLanguages({});
}

TEST_F(AppTest, LanguageFileNotReadWholeIsLeftAsItWasAtExit)
{
    const std::string entry = "<language><name>Deutsch</name><am>vorm.</am><pm>nachm.</pm><full_name>"
                              "<m1>Januar</m1></full_name></language>"; // eleven months short
    const std::pair<const char*, std::string> files[] = {
        {"another root", "<?xml version=\"1.0\"?>\n<languages><language/></languages>\n"},
        {"a skipped entry", "<?xml version=\"1.0\"?>\n<all>" + entry + "</all>\n"},
        {"broken XML", "<?xml version=\"1.0\"?>\n<all><language><name>Dan"},
    };
    for (const auto& [why, bytes] : files) {
        m_dir.write("install/datetime_words.xml", bytes);
        {
            CVarnothApp app(Environment());
            ASSERT_TRUE(app.AcquireSingleInstance());
            app.LoadData();
            EXPECT_TRUE(DateTimeLanguages()->empty()) << why; // usable, only the default words
            recorded_boxes boxes;
            app.SetMainWindowRan();
            app.ExitInstance();
            EXPECT_TRUE(boxes.shown.empty()) << why;
        }
        EXPECT_EQ(m_dir.read("install/datetime_words.xml"), bytes) << why;
        EXPECT_FALSE(m_dir.exists("install/datetime_words.previous.xml")) << why;
    }
    SetDateTimeLanguages({});
}

TEST_F(AppTest, LanguagesAddedBesideAnUnreadFileAreWrittenAndTheFileKept)
{
    const std::string broken = "<?xml version=\"1.0\"?>\n<all><language><name>Dan";
    tagDATETIME_WORDS words = DefaultDateTimeWords();
    words.full_name[0] = u"Januar";
    for (const char* kept : {"datetime_words.previous.xml", "datetime_words.previous-2.xml"}) {
        m_dir.write("install/datetime_words.xml", broken);
        {
            CVarnothApp app(Environment());
            ASSERT_TRUE(app.AcquireSingleInstance());
            app.LoadData();
            SetDateTimeLanguages({{u"Deutsch", words}});
            app.SetMainWindowRan();
            app.ExitInstance();
        }
        EXPECT_EQ(m_dir.read(std::string("install/") + kept), broken) << kept;
        SetDateTimeLanguages({});
        language_file_read how = language_file_read::missing;
        ASSERT_TRUE(LoadDateTimeLanguages((m_dir / "install" / "datetime_words.xml").u16string(), &how));
        EXPECT_EQ(how, language_file_read::whole);
        EXPECT_TRUE(FindDateTimeWords(u"Deutsch") == words);
    }
    SetDateTimeLanguages({});
}

TEST_F(AppTest, LanguagesThatCanNeitherKeepNorReplaceTheOldFileAreReported)
{
    // A folder stands where the file belongs: it cannot be copied aside nor replaced.
    std::filesystem::create_directories(m_dir / "install" / "datetime_words.xml");
    CVarnothApp app(Environment());
    ASSERT_TRUE(app.AcquireSingleInstance());
    app.LoadData();
    SetDateTimeLanguages({{u"Deutsch", DefaultDateTimeWords()}});
    const std::vector<std::u16string> failed = app.SaveData();
    EXPECT_NE(std::find(failed.begin(), failed.end(), app.LanguageFilePath()), failed.end());
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "install" / "datetime_words.xml"));
    SetDateTimeLanguages({});
}

TEST_F(AppTest, FailedWriteAtExitKeepsThePreviousFilesAndRemovesOnlyStaleOnes)
{
    m_dir.write("install/history/expression.dat", "previous expressions");
    m_dir.write("install/history/stale.xml", "left from an earlier run");
    m_dir.write("install/setting.xml", "previous settings");
    CVarnothApp app(Environment());
    ASSERT_TRUE(app.AcquireSingleInstance());
    app.AddExpressionHistory(u"new expression");
    app.AddRecentFile(u"/tmp/a.log");
    app.SetMainWindowRan();

    SetWriteFailureHook(
        [](std::u16string_view path) { return path.ends_with(u"expression.dat") || path.ends_with(u"setting.xml"); });
    EXPECT_EQ(app.SaveData(), std::vector<std::u16string>{app.HistoryDirectory() + u"/expression.dat"});
    EXPECT_FALSE(app.SaveSettings());
    SetWriteFailureHook(nullptr);

    EXPECT_EQ(m_dir.read("install/history/expression.dat"), "previous expressions");
    EXPECT_EQ(m_dir.read("install/setting.xml"), "previous settings");
    EXPECT_TRUE(m_dir.exists("install/history/file.dat"));
    EXPECT_FALSE(m_dir.exists("install/history/stale.xml"));
    EXPECT_EQ(ListFiles(app.HistoryDirectory(), u"").size(), 2u); // no temporaries left
}

TEST_F(AppTest, ExitNamesEveryFileThatCouldNotBeWrittenInOneErrorBox)
{
    InstallDictionary();
    CVarnothApp app(Environment());
    ASSERT_TRUE(app.AcquireSingleInstance());
    ASSERT_TRUE(app.InitializeDictionary());
    ASSERT_TRUE(app.LoadDictionary());
    const std::u16string heading = DictionaryText(u"IDS_MSG_CANNOT_SAVE_FILES");
    ASSERT_FALSE(heading.empty());
    app.AddExpressionHistory(u"timeout");
    app.AddRecentFile(u"/var/log/syslog");
    app.SetMainWindowRan();

    recorded_boxes boxes;
    SetWriteFailureHook([](std::u16string_view path) {
        return path.ends_with(u"expression.dat") || path.ends_with(u"setting.xml")
               || path.ends_with(u"datetime_words.xml");
    });
    app.ExitInstance();
    SetWriteFailureHook(nullptr);

    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::u16string& text = boxes.shown[0].first;
    EXPECT_EQ(boxes.shown[0].second, unsigned(MB_OK | MB_ICONERROR));
    EXPECT_EQ(text.rfind(heading, 0), 0u) << "the box starts with the dictionary's text";
    for (const std::u16string& failed : {app.HistoryDirectory() + u"/expression.dat", app.SettingsPath(),
                                         app.DataDirectory() + u"/datetime_words.xml"})
        EXPECT_TRUE(Contains(text, u"\n" + failed)) << std::string(failed.begin(), failed.end());
    EXPECT_FALSE(Contains(text, u"file.dat")); // written
}

TEST_F(AppTest, ExitWithEveryFileWrittenShowsNoBox)
{
    CVarnothApp app(Environment());
    ASSERT_TRUE(app.AcquireSingleInstance());
    app.AddRecentFile(u"/var/log/syslog");
    app.SetMainWindowRan();
    recorded_boxes boxes;
    app.ExitInstance();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(m_dir.exists("install/history/file.dat"));
}

TEST_F(AppTest, DataFolderThatCannotBeCreatedIsReportedAndItsFilesNamedAtExit)
{
    MakeInstallationReadOnly();
    m_dir.write("blocker", "a file where the data folder's parent should be");
    std::vector<std::string> diagnostics;
    SetDiagnosticsSink([&](const std::string& line) { diagnostics.push_back(line); });
    CVarnothApp app({(m_dir / "install" / "varnoth").u16string(), (m_dir / "blocker").u16string()});
    SetDiagnosticsSink(nullptr);

    const std::u16string data = (m_dir / "blocker" / "Ostrel" / "Varnoth").u16string();
    EXPECT_EQ(app.DataDirectory(), data);
    const std::vector<std::u16string> expected = {(m_dir / "blocker" / "Ostrel").u16string(),
                                                  data,
                                                  data + u"/parser",
                                                  data + u"/filter",
                                                  data + u"/highlight",
                                                  data + u"/history"};
    EXPECT_EQ(app.UncreatedFolders(), expected);
    const auto reported = std::count_if(diagnostics.begin(), diagnostics.end(), [](const std::string& line) {
        return line.find("cannot create the folder") != std::string::npos;
    });
    EXPECT_EQ(reported, 6);

    ASSERT_TRUE(app.AcquireSingleInstance());
    app.AddRecentFile(u"/var/log/syslog");
    app.SetMainWindowRan();
    recorded_boxes boxes;
    app.ExitInstance();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(Contains(boxes.shown[0].first, app.SettingsPath()));
    EXPECT_TRUE(Contains(boxes.shown[0].first, data + u"/history/file.dat"));
}

TEST_F(AppTest, MissingSettingsFileGivesTheDocumentedDefaults)
{
    CVarnothApp app(Environment());
    app.LoadSettings();
    const app_settings& s = app.settings;
    EXPECT_EQ(s.max_loading_lines, 100000u);
    EXPECT_EQ(s.max_loading_lines_to_save, 100000u);
    EXPECT_TRUE(s.load_tail_first);
    EXPECT_TRUE(s.tail_on_refresh);
    EXPECT_EQ(s.search_highlight, 0x0000FFFF); // yellow
    EXPECT_EQ(s.column_separator, u" ");
    EXPECT_TRUE(s.main_wnd_maximized);
    EXPECT_TRUE(s.main_wnd_rect.empty());
    EXPECT_EQ(s.main_wnd_rect.left, 0);
    EXPECT_EQ(s.main_wnd_rect.top, 0);
    EXPECT_EQ(s.main_wnd_rect.right, 0);
    EXPECT_EQ(s.main_wnd_rect.bottom, 0);
}

TEST_F(AppTest, EmptyHistoryLeavesNoFileAfterExit)
{
    m_dir.write("install/history/file.dat", "old");
    CVarnothApp app(Environment());
    ASSERT_TRUE(app.AcquireSingleInstance());
    app.SetMainWindowRan();
    app.ExitInstance();
    EXPECT_FALSE(m_dir.exists("install/history/file.dat"));
    EXPECT_FALSE(m_dir.exists("install/history/expression.dat"));
    EXPECT_TRUE(m_dir.exists("install/setting.xml"));
}

TEST_F(AppTest, MissingOrBrokenDictionaryFailsToLoad)
{
    CVarnothApp app(Environment());
    ASSERT_TRUE(app.InitializeDictionary());
    EXPECT_FALSE(app.LoadDictionary());
    m_dir.write("install/dict/en.lc", "\xFF\xFE\x00\x00 not a dictionary");
    EXPECT_FALSE(app.LoadDictionary());
    app.ExitInstance();
}

} // namespace
