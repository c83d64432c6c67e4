#include "logfile/parser_choice.h"

namespace {

// One candidate of the choice.
struct SortItem {
    int32_t column_count;
    const std::u16string* name;
    const tagPARSER_ITEM* entry;
};

constexpr uint64_t kCheckedLines = 5;

} // namespace

bool check_parser(log_file& file, const log_pattern_list& parser)
{
    file.discard_lines();
    const uint64_t lines = file.line_count();
    if (lines == 0)
        return false;
    const auto columns = static_cast<std::size_t>(leaf_count(parser));
    const uint64_t first = lines < kCheckedLines ? 0 : lines - kCheckedLines;
    if (!file.parse_range(file.indexer().hold(), parser, static_cast<int64_t>(first), kCheckedLines))
        return false;
    bool fits;
    {
        const log_file::window_reader window = file.read_window();
        fits = !window.lines().empty();
        for (const log_line* line : window.lines())
            fits = fits && line->columns.size() == columns;
    }
    file.discard_lines();
    return fits;
}

std::vector<const tagPARSER_ITEM*> parser_candidates(const parser_list& parsers)
{
    std::vector<SortItem> sorted;
    for (const tagPARSER_ITEM& entry : parsers) {
        const SortItem item{leaf_count(entry.parser), &entry.name, &entry};
        auto place = sorted.begin();
        while (place != sorted.end() && place->column_count > item.column_count)
            ++place;
        sorted.insert(place, item);
    }
    std::vector<const tagPARSER_ITEM*> order;
    order.reserve(sorted.size());
    for (const SortItem& item : sorted)
        order.push_back(item.entry);
    return order;
}

const tagPARSER_ITEM* choose_parser(log_file& file, const parser_list& parsers)
{
    if (file.line_count() == 0)
        return nullptr;
    for (const tagPARSER_ITEM* entry : parser_candidates(parsers))
        if (check_parser(file, entry->parser))
            return entry;
    return nullptr;
}
