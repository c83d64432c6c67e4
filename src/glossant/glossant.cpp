#include "glossant/glossant.h"

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <utility>

#include "glossant/lc_reader.h"

namespace Glossant {
namespace {

using KeyMap = std::map<std::u16string, const char16_t*, std::less<>>;

// Everything the library holds; read under a shared lock of g_mutex, changed
// under an exclusive one.
struct Store {
    bool initialized = false;
    // Owns every text handed out.  It only grows until UnInitialize: a deque
    // never moves its elements, so the pointers in the key maps stay valid
    // when a section is loaded again.
    std::deque<std::u16string> texts;
    std::map<std::string, KeyMap, std::less<>> sections;
};

std::shared_mutex g_mutex;
Store g_store;

} // namespace

bool Initialize()
{
    std::unique_lock lock(g_mutex);
    g_store.initialized = true;
    return true;
}

bool LoadDictionary(std::u16string_view path, std::string_view section)
{
    if (path.empty() || section.empty())
        return false;
    // Read outside the lock: lookups go on while the file is read.
    LcEntries entries;
    if (!ReadLcFile(path, section, entries))
        return false;

    std::unique_lock lock(g_mutex);
    if (!g_store.initialized)
        return false;
    KeyMap keys;
    for (auto& [key, text] : entries) {
        g_store.texts.push_back(std::move(text));
        keys.emplace(key, g_store.texts.back().c_str());
    }
    g_store.sections.insert_or_assign(std::string(section), std::move(keys));
    return true;
}

const char16_t* GetDictionaryItem(std::string_view section, std::u16string_view key)
{
    std::shared_lock lock(g_mutex);
    if (!g_store.initialized)
        return nullptr;
    const auto found_section = g_store.sections.find(section);
    if (found_section == g_store.sections.end())
        return nullptr;
    const auto found_key = found_section->second.find(key);
    return found_key == found_section->second.end() ? nullptr : found_key->second;
}

void UnInitialize()
{
    std::unique_lock lock(g_mutex);
    g_store = Store{};
}

} // namespace Glossant
