#include "work/cell_text.h"

#include <algorithm>

std::u16string_view ShownCellText(const log_line& line, std::size_t column)
{
    if (column >= line.columns.size())
        return {};
    const log_column& cell = line.columns[column];
    if (!cell.text_base || cell.length == 0)
        return {};
    // The column must lie inside its line's characters.
    const char16_t* begin = line.text.data();
    const char16_t* end = begin + line.text.size();
    if (cell.text_base < begin || cell.text_base > end || cell.offset > static_cast<uint64_t>(end - cell.text_base)
        || cell.length > static_cast<uint64_t>(end - cell.text_base) - cell.offset)
        return {};
    const auto length = static_cast<std::size_t>(std::min<uint64_t>(cell.length, kMaxCellText));
    return {cell.text_base + cell.offset, length};
}
