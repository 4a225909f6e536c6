#include "convert_runner.h"
#include "test_support.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Convert;
using tessel::test::Converted;
using tessel::test::TempDir;
using tessel::test::WriteFile;

namespace {

const std::string Adults = "Netflix English (adults)";

// MicroDVD keeps frames as written: a subtitle shown 10 frames, one of 8
// frames, one of 10 frames with three lines. At 25 fps 5/6 s is 21 frames.
const char* const Input = "{0}{10}Hi\r\n"
                          "{12}{20}Hi\r\n"
                          "{100}{110}a|b|c\r\n";

// Each test reads its user profiles from a folder of its own.
class ReadingOptions : public ::testing::Test {
protected:
    TempDir dir;
    std::string in = dir.path("in.sub");
    std::string profiles = dir.path("config/tessel/profiles");

    void SetUp() override
    {
        WriteFile(in, Input);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path("config")));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(profiles)));
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }
    Converted run(std::vector<std::string> args)
    {
        args.push_back(in);
        return Convert(args);
    }
};

} // namespace

TEST_F(ReadingOptions, LintPrintsOneLinePerFindingAndExitsWithThree)
{
    const Converted r = run({ "--fps", "25", "--lint", Adults });
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out,
        "1\t0\tmin-duration\t10\t21\n"
        "2\t12\tmin-duration\t8\t21\n"
        "3\t100\tmin-duration\t10\t21\n"
        "3\t100\tline-count\t3\t2\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(QDir(QString::fromStdString(dir.path(""))).entryList(QDir::Files) == QStringList { "in.sub" });
}

TEST_F(ReadingOptions, LintWithoutFindingsPrintsNothingAndExitsWithZero)
{
    WriteFile(in, "{0}{50}Hello\r\n{52}{100}world\r\n");
    const Converted r = run({ "--fps", "25", "--lint", "Relaxed" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

// The check runs at the rate the frames are in: after a conversion to 50 fps
// every count doubles and 5/6 s is 42 frames.
TEST_F(ReadingOptions, LintAfterTheBatchToolsAtTheirFramerate)
{
    const Converted r = run({ "--fps", "25", "--convert-fps", "25:50", "--lint", Adults });
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out,
        "1\t0\tmin-duration\t20\t42\n"
        "2\t24\tmin-duration\t16\t42\n"
        "3\t200\tmin-duration\t20\t42\n"
        "3\t200\tline-count\t3\t2\n");
}

TEST_F(ReadingOptions, FixReadingAppliesEverySafeProposalInCommandLineOrder)
{
    struct Case {
        std::vector<std::string> tools;
        std::string table;
    };
    const std::string header = "From\tTo\tLine 1\tLine 2\tLine 3\n";
    const Case cases[] = {
        // Row 1 has no room before row 2 (which starts at 12, less 2 frames).
        { { "--fix-reading", Adults }, header + "0\t10\tHi\t\t\n12\t33\tHi\t\t\n100\t121\ta\tb\tc\n" },
        // "Expand delay" first runs row 1 to one frame before row 2, which the gap then pulls back.
        { { "--expand-delay", "100", "--fix-reading", Adults },
            header + "0\t10\tHi\t\t\n12\t98\tHi\t\t\n100\t210\ta\tb\tc\n" },
        { { "--fix-reading", Adults, "--expand-delay", "100" },
            header + "0\t11\tHi\t\t\n12\t99\tHi\t\t\n100\t221\ta\tb\tc\n" },
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = { "--fps", "25", "--to", "table" };
        args.insert(args.end(), c.tools.begin(), c.tools.end());
        const Converted r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.table) << c.tools[0];
    }
    const Converted r = run({ "--fps", "25", "--to", "table", "--fix-reading", Adults });
    EXPECT_EQ(r.err, "--fix-reading: 2 finding(s) left without a safe fix (--lint lists them)\n");
}

TEST_F(ReadingOptions, ProfilesByNameFromTheUserFolderOrByPath)
{
    WriteFile(profiles + "/house.profile", "name = House\nmax-lines = 1\n");
    const std::string own = dir.path("own.profile");
    WriteFile(own, "max-chars-per-line = 1\n");
    Converted r = run({ "--lint", "House" });
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, "3\t100\tline-count\t3\t1\n");
    r = run({ "--lint", own });
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, "1\t0\tline-length\t2\t1\n2\t12\tline-length\t2\t1\n");

    r = Convert({ "--list-profiles" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("# built-in\nname = Netflix English (adults)\n", 0), 0u);
    EXPECT_NE(r.out.find("\n\n# " + profiles
                  + "/house.profile\nname = House\nmax-lines = 1\n"
                    "count-spaces-and-punctuation = yes\n"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(ReadingOptions, BadProfilesAreUsageErrorsThatNameTheFileAndLine)
{
    WriteFile(profiles + "/broken.profile", "name = Broken\nmax-lines = none\n");
    const std::string bad = dir.path("bad.profile");
    WriteFile(bad, "\nmax-chars-per-second = fast\n");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string skipped = "  skipped " + profiles + "/broken.profile:2: max-lines: 'none' is not a whole number";
    const Case cases[] = {
        { { "--lint", bad }, "--lint: " + bad + ":2: max-chars-per-second: 'fast' is not a number" },
        { { "--fix-reading", bad, "--to", "table" },
            "--fix-reading: " + bad + ":2: max-chars-per-second: 'fast' is not a number" },
        { { "--lint", "Broken" },
            "--lint: no profile or profile file 'Broken' (--list-profiles lists them)\n" + skipped },
        { { "--lint", "Relaxed", "out.srt" }, "--lint prints its findings and writes no OUTPUT" },
    };
    for (const Case& c : cases) {
        const Converted r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.args[0];
        EXPECT_EQ(r.err.rfind("tessel-convert: " + c.message + "\n\nUsage:", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const Converted listed = Convert({ "--list-profiles" });
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.err,
        "tessel-convert: skipped " + profiles + "/broken.profile:2: max-lines: 'none' is not a whole number\n");
    // Reading errors keep their status.
    const Converted missing = Convert({ "--lint", "Relaxed", dir.path("missing.srt") });
    EXPECT_EQ(missing.status, 1);
}

// Row 3 reads "abc" against "Yo": 1.5 times; the fourth original overlaps no row.
TEST_F(ReadingOptions, LintWithAnOriginalFindsLongAndMissingTranslations)
{
    WriteFile(profiles + "/ratio.profile", "name = Ratio\nmax-translation-ratio = 1.2\n");
    const std::string original = dir.path("original.sub");
    WriteFile(original, "{0}{10}Hi\r\n{12}{20}Hello\r\n{100}{110}Yo\r\n{200}{210}Gone\r\n");
    const Converted r = run({ "--fps", "25", "--lint", "Ratio", "--original", original });
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out,
        "-\t200\tno-translation\t4\t-\n"
        "3\t100\ttranslation-length\t1.5\t1.2\n");
    EXPECT_EQ(run({ "--original", original }).status, 2);
}
