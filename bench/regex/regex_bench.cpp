// Search speed of the engine against the PCRE2 interpreter (no JIT) on
// generated log lines in the sample's format and a dozen typical patterns.
// Both compile once and search every line; the match counts must agree.
// Prints each pattern's time beside PCRE2's, the ratio, and the geometric
// mean of the ratios.  Usage: regex_bench [line count]
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "regex/regex.h"

namespace {

std::u16string Widen(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

struct Rng {
    unsigned long long state = 0x9E3779B97F4A7C15ull;
    unsigned Next(unsigned n)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return unsigned((state >> 33) % n);
    }
};

std::vector<std::u16string> MakeLines(int count)
{
    Rng rng;
    static const char* levels[] = {"INFO ", "INFO ", "INFO ", "INFO ", "DEBUG", "DEBUG", "WARN ", "ERROR"};
    static const char* users[] = {"alice", "bob", "carol", "dave", "erin"};
    static const char* methods[] = {"GET", "GET", "POST", "PUT", "DELETE"};
    static const char* resources[] = {"orders", "users", "invoices", "items"};
    std::vector<std::u16string> lines;
    lines.reserve(count);
    char buf[512];
    int ms = 0;
    for (int i = 0; i < count; ++i) {
        ms += 1 + int(rng.Next(40));
        const int hour = 13 + ms / 3600000 % 10, minute = ms / 60000 % 60, second = ms / 1000 % 60;
        int n = std::snprintf(buf, sizeof buf, "2024-08-05 %02d:%02d:%02d.%03d [%s] [worker-%u] ", hour, minute, second,
                              ms % 1000, levels[rng.Next(8)], rng.Next(8));
        char* p = buf + n;
        const size_t room = sizeof buf - size_t(n);
        const unsigned a = rng.Next(256), b = rng.Next(256), c = rng.Next(256), d = rng.Next(256);
        switch (rng.Next(8)) {
        case 0:
        case 1:
            std::snprintf(p, room, "Request %u from %u.%u.%u.%u took %u ms", 1000 + rng.Next(9000), a, b, c, d,
                          rng.Next(3) ? rng.Next(999) : 1000 + rng.Next(9000));
            break;
        case 2: std::snprintf(p, room, "User %s logged in from %u.%u.%u.%u", users[rng.Next(5)], a, b, c, d); break;
        case 3:
            std::snprintf(p, room, "%s /api/%s/%u %u %ums", methods[rng.Next(5)], resources[rng.Next(4)],
                          rng.Next(100000), rng.Next(5) ? 200u : 500u, rng.Next(900));
            break;
        case 4:
            std::snprintf(p, room, "Cache miss for key user:%u, loading from db-%u", rng.Next(100000), rng.Next(4));
            break;
        case 5:
            std::snprintf(p, room, "%s to db-%u:5432 after %u retries",
                          rng.Next(4) ? "Connected" : "Connection refused", rng.Next(4), rng.Next(5));
            break;
        case 6:
            std::snprintf(p, room, "Timeout after %u ms waiting for lock on table orders", 1000 * (1 + rng.Next(9)));
            break;
        default:
            std::snprintf(p, room, "Disk usage at %u%% on /var/log, %u files rotated", rng.Next(100), rng.Next(20));
            break;
        }
        lines.push_back(Widen(buf));
    }
    return lines;
}

struct Case {
    const char* pattern;
    bool ignore_case;
};

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const std::vector<std::u16string> lines = MakeLines(count);
    const std::vector<Case> cases = {
        {"ERROR", false},
        {"Timeout", false},
        {"ERROR|WARN", false},
        {"\\[(ERROR|WARN) *\\]", false},
        {"took \\d{4} ms", false},
        {"\\d+\\.\\d+\\.\\d+\\.\\d+", false},
        {"\\b(?:\\d{1,3}\\.){3}\\d{1,3}\\b", false},
        {"connection refused", true},
        {"segfault at 0x[0-9a-f]+", false},
        {"^2024-08-05 13:0[0-4]", false},
        {"\\[worker-[37]\\]", false},
        {"user:\\d+", false},
        {"(GET|POST) /api/\\w+/\\d+ 500", false},
        {"waiting for lock.*orders", false},
        {"[A-Z]{5}", false},
    };
    std::printf("regex_bench: %d lines, PCRE2 interpreter (no JIT) as baseline; best of 3 runs\n", count);
    std::printf("%-36s %10s %10s %7s %8s\n", "pattern", "ours ms", "pcre2 ms", "ratio", "matches");
    double log_sum = 0, worst = 0;
    bool mismatch = false;
    pcre2_match_data* data = pcre2_match_data_create(32, nullptr);
    for (const Case& c : cases) {
        const std::u16string pattern = Widen(c.pattern);
        CPatternT ours;
        ours.Compile(pattern, c.ignore_case ? IgnoreCase : 0);
        CMatchContextT ctx;
        int error = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code* ref = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                        c.ignore_case ? PCRE2_CASELESS : 0, &error, &offset, nullptr);
        if (!ref) {
            std::printf("%-36s reference refused the pattern\n", c.pattern);
            return 1;
        }
        double best_ours = 1e9, best_ref = 1e9;
        long ours_matches = 0, ref_matches = 0;
        for (int run = 0; run < 3; ++run) {
            auto start = std::chrono::steady_clock::now();
            ours_matches = 0;
            for (const auto& line : lines)
                ours_matches += ours.Search(line.data(), int(line.size()), ctx);
            best_ours = std::min(best_ours, Seconds(start));
            start = std::chrono::steady_clock::now();
            ref_matches = 0;
            for (const auto& line : lines)
                ref_matches +=
                    pcre2_match(ref, reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(), 0, 0, data, nullptr) >= 0;
            best_ref = std::min(best_ref, Seconds(start));
        }
        pcre2_code_free(ref);
        const double ratio = best_ours / best_ref;
        log_sum += std::log(ratio);
        worst = std::max(worst, ratio);
        std::printf("%-36s %10.2f %10.2f %6.2fx %8ld%s\n",
                    (std::string(c.pattern) + (c.ignore_case ? " (i)" : "")).c_str(), best_ours * 1000, best_ref * 1000,
                    ratio, ours_matches, ours_matches == ref_matches ? "" : "  MISMATCH with reference");
        if (ours_matches != ref_matches)
            mismatch = true;
    }
    pcre2_match_data_free(data);
    std::printf("geometric mean ratio %.2fx (target <= 2.0x), worst %.2fx (target <= 5.0x)\n",
                std::exp(log_sum / double(cases.size())), worst);
    return mismatch ? 1 : 0;
}
