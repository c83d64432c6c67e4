#include "format_test_support.h"

#include "format/local_time.h"

scoped_time_zone::scoped_time_zone(const char* zone)
{
    if (const char* previous = std::getenv("TZ")) {
        previous_ = previous;
        had_previous_ = true;
    }
    setenv("TZ", zone, 1);
    LocalTimeZoneChanged();
}

scoped_time_zone::~scoped_time_zone()
{
    if (had_previous_)
        setenv("TZ", previous_.c_str(), 1);
    else
        unsetenv("TZ");
    LocalTimeZoneChanged();
}
