#include "../audio/sound_clips.h"
#include "convert_runner.h"
#include "speech_films.h"
#include "test_support.h"

#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>
#include <sstream>

using namespace tessel;
using namespace tessel::test;

namespace {

// The converter's sync writes its speech into this cache, not the user's.
class SyncOptions : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (TestSpeechFilm().path.isEmpty()) GTEST_SKIP() << "ffmpeg or espeak-ng is not installed";
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(dir.path("cache")));
        film = TestSpeechFilm().path.toStdString();
    }

    std::string subRip(Damage damage, const char* name)
    {
        return WriteSubRip(DamageSubtitles(TestSpeechFilm().subtitles(), damage, 6250, 8).spans,
            QString::fromStdString(dir.path(name)))
            .toStdString();
    }

    // The starts of a table dump's rows, in frames.
    static std::vector<long> starts(const std::string& dump)
    {
        std::vector<long> frames;
        std::istringstream lines(dump);
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line))
            frames.push_back(std::stol(line.substr(0, line.find('\t'))));
        return frames;
    }

    TempDir dir;
    std::string film;
};

} // namespace

// Timed 25/23.976 off and shifted, cut: one command brings them back to the
// voices (every row within 100 ms here, 2.5 frames at 25 fps), and says how
// in one line.
TEST_F(SyncOptions, AudioRepairsAShiftedDriftingCutFile)
{
    const Converted c
        = Convert({ "--fps", "25", "--sync-audio", film, "--to", "table", subRip(Damage::All, "in.srt") });
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.err.find("sync: offset "), 0u) << c.err;
    EXPECT_NE(c.err.find("ratio 25/23.976, 2 segments (rows 1-"), std::string::npos) << c.err;
    EXPECT_EQ(std::count(c.err.begin(), c.err.end(), '\n'), 1) << c.err;
    const std::vector<long> frames = starts(c.out);
    const std::vector<Span> truth = TestSpeechFilm().subtitles();
    const DamagedSubtitles damaged = DamageSubtitles(truth, Damage::All, 6250, 8);
    ASSERT_EQ(frames.size(), damaged.truth.size());
    int close = 0, lines = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (damaged.truth[i] < 0) continue;
        ++lines;
        close += std::fabs(frames[i] * 40.0 - damaged.truth[i]) <= 100;
    }
    EXPECT_GE(close, 0.9 * lines);
    // The speech is now cached beside the film's peaks.
    EXPECT_FALSE(QDir(QString::fromStdString(dir.path("cache/tessel/peaks"))).entryList({ "*.speech" }).isEmpty());
}

TEST_F(SyncOptions, ReferenceNoSplitsAndPoints)
{
    const std::string reference = subRip(Damage::None, "reference.srt");
    const Converted cut
        = Convert({ "--fps", "25", "--sync-reference", reference, "--to", "table", subRip(Damage::Cut, "cut.srt") });
    ASSERT_EQ(cut.status, 0) << cut.err;
    EXPECT_NE(cut.err.find("2 segments"), std::string::npos) << cut.err;
    const Converted one = Convert({ "--fps", "25", "--sync-reference", reference, "--sync-no-splits", "--sync-force",
        "--to", "table", subRip(Damage::Cut, "cut.srt") });
    EXPECT_NE(one.err.find("1 segment,"), std::string::npos) << one.err;
    // Points: row 1 from 0:00:02.000 to frame 40, row 2 to frame 100.
    const std::string two = dir.path("two.srt");
    WriteFile(two,
        "1\r\n00:00:02,000 --> 00:00:03,000\r\na\r\n\r\n2\r\n00:00:04,000 --> 00:00:05,000\r\nb\r\n\r\n"
        "3\r\n00:00:06,000 --> 00:00:07,000\r\nc\r\n");
    const Converted points
        = Convert({ "--fps", "25", "--sync-point", "1=40", "--sync-point", "2=100", "--to", "table", two });
    ASSERT_EQ(points.status, 0) << points.err;
    // Frames 50 -> 40 and 100 -> 100: slope 1.2, so 75 -> 70, 125 -> 130, 150 -> 160, 175 -> 190.
    EXPECT_EQ(points.out, "From\tTo\tLine 1\tLine 2\tLine 3\n40\t70\ta\t\t\n100\t130\tb\t\t\n160\t190\tc\t\t\n");
    EXPECT_EQ(points.err, "sync points: row 1 50->40, row 2 100->100, 3 rows changed\n");
}

// A low score writes nothing and exits 1 unless forced; bad input is said
// and leaves no file.
TEST_F(SyncOptions, LowScoresAndBadInputWriteNothing)
{
    const std::string stranger = dir.path("stranger.srt");
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += std::to_string(i + 1) + "\r\n00:00:" + std::to_string(10 + i * 4)
            + ",000 --> 00:00:" + std::to_string(10 + i * 4) + ",300\r\nx\r\n\r\n";
    WriteFile(stranger, text);
    const std::string out = dir.path("out.srt");
    const Converted low = Convert({ "--fps", "25", "--sync-audio", film, stranger, out });
    EXPECT_EQ(low.status, 1);
    EXPECT_NE(low.err.find("do not match well: check before applying; nothing was written"), std::string::npos)
        << low.err;
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(out)));
    EXPECT_EQ(Convert({ "--fps", "25", "--sync-audio", film, "--sync-force", stranger, out }).status, 0);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(out)));

    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        { { "--sync-audio", SilentMovie().toStdString() }, 1, "has no sound to synchronise with" },
        { { "--sync-audio", dir.path("missing.mkv") }, 1, "Cannot read" },
        { { "--sync-point", "0=5" }, 2, "--sync-point needs ROW=FRAME" },
        { { "--sync-point", "3" }, 2, "--sync-point needs ROW=FRAME" },
        { { "--sync-point", "99=5" }, 1, "not a row of the subtitles" },
        { { "--sync-no-splits" }, 0, "--sync-no-splits does nothing without --sync-audio or --sync-reference" },
    };
    const std::string untimed = dir.path("untimed.sub");
    WriteFile(untimed, "{0}{0}no times\r\n");
    for (const Case& c : cases) {
        const std::string target = dir.path("never.srt");
        std::vector<std::string> args = { "--fps", "25" };
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), { stranger, target });
        const Converted run = Convert(args);
        EXPECT_EQ(run.status, c.status) << c.says << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        if (c.status != 0) {
            EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(target))) << c.says;
        }
    }
    const Converted none = Convert({ "--fps", "25", "--sync-audio", film, untimed, dir.path("never.srt") });
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no timed rows"), std::string::npos) << none.err;
}
