// Shared pieces of the export tests: the ANSI code page they run under, a
// recorder for message boxes, and text helpers.
#pragma once

#include "glossant/dictionary_text.h"
#include "glossant/glossant.h"
#include "platform/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Sets VARNOTH_ANSI_CODEPAGE for the life of the object, restoring the old value.
class scoped_code_page {
public:
    explicit scoped_code_page(const char* name)
    {
        if (const char* old = std::getenv("VARNOTH_ANSI_CODEPAGE"))
            m_old = old;
        ::setenv("VARNOTH_ANSI_CODEPAGE", name, 1);
    }
    ~scoped_code_page()
    {
        if (m_old)
            ::setenv("VARNOTH_ANSI_CODEPAGE", m_old->c_str(), 1);
        else
            ::unsetenv("VARNOTH_ANSI_CODEPAGE");
    }
    scoped_code_page(const scoped_code_page&) = delete;
    scoped_code_page& operator=(const scoped_code_page&) = delete;

private:
    std::optional<std::string> m_old;
};

// Loads the shipped English dictionary once, so that messages carry their texts.
inline void LoadEnglishDictionary()
{
    static const bool loaded = [] {
        Glossant::Initialize();
        const auto path = std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "dict" / "en.lc";
        return Glossant::LoadDictionary(path.u16string(), "dict");
    }();
    ASSERT_TRUE(loaded);
}

// One message box the code under test asked for.
struct shown_message {
    std::u16string text;
    unsigned flags = 0;
};

// Records message boxes and answers them from a script (then with the
// default answer).
class message_recorder {
public:
    int operator()(const std::u16string& text, unsigned flags)
    {
        shown.push_back({text, flags});
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return default_answer;
    }

    std::vector<shown_message> shown;
    std::deque<int> answers;
    int default_answer = 1; // IDOK
};

inline std::string Narrow(const std::u16string& text)
{
    return ToUtf8(text);
}

inline std::u16string Wide(const std::string& utf8)
{
    return FromUtf8(utf8);
}
