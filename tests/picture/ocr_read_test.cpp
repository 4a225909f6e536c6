// Picture subtitles read by OCR: Blu-ray subtitles our writer made, the same
// turned into DVD subtitles by ffmpeg (an .idx and .sub pair, a Matroska
// track), and damaged or missing files.
#include "core/errors.h"
#include "formats/file_commands.h"
#include "formats/pgs.h"
#include "media/film_subtitles.h"
#include "picture/ocr_pictures.h"
#include "picture/ocr_reader.h"
#include "support/convert_runner.h"
#include "support/test_support.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// Texts as subtitles have them: dialogue, italics whole and in part, numbers, an accent.
const std::vector<Row> Rows3 = {
    { "25", "87", "Where were you last night?", "- I waited for two hours.", "" },
    { "100", "150", "<i>This line is in italics.</i>", "", "" },
    { "175", "250", "It's 7:30, and <i>nobody</i> is here.", "We met at a little café.", "" },
};

std::string writePgs(
    const TempDir& dir, const std::string& name, const std::vector<Row>& rows, int width = 1920, int height = 1080)
{
    SubtitleTable table;
    Fill(table, rows);
    WriteContext context;
    context.framerate = 25;
    context.pictureWidth = width;
    context.pictureHeight = height;
    StringSink sink;
    WritePgs(table, 1, table.rowCount() - 1, context, sink);
    WriteFile(dir.path(name), sink.text());
    return dir.path(name);
}

struct Read {
    std::vector<Row> rows;
    std::vector<std::string> notes;
};

Read readByOcr(const std::string& file, OcrServices services = {})
{
    if (services.language.empty()) services.language = "eng";
    OcrSubtitleReader reader(std::move(services));
    FilmSubtitles films(nullptr, std::nullopt, true);
    SubtitleTable table;
    FixedFramerate fps(25);
    class : public MessageSink {
        void showMessage(const QString&, const QString& text, MessageIcon) override
        {
            ADD_FAILURE() << text.toStdString();
        }
    } messages;
    const LoadResult result = LoadSubtitles(table, file, false, fps, messages, {}, &films, &reader);
    return { Rows(table), result.notes };
}

bool haveTools()
{
    return !QStandardPaths::findExecutable("ffmpeg").isEmpty() && !QStandardPaths::findExecutable("ffprobe").isEmpty();
}

} // namespace

TEST(OcrRead, OurBluRaySubtitlesComeBackAsTheirRows)
{
    TempDir dir;
    const Read read = readByOcr(writePgs(dir, "a.sup", Rows3));
    EXPECT_EQ(read.rows, Rows3);
    EXPECT_TRUE(read.notes.empty());
}

// libavcodec decodes what we wrote: the pictures at the rows' times, white
// text (the export settings' primary colour) inside a black outline.
TEST(OcrRead, TheDecoderGivesThePicturesAtTheRowsTimes)
{
    TempDir dir;
    const std::string sup = writePgs(dir, "a.sup", Rows3);
    const std::vector<TimedPicture> pictures = DecodePictures(ReadPictureTrack({ sup, FormatCode::Pgs, -1, {} }));
    ASSERT_EQ(pictures.size(), 3u);
    const int64_t times[][2] = { { 1000, 3480 }, { 4000, 6000 }, { 7000, 10000 } };
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(pictures[i].startMs, times[i][0]);
        EXPECT_EQ(pictures[i].endMs, times[i][1]);
        EXPECT_GT(pictures[i].picture.width(), 200);
        EXPECT_LT(pictures[i].picture.width(), 1920);
    }
    const std::vector<uint32_t> pixels = pictures[1].picture.argb();
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFFFFFFFFu) > 500, true);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFF000000u) > 500, true);
}

TEST(OcrRead, DvdSubtitlesFromAnIndexAndFromAFilm)
{
    if (!haveTools()) GTEST_SKIP() << "no ffmpeg";
    TempDir dir;
    const std::string sup = writePgs(dir, "dvd.sup", Rows3, 720, 576);
    ASSERT_EQ(QProcess::execute(QStringLiteral(TESSEL_TEST_SUPPORT "/make-vobsub"),
                  { QString::fromStdString(sup), QString::fromStdString(dir.path("pair")) }),
        0);
    EXPECT_EQ(readByOcr(dir.path("pair.idx")).rows, Rows3);
    EXPECT_EQ(readByOcr(dir.path("pair.sub")).rows, Rows3); // the pictures name their index
    ASSERT_EQ(QProcess::execute("ffmpeg",
                  { "-nostdin", "-loglevel", "fatal", "-fix_sub_duration", "-copyts", "-i", QString::fromStdString(sup),
                      "-c:s", "dvdsub", QString::fromStdString(dir.path("film.mkv")) }),
        0);
    EXPECT_EQ(readByOcr(dir.path("film.mkv")).rows, Rows3);
}

// A damaged display set is named and left out, the rows around it read; a
// picture with no text gives an empty row, named too.
TEST(OcrRead, DamageAndPicturesWithoutTextAreNamed)
{
    TempDir dir;
    std::string sup = ReadFile(
        writePgs(dir, "a.sup", { Rows3[0], { "100", "150", "Broken" }, { "155", "170", "\u2022" }, Rows3[2] }));
    // The second object's data: its width and height become 0xFFFF.
    size_t object = sup.find(std::string("PG"), 0);
    for (int seen = 0; object != std::string::npos; object = sup.find("PG", object + 1))
        if (sup[object + 10] == '\x15' && ++seen == 2) break;
    ASSERT_NE(object, std::string::npos);
    sup.replace(object + 13 + 7, 4, "\xFF\xFF\xFF\xFF");
    WriteFile(dir.path("b.sup"), sup);
    const Read read = readByOcr(dir.path("b.sup"));
    ASSERT_EQ(read.rows.size(), 3u);
    EXPECT_EQ(read.rows[0], Rows3[0]);
    EXPECT_EQ(read.rows[1], (Row { "155", "170", "", "", "" }));
    EXPECT_EQ(read.rows[2], Rows3[2]);
    ASSERT_EQ(read.notes.size(), 2u);
    EXPECT_EQ(read.notes[0].rfind("Subtitle 2 (at 00:00:04,000) could not be read: its picture is damaged (", 0), 0u)
        << read.notes[0];
    EXPECT_EQ(read.notes[1], "Subtitle 3 (at 00:00:06,200) shows no text that OCR could read: its row is empty.");
}

TEST(OcrRead, AnIndexWithoutItsPicturesAndAMissingLanguageAreSaid)
{
    TempDir dir;
    WriteFile(dir.path("lone.idx"), "# VobSub index file, v7 (do not modify this line!)\nsize: 720x576\n");
    EXPECT_THROW(
        try { readByOcr(dir.path("lone.idx")); } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "The pictures of \"lone.idx\" are missing: \"lone.sub\" should lie beside it.");
            throw;
        },
        Error);
    const std::string sup = writePgs(dir, "a.sup", { Rows3[1] });
    OcrServices klingon;
    klingon.language = "tlh";
    EXPECT_THROW(
        try { readByOcr(sup, klingon); } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("The OCR language \"tlh\" is not installed"), std::string::npos);
            throw;
        },
        Error);
}

// Cancelled after the first picture: the rows read stay, and the note says how many.
TEST(OcrRead, CancelKeepsTheRowsRead)
{
    TempDir dir;
    std::vector<Row> many;
    for (int i = 0; i < 12; ++i)
        many.push_back(
            { std::to_string(25 + 50 * i), std::to_string(50 + 50 * i), "Row number " + std::to_string(i), "", "" });
    OcrServices services;
    services.threads = 1;
    services.run = [](OcrJob& job) {
        while (job.done() < 1 && !job.waitFor(std::chrono::milliseconds(5))) { }
        job.cancel();
    };
    const Read read = readByOcr(writePgs(dir, "many.sup", many), services);
    ASSERT_GE(read.rows.size(), 1u);
    ASSERT_LT(read.rows.size(), many.size());
    EXPECT_EQ(read.rows[0], many[0]);
    ASSERT_FALSE(read.notes.empty());
    EXPECT_EQ(read.notes.back(),
        "OCR was cancelled: the first " + std::to_string(read.rows.size()) + " of 12 subtitles were read.");
}

TEST(OcrRead, TheConverterReadsPicturesAndSaysHowFarItIs)
{
    TempDir dir;
    const std::string sup = writePgs(dir, "a.sup", Rows3);
    Converted r = Convert({ "--fps", "25", "--ocr-language", "eng", sup, dir.path("a.srt") });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("OCR: 3 subtitles read in "), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir.path("a.srt")),
        "1\r\n00:00:01,000 --> 00:00:03,480\r\nWhere were you last night?\r\n- I waited for two hours.\r\n\r\n"
        "2\r\n00:00:04,000 --> 00:00:06,000\r\n<i>This line is in italics.</i>\r\n\r\n"
        "3\r\n00:00:07,000 --> 00:00:10,000\r\nIt's 7:30, and <i>nobody</i> is here.\r\nWe met at a little "
        "café.\r\n\r\n");
    r = Convert({ "--fps", "25", "--ocr-language", "xx", "--to", "subrip", sup, "-" });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The OCR language \"xx\" is not installed"), std::string::npos) << r.err;
}
