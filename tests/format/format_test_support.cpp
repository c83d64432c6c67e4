#include "format_test_support.h"

#include "format/local_time.h"

scoped_time_zone::scoped_time_zone(const char* zone)
{
    if (const char* previous = std::getenv("TZ")) {
        m_previous = previous;
        m_had_previous = true;
    }
    setenv("TZ", zone, 1);
    LocalTimeZoneChanged();
}

scoped_time_zone::~scoped_time_zone()
{
    if (m_had_previous)
        setenv("TZ", m_previous.c_str(), 1);
    else
        unsetenv("TZ");
    LocalTimeZoneChanged();
}
