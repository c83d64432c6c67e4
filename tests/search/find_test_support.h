// Generated log files for the find-in-file tests: lines in every encoding and
// with every line end, a parser with typed columns, and a runner that
// performs one search on a freshly opened file and notes where it ended.
#pragma once

#include "filter/filter_store.h"
#include "filter/log_filter_groups.h"
#include "logfile/log_file.h"
#include "platform/strings.h"
#include "search/find_in_file.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// "<id> <level> [<module>] <message>": id numeric, level and module text, the
// message the rest of the line.
inline log_pattern_list service_parser()
{
    auto item = [](std::u16string start, std::u16string end, std::u16string name, int32_t type) {
        log_pattern p(std::move(name));
        p.start = std::move(start);
        p.end = std::move(end);
        p.data_format.data_type = type;
        return p;
    };
    log_pattern_list parser;
    parser.push_back(item(u"", u" ", u"id", DATA_TYPE_NUMERIC));
    parser.push_back(item(u"", u" ", u"level", DATA_TYPE_TEXT));
    parser.push_back(item(u"[", u"] ", u"module", DATA_TYPE_TEXT));
    parser.push_back(item(u"", u"", u"message", DATA_TYPE_TEXT));
    return parser;
}

enum class file_encoding { ansi, utf8_bom, utf8_plain, ucs2le, ucs2be };

inline const char* encoding_name(file_encoding e)
{
    switch (e) {
    case file_encoding::ansi: return "ANSI";
    case file_encoding::utf8_bom: return "UTF-8 with BOM";
    case file_encoding::utf8_plain: return "UTF-8 without BOM";
    case file_encoding::ucs2le: return "UCS-2 LE";
    default: return "UCS-2 BE";
    }
}

// The bytes of a file holding lines, each followed by line_end.  ANSI lines
// must be writable in the ANSI code page in force.
inline std::string file_bytes(const std::vector<std::u16string>& lines, const std::u16string& line_end, file_encoding e)
{
    std::string out;
    if (e == file_encoding::utf8_bom)
        out = "\xEF\xBB\xBF";
    else if (e == file_encoding::ucs2le)
        out = "\xFF\xFE";
    else if (e == file_encoding::ucs2be)
        out = "\xFE\xFF";
    for (const std::u16string& line : lines) {
        const std::u16string text = line + line_end;
        if (e == file_encoding::ucs2le || e == file_encoding::ucs2be) {
            for (char16_t c : text) {
                const char lo = static_cast<char>(c & 0xFF);
                const char hi = static_cast<char>(c >> 8);
                out.push_back(e == file_encoding::ucs2le ? lo : hi);
                out.push_back(e == file_encoding::ucs2le ? hi : lo);
            }
        } else if (e == file_encoding::ansi) {
            std::string bytes;
            if (!WideToAnsi(text, bytes))
                std::abort(); // the generator chose a character the code page lacks
            out += bytes;
        } else {
            out += ToUtf8(text);
        }
    }
    return out;
}

// Randomized tests run this share of their cases under the sanitizers,
// whose builds are many times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kSanitizedShare = 4;
#else
constexpr int kSanitizedShare = 1;
#endif

// How one search is set up on a freshly opened file.
struct search_setup {
    file_encoding encoding = file_encoding::utf8_bom;
    bool tail_first = false;
    uint64_t max_lines = 100;
    int64_t window_first = 0; // the window in the view when the search starts
    log_filter_groups groups; // applied when not empty
    bool filter_enabled = false;
    std::u16string quick_text; // applied when not empty
    CSearchInfo search;        // expression as the search text, regexp for wildcards too
    int searches = 1;          // find-in-file runs one after the other, each from where the last ended
    // Cancel once this many windows were reached (0: never), at most once.
    uint64_t cancel_at_window = 0;
    std::size_t scan_chunk_size = 0; // the byte scan's reads (0: its default)
    unsigned workers = 0;            // threads scanning a window's chunks (0: one per hardware thread)
    uint64_t chunk_bytes = 0;        // their chunks' bytes (0: the default)
};

// Where one find in file ended.
struct search_end {
    find_outcome outcome = find_outcome::not_found;
    int64_t row = 0;
    int64_t window_first = -1;
    int64_t window_last = -1;
    int64_t row_offset = -1; // the file offset of the row's line
    bool operator==(const search_end&) const = default;
};

inline std::string describe(const search_end& e)
{
    const char* outcome = e.outcome == find_outcome::found       ? "found"
                          : e.outcome == find_outcome::cancelled ? "cancelled"
                                                                 : "not found";
    return std::string(outcome) + " row " + std::to_string(e.row) + " window [" + std::to_string(e.window_first) + ", "
           + std::to_string(e.window_last) + "] offset " + std::to_string(e.row_offset);
}

// Opens path (the whole index, no index thread), sets up the view as setup
// says and runs its searches, fast or plain.  counts, when given, receive
// those of the last search.
inline std::vector<search_end> run_searches(const std::u16string& path, const search_setup& setup, bool literal_scan,
                                            find_counts* counts = nullptr)
{
    std::vector<search_end> ends;
    log_file file;
    if (!file.open(path, 0, setup.tail_first))
        return ends;
    // The user's choice, whatever the first bytes suggest.
    if (setup.encoding == file_encoding::utf8_plain)
        file.set_encoding(ENCODING_UTF8);
    else if (setup.encoding == file_encoding::ansi)
        file.set_encoding(ENCODING_ANSI);
    const log_pattern_list parser = service_parser();
    if (file.line_count() > 0)
        file.parse_range(file.indexer().hold(), parser, setup.window_first, setup.max_lines);
    if (!setup.groups.empty())
        file.apply_filter(parser, setup.groups);
    if (!setup.quick_text.empty())
        file.apply_quick_filter(IsQuickFilterWildcard(setup.quick_text), setup.quick_text);

    uint64_t reached = 0;
    bool cancel_taken = false;
    find_in_file_options options;
    options.max_lines = setup.max_lines;
    options.filter_enabled = setup.filter_enabled;
    options.quick_filter_text = !setup.quick_text.empty();
    options.literal_scan = literal_scan;
    options.scan_chunk_size = setup.scan_chunk_size;
    options.workers = setup.workers;
    options.chunk_bytes = setup.chunk_bytes;
    options.counts = counts;
    options.window_reached = [&](const find_window&) { ++reached; };
    options.cancelled = [&] {
        if (cancel_taken || setup.cancel_at_window == 0 || reached < setup.cancel_at_window)
            return false;
        cancel_taken = true;
        return true;
    };
    for (int k = 0; k < setup.searches; ++k) {
        const find_result result = find_in_file(file, parser, setup.search, options);
        search_end end;
        end.outcome = result.outcome;
        end.row = result.row;
        file.window(end.window_first, end.window_last);
        if (result.outcome != find_outcome::not_found) {
            const log_file::window_reader window = file.read_window();
            const std::vector<log_line*>& rows = options.quick_filter_text ? window.quick_lines()
                                                 : options.filter_enabled  ? window.filtered_lines()
                                                                           : window.lines();
            if (result.row >= 0 && static_cast<std::size_t>(result.row) < rows.size())
                end.row_offset = rows[static_cast<std::size_t>(result.row)]->offset;
        }
        ends.push_back(end);
    }
    return ends;
}

// Sets an environment variable for a scope.
class scoped_env {
public:
    scoped_env(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_had = true;
            m_old = old;
        }
        ::setenv(name, value, 1);
    }
    ~scoped_env()
    {
        if (m_had)
            ::setenv(m_name, m_old.c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    scoped_env(const scoped_env&) = delete;
    scoped_env& operator=(const scoped_env&) = delete;

private:
    const char* m_name;
    bool m_had = false;
    std::string m_old;
};

inline std::string narrow(const std::u16string& text)
{
    return ToUtf8(text);
}
