#include "logfile/parser_choice.h"

#include "parser/datetime_extent.h"

namespace {

// One candidate of the choice.
struct SortItem {
    int32_t column_count;
    const std::u16string* name;
    const tagPARSER_ITEM* entry;
};

constexpr uint64_t kCheckedLines = 5;

// What the checked window says of one parser.
struct window_verdict {
    bool splits = false;      // every line has exactly the parser's columns
    bool every_column = true; // each typed column read on at least one line
    bool whole = true;        // every typed value read, date-times whole
};

window_verdict judge_window(log_file& file, const log_pattern_list& parser)
{
    window_verdict verdict;
    file.discard_lines();
    if (file.line_count() == 0)
        return verdict;
    std::vector<const log_pattern*> leaves;
    const auto columns = static_cast<std::size_t>(leaf_count(parser, &leaves));
    const uint64_t lines = file.line_count();
    const uint64_t first = lines < kCheckedLines ? 0 : lines - kCheckedLines;
    if (!file.parse_range(file.indexer().hold(), parser, static_cast<int64_t>(first), kCheckedLines))
        return verdict;
    {
        const log_file::window_reader window = file.read_window();
        verdict.splits = !window.lines().empty();
        for (const log_line* line : window.lines())
            verdict.splits = verdict.splits && line->columns().size() == columns;
        if (verdict.splits) {
            for (std::size_t c = 0; c < columns; ++c) {
                const tagDATA_FORMAT& format = leaves[c]->data_format;
                if (format.data_type == DATA_TYPE_TEXT)
                    continue;
                bool read_somewhere = false;
                for (const log_line* line : window.lines()) {
                    const log_column& column = line->columns()[c];
                    const bool read = column.value().valid;
                    read_somewhere = read_somewhere || read;
                    const bool whole =
                        read
                        && (format.data_type != DATA_TYPE_DATETIME
                            || DateTimeCoversWhole(line->text().data() + column.offset, column.length, format));
                    verdict.whole = verdict.whole && whole;
                }
                verdict.every_column = verdict.every_column && read_somewhere;
            }
        }
    }
    file.discard_lines();
    return verdict;
}

} // namespace

parser_fit rate_parser(log_file& file, const log_pattern_list& parser)
{
    const window_verdict verdict = judge_window(file, parser);
    if (!verdict.splits || !verdict.every_column)
        return parser_fit::none;
    return verdict.whole ? parser_fit::whole : parser_fit::partly;
}

bool check_parser(log_file& file, const log_pattern_list& parser)
{
    return judge_window(file, parser).splits;
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
    const tagPARSER_ITEM* partly = nullptr;
    for (const tagPARSER_ITEM* entry : parser_candidates(parsers)) {
        const parser_fit fit = rate_parser(file, entry->parser);
        if (fit == parser_fit::whole)
            return entry;
        if (fit == parser_fit::partly && !partly)
            partly = entry;
    }
    return partly;
}
