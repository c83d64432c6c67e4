// Date-time formats and languages: the format letters, the words of a
// date-time language (month names, AM/PM words), the built-in default
// language, the table of user-defined languages and its file
// datetime_words.xml.
//
// The language table is shared by every thread.  Readers take an immutable
// snapshot; a change publishes a new snapshot, so a parse on the work thread
// never waits for, nor sees half of, an edit made in a dialog.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class TiXmlElement;

// The words of one date-time language.
struct tagDATETIME_WORDS {
    std::array<std::u16string, 12> full_name; // January first
    std::array<std::u16string, 12> nick_name; // abbreviated, January first
    std::u16string am;                        // hours before noon
    std::u16string pm;                        // hours from noon

    bool operator==(const tagDATETIME_WORDS&) const = default;
};

// User-defined languages by name, in ascending order of the names' UTF-16
// code units (names compare exactly, case included).
using DateTimeLanguageTable = std::map<std::u16string, tagDATETIME_WORDS>;

// The name of the language file in the data directory.
inline constexpr std::u16string_view DATETIME_WORDS_FILE_NAME = u"datetime_words.xml";

// The format letters, and the bits DateTimeFormatFields reports for them.
inline constexpr std::u16string_view DATETIME_FORMAT_LETTERS = u"YymBbdHhMSsp";
enum : uint32_t {
    DATETIME_FIELD_YEAR = 0x01,
    DATETIME_FIELD_MONTH = 0x02,
    DATETIME_FIELD_DAY = 0x04,
    DATETIME_FIELD_HOUR = 0x08,
    DATETIME_FIELD_MINUTE = 0x10,
    DATETIME_FIELD_SECOND = 0x20,
    DATETIME_FIELD_MILLISECOND = 0x40,
    DATETIME_FIELD_AMPM = 0x80,
};

// True for the twelve format letters; every other character is a literal.
bool IsDateTimeFormatLetter(char16_t c);

// The OR of the field bits of every format letter in format (0 for none).
uint32_t DateTimeFormatFields(std::u16string_view format);

// The built-in English words (never stored, never edited).
const tagDATETIME_WORDS& DefaultDateTimeWords();

// The current snapshot of the user-defined languages (never null).
std::shared_ptr<const DateTimeLanguageTable> DateTimeLanguages();

// Publishes table as the new set of user-defined languages.  Parses already
// running finish with the snapshot they started with.
void SetDateTimeLanguages(DateTimeLanguageTable table);

// The words of the language called name, or the default words when name is
// empty or not in the current table.
tagDATETIME_WORDS FindDateTimeWords(std::u16string_view name);

// The words of the language called name for use on the calling thread, valid
// until this thread's next call.  The parse and format functions use it.
const tagDATETIME_WORDS& ThreadDateTimeWords(const std::u16string& name);

// The "all" element of the language file: one "language" element per entry,
// in table order.
std::unique_ptr<TiXmlElement> DateTimeLanguagesToXml(const DateTimeLanguageTable& table);

// Empties table, then fills it from an "all" element, skipping malformed
// "language" entries.  False only when element is null or not named "all".
// skipped, when given, receives the number of "language" entries that did not
// make it into the table (malformed, or replaced by a later one of the same
// name).
bool DateTimeLanguagesFromXml(const TiXmlElement* element, DateTimeLanguageTable& table,
                              std::size_t* skipped = nullptr);

// How reading the language file went.
enum class language_file_read {
    missing, // there is no file: the table is empty
    whole,   // every "language" entry of the file is in the table
    partly,  // read, but entries were lost: skipped, or a broken file salvaged
    unread,  // a file that cannot be read or holds no "all" root: the table is empty
};

// Start-up: reads the language file at path and publishes its languages.  A
// missing or unreadable file, or one whose root is not "all", leaves the table
// empty.  A file that is not well-formed XML keeps every entry that is.
// Returns true when the file was read; how, when given, says how completely.
bool LoadDateTimeLanguages(std::u16string_view path, language_file_read* how = nullptr);

// Exit: writes the current table to path, replacing the file only when the
// whole new file was written.
bool SaveDateTimeLanguages(std::u16string_view path);
