#include "app/folder_rewrite.h"

#include "platform/files.h"

std::u16string folder_rewrite::path_of(const std::u16string& name) const
{
    return JoinPath(m_folder, name);
}

void folder_rewrite::keep(const std::u16string& name, bool ok)
{
    m_kept.insert(name);
    m_all_ok = m_all_ok && ok;
}

bool folder_rewrite::finish()
{
    if (!IsDirectory(m_folder))
        return m_all_ok;
    for (const std::u16string& name : ListFiles(m_folder, u"")) {
        if (m_kept.count(name))
            continue;
        RemoveFile(path_of(name));
    }
    return m_all_ok;
}
