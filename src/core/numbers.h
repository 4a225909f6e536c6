#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The number rules every part of the program shares: integer and real
// conversions of cell and control texts, rounding, and number formats.
namespace tessel {

// Signed 32-bit conversion of a text as it stands: leading blanks, an optional
// sign, then decimal digits (or hex after "$" or "0x") up to the end.
std::optional<int32_t> TryStrToInt(std::string_view text);
int32_t StrToInt(std::string_view text); // throws ConversionError

// A frame cell read with "0" put in front: empty reads 0, "-5" or "12a" fail.
std::optional<int32_t> TryReadFrameCell(std::string_view cell);
int32_t ReadFrameCell(std::string_view cell); // throws ConversionError

// Real conversion with the given decimal separator; group separators are
// never accepted. Leading and trailing blanks are allowed.
std::optional<double> TryStrToFloat(std::string_view text, char decimalSeparator);
double StrToFloat(std::string_view text, char decimalSeparator); // throws ConversionError

// Round to nearest, ties to even, in extended precision.
int64_t RoundTiesEven(long double value); // throws MathError on NaN/inf/out of 64-bit range
int32_t RoundTiesEvenToInt32(long double value); // throws MathError outside 32 bits
long double Divide(long double a, long double b); // throws MathError on division by zero
// a + b; throws MathError where 64 bits cannot hold the sum (frames from an absurd framerate).
int64_t CheckedAdd(int64_t a, int64_t b);

// "0", "00", "000", "000000": at least minDigits digits, zero-padded.
std::string FormatInt(int64_t value, int minDigits);
void AppendInt(std::string& out, int64_t value, int minDigits);
// Writes the digits at `out` (room for 48 characters) and returns the end.
char* PutInt(char* out, int64_t value, int minDigits);
// A number's digits in room of their own: a frame cell a reader stores,
// made for every row, with no string made for it.
class IntText {
public:
    explicit IntText(int64_t value)
        : size_(static_cast<size_t>(PutInt(digits_, value, 1) - digits_))
    {
    }
    std::string_view view() const { return { digits_, size_ }; }

private:
    char digits_[48];
    size_t size_;
};
// Exactly `digits` digits of a value below 10^digits, zero-padded.
inline char* PutFixedDigits(char* out, uint32_t value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + digits;
}
// "0": a whole number, halves away from zero.
std::string FormatFloatWhole(long double value);
// "###.###" (integerDigitRequired false) and "0.###" (true): at most three
// decimals, halves away from zero, no trailing zeros.
std::string FormatFloatThreeDecimals(long double value, char decimalSeparator, bool integerDigitRequired);

std::string IntToStr(int64_t value);

} // namespace tessel
