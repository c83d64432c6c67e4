// What the menus, the toolbar and the status bar show for the active tab.
//
// The main window asks a provider for an active_view_state before each menu
// opens and whenever it updates the toolbar; the rules below turn it into the
// enabled and checked state of every command.  The rules are plain functions
// so that they can be tested without widgets.  With no file open the default
// state applies: only open, options and help on the toolbar, only options in
// the Edit menu.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How a compressed file's decoding stands, for its status-bar note.
enum class packed_note {
    none,      // decoded cleanly so far
    truncated, // the compressed data ends early
    damaged,   // the compressed data is damaged
    trailing,  // bytes after its end were ignored
    failed,    // it could not be read, or its plain copy not written
};

struct active_view_state {
    int tab_count = 0;          // open files (tabs)
    bool has_file = false;      // an active tab with its file
    bool has_selection = false; // the active list has selected rows
    bool auto_refresh = false;
    bool highlight_enabled = false;
    bool filter_enabled = false;
    bool has_filter_conditions = false;
    int64_t window_first = -1;  // first parsed line, -1 without a window
    int64_t window_last = -1;   // last parsed line, -1 without a window
    int64_t indexed_lines = 0;  // lines indexed so far
    int64_t row_count = 0;      // rows the active list shows
    int64_t selected_count = 0; // selected rows of the active list
    int64_t cut_lines = 0;      // indexed lines too long for their text, shown cut
    int64_t current_line = 0;   // the file's line number (from 1) of the focused row, 0: none or not known yet
    bool line_numbers = false;  // the line-number column is shown (a setting)
    bool looks_binary = false;  // the file's first bytes do not look like text
    std::u16string packing;     // "gzip" or "zstd" for a compressed file, else empty
    packed_note packed = packed_note::none;
    std::vector<std::u16string> column_names; // the active list's columns
};

struct command_state {
    bool enabled = false;
    bool checked = false;
    bool operator==(const command_state&) const = default;
};

// Scroll up is possible unless the window starts at line 0 (no window counts as "not 0").
bool CanScrollUp(const active_view_state& s);
// Scroll down is possible when the window ends before the last indexed line (never without a window).
bool CanScrollDown(const active_view_state& s);

// Toolbar button of the given command id (unknown ids are disabled).
command_state ToolbarCommandState(int id, const active_view_state& s);

// Main-menu item of the given command id, including the recent-file range
// (always enabled) and the column ranges (enabled with a selection).
command_state MenuCommandState(int id, const active_view_state& s);

// Submenus without a command id of their own.
bool ExportSubmenuEnabled(const active_view_state& s);          // File > Export
bool CopyColumnSubmenuEnabled(const active_view_state& s);      // Edit > Copy Column
bool IncludeExcludeSubmenusEnabled(const active_view_state& s); // View > Include/Exclude

// Status bar parts 0-2: "<total text>: <n>" etc., empty without a file.
struct status_texts {
    std::u16string total;
    std::u16string filtered;
    std::u16string selected;
    // "<long lines cut text>: <n>" while the file has lines shown cut, else empty.
    std::u16string cut;
    // The binary-data note while the file looks binary, else empty.
    std::u16string binary;
    // "<line text>: <n>" for the focused row's line, else empty.
    std::u16string line;
    // For a compressed file its packing ("gzip", "zstd"), followed by
    // ": <note>" when its data ends early, is damaged or has bytes after its
    // end; else empty.
    std::u16string packing;
};
status_texts StatusTexts(const active_view_state& s);

// "%s: %d" with the label and the number.
std::u16string LabelledCount(const std::u16string& label, int64_t count);

// A cell text as the list popup's include and exclude items show it: texts
// of 70 characters or more become their first 33 characters, "..." and
// their last 33; shorter ones stay whole.
std::u16string ShortenedCellText(const std::u16string& text);
// "%s '%s'": an item label followed by a quoted name or cell text.
std::u16string QuotedItemText(const std::u16string& label, const std::u16string& quoted);

// Items of the list popup (select all and invert also without a selection,
// the clicked-cell items with one).
command_state ListPopupCommandState(int id, const active_view_state& s);

// The window title: the application title, then " - " and the file name when one is given.
std::u16string WindowTitle(const std::u16string& app_title, const std::u16string& file_name);
