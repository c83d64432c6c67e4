// The localisation library: every text the system shows is looked up here by
// key ("IDS_..."), in a dictionary loaded from a ".lc" file (the format is
// described at the top of lc_reader.cpp).
//
// Thread-safety: Initialize, LoadDictionary and UnInitialize are meant for
// the interface thread, but all four functions may be called from any thread;
// lookups run concurrently with each other and are serialised only against a
// load or UnInitialize.
#pragma once

#include <string_view>

namespace Glossant {

// Prepares the library; true on success.  Calling it again is harmless.
bool Initialize();

// Loads the entries of section from the dictionary file at path, replacing
// what that section held.  False (and nothing changes) before Initialize, for
// an empty path or section, and when the file cannot be read: see
// lc_reader.cpp for what fails a load and what is merely skipped.
bool LoadDictionary(std::u16string_view path, std::string_view section);

// The text of key in section: a null-terminated string owned by the library
// that stays valid and unchanged until UnInitialize, even when the section is
// loaded again.  Null for an unknown key or section, and outside
// Initialize..UnInitialize.
const char16_t* GetDictionaryItem(std::string_view section, std::u16string_view key);

// Forgets every dictionary; pointers handed out before become invalid.
void UnInitialize();

} // namespace Glossant
