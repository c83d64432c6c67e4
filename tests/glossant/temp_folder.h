// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
#pragma once

#include "support/temp_dir.h"

#include <filesystem>
#include <string>
#include <string_view>

class TempFolder {
public:
    const std::filesystem::path& path() const { return m_dir.path(); }

    // Writes bytes to name inside the folder and returns the file's path.
    std::filesystem::path Write(std::string_view name, std::string_view bytes) const
    {
        m_dir.write(std::string(name), std::string(bytes));
        return m_dir.path() / std::string(name);
    }

private:
    temp_dir m_dir;
};

// The wide form of a path, as the library's callers hand it over.
inline std::u16string WideOf(const std::filesystem::path& path)
{
    return path.u16string();
}
