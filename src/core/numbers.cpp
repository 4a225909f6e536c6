#include "core/numbers.h"

#include "core/errors.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tessel {
namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::optional<uint64_t> parseDigits(std::string_view digits, int base, uint64_t limit)
{
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        int d = base == 16 ? hexValue(c) : (isDigit(c) ? c - '0' : -1);
        if (d < 0) return std::nullopt;
        value = value * base + d;
        if (value > limit) return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<int32_t> TryStrToInt(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view rest = text.substr(i);
    if (!rest.empty() && rest[0] == '$') {
        auto v = parseDigits(rest.substr(1), 16, 0xFFFFFFFFu);
        if (!v) return std::nullopt;
        int32_t r = static_cast<int32_t>(static_cast<uint32_t>(*v));
        return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(r)) : r;
    }
    if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        auto v = parseDigits(rest.substr(2), 16, 0xFFFFFFFFu);
        if (!v) return std::nullopt;
        int32_t r = static_cast<int32_t>(static_cast<uint32_t>(*v));
        return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(r)) : r;
    }
    auto v = parseDigits(rest, 10, negative ? 2147483648u : 2147483647u);
    if (!v) return std::nullopt;
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(*v)) : static_cast<int32_t>(*v);
}

int32_t StrToInt(std::string_view text)
{
    if (auto v = TryStrToInt(text)) return *v;
    throw ConversionError(quoted(text) + " is not a valid integer value");
}

std::optional<int32_t> TryReadFrameCell(std::string_view cell)
{
    // Same result as converting "0" + cell, without building that text: the
    // leading "0" rules out blanks and signs and turns an "x" into a hex mark.
    if (cell.empty()) return 0;
    // Nine digits or fewer cannot pass 32 bits: no check on the way.
    if (cell.size() <= 9) {
        uint32_t value = 0;
        bool digits = true;
        for (const char c : cell) {
            const auto d = static_cast<unsigned char>(c - '0');
            digits = digits && d <= 9;
            value = value * 10 + d;
        }
        if (digits) return static_cast<int32_t>(value);
    }
    if (cell[0] == 'x' || cell[0] == 'X') {
        auto v = parseDigits(cell.substr(1), 16, 0xFFFFFFFFu);
        if (!v) return std::nullopt;
        return static_cast<int32_t>(static_cast<uint32_t>(*v));
    }
    auto v = parseDigits(cell, 10, 2147483647u);
    if (!v) return std::nullopt;
    return static_cast<int32_t>(*v);
}

int32_t ReadFrameCell(std::string_view cell)
{
    if (auto v = TryReadFrameCell(cell)) return *v;
    throw ConversionError(quoted(cell) + " is not a valid integer value");
}

std::optional<double> TryStrToFloat(std::string_view text, char decimalSeparator)
{
    size_t i = 0, n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    while (n > i && isBlank(text[n - 1]))
        --n;
    std::string normal;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') normal += '-';
        ++i;
    }
    bool digits = false;
    while (i < n && isDigit(text[i])) {
        normal += text[i++];
        digits = true;
    }
    if (i < n && text[i] == decimalSeparator) {
        normal += '.';
        ++i;
        while (i < n && isDigit(text[i])) {
            normal += text[i++];
            digits = true;
        }
    }
    if (!digits) return std::nullopt;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) normal += text[i++];
        bool expDigits = false;
        while (i < n && isDigit(text[i])) {
            normal += text[i++];
            expDigits = true;
        }
        if (!expDigits) return std::nullopt;
    }
    if (i != n) return std::nullopt;
    // from_chars ignores the process locale, which Qt sets from the user's.
    double value = 0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (error != std::errc() || end != normal.data() + normal.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

double StrToFloat(std::string_view text, char decimalSeparator)
{
    if (auto v = TryStrToFloat(text, decimalSeparator)) return *v;
    throw ConversionError(quoted(text) + " is not a valid floating point value");
}

int64_t RoundTiesEven(long double value)
{
    // Ties to even is the default rounding mode; rintl honours it and, unlike
    // nearbyintl, does not save and restore the floating-point state.
    if (!std::isfinite(value) || value >= 9223372036854775808.0L || value < -9223372036854775808.0L)
        throw MathError("Invalid floating point operation");
    return static_cast<int64_t>(std::rintl(value));
}

int32_t RoundTiesEvenToInt32(long double value)
{
    int64_t r = RoundTiesEven(value);
    if (r > std::numeric_limits<int32_t>::max() || r < std::numeric_limits<int32_t>::min())
        throw MathError("Invalid floating point operation");
    return static_cast<int32_t>(r);
}

long double Divide(long double a, long double b)
{
    if (b == 0) throw MathError(a == 0 ? "Invalid floating point operation" : "Floating point division by zero");
    long double r = a / b;
    if (!std::isfinite(r)) throw MathError("Floating point overflow");
    return r;
}

int64_t CheckedAdd(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) throw MathError("Integer overflow");
    return sum;
}

std::string IntToStr(int64_t value)
{
    std::string s;
    AppendInt(s, value, 1);
    return s;
}

namespace {

constexpr char DigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                              "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                              "8081828384858687888990919293949596979899";

// From the bit length, without a loop: every number a writer puts comes here.
int digitCount(uint64_t v)
{
    static constexpr uint64_t Powers[20] = { 1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
        100000000ull, 1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull,
        100000000000000ull, 1000000000000000ull, 10000000000000000ull, 100000000000000000ull, 1000000000000000000ull,
        10000000000000000000ull };
    v |= 1;
    const int log = (64 - __builtin_clzll(v)) * 1233 >> 12; // about log10, at most one too many
    return log - (v < Powers[log]) + 1;
}

// Two digits a division, from the end.
template <typename Unsigned> void putDigits(char* end, Unsigned magnitude)
{
    char* p = end;
    while (magnitude >= 100) {
        const auto pair = static_cast<size_t>(magnitude % 100);
        magnitude /= 100;
        p -= 2;
        std::memcpy(p, DigitPairs + pair * 2, 2);
    }
    if (magnitude >= 10)
        std::memcpy(p - 2, DigitPairs + static_cast<size_t>(magnitude) * 2, 2);
    else
        *--p = static_cast<char>('0' + magnitude);
}

} // namespace

char* PutInt(char* out, int64_t value, int minDigits)
{
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    if (value < 0) *out++ = '-';
    const int count = digitCount(magnitude);
    for (int i = count; i < minDigits; ++i)
        *out++ = '0';
    char* const end = out + count;
    // 32-bit division is much cheaper.
    if (magnitude <= 0xFFFFFFFFu)
        putDigits(end, static_cast<uint32_t>(magnitude));
    else
        putDigits(end, magnitude);
    return end;
}

void AppendInt(std::string& out, int64_t value, int minDigits)
{
    char buffer[48];
    out.append(buffer, static_cast<size_t>(PutInt(buffer, value, minDigits > 24 ? 24 : minDigits) - buffer));
}

std::string FormatInt(int64_t value, int minDigits)
{
    std::string s;
    AppendInt(s, value, minDigits);
    return s;
}

namespace {

// The value as a decimal string rounded half away from zero at `decimals`
// places, taken from its 18 significant digits as extended-precision output does.
struct Decimal {
    bool negative = false;
    std::string integer; // no leading zeros; empty for 0
    std::string fraction; // exactly `decimals` digits
};

Decimal toDecimal(long double value, int decimals)
{
    Decimal d;
    if (!std::isfinite(value)) throw MathError("Invalid floating point operation");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17Le", value);
    std::string s(buf);
    d.negative = s[0] == '-';
    if (d.negative) s.erase(0, 1);
    size_t e = s.find('e');
    int exponent = std::stoi(s.substr(e + 1));
    std::string mantissa = s.substr(0, 1) + s.substr(2, e - 2); // 18 digits
    // Digits before the point: exponent + 1.
    int pointPos = exponent + 1;
    std::string all; // digits with implied point at pointPos (may pad)
    if (pointPos <= 0) {
        all = std::string(-pointPos, '0') + mantissa;
        pointPos = 0;
    } else {
        all = mantissa;
        if (static_cast<int>(all.size()) < pointPos) all.append(pointPos - all.size(), '0');
    }
    size_t keep = pointPos + decimals;
    if (all.size() < keep) all.append(keep - all.size(), '0');
    bool roundUp = all.size() > keep && all[keep] >= '5';
    all.resize(keep);
    if (roundUp) {
        int i = static_cast<int>(keep) - 1;
        while (i >= 0 && all[i] == '9')
            all[i--] = '0';
        if (i >= 0)
            ++all[i];
        else {
            all.insert(0, "1");
            ++pointPos;
        }
    }
    d.integer = all.substr(0, pointPos);
    d.fraction = all.substr(pointPos);
    size_t nz = d.integer.find_first_not_of('0');
    d.integer = nz == std::string::npos ? std::string() : d.integer.substr(nz);
    if (d.integer.empty() && d.fraction.find_first_not_of('0') == std::string::npos) d.negative = false;
    return d;
}

} // namespace

std::string FormatFloatWhole(long double value)
{
    // Below 10^15 the 18 digits keep at least three decimals, so they round
    // the way the value itself does unless its fraction is within 10^-3 of a half.
    const long double magnitude = std::fabs(value);
    if (magnitude < 1e15L) {
        const long double whole = std::floor(magnitude);
        const long double fraction = magnitude - whole;
        if (std::fabs(fraction - 0.5L) > 1e-3L) {
            const int64_t rounded = static_cast<int64_t>(whole) + (fraction > 0.5L ? 1 : 0);
            return FormatInt(value < 0 ? -rounded : rounded, 1);
        }
    }
    Decimal d = toDecimal(value, 0);
    std::string s = d.integer.empty() ? "0" : d.integer;
    return d.negative ? "-" + s : s;
}

std::string FormatFloatThreeDecimals(long double value, char decimalSeparator, bool integerDigitRequired)
{
    Decimal d = toDecimal(value, 3);
    while (!d.fraction.empty() && d.fraction.back() == '0')
        d.fraction.pop_back();
    std::string s = d.integer;
    if (s.empty() && integerDigitRequired) s = "0";
    if (!d.fraction.empty()) s += decimalSeparator + d.fraction;
    return d.negative ? "-" + s : s;
}

} // namespace tessel
