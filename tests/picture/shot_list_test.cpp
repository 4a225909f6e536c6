#include "core/errors.h"
#include "picture/shot_list.h"

#include <gtest/gtest.h>

using namespace tessel;

namespace {

constexpr double Ntsc = 24000.0 / 1001;

} // namespace

TEST(ShotList, ReadsFrameNumbersSecondsAndTimesOneALine)
{
    struct Case {
        const char* text;
        double fps;
        std::vector<int64_t> cuts;
    } cases[] = {
        { "1551\n", 25, { 1551 } },
        { "62.04\n", 25, { 1551 } }, // seconds have a decimal point...
        { "62,04 s\n", 25, { 1551 } },
        { "62s", 25, { 1550 } }, // ...or an "s"
        { "00:01:02.040\n", 25, { 1551 } },
        { "1:02,04\r\n", 25, { 1551 } },
        { "0:00:04.171\n", Ntsc, { 100 } }, // frame 100 starts at 4.1708 s
        { "0:00:04.170\n", Ntsc, { 100 } }, // the nearest frame, not the one covering the time
        { "\xEF\xBB\xBF# cuts\n\n  30  \n10\n30\n", 25, { 10, 30 } }, // in order, each once
        { "", 25, {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseShotList(c.text, c.fps, "cuts.txt"), c.cuts) << c.text;
}

TEST(ShotList, ALineThatIsNeitherIsNamedWithItsNumberAndNothingIsTaken)
{
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        { "10\nabc\n", "cuts.txt:2: 'abc' is neither a frame number nor a time" },
        { "-5\n", "cuts.txt:1: '-5' is neither a frame number nor a time" },
        { "1:75.0\n", "cuts.txt:1: '1:75.0' is neither a frame number nor a time" },
        { "1:2:3:4\n", "cuts.txt:1: '1:2:3:4' is neither a frame number nor a time" },
        { "10 20\n", "cuts.txt:1: '10 20' is neither a frame number nor a time" },
        { "99999999999999999999\n", "cuts.txt:1: '99999999999999999999' is neither a frame number nor a time" },
    };
    for (const Case& c : cases) {
        try {
            ParseShotList(c.text, 25, "cuts.txt");
            ADD_FAILURE() << c.text;
        } catch (const Error& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

TEST(ShotList, WritesFramesOrTimesThatReadBackAsTheSameFrames)
{
    const std::vector<int64_t> cuts { 1, 100, 86400 };
    EXPECT_EQ(ShotListText(cuts, Ntsc), "1\n100\n86400\n");
    const std::string times = ShotListText(cuts, Ntsc, true);
    EXPECT_EQ(times, "00:00:00.042\n00:00:04.171\n01:00:03.600\n");
    EXPECT_EQ(ParseShotList(times, Ntsc, "times"), cuts);
    EXPECT_EQ(ConvertCuts(cuts, Ntsc, Ntsc), cuts);
    EXPECT_EQ(ConvertCuts({ 25, 51 }, 25, 50), (std::vector<int64_t> { 50, 102 }));
}

TEST(ShotEdits, StayOverWhateverIsFoundAndReadBackAsWritten)
{
    const std::vector<int64_t> found { 10, 20, 30 };
    const ShotEdits edits = ShotEdits().towards(found, { 10, 25, 30 }); // 20 moved to 25
    EXPECT_EQ(edits.added, (std::vector<int64_t> { 25 }));
    EXPECT_EQ(edits.removed, (std::vector<int64_t> { 20 }));
    // Found again at another sensitivity: a new cut shows, the removed one stays away.
    EXPECT_EQ(edits.apply({ 10, 20, 30, 40 }), (std::vector<int64_t> { 10, 25, 30, 40 }));
    // Adding a cut back that was removed takes away the removal.
    EXPECT_TRUE(edits.towards(found, { 10, 20, 25, 30 }).removed.empty());
    EXPECT_EQ(ShotEdits::Decode(edits.encode()), edits);

    ShotEdits list;
    list.replaced = true;
    list.added = { 5, 7 };
    EXPECT_EQ(list.apply(found), list.added);
    EXPECT_EQ(list.towards(found, { 5 }).added, (std::vector<int64_t> { 5 }));
    EXPECT_EQ(ShotEdits::Decode(list.encode()), list);
    EXPECT_THROW(ShotEdits::Decode("10\n20\n"), Error);
    EXPECT_THROW(ShotEdits::Decode(ShotEdits().encode() + "*3\n"), Error);
}
