#include "formats/time_format.h"

#include "core/numbers.h"
#include "core/timecode.h"

namespace tessel {

std::string FormatClockTime(int32_t milliseconds, char separator)
{
    std::string s;
    AppendClockTime(s, milliseconds, separator);
    return s;
}

void AppendClockTime(std::string& out, int32_t milliseconds, char separator)
{
    const TimeValues t = MilisecondToTimeValues(milliseconds);
    char buffer[128];
    char* p = PutInt(buffer, t.hours, 2);
    *p++ = ':';
    p = PutInt(p, t.minutes, 2);
    *p++ = ':';
    p = PutInt(p, t.seconds, 2);
    *p++ = separator;
    p = PutInt(p, t.milliseconds, 3);
    out.append(buffer, static_cast<size_t>(p - buffer));
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
