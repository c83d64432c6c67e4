#include "parser/log_line.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

// The most bytes of a line's column area: the room counts 2-byte units in
// 16 bits.
constexpr std::size_t kMostColumnBytes = std::size_t{65535} * 2;

std::size_t room_units(std::size_t bytes)
{
    return (bytes + 1) / 2;
}

} // namespace

log_line::~log_line()
{
    release();
}

void log_line::release()
{
    free_outgrown_storage();
    m_word = 0;
    m_text_size = m_text_capacity = m_column_count = m_column_room = 0;
}

log_line::log_line(const log_line& other) : offset(other.offset)
{
    *this = other;
}

log_line& log_line::operator=(const log_line& other)
{
    if (this != &other) {
        offset = other.offset;
        assign_text(other.text());
        const std::size_t bytes = other.used_bytes();
        if (bytes > std::size_t{m_column_room} * 2)
            relayout(bytes, m_text_capacity);
        const std::size_t kept = other.values() * kValueBytes;
        if (other.m_column_count)
            std::memcpy(column_area(), other.column_area(), other.m_column_count * kPlaceBytes);
        if (kept)
            std::memcpy(column_area_end() - kept, other.column_area_end() - kept, kept);
        m_column_count = other.m_column_count;
        set_valued(other.valued());
        set_cut_length(other.cut_length());
    }
    return *this;
}

log_line* log_line::create(std::u16string_view text, std::size_t columns, line_arena* arena, std::size_t typed)
{
    const std::size_t characters = std::min(text.size(), kMaxLineText);
    typed = std::min(typed, columns);
    const std::size_t units = std::min(room_units(columns * kPlaceBytes + typed * kValueBytes), kMostColumnBytes / 2);
    const std::size_t bytes = sizeof(log_line) + characters * sizeof(char16_t) + units * 2;
    line_slab* slab = nullptr;
    void* block = arena ? arena->cut(bytes, slab) : nullptr;
    if (!block)
        block = ::operator new(bytes);
    auto* line = ::new (block) log_line;
    line->m_word = slab ? 3 : 1;
    line->m_column_room = static_cast<uint16_t>(units);
    line->m_text_capacity = static_cast<uint16_t>(characters);
    line->m_text_size = static_cast<uint16_t>(characters);
    if (characters)
        std::memcpy(line->text_data(), text.data(), characters * sizeof(char16_t));
    return line;
}

void log_line::relayout(std::size_t column_bytes, std::size_t text_capacity)
{
    const std::size_t units = room_units(column_bytes);
    if (units * 2 > kMostColumnBytes)
        throw std::bad_alloc();
    text_capacity = std::min(text_capacity, kMaxLineText);
    auto* head = static_cast<outgrown_head*>(
        ::operator new(sizeof(outgrown_head) + text_capacity * sizeof(char16_t) + units * 2));
    head->valued = valued();
    head->slab = slab();
    head->cut_length = cut_length();
    auto* area = reinterpret_cast<unsigned char*>(head + 1);
    const std::size_t kept_text = std::min<std::size_t>(m_text_size, text_capacity);
    if (kept_text)
        std::memcpy(area + units * 2, text_data(), kept_text * sizeof(char16_t));
    const std::size_t kept_values = values() * kValueBytes;
    if (m_column_count)
        std::memcpy(area, column_area(), m_column_count * kPlaceBytes);
    if (kept_values)
        std::memcpy(area + units * 2 - kept_values, column_area_end() - kept_values, kept_values);
    if (one_block()) {
        if (head->slab)
            head->slab->note_outgrown(); // the line's storage leaves its slab block
    } else {
        free_outgrown_storage();
    }
    m_word = reinterpret_cast<uintptr_t>(head);
    m_column_room = static_cast<uint16_t>(units);
    m_text_capacity = static_cast<uint16_t>(text_capacity);
    m_text_size = static_cast<uint16_t>(kept_text);
}

void log_line::set_cut_length(uint64_t length)
{
    if (length == cut_length())
        return;
    if (one_block() || !m_word)
        relayout(std::size_t{m_column_room} * 2, m_text_capacity);
    head()->cut_length = length;
}

void log_line::assign_text(std::u16string_view text)
{
    const std::size_t characters = std::min(text.size(), kMaxLineText);
    clear_columns();
    if (characters > m_text_capacity) {
        m_text_size = 0;
        relayout(std::size_t{m_column_room} * 2, characters);
    }
    // The text given may lie in this line's own text.
    if (characters)
        std::memmove(text_data(), text.data(), characters * sizeof(char16_t));
    m_text_size = static_cast<uint16_t>(characters);
}

void log_line::make_more_room(std::size_t columns, std::size_t typed)
{
    // Past the masked columns every column takes a typed value's room.
    const std::size_t first = m_column_count;
    const std::size_t forced = first + columns > kMaskedColumns ? first + columns - std::max(first, kMaskedColumns) : 0;
    const std::size_t bytes = used_bytes() + columns * kPlaceBytes + (std::min(typed, columns) + forced) * kValueBytes;
    if (bytes > std::size_t{m_column_room} * 2)
        relayout(bytes, m_text_capacity);
}

void log_line::grow_columns(std::size_t bytes)
{
    if (bytes > kMostColumnBytes)
        throw std::bad_alloc();
    const std::size_t room = std::size_t{m_column_room} * 2;
    relayout(std::min(std::max({bytes, room * 2, 4 * (kPlaceBytes + kValueBytes)}), kMostColumnBytes), m_text_capacity);
}

void DeleteLines(log_line* const* lines, std::size_t count)
{
    std::size_t i = 0;
    while (i < count) {
        line_slab* const slab = line_slab::holding(lines[i]);
        if (!slab || slab->any_outgrown()) {
            delete lines[i];
            ++i;
            continue;
        }
        // The lines that follow in the same slab go with one count, unread.
        const auto base = reinterpret_cast<std::uintptr_t>(slab);
        std::size_t end = i + 1;
        while (end < count
               && (reinterpret_cast<std::uintptr_t>(lines[end]) & ~std::uintptr_t{line_slab::kBytes - 1}) == base)
            ++end;
        line_slab::release(slab, end - i);
        i = end;
    }
}
