// The walk over every indexed line of a log file (export, find's plain loop).
#include "logfile/log_file.h"

#include "filter/filter_run.h"
#include "logfile/line_bytes_reader.h"
#include "parser/split_line.h"

#include <algorithm>
#include <memory>

namespace {

// The most characters a line's text converts to.
constexpr std::size_t kConvertBufferSize = kMaxLineUnits + 1;

} // namespace

bool log_file::for_each_line(const log_pattern_list& parser, line_callback callback, void* context,
                             const line_test& passes)
{
    if (!callback || m_indexer.control().is_running())
        return false;
    const line_index::reader index = m_indexer.index().read();
    const uint64_t total = index.line_count();
    line_cursor cursor;
    if (!index.locate(0, cursor))
        return true;
    const int32_t text_encoding = encoding();
    line_bytes_reader reader(*this);
    std::u16string text;
    text.reserve(kConvertBufferSize);
    const split_plan plan(parser);
    log_line line;
    line.make_room(plan.columns(), plan.typed_columns());
    uint64_t number = 0;
    do {
        int64_t offset;
        uint64_t whole;
        index.line_at(cursor, offset, whole);
        const auto length = static_cast<std::size_t>(shown_line_bytes(text_encoding, whole));
        const char* bytes = reader.bytes(offset, length, offset + static_cast<int64_t>(kReadBufferSize));
        if (!bytes || !line_bytes_to_text(text_encoding, bytes, length, text, length < whole))
            text.clear();
        line.offset = offset;
        line.set_cut_length(length < whole ? whole : 0);
        if (text.empty()) {
            line.assign_text({});
        } else {
            split_line(line, text.data(), text.size(), plan, true);
        }
        if ((!passes || passes(line)) && !callback(line, number, total, context))
            break;
        ++number;
    } while (index.advance(cursor));
    return true;
}

bool log_file::for_each_line(const log_pattern_list& parser, line_callback callback, void* context,
                             const log_filter_groups* groups)
{
    if (!groups || groups->ConditionCount() == 0)
        return for_each_line(parser, callback, context, line_test{});
    if (!callback || m_indexer.control().is_running())
        return false;
    // Each line reaches the test split with parser: its typed values serve.
    auto prepared = std::make_shared<prepared_groups>(*groups, parser, text_matcher::kDefaultRunawayLimit,
                                                      row_values::split_with_parser);
    return for_each_line(parser, callback, context,
                         [prepared](const log_line& line) { return prepared->RowPasses(line); });
}
