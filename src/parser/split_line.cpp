#include "parser/split_line.h"

#include "parser/datetime_extent.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::size_t kNotFound = std::u16string_view::npos;

// The first occurrence of what in text[from..length), or kNotFound.  The
// caller has checked that what is not empty and fits after from.
std::size_t find_text(const char16_t* text, std::size_t length, std::size_t from, const std::u16string& what)
{
    const char16_t first = what.front();
    const std::size_t size = what.size();
    const std::size_t last_start = length - size;
    for (std::size_t q = from; q <= last_start; ++q) {
        if (text[q] != first)
            continue;
        std::size_t k = 1;
        while (k < size && text[q + k] == what[k])
            ++k;
        if (k == size)
            return q;
    }
    return kNotFound;
}

bool fail_at(const log_pattern& item, std::u16string* failed_name)
{
    if (failed_name)
        *failed_name = item.name;
    return false;
}

// Splits text[0..length), which lies base characters into the line's text.
bool split_items(log_line& line, const char16_t* text, std::size_t base, std::size_t length,
                 const log_pattern_list& items, std::u16string* failed_name)
{
    std::size_t pos = 0;
    for (const log_pattern& item : items) {
        if (pos >= length)
            return fail_at(item, failed_name);

        std::size_t value_start = pos;
        if (!item.start.empty() && item.start.size() <= length - pos) {
            const std::size_t q = find_text(text, length, pos, item.start);
            if (q != kNotFound)
                value_start = q + item.start.size();
        }
        if (value_start == length)
            return fail_at(item, failed_name);

        std::size_t value_end = length;
        if (!item.end.empty()) {
            std::size_t end_from = value_start;
            if (item.ends_after_datetime()) {
                const std::size_t covered = DateTimeExtent(text + value_start, length - value_start, item.data_format);
                if (covered != kNoDateTimeExtent)
                    end_from += covered;
            }
            if (item.end.size() > length - end_from)
                return fail_at(item, failed_name);
            const std::size_t q = find_text(text, length, end_from, item.end);
            if (q == kNotFound)
                return fail_at(item, failed_name);
            value_end = q;
            pos = q + item.end.size();
        }

        const std::size_t value_length = value_end - value_start;
        if (!item.sub_items.empty()) {
            if (value_length == 0)
                return fail_at(item.sub_items.front(), failed_name);
            if (!split_items(line, text + value_start, base + value_start, value_length, item.sub_items, failed_name))
                return false;
        } else {
            log_column& column = line.add_column();
            column.offset = static_cast<uint16_t>(base + value_start);
            column.length = static_cast<uint16_t>(value_length);
            if (item.data_format.data_type != DATA_TYPE_TEXT) {
                tagDATA_VALUE value;
                ParseDataValue(value, text + value_start, value_length, item.data_format);
                column.set_value(value);
            }
        }
    }
    return true;
}

} // namespace

bool split_line(log_line& line, const char16_t* text, std::size_t length, const log_pattern_list& parser, bool copy,
                std::u16string* failed_name)
{
    if (failed_name)
        failed_name->clear();
    if (copy)
        line.assign_text(std::u16string_view(text, length));
    if (line.text().empty())
        return false;
    // Room for a column per leaf first, so that the text stays where it is
    // while it is split in place.
    line.reserve_columns(line.columns().size() + static_cast<std::size_t>(std::max(leaf_count(parser), 0)));
    text = line.text().data();
    length = line.text().size();
    if (length == 0)
        return false;
    if (!split_items(line, text, 0, length, parser, failed_name))
        return false;
    return !line.columns().empty();
}
