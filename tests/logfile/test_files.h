// Scratch folders and generated files for the log file tests.
#pragma once

#include "support/temp_dir.h"

#include <fstream>
#include <string>

// A scratch folder whose paths the log file tests use as plain strings.
class temp_folder {
public:
    // Writes bytes to name inside the folder and returns the full path.
    std::string write(const std::string& name, const std::string& bytes) const
    {
        m_dir.write(name, bytes);
        return m_path + "/" + name;
    }
    void append(const std::string& path, const std::string& bytes) const
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const std::string& path() const { return m_path; }

private:
    temp_dir m_dir;
    std::string m_path = m_dir.path().string();
};

inline std::u16string widen(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

// UTF-16 text as bytes in either byte order.
inline std::string ucs2_bytes(const std::u16string& text, bool little_endian)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        const char lo = static_cast<char>(c & 0xFF);
        const char hi = static_cast<char>(c >> 8);
        out.push_back(little_endian ? lo : hi);
        out.push_back(little_endian ? hi : lo);
    }
    return out;
}

// "line 0\n" ... "line n-1\n"
inline std::string numbered_lines(int count, const std::string& end = "\n")
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += "line " + std::to_string(i) + end;
    return out;
}
