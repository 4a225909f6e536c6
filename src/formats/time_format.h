#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Clock times h:mm:ss with an optional fraction of a second, as every
// time-based format reads and writes them.
namespace tessel {

struct ClockTimeFormat {
    enum Fraction { WholeSeconds, Hundredths, Milliseconds };
    Fraction fraction;
    char separator = ','; // before the fraction; reading does not check it
    int hourDigits = 2; // at least; hours are never wrapped at 24
};

// The next time in the line from the 1-based position on, left after it:
// three runs of digits (hours, minutes, seconds) and with a fraction a fourth,
// wherever they stand and whatever separates them; a missing run reads 0, a
// fraction is taken as a count of its unit whatever its length. A run beyond
// 32 bits throws, like ReadNextNumber; so does a time beyond 2^31 - 1 ms.
int32_t ReadClockTime(std::string_view line, int& position, const ClockTimeFormat& format);

// Milliseconds as h:mm:ss (with the fraction after its separator): every
// field zero-padded to two digits (hours to hourDigits, milliseconds to
// three). Hundredths are rounded halves upward, so 995 ms and more carry
// into the next second; whole seconds drop the milliseconds. A negative time
// gives fields that are zero or negative.
void AppendClockTime(std::string& out, int32_t milliseconds, const ClockTimeFormat& format);
std::string FormatClockTime(int32_t milliseconds, const ClockTimeFormat& format);

// The milliseconds as a count of whole hundredths, halves rounded upward.
int32_t RoundToHundredths(int32_t milliseconds);

} // namespace tessel
