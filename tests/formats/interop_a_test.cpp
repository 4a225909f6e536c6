// Our SubViewer 1, SubViewer 2, AQTitle and Simple time-code files as ffmpeg
// reads them: each cue must match the table within what the format can hold.
#include "core/timecode.h"
#include "formats/aqtitle.h"
#include "formats/ffmpeg_peer.h"
#include "formats/simple_timecode.h"
#include "formats/subviewer1.h"
#include "formats/subviewer2.h"
#include "formats/time_format.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

constexpr double Fps = 25;

int wholeSeconds(int frame) { return FrameToTime(frame, Fps) / 1000 * 1000; }
int hundredths(int frame) { return RoundToHundredths(FrameToTime(frame, Fps)) * 10; }
int frames(int frame) { return frame * 40; }

struct Peer {
    const char* name;
    WriterFn write;
    std::vector<std::string> ffmpegOptions;
    int (*expectedMs)(int frame);
    bool lastEndStored;
    std::vector<Row> rows; // gaps either 0 or past what the format skips, so ends are stored
};

const Peer Peers[] = {
    { "subviewer1", WriteSubViewer1, { "-f", "subviewer1" }, wholeSeconds, false,
        { { "25", "100", "Hello", "world" }, { "100", "200", "Two" }, { "300", "400", "Three", "lines", "here" } } },
    { "subviewer2", WriteSubViewer2, { "-f", "subviewer" }, hundredths, true,
        { { "25", "100", "Hello", "world" }, { "137", "262", "Two" }, { "1000", "1012", "a", "b", "c" } } },
    { "aqtitle", WriteAQTitle, { "-f", "aqtitle", "-subfps", "25" }, frames, true,
        { { "100", "150", "One" }, { "300", "350", "Two", "Lines" }, { "357", "420", "Three" } } },
    { "vplayer", WriteSimpleTimeCode, { "-f", "vplayer" }, wholeSeconds, true,
        { { "25", "100", "Hello", "world" }, { "100", "200", "Two" }, { "300", "400", "Three", "lines", "here" } } },
};

std::string joinedLines(const Row& row)
{
    std::string text;
    for (size_t i = 2; i < row.size(); ++i) {
        if (row[i].empty()) continue;
        if (!text.empty()) text += '\n';
        text += row[i];
    }
    return text;
}

// Pause lines and clearing blocks come back as cues without text.
std::vector<test::PeerCue> cuesWithText(std::vector<test::PeerCue> cues)
{
    std::vector<test::PeerCue> kept;
    for (auto& cue : cues)
        if (cue.text.find_first_not_of(" \t") != std::string::npos) kept.push_back(cue);
    return kept;
}

} // namespace

TEST(InteropA, FfmpegReadsOurFilesAsWritten)
{
    if (!test::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed: no peer to read our files";
    test::TempDir dir;
    for (const Peer& peer : Peers) {
        SubtitleTable table;
        test::Fill(table, peer.rows);
        StringSink sink;
        WriteContext context;
        context.framerate = Fps;
        peer.write(table, 1, table.rowCount() - 1, context, sink);
        const std::string path = dir.path(std::string(peer.name) + ".txt");
        test::WriteFile(path, sink.text());

        const auto cues = test::FfmpegReadCues(path, peer.ffmpegOptions);
        ASSERT_TRUE(cues) << peer.name << ": ffmpeg could not read\n" << sink.text();
        const auto read = cuesWithText(*cues);
        ASSERT_EQ(read.size(), peer.rows.size()) << peer.name << "\n" << sink.text();
        for (size_t i = 0; i < read.size(); ++i) {
            const Row& row = peer.rows[i];
            EXPECT_EQ(read[i].text, joinedLines(row)) << peer.name << " cue " << i;
            EXPECT_EQ(read[i].startMs, peer.expectedMs(std::stoi(row[0]))) << peer.name << " cue " << i;
            if (i + 1 < read.size() || peer.lastEndStored) {
                EXPECT_EQ(read[i].endMs, peer.expectedMs(std::stoi(row[1]))) << peer.name << " cue " << i;
            }
        }
    }
}
