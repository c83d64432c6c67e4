#include "app/folder_rewrite.h"

#include "platform/files.h"

std::u16string folder_rewrite::path_of(const std::u16string& name) const
{
    return JoinPath(folder_, name);
}

void folder_rewrite::keep(const std::u16string& name, bool ok)
{
    kept_.insert(name);
    all_ok_ = all_ok_ && ok;
}

bool folder_rewrite::finish()
{
    if (!IsDirectory(folder_))
        return all_ok_;
    for (const std::u16string& name : ListFiles(folder_, u"")) {
        if (kept_.count(name))
            continue;
        RemoveFile(path_of(name));
    }
    return all_ok_;
}
