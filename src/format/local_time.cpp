#include "format/local_time.h"

#include <atomic>
#include <ctime>

// How the offsets are cached
// --------------------------
// The zone's UTC offset is constant over long periods (months, usually).  A
// period is found once by sampling localtime_r every SAMPLE_STEP seconds
// outwards from an instant until the offset changes (or REACH is covered), and
// the exact second of each change is then found by bisection.  Each thread
// keeps the last few periods; converting a wall-clock time is then a handful
// of comparisons.  The sampling assumes that the zone never changes its offset
// twice within one day (SAMPLE_STEP), which holds for every zone since 1970;
// the tests check the result against localtime_r around every change.
namespace {

constexpr int64_t SECONDS_PER_DAY = 86400;
constexpr int64_t SAMPLE_STEP = SECONDS_PER_DAY;
constexpr int64_t REACH = 400 * SECONDS_PER_DAY;
// More than the largest difference between two offsets of one zone, so that a
// period used this far inside its explored bounds cannot hide a neighbour.
constexpr int64_t MARGIN = 3 * SECONDS_PER_DAY;
constexpr int CACHE_SIZE = 8;

struct offset_period {
    int64_t start = 0; // first second with this offset
    int64_t end = 0;   // first second after the period
    int32_t offset = 0;
    int32_t prev_offset = 0; // offset before start, when has_prev
    bool has_prev = false;   // start is a change of offset, not the edge of the exploration
    bool has_next = false;   // end is a change of offset
};

std::atomic<uint64_t> g_zone_generation{1};

int32_t SampleOffset(int64_t utc_seconds)
{
    const time_t t = static_cast<time_t>(utc_seconds);
    tm local{};
    if (!localtime_r(&t, &local))
        return 0;
    return static_cast<int32_t>(local.tm_gmtoff);
}

// First second in (before, after] whose offset is the one at after, where
// the offset at before differs.
int64_t BisectChange(int64_t before, int64_t after, int32_t offset_after)
{
    while (after - before > 1) {
        const int64_t mid = before + (after - before) / 2;
        if (SampleOffset(mid) == offset_after)
            after = mid;
        else
            before = mid;
    }
    return after;
}

offset_period Explore(int64_t at)
{
    offset_period period;
    period.offset = SampleOffset(at);

    int64_t same = at;
    period.start = at - REACH;
    for (int64_t walked = 0; walked < REACH; walked += SAMPLE_STEP) {
        const int64_t probe = same - SAMPLE_STEP;
        const int32_t offset = SampleOffset(probe);
        if (offset != period.offset) {
            period.start = BisectChange(probe, same, period.offset);
            period.prev_offset = SampleOffset(period.start - 1);
            period.has_prev = true;
            break;
        }
        same = probe;
    }

    same = at;
    period.end = at + REACH;
    for (int64_t walked = 0; walked < REACH; walked += SAMPLE_STEP) {
        const int64_t probe = same + SAMPLE_STEP;
        const int32_t offset = SampleOffset(probe);
        if (offset != period.offset) {
            // The last second with our offset is in [same, probe).
            int64_t lo = same;
            int64_t hi = probe;
            while (hi - lo > 1) {
                const int64_t mid = lo + (hi - lo) / 2;
                if (SampleOffset(mid) == period.offset)
                    lo = mid;
                else
                    hi = mid;
            }
            period.end = hi;
            period.has_next = true;
            break;
        }
        same = probe;
    }
    return period;
}

// A local day whose every wall-clock time converts with one offset.
struct simple_day {
    int64_t day = INT64_MIN;
    int32_t offset = 0;
};
constexpr int DAY_CACHE_SIZE = 1024; // about three years of distinct days

// The date last converted by LocalTimeToSeconds, its day count, and its
// offset when the whole day has one.
struct date_memo {
    int64_t year = INT64_MIN;
    int month = 0;
    int day = 0;
    int64_t days = 0;
    bool simple = false;
    int32_t offset = 0;
    uint64_t generation = 0;
};

struct offset_cache {
    uint64_t generation = 0;
    date_memo date;
    simple_day days[DAY_CACHE_SIZE];
    offset_period periods[CACHE_SIZE];
    int count = 0;
    int next = 0; // round-robin slot to replace
    int last = 0; // most recently used
};

thread_local offset_cache t_cache;

bool Covers(const offset_period& period, int64_t t)
{
    return t >= period.start && t < period.end && (period.has_prev || t - period.start >= MARGIN)
           && (period.has_next || period.end - t > MARGIN);
}

// The period holding t, with enough explored room around t.
const offset_period& PeriodAt(int64_t t)
{
    offset_cache& cache = t_cache;
    const uint64_t generation = g_zone_generation.load(std::memory_order_acquire);
    if (cache.generation != generation) {
        cache.generation = generation;
        for (simple_day& day : cache.days)
            day = simple_day{};
        cache.count = 0;
        cache.next = 0;
        cache.last = 0;
    }
    if (cache.count > 0 && Covers(cache.periods[cache.last], t))
        return cache.periods[cache.last];
    for (int i = 0; i < cache.count; ++i) {
        if (Covers(cache.periods[i], t)) {
            cache.last = i;
            return cache.periods[i];
        }
    }
    const int slot = cache.next;
    cache.periods[slot] = Explore(t);
    cache.next = (slot + 1) % CACHE_SIZE;
    if (cache.count < CACHE_SIZE)
        ++cache.count;
    cache.last = slot;
    return cache.periods[slot];
}

} // namespace

int64_t DaysFromCivil(int64_t year, int month, int day)
{
    // Counts from 1 March so that the leap day ends the year.
    const int64_t y = year - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t year_of_era = y - era * 400;
    const int64_t shifted_month = month > 2 ? month - 3 : month + 9;
    const int64_t day_of_year = (153 * shifted_month + 2) / 5;
    const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468 + (day - 1);
}

void CivilFromDays(int64_t days, int64_t& year, int& month, int& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t day_of_era = days - era * 146097;
    const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t shifted_month = (5 * day_of_year + 2) / 153;
    day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
}

int32_t UtcOffsetAt(int64_t utc_seconds)
{
    return PeriodAt(utc_seconds).offset;
}

namespace {

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Remembers day when every wall-clock time of it lies inside period, with no
// earlier reading in the period before (and room enough to be sure).
void RememberDay(offset_cache& cache, int64_t day, const offset_period& period)
{
    const int64_t first = day * SECONDS_PER_DAY;
    const int64_t last = first + SECONDS_PER_DAY - 1;
    if (first - period.offset < period.start || last - period.offset >= period.end)
        return;
    if (period.has_prev ? (period.prev_offset > period.offset && first - period.prev_offset < period.start)
                        : first - period.offset - period.start < MARGIN)
        return;
    simple_day& entry = cache.days[static_cast<uint64_t>(day) % DAY_CACHE_SIZE];
    entry.day = day;
    entry.offset = period.offset;
}

int64_t ConvertThroughPeriods(int64_t local_seconds)
{
    offset_cache& cache = t_cache;
    const int32_t guess = (cache.count > 0 && cache.generation == g_zone_generation.load(std::memory_order_relaxed))
                              ? cache.periods[cache.last].offset
                              : 0;
    offset_period period = PeriodAt(local_seconds - guess);
    // A wall-clock time lies in at most two neighbouring periods; walk towards
    // the one whose offset maps it inside itself.  Two steps always suffice.
    for (int step = 0; step < 4; ++step) {
        const int64_t t = local_seconds - period.offset;
        if (t < period.start) {
            const offset_period before = PeriodAt(period.start - 1);
            const int64_t t_before = local_seconds - before.offset;
            if (t_before >= before.end)
                return t_before; // skipped by moving the clocks forward
            period = before;
            continue;
        }
        if (t >= period.end) {
            const offset_period after = PeriodAt(period.end);
            if (local_seconds - after.offset < after.start)
                return t; // skipped by moving the clocks forward
            period = after;
            continue;
        }
        // Shown twice when the clocks were turned back: the first time wins.
        if (period.has_prev && period.prev_offset > period.offset && local_seconds - period.prev_offset < period.start)
            return local_seconds - period.prev_offset;
        RememberDay(cache, FloorDiv(local_seconds, SECONDS_PER_DAY), period);
        return t;
    }
    return local_seconds - period.offset;
}

} // namespace

int64_t LocalSecondsToUtc(int64_t local_seconds)
{
    // Most days hold no change of offset: one look-up in the day cache.
    offset_cache& cache = t_cache;
    const int64_t day = FloorDiv(local_seconds, SECONDS_PER_DAY);
    const simple_day& entry = cache.days[static_cast<uint64_t>(day) % DAY_CACHE_SIZE];
    if (entry.day == day && cache.generation == g_zone_generation.load(std::memory_order_acquire))
        return local_seconds - entry.offset;
    return ConvertThroughPeriods(local_seconds);
}

bool LocalTimeToSeconds(int64_t year, int month, int day, int hour, int minute, int second, int64_t& seconds)
{
    bool one_offset_day;
    return LocalTimeToSeconds(year, month, day, hour, minute, second, seconds, one_offset_day);
}

bool LocalTimeToSeconds(int64_t year, int month, int day, int hour, int minute, int second, int64_t& seconds,
                        bool& one_offset_day)
{
    one_offset_day = false;
    // Far outside the range: no need to consult the zone (and no overflow).
    if (year < 1960 || year > 3010)
        return false;
    // Lines of a log mostly share their date with the line before: its day
    // count, and its offset when the day has one all day, are kept.
    offset_cache& cache = t_cache;
    date_memo& date = cache.date;
    const uint64_t generation = g_zone_generation.load(std::memory_order_acquire);
    if (date.year != year || date.month != month || date.day != day || date.generation != generation)
        date = date_memo{year, month, day, DaysFromCivil(year, month, day), false, 0, generation};
    const int64_t local = date.days * SECONDS_PER_DAY + int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
    if (local < -MARGIN || local > LATEST_CONVERTIBLE_SECONDS + MARGIN)
        return false;
    const bool in_the_day = hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
    int64_t utc;
    if (date.simple && in_the_day) {
        utc = local - date.offset;
    } else {
        utc = LocalSecondsToUtc(local);
        // The conversion has noted the day when it has one offset all day.
        const simple_day& entry = cache.days[static_cast<uint64_t>(date.days) % DAY_CACHE_SIZE];
        if (in_the_day && entry.day == date.days && cache.generation == generation) {
            date.simple = true;
            date.offset = entry.offset;
        }
    }
    if (utc < 0 || utc > LATEST_CONVERTIBLE_SECONDS)
        return false;
    seconds = utc;
    one_offset_day = date.simple && in_the_day;
    return true;
}

uint64_t LocalTimeZoneGeneration()
{
    return g_zone_generation.load(std::memory_order_acquire);
}

int64_t CurrentLocalYear()
{
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    const int64_t local = now + UtcOffsetAt(now);
    int64_t days = local / SECONDS_PER_DAY;
    if (local % SECONDS_PER_DAY < 0)
        --days;
    int64_t year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, year, month, day);
    return year;
}

void LocalTimeZoneChanged()
{
    tzset();
    g_zone_generation.fetch_add(1, std::memory_order_release);
}
