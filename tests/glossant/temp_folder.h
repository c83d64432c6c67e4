// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "glossant-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes bytes to name inside the folder and returns the file's path.
    std::filesystem::path Write(std::string_view name, std::string_view bytes) const
    {
        const auto file = path_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

private:
    std::filesystem::path path_;
};

// The wide form of a path, as the library's callers hand it over.
inline std::u16string WideOf(const std::filesystem::path& path)
{
    return path.u16string();
}
