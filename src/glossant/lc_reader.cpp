// The dictionary file format (".lc")
// ==================================
//
// A dictionary is a UTF-8 text file, with or without a byte-order mark, made
// of lines.  A line ends at LF, CR LF or a lone CR.  Every line is one of:
//
//   (blank)            only spaces and tabs, or nothing: ignored.
//   # comment          first non-blank character '#' or ';': ignored.
//   [section]          starts a section.  The name between the brackets is
//                      made of the characters A-Z a-z 0-9 _ . - (spaces and
//                      tabs around it and around the brackets are allowed).
//                      Names compare exactly, letter case included.  The same
//                      section may appear several times; its entries add up.
//   KEY=text           an entry of the current section.  The key is made of
//                      the characters A-Z a-z 0-9 _ . - ; spaces and tabs
//                      around it are ignored.  The text is everything after
//                      the first '=', without the spaces and tabs at its two
//                      ends; it may be empty and may hold further '=' signs.
//
// Escapes in a text:  \n line feed, \t tab, \r carriage return, \s space
// (to keep a space at either end of a text), \\ backslash.  A backslash
// followed by anything else, or ending the line, makes the line malformed.
//
// A later entry with the same key in the same section replaces the earlier.
//
// Errors.  A missing or unreadable file, a file larger than 16 MiB, any
// invalid UTF-8 in the file, or a file in which no well-formed header names
// the section asked for fails the whole load, and the caller keeps what it
// had.  A malformed line on its own is skipped, and the rest of the file is
// still read; the malformed lines are:
//   - an entry without '=', with an empty key or a key holding other
//     characters than those above;
//   - an entry whose text holds a bad escape or a control character other
//     than the tab (written escapes are fine);
//   - a line starting with '[' that is not a well-formed header.  The entries
//     that follow it, up to the next well-formed header, belong to no section
//     and are ignored, so that a mistyped header never pours its texts into
//     the section before it.
// Entries before the first header belong to no section and are ignored.
//
// Example:
//   # English texts
//   [dict]
//   IDS_APPNAME=Varnoth
//   IDS_MSG_TEST_FAIL_COLUMN=The test line does not fit the column "%s".
//   IDS_MSG_EXPORT_NO_FILTER=Every line will be exported.\nContinue?

#include "glossant/lc_reader.h"

#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/strings.h"

namespace Glossant {
namespace {

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsNameChar(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'.'
           || c == u'-';
}

bool IsName(std::u16string_view text)
{
    if (text.empty())
        return false;
    for (char16_t c : text) {
        if (!IsNameChar(c))
            return false;
    }
    return true;
}

// Resolves the escapes of a raw text; false for a bad escape or a raw
// control character other than the tab.
bool Unescape(std::u16string_view raw, std::u16string& text)
{
    text.clear();
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char16_t c = raw[i];
        if (c < 0x20 && c != u'\t')
            return false;
        if (c != u'\\') {
            text.push_back(c);
            continue;
        }
        if (++i == raw.size())
            return false;
        switch (raw[i]) {
        case u'n': text.push_back(u'\n'); break;
        case u't': text.push_back(u'\t'); break;
        case u'r': text.push_back(u'\r'); break;
        case u's': text.push_back(u' '); break;
        case u'\\': text.push_back(u'\\'); break;
        default: return false;
        }
    }
    return true;
}

// Cuts text into lines at LF, CR LF and lone CR; calls take(line) for each.
template <typename Take> void ForEachLine(std::u16string_view text, Take take)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        take(text.substr(start, end - start));
        if (end < text.size() && text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
}

} // namespace

bool ReadLcSection(std::string_view bytes, std::string_view section, LcEntries& entries, LcReport* report)
{
    LcReport local;
    LcReport& result = report ? *report : local;
    result = LcReport{};

    if (bytes.size() > kMaxLcFileBytes) {
        result.error = LcError::TooLarge;
        return false;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::u16string text;
    if (!Utf8ToWide(bytes, text)) {
        result.error = LcError::InvalidUtf8;
        return false;
    }
    std::u16string wanted;
    if (!Utf8ToWide(section, wanted)) {
        result.error = LcError::NoSuchSection;
        return false;
    }

    LcEntries found;
    bool section_seen = false;
    // Which section the current line belongs to: 0 none (before any header or
    // after a malformed one), 1 the wanted section, 2 another section.
    int current = 0;
    std::size_t line_number = 0;
    std::u16string value;
    ForEachLine(text, [&](std::u16string_view line) {
        ++line_number;
        line = Trim(line);
        if (line.empty() || line.front() == u'#' || line.front() == u';')
            return;
        if (line.front() == u'[') {
            std::u16string_view name;
            if (line.size() >= 2 && line.back() == u']')
                name = Trim(line.substr(1, line.size() - 2));
            if (!IsName(name)) {
                result.skipped_lines.push_back(line_number);
                current = 0;
                return;
            }
            current = name == wanted ? 1 : 2;
            section_seen = section_seen || current == 1;
            return;
        }
        const std::size_t equals = line.find(u'=');
        if (equals == std::u16string_view::npos) {
            result.skipped_lines.push_back(line_number);
            return;
        }
        const std::u16string_view key = Trim(line.substr(0, equals));
        if (!IsName(key) || !Unescape(Trim(line.substr(equals + 1)), value)) {
            result.skipped_lines.push_back(line_number);
            return;
        }
        if (current == 1)
            found.insert_or_assign(std::u16string(key), value);
    });

    if (!section_seen) {
        result.error = LcError::NoSuchSection;
        return false;
    }
    entries = std::move(found);
    return true;
}

bool ReadLcFile(std::u16string_view path, std::string_view section, LcEntries& entries, LcReport* report)
{
    LcReport local;
    LcReport& result = report ? *report : local;
    result = LcReport{};

    // Refuse an oversized file before reading it into memory.
    std::error_code error;
    const auto size = std::filesystem::file_size(std::filesystem::path(NativePath(path)), error);
    if (error || path.empty()) {
        result.error = LcError::Unreadable;
        return false;
    }
    if (size > kMaxLcFileBytes) {
        result.error = LcError::TooLarge;
        return false;
    }
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        result.error = LcError::Unreadable;
        return false;
    }
    return ReadLcSection(bytes, section, entries, &result);
}

} // namespace Glossant
