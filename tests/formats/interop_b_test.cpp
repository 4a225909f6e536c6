// Files of ours read back by ffmpeg: SAMI and Sub Station Alpha. (ffmpeg has
// no DVD Subripper reader.)
#include "formats/ffmpeg_peer.h"
#include "formats/sami.h"
#include "formats/ssa.h"
#include "test_support.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

std::string writeFile(
    const test::TempDir& dir, const char* name, WriterFn writer, const std::vector<Row>& rows, double fps)
{
    SubtitleTable table;
    test::Fill(table, rows);
    StringSink sink;
    WriteContext context;
    context.framerate = fps;
    writer(table, 1, table.rowCount() - 1, context, sink);
    const std::string path = dir.path(name);
    test::WriteFile(path, sink.text());
    return path;
}

// Halves away from zero, as the SAMI writer rounds.
int milliseconds(const std::string& frame, double fps)
{
    return static_cast<int>(std::lround(std::stod(frame) / fps * 1000));
}

std::string joined(const Row& row)
{
    std::string text;
    for (size_t i = 2; i < row.size(); ++i) {
        if (row[i].empty()) continue;
        if (!text.empty()) text += '\n';
        text += row[i];
    }
    return text;
}

} // namespace

TEST(InteropB, FfmpegReadsOurSami)
{
    if (!test::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed: SAMI interoperability not checked";
    const double fps = 23.976;
    // A pause after the first and third rows (a clearing block), none after the second.
    const std::vector<Row> rows = { { "1000", "1050", "Hello", "World" }, { "1100", "1198", "Bye" },
        { "1200", "1260", "a", "b", "c" }, { "1400", "1500", "Last" } };
    const test::TempDir dir;
    const auto cues = test::FfmpegReadCues(writeFile(dir, "ours.smi", WriteSAMI, rows, fps), { "-f", "sami" });
    ASSERT_TRUE(cues.has_value());
    ASSERT_EQ(cues->size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& cue = (*cues)[i];
        EXPECT_EQ(cue.startMs, milliseconds(rows[i][0], fps)) << i;
        EXPECT_EQ(cue.text, joined(rows[i])) << i;
    }
    EXPECT_EQ((*cues)[0].endMs, milliseconds("1050", fps));
    EXPECT_EQ((*cues)[1].endMs, milliseconds("1200", fps)); // no clearing block: ends where the next begins
    EXPECT_EQ((*cues)[2].endMs, milliseconds("1260", fps));
}

TEST(InteropB, FfmpegReadsOurSubStationAlpha)
{
    if (!test::FfmpegAvailable())
        GTEST_SKIP() << "ffmpeg is not installed: Sub Station Alpha interoperability not checked";
    const double fps = 25;
    const std::vector<Row> rows = { { "37", "100", "Hello, world", "Second" }, { "101", "163", "one, two" },
        { "90000", "90062", "a", "", "c" }, { "90100", "90137", "Ünïcödé" } };
    const test::TempDir dir;
    const auto cues = test::FfmpegReadCues(writeFile(dir, "ours.ssa", WriteSSA, rows, fps));
    ASSERT_TRUE(cues.has_value());
    ASSERT_EQ(cues->size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& cue = (*cues)[i];
        // Hundredths of a second: within 5 ms of the exact time.
        EXPECT_LE(std::abs(cue.startMs - milliseconds(rows[i][0], fps)), 5) << i;
        EXPECT_LE(std::abs(cue.endMs - milliseconds(rows[i][1], fps)), 5) << i;
        EXPECT_EQ(cue.text, joined(rows[i])) << i;
    }
}
