#include "cli/convert.h"
#include "convert_runner.h"
#include "test_support.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

const char* const kSrt = "1\r\n00:00:01,000 --> 00:00:04,000\r\nHello\r\nworld\r\n\r\n";

} // namespace

TEST(Convert, UsageErrorsExitWithTwo)
{
    test::TempDir dir;
    const std::string in = dir.path("in.srt");
    test::WriteFile(in, kSrt);
    const std::vector<std::vector<std::string>> cases = {
        {},
        { in }, // standard output needs --to
        { "--fps", "0", in, "out.sub" },
        { "--fps", "-25", in, "out.sub" },
        { "--in-fps", "25fps", in, "out.sub" },
        { "--out-fps", "0,0", in, "out.sub" },
        { "--to", "word", in, "-" },
        { in, "out.unknown" },
        { "--bogus", in, "out.sub" },
        { "--fps" },
        { in, "a.sub", "b.sub" },
    };
    for (const auto& args : cases) {
        const test::Converted r = test::Convert(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
}

TEST(Convert, DetectPrintsCodeAndName)
{
    test::TempDir dir;
    test::WriteFile(dir.path("a.srt"), kSrt);
    test::WriteFile(dir.path("b.txt"), "hello\n");
    test::Converted r = test::Convert({ "--detect", dir.path("a.srt") });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "2 SubRip\n");
    r = test::Convert({ "--detect", dir.path("b.txt") });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "0 unknown\n");
}

TEST(Convert, ConvertsBetweenFormatsWithSeparateRates)
{
    test::TempDir dir;
    test::WriteFile(dir.path("in.srt"), kSrt);
    test::Converted r = test::Convert({ "--in-fps", "25", dir.path("in.srt"), dir.path("out.sub") });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadFile(dir.path("out.sub")), "{25}{100}Hello|world\r\n");
    r = test::Convert({ "--fps", "12,5", "--to", "subrip", dir.path("out.sub"), "-" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1\r\n00:00:02,000 --> 00:00:08,000\r\nHello\r\nworld\r\n\r\n");
}

TEST(Convert, TableDumpEscapesCells)
{
    test::TempDir dir;
    test::WriteFile(dir.path("in.sub"), "{1}{2}a\\b\tc|x\r\n{3}{4}\r\n");
    const test::Converted r = test::Convert({ "--to", "table", dir.path("in.sub") });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "From\tTo\tLine 1\tLine 2\tLine 3\n1\t2\ta\\\\b\\tc\tx\t\n3\t4\t\t\t\n");
}

TEST(Convert, FailuresExitWithOneAndTheEditorsMessage)
{
    test::TempDir dir;
    test::WriteFile(dir.path("unknown.txt"), "plain text\n");
    test::Converted r = test::Convert({ dir.path("unknown.txt"), dir.path("out.srt") });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unknow subtitles format.\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.path("out.srt"))));

    // A reading error: nothing is written.
    test::WriteFile(dir.path("bad.srt"), "1\n00:00:99999999999,000 --> 1\nx\n");
    r = test::Convert({ dir.path("bad.srt"), dir.path("out.sub") });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is not a valid integer value"), std::string::npos);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.path("out.sub"))));

    // A cell the writer cannot convert.
    test::WriteFile(dir.path("odd.sub"), "{1}{2}a\r\n{x}{4}b\r\n");
    r = test::Convert({ dir.path("odd.sub"), dir.path("out.srt") });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Subtiles file can't be saved!\n");
    r = test::Convert({ "--to", "subrip", dir.path("odd.sub") });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");

    r = test::Convert({ dir.path("missing.srt"), dir.path("out.srt") });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.srt"), std::string::npos);
}

TEST(Convert, StandardOutputGetsExactlyWhatAFileGets)
{
    test::TempDir dir;
    test::WriteFile(dir.path("in.sub"), "{25}{100}Hello|world\r\n{110}{150}A & B, \"quoted\"|two|three\r\n");
    for (const char* format : { "microdvd", "subrip", "subviewer1", "subviewer2", "aqtitle", "sami", "dvdsubripper",
             "ssa", "timecode", "table" }) {
        const std::string file = dir.path(std::string("out.") + format);
        const test::Converted toFile = test::Convert({ "--fps", "25", "--to", format, dir.path("in.sub"), file });
        const test::Converted toOut = test::Convert({ "--fps", "25", "--to", format, dir.path("in.sub"), "-" });
        EXPECT_EQ(toFile.status, 0) << format << toFile.err;
        EXPECT_EQ(toOut.status, 0) << format << toOut.err;
        EXPECT_FALSE(toOut.out.empty()) << format;
        EXPECT_EQ(toOut.out, test::ReadFile(file)) << format;
    }
}

TEST(Convert, StandardOutputThatTakesNothingIsAFailure)
{
    if (!QFile::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full here";
    test::TempDir dir;
    test::WriteFile(dir.path("in.sub"), "{25}{100}Hello\r\n");
    for (const char* format : { "subrip", "table" }) {
        QProcess convert;
        convert.setStandardOutputFile(QStringLiteral("/dev/full"));
        convert.start(TESSEL_CONVERT, { "--fps", "25", "--to", format, QString::fromStdString(dir.path("in.sub")) });
        ASSERT_TRUE(convert.waitForFinished(30000));
        EXPECT_EQ(convert.exitCode(), 1) << format;
        EXPECT_EQ(convert.readAllStandardError().toStdString(), "Subtiles file can't be saved!\n") << format;
    }
}
