#include "work/work_data.h"

std::vector<log_line*>& CWorkData::row_source()
{
    if (!quick_filter_text.empty())
        return file.quick_lines();
    if (filter_enabled)
        return file.filtered_lines();
    return file;
}

std::u16string FileNamePart(const std::u16string& path)
{
    const std::size_t slash = path.rfind(u'/');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}
