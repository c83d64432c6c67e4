#include "work/copy_rows.h"

#include "work/cell_text.h"

namespace {

// The cell as the list shows it.
std::u16string_view CellOf(const log_line* row, std::size_t column)
{
    return row ? ShownCellText(*row, column) : std::u16string_view();
}

} // namespace

copy_rows_text CopyRowsText(std::span<const log_line* const> rows, int column,
                            std::span<const std::u16string> column_names, std::u16string_view separator,
                            std::size_t limit)
{
    copy_rows_text copy;
    if (rows.empty() || column < -1 || (column >= 0 && static_cast<std::size_t>(column) >= column_names.size()))
        return copy;
    const bool all = column < 0;
    const std::size_t first = all ? 0 : static_cast<std::size_t>(column);
    const std::size_t end = all ? column_names.size() : first + 1;
    const bool several = rows.size() > 1;
    const std::u16string_view line_end = several ? u"\r\n" : u"";

    // One row's length first, so that a row goes in whole or not at all.
    auto row_length = [&](const log_line* row) {
        std::size_t length = line_end.size();
        for (std::size_t c = first; c < end; ++c)
            length += CellOf(row, c).size() + (c > first ? separator.size() : 0);
        return length;
    };
    auto append_row = [&](const log_line* row) {
        for (std::size_t c = first; c < end; ++c) {
            if (c > first)
                copy.text += separator;
            copy.text += CellOf(row, c);
        }
        copy.text += line_end;
    };

    // Measured first, so that the text is allocated once.
    std::size_t header = 0;
    if (several) {
        header = line_end.size();
        for (std::size_t c = first; c < end; ++c)
            header += column_names[c].size() + (c > first ? separator.size() : 0);
        if (header > limit) {
            copy.cut = true;
            return copy;
        }
    }
    std::size_t length = header;
    std::size_t fitting = 0;
    for (; fitting < rows.size(); ++fitting) {
        const std::size_t row = row_length(rows[fitting]);
        if (row > limit - length) {
            copy.cut = true;
            break;
        }
        length += row;
    }
    copy.text.reserve(length);
    if (several) {
        for (std::size_t c = first; c < end; ++c) {
            if (c > first)
                copy.text += separator;
            copy.text += column_names[c];
        }
        copy.text += line_end;
    }
    for (std::size_t i = 0; i < fitting; ++i)
        append_row(rows[i]);
    return copy;
}

std::u16string PathFileName(std::u16string_view path)
{
    const std::size_t slash = path.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::u16string PathFolder(std::u16string_view path)
{
    const std::size_t slash = path.rfind(u'/');
    if (slash == std::u16string_view::npos)
        return {};
    return std::u16string(slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
}
