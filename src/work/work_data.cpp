#include "work/work_data.h"

const std::vector<log_line*>& CWorkData::row_source(const log_file::window_reader& window) const
{
    if (!quick_filter_text.empty())
        return window.quick_lines();
    if (filter_enabled)
        return window.filtered_lines();
    return window.lines();
}

std::size_t CWorkData::row_count() const
{
    const log_file::window_reader window = file.read_window();
    return row_source(window).size();
}

std::u16string FileNamePart(const std::u16string& path)
{
    const std::size_t slash = path.rfind(u'/');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}
