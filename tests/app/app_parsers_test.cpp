// The application's parsers: the default parser, the parser files read at
// start and written at exit, FindParser and GetParser.
#include "app/varnoth_app.h"
#include "logfile/log_file.h"
#include "parser/pattern_xml.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

log_pattern_list Columns(std::initializer_list<const char16_t*> ends)
{
    log_pattern_list parser;
    int i = 0;
    for (const char16_t* end : ends) {
        log_pattern item(u"c" + std::u16string(1, static_cast<char16_t>(u'0' + i++)));
        item.end = end;
        parser.push_back(item);
    }
    return parser;
}

class AppParsers : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_cwd = std::filesystem::current_path();
        setenv("VARNOTH_RUNTIME_DIR", (m_dir.path() / "run").c_str(), 1);
        m_dir.write("install/varnoth", "");
        std::filesystem::create_directories(m_dir / "install" / "dict");
        std::filesystem::copy_file(std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "dict" / "en.lc",
                                   m_dir / "install" / "dict" / "en.lc");
        std::filesystem::create_directories(m_dir / "common");
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_cwd);
        unsetenv("VARNOTH_RUNTIME_DIR");
        EXPECT_EQ(log_file::wait_for_discards(20000), 0);
    }

    app_environment Environment() const
    {
        return {(m_dir / "install" / "varnoth").u16string(), (m_dir / "common").u16string()};
    }

    // Runs start-up to the main window and hands the application to body,
    // then exits (saving).
    template <class Body> void Run(Body body)
    {
        CVarnothApp app(Environment());
        ASSERT_TRUE(app.AcquireSingleInstance());
        ASSERT_TRUE(app.InitializeDictionary());
        ASSERT_TRUE(app.LoadDictionary());
        app.LoadSettings();
        app.LoadData();
        app.SetMainWindowRan();
        body(app);
        app.ExitInstance();
    }

    temp_dir m_dir;
    std::filesystem::path m_cwd;
};

TEST_F(AppParsers, TheDefaultParserIsOneColumnNamedByTheDictionary)
{
    Run([](CVarnothApp& app) {
        const log_pattern_list& parser = app.DefaultParser();
        ASSERT_EQ(parser.size(), 1u);
        EXPECT_EQ(parser.front().name, u"Content");
        EXPECT_TRUE(parser.front().start.empty());
        EXPECT_TRUE(parser.front().end.empty());
        EXPECT_EQ(parser.front().data_format.data_type, DATA_TYPE_TEXT);
        EXPECT_TRUE(app.Parsers().empty()); // it is no entry of the list
    });
    EXPECT_TRUE(ListFiles((m_dir / "install" / "parser").u16string(), u"").empty()); // nor written
}

TEST_F(AppParsers, FindParserTakesExactNamesAndTheLastMatch)
{
    Run([](CVarnothApp& app) {
        app.Parsers().push_back({Columns({u";", u""}), u"web"});
        app.Parsers().push_back({Columns({u"|", u"|", u""}), u"web"});
        app.Parsers().push_back({Columns({u""}), u"Other"});
        EXPECT_EQ(leaf_count(app.FindParser(u"web")), 3); // the later entry
        EXPECT_EQ(&app.FindParser(u"Other"), &app.Parsers().back().parser);
        EXPECT_EQ(&app.FindParser(u"other"), &app.DefaultParser()); // case counts
        EXPECT_EQ(&app.FindParser(u"Web"), &app.DefaultParser());
        EXPECT_EQ(&app.FindParser(u"deleted"), &app.DefaultParser());
        EXPECT_EQ(&app.FindParser(u""), &app.DefaultParser());
    });
}

TEST_F(AppParsers, GetParserChoosesAnEntryOrTheDefaultAndNamesIt)
{
    m_dir.write("f.log", "a;b;c\nd;e;f\n");
    m_dir.write("plain.log", "no delimiters\n");
    Run([&](CVarnothApp& app) {
        app.Parsers().push_back({Columns({u";", u""}), u"two"});
        app.Parsers().push_back({Columns({u";", u";", u""}), u"three"});
        app.Parsers().push_back({Columns({u"|", u"|", u"|", u""}), u"four"});
        log_file file;
        ASSERT_TRUE(file.open((m_dir / "f.log").u16string(), 0, false));
        std::u16string name = u"stale";
        const log_pattern_list* parser = app.GetParser(file, name);
        EXPECT_EQ(name, u"three");
        EXPECT_EQ(parser, &app.FindParser(name));
        EXPECT_TRUE(file.read_window().lines().empty());

        log_file plain;
        ASSERT_TRUE(plain.open((m_dir / "plain.log").u16string(), 0, false));
        parser = app.GetParser(plain, name);
        EXPECT_EQ(name, u"");
        EXPECT_EQ(parser, &app.DefaultParser());
    });
}

TEST_F(AppParsers, ParsersAreWrittenAtExitAndReadAtStart)
{
    log_pattern_list spaced = Columns({u" ", u"\t", u""});
    spaced.front().start = u" ";
    Run([&](CVarnothApp& app) {
        app.Parsers().push_back({spaced, u"spaced"});
        app.Parsers().push_back({Columns({u";", u""}), u"Web server"});
        app.Parsers().push_back({log_pattern_list(), u"empty"}); // nothing is written for it
    });
    const std::u16string folder = (m_dir / "install" / "parser").u16string();
    std::vector<std::u16string> files = ListFiles(folder, u"");
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::u16string>{u"Web server.xml", u"spaced.xml"}));
    Run([&](CVarnothApp& app) {
        ASSERT_EQ(app.Parsers().size(), 2u);
        EXPECT_TRUE(app.FindParser(u"spaced") == spaced); // white space survives
        EXPECT_EQ(leaf_count(app.FindParser(u"Web server")), 2);
        // A renamed entry is written under its new name; the old file goes.
        for (tagPARSER_ITEM& entry : app.Parsers())
            if (entry.name == u"spaced")
                entry.name = u"renamed";
    });
    files = ListFiles(folder, u"");
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::u16string>{u"Web server.xml", u"renamed.xml"}));
}

TEST_F(AppParsers, FilesThatDidNotLoadAreKeptAndUnstorableNamesAreRefused)
{
    m_dir.write("install/parser/half edited.xml", "<pattern_list><pattern_item>");
    m_dir.write("install/parser/notes.txt", "a user's notes");
    bool saved = true;
    {
        CVarnothApp app(Environment());
        ASSERT_TRUE(app.AcquireSingleInstance());
        app.LoadData();
        EXPECT_TRUE(app.Parsers().empty());
        app.Parsers().push_back({Columns({u""}), u"../outside"});
        app.Parsers().push_back({Columns({u""}), u"good"});
        saved = app.SaveData().empty();
        app.ExitInstance();
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(m_dir.read("install/parser/half edited.xml"), "<pattern_list><pattern_item>");
    EXPECT_TRUE(m_dir.exists("install/parser/good.xml"));
    EXPECT_FALSE(m_dir.exists("install/outside.xml"));
    EXPECT_FALSE(m_dir.exists("install/parser/notes.txt")); // the folder holds parsers only
}

TEST_F(AppParsers, AFailedWriteKeepsThePreviousParserFile)
{
    Run([](CVarnothApp& app) { app.Parsers().push_back({Columns({u";", u""}), u"kept"}); });
    const std::string before = m_dir.read("install/parser/kept.xml");
    ASSERT_FALSE(before.empty());
    CVarnothApp app(Environment());
    app.LoadData();
    ASSERT_EQ(app.Parsers().size(), 1u);
    app.Parsers().front().parser = Columns({u"|", u"|", u""});
    SetWriteFailureHook([](std::u16string_view path) { return path.ends_with(u"kept.xml"); });
    EXPECT_FALSE(app.SaveData().empty());
    SetWriteFailureHook(nullptr);
    EXPECT_EQ(m_dir.read("install/parser/kept.xml"), before);
    EXPECT_EQ(ListFiles((m_dir / "install" / "parser").u16string(), u"").size(), 1u);
}

TEST_F(AppParsers, AParserFilePutIntoTheFolderWhileRunningIsNotDeletedAtExit)
{
    Run([](CVarnothApp& app) { app.Parsers().push_back({Columns({u";", u""}), u"known"}); });
    Run([&](CVarnothApp& app) {
        // The user drops a parser file in by hand, and removes "known" from the list.
        m_dir.write("install/parser/by hand.xml", "<pattern_list/>");
        app.Parsers().clear();
    });
    EXPECT_EQ(m_dir.read("install/parser/by hand.xml"), "<pattern_list/>");
    EXPECT_FALSE(m_dir.exists("install/parser/known.xml"));
}

} // namespace
