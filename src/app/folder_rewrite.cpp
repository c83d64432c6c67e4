#include "app/folder_rewrite.h"

#include "platform/files.h"

std::u16string folder_rewrite::path_of(const std::u16string& name) const
{
    return JoinPath(m_folder, name);
}

void folder_rewrite::keep(const std::u16string& name, bool ok)
{
    m_kept.insert(name);
    if (!ok)
        m_failed.push_back(path_of(name));
}

bool folder_rewrite::finish()
{
    if (!IsDirectory(m_folder))
        return m_failed.empty();
    for (const std::u16string& name : ListFiles(m_folder, u"")) {
        if (m_kept.count(name))
            continue;
        RemoveFile(path_of(name));
    }
    return m_failed.empty();
}

bool folder_rewrite::finish(const std::set<std::u16string>& removable)
{
    if (!IsDirectory(m_folder))
        return m_failed.empty();
    for (const std::u16string& name : ListFiles(m_folder, u"")) {
        if (m_kept.count(name) || !removable.count(name))
            continue;
        RemoveFile(path_of(name));
    }
    return m_failed.empty();
}
