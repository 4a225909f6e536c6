#include "formats/time_format.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/timecode.h"

#include <algorithm>
#include <limits>

namespace tessel {
namespace {

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

int fractionDigits(ClockTimeFormat::Fraction fraction)
{
    return fraction == ClockTimeFormat::Milliseconds ? 3 : fraction == ClockTimeFormat::Hundredths ? 2 : 0;
}

int64_t millisecondsPerUnit(ClockTimeFormat::Fraction fraction)
{
    return fraction == ClockTimeFormat::Hundredths ? 10 : 1;
}

bool digitsAt(const char* p, int count)
{
    for (int i = 0; i < count; ++i)
        if (!isDigit(p[i])) return false;
    return true;
}

int32_t number(const char* p, int count)
{
    int32_t v = 0;
    for (int i = 0; i < count; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

// "hh:mm:ss" and the fraction as they almost always stand, one separator
// between two-digit fields: the same runs the general scan finds, read
// without scanning. Anything else (more digits, a shorter text) takes the scan.
bool readUsualLayout(const char* p, const char* end, int fractionLength, int64_t (&fields)[4], const char*& after)
{
    const int length = fractionLength ? 9 + fractionLength : 8;
    if (end - p < length) return false;
    if (!digitsAt(p, 2) || isDigit(p[2]) || !digitsAt(p + 3, 2) || isDigit(p[5]) || !digitsAt(p + 6, 2)) return false;
    if (fractionLength && (isDigit(p[8]) || !digitsAt(p + 9, fractionLength))) return false;
    if (p + length < end && isDigit(p[length])) return false;
    fields[0] = number(p, 2);
    fields[1] = number(p + 3, 2);
    fields[2] = number(p + 6, 2);
    fields[3] = fractionLength ? number(p + 9, fractionLength) : 0;
    after = p + length;
    return true;
}

} // namespace

int32_t ReadClockTime(std::string_view line, int& position, const ClockTimeFormat& format)
{
    const char* const end = line.data() + line.size();
    const char* begin
        = line.data() + (position < 1 ? 0 : std::min<size_t>(static_cast<size_t>(position - 1), line.size()));
    begin = std::find_if(begin, end, isDigit);
    int64_t fields[4] = { 0, 0, 0, 0 };
    const char* after = nullptr;
    if (readUsualLayout(begin, end, fractionDigits(format.fraction), fields, after)) {
        position = static_cast<int>(after - line.data()) + 1;
    } else {
        const int runs = format.fraction == ClockTimeFormat::WholeSeconds ? 3 : 4;
        for (int i = 0; i < runs; ++i)
            fields[i] = ReadNextNumber(line, position);
    }
    // Each field fits 31 bits, so the sum fits 64 and only the total can be out of range.
    const int64_t total
        = fields[0] * 3600000 + fields[1] * 60000 + fields[2] * 1000 + fields[3] * millisecondsPerUnit(format.fraction);
    if (total > std::numeric_limits<int32_t>::max()) {
        const char* const last = line.data() + std::min<size_t>(static_cast<size_t>(position - 1), line.size());
        throw ConversionError("'" + std::string(begin, last) + "' is not a valid time");
    }
    return static_cast<int32_t>(total);
}

namespace {

// The fields of a count of 1/PerSecond seconds. Constant divisors: the
// compiler turns them into multiplications, five divisions a time otherwise.
template <int64_t PerSecond> char* putClock(char* p, int64_t count, const ClockTimeFormat& format)
{
    const int digits = fractionDigits(format.fraction);
    // Under 100 hours every field has a width known ahead, and 32 bits hold the count.
    if (count >= 0 && count < 100 * 3600 * PerSecond && format.hourDigits <= 2) {
        const auto c = static_cast<uint32_t>(count);
        const uint32_t hours = c / (3600 * PerSecond);
        p = PutFixedDigits(p, hours, hours >= 10 || format.hourDigits == 2 ? 2 : 1);
        *p++ = ':';
        p = PutFixedDigits(p, c / (60 * PerSecond) % 60, 2);
        *p++ = ':';
        p = PutFixedDigits(p, c / PerSecond % 60, 2);
        if (format.fraction == ClockTimeFormat::WholeSeconds) return p;
        *p++ = format.separator;
        return PutFixedDigits(p, c % PerSecond, digits);
    }
    p = PutInt(p, count / (3600 * PerSecond), std::min(format.hourDigits, 24));
    *p++ = ':';
    p = PutInt(p, count / (60 * PerSecond) % 60, 2);
    *p++ = ':';
    p = PutInt(p, count / PerSecond % 60, 2);
    if (format.fraction != ClockTimeFormat::WholeSeconds) {
        *p++ = format.separator;
        p = PutInt(p, count % PerSecond, fractionDigits(format.fraction));
    }
    return p;
}

} // namespace

void AppendClockTime(std::string& out, int32_t milliseconds, const ClockTimeFormat& format)
{
    char buffer[160];
    char* const end = format.fraction == ClockTimeFormat::Hundredths
        ? putClock<100>(buffer, RoundToHundredths(milliseconds), format)
        : putClock<1000>(buffer, milliseconds, format);
    out.append(buffer, static_cast<size_t>(end - buffer));
}

std::string FormatClockTime(int32_t milliseconds, const ClockTimeFormat& format)
{
    std::string text;
    AppendClockTime(text, milliseconds, format);
    return text;
}

int32_t RoundToHundredths(int32_t milliseconds)
{
    return static_cast<int32_t>((static_cast<int64_t>(milliseconds) + 5) / 10);
}

int32_t FrameOfCell(std::string_view cell)
{
    if (const std::optional<int32_t> frame = TryReadFrameCell(cell)) return *frame;
    return StrToInt(cell);
}

} // namespace tessel
