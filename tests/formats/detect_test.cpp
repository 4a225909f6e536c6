#include "formats/detect.h"

#include <gtest/gtest.h>

using tessel::DetectFormat;

TEST(DetectFormat, FirstLineRules)
{
    struct Case {
        const char* line;
        const char* file;
        int code;
    };
    const Case cases[] = {
        { "", "a.ssa", 0 }, { "{1}{25}Hello", "a.sub", 1 }, { "{-5}{25}x", "a.sub", 1 }, { "{a}{25}x", "a.sub", 0 },
        { "{1", "a.sub", 0 }, // fewer than three characters
        { "1", "a.srt", 2 }, { "1 ", "a.srt", 0 }, { "1 ", "a.SSA", 8 }, { " 1", "a.srt", 0 },
        { "xx[TITLE]yy", "a.sub", 3 }, { "[INFORMATION]", "a.sub", 4 }, { "-->> 000025", "a.aqt", 5 },
        { "<sami>", "a.smi", 6 }, { "<html><SaMi>", "a.smi", 6 }, { "{HEAD", "a.sub", 7 }, { "{head", "a.sub", 0 },
        { "01:23:45.678 text", "a.txt", 9 }, { "1:23:45.678 text", "a.txt", 0 }, { "00:00:01:", "a.txt", 9 },
        { "00:00:01", "a.txt", 0 }, // needs more than eight characters
        { "[Script Info]", "a.ssa", 8 }, { "[Script Info]", "DIR/A.SSA", 8 }, { "[Script Info]", "a.ssa.txt", 0 },
        { "[TITLE]", "a.ssa", 3 }, // first-line rules come before the extension
    };
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<int>(DetectFormat(c.line, c.file)), c.code) << c.line << " " << c.file;
}

TEST(DetectFormat, CountsCharactersNotBytes)
{
    // "é" is two bytes in UTF-8 but one character: position 8 is still the digit.
    EXPECT_EQ(DetectFormat("0é:456é8", "a.txt"), tessel::FormatCode::Unknown); // eight characters, ten bytes
    EXPECT_EQ(DetectFormat("0é:4567890", "a.txt"), tessel::FormatCode::SimpleTimeCode);
}
