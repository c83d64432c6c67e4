// The colours of one cell of the log list: the normal or selected colours,
// then the search-hit colours, else the colours of the last highlight rule
// that matches.  Colours are 0x00BBGGRR values; the caller passes the
// system colours it starts from, so the GUI gives its palette and tests give
// fixed values.
//
// Thread-safety: CellColors is a pure function.  A cell_painter holds search
// state and serves one thread at a time: build one per painted page from
// copies or references that stay unchanged while it lives.
#pragma once

#include "highlight/highlight.h"
#include "search/search_info.h"

#include <cstdint>
#include <string_view>
#include <vector>

struct tagSYSTEM_COLORS {
    int32_t button_text = 0;      // text of a row that is not selected
    int32_t window = 0;           // background of a row that is not selected
    int32_t highlighted_text = 0; // text of a selected row
    int32_t highlight = 0;        // background of a selected row while the list has the focus
    int32_t button_shadow = 0;    // background of a selected row otherwise
    int32_t list_text = 0;        // the list's own text colour, for search hits
    int32_t search_highlight = 0; // the "search_highlight" setting, background of search hits
};

struct tagCELL_COLORS {
    int32_t text_color = 0;
    int32_t back_color = 0;
    bool marked = false; // a search hit or a rule decided the colours

    bool operator==(const tagCELL_COLORS&) const = default;
};

// What the colour decision needs to know about the file being drawn.
struct tagHIGHLIGHT_STATE {
    const CSearchInfo* search = nullptr; // the file's search; null: none
    const CHighlight* rules = nullptr;   // the file's rules; null: none
    bool highlight_enabled = false;
};

// The colour decision for one cell, matching every pattern as it goes.
// column_index is the cell's column number (for the search's column);
// column_name its parser column name (for the rules' column).
tagCELL_COLORS CellColors(std::u16string_view cell_text, std::u16string_view column_name, int32_t column_index,
                          bool selected, bool focused, const tagHIGHLIGHT_STATE& state, const tagSYSTEM_COLORS& colors);

// The same decision prepared for a page: the search and every rule compiled
// once.  A rule or search whose regular expression runs out of its step
// budget stops colouring for the rest of the page.
class cell_painter {
public:
    cell_painter(const tagHIGHLIGHT_STATE& state, const tagSYSTEM_COLORS& colors);

    tagCELL_COLORS CellColors(std::u16string_view cell_text, std::u16string_view column_name, int32_t column_index,
                              bool selected, bool focused);

private:
    struct prepared_rule {
        std::u16string column;
        int32_t text_color;
        int32_t back_color;
        search_matcher matcher;
    };
    tagSYSTEM_COLORS m_colors;
    bool m_search_active = false;
    int32_t m_search_column = -1;
    std::vector<search_matcher> m_search; // zero or one
    std::vector<prepared_rule> m_rules;   // the rules taking part, in set order
};
