// Many files in one call: where each result goes, what is never replaced,
// and how failures are told apart from the files that converted.
#include "convert_runner.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Convert;
using tessel::test::Converted;
using tessel::test::ReadFile;
using tessel::test::TempDir;
using tessel::test::WriteFile;

namespace {

// Hand-made pairs: at 25 fps frame n starts at n * 40 ms.
const std::string MicroDvdA = "{25}{50}Alpha\r\n";
const std::string SubRipA = "1\r\n00:00:01,000 --> 00:00:02,000\r\nAlpha\r\n\r\n";
const std::string MicroDvdB = "{100}{125}Beta|two lines\r\n";
const std::string SubRipB = "1\r\n00:00:04,000 --> 00:00:05,000\r\nBeta\r\ntwo lines\r\n\r\n";
const std::string Noise = "nothing a subtitle reader knows\n";
const std::string Kept = "kept as it was\n";

bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

int lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST(BatchConversion, GoodFilesConvertWhileBadOnesAndExistingOutputsAreNamed)
{
    TempDir dir;
    const std::string a = dir.path("a.sub"), b = dir.path("b.en.sub"), bad = dir.path("bad.sub"),
                      busy = dir.path("busy.sub");
    WriteFile(a, MicroDvdA);
    WriteFile(b, MicroDvdB);
    WriteFile(bad, Noise);
    WriteFile(busy, MicroDvdA);
    WriteFile(dir.path("busy.srt"), Kept);
    const Converted r = Convert({ "--to", "subrip", "--fps", "25", "-j", "2", a, b, bad, busy });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(dir.path("a.srt")), SubRipA);
    EXPECT_EQ(ReadFile(dir.path("b.en.srt")), SubRipB); // only the last extension is replaced
    EXPECT_FALSE(exists(dir.path("bad.srt")));
    EXPECT_EQ(ReadFile(dir.path("busy.srt")), Kept);
    EXPECT_EQ(ReadFile(bad), Noise);
    // Each failure on its own line, after its file's name, then the summary.
    EXPECT_TRUE(contains(r.err, bad + ": Unknow subtitles format.\n")) << r.err;
    EXPECT_TRUE(contains(r.err, busy + ": " + dir.path("busy.srt") + " exists")) << r.err;
    EXPECT_EQ(lines(r.err), 3) << r.err;
    EXPECT_TRUE(contains(r.err, "2 of 4 files converted, 2 failed\n")) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(BatchConversion, OverwriteReplacesResultsButNeverAnInput)
{
    TempDir dir;
    const std::string a = dir.path("a.sub"), srt = dir.path("a.srt"), vtt = dir.path("v.vtt");
    WriteFile(a, MicroDvdA);
    WriteFile(srt, Kept);
    WriteFile(vtt, "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nAlpha\n");
    // a.srt is both an input and a.sub's result; v.vtt would be its own result.
    Converted r = Convert({ "--to", "subrip", "--overwrite", "--fps", "25", a, srt });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(srt), Kept);
    EXPECT_TRUE(contains(r.err, a + ": " + srt + " is an input")) << r.err;
    r = Convert({ "--to", "webvtt", "--overwrite", vtt });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "0 of 1 files converted, 1 failed")) << r.err;

    WriteFile(srt, Kept);
    r = Convert({ "--to", "subrip", "--overwrite", "--fps", "25", a });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(srt), SubRipA);
    EXPECT_EQ(r.err, "tessel-convert: 1 of 1 files converted, 0 failed\n");
}

TEST(BatchConversion, TwoInputsWithOneResultNameConvertOnlyTheFirst)
{
    TempDir dir;
    WriteFile(dir.path("film.sub"), MicroDvdA);
    WriteFile(dir.path("film.txt"), MicroDvdB);
    const Converted r
        = Convert({ "--to", "subrip", "--fps", "25", "--overwrite", dir.path("film.sub"), dir.path("film.txt") });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(dir.path("film.srt")), SubRipA);
    EXPECT_TRUE(contains(r.err, dir.path("film.txt") + ": ")) << r.err;
}

TEST(BatchConversion, ManyFilesOnSeveralWorkersEachGetTheirOwnResultInTheOutputFolder)
{
    TempDir dir;
    QDir().mkpath(QString::fromStdString(dir.path("out")));
    std::vector<std::string> args { "--to", "subrip", "--fps", "25", "--output-dir", dir.path("out"), "-j", "3" };
    constexpr int Files = 40;
    for (int i = 0; i < Files; ++i) {
        // File i holds one subtitle from frame 25 * i to 25 * i + 25: i to i + 1 seconds.
        const std::string name = dir.path("part" + std::to_string(i) + ".sub");
        WriteFile(name,
            "{" + std::to_string(25 * i) + "}{" + std::to_string(25 * i + 25) + "}Part " + std::to_string(i) + "\r\n");
        args.push_back(name);
    }
    const Converted r = Convert(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto clock = [](int s) {
        char text[32];
        std::snprintf(text, sizeof text, "00:%02d:%02d,000", s / 60, s % 60);
        return std::string(text);
    };
    for (int i = 0; i < Files; ++i)
        EXPECT_EQ(ReadFile(dir.path("out/part" + std::to_string(i) + ".srt")),
            "1\r\n" + clock(i) + " --> " + clock(i + 1) + "\r\nPart " + std::to_string(i) + "\r\n\r\n")
            << i;
    EXPECT_FALSE(exists(dir.path("part0.srt")));
    EXPECT_EQ(r.err, "tessel-convert: 40 of 40 files converted, 0 failed\n");
}

TEST(BatchConversion, AReadOnlyFolderFailsItsFilesOnly)
{
    TempDir dir;
    const QString root = QString::fromStdString(dir.path(""));
    QDir().mkpath(root + "open");
    QDir().mkpath(root + "shut");
    const std::string good = dir.path("open/a.sub"), shut = dir.path("shut/b.sub");
    WriteFile(good, MicroDvdA);
    WriteFile(shut, MicroDvdB);
    const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther
        | QFile::ReadGroup | QFile::ExeGroup;
    QFile::setPermissions(root, everyone);
    QFile::setPermissions(root + "open", everyone | QFile::WriteOther);
    QFile::setPermissions(root + "shut", everyone);
    const std::optional<Converted> r = test::ConvertAsNobody(
        { "--to", "subrip", "--fps", "25", "-j", "2", QString::fromStdString(good), QString::fromStdString(shut) });
    if (!r) GTEST_SKIP() << "cannot run the converter as another user here";
    EXPECT_EQ(r->status, 1);
    EXPECT_EQ(ReadFile(dir.path("open/a.srt")), SubRipA);
    EXPECT_FALSE(exists(dir.path("shut/b.srt")));
    EXPECT_EQ(QDir(root + "shut").entryList(QDir::Files | QDir::Hidden), QStringList { "b.sub" });
    EXPECT_TRUE(contains(r->err, shut + ": Subtiles file can't be saved!\n")) << r->err;
    EXPECT_TRUE(contains(r->err, "1 of 2 files converted, 1 failed\n")) << r->err;
}

TEST(BatchConversion, MisusesAreUsageErrors)
{
    TempDir dir;
    const std::string a = dir.path("a.sub");
    WriteFile(a, MicroDvdA);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>> {
             { "--output-dir", dir.path(""), a }, // no --to
             { "--to", "subrip", "-j", "0", a },
             { "--to", "subrip", "-j", "many", a },
             { "--to", "subrip", "--detect", "--overwrite", a },
             { "--to", "subrip", "--lint", "Relaxed", a, a, a },
             { "--to", "subrip", "--output-dir", dir.path("missing"), a },
         }) {
        const Converted r = Convert(args);
        EXPECT_EQ(r.status, 2) << args[1] << ' ' << args[2] << '\n' << r.err;
    }
    EXPECT_FALSE(exists(dir.path("a.srt")));
}

TEST(BatchConversion, OneOrTwoFilesWithoutBatchOptionsAreTheSingleForm)
{
    TempDir dir;
    const std::string a = dir.path("a.sub"), out = dir.path("named.srt");
    WriteFile(a, MicroDvdA);
    const Converted r = Convert({ "--fps", "25", a, out });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), SubRipA);
    EXPECT_EQ(r.err, "");
}

TEST(ConverterInfo, VersionAndFormats)
{
    Converted r = Convert({ "--version" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("tessel-convert ") + TESSEL_PROJECT_VERSION + "\n");
    r = Convert({ "--formats" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), 17); // sixteen formats and the table
    // The codes are those --detect prints.
    for (const char* line : { "2\tsubrip\tSubRip\t.srt .txt\tyes\tyes\n", "11\twebvtt\tWebVTT\t.vtt\tyes\tyes\n",
             "10\tass\tAdvanced SubStation Alpha\t.ass\tyes\tyes\n", "1\tmicrodvd\tMicroDVD\t.sub .txt\tyes\tyes\n" })
        EXPECT_TRUE(contains(r.out, line)) << line;
    r = Convert({ "--help" });
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "--output-dir DIR")) << r.out;
}

// One file under two names: through a linked folder in the batch form (the
// second is refused as a name taken twice is), and OUTPUT naming INPUT in the
// single form, directly or through a link.
TEST(BatchConversion, OneFileUnderTwoNamesIsWrittenOnceAndNeverOverItsInput)
{
    TempDir dir;
    QDir().mkpath(QString::fromStdString(dir.path("a")));
    ASSERT_TRUE(QFile::link(QStringLiteral("a"), QString::fromStdString(dir.path("b"))));
    const std::string sub = dir.path("a/film.sub"), srt = dir.path("b/film.srt");
    WriteFile(sub, MicroDvdA);
    WriteFile(srt, SubRipB);
    Converted r = Convert({ "--to", "webvtt", "--fps", "25", "-j", "2", sub, srt });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, srt + ": " + dir.path("b/film.vtt") + " is already the result of " + sub + ".\n"))
        << r.err;
    EXPECT_EQ(ReadFile(dir.path("a/film.vtt")), "WEBVTT\r\n\r\n00:01.000 --> 00:02.000\r\nAlpha\r\n\r\n");
    EXPECT_TRUE(contains(r.err, "1 of 2 files converted, 1 failed\n")) << r.err;

    ASSERT_TRUE(QFile::link(QStringLiteral("film.sub"), QString::fromStdString(dir.path("a/alias.sub"))));
    for (const std::string& output : { sub, dir.path("a/alias.sub"), dir.path("b/film.sub") }) {
        r = Convert({ "--to", "subrip", "--fps", "25", sub, output });
        EXPECT_EQ(r.status, 1) << output;
        EXPECT_EQ(r.err, output + " is an input; it is never written over.\n");
        EXPECT_EQ(ReadFile(sub), MicroDvdA);
    }
}
