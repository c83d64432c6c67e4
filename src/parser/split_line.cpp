#include "parser/split_line.h"

#include "parser/datetime_extent.h"

#include <algorithm>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t kNotFound = std::u16string_view::npos;

// Adds the parser's leaves to columns, and those that are not text to typed.
void count_leaves(const log_pattern_list& parser, std::size_t& columns, std::size_t& typed)
{
    for (const log_pattern& item : parser) {
        if (item.sub_items.empty()) {
            ++columns;
            typed += item.data_format.data_type != DATA_TYPE_TEXT ? 1 : 0;
        } else {
            count_leaves(item.sub_items, columns, typed);
        }
    }
}

// The first q in [from, end) where text[q] is first and, when pair, text[q +
// 1] is second; kNotFound when there is none.  Reads text[from, end), and
// text[end] too when pair.
template <bool pair>
std::size_t find_start(const char16_t* text, std::size_t from, std::size_t end, char16_t first, char16_t second)
{
    std::size_t q = from;
#if defined(__SSE2__)
    // Eight characters at a time.
    const __m128i want_first = _mm_set1_epi16(static_cast<short>(first));
    const __m128i want_second = _mm_set1_epi16(static_cast<short>(second));
    for (; q + 8 <= end; q += 8) {
        __m128i hits = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + q)), want_first);
        if constexpr (pair)
            hits = _mm_and_si128(
                hits, _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + q + 1)), want_second));
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0)
            return q + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)) / 2);
    }
#endif
    for (; q < end; ++q)
        if (text[q] == first && (!pair || text[q + 1] == second))
            return q;
    return kNotFound;
}

// The first occurrence of what[0..size) in text[from..length), or
// kNotFound.  The caller has checked that what is not empty and fits after
// from.
std::size_t find_text(const char16_t* text, std::size_t length, std::size_t from, const char16_t* what,
                      std::size_t size)
{
    const std::size_t end = length - size + 1;
    if (size == 1)
        return find_start<false>(text, from, end, what[0], 0);
    for (std::size_t q = from; q < end; ++q) {
        q = find_start<true>(text, q, end, what[0], what[1]);
        if (q == kNotFound)
            return kNotFound;
        std::size_t k = 2;
        while (k < size && text[q + k] == what[k])
            ++k;
        if (k >= size)
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

// A number of at most 18 digits and nothing else, as ParseDataValue reads it
// for a format without decimals; false for any other text.
bool read_digits(const char16_t* text, std::size_t length, tagDATA_VALUE& value)
{
    if (length == 0 || length > 18)
        return false;
    int64_t number = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned d = static_cast<unsigned>(text[i]) - u'0';
        if (d > 9)
            return false;
        number = number * 10 + d;
    }
    value = tagDATA_VALUE{};
    value.payload = number;
    value.valid = true;
    return true;
}

using item_view = split_plan::flat_item;

item_view view_of(const log_pattern& item, const fixed_datetime* fixed)
{
    return {&item, item.start.data(), item.start.size(), item.end.data(), item.end.size(), item.ends_after_datetime(),
            fixed};
}

// Where item's value lies in text[0..length), looked for from pos, which
// moves past the item's end text; false when the split fails at the item.
inline bool locate_value(const char16_t* text, std::size_t length, std::size_t& pos, const item_view& item,
                         std::size_t& value_start, std::size_t& value_end)
{
    if (pos >= length)
        return false;
    value_start = pos;
    if (item.start_size != 0 && item.start_size <= length - pos) {
        const std::size_t q = find_text(text, length, pos, item.start, item.start_size);
        if (q != kNotFound)
            value_start = q + item.start_size;
    }
    if (value_start == length)
        return false;
    value_end = length;
    if (item.end_size != 0) {
        std::size_t end_from = value_start;
        if (item.after_datetime) {
            const std::size_t covered =
                DateTimeExtent(text + value_start, length - value_start, item.item->data_format);
            if (covered != kNoDateTimeExtent)
                end_from += covered;
        }
        if (item.end_size > length - end_from)
            return false;
        const std::size_t q = find_text(text, length, end_from, item.end, item.end_size);
        if (q == kNotFound)
            return false;
        value_end = q;
        pos = q + item.end_size;
    }
    return true;
}

// The column of a leaf whose value is text[value_start, value_end), which
// lies base characters into the line's text, with its typed value: the
// quick readers first, the full parse for what they leave.
[[gnu::always_inline]] inline log_column leaf_column(const char16_t* text, std::size_t base, std::size_t value_start,
                                                     std::size_t value_end, const item_view& item)
{
    const std::size_t value_length = value_end - value_start;
    log_column column;
    column.offset = static_cast<uint16_t>(base + value_start);
    column.length = static_cast<uint16_t>(value_length);
    const tagDATA_FORMAT& format = item.item->data_format;
    if (format.data_type == DATA_TYPE_TEXT)
        return column;
    tagDATA_VALUE value;
    const bool integer = format.data_type == DATA_TYPE_NUMERIC && format.digit_count == 0;
    if (!(integer && read_digits(text + value_start, value_length, value))
        && !(item.fixed && item.fixed->read(text + value_start, value_length, value)))
        ParseDataValue(value, text + value_start, value_length, format);
    column.set_value(value);
    return column;
}

// What a split reads as it goes: the plan, when there is one, and the leaf
// that the next column is.
struct split_state {
    const split_plan* plan;
    std::size_t leaf;
    std::u16string* failed_name;
};

// Where a split's columns go: the line's add_column, one at a time.
struct line_sink {
    log_line& line;
    void add(const log_column& column) { line.add_column(column); }
};

// Splits text[0..length), which lies base characters into the line's text,
// into sink.
template <class Sink>
bool split_items(Sink& sink, const char16_t* text, std::size_t base, std::size_t length, const log_pattern_list& items,
                 split_state& state)
{
    std::size_t pos = 0;
    for (const log_pattern& item : items) {
        const bool leaf = item.sub_items.empty();
        const item_view view = view_of(item, leaf && state.plan ? state.plan->datetime_of(state.leaf) : nullptr);
        std::size_t value_start;
        std::size_t value_end;
        if (!locate_value(text, length, pos, view, value_start, value_end))
            return fail_at(item, state.failed_name);
        if (!leaf) {
            if (value_end == value_start)
                return fail_at(item.sub_items.front(), state.failed_name);
            if (!split_items(sink, text + value_start, base + value_start, value_end - value_start, item.sub_items,
                             state))
                return false;
        } else {
            sink.add(leaf_column(text, base, value_start, value_end, view));
            ++state.leaf;
        }
    }
    return true;
}

// split_items for a parser without sub-items, from its plan's array.
template <class Sink>
bool split_flat(Sink& sink, const char16_t* text, std::size_t length, const split_plan& plan,
                std::u16string* failed_name)
{
    std::size_t pos = 0;
    for (const item_view& item : plan.flat()) {
        std::size_t value_start;
        std::size_t value_end;
        if (!locate_value(text, length, pos, item, value_start, value_end))
            return fail_at(*item.item, failed_name);
        sink.add(leaf_column(text, 0, value_start, value_end, item));
    }
    return true;
}

bool split_with(log_line& line, const char16_t* text, std::size_t length, const log_pattern_list& parser,
                const split_plan* plan, bool copy, std::u16string* failed_name)
{
    if (failed_name)
        failed_name->clear();
    if (copy)
        line.assign_text(std::u16string_view(text, length));
    if (line.text().empty())
        return false;
    // Room for a column per leaf first, so that the text stays where it is
    // while it is split in place.
    std::size_t columns = 0;
    std::size_t typed = 0;
    if (plan) {
        columns = plan->columns();
        typed = plan->typed_columns();
    } else {
        count_leaves(parser, columns, typed);
    }
    line.make_room(columns, typed);
    text = line.text().data();
    length = line.text().size();
    if (length == 0)
        return false;
    auto split = [&](auto& sink) {
        if (plan && !plan->flat().empty())
            return split_flat(sink, text, length, *plan, failed_name);
        split_state state{plan, 0, failed_name};
        return split_items(sink, text, 0, length, parser, state);
    };
    bool split_whole;
    if (line.columns().size() + columns <= log_line::kMaskedColumns) {
        // The room for the columns is made: they go straight to it.
        log_line::column_writer sink(line);
        split_whole = split(sink);
        sink.commit();
    } else {
        line_sink sink{line};
        split_whole = split(sink);
    }
    return split_whole && !line.columns().empty();
}

} // namespace

bool split_line(log_line& line, const char16_t* text, std::size_t length, const log_pattern_list& parser, bool copy,
                std::u16string* failed_name)
{
    return split_with(line, text, length, parser, nullptr, copy, failed_name);
}

bool split_line(log_line& line, const char16_t* text, std::size_t length, const split_plan& plan, bool copy,
                std::u16string* failed_name)
{
    return split_with(line, text, length, plan.parser(), &plan, copy, failed_name);
}

split_plan::split_plan(const log_pattern_list& parser) : m_parser(parser)
{
    std::vector<const log_pattern*> leaves;
    leaf_count(parser, &leaves);
    std::size_t columns = 0;
    count_leaves(parser, columns, m_typed);
    m_datetimes.reserve(leaves.size());
    for (const log_pattern* leaf : leaves)
        m_datetimes.emplace_back(leaf->data_format);
    for (const fixed_datetime& reader : m_datetimes)
        m_readers.push_back(reader.usable() ? &reader : nullptr);
    const bool flat =
        std::all_of(parser.begin(), parser.end(), [](const log_pattern& item) { return item.sub_items.empty(); });
    if (flat) {
        std::size_t leaf = 0;
        for (const log_pattern& item : parser)
            m_flat.push_back(view_of(item, m_readers[leaf++]));
    }
}
