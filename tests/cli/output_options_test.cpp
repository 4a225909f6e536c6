// The converter's encodings and line ends, what it says of data the target
// format cannot hold, and the formats it tells beyond the nine.
#include "cli/convert.h"
#include "test_support.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sstream>

using namespace tessel;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome convert(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = cli::RunConvert(args, out, err);
    return { status, out.str(), err.str() };
}

// "Dvořák" and "Café" in UTF-8.
const std::string Srt = "1\r\n00:00:01,000 --> 00:00:02,000\r\nDvo\xC5\x99\xC3\xA1k\r\nCaf\xC3\xA9\r\n\r\n";

} // namespace

TEST(OutputOptions, BadValuesAreUsageErrors)
{
    test::TempDir dir;
    const std::string in = dir.path("in.srt");
    test::WriteFile(in, Srt);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>> {
             { "--encoding", "klingon", in, "out.srt" }, { "--out-encoding", "klingon", in, "out.srt" },
             { "--line-ends", "cr", in, "out.srt" }, { "--out-encoding" } }) {
        const Outcome r = convert(args);
        EXPECT_EQ(r.status, 2) << args[1];
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
}

TEST(OutputOptions, WrittenInTheEncodingAndLineEndsAsked)
{
    test::TempDir dir;
    const std::string in = dir.path("in.srt");
    test::WriteFile(in, Srt);
    struct Case {
        std::vector<std::string> options;
        std::string bytes;
    };
    const std::string times = "00:00:01,000 --> 00:00:02,000";
    const Case cases[] = {
        { {}, Srt },
        { { "--out-encoding", "windows-1250", "--line-ends", "lf" }, "1\n" + times + "\nDvo\xF8\xE1k\nCaf\xE9\n\n" },
        { { "--out-encoding", "utf-8-bom" }, "\xEF\xBB\xBF" + Srt },
        { { "--out-encoding", "UTF-16LE", "--line-ends", "lf" },
            std::string("\xFF\xFE"
                        "1\0\n\0",
                6) },
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), { "--fps", "25", in, dir.path("out.srt") });
        const Outcome r = convert(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const std::string written = test::ReadFile(dir.path("out.srt"));
        EXPECT_EQ(written.substr(0, c.bytes.size()), c.bytes) << (c.options.empty() ? "default" : c.options[1]);
        if (c.options.size() == 4 && c.options[1] == "UTF-16LE") {
            EXPECT_EQ(written.size(), 2 + 2 * (Srt.size() - 5 - 3)); // 5 CRs gone, three letters of two bytes
        }
    }
}

TEST(OutputOptions, ACharacterTheEncodingCannotHoldWritesNothing)
{
    test::TempDir dir;
    const std::string in = dir.path("in.srt"), out = dir.path("out.srt");
    test::WriteFile(in, Srt);
    test::WriteFile(out, "earlier");
    for (const std::string& target : { out, std::string("-") }) {
        const Outcome r = convert({ "--out-encoding", "windows-1252", "--to", "subrip", in, target });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Row 1 holds \"\xC5\x99\" (U+0159), which windows-1252 cannot hold; nothing was written\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(test::ReadFile(out), "earlier");
}

TEST(OutputOptions, ANamedEncodingIsReadWithoutDetection)
{
    test::TempDir dir;
    const std::string in = dir.path("in.srt");
    // "Dvořák" in Windows-1250; as ISO-8859-2 the "ř" (0xF8) is the same and
    // the "á" too, but detection could not know which the file is.
    test::WriteFile(in, "1\r\n00:00:01,000 --> 00:00:02,000\r\nDvo\xF8\xE1k \x9A\r\n\r\n");
    const Outcome forced = convert({ "--encoding", "windows-1250", "--fps", "25", "--to", "table", in });
    EXPECT_EQ(forced.status, 0);
    EXPECT_EQ(forced.out, "From\tTo\tLine 1\tLine 2\tLine 3\n25\t50\tDvo\xC5\x99\xC3\xA1k \xC5\xA1\t\t\n");
    const Outcome other = convert({ "--encoding", "iso-8859-2", "--fps", "25", "--to", "table", in });
    EXPECT_EQ(other.out, "From\tTo\tLine 1\tLine 2\tLine 3\n25\t50\tDvo\xC5\x99\xC3\xA1k \xC2\x9A\t\t\n");
}

TEST(OutputOptions, WhatTheTargetCannotHoldIsSaidInOneLine)
{
    test::TempDir dir;
    const std::string in = dir.path("in.ass");
    test::WriteFile(in,
        "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, Fontname\nStyle: Default,Arial\n\n"
        "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
        "Comment: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,note one\n"
        "Comment: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,note two\n"
        "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,shown\n");
    const Outcome r = convert({ "--fps", "25", "--to", "subrip", in, "-" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "styles and 2 comment lines were not written: subrip has no place for them\n");
    EXPECT_EQ(r.out, "1\r\n00:00:01,000 --> 00:00:02,000\r\nshown\r\n\r\n");
    const Outcome same = convert({ "--fps", "25", "--to", "ass", in, "-" });
    EXPECT_EQ(same.err, "");
}

TEST(OutputOptions, DetectNamesTheLaterFormats)
{
    test::TempDir dir;
    test::WriteFile(dir.path("a.txt"), "\xEF\xBB\xBFWEBVTT\r\n\r\n00:01.000 --> 00:02.000\r\nHi\r\n");
    test::WriteFile(dir.path("b.txt"), "\n[Script Info]\nScriptType: v4.00+\n");
    EXPECT_EQ(convert({ "--detect", dir.path("a.txt") }).out, "11 WebVTT\n");
    EXPECT_EQ(convert({ "--detect", dir.path("b.txt") }).out, "10 Advanced SubStation Alpha\n");
}
