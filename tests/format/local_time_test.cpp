#include "format_test_support.h"

#include "format/local_time.h"
#include "support/bounded_wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second)
{
    tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return static_cast<int64_t>(timegm(&fields));
}

tm LocalFields(int64_t seconds)
{
    const time_t t = static_cast<time_t>(seconds);
    tm fields{};
    localtime_r(&t, &fields);
    return fields;
}

bool ShowsAs(int64_t seconds, const tm& wanted)
{
    const tm shown = LocalFields(seconds);
    return shown.tm_year == wanted.tm_year && shown.tm_mon == wanted.tm_mon && shown.tm_mday == wanted.tm_mday
           && shown.tm_hour == wanted.tm_hour && shown.tm_min == wanted.tm_min && shown.tm_sec == wanted.tm_sec;
}

// The reference conversion, built from localtime_r and mktime alone: every
// instant that shows the wanted wall-clock time is found; when there is one
// it must be mktime's answer; of two the first wins; with none (clocks moved
// forward) the offset of two days earlier applies.
int64_t ReferenceSeconds(int year, int month, int day, int hour, int minute, int second)
{
    const int64_t local = UtcSeconds(year, month, day, hour, minute, second);
    tm wanted{};
    wanted.tm_year = year - 1900;
    wanted.tm_mon = month - 1;
    wanted.tm_mday = day;
    wanted.tm_hour = hour;
    wanted.tm_min = minute;
    wanted.tm_sec = second;
    const int64_t offset_before = LocalFields(local - 2 * 86400).tm_gmtoff;
    const int64_t offset_after = LocalFields(local + 2 * 86400).tm_gmtoff;
    const int64_t offset_there = LocalFields(local).tm_gmtoff;
    std::vector<int64_t> solutions;
    for (int64_t offset : {offset_before, offset_after, offset_there}) {
        const int64_t t = local - offset;
        if (ShowsAs(t, wanted) && std::find(solutions.begin(), solutions.end(), t) == solutions.end())
            solutions.push_back(t);
    }
    if (solutions.empty())
        return local - offset_before;
    if (solutions.size() == 1) {
        const int64_t straightforward = MktimeSeconds(year, month, day, hour, minute, second);
        EXPECT_EQ(straightforward, solutions[0]) << year << "-" << month << "-" << day << " " << hour << ":" << minute;
        return solutions[0];
    }
    return *std::min_element(solutions.begin(), solutions.end());
}

int64_t Converted(int year, int month, int day, int hour, int minute, int second)
{
    return LocalSecondsToUtc(DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second);
}

struct transition_case {
    const char* zone;
    int year, month, day, hour, minute;
    int64_t expected_utc;
};

TEST(LocalSecondsToUtc, DaylightSavingChangesFollowTheTwoRules)
{
    const transition_case cases[] = {
        // Berlin, spring: 02:00-03:00 never shows; it reads as winter time.
        {"Europe/Berlin", 2024, 3, 31, 1, 59, UtcSeconds(2024, 3, 31, 0, 59, 0)},
        {"Europe/Berlin", 2024, 3, 31, 2, 0, UtcSeconds(2024, 3, 31, 1, 0, 0)},
        {"Europe/Berlin", 2024, 3, 31, 2, 30, UtcSeconds(2024, 3, 31, 1, 30, 0)},
        {"Europe/Berlin", 2024, 3, 31, 3, 0, UtcSeconds(2024, 3, 31, 1, 0, 0)},
        // Berlin, autumn: 02:00-03:00 shows twice; the first (summer) one wins.
        {"Europe/Berlin", 2024, 10, 27, 1, 59, UtcSeconds(2024, 10, 26, 23, 59, 0)},
        {"Europe/Berlin", 2024, 10, 27, 2, 0, UtcSeconds(2024, 10, 27, 0, 0, 0)},
        {"Europe/Berlin", 2024, 10, 27, 2, 59, UtcSeconds(2024, 10, 27, 0, 59, 0)},
        {"Europe/Berlin", 2024, 10, 27, 3, 0, UtcSeconds(2024, 10, 27, 2, 0, 0)},
        {"America/New_York", 2024, 3, 10, 2, 30, UtcSeconds(2024, 3, 10, 7, 30, 0)},
        {"America/New_York", 2024, 11, 3, 1, 30, UtcSeconds(2024, 11, 3, 5, 30, 0)},
        // Half-hour daylight saving time.
        {"Australia/Lord_Howe", 2024, 10, 6, 2, 15, UtcSeconds(2024, 10, 5, 15, 45, 0)},
        {"Australia/Lord_Howe", 2024, 4, 7, 1, 45, UtcSeconds(2024, 4, 6, 14, 45, 0)},
        // A whole day skipped when the zone crossed the date line.
        {"Pacific/Apia", 2011, 12, 30, 12, 0, UtcSeconds(2011, 12, 30, 22, 0, 0)},
        {"Pacific/Apia", 2011, 12, 31, 0, 0, UtcSeconds(2011, 12, 30, 10, 0, 0)},
    };
    for (const auto& c : cases) {
        scoped_time_zone zone(c.zone);
        EXPECT_EQ(Converted(c.year, c.month, c.day, c.hour, c.minute, 0), c.expected_utc)
            << c.zone << " " << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute;
        EXPECT_EQ(ReferenceSeconds(c.year, c.month, c.day, c.hour, c.minute, 0), c.expected_utc) << c.zone;
    }
}

uint64_t NextRandom(uint64_t& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// Every day from 1970 to 2045 and around later years, in zones with and
// without daylight saving time: random times each day, and every quarter
// hour of each day on which the offset changes.
TEST(LocalSecondsToUtc, EqualsTheStraightforwardConversionAcrossZonesAndYears)
{
    const char* zones[] = {"Europe/Berlin",    "America/New_York", "Australia/Lord_Howe",
                           "Australia/Sydney", "Asia/Kolkata",     "America/St_Johns",
                           "Europe/Moscow",    "Pacific/Apia",     "UTC"};
    for (const char* zone_name : zones) {
        scoped_time_zone zone(zone_name);
        uint64_t state = 0x9E3779B97F4A7C15ULL;
        std::vector<std::pair<int64_t, int64_t>> ranges = {{1970, 2045}, {2099, 2101}, {2999, 3000}};
        int checked = 0;
        for (const auto& [first_year, last_year] : ranges) {
            const int64_t first_day = DaysFromCivil(first_year, 1, 1);
            const int64_t last_day = DaysFromCivil(last_year, 12, 31);
            for (int64_t day = first_day; day <= last_day; ++day) {
                int64_t year = 0;
                int month = 0;
                int mday = 0;
                CivilFromDays(day, year, month, mday);
                const bool changes =
                    LocalFields(day * 86400 - 86400).tm_gmtoff != LocalFields(day * 86400 + 2 * 86400).tm_gmtoff;
                const int samples = changes ? 96 : 1;
                for (int i = 0; i < samples; ++i) {
                    const int second_of_day = changes ? i * 900 + static_cast<int>(NextRandom(state) % 2) * 899
                                                      : static_cast<int>(NextRandom(state) % 86400);
                    const int hour = second_of_day / 3600;
                    const int minute = second_of_day / 60 % 60;
                    const int second = second_of_day % 60;
                    const int y = static_cast<int>(year);
                    ASSERT_EQ(Converted(y, month, mday, hour, minute, second),
                              ReferenceSeconds(y, month, mday, hour, minute, second))
                        << zone_name << " " << y << "-" << month << "-" << mday << " " << hour << ":" << minute << ":"
                        << second;
                    ++checked;
                }
                // The fields' conversion, which keeps the day it saw last,
                // agrees for more times of the same day.
                for (int i = 0; i < 3; ++i) {
                    const int second_of_day = static_cast<int>(NextRandom(state) % 86400);
                    const int y = static_cast<int>(year);
                    const int hour = second_of_day / 3600;
                    const int minute = second_of_day / 60 % 60;
                    const int second = second_of_day % 60;
                    const int64_t expected = Converted(y, month, mday, hour, minute, second);
                    const bool convertible = expected >= 0 && expected <= LATEST_CONVERTIBLE_SECONDS;
                    int64_t seconds = -1;
                    ASSERT_EQ(LocalTimeToSeconds(y, month, mday, hour, minute, second, seconds), convertible)
                        << zone_name << " " << y << "-" << month << "-" << mday << " " << second_of_day;
                    if (convertible) {
                        ASSERT_EQ(seconds, expected)
                            << zone_name << " " << y << "-" << month << "-" << mday << " " << second_of_day;
                    }
                }
            }
        }
        EXPECT_GT(checked, 27000) << zone_name;
    }
}

TEST(UtcOffsetAt, EqualsLocaltimeAroundEveryChangeAndAtRandom)
{
    for (const char* zone_name : {"Europe/Berlin", "America/St_Johns", "Australia/Lord_Howe", "Pacific/Apia"}) {
        scoped_time_zone zone(zone_name);
        int changes = 0;
        int64_t previous = LocalFields(0).tm_gmtoff;
        for (int64_t t = 3600; t < UtcSeconds(2040, 1, 1, 0, 0, 0); t += 3600) {
            const int64_t offset = LocalFields(t).tm_gmtoff;
            if (offset == previous)
                continue;
            previous = offset;
            int64_t before = t - 3600; // the first second of the new offset is in (before, t]
            int64_t after = t;
            while (after - before > 1) {
                const int64_t mid = before + (after - before) / 2;
                (LocalFields(mid).tm_gmtoff == offset ? after : before) = mid;
            }
            for (int64_t near = after - 3; near <= after + 2; ++near)
                ASSERT_EQ(UtcOffsetAt(near), LocalFields(near).tm_gmtoff) << zone_name << " " << near;
            ++changes;
        }
        uint64_t state = 12345;
        for (int i = 0; i < 1000; ++i) {
            const int64_t t =
                static_cast<int64_t>(NextRandom(state) % static_cast<uint64_t>(LATEST_CONVERTIBLE_SECONDS));
            ASSERT_EQ(UtcOffsetAt(t), LocalFields(t).tm_gmtoff) << zone_name << " " << t;
        }
        EXPECT_GT(changes, 0) << zone_name;
    }
}

TEST(LocalTimeToSeconds, AcceptsOnlyTheEpochTo3000)
{
    scoped_time_zone zone("America/New_York");
    int64_t seconds = -5;
    EXPECT_TRUE(LocalTimeToSeconds(1969, 12, 31, 19, 0, 0, seconds)); // UTC 1970-01-01 00:00:00
    EXPECT_EQ(seconds, 0);
    EXPECT_TRUE(LocalTimeToSeconds(1969, 12, 31, 19, 0, 1, seconds));
    EXPECT_EQ(seconds, 1);
    seconds = -5;
    EXPECT_FALSE(LocalTimeToSeconds(1969, 12, 31, 18, 59, 59, seconds));
    EXPECT_EQ(seconds, -5);
    EXPECT_TRUE(LocalTimeToSeconds(3000, 12, 31, 18, 59, 59, seconds));
    EXPECT_EQ(seconds, LATEST_CONVERTIBLE_SECONDS);
    EXPECT_FALSE(LocalTimeToSeconds(3000, 12, 31, 19, 0, 0, seconds));
    EXPECT_FALSE(LocalTimeToSeconds(1000, 1, 1, 0, 0, 0, seconds));
    EXPECT_FALSE(LocalTimeToSeconds(INT64_MAX, 1, 1, 0, 0, 0, seconds));
    EXPECT_FALSE(LocalTimeToSeconds(INT64_MIN, 1, 1, 0, 0, 0, seconds));
}

TEST(LocalTimeZoneChanged, NewZoneTakesEffectImmediately)
{
    const int64_t local = DaysFromCivil(2024, 7, 1) * 86400 + 12 * 3600;
    {
        scoped_time_zone zone("Europe/Berlin");
        EXPECT_EQ(LocalSecondsToUtc(local), local - 7200);
    }
    {
        scoped_time_zone zone("America/New_York");
        EXPECT_EQ(LocalSecondsToUtc(local), local + 4 * 3600);
    }
    {
        scoped_time_zone zone("UTC");
        EXPECT_EQ(LocalSecondsToUtc(local), local);
        EXPECT_EQ(CurrentLocalYear(), LocalFields(static_cast<int64_t>(std::time(nullptr))).tm_year + 1900);
    }
}

TEST(CivilDays, AgreeWithTheCLibraryForEveryDayOf1960To3010)
{
    for (int64_t day = DaysFromCivil(1960, 1, 1); day <= DaysFromCivil(3010, 12, 31); ++day) {
        int64_t year = 0;
        int month = 0;
        int mday = 0;
        CivilFromDays(day, year, month, mday);
        ASSERT_EQ(UtcSeconds(static_cast<int>(year), month, mday, 0, 0, 0), day * 86400);
        ASSERT_EQ(DaysFromCivil(year, month, mday), day);
    }
    EXPECT_EQ(DaysFromCivil(2023, 2, 31), DaysFromCivil(2023, 3, 3));
    EXPECT_EQ(DaysFromCivil(2024, 3, 0), DaysFromCivil(2024, 2, 29));
}

TEST(LocalSecondsToUtc, ThreadsConvertIndependently)
{
    scoped_time_zone zone("Europe/Berlin");
    std::vector<bounded_thread> threads;
    std::vector<int> failures(4, 0);
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([i, &failures] {
            for (int day = 0; day < 3000; ++day) {
                const int64_t local = DaysFromCivil(1990 + i * 10, 1, 1 + day) * 86400 + 43200;
                const int64_t utc = LocalSecondsToUtc(local);
                if (utc + UtcOffsetAt(utc) != local)
                    ++failures[i];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int f : failures)
        EXPECT_EQ(f, 0);
}

} // namespace
