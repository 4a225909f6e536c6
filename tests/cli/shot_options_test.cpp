#include "convert_runner.h"
#include "shot_films.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Convert;
using tessel::test::Converted;
using tessel::test::MakeShotFilm;
using tessel::test::ShotFilm;
using tessel::test::TempDir;
using tessel::test::WriteFile;

namespace {

const std::string Adults = "Netflix English (adults)";

// The film's cuts are at frames 40, 90, 130, 180 and 230 (25 fps). MicroDVD
// keeps frames as written: a start 3 frames before the cut at 40, an end 5
// frames before the one at 180, nothing else within 12 frames of a cut.
const char* const Input = "{37}{70}Hello\r\n"
                          "{110}{175}there\r\n";

class ShotOptions : public ::testing::Test {
protected:
    TempDir dir;
    std::string in = dir.path("in.sub");
    ShotFilm film = MakeShotFilm("25", "mp4");

    void SetUp() override
    {
        REQUIRE_SHOT_FILM(film);
        WriteFile(in, Input);
        for (const char* name : { "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME" })
            qputenv(name, QByteArray::fromStdString(dir.path(name)));
    }
    void TearDown() override
    {
        for (const char* name : { "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME" })
            qunsetenv(name);
    }
};

} // namespace

TEST_F(ShotOptions, ListShotChangesPrintsOneFrameALine)
{
    const Converted r = Convert({ "--list-shot-changes", film.path });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "40\n90\n130\n180\n230\n");
    // From the cache the second time, the same.
    EXPECT_EQ(Convert({ "--list-shot-changes", film.path }).out, r.out);
    const Converted notAFilm = Convert({ "--list-shot-changes", in });
    EXPECT_EQ(notAFilm.status, 1);
    EXPECT_NE(notAFilm.err.find("in.sub"), std::string::npos) << notAFilm.err;
}

TEST_F(ShotOptions, TheFilmsOrAListsCutsGoToTheLintAndTheFix)
{
    Converted r = Convert({ "--fps", "25", "--lint", Adults, "--shot-changes", film.path, in });
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "1\t37\tshot-change-in\t-3\t12\n2\t110\tshot-change-out\t-5\t12\n");
    // A list: frame numbers, or times at the framerate the frames are in.
    WriteFile(dir.path("cuts.txt"), "40\n00:00:07.200\n");
    r = Convert({ "--fps", "25", "--lint", Adults, "--shot-changes", dir.path("cuts.txt"), in });
    EXPECT_EQ(r.out, "1\t37\tshot-change-in\t-3\t12\n2\t110\tshot-change-out\t-5\t12\n");
    r = Convert({ "--fps", "25", "--fix-reading", Adults, "--shot-changes", film.path, "--to", "microdvd", in });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{40}{70}Hello\r\n{110}{178}there\r\n");
    // Without them the rules are not checked.
    EXPECT_EQ(Convert({ "--fps", "25", "--lint", Adults, in }).status, 0);
}

TEST_F(ShotOptions, MistakesAreSaidPlainly)
{
    WriteFile(dir.path("bad.txt"), "40\nforty\n");
    Converted r = Convert({ "--fps", "25", "--lint", Adults, "--shot-changes", dir.path("bad.txt"), in });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.txt:2: 'forty' is neither a frame number nor a time"), std::string::npos) << r.err;
    r = Convert({ "--shot-changes", film.path, "--to", "subrip", in });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("--shot-changes does nothing without --lint or --fix-reading"), std::string::npos) << r.err;
    EXPECT_EQ(Convert({ "--list-shot-changes", film.path, in }).status, 2);
    EXPECT_EQ(Convert({ "--to", "subrip", "--shot-changes", film.path, in, in, in }).status, 2);
}
