// The options and window placement kept in setting.xml, and the two history
// lists kept as UTF-16 files in the history folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr char16_t kDefaultSiteAddress[] = u"https://varnoth.ostrel.example";
inline constexpr char16_t kDefaultSupportMail[] = u"support@ostrel.example";

struct window_rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
};

struct app_settings {
    unsigned max_loading_lines = 100000;         // in force for this run
    unsigned max_loading_lines_to_save = 100000; // what the options dialog set
    bool load_tail_first = true;
    bool tail_on_refresh = true;
    int32_t search_highlight = 0x0000FFFF; // 0x00BBGGRR, yellow
    std::u16string column_separator = u" ";
    bool main_wnd_maximized = true;
    window_rect main_wnd_rect;
    // The maker's web site (help, feedback, product and download pages, the
    // version check) and the support mail address; an empty support address
    // turns the about box's support link off.
    std::u16string site_address = kDefaultSiteAddress;
    std::u16string support_mail = kDefaultSupportMail;
    // Written only when they differ from these defaults.
    bool show_line_numbers = false; // the lists' line-number column
    std::u16string open_folder;     // where a file was last opened from
    std::u16string export_folder;   // where the last export was written
    int results_pane_height = 0;    // pixels of the tabs' results panes; 0: not set yet
};

constexpr unsigned kMaxLoadingLinesLimit = 10000000;
constexpr std::size_t kExpressionHistoryLimit = 50;
constexpr std::size_t kRecentFileLimit = 10;

// Reads path into settings; a missing or malformed file, or a missing element,
// leaves the settings as they were.
void LoadSettings(app_settings& settings, const std::u16string& path);

// Writes settings to path (replacing it only once the new file is complete).
bool SaveSettings(const app_settings& settings, const std::u16string& path);

// Empties history, then reads the UTF-16 LE list at path: entries end at
// U+000A, the first empty entry ends the list; an odd-length or unreadable
// file gives an empty list.
void ReadHistoryFile(std::vector<std::u16string>& history, const std::u16string& path);

// Writes the list (BOM, then each entry followed by U+000A); an empty list
// deletes the file instead.
bool WriteHistoryFile(const std::vector<std::u16string>& history, const std::u16string& path);

// Newest first, at most 50, no two equal (exact comparison).  Empty text is ignored.
void AddExpressionHistory(std::vector<std::u16string>& history, const std::u16string& text);

// Newest first, at most 10, no two equal ignoring ASCII case.  Empty path is ignored.
void AddRecentFile(std::vector<std::u16string>& recent, const std::u16string& path);
