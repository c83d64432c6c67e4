#include "work/cell_text.h"

#include <algorithm>

std::u16string_view ShownCellText(const log_line& line, std::size_t column)
{
    if (column >= line.columns().size())
        return {};
    const log_column& cell = line.columns()[column];
    // The column must lie inside its line's characters.
    const std::size_t size = line.text().size();
    if (cell.length == 0 || cell.offset > size || cell.length > size - cell.offset)
        return {};
    const std::size_t length = std::min<std::size_t>(cell.length, kMaxCellText);
    return line.text_of(cell).substr(0, length);
}
