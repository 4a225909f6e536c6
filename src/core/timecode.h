#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Frames, clock times and framerates.
namespace tessel {

// Next run of decimal digits at or after the 1-based position; the position is
// left just after it. No digits left gives 0; a run beyond 32 bits throws.
int32_t ReadNextNumber(std::string_view line, int& position);

// 32-bit arithmetic as stored files expect: no range checks, wraps like the
// original int32 sum.
int32_t TimeValuesToMilisecond(int32_t hours, int32_t minutes, int32_t seconds, int32_t milliseconds);

struct TimeValues {
    int32_t hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
};
TimeValues MilisecondToTimeValues(int32_t total);

// frame = round(ms * fps / 1000), ties to even, in that order.
int64_t TimeToFrame(int32_t milliseconds, double framerate);
// ms = round(frame / fps * 1000), ties to even, as a 32-bit integer; throws
// MathError for a framerate of 0 or a result outside 32 bits.
int32_t FrameToTime(int64_t frame, double framerate);
// framerate * factor, rounded ties to even (the 2.5 s and 4 s defaults).
int64_t FramesForSeconds(double framerate, long double seconds);

// Framerate of the first stream of an AVI file from its 164-byte header, or
// nothing when the header is short or the divisor is 0, or the file is not a
// regular file.
std::optional<long double> AviHeaderFramerate(std::string_view header);
std::optional<long double> AviFileFramerate(const std::string& fileName);

} // namespace tessel
