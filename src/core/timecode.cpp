#include "core/timecode.h"

#include "core/errors.h"
#include "core/numbers.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>

namespace tessel {

namespace {

[[noreturn]] void tooLarge(const char* begin, const char* end)
{
    throw ConversionError("'" + std::string(begin, end) + "' is not a valid integer value");
}

} // namespace

int32_t ReadNextNumber(std::string_view line, int& position)
{
    const char* p = line.data() + (position < 1 ? 0 : std::min<size_t>(static_cast<size_t>(position - 1), line.size()));
    const char* const end = line.data() + line.size();
    while (p<end&& static_cast<unsigned char>(*p - '0')> 9)
        ++p;
    const char* const start = p;
    uint64_t value = 0;
    while (p < end && static_cast<unsigned char>(*p - '0') <= 9) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 2147483647u) {
            while (p < end && static_cast<unsigned char>(*p - '0') <= 9)
                ++p;
            tooLarge(start, p);
        }
        ++p;
    }
    position = static_cast<int>(p - line.data()) + 1;
    return static_cast<int32_t>(value);
}

int32_t TimeValuesToMilisecond(int32_t hours, int32_t minutes, int32_t seconds, int32_t milliseconds)
{
    uint32_t total = static_cast<uint32_t>(hours) * 3600000u + static_cast<uint32_t>(minutes) * 60000u
        + static_cast<uint32_t>(seconds) * 1000u + static_cast<uint32_t>(milliseconds);
    return static_cast<int32_t>(total);
}

TimeValues MilisecondToTimeValues(int32_t total)
{
    TimeValues t;
    t.milliseconds = total % 1000;
    t.seconds = (total / 1000) % 60;
    t.minutes = (total / 60000) % 60;
    t.hours = total / 3600000;
    return t;
}

namespace {

// A whole framerate small enough that milliseconds times it stay exact.
bool wholeRate(double framerate) { return framerate >= 1 && framerate <= (1 << 20) && framerate == int(framerate); }

} // namespace

int64_t TimeToFrame(int32_t milliseconds, double framerate)
{
    if (wholeRate(framerate)) {
        // In integers, as exact as the long double below: the product is exact
        // there too, and a quotient off a half by a thousandth at least cannot
        // round across it.
        int64_t quotient = int64_t(milliseconds) * int64_t(framerate), rest = quotient % 1000;
        quotient /= 1000;
        if (rest < 0) {
            rest += 1000;
            --quotient;
        }
        if (rest > 500 || (rest == 500 && (quotient & 1))) ++quotient;
        return quotient;
    }
    long double v = static_cast<long double>(milliseconds) * static_cast<long double>(framerate);
    return RoundTiesEven(v / 1000.0L);
}

int32_t FrameToTime(int64_t frame, double framerate)
{
    // A rate that divides a second into whole milliseconds: a frame is a whole
    // number of them, which the long double below comes within far less than a
    // half of.
    if (wholeRate(framerate) && 1000 % int(framerate) == 0 && frame > -(int64_t(1) << 40)
        && frame < (int64_t(1) << 40)) {
        const int64_t ms = frame * (1000 / int(framerate));
        if (ms > std::numeric_limits<int32_t>::max() || ms < std::numeric_limits<int32_t>::min())
            throw MathError("Invalid floating point operation");
        return static_cast<int32_t>(ms);
    }
    long double v = Divide(static_cast<long double>(frame), static_cast<long double>(framerate));
    return RoundTiesEvenToInt32(v * 1000.0L);
}

int64_t FramesForSeconds(double framerate, long double seconds)
{
    return RoundTiesEven(static_cast<long double>(framerate) * seconds);
}

std::optional<long double> AviHeaderFramerate(std::string_view header)
{
    if (header.size() < 164) return std::nullopt;
    auto u32 = [&](size_t offset) {
        const auto* p = reinterpret_cast<const unsigned char*>(header.data()) + offset;
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16
            | static_cast<uint32_t>(p[3]) << 24;
    };
    uint32_t scale = u32(128), rate = u32(132);
    if (scale == 0) return std::nullopt;
    return static_cast<long double>(rate) / static_cast<long double>(scale);
}

std::optional<long double> AviFileFramerate(const std::string& fileName)
{
    // Opening a pipe would wait for a writer.
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error)) return std::nullopt;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return std::nullopt;
    std::string header(164, '\0');
    in.read(header.data(), 164);
    header.resize(static_cast<size_t>(in.gcount()));
    return AviHeaderFramerate(header);
}

} // namespace tessel
