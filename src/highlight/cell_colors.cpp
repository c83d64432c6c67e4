#include "highlight/cell_colors.h"

#include "regex/text_match.h"

namespace {

// Runaway limit for painting: one budget overrun per page and pattern.
constexpr int kPaintRunawayLimit = 1;

tagCELL_COLORS NormalColors(bool selected, bool focused, const tagSYSTEM_COLORS& colors)
{
    if (!selected)
        return {colors.button_text, colors.window, false};
    return {colors.highlighted_text, focused ? colors.highlight : colors.button_shadow, false};
}

bool SearchActive(const CSearchInfo* search)
{
    return search && search->highlight && !search->expression.empty();
}

bool SearchCoversColumn(int32_t search_column, int32_t column_index)
{
    return search_column < 0 || search_column == column_index;
}

// The text a rule is matched with: its converted wildcard, else its expression.
std::u16string RuleText(const tagHIGHLIGHT_ITEM& rule)
{
    return rule.wildcard ? WildcardToRegex(rule.expression) : rule.expression;
}

bool RuleTakesPart(const tagHIGHLIGHT_ITEM& rule)
{
    return !rule.expression.empty();
}

} // namespace

tagCELL_COLORS CellColors(std::u16string_view cell_text, std::u16string_view column_name, int32_t column_index,
                          bool selected, bool focused, const tagHIGHLIGHT_STATE& state, const tagSYSTEM_COLORS& colors)
{
    tagCELL_COLORS result = NormalColors(selected, focused, colors);
    const std::u16string cell(cell_text);
    if (SearchActive(state.search) && SearchCoversColumn(state.search->column, column_index)
        && MatchText(cell, SearchText(*state.search), state.search->case_sensitive, SearchUsesRegex(*state.search)))
        return {colors.list_text, colors.search_highlight, true};
    if (!state.highlight_enabled || !state.rules)
        return result;
    for (const tagHIGHLIGHT_ITEM& rule : *state.rules) {
        if (!RuleTakesPart(rule) || !(rule.column.empty() || rule.column == column_name))
            continue;
        if (MatchText(cell, RuleText(rule), rule.case_sensitive, rule.wildcard || rule.regexp))
            result = {rule.text_color, rule.back_color, true};
    }
    return result;
}

cell_painter::cell_painter(const tagHIGHLIGHT_STATE& state, const tagSYSTEM_COLORS& colors) : m_colors(colors)
{
    if (SearchActive(state.search)) {
        m_search_active = true;
        m_search_column = state.search->column;
        m_search.push_back(search_matcher::ForCells(*state.search, kPaintRunawayLimit));
    }
    if (!state.highlight_enabled || !state.rules)
        return;
    for (const tagHIGHLIGHT_ITEM& rule : *state.rules) {
        if (!RuleTakesPart(rule))
            continue;
        m_rules.push_back(
            {rule.column, rule.text_color, rule.back_color,
             search_matcher(RuleText(rule), rule.case_sensitive, rule.wildcard || rule.regexp, kPaintRunawayLimit)});
    }
}

tagCELL_COLORS cell_painter::CellColors(std::u16string_view cell_text, std::u16string_view column_name,
                                        int32_t column_index, bool selected, bool focused)
{
    tagCELL_COLORS result = NormalColors(selected, focused, m_colors);
    if (m_search_active && SearchCoversColumn(m_search_column, column_index) && m_search.front().Matches(cell_text))
        return {m_colors.list_text, m_colors.search_highlight, true};
    for (prepared_rule& rule : m_rules) {
        if (!rule.column.empty() && rule.column != column_name)
            continue;
        if (rule.matcher.Matches(cell_text))
            result = {rule.text_color, rule.back_color, true};
    }
    return result;
}
