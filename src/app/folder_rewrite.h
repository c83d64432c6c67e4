// Rewriting one data folder at exit without ever losing its previous files.
//
// The folder's files are written one by one, each completely under a
// temporary name and then renamed into place.  Only when all writes are done
// are the files that were not rewritten removed, so the folder ends as if it
// had been emptied first, yet a failed write (a full disk, a killed process)
// leaves the previous copy of that file in place.
#pragma once

#include <set>
#include <string>
#include <vector>

class folder_rewrite {
public:
    explicit folder_rewrite(std::u16string folder) : m_folder(std::move(folder)) {}

    std::u16string path_of(const std::u16string& name) const;

    // Records that name was written (ok) or that writing it failed; either way
    // the file of that name is kept by finish().
    void keep(const std::u16string& name, bool ok);

    // Removes every file of the folder that was not kept, and stray temporary
    // files of earlier writes.  True when every write succeeded.
    bool finish();
    // The same, but only the files named in removable go: a file that came
    // into the folder later (one the user put there by hand) stays.
    bool finish(const std::set<std::u16string>& removable);

    // The paths whose write failed, in the order they were kept.
    const std::vector<std::u16string>& failed() const { return m_failed; }

private:
    std::u16string m_folder;
    std::set<std::u16string> m_kept;
    std::vector<std::u16string> m_failed;
};
