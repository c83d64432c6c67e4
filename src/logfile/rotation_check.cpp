#include "logfile/rotation_check.h"

#include <algorithm>
#include <utility>

void rotation_check::take_head(const read_only_file& file, int64_t size)
{
    m_head.assign(static_cast<std::size_t>(std::clamp<int64_t>(size, 0, static_cast<int64_t>(kHeadBytes))), '\0');
    const int64_t got = file.read_at(0, m_head.data(), m_head.size());
    m_head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
}

void rotation_check::take_mark(const read_only_file& file, int64_t end)
{
    if (end <= 0) {
        m_mark.clear();
        m_mark_end = -1;
        return;
    }
    std::string bytes(static_cast<std::size_t>(std::min<int64_t>(end, static_cast<int64_t>(kMarkBytes))), '\0');
    const int64_t start = end - static_cast<int64_t>(bytes.size());
    if (file.read_at(start, bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) {
        m_mark.clear();
        m_mark_end = -1;
        return;
    }
    m_mark = std::move(bytes);
    m_mark_end = end;
}

void rotation_check::clear()
{
    m_head.clear();
    m_mark.clear();
    m_mark_end = -1;
}

file_change rotation_check::check(const read_only_file& file, const std::string* path, int64_t noted_size,
                                  int64_t indexed_end, bool compare_identity)
{
    uint64_t open_device = 0, open_inode = 0, path_device = 0, path_inode = 0;
    if (path && compare_identity && file.identity(open_device, open_inode) && path_identity(*path, path_device, path_inode)
        && (open_device != path_device || open_inode != path_inode))
        return file_change::replaced;
    const int64_t size = file.size();
    if (size < 0)
        return file_change::unchecked;
    if (size < noted_size)
        return file_change::shrank;
    // Compare what both the stored head and the file have; a head taken
    // from a file that was shorter then grows with the file.
    std::string head(static_cast<std::size_t>(std::min<int64_t>(size, static_cast<int64_t>(kHeadBytes))), '\0');
    const int64_t got = file.read_at(0, head.data(), head.size());
    if (got < 0)
        return file_change::unchecked;
    head.resize(static_cast<std::size_t>(got));
    const std::size_t common = std::min(head.size(), m_head.size());
    if (head.compare(0, common, m_head, 0, common) != 0)
        return file_change::rewritten;
    if (head.size() > m_head.size())
        m_head = std::move(head);
    // What ended the indexed lines must still be where it was.
    if (m_mark_end > 0) {
        std::string now(m_mark.size(), '\0');
        const int64_t start = m_mark_end - static_cast<int64_t>(m_mark.size());
        if (file.read_at(start, now.data(), now.size()) == static_cast<int64_t>(now.size()) && now != m_mark)
            return file_change::rewritten;
    }
    if (indexed_end != m_mark_end)
        take_mark(file, indexed_end);
    // Everything that could be compared is unchanged; a path that cannot be
    // looked up leaves the file's identity unknown.
    return path ? file_change::none : file_change::unchecked;
}
