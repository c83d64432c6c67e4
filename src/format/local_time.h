// Conversions between the machine's local wall-clock time and seconds since
// 1970-01-01 00:00:00 UTC, fast enough to run once per parsed column value.
//
// Daylight saving time follows the time zone's own rules for each date (the
// C library's zone data).  A wall-clock time that occurs twice, because the
// clocks were turned back, reads as its first occurrence; one that never
// occurs, because the clocks were moved forward, reads with the offset in
// force before the change (02:30 on a spring-forward night at 02:00 becomes
// 03:30).  Both rules are those of the C library's mktime with tm_isdst -1
// whenever its answer does not depend on earlier calls.
//
// Thread-safe: every thread keeps its own small cache of UTC-offset periods.
#pragma once

#include <cstdint>

// The latest second the date-time conversions accept: 3000-12-31 23:59:59 UTC.
inline constexpr int64_t LATEST_CONVERTIBLE_SECONDS = 32535215999;

// Days since 1970-01-01 of a proleptic Gregorian date.  month is 1-12; day may
// run past the end of the month (or be 0 or negative) and is carried over, as
// mktime carries it (31 February 2023 is 3 March 2023).
int64_t DaysFromCivil(int64_t year, int month, int day);

// The date of a day count since 1970-01-01.
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day);

// The UTC offset (seconds east of Greenwich) in force at utc_seconds.
int32_t UtcOffsetAt(int64_t utc_seconds);

// Converts a local wall-clock time, given as local_seconds =
// DaysFromCivil(...) * 86400 + hour * 3600 + minute * 60 + second, to seconds
// since the epoch (see the rules above).  Defined for any local time within a
// few days of the range 1970 to 3000; beyond that the answer uses the offset
// of the nearest period the zone data describes.
int64_t LocalSecondsToUtc(int64_t local_seconds);

// Fields to seconds since the epoch as local time.  False, and seconds
// untouched, when the result falls before the epoch or after
// LATEST_CONVERTIBLE_SECONDS.  month is 1-12; the other fields are carried
// over as in DaysFromCivil.
bool LocalTimeToSeconds(int64_t year, int month, int day, int hour, int minute, int second, int64_t& seconds);
// The same, and one_offset_day tells whether every wall-clock time of that
// date converts with the offset this one did, so that another time of the
// date converts to seconds plus the difference of the two times (false
// when the conversion fails or the fields run past the day).
bool LocalTimeToSeconds(int64_t year, int month, int day, int hour, int minute, int second, int64_t& seconds,
                        bool& one_offset_day);

// The local year at this moment.
int64_t CurrentLocalYear();

// How many times the zone has changed (LocalTimeZoneChanged): a conversion
// kept from before a change may be stale.
uint64_t LocalTimeZoneGeneration();

// Re-reads the time zone (TZ) and forgets every thread's cached offsets.
// Call after the zone changes; tests call it after setting TZ.
void LocalTimeZoneChanged();
