#include "cli/options.h"
#include "formats/registry.h"

#include <gtest/gtest.h>

using namespace tessel;

// All supported first (every save pattern once, in row order), then one file
// type per format, all files last.
TEST(Registry, OpenDialogFileTypes)
{
    const std::pair<std::string, std::string> expected[] = {
        { "All supported subtitles", "*.sub;*.srt;*.aqt;*.smi;*.ssa;*.txt" },
        { "MicroDVD subtitles", "*.sub;*.txt" },
        { "SubRip subtitles", "*.srt;*.txt" },
        { "SubViewer 1.x subtitles", "*.sub;*.txt" },
        { "SubViewer 2.x subtitles", "*.sub;*.txt" },
        { "AQTitle subtitles", "*.aqt;*.txt" },
        { "Microsoft SAMI", "*.smi;*.txt" },
        { "DVD Subripper", "*.sub;*.txt" },
        { "Sub Station Alpha 2.x, 4.x", "*.ssa" },
        { "Simple Time-code", "*.sub;*.txt" },
    };
    const std::vector<FileFilter>& filters = OpenFileFilters();
    ASSERT_EQ(filters.size(), Formats().size() + 2);
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(filters[i].description, expected[i].first);
        // Formats added later add their patterns at the end.
        EXPECT_EQ(std::string(filters[i].patterns).substr(0, expected[i].second.size()), expected[i].second);
    }
    EXPECT_STREQ(filters.back().description, "All files");
    EXPECT_STREQ(filters.back().patterns, "*.*");
}

// Every row is found by each of its keys, and save types run 1, 2, ... in
// row order; a format that is only read (VobSub) has none. Pictures are read
// by OCR, not by a reader of the row.
TEST(Registry, RowsAreFoundByCodeNameAndSaveType)
{
    int saveType = 0;
    for (const FormatInfo& format : Formats()) {
        EXPECT_EQ(format.saveType, format.write ? ++saveType : 0) << format.name;
        EXPECT_EQ(FormatByCode(format.code), &format) << format.name;
        EXPECT_EQ(FormatById(format.id), &format) << format.name;
        if (format.write) EXPECT_EQ(FormatBySaveType(format.saveType), &format) << format.name;
        EXPECT_TRUE(format.picture ? !format.read : format.read && format.write) << format.name;
    }
}

TEST(Registry, ConverterTakesTheFormatFromTheOutputsExtension)
{
    const std::pair<const char*, const char*> cases[] = {
        { "out.srt", "subrip" },
        { "OUT.SUB", "microdvd" }, // the first format saved as .sub
        { "out.aqt", "aqtitle" },
        { "out.smi", "sami" },
        { "out.ssa", "ssa" },
        { "out.txt", "timecode" },
        { "out.tsv", "table" },
        { "out.ass", "ass" },
        { "out.VTT", "webvtt" },
        { "out.ttml", "ttml" },
        { "out.stl", "ebu-stl" },
        { "out.scc", "scc" },
    };
    for (const auto& [output, format] : cases)
        EXPECT_EQ(cli::ParseOptions({ "in.sub", output }).format, format) << output;
    EXPECT_THROW(cli::ParseOptions({ "in.sub", "out.xyz" }), cli::UsageError);
}

TEST(Registry, ConverterUsageNamesEveryFormat)
{
    const std::string usage = cli::UsageText();
    EXPECT_NE(usage.find("  --to FORMAT         microdvd | subrip | subviewer1 | subviewer2 | aqtitle | sami |\n"
                         "                      dvdsubripper | ssa | timecode |"),
        std::string::npos);
    for (const FormatInfo& format : Formats())
        EXPECT_NE(usage.find(std::string(" ") + format.id + " |"), std::string::npos) << format.id;
    EXPECT_NE(usage.find(" | table (default from OUTPUT's extension)\n"), std::string::npos);
}
