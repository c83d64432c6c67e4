#include "app/varnoth_app.h"
#include "format/datetime.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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

    temp_dir m_dir;
    std::filesystem::path m_cwd;
};

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
    EXPECT_FALSE(app.SaveData());
    EXPECT_FALSE(app.SaveSettings());
    SetWriteFailureHook(nullptr);

    EXPECT_EQ(m_dir.read("install/history/expression.dat"), "previous expressions");
    EXPECT_EQ(m_dir.read("install/setting.xml"), "previous settings");
    EXPECT_TRUE(m_dir.exists("install/history/file.dat"));
    EXPECT_FALSE(m_dir.exists("install/history/stale.xml"));
    EXPECT_EQ(ListFiles(app.HistoryDirectory(), u"").size(), 2u); // no temporaries left
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
