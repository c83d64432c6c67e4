#include "app/settings.h"
#include "support/temp_dir.h"
#include "xml/xml_file.h"

#include <gtest/gtest.h>

namespace {

std::string SettingsXml(const std::string& children)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<settings>\n" + children + "</settings>\n";
}

app_settings LoadFrom(const temp_dir& dir, const std::string& xml)
{
    dir.write("setting.xml", xml);
    app_settings settings;
    LoadSettings(settings, dir.wide("setting.xml"));
    return settings;
}

TEST(LoadSettings, MaxLoadingLinesIsParsedAsTheCLibraryDoesAndClamped)
{
    struct Row {
        const char* text;
        unsigned expected;
    } rows[] = {
        {"20000000", 10000000},
        {"-5", 10000000},
        {"0", 0},
        {"  250abc", 250},
        {"abc", 0},
        {"+42", 42},
        {"99999999999999999999999", 10000000},
    };
    temp_dir dir;
    for (const Row& row : rows) {
        app_settings s =
            LoadFrom(dir, SettingsXml(std::string("<max_loading_lines>") + row.text + "</max_loading_lines>"));
        EXPECT_EQ(s.max_loading_lines, row.expected) << row.text;
        EXPECT_EQ(s.max_loading_lines_to_save, row.expected) << row.text;
    }
}

TEST(LoadSettings, FlagsAreFalseOnlyForExactlyZero)
{
    temp_dir dir;
    app_settings s =
        LoadFrom(dir, SettingsXml("<load_tail_first>no</load_tail_first><tail_on_refresh>0</tail_on_refresh>"));
    EXPECT_TRUE(s.load_tail_first);
    EXPECT_FALSE(s.tail_on_refresh);
    s = LoadFrom(dir, SettingsXml("<load_tail_first>00</load_tail_first>"));
    EXPECT_TRUE(s.load_tail_first);
}

TEST(LoadSettings, WindowRectangleRules)
{
    temp_dir dir;
    app_settings s = LoadFrom(
        dir, SettingsXml("<main_wnd_maximized>0</main_wnd_maximized><main_wnd_rect>10,20,810,620</main_wnd_rect>"));
    EXPECT_FALSE(s.main_wnd_maximized);
    EXPECT_EQ(s.main_wnd_rect.left, 10);
    EXPECT_EQ(s.main_wnd_rect.bottom, 620);

    for (const char* bad : {"10,20,10,620", "10,20,810", "", "x"}) {
        s = LoadFrom(dir, SettingsXml(std::string("<main_wnd_maximized>0</main_wnd_maximized><main_wnd_rect>") + bad
                                      + "</main_wnd_rect>"));
        EXPECT_TRUE(s.main_wnd_maximized) << bad;
        EXPECT_TRUE(s.main_wnd_rect.empty()) << bad;
    }
    s = LoadFrom(dir, SettingsXml("<main_wnd_maximized>0</main_wnd_maximized>"));
    EXPECT_TRUE(s.main_wnd_maximized);
}

// Every field against the documented defaults, written out here rather
// than taken from a default-constructed object.
void ExpectDocumentedDefaults(const app_settings& s, const std::string& context)
{
    EXPECT_EQ(s.max_loading_lines, 100000u) << context;
    EXPECT_EQ(s.max_loading_lines_to_save, 100000u) << context;
    EXPECT_TRUE(s.load_tail_first) << context;
    EXPECT_TRUE(s.tail_on_refresh) << context;
    EXPECT_EQ(s.search_highlight, 0x0000FFFF) << context; // yellow, 0x00BBGGRR
    EXPECT_EQ(s.column_separator, u" ") << context;
    EXPECT_TRUE(s.main_wnd_maximized) << context;
    EXPECT_EQ(s.main_wnd_rect.left, 0) << context;
    EXPECT_EQ(s.main_wnd_rect.top, 0) << context;
    EXPECT_EQ(s.main_wnd_rect.right, 0) << context;
    EXPECT_EQ(s.main_wnd_rect.bottom, 0) << context;
    EXPECT_TRUE(s.main_wnd_rect.empty()) << context;
}

TEST(LoadSettings, MissingOrMalformedFileKeepsTheDocumentedDefaults)
{
    temp_dir dir;
    for (const char* text : {"", "<settings><max_loading_lines>5</max", "\xFF\xFE garbage", "<?xml version=\"1.0\"?>"})
        ExpectDocumentedDefaults(LoadFrom(dir, text), text);
    app_settings s;
    LoadSettings(s, dir.wide("missing.xml"));
    ExpectDocumentedDefaults(s, "missing file");
}

TEST(SaveSettings, WritesTheSevenElementsInOrderAndRoundTrips)
{
    temp_dir dir;
    app_settings s;
    s.max_loading_lines = 5;
    s.max_loading_lines_to_save = 300000;
    s.load_tail_first = false;
    s.search_highlight = 0x00112233;
    s.column_separator = u"\t";
    s.main_wnd_maximized = false;
    s.main_wnd_rect = {1, 2, 803, 604};
    s.site_address = u"https://logs.test";
    s.support_mail.clear();
    ASSERT_TRUE(SaveSettings(s, dir.wide("setting.xml")));
    const std::string text = dir.read("setting.xml");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<settings>\n    "
                         "<max_loading_lines>300000</max_loading_lines>\n"
                         "    <load_tail_first>0</load_tail_first>\n    <tail_on_refresh>1</tail_on_refresh>\n"
                         "    <search_highlight>1122867</search_highlight>\n",
                         0),
              0u)
        << text;
    EXPECT_NE(
        text.find("<main_wnd_maximized>0</main_wnd_maximized>\n    <main_wnd_rect>1,2,803,604</main_wnd_rect>\n"
                  "    <site_address>https://logs.test</site_address>\n    <support_mail></support_mail>\n</settings>"),
        std::string::npos);

    app_settings back;
    LoadSettings(back, dir.wide("setting.xml"));
    EXPECT_EQ(back.max_loading_lines, 300000u);
    EXPECT_FALSE(back.load_tail_first);
    EXPECT_EQ(back.search_highlight, 0x00112233);
    EXPECT_EQ(back.column_separator, u"\t"); // a tab must survive the XML reader
    EXPECT_FALSE(back.main_wnd_maximized);
    EXPECT_EQ(back.main_wnd_rect.right, 803);
    EXPECT_EQ(back.site_address, u"https://logs.test");
    EXPECT_EQ(back.support_mail, u""); // written empty, read back empty
}

TEST(LoadSettings, SiteAddressLosesItsEndingSlashesAndNeverBecomesEmpty)
{
    struct Row {
        const char* xml;
        std::u16string site;
        std::u16string mail;
    } rows[] = {
        {"", kDefaultSiteAddress, kDefaultSupportMail},
        {"<site_address>http://127.0.0.1:8080//</site_address>", u"http://127.0.0.1:8080", kDefaultSupportMail},
        {"<site_address>/</site_address><support_mail>me@host.test</support_mail>", kDefaultSiteAddress,
         u"me@host.test"},
        {"<site_address></site_address><support_mail/>", kDefaultSiteAddress, u""},
    };
    temp_dir dir;
    for (const Row& row : rows) {
        const app_settings s = LoadFrom(dir, SettingsXml(row.xml));
        EXPECT_EQ(s.site_address, row.site) << row.xml;
        EXPECT_EQ(s.support_mail, row.mail) << row.xml;
    }
}

TEST(SaveSettings, LineNumbersAndFoldersAreWrittenOnlyWhenSetAndRoundTrip)
{
    temp_dir dir;
    app_settings s;
    ASSERT_TRUE(SaveSettings(s, dir.wide("plain.xml")));
    const std::string plain = dir.read("plain.xml");
    for (const char* element : {"show_line_numbers", "open_folder", "export_folder"})
        EXPECT_EQ(plain.find(element), std::string::npos) << element;

    s.show_line_numbers = true;
    s.open_folder = u"/var/log/été & <old>";
    s.export_folder = u"/home/u/Documents";
    ASSERT_TRUE(SaveSettings(s, dir.wide("setting.xml")));
    app_settings back;
    LoadSettings(back, dir.wide("setting.xml"));
    EXPECT_TRUE(back.show_line_numbers);
    EXPECT_EQ(back.open_folder, s.open_folder);
    EXPECT_EQ(back.export_folder, s.export_folder);
    // A file without them keeps what the settings had.
    LoadSettings(back, dir.wide("plain.xml"));
    EXPECT_TRUE(back.show_line_numbers);
    EXPECT_EQ(back.open_folder, s.open_folder);
}

// The results pane's height: kept when it is a sensible number of pixels,
// dropped (0: the pane's default) otherwise, and written only once set.
TEST(LoadSettings, ResultsPaneHeightTakesOnlySensiblePixels)
{
    temp_dir dir;
    struct Row {
        const char* xml;
        int height;
    };
    const Row rows[] = {
        {"<results_pane_height>240</results_pane_height>", 240},
        {"<results_pane_height>1</results_pane_height>", 1},
        {"<results_pane_height>100000</results_pane_height>", 100000},
        {"<results_pane_height>100001</results_pane_height>", 0},
        {"<results_pane_height>0</results_pane_height>", 0},
        {"<results_pane_height>-120</results_pane_height>", 0},
        {"<results_pane_height>99999999999999999999999</results_pane_height>", 0},
        {"<results_pane_height>tall</results_pane_height>", 0},
        {"<results_pane_height></results_pane_height>", 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(LoadFrom(dir, SettingsXml(row.xml)).results_pane_height, row.height) << row.xml;

    app_settings s;
    ASSERT_TRUE(SaveSettings(s, dir.wide("plain.xml")));
    EXPECT_EQ(dir.read("plain.xml").find("results_pane_height"), std::string::npos);
    s.results_pane_height = 321;
    ASSERT_TRUE(SaveSettings(s, dir.wide("set.xml")));
    app_settings back;
    LoadSettings(back, dir.wide("set.xml"));
    EXPECT_EQ(back.results_pane_height, 321);
}

TEST(SaveSettings, SeparatorsOfBlanksSurviveAndAnEmptyElementGivesABlank)
{
    temp_dir dir;
    for (std::u16string sep : {u" ", u"  ", u" | ", u"\t\t"}) {
        app_settings s;
        s.column_separator = sep;
        ASSERT_TRUE(SaveSettings(s, dir.wide("setting.xml")));
        app_settings back;
        back.column_separator = u"x";
        LoadSettings(back, dir.wide("setting.xml"));
        EXPECT_EQ(back.column_separator, sep);
    }
    app_settings s = LoadFrom(dir, SettingsXml("<copy_column_seperator></copy_column_seperator>"));
    EXPECT_EQ(s.column_separator, u" ");
}

std::string Utf16Le(const std::u16string& text, bool bom = true)
{
    std::string bytes = bom ? "\xFF\xFE" : "";
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

TEST(HistoryFiles, ReadingRules)
{
    struct Row {
        std::string bytes;
        std::vector<std::u16string> expected;
    } rows[] = {
        {Utf16Le(u"first\nsecond\n"), {u"first", u"second"}},
        {Utf16Le(u"first\n\nthird\n"), {u"first"}}, // an empty line ends the list
        {Utf16Le(u"no bom\n", false), {u"no bom"}},
        {Utf16Le(u"crlf\r\nnext"), {u"crlf\r", u"next"}}, // CR stays part of the entry
        {Utf16Le(u"odd\n") + "x", {}},                    // odd length: nothing
        {"", {}},
        {Utf16Le(u"\U0001F600\n"), {u"\U0001F600"}},
    };
    temp_dir dir;
    for (const Row& row : rows) {
        dir.write("h.dat", row.bytes);
        std::vector<std::u16string> list{u"stale"};
        ReadHistoryFile(list, dir.wide("h.dat"));
        EXPECT_EQ(list, row.expected);
    }
    std::vector<std::u16string> list{u"stale"};
    ReadHistoryFile(list, dir.wide("missing.dat"));
    EXPECT_TRUE(list.empty());
}

TEST(HistoryFiles, WriteThenReadAndEmptyListDeletesTheFile)
{
    temp_dir dir;
    const std::vector<std::u16string> list{u"error|warn", u"日本", u"took \\d{4} ms"};
    ASSERT_TRUE(WriteHistoryFile(list, dir.wide("h.dat")));
    EXPECT_EQ(dir.read("h.dat").substr(0, 4), std::string("\xFF\xFE"
                                                          "e\0",
                                                          4));
    std::vector<std::u16string> back;
    ReadHistoryFile(back, dir.wide("h.dat"));
    EXPECT_EQ(back, list);
    ASSERT_TRUE(WriteHistoryFile({}, dir.wide("h.dat")));
    EXPECT_FALSE(dir.exists("h.dat"));
}

TEST(HistoryLists, ExpressionHistoryMovesToFrontAndKeepsFifty)
{
    std::vector<std::u16string> h;
    for (int i = 0; i < 60; ++i)
        AddExpressionHistory(h, u"e" + std::u16string(1, char16_t(u'A' + i)));
    EXPECT_EQ(h.size(), 50u);
    const std::u16string third = h[2];
    AddExpressionHistory(h, third);
    EXPECT_EQ(h.front(), third);
    EXPECT_EQ(h.size(), 50u);
    AddExpressionHistory(h, u"");
    EXPECT_EQ(h.size(), 50u);
    AddExpressionHistory(h, u"EA"); // case matters here
    EXPECT_EQ(h.front(), u"EA");
}

TEST(HistoryLists, RecentFilesIgnoreAsciiCaseAndKeepTen)
{
    std::vector<std::u16string> r;
    for (int i = 0; i < 12; ++i)
        AddRecentFile(r, u"/logs/" + std::u16string(1, char16_t(u'a' + i)) + u".log");
    EXPECT_EQ(r.size(), 10u);
    AddRecentFile(r, u"/LOGS/K.log");
    EXPECT_EQ(r.size(), 10u);
    EXPECT_EQ(r.front(), u"/LOGS/K.log");
    EXPECT_EQ(std::count_if(r.begin(), r.end(), [](auto& p) { return p == u"/logs/k.log"; }), 0);
}

TEST(XmlFiles, SaveRefusesBadArgumentsAndLoadCopiesTheRoot)
{
    temp_dir dir;
    TiXmlElement unnamed("");
    TiXmlElement root("filters");
    EXPECT_FALSE(SaveXmlFile(nullptr, dir.wide("a.xml")));
    EXPECT_FALSE(SaveXmlFile(&unnamed, dir.wide("a.xml")));
    EXPECT_FALSE(SaveXmlFile(&root, u""));
    EXPECT_FALSE(dir.exists("a.xml"));
    AddXmlTextChild(&root, "name", u"  two leading blanks");
    ASSERT_TRUE(SaveXmlFile(&root, dir.wide("a.xml")));
    EXPECT_EQ(
        dir.read("a.xml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<filters>\n    <name>  two leading blanks</name>\n</filters>\n");
    auto loaded = LoadXmlFile(dir.wide("a.xml"));
    ASSERT_TRUE(loaded);
    std::u16string text;
    ASSERT_TRUE(ReadXmlChildText(loaded.get(), "name", text));
    EXPECT_EQ(text, u"  two leading blanks");
    EXPECT_FALSE(LoadXmlFile(u""));
    EXPECT_FALSE(LoadXmlFile(dir.wide("missing.xml")));
}

} // namespace
