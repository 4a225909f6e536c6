#include "convert_runner.h"
#include "test_support.h"
#include "tools/spell_check.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

const char* const Input = "1\r\n00:00:01,000 --> 00:00:05,000\r\n"
                          "<i>We went to the market and bought apples, pears and oranges.</i>\r\n\r\n"
                          "2\r\n00:00:06,000 --> 00:00:06,400\r\n[door slams]\r\nJOHN: Who's thier?\r\n\r\n"
                          "3\r\n00:00:06,500 --> 00:00:08,000\r\n- Me.\r\n- \u266A\u266A\r\n";

test::Converted convert(std::vector<std::string> options, const char* input = Input)
{
    test::TempDir dir;
    const std::string in = dir.path("in.srt");
    test::WriteFile(in, input);
    options.insert(options.end(), { "--fps", "25", in });
    if (std::find(options.begin(), options.end(), "--spell-check") == options.end())
        options.insert(options.end() - 1, { "--to", "table" });
    return test::Convert(options);
}

std::string table(const std::vector<std::string>& rows)
{
    std::string dump = "From\tTo\tLine 1\tLine 2\tLine 3\n";
    for (const std::string& row : rows)
        dump += row + "\n";
    return dump;
}

} // namespace

TEST(TextOptions, EachTextTool)
{
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> rows;
    };
    const std::string second = "150\t160\t[door slams]\tJOHN: Who's thier?\t",
                      third = "162\t200\t- Me.\t- \u266A\u266A\t";
    const Case cases[] = {
        // 32/26 and 40/18 after the comma both cost 13: the first found. Row 2 fits one line.
        { { "--break-lines", "42" },
            { "25\t125\t<i>We went to the market and bought\tapples, pears and oranges.</i>\t",
                "150\t160\t[door slams] JOHN: Who's thier?\t\t", third } },
        // Two parts, cut after the comma (|40 - 29.5| + |18 - 29.5| - 16 = 6, as after "bought", the
        // nearer the end found first); 39 and 18 characters once broken: 98 frames * 39 / 57 = 67.
        { { "--split-long", "30" },
            { "25\t92\t<i>We went to the market\tand bought apples,</i>\t", "94\t125\t<i>pears and oranges.</i>\t\t",
                second, third } },
        { { "--remove-hi" },
            { "25\t125\t<i>We went to the market and bought apples, pears and oranges.</i>\t\t",
                "150\t160\tWho's thier?\t\t", "162\t200\tMe.\t\t" } },
        { { "--remove-hi", "--keep-labels", "--keep-music-signs" },
            { "25\t125\t<i>We went to the market and bought apples, pears and oranges.</i>\t\t",
                "150\t160\tJOHN: Who's thier?\t\t", third } },
        // 10 frames (under 13), the next 2 frames later (within 6, not within 1 for --merge-gap 50);
        // four lines do not fit two, their 42 characters fit one.
        { { "--merge-short", "500" },
            { "25\t125\t<i>We went to the market and bought apples, pears and oranges.</i>\t\t",
                "150\t200\t[door slams] JOHN: Who's thier? - Me. - \u266A\u266A\t\t" } },
        { { "--merge-short", "500", "--merge-gap", "50" },
            { "25\t125\t<i>We went to the market and bought apples, pears and oranges.</i>\t\t", second, third } },
        { { "--replace-regex", "(\\w+)\\.\\n- (\\W+)$", "--with", "\\1 \\2" },
            { "25\t125\t<i>We went to the market and bought apples, pears and oranges.</i>\t\t", second,
                "162\t200\t- Me \u266A\u266A\t\t" } },
        { { "--replace-regex", "\\.\\n- ", "--with", ". " },
            { "25\t125\t<i>We went to the market and bought apples, pears and oranges.</i>\t\t", second,
                "162\t200\t- Me. \u266A\u266A\t\t" } },
    };
    for (const Case& c : cases) {
        const test::Converted result = convert(c.options);
        EXPECT_EQ(result.status, 0) << c.options[0] << result.err;
        EXPECT_EQ(result.out, table(c.rows)) << c.options[0];
    }
}

TEST(TextOptions, SpellCheckPrintsFindingsAndWritesNothing)
{
    if (InstalledDictionaries().empty()) GTEST_SKIP() << "no Hunspell dictionary installed";
    const test::Converted found = convert({ "--spell-check", "en_US" });
    EXPECT_EQ(found.status, 3);
    ASSERT_EQ(
        found.out.substr(0, found.out.find('\t', found.out.find('\t', found.out.find('\t') + 1) + 1)), "2\t3\tthier");
    EXPECT_NE(found.out.find("\ttheir"), std::string::npos); // among the suggestions
    const test::Converted clean
        = convert({ "--remove-hi", "--replace-regex", "thier", "--with", "there", "--spell-check", "en_US" });
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "");
    const test::Converted unknown = convert({ "--spell-check", "xx_NONE" });
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("en_US"), std::string::npos); // the installed ones are named
}

TEST(TextOptions, BadValuesAreUsageErrors)
{
    for (const std::vector<std::string>& options :
        { std::vector<std::string> { "--replace-regex", "(", "--with", "x" }, { "--break-lines", "0" },
            { "--merge-short", "-1" }, { "--text-profile", "No such profile", "--unbreak" } })
        EXPECT_EQ(convert(options).status, 2) << options[0];
    EXPECT_NE(convert({ "--keep-labels" }).err.find("does nothing without --remove-hi"), std::string::npos);
}
