#include "parser/log_line.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kMaxColumns = 65535;

std::size_t storage_bytes(std::size_t columns, std::size_t characters)
{
    return columns * sizeof(log_column) + characters * sizeof(char16_t);
}

} // namespace

log_line::~log_line()
{
    release();
}

void log_line::release()
{
    free_outgrown_storage();
    m_storage = nullptr;
    m_text_size = m_text_capacity = m_column_count = m_column_capacity = 0;
}

log_line::log_line(const log_line& other) : offset(other.offset), cut_length(other.cut_length)
{
    relayout(other.m_column_count, other.m_text_size);
    std::copy_n(other.column_data(), other.m_column_count, column_data());
    std::copy_n(other.text_data(), other.m_text_size, text_data());
    m_column_count = other.m_column_count;
    m_text_size = other.m_text_size;
}

log_line& log_line::operator=(const log_line& other)
{
    if (this != &other) {
        offset = other.offset;
        cut_length = other.cut_length;
        assign_text(other.text());
        reserve_columns(other.m_column_count);
        std::copy_n(other.column_data(), other.m_column_count, column_data());
        m_column_count = other.m_column_count;
    }
    return *this;
}

log_line* log_line::create(std::u16string_view text, std::size_t columns, line_arena* arena)
{
    const std::size_t characters = std::min(text.size(), kMaxLineText);
    columns = std::min(columns, kMaxColumns);
    const std::size_t bytes = sizeof(log_line) + storage_bytes(columns, characters);
    line_slab* slab = nullptr;
    void* block = arena ? arena->cut(bytes, slab) : nullptr;
    if (!block)
        block = ::operator new(bytes);
    auto* line = ::new (block) log_line;
    line->m_slab = slab;
    line->m_storage = reinterpret_cast<char*>(line + 1);
    line->m_column_capacity = static_cast<uint16_t>(columns);
    line->m_text_capacity = static_cast<uint16_t>(characters);
    line->m_text_size = static_cast<uint16_t>(characters);
    if (characters)
        std::memcpy(line->text_data(), text.data(), characters * sizeof(char16_t));
    return line;
}

void log_line::relayout(std::size_t column_capacity, std::size_t text_capacity)
{
    column_capacity = std::min(column_capacity, kMaxColumns);
    text_capacity = std::min(text_capacity, kMaxLineText);
    const std::size_t bytes = storage_bytes(column_capacity, text_capacity);
    char* storage = bytes ? static_cast<char*>(::operator new(bytes)) : nullptr;
    auto* columns = reinterpret_cast<log_column*>(storage);
    const std::size_t kept_columns = std::min<std::size_t>(m_column_count, column_capacity);
    const std::size_t kept_text = std::min<std::size_t>(m_text_size, text_capacity);
    if (kept_columns)
        std::memcpy(static_cast<void*>(columns), column_data(), kept_columns * sizeof(log_column));
    if (kept_text)
        std::memcpy(storage + column_capacity * sizeof(log_column), text_data(), kept_text * sizeof(char16_t));
    if (m_storage && !in_one_block())
        ::operator delete(m_storage);
    else if (m_slab && storage)
        m_slab->note_outgrown(); // the line's storage leaves its slab block
    m_storage = storage;
    m_column_capacity = static_cast<uint16_t>(column_capacity);
    m_text_capacity = static_cast<uint16_t>(text_capacity);
    m_column_count = static_cast<uint16_t>(kept_columns);
    m_text_size = static_cast<uint16_t>(kept_text);
}

void log_line::assign_text(std::u16string_view text)
{
    const std::size_t characters = std::min(text.size(), kMaxLineText);
    m_column_count = 0;
    if (characters > m_text_capacity) {
        m_text_size = 0;
        relayout(m_column_capacity, characters);
    }
    // The text given may lie in this line's own text.
    if (characters)
        std::memmove(text_data(), text.data(), characters * sizeof(char16_t));
    m_text_size = static_cast<uint16_t>(characters);
}

void log_line::reserve_columns(std::size_t columns)
{
    if (columns > m_column_capacity)
        relayout(columns, m_text_size);
}

void log_line::grow_columns()
{
    if (m_column_count >= kMaxColumns)
        throw std::bad_alloc();
    reserve_columns(std::max<std::size_t>(4, std::size_t{m_column_capacity} * 2));
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
