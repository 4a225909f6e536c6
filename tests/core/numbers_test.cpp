#include "core/errors.h"
#include "core/numbers.h"

#include <gtest/gtest.h>

using namespace tessel;

TEST(Numbers, DirectIntegerConversion)
{
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        { "0", 0 },
        { "42", 42 },
        { "  7", 7 },
        { "-5", -5 },
        { "+5", 5 },
        { "$1F", 31 },
        { "0x10", 16 },
        { "0X10", 16 },
        { "2147483647", 2147483647 },
        { "-2147483648", INT32_MIN },
        { "", std::nullopt },
        { "12a", std::nullopt },
        { "7 ", std::nullopt },
        { "2147483648", std::nullopt },
        { "1.5", std::nullopt },
        { "- 5", std::nullopt },
        { "$", std::nullopt },
        { "\t5", std::nullopt },
    };
    for (const Case& c : cases)
        EXPECT_EQ(TryStrToInt(c.text), c.value) << c.text;
}

TEST(Numbers, FrameCellGetsZeroInFront)
{
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        { "", 0 }, { "007", 7 }, { "25", 25 }, { "-5", std::nullopt }, { "12a", std::nullopt }, { " 5", std::nullopt },
        { "x10", 16 }, // "0x10" is hexadecimal
    };
    for (const Case& c : cases)
        EXPECT_EQ(TryReadFrameCell(c.text), c.value) << c.text;
}

TEST(Numbers, ConversionMessagesReadAsTheUserTypedThem)
{
    try {
        StrToInt("12a");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");
    }
    try {
        StrToFloat("25fps", '.');
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'25fps' is not a valid floating point value");
    }
}

TEST(Numbers, RealConversionUsesTheGivenSeparatorOnly)
{
    struct Case {
        const char* text;
        char sep;
        std::optional<double> value;
    };
    const Case cases[] = {
        { "23,976", ',', 23.976 },
        { "23.976", '.', 23.976 },
        { "23,976", '.', std::nullopt },
        { "23.976", ',', std::nullopt },
        { "25", '.', 25.0 },
        { " 25 ", '.', 25.0 },
        { "0", '.', 0.0 },
        { "-1", '.', -1.0 },
        { "+2.5", '.', 2.5 },
        { "1e+2", '.', 100.0 },
        { "", '.', std::nullopt },
        { "25fps", '.', std::nullopt },
        { "1e2", '.', 100.0 },
        { ".5", '.', 0.5 },
        { "5.", '.', 5.0 },
        { ".", '.', std::nullopt },
        { "1,000.5", '.', std::nullopt },
    };
    for (const Case& c : cases)
        EXPECT_EQ(TryStrToFloat(c.text, c.sep), c.value) << c.text;
}

TEST(Numbers, RoundingIsTiesToEven)
{
    EXPECT_EQ(RoundTiesEven(0.5L), 0);
    EXPECT_EQ(RoundTiesEven(1.5L), 2);
    EXPECT_EQ(RoundTiesEven(2.5L), 2);
    EXPECT_EQ(RoundTiesEven(-2.5L), -2);
    EXPECT_EQ(RoundTiesEven(2.5000001L), 3);
    EXPECT_THROW(RoundTiesEvenToInt32(3e9L), MathError);
    EXPECT_THROW(Divide(1, 0), MathError);
}

TEST(Numbers, Formats)
{
    EXPECT_EQ(FormatInt(5, 2), "05");
    EXPECT_EQ(FormatInt(123, 2), "123");
    EXPECT_EQ(FormatInt(7, 3), "007");
    EXPECT_EQ(FormatInt(25, 6), "000025");
    EXPECT_EQ(FormatInt(1234567, 6), "1234567");
    EXPECT_EQ(FormatInt(-5, 2), "-05");
    EXPECT_EQ(FormatFloatWhole(62.5L), "63");
    EXPECT_EQ(FormatFloatWhole(-62.5L), "-63");
    EXPECT_EQ(FormatFloatWhole(41.708L), "42");
    EXPECT_EQ(FormatFloatWhole(2.4996L), "2");
    EXPECT_EQ(FormatFloatWhole(-2.5004L), "-3");
    EXPECT_EQ(FormatFloatWhole(-0.2L), "0");
    EXPECT_EQ(FormatFloatWhole(41708.3L), "41708");
    // Just under a half, but 0.500000000000000000 in 18 digits: rounded up.
    EXPECT_EQ(FormatFloatWhole(0.5L - 0x1p-65L), "1");
    EXPECT_EQ(FormatFloatWhole(1e16L + 0.5L), "10000000000000001");
    EXPECT_EQ(FormatFloatThreeDecimals(25.0L, ',', false), "25");
    EXPECT_EQ(FormatFloatThreeDecimals(24000.0L / 1001.0L, ',', false), "23,976");
    EXPECT_EQ(FormatFloatThreeDecimals(30000.0L / 1001.0L, ',', false), "29,97");
    EXPECT_EQ(FormatFloatThreeDecimals(0.5L, '.', false), ".5");
    EXPECT_EQ(FormatFloatThreeDecimals(0.5L, '.', true), "0.5");
    EXPECT_EQ(FormatFloatThreeDecimals(0.0005L, '.', true), "0.001");
    EXPECT_EQ(FormatFloatThreeDecimals(25.0L, '.', true), "25");
}
