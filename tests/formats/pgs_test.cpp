// Blu-ray subtitles written from rows: the run-length code worked by hand,
// and ffprobe reading our file's display sets at the rows' frames.
#include "formats/detect.h"
#include "formats/pgs.h"
#include "support/convert_runner.h"
#include "support/test_support.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

} // namespace

// Each line ends 00 00; a colour alone is its byte, a run of 3 and more or of
// colour 0 is 00 and a code: 0LLLLLL, 01LLLLLL LLLLLLLL, 10LLLLLL C, 11LLLLLL LLLLLLLL C.
TEST(Pgs, RunLengthsAsTheCodeHasThem)
{
    struct Case {
        std::vector<uint8_t> line;
        std::string code;
    };
    const Case cases[] = {
        { { 1, 1, 1, 1 }, bytes({ 0, 0x84, 1, 0, 0 }) },
        { { 3, 3, 0, 5 }, bytes({ 3, 3, 0, 0x01, 5, 0, 0 }) },
        { std::vector<uint8_t>(70, 0), bytes({ 0, 0x40, 70, 0, 0 }) },
        { std::vector<uint8_t>(300, 7), bytes({ 0, 0xC1, 0x2C, 7, 0, 0 }) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(PgsRunLengths(c.line.data(), static_cast<int>(c.line.size()), 1), c.code) << c.line.size();
}

TEST(Pgs, FfprobeReadsEachRowAtItsFramesAndItsClearing)
{
    if (QStandardPaths::findExecutable("ffprobe").isEmpty()) GTEST_SKIP() << "no ffprobe";
    TempDir dir;
    // The third row starts where the second ends: it replaces it, no clearing between.
    const std::string sup = WriteRows(WritePgs,
        { { "25", "100", "Hello" }, { "150", "200", "<i>Two</i>", "lines" }, { "200", "250", "Right after" },
            { "300", "310", "", "" } },
        25);
    ASSERT_EQ(sup.substr(0, 2), "PG");
    EXPECT_EQ(sup[10], '\x16'); // a composition first
    EXPECT_EQ(sup.substr(13, 4), bytes({ 0x07, 0x80, 0x04, 0x38 })); // 1920 x 1080
    WriteFile(dir.path("a.sup"), sup);
    EXPECT_EQ(DetectFormat(dir.path("a.sup")), FormatCode::Pgs);
    QProcess probe;
    probe.start("ffprobe",
        { "-v", "error", "-show_frames", "-show_entries", "subtitle=pts_time,num_rects", "-of", "csv=p=0",
            QString::fromStdString(dir.path("a.sup")) });
    ASSERT_TRUE(probe.waitForFinished(30000));
    EXPECT_EQ(
        probe.readAllStandardOutput().toStdString(), "1.000000,1\n4.000000,0\n6.000000,1\n8.000000,1\n10.000000,0\n");
}

TEST(Pgs, TheConverterWritesBluRayAndNoVobSub)
{
    TempDir dir;
    WriteFile(dir.path("a.srt"), "1\n00:00:01,000 --> 00:00:02,000\nHello\n");
    Converted r = Convert({ "--fps", "25", dir.path("a.srt"), dir.path("a.idx") });
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("VobSub is read, not written"), std::string::npos) << r.err;
    r = Convert({ "--fps", "25", dir.path("a.srt"), dir.path("a.sup") });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.path("a.sup")).substr(0, 2), "PG");
    r = Convert({ "--formats" });
    EXPECT_NE(r.out.find("15\tpgs\tBlu-ray subtitles\t.sup\tyes\tyes\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("16\tvobsub\tVobSub\t.idx .sub\tyes\tno\n"), std::string::npos) << r.out;
}
