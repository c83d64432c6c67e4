#include "format/datetime.h"

#include "platform/files.h"
#include "platform/strings.h"
#include "xml/xml_file.h"

#include <tinyxml.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

tagDATETIME_WORDS MakeDefaultWords()
{
    tagDATETIME_WORDS words;
    words.full_name = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                       u"July",    u"August",   u"September", u"October", u"November", u"December"};
    words.nick_name = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
    words.am = u"AM";
    words.pm = u"PM";
    return words;
}

// The published table.  g_generation changes (under g_mutex) with every
// publication, so a reader notices a new table with one atomic load.
std::mutex g_mutex;
std::shared_ptr<const DateTimeLanguageTable> g_table = std::make_shared<const DateTimeLanguageTable>();
std::atomic<uint64_t> g_generation{1};

struct words_lookup_cache {
    uint64_t generation = 0;
    std::shared_ptr<const DateTimeLanguageTable> table;
    std::u16string name;
    const tagDATETIME_WORDS* words = nullptr;
};

thread_local words_lookup_cache t_lookup;

std::string MonthElementName(int month)
{
    return "m" + std::to_string(month);
}

// The twelve month names under parent's child called group; false when the
// group or one of its months is missing or empty.
bool ReadMonthNames(const TiXmlElement* language, const char* group, std::array<std::u16string, 12>& names)
{
    const TiXmlElement* parent = language->FirstChildElement(group);
    if (!parent)
        return false;
    for (int month = 1; month <= 12; ++month) {
        std::u16string name;
        if (!ReadXmlChildText(parent, MonthElementName(month).c_str(), name) || name.empty())
            return false;
        names[month - 1] = std::move(name);
    }
    return true;
}

// One "language" element; false when it must be skipped.
bool ReadLanguage(const TiXmlElement* language, std::u16string& name, tagDATETIME_WORDS& words)
{
    if (!ReadXmlChildText(language, "name", name) || name.empty())
        return false;
    if (!ReadXmlChildText(language, "am", words.am) || words.am.empty())
        return false;
    if (!ReadXmlChildText(language, "pm", words.pm) || words.pm.empty())
        return false;
    return ReadMonthNames(language, "full_name", words.full_name)
           && ReadMonthNames(language, "nick_name", words.nick_name);
}

// The name of the first element of an XML text, or empty.
std::string FirstElementName(const std::string& bytes)
{
    std::size_t pos = 0;
    while ((pos = bytes.find('<', pos)) != std::string::npos) {
        if (pos + 1 < bytes.size() && (bytes[pos + 1] == '?' || bytes[pos + 1] == '!')) {
            ++pos;
            continue;
        }
        std::size_t end = pos + 1;
        while (end < bytes.size() && bytes[end] != '>' && bytes[end] != '/' && bytes[end] != ' ' && bytes[end] != '\t'
               && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        return bytes.substr(pos + 1, end - pos - 1);
    }
    return {};
}

bool IsNameEnd(char c)
{
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Recovers the well-formed "language" elements of a file that is not
// well-formed as a whole: each "<language ...>...</language>" stretch that
// holds no other language start is parsed on its own.
void SalvageLanguages(const std::string& bytes, TiXmlElement& all)
{
    static const std::string open = "<language";
    static const std::string close = "</language>";
    std::size_t pos = bytes.find(open);
    while (pos != std::string::npos) {
        if (pos + open.size() >= bytes.size() || !IsNameEnd(bytes[pos + open.size()])) {
            pos = bytes.find(open, pos + 1);
            continue;
        }
        const std::size_t end = bytes.find(close, pos);
        if (end == std::string::npos)
            return;
        std::size_t next = bytes.find(open, pos + 1);
        while (next != std::string::npos && next < end
               && (next + open.size() >= bytes.size() || !IsNameEnd(bytes[next + open.size()])))
            next = bytes.find(open, next + 1);
        if (next != std::string::npos && next < end) {
            pos = next; // this entry never closed
            continue;
        }
        const std::string piece = bytes.substr(pos, end + close.size() - pos);
        TiXmlDocument document;
        document.Parse(piece.c_str(), nullptr, TIXML_ENCODING_UTF8);
        const TiXmlElement* language = document.RootElement();
        if (!document.Error() && language && language->ValueStr() == "language")
            all.InsertEndChild(*language);
        pos = bytes.find(open, end);
    }
}

} // namespace

const tagDATETIME_WORDS& DefaultDateTimeWords()
{
    static const tagDATETIME_WORDS words = MakeDefaultWords();
    return words;
}

std::shared_ptr<const DateTimeLanguageTable> DateTimeLanguages()
{
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_table;
}

void SetDateTimeLanguages(DateTimeLanguageTable table)
{
    auto snapshot = std::make_shared<const DateTimeLanguageTable>(std::move(table));
    std::lock_guard<std::mutex> hold(g_mutex);
    g_table = std::move(snapshot);
    g_generation.fetch_add(1, std::memory_order_release);
}

tagDATETIME_WORDS FindDateTimeWords(std::u16string_view name)
{
    if (name.empty())
        return DefaultDateTimeWords();
    const auto table = DateTimeLanguages();
    const auto found = table->find(std::u16string(name));
    return found == table->end() ? DefaultDateTimeWords() : found->second;
}

const tagDATETIME_WORDS& ThreadDateTimeWords(const std::u16string& name)
{
    if (name.empty())
        return DefaultDateTimeWords();
    words_lookup_cache& cache = t_lookup;
    if (cache.generation != g_generation.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> hold(g_mutex);
        cache.table = g_table;
        cache.generation = g_generation.load(std::memory_order_relaxed);
        cache.words = nullptr;
    }
    if (cache.words && cache.name == name)
        return *cache.words;
    const auto found = cache.table->find(name);
    cache.name = name;
    cache.words = found == cache.table->end() ? &DefaultDateTimeWords() : &found->second;
    return *cache.words;
}

std::unique_ptr<TiXmlElement> DateTimeLanguagesToXml(const DateTimeLanguageTable& table)
{
    auto all = std::make_unique<TiXmlElement>("all");
    for (const auto& [name, words] : table) {
        auto* language = new TiXmlElement("language");
        AddXmlTextChild(language, "name", name);
        AddXmlTextChild(language, "am", words.am);
        AddXmlTextChild(language, "pm", words.pm);
        auto* full = new TiXmlElement("full_name");
        auto* nick = new TiXmlElement("nick_name");
        for (int month = 1; month <= 12; ++month) {
            AddXmlTextChild(full, MonthElementName(month).c_str(), words.full_name[month - 1]);
            AddXmlTextChild(nick, MonthElementName(month).c_str(), words.nick_name[month - 1]);
        }
        language->LinkEndChild(full);
        language->LinkEndChild(nick);
        all->LinkEndChild(language);
    }
    return all;
}

bool DateTimeLanguagesFromXml(const TiXmlElement* element, DateTimeLanguageTable& table, std::size_t* skipped)
{
    table.clear();
    if (skipped)
        *skipped = 0;
    if (!element || element->ValueStr() != "all")
        return false;
    std::size_t entries = 0;
    for (const TiXmlElement* language = element->FirstChildElement("language"); language;
         language = language->NextSiblingElement("language")) {
        ++entries;
        std::u16string name;
        tagDATETIME_WORDS words;
        if (ReadLanguage(language, name, words))
            table[std::move(name)] = std::move(words);
    }
    if (skipped)
        *skipped = entries - table.size();
    return true;
}

bool LoadDateTimeLanguages(std::u16string_view path, language_file_read* how)
{
    InitXmlServices();
    DateTimeLanguageTable table;
    std::string bytes;
    bool loaded = false;
    language_file_read result =
        !path.empty() && PathExists(path) ? language_file_read::unread : language_file_read::missing;
    if (!path.empty() && IsReadableFile(path) && ReadWholeFile(path, bytes)) {
        TiXmlDocument document;
        document.Parse(bytes.c_str(), nullptr, TIXML_ENCODING_UTF8);
        std::size_t skipped = 0;
        if (!document.Error()) {
            loaded = DateTimeLanguagesFromXml(document.RootElement(), table, &skipped);
        } else if (FirstElementName(bytes) == "all") {
            TiXmlElement all("all");
            SalvageLanguages(bytes, all);
            loaded = DateTimeLanguagesFromXml(&all, table, &skipped);
            skipped = 1; // whatever could not be salvaged is lost
        }
        if (loaded)
            result = skipped == 0 ? language_file_read::whole : language_file_read::partly;
    }
    SetDateTimeLanguages(std::move(table));
    if (how)
        *how = result;
    return loaded;
}

bool SaveDateTimeLanguages(std::u16string_view path)
{
    const auto table = DateTimeLanguages();
    const auto element = DateTimeLanguagesToXml(*table);
    return SaveXmlFile(element.get(), path);
}
