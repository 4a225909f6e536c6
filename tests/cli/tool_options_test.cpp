#include "convert_runner.h"
#include "test_support.h"

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

// MicroDVD keeps the frame cells as written, so the table shows what the tools did.
const char* const Input = "{25}{1000}Hello|hello world\r\n"
                          "{990}{1100}[music]|,and ''so''\r\n"
                          "{1100}{1110}[noise]\r\n";

// Runs the converter in-process over `input`, dumping the table to standard output.
test::Converted convert(const std::string& input, std::vector<std::string> options)
{
    test::TempDir dir;
    const std::string in = dir.path("in.sub");
    test::WriteFile(in, input);
    options.insert(options.end(), { "--to", "table", in });
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

TEST(ToolOptions, EachToolOnItsOwn)
{
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        { { "--convert-fps", "25:23,976" },
            { "24\t959\tHello\thello world\t", "949\t1055\t[music]\t,and ''so''\t", "1055\t1065\t[noise]\t\t" } },
        { { "--convert-fps", "2:1" },
            { "12\t500\tHello\thello world\t", "495\t550\t[music]\t,and ''so''\t", "550\t555\t[noise]\t\t" } },
        { { "--add-frames", "-100" },
            { "-75\t900\tHello\thello world\t", "890\t1000\t[music]\t,and ''so''\t", "1000\t1010\t[noise]\t\t" } },
        { { "--expand-delay", "10" },
            { "25\t989\tHello\thello world\t", "990\t1099\t[music]\t,and ''so''\t", "1100\t1120\t[noise]\t\t" } },
        { { "--replace", "HELLO", "--with", "Bye" },
            { "25\t1000\tBye\tBye world\t", "990\t1100\t[music]\t,and ''so''\t", "1100\t1110\t[noise]\t\t" } },
        // Given as 4,2,0 but run as 0, 2, 4: the comma moves up only once the caption is gone.
        { { "--repair", "4,2,0" },
            { "25\t1000\tHello\thello world\t", "990\t1100\tand \"so\"\t\t", "1100\t1110\t\t\t" } },
        { { "--repair", "0,1" }, { "25\t1000\tHello\thello world\t", "990\t1100\t,and ''so''\t\t" } },
        { { "--fix-timing" },
            { "25\t1000\tHello\thello world\t", "1001\t1100\t[music]\t,and ''so''\t", "1100\t1110\t[noise]\t\t" } },
        { { "--fix-timing", "--short-time" },
            { "25\t1000\tHello\thello world\t", "1001\t1100\t[music]\t,and ''so''\t",
                "1100\t1140\t[noise]\t\t" } }, // 7 characters: 10 + 30 frames
        { { "--short-time", "--fix-timing" },
            { "25\t1000\tHello\thello world\t", "1001\t1100\t[music]\t,and ''so''\t", "1100\t1140\t[noise]\t\t" } },
    };
    for (const Case& c : cases) {
        const test::Converted r = convert(Input, c.options);
        EXPECT_EQ(r.status, 0) << c.options[0] << r.err;
        EXPECT_EQ(r.out, table(c.rows)) << c.options[0];
    }
}

TEST(ToolOptions, StepsRunInCommandLineOrder)
{
    const std::string input = "{10}{20}a\r\n";
    EXPECT_EQ(convert(input, { "--add-frames", "1", "--convert-fps", "1:2" }).out, table({ "22\t42\ta\t\t" }));
    EXPECT_EQ(convert(input, { "--convert-fps", "1:2", "--add-frames", "1" }).out, table({ "21\t41\ta\t\t" }));
}

TEST(ToolOptions, BadValuesAreUsageErrors)
{
    const std::vector<std::vector<std::string>> cases = {
        { "--convert-fps", "0:25" },
        { "--convert-fps", "25:-1" },
        { "--convert-fps", "25" },
        { "--convert-fps", "25:24:23" },
        { "--convert-fps", "abc:25" },
        { "--add-frames", "ten" },
        { "--add-frames", "" },
        { "--expand-delay", "1.5" },
        { "--repair", "7" },
        { "--repair", "" },
        { "--repair", "1,,2" },
        { "--repair", "-1" },
        { "--replace", "", "--with", "x" },
        { "--replace", "a" },
        { "--with", "x" },
        { "--add-frames" },
    };
    for (const auto& options : cases) {
        const test::Converted r = convert(Input, options);
        EXPECT_EQ(r.status, 2) << options[0] << " " << (options.size() > 1 ? options[1] : "");
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
}

TEST(ToolOptions, RowsLeftAloneAreReportedOnStandardError)
{
    const std::string input = "{10}{20}a\r\n{30}{}b\r\n{50}{60}c\r\n";
    test::Converted r = convert(input, { "--convert-fps", "1:2" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, table({ "20\t40\ta\t\t", "60\t\tb\t\t", "50\t60\tc\t\t" }));
    EXPECT_NE(r.err.find("row 2"), std::string::npos) << r.err;
    r = convert(input, { "--add-frames", "5" });
    EXPECT_EQ(r.out, table({ "15\t25\ta\t\t", "30\t\tb\t\t", "55\t65\tc\t\t" }));
    EXPECT_NE(r.err.find("1 row(s) left unchanged"), std::string::npos) << r.err;
    r = convert("{2147483600}{2147483647}a\r\n", { "--add-frames", "100" });
    EXPECT_EQ(r.out, table({ "2147483600\t2147483647\ta\t\t" }));
    EXPECT_NE(r.err.find("32 bits"), std::string::npos) << r.err;
}

TEST(ToolOptions, TheBuiltConverterListsTheOptionsAndReportsTheCheck)
{
    test::TempDir dir;
    const std::string in = dir.path("in.sub");
    test::WriteFile(in, Input);
    QProcess convert;
    convert.start(TESSEL_CONVERT, { "--fix-timing", "--to", "microdvd", QString::fromStdString(in), "-" });
    ASSERT_TRUE(convert.waitForFinished(30000));
    EXPECT_EQ(convert.exitCode(), 0);
    EXPECT_EQ(convert.readAllStandardError().toStdString(), "The subtitles timing check is complete.\n");
    EXPECT_NE(convert.readAllStandardOutput().toStdString().find("{1001}{1100}[music]|,and ''so''"), std::string::npos);

    convert.start(TESSEL_CONVERT, { "--help" });
    ASSERT_TRUE(convert.waitForFinished(30000));
    EXPECT_EQ(convert.exitCode(), 0);
    const std::string usage = convert.readAllStandardOutput().toStdString();
    for (const char* option : { "--convert-fps FROM:TO", "--add-frames N", "--expand-delay N",
             "--replace FIND --with REPLACEMENT", "--repair LIST", "--fix-timing", "--short-time" })
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}
