// Cost per value of ParseDataValue for date-time, number and IPv4 texts, over
// a million varied inputs each, beside the cost of the plain C library
// conversions measured in the same run.
//
//   format_bench [time zone]      (default Europe/Berlin)
#include "format/data_format.h"
#include "format/local_time.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int COUNT = 1000000;
constexpr int ROUNDS = 5;

struct text_set {
    std::u16string buffer;
    std::vector<std::pair<std::size_t, std::size_t>> spans; // offset, length
    void add(const std::string& text)
    {
        spans.emplace_back(buffer.size(), text.size());
        buffer.append(text.begin(), text.end());
    }
};

uint64_t g_state = 0x9E3779B97F4A7C15ULL;
uint64_t NextRandom()
{
    g_state ^= g_state << 13;
    g_state ^= g_state >> 7;
    g_state ^= g_state << 17;
    return g_state;
}

// CPU time of this thread, so that other processes on a busy machine do not
// count against either figure.
double ThreadCpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Best of ROUNDS, in nanoseconds of thread CPU time per value.
double Measure(const std::function<int64_t()>& run)
{
    double best = 1e300;
    volatile int64_t sink = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        const double start = ThreadCpuNanoseconds();
        sink = sink + run();
        const double stop = ThreadCpuNanoseconds();
        best = std::min(best, (stop - start) / COUNT);
    }
    return best;
}

int64_t ParseAll(const text_set& texts, const tagDATA_FORMAT& format)
{
    int64_t sum = 0;
    tagDATA_VALUE value;
    for (const auto& [offset, length] : texts.spans) {
        ParseDataValue(value, texts.buffer.data() + offset, length, format);
        sum += value.payload + value.valid;
    }
    return sum;
}

} // namespace

int main(int argc, char** argv)
{
    const char* zone = argc > 1 ? argv[1] : "Europe/Berlin";
    setenv("TZ", zone, 1);
    LocalTimeZoneChanged();
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

    // Date-times spread over 2023-2025 (six daylight saving changes), with
    // their fields kept for the baseline.
    text_set dates;
    std::vector<tm> fields(COUNT);
    for (int i = 0; i < COUNT; ++i) {
        tm& f = fields[i];
        f = tm{};
        f.tm_year = 2023 + static_cast<int>(NextRandom() % 3) - 1900;
        f.tm_mon = static_cast<int>(NextRandom() % 12);
        f.tm_mday = 1 + static_cast<int>(NextRandom() % 28);
        f.tm_hour = static_cast<int>(NextRandom() % 24);
        f.tm_min = static_cast<int>(NextRandom() % 60);
        f.tm_sec = static_cast<int>(NextRandom() % 60);
        f.tm_isdst = -1;
        char text[64];
        std::snprintf(text, sizeof text, "%02d/%s/%04d %02d:%02d:%02d", f.tm_mday, months[f.tm_mon], f.tm_year + 1900,
                      f.tm_hour, f.tm_min, f.tm_sec);
        dates.add(text);
    }

    text_set integers;
    text_set decimals;
    text_set addresses;
    std::vector<std::string> narrow_integers;
    for (int i = 0; i < COUNT; ++i) {
        const uint64_t r = NextRandom();
        const int64_t number = static_cast<int64_t>(r % 100000000) - 50000000;
        char text[64];
        if (i % 2) {
            std::snprintf(text, sizeof text, "%lld", static_cast<long long>(number));
        } else {
            // With thousands separators.
            std::string plain = std::to_string(number < 0 ? -number : number);
            std::string grouped;
            for (std::size_t k = 0; k < plain.size(); ++k) {
                if (k > 0 && (plain.size() - k) % 3 == 0)
                    grouped += ',';
                grouped += plain[k];
            }
            std::snprintf(text, sizeof text, "%s%s", number < 0 ? "-" : "", grouped.c_str());
        }
        integers.add(text);
        narrow_integers.emplace_back(text);
        std::snprintf(text, sizeof text, "%lld.%02d", static_cast<long long>(number / 100),
                      static_cast<int>(r >> 40) % 100);
        decimals.add(text);
        std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(r >> 8 & 255), static_cast<int>(r >> 16 & 255),
                      static_cast<int>(r >> 24 & 255), static_cast<int>(r >> 32 & 255));
        addresses.add(text);
    }

    tagDATA_FORMAT datetime;
    datetime.data_type = DATA_TYPE_DATETIME;
    datetime.format = u"d/b/Y H:M:S";
    tagDATA_FORMAT integer;
    integer.data_type = DATA_TYPE_NUMERIC;
    tagDATA_FORMAT decimal = integer;
    decimal.digit_count = 2;
    tagDATA_FORMAT ipv4;
    ipv4.data_type = DATA_TYPE_IPV4;

    // Same results as the plain conversion (apart from the repeated hour of
    // autumn nights, whose mktime answer depends on the previous call).
    int differences = 0;
    int repeated_hour = 0;
    for (int i = 0; i < COUNT; ++i) {
        tagDATA_VALUE value;
        ParseDataValue(value, dates.buffer.data() + dates.spans[i].first, dates.spans[i].second, datetime);
        tm f = fields[i];
        const int64_t expected = static_cast<int64_t>(mktime(&f));
        if (value.valid && value.payload == expected)
            continue;
        tm summer = fields[i];
        tm winter = fields[i];
        summer.tm_isdst = 1;
        winter.tm_isdst = 0;
        const time_t first = mktime(&summer);
        const time_t second = mktime(&winter);
        if (value.valid && first != second && summer.tm_hour == fields[i].tm_hour && winter.tm_hour == fields[i].tm_hour
            && value.payload == std::min(first, second))
            ++repeated_hour;
        else
            ++differences;
    }

    const double ns_datetime = Measure([&] { return ParseAll(dates, datetime); });
    const double ns_mktime = Measure([&] {
        int64_t sum = 0;
        for (int i = 0; i < COUNT; ++i) {
            tm f = fields[i];
            sum += static_cast<int64_t>(mktime(&f));
        }
        return sum;
    });
    const double ns_integer = Measure([&] { return ParseAll(integers, integer); });
    const double ns_strtoll = Measure([&] {
        int64_t sum = 0;
        for (const auto& text : narrow_integers)
            sum += std::strtoll(text.c_str(), nullptr, 10);
        return sum;
    });
    const double ns_decimal = Measure([&] { return ParseAll(decimals, decimal); });
    const double ns_ipv4 = Measure([&] { return ParseAll(addresses, ipv4); });

    std::printf("format_bench: %d varied inputs per row, best of %d rounds (thread CPU time), TZ=%s\n", COUNT, ROUNDS,
                zone);
    std::printf("  %-44s %8.1f ns/value   (target <= 150)\n", "date-time \"05/Aug/2024 13:07:09\" d/b/Y H:M:S",
                ns_datetime);
    std::printf("  %-44s %8.1f ns/value   (baseline)\n", "  plain local-time conversion (mktime)", ns_mktime);
    std::printf("  %-44s %8.1f ns/value   (target <= 40)\n", "number, integer (half with separators)", ns_integer);
    std::printf("  %-44s %8.1f ns/value   (target <= 40)\n", "number, 2 decimals", ns_decimal);
    std::printf("  %-44s %8.1f ns/value   (baseline)\n", "  plain strtoll on the same integers", ns_strtoll);
    std::printf("  %-44s %8.1f ns/value   (target <= 40)\n", "IPv4 address", ns_ipv4);
    std::printf("  date-time results equal to mktime: %d of %d (%d in a repeated autumn hour read as the first, "
                "%d different)\n",
                COUNT - differences - repeated_hour, COUNT, repeated_hour, differences);
    return differences == 0 ? 0 : 1;
}
