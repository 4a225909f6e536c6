#include "test_support.h"
#include "tools/reading_profile.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::TempDir;
using tessel::test::WriteFile;

namespace {

const char* const GoodFile = "# A broadcaster's rules\n"
                             "name = Broadcaster\n"
                             "max-chars-per-second = 17.5\n"
                             "max-chars-per-line = 37\n"
                             "\n"
                             "max-lines = 1\n"
                             "min-duration = 5/6 s\n"
                             "max-duration = 150 frames\n"
                             "min-gap = 0.08 s\n"
                             "count-spaces-and-punctuation = no\n";

} // namespace

TEST(ReadingProfiles, BuiltInProfilesHoldTheDeliveryNumbers)
{
    const auto& profiles = BuiltInProfiles();
    ASSERT_EQ(profiles.size(), 3u);
    struct Expected {
        const char* name;
        double charsPerSecond;
        int charsPerLine;
        double minSeconds, maxSeconds;
    };
    const Expected expected[] = {
        { "Netflix English (adults)", 20, 42, 5.0 / 6.0, 7 },
        { "Netflix English (children)", 17, 42, 5.0 / 6.0, 7 },
        { "Relaxed", 25, 43, 1, 8 },
    };
    for (size_t i = 0; i < 3; ++i) {
        const ReadingProfile& p = profiles[i];
        EXPECT_EQ(p.name, expected[i].name);
        EXPECT_EQ(p.maxCharsPerSecond, expected[i].charsPerSecond);
        EXPECT_EQ(p.maxCharsPerLine, expected[i].charsPerLine);
        EXPECT_EQ(p.maxLines, 2);
        EXPECT_DOUBLE_EQ(p.minDuration->value, expected[i].minSeconds);
        EXPECT_DOUBLE_EQ(p.maxDuration->value, expected[i].maxSeconds);
        EXPECT_TRUE(p.countSpacesAndPunctuation);
    }
    EXPECT_EQ(profiles[0].minGap->atLeastFrames(25), 2);
    EXPECT_EQ(profiles[2].minGap->atLeastFrames(25), 1); // 24 ms
}

TEST(ReadingProfiles, AFileSetsWhatItGivesAndTheRestIsNotChecked)
{
    const ReadingProfile p = ParseProfile(GoodFile, "/x/broadcaster.profile");
    EXPECT_EQ(p.name, "Broadcaster");
    EXPECT_EQ(p.maxCharsPerSecond, 17.5);
    EXPECT_EQ(p.maxCharsPerLine, 37);
    EXPECT_EQ(p.maxLines, 1);
    EXPECT_EQ(p.minDuration->atLeastFrames(24), 20);
    EXPECT_TRUE(p.maxDuration->inFrames);
    EXPECT_EQ(p.maxDuration->atMostFrames(25), 150);
    EXPECT_EQ(p.minGap->atLeastFrames(25), 2);
    EXPECT_FALSE(p.countSpacesAndPunctuation);
    EXPECT_EQ(p.origin, "/x/broadcaster.profile");
    // Written out and read back, a profile is the same.
    const ReadingProfile again = ParseProfile(ProfileFileText(p), "/y/other.profile");
    EXPECT_EQ(
        ProfileFileText(again), "# /y/other.profile\n" + ProfileFileText(p).substr(ProfileFileText(p).find('\n') + 1));

    const ReadingProfile bare = ParseProfile("\xEF\xBB\xBFmax-lines = 2\r\n", "/x/short one.profile");
    EXPECT_EQ(bare.name, "short one");
    EXPECT_EQ(bare.maxLines, 2);
    EXPECT_FALSE(bare.maxCharsPerSecond || bare.maxCharsPerLine || bare.minDuration || bare.maxDuration || bare.minGap);
    EXPECT_TRUE(bare.countSpacesAndPunctuation);
}

TEST(ReadingProfiles, ABadLineIsReportedWithThePathAndItsNumber)
{
    struct Case {
        const char* text;
        const char* problem;
    };
    const Case cases[] = {
        { "name = A\nmax-lines 2\n", "p.profile:2: 'max-lines 2' is not \"key = value\"" },
        { "\n\nmax-line = 2\n", "p.profile:3: unknown key 'max-line'" },
        { "max-lines = 2\nmax-lines = 3\n", "p.profile:2: max-lines is given twice" },
        { "max-lines = two\n", "p.profile:1: max-lines: 'two' is not a whole number" },
        { "max-lines = 0\n", "p.profile:1: max-lines: 0 is not between 1 and 100000" },
        { "max-chars-per-line = 4.5\n", "p.profile:1: max-chars-per-line: '4.5' is not a whole number" },
        { "max-chars-per-second = 17,5\n", "p.profile:1: max-chars-per-second: '17,5' is not a number" },
        { "max-chars-per-second = 0\n", "p.profile:1: max-chars-per-second: 0 must be above 0" },
        { "min-duration = 1\n", "p.profile:1: min-duration: '1' needs a unit, \"s\" or \"frames\"" },
        { "min-duration = 1 min\n", "p.profile:1: min-duration: '1 min' needs a unit, \"s\" or \"frames\"" },
        { "min-gap = 1.5 frames\n", "p.profile:1: min-gap: frames are counted whole, not '1.5'" },
        { "min-duration = 5/0 s\n", "p.profile:1: min-duration: 0 is not between 1 and 1000" },
        { "max-duration = 0 s\n", "p.profile:1: max-duration: '0 s' must be above 0" },
        { "max-duration = 100000 s\n", "p.profile:1: max-duration: 100000 is not between 0 and 86400" },
        { "min-duration = 3 s\nmax-duration = 2 s\n", "p.profile:2: min-duration is above max-duration" },
        { "count-spaces-and-punctuation = maybe\n",
            "p.profile:1: count-spaces-and-punctuation: 'maybe' is neither yes nor no" },
        { "name =\n", "p.profile:1: name is empty" },
    };
    for (const Case& c : cases) {
        try {
            ParseProfile(c.text, "p.profile");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ProfileProblem& problem) {
            EXPECT_EQ(problem.text(), c.problem) << c.text;
        }
    }
}

TEST(ReadingProfiles, TheFolderAddsItsGoodFilesAndSkipsTheBadOnesWithAReason)
{
    TempDir dir;
    const std::string folder = dir.path("profiles");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    WriteFile(folder + "/b.profile", GoodFile);
    WriteFile(folder + "/a.profile", "max-lines = 1\n");
    WriteFile(folder + "/c.profile", "max-lines = 1\nbad\n");
    WriteFile(folder + "/d.profile", "name = Relaxed\n"); // a built-in name
    WriteFile(folder + "/e.profile", std::string("max-lines = 1\n\xff\n"));
    WriteFile(folder + "/notes.txt", "not a profile at all\n");
    const ProfileList list = LoadProfiles(folder);
    std::vector<std::string> names;
    for (const ReadingProfile& p : list.profiles)
        names.push_back(p.name);
    EXPECT_EQ(names,
        (std::vector<std::string> {
            "Netflix English (adults)", "Netflix English (children)", "Relaxed", "a", "Broadcaster" }));
    std::vector<std::string> problems;
    for (const ProfileProblem& p : list.problems)
        problems.push_back(p.text());
    EXPECT_EQ(problems,
        (std::vector<std::string> { folder + "/c.profile:2: 'bad' is not \"key = value\"",
            folder + "/d.profile: the name 'Relaxed' is taken by built-in", folder + "/e.profile: not UTF-8 text" }));
    EXPECT_EQ(FindProfile(list, "Broadcaster")->maxCharsPerLine, 37);
    EXPECT_EQ(FindProfile(list, "broadcaster"), nullptr);

    const ProfileList none = LoadProfiles(dir.path("missing"));
    EXPECT_EQ(none.profiles.size(), 3u);
    EXPECT_TRUE(none.problems.empty());
}

TEST(ReadingProfiles, TheUserFolderFollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/somewhere/config");
    EXPECT_EQ(UserProfileFolder(), "/somewhere/config/tessel/profiles");
    qputenv("XDG_CONFIG_HOME", "relative/config"); // not absolute: ignored
    EXPECT_EQ(UserProfileFolder(), QDir::homePath().toStdString() + "/.config/tessel/profiles");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserProfileFolder(), QDir::homePath().toStdString() + "/.config/tessel/profiles");
    if (!saved.isNull()) qputenv("XDG_CONFIG_HOME", saved);
}
