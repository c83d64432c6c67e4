#include "parser/log_pattern.h"

int32_t leaf_count(const log_pattern_list& parser, std::vector<const log_pattern*>* leaves)
{
    int32_t count = 0;
    for (const log_pattern& item : parser) {
        if (item.sub_items.empty()) {
            ++count;
            if (leaves)
                leaves->push_back(&item);
        } else {
            count += leaf_count(item.sub_items, leaves);
        }
    }
    return count;
}

std::u16string template_text(const log_pattern_list& parser)
{
    std::u16string text;
    for (const log_pattern& item : parser) {
        text += item.start;
        if (item.sub_items.empty())
            text += u"<" + item.name + u">";
        else
            text += template_text(item.sub_items);
        text += item.end;
    }
    return text;
}

bool operator==(const log_pattern& a, const log_pattern& b)
{
    return a.version == b.version && a.start == b.start && a.end == b.end && a.name == b.name
           && a.data_format == b.data_format && a.sub_items == b.sub_items
           && a.end_after_datetime == b.end_after_datetime;
}
