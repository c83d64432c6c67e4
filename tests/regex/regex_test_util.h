// Helpers shared by the expression-engine tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "regex/regex.h"

// One table row: pattern, flags, text, and the expected span of the whole
// match (-1, -1: no match).
struct SpanCase {
    const char16_t* pattern;
    int flags;
    std::u16string text;
    int start;
    int end;
};

// Printable form of a UTF-16 text for failure messages (non-ASCII as \uXXXX).
inline std::string Show(std::u16string_view text)
{
    std::string out;
    static const char* hex = "0123456789ABCDEF";
    for (char16_t c : text) {
        if (c >= 32 && c < 127) {
            out += char(c);
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(c >> shift) & 15];
        }
    }
    return out;
}

// Span of group 0, or (-1, -1) when nothing matched.
inline std::pair<int, int> SearchSpan(const char16_t* pattern, int flags, std::u16string_view text)
{
    CPatternT compiled;
    compiled.Compile(std::u16string_view(pattern), flags);
    const CMatchResultT result = compiled.Match(text);
    if (!result.IsMatched())
        return {-1, -1};
    return {result.GetStart(), result.GetEnd()};
}

// Runs job(0) .. job(count - 1) on count threads and waits for all of them,
// at most limit: a thread that has not ended by then ends the whole test run,
// since it still uses the test's data.
inline void RunThreads(int count, const std::function<void(int)>& job,
                       std::chrono::seconds limit = std::chrono::seconds(120))
{
    std::mutex lock;
    std::condition_variable ended;
    int done = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            job(i);
            std::lock_guard<std::mutex> guard(lock);
            ++done;
            ended.notify_all();
        });
    }
    {
        std::unique_lock<std::mutex> guard(lock);
        if (!ended.wait_for(guard, limit, [&] { return done == count; })) {
            std::fprintf(stderr, "threads of a test did not end within %lld s\n",
                         static_cast<long long>(limit.count()));
            std::abort();
        }
    }
    for (std::thread& t : threads)
        t.join(); // each has finished its job and is leaving
}
