#include "formats/time_format.h"

#include "core/numbers.h"
#include "core/timecode.h"

namespace tessel {

std::string FormatClockTime(int32_t milliseconds, char separator)
{
    const TimeValues t = MilisecondToTimeValues(milliseconds);
    std::string s = FormatInt(t.hours, 2);
    s += ':';
    s += FormatInt(t.minutes, 2);
    s += ':';
    s += FormatInt(t.seconds, 2);
    s += separator;
    s += FormatInt(t.milliseconds, 3);
    return s;
}

std::string FormatWholeSeconds(int32_t milliseconds, const char* separator)
{
    const TimeValues t = MilisecondToTimeValues(milliseconds);
    return FormatInt(t.hours, 2) + separator + FormatInt(t.minutes, 2) + separator + FormatInt(t.seconds, 2);
}

int32_t RoundToHundredths(int32_t milliseconds)
{
    return static_cast<int32_t>((static_cast<int64_t>(milliseconds) + 5) / 10);
}

} // namespace tessel
