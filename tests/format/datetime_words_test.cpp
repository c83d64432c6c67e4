#include "format_test_support.h"

#include "format/datetime.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "support/bounded_wait.h"
#include "support/temp_dir.h"
#include "xml/xml_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

namespace {

tagDATETIME_WORDS GermanWords()
{
    tagDATETIME_WORDS words;
    words.full_name = {u"Januar", u"Februar", u"M\u00E4rz", u"April",   u"Mai",      u"Juni",
                       u"Juli",   u"August",  u"September", u"Oktober", u"November", u"Dezember"};
    words.nick_name = {u"Jan", u"Feb", u"M\u00E4r", u"Apr", u"Mai", u"Jun",
                       u"Jul", u"Aug", u"Sep",      u"Okt", u"Nov", u"Dez"};
    words.am = u"vorm.";
    words.pm = u"nachm.";
    return words;
}

// Restores an empty language table after each test.
class DateTimeLanguagesTest : public ::testing::Test {
protected:
    void TearDown() override { SetDateTimeLanguages({}); }
    temp_dir m_dir;
};

std::string LanguageXml(const std::string& name, const std::string& body_override = {}, const char* skip = nullptr)
{
    if (!body_override.empty())
        return body_override;
    std::string xml = "<language>";
    const auto add = [&](const std::string& tag, const std::string& text) {
        if (!skip || tag != skip)
            xml += "<" + tag + ">" + text + "</" + tag + ">";
    };
    add("name", name);
    add("am", "a.m.");
    add("pm", "p.m.");
    for (const char* group : {"full_name", "nick_name"}) {
        if (skip && std::string(skip) == group)
            continue;
        xml += std::string("<") + group + ">";
        for (int m = 1; m <= 12; ++m) {
            const std::string tag = "m" + std::to_string(m);
            if (skip && tag == std::string(skip) + "") {
                continue;
            }
            xml += "<" + tag + ">" + group[0] + std::to_string(m) + "</" + tag + ">";
        }
        xml += std::string("</") + group + ">";
    }
    return xml + "</language>";
}

std::string Replaced(std::string text, const std::string& find, const std::string& replacement)
{
    const std::size_t at = text.find(find);
    if (at != std::string::npos)
        text.replace(at, find.size(), replacement);
    return text;
}

DateTimeLanguageTable TableFromText(const std::string& xml, bool* ok = nullptr)
{
    InitXmlServices();
    TiXmlDocument document;
    document.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
    DateTimeLanguageTable table;
    table[u"stale"] = GermanWords(); // must be emptied
    const bool result = DateTimeLanguagesFromXml(document.RootElement(), table);
    if (ok)
        *ok = result;
    return table;
}

TEST_F(DateTimeLanguagesTest, DefaultWordsAreEnglish)
{
    const tagDATETIME_WORDS& words = DefaultDateTimeWords();
    EXPECT_TRUE(words.full_name[0] == u"January");
    EXPECT_TRUE(words.full_name[8] == u"September");
    EXPECT_TRUE(words.nick_name[4] == u"May");
    EXPECT_TRUE(words.nick_name[11] == u"Dec");
    EXPECT_TRUE(words.am == u"AM");
    EXPECT_TRUE(words.pm == u"PM");
}

TEST_F(DateTimeLanguagesTest, ElementListsLanguagesInCodeUnitOrder)
{
    DateTimeLanguageTable table;
    for (const char16_t* name : {u"\uFF21", u"\U0001F600", u"\u00E9", u"b", u"B"})
        table[name] = GermanWords();
    const auto element = DateTimeLanguagesToXml(table);
    std::vector<std::u16string> names;
    for (const TiXmlElement* language = element->FirstChildElement("language"); language;
         language = language->NextSiblingElement("language")) {
        std::u16string name;
        ASSERT_TRUE(ReadXmlChildText(language, "name", name));
        names.push_back(name);
    }
    const std::vector<std::u16string> expected = {u"B", u"b", u"\u00E9", u"\U0001F600", u"\uFF21"};
    EXPECT_TRUE(names == expected);
}

TEST_F(DateTimeLanguagesTest, ElementHasTheFileLayout)
{
    DateTimeLanguageTable table;
    table[u"Deutsch"] = GermanWords();
    const std::string text = XmlDocumentText(*DateTimeLanguagesToXml(table));
    const std::string expected_start = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<all>\n    <language>\n"
                                       "        <name>Deutsch</name>\n        <am>vorm.</am>\n"
                                       "        <pm>nachm.</pm>\n        <full_name>\n"
                                       "            <m1>Januar</m1>\n";
    EXPECT_EQ(text.substr(0, expected_start.size()), expected_start);
    EXPECT_NE(text.find("<m3>M\xC3\xA4rz</m3>"), std::string::npos);
    EXPECT_NE(text.find("<nick_name>\n            <m1>Jan</m1>"), std::string::npos);
    EXPECT_NE(text.find("<m12>Dez</m12>\n        </nick_name>\n    </language>\n</all>"), std::string::npos);
}

struct skip_case {
    const char* why;
    std::string entry;
};

TEST_F(DateTimeLanguagesTest, MalformedEntriesAreSkippedAndLaterOnesStillRead)
{
    const skip_case cases[] = {
        {"no name", LanguageXml("x", {}, "name")},
        {"no am", LanguageXml("x", {}, "am")},
        {"no pm", LanguageXml("x", {}, "pm")},
        {"no full names", LanguageXml("x", {}, "full_name")},
        {"no short names", LanguageXml("x", {}, "nick_name")},
        {"no July", LanguageXml("x", {}, "m7")},
        {"empty name", LanguageXml("")},
        {"empty am", Replaced(LanguageXml("x"), "<am>a.m.</am>", "<am></am>")},
        {"blank pm", Replaced(LanguageXml("x"), "<pm>p.m.</pm>", "<pm> </pm>")},
        {"empty name element", Replaced(LanguageXml("x"), "<name>x</name>", "<name/>")},
        {"empty month", Replaced(LanguageXml("x"), "<m5>f5</m5>", "<m5></m5>")},
        {"empty short month", Replaced(LanguageXml("x"), "<m12>n12</m12>", "<m12/>")},
    };
    for (const auto& c : cases) {
        bool ok = false;
        const DateTimeLanguageTable table =
            TableFromText("<all>" + LanguageXml("first") + c.entry + LanguageXml("last") + "</all>", &ok);
        EXPECT_TRUE(ok) << c.why;
        EXPECT_EQ(table.size(), 2u) << c.why;
        EXPECT_EQ(table.count(u"first"), 1u) << c.why;
        EXPECT_EQ(table.count(u"last"), 1u) << c.why;
        EXPECT_EQ(table.count(u"x"), 0u) << c.why;
    }
}

TEST_F(DateTimeLanguagesTest, LaterEntryOfTheSameNameReplacesTheEarlier)
{
    std::string second = LanguageXml("same");
    second.replace(second.find("<am>a.m.</am>"), 13, "<am>morning</am>");
    const DateTimeLanguageTable table = TableFromText("<all>" + LanguageXml("same") + second + "</all>");
    ASSERT_EQ(table.size(), 1u);
    EXPECT_TRUE(table.at(u"same").am == u"morning");
    EXPECT_TRUE(table.at(u"same").full_name[6] == u"f7");
    EXPECT_TRUE(table.at(u"same").nick_name[11] == u"n12");
}

TEST_F(DateTimeLanguagesTest, OnlyAnAllElementIsAccepted)
{
    bool ok = true;
    EXPECT_TRUE(TableFromText("<All>" + LanguageXml("x") + "</All>", &ok).empty());
    EXPECT_FALSE(ok);
    DateTimeLanguageTable table;
    table[u"stale"] = GermanWords();
    EXPECT_FALSE(DateTimeLanguagesFromXml(nullptr, table));
    EXPECT_TRUE(table.empty());
}

TEST_F(DateTimeLanguagesTest, SaveThenLoadGivesTheSameLanguages)
{
    DateTimeLanguageTable table;
    table[u"Deutsch"] = GermanWords();
    tagDATETIME_WORDS odd = GermanWords();
    odd.am = u" "; // white space only
    odd.pm = u"\t<&>\"'";
    odd.full_name[0] = u"  lead and trail  ";
    odd.nick_name[1] = u"\u65E5\U0001F600";
    table[u"  odd <name> & more  "] = odd;
    SetDateTimeLanguages(table);
    const std::u16string path = m_dir.wide("datetime_words.xml");
    ASSERT_TRUE(SaveDateTimeLanguages(path));
    SetDateTimeLanguages({});
    ASSERT_TRUE(LoadDateTimeLanguages(path));
    EXPECT_TRUE(*DateTimeLanguages() == table);
}

TEST_F(DateTimeLanguagesTest, FailedSaveKeepsThePreviousFile)
{
    const std::u16string path = m_dir.wide("datetime_words.xml");
    SetDateTimeLanguages({{u"Deutsch", GermanWords()}});
    ASSERT_TRUE(SaveDateTimeLanguages(path));
    const std::string before = m_dir.read("datetime_words.xml");
    SetDateTimeLanguages({});
    SetWriteFailureHook([](std::u16string_view) { return true; });
    EXPECT_FALSE(SaveDateTimeLanguages(path));
    SetWriteFailureHook(nullptr);
    EXPECT_EQ(m_dir.read("datetime_words.xml"), before);
    EXPECT_FALSE(SaveDateTimeLanguages(m_dir.wide("no/such/folder/datetime_words.xml")));
}

TEST_F(DateTimeLanguagesTest, MissingOrForeignFilesLeaveOnlyTheDefault)
{
    DateTimeLanguageTable table;
    table[u"Deutsch"] = GermanWords();
    const std::pair<const char*, std::string> files[] = {
        {"missing", ""},
        {"other root", "<?xml version=\"1.0\"?><languages>" + LanguageXml("x") + "</languages>"},
        {"empty", "<?xml version=\"1.0\"?>"},
        {"binary", std::string("\x00\xFF\xFE<<<\x01", 8)},
    };
    for (const auto& [why, bytes] : files) {
        SetDateTimeLanguages(table);
        const std::string name = std::string(why) + ".xml";
        if (std::string(why) != "missing")
            m_dir.write(name, bytes);
        EXPECT_FALSE(LoadDateTimeLanguages(m_dir.wide(name))) << why;
        EXPECT_TRUE(DateTimeLanguages()->empty()) << why;
    }
    EXPECT_FALSE(LoadDateTimeLanguages(u""));
}

TEST_F(DateTimeLanguagesTest, BrokenFileKeepsEveryWellFormedEntry)
{
    const std::string good1 = LanguageXml("one");
    const std::string good2 = LanguageXml("two");
    const std::string good3 = LanguageXml("three");
    std::string unclosed = LanguageXml("broken");
    unclosed.erase(unclosed.find("</m3>"), 5);
    const std::pair<const char*, std::string> files[] = {
        {"unclosed entry", "<?xml version=\"1.0\"?><all>" + good1 + unclosed + good2 + good3 + "</all>"},
        {"truncated file", "<?xml version=\"1.0\"?><all>" + good1 + good2 + good3 + LanguageXml("cut").substr(0, 90)},
        {"stray text", "<?xml version=\"1.0\"?><all>" + good1 + good2 + "<<&" + good3 + "</all>"},
        {"no end of root", "<?xml version=\"1.0\"?>\n<all>" + good1 + good2 + good3},
    };
    for (const auto& [why, bytes] : files) {
        m_dir.write("broken.xml", bytes);
        EXPECT_TRUE(LoadDateTimeLanguages(m_dir.wide("broken.xml"))) << why;
        const auto table = DateTimeLanguages();
        EXPECT_EQ(table->size(), 3u) << why;
        for (const char16_t* name : {u"one", u"two", u"three"})
            EXPECT_EQ(table->count(name), 1u) << why;
    }
}

TEST_F(DateTimeLanguagesTest, LoadSaysHowCompletelyTheFileWasRead)
{
    const std::string head = "<?xml version=\"1.0\"?><all>";
    std::string no_july = LanguageXml("no July");
    no_july.erase(no_july.find("<m7>n7</m7>"), 11);
    struct row {
        const char* why;
        std::string bytes; // written as the file unless empty
        bool directory;    // the path is a folder
        language_file_read how;
        bool loaded;
        std::size_t languages;
    };
    const row rows[] = {
        {"missing", "", false, language_file_read::missing, false, 0},
        {"every entry", head + LanguageXml("one") + LanguageXml("two") + "</all>", false, language_file_read::whole,
         true, 2},
        {"no entry at all", head + "</all>", false, language_file_read::whole, true, 0},
        {"a malformed entry", head + LanguageXml("one") + no_july + "</all>", false, language_file_read::partly, true,
         1},
        {"a repeated name", head + LanguageXml("one") + LanguageXml("one") + "</all>", false,
         language_file_read::partly, true, 1},
        {"salvaged", head + LanguageXml("one") + LanguageXml("two"), false, language_file_read::partly, true, 2},
        {"another root", "<?xml version=\"1.0\"?><languages/>", false, language_file_read::unread, false, 0},
        {"not XML", std::string("\x01\x02garbage", 9), false, language_file_read::unread, false, 0},
        {"a folder", "", true, language_file_read::unread, false, 0},
    };
    int n = 0;
    for (const row& r : rows) {
        const std::string name = "languages" + std::to_string(n++) + ".xml";
        if (r.directory)
            std::filesystem::create_directories(m_dir / name);
        else if (!r.bytes.empty())
            m_dir.write(name, r.bytes);
        SetDateTimeLanguages({{u"stale", GermanWords()}});
        language_file_read how = language_file_read::whole;
        if (std::string(r.why) == "every entry")
            how = language_file_read::missing; // must be overwritten
        EXPECT_EQ(LoadDateTimeLanguages(m_dir.wide(name), &how), r.loaded) << r.why;
        EXPECT_EQ(how, r.how) << r.why;
        EXPECT_EQ(DateTimeLanguages()->size(), r.languages) << r.why;
    }
}

TEST_F(DateTimeLanguagesTest, HundredCharacterMonthNamesRoundTripAndParse)
{
    scoped_time_zone zone("Europe/Berlin");
    // Names far past the editor's limits, with every character class the file must carry.
    tagDATETIME_WORDS words;
    const std::u16string_view pieces[] = {u"\u00E4", u"<", u"&", u">", u"'", u"\"", u" ", u"x", u"Z", u"\U0001F600"};
    for (int month = 0; month < 12; ++month) {
        std::u16string full(1, static_cast<char16_t>(u'A' + month));
        for (std::size_t i = static_cast<std::size_t>(month); full.size() < 100; ++i)
            full += pieces[i % std::size(pieces)];
        if (full.size() > 100)
            full.replace(98, std::u16string::npos, u"qq"); // never half a pair at the end
        std::u16string nick = full;
        nick[0] = static_cast<char16_t>(u'a' + month);
        words.full_name[static_cast<std::size_t>(month)] = full;
        words.nick_name[static_cast<std::size_t>(month)] = nick;
    }
    words.am = std::u16string(100, u'a');
    words.pm = std::u16string(100, u'p');
    SetDateTimeLanguages({{std::u16string(100, u'L'), words}});
    const std::u16string path = m_dir.wide("datetime_words.xml");
    ASSERT_TRUE(SaveDateTimeLanguages(path));
    SetDateTimeLanguages({});
    language_file_read how = language_file_read::missing;
    ASSERT_TRUE(LoadDateTimeLanguages(path, &how));
    EXPECT_EQ(how, language_file_read::whole);
    const auto table = DateTimeLanguages();
    ASSERT_EQ(table->size(), 1u);
    EXPECT_TRUE(table->begin()->first == std::u16string(100, u'L'));
    EXPECT_TRUE(table->begin()->second == words);

    // The loaded words format and parse every month back to the same moment.
    const tagDATA_FORMAT format = DateTimeFormat(u"B|b|Y", std::u16string(100, u'L'));
    for (int month = 1; month <= 12; ++month) {
        tagDATA_VALUE value;
        value.payload = MktimeSeconds(2024, month, 1, 0, 0, 0);
        value.valid = true;
        std::u16string text;
        ASSERT_TRUE(FormatDataValue(value, format, text)) << month;
        EXPECT_EQ(Parse(text, format).payload, value.payload) << month;
    }
}

TEST_F(DateTimeLanguagesTest, UnknownOrRemovedLanguagesFallBackToTheDefaultWords)
{
    scoped_time_zone zone("Europe/Berlin");
    DateTimeLanguageTable table;
    table[u"Deutsch"] = GermanWords();
    SetDateTimeLanguages(table);
    const tagDATA_FORMAT german = DateTimeFormat(u"d. B Y", u"Deutsch");
    EXPECT_TRUE(Parse(u"3. M\u00E4rz 2024", german).valid);
    EXPECT_FALSE(Parse(u"3. March 2024", german).valid);
    std::u16string text;
    ASSERT_TRUE(FormatDataValue(Parse(u"3. M\u00E4rz 2024", german), german, text));
    EXPECT_TRUE(text == u"03. M\u00E4rz 2024");
    EXPECT_TRUE(FindDateTimeWords(u"Deutsch") == GermanWords());
    EXPECT_TRUE(FindDateTimeWords(u"deutsch") == DefaultDateTimeWords()); // names are case-sensitive
    EXPECT_TRUE(FindDateTimeWords(u"") == DefaultDateTimeWords());

    SetDateTimeLanguages({});
    EXPECT_FALSE(Parse(u"3. M\u00E4rz 2024", german).valid);
    EXPECT_TRUE(Parse(u"3. March 2024", german).valid);
    ASSERT_TRUE(FormatDataValue(Parse(u"3. March 2024", german), german, text));
    EXPECT_TRUE(text == u"03. March 2024");
    EXPECT_TRUE(FindDateTimeWords(u"Deutsch") == DefaultDateTimeWords());
}

TEST_F(DateTimeLanguagesTest, NamesContainingLettersOrPlaceholdersAreInsertedVerbatim)
{
    scoped_time_zone zone("Europe/Berlin");
    tagDATETIME_WORDS words = GermanWords();
    words.full_name[4] = u"<b>B<p>s";
    words.nick_name[4] = u"<B>";
    words.am = u"<b>";
    SetDateTimeLanguages({{u"tricky", words}});
    const tagDATA_FORMAT format = DateTimeFormat(u"B|b|p|s", u"tricky");
    const tagDATA_VALUE value = Parse(u"<b>B<p>s|<B>|<b>|042", format);
    ASSERT_TRUE(value.valid);
    std::u16string text;
    ASSERT_TRUE(FormatDataValue(value, format, text));
    EXPECT_TRUE(text == u"<b>B<p>s|<B>|<b>|042");
}

TEST_F(DateTimeLanguagesTest, ParsingWhileTheTableChangesSeesWholeTables)
{
    scoped_time_zone zone("Europe/Berlin");
    // Two tables that read "Mai" differently; a reader must see one or the
    // other, never a mix or a freed table.
    tagDATETIME_WORDS may_first = GermanWords();
    tagDATETIME_WORDS june_first = GermanWords();
    std::swap(june_first.nick_name[4], june_first.nick_name[5]);
    const int64_t may = MktimeSeconds(2024, 5, 1, 0, 0, 0);
    const int64_t june = MktimeSeconds(2024, 6, 1, 0, 0, 0);
    SetDateTimeLanguages({{u"lang", may_first}});
    std::atomic<bool> stop{false};
    std::atomic<int> odd{0};
    std::atomic<int> reads{0};
    bounded_thread reader([&] {
        const tagDATA_FORMAT format = DateTimeFormat(u"d b Y", u"lang");
        while (!stop.load()) {
            const tagDATA_VALUE value = Parse(u"1 Mai 2024", format);
            if (!value.valid || (value.payload != may && value.payload != june))
                ++odd;
            ++reads;
        }
    });
    for (int i = 0; i < 2000 || (reads.load() < 1000 && i < 100000000); ++i)
        SetDateTimeLanguages({{u"lang", i % 2 ? may_first : june_first}});
    stop = true;
    reader.join();
    EXPECT_EQ(odd.load(), 0);
}

} // namespace
