// Reading dictionary files (".lc"): one section of a file becomes a map from
// key to text.  The file format is described at the top of lc_reader.cpp.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Glossant {

// Why a dictionary could not be read.  Malformed lines are not errors: they
// are skipped and listed in the report.
enum class LcError {
    None,
    Unreadable,    // missing file, a folder, no permission, a read error
    TooLarge,      // above kMaxLcFileBytes
    InvalidUtf8,   // any byte sequence of the file that is not UTF-8
    NoSuchSection, // no well-formed header names the section asked for
};

struct LcReport {
    LcError error = LcError::None;
    // 1-based numbers of the lines that were skipped as malformed, in file
    // order (lines of every section count, not only the one asked for).
    std::vector<std::size_t> skipped_lines;
};

using LcEntries = std::map<std::u16string, std::u16string, std::less<>>;

// A dictionary is a small text file; anything larger is refused unread.
inline constexpr std::size_t kMaxLcFileBytes = 16u * 1024u * 1024u;

// Reads the entries of section from the bytes of a .lc file into entries.
// On failure entries is left exactly as it was.
bool ReadLcSection(std::string_view bytes, std::string_view section, LcEntries& entries, LcReport* report = nullptr);

// The same for the file at path.
bool ReadLcFile(std::u16string_view path, std::string_view section, LcEntries& entries, LcReport* report = nullptr);

} // namespace Glossant
