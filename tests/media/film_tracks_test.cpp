// Subtitle tracks of films made by ffmpeg (Matroska with SubRip, ASS and
// WebVTT tracks, with and without cues; MP4 with mov_text) and of a Matroska
// file built here, since ffmpeg writes no compressed track: zlib-compressed
// SubRip beside a PGS track. Each is read as the source file it was made of.
#include "convert_runner.h"
#include "core/errors.h"
#include "fakes.h"
#include "formats/ffmpeg_peer.h"
#include "formats/file_commands.h"
#include "media/film_subtitles.h"
#include "test_support.h"

#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace tessel;
using test::Row;

namespace {

const std::string SubRip = "1\n00:00:01,000 --> 00:00:02,500\n<i>Hello</i> there,\nworld & <b>co</b>\n\n"
                           "2\n00:00:03,040 --> 00:00:05,000\nSecond line\n";
const std::string Script = "[Script Info]\nScriptType: v4.00+\nPlayResX: 640\nPlayResY: 480\n\n[V4+ Styles]\n"
                           "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
                           "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
                           "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
                           "Style: Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,"
                           "0,1,2,1,2,10,10,10,1\n"
                           "Style: Top,Arial,18,&H0000FFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,"
                           "2,1,8,10,10,10,1\n\n[Events]\n"
                           "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                           "Dialogue: 0,0:00:01.00,0:00:02.50,Default,Anna,0,0,0,,Hello, {\\i1}world{\\i0}\\NSecond\n"
                           "Dialogue: 1,0:00:03.20,0:00:04.00,Top,,0,0,0,,Up here\n";
const std::string Vtt = "WEBVTT\n\n00:00:01.000 --> 00:00:02.500\nHello <i>web</i>\nsecond\n\n"
                        "00:00:03.000 --> 00:00:04.000\nTwo\n";

// An EBML element: its ID as written, its size, its data.
std::string element(uint32_t id, const std::string& data)
{
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8)
        if (id >> shift || !out.empty()) out += static_cast<char>(id >> shift & 0xFF);
    uint64_t size = data.size();
    out += '\x01'; // eight-byte sizes: the layout is known before the data
    for (int shift = 48; shift >= 0; shift -= 8)
        out += static_cast<char>(size >> shift & 0xFF);
    return out + data;
}
std::string number(uint32_t id, uint64_t v)
{
    std::string data;
    for (int shift = 56; shift >= 0; shift -= 8)
        data += static_cast<char>(v >> shift & 0xFF);
    return element(id, data);
}
std::string zlib(const std::string& text)
{
    uLongf size = compressBound(text.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()), text.size());
    out.resize(size);
    return out;
}

// Matroska as its format documents lay it out: a SeekHead naming the Cues,
// two tracks, one cluster of two BlockGroups, Cues with relative positions.
std::string compressedFilm()
{
    const std::string tracks = element(0x1654AE6B,
        element(0xAE,
            number(0xD7, 1) + number(0x73C5, 1) + number(0x83, 17) + element(0x86, "S_TEXT/UTF8")
                + element(0x22B59C, "ger") + element(0x536E, "Deutsch")
                + element(0x6D80, element(0x6240, element(0x5034, number(0x4254, 0)))))
            + element(0xAE, number(0xD7, 2) + number(0x73C5, 2) + number(0x83, 17) + element(0x86, "S_HDMV/PGS")));
    const std::string info = element(0x1549A966, number(0x2AD7B1, 1000000));
    const auto group = [](int16_t at, const std::string& text, int duration) {
        return element(0xA0,
            element(
                0xA1, std::string { '\x81', static_cast<char>(at >> 8), static_cast<char>(at & 0xFF), 0 } + zlib(text))
                + number(0x9B, static_cast<uint64_t>(duration)));
    };
    const std::string timestamp = number(0xE7, 0);
    const std::string first = group(1000, "Hallo, <i>Welt</i>", 1500), second = group(3040, "Zweite\nZeile", 1960);
    const std::string cluster = element(0x1F43B675, timestamp + first + second);
    const size_t seekHeadSize
        = element(0x114D9B74, element(0x4DBB, element(0x53AB, "\x1C\x53\xBB\x6B") + number(0x53AC, 0))).size();
    const uint64_t clusterAt = seekHeadSize + info.size() + tracks.size(), cuesAt = clusterAt + cluster.size();
    const auto cue = [&](uint64_t time, uint64_t relative) {
        return element(0xBB,
            number(0xB3, time) + element(0xB7, number(0xF7, 1) + number(0xF1, clusterAt) + number(0xF0, relative)));
    };
    const std::string cues
        = element(0x1C53BB6B, cue(1000, timestamp.size()) + cue(3040, timestamp.size() + first.size()));
    const std::string seekHead
        = element(0x114D9B74, element(0x4DBB, element(0x53AB, "\x1C\x53\xBB\x6B") + number(0x53AC, cuesAt)));
    const std::string ebml = element(0x1A45DFA3, element(0x4282, "matroska") + number(0x4287, 4) + number(0x4285, 2));
    return ebml + element(0x18538067, seekHead + info + tracks + cluster + cues);
}

// With `output`, ffmpeg writes to a pipe into it: no cues then, since it cannot seek back.
bool ffmpeg(const QStringList& arguments, const QString& output = {})
{
    QProcess process;
    if (!output.isEmpty()) process.setStandardOutputFile(output);
    process.start("ffmpeg", QStringList { "-nostdin", "-loglevel", "error", "-y" } + arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

class FilmTracks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!test::FfmpegAvailable()) return;
        dir_ = new test::TempDir;
        for (const auto& [name, text] : { std::pair { "in.srt", SubRip }, { "in.ass", Script }, { "in.vtt", Vtt } })
            test::WriteFile(dir_->path(name), text);
        const QStringList picture { "-f", "lavfi", "-t", "6", "-i", "testsrc=size=64x48:rate=25" };
        const QStringList inputs = picture
            + QStringList { "-i", path("in.srt"), "-i", path("in.ass"), "-i", path("in.vtt"), "-map", "0", "-map", "1",
                  "-map", "2", "-map", "3", "-c:v", "mjpeg", "-c:s:0", "srt", "-c:s:1", "ass", "-c:s:2", "webvtt",
                  "-metadata:s:s:0", "language=eng", "-metadata:s:s:1", "language=fre", "-metadata:s:s:1",
                  "title=French styled", "-disposition:s:1", "forced" };
        made_ = ffmpeg(inputs + QStringList { path("film.mkv") })
            && ffmpeg(inputs + QStringList { "-f", "matroska", "pipe:1" }, path("nocues.mkv"))
            && ffmpeg(picture
                + QStringList { "-i", path("in.srt"), "-map", "0", "-map", "1", "-c:v", "mjpeg", "-c:s", "mov_text",
                    "-metadata:s:s:0", "language=eng", path("film.mp4") });
        test::WriteFile(dir_->path("zlib.mkv"), compressedFilm());
    }
    static void TearDownTestSuite() { delete dir_; }
    void SetUp() override
    {
        if (!made_) GTEST_SKIP() << "ffmpeg could not make the films";
    }
    static QString path(const char* name) { return QString::fromStdString(dir_->path(name)); }

    // What opening the film as subtitles, track N, gives.
    static std::vector<Row> open(const char* film, int track, SubtitleTable& table, double fps = 25)
    {
        FilmSubtitles films(nullptr, track);
        FixedFramerate rate(fps);
        test::RecordingMessages messages;
        const LoadResult result = LoadSubtitles(table, path(film).toStdString(), false, rate, messages, {}, &films);
        EXPECT_EQ(result.documentName.substr(result.documentName.rfind('.')),
            track == 3       ? ".ass"
                : track == 4 ? ".vtt"
                             : ".srt");
        return test::Rows(table);
    }
    static std::vector<Row> source(const char* name)
    {
        SubtitleTable table;
        FixedFramerate rate(25);
        test::RecordingMessages messages;
        LoadSubtitles(table, path(name).toStdString(), false, rate, messages);
        return test::Rows(table);
    }

    static inline test::TempDir* dir_ = nullptr;
    static inline bool made_ = false;
};

} // namespace

TEST_F(FilmTracks, TheTextTracksOfAFilmAreListed)
{
    std::vector<std::string> lines;
    for (const FilmTrack& track : ListSubtitleTracks(path("film.mkv").toStdString()))
        lines.push_back(DescribeTrack(track));
    EXPECT_EQ(lines,
        (std::vector<std::string> {
            "2\ttext\tsubrip\teng\t-\t-", "3\ttext\tass\tfre\tFrench styled\tforced", "4\ttext\twebvtt\tund\t-\t-" }));
    const test::Converted listed = test::Convert({ "--list-tracks", path("film.mp4").toStdString() });
    EXPECT_EQ(listed.out, "2\ttext\tmov_text\teng\t-\tdefault\n");
}

// Each track as the file it was made of; the script keeps its header and styles.
TEST_F(FilmTracks, EachTrackReadsAsItsSourceFile)
{
    for (const char* film : { "film.mkv", "nocues.mkv" }) {
        SubtitleTable srt, ass, vtt;
        EXPECT_EQ(open(film, 2, srt), source("in.srt")) << film;
        EXPECT_EQ(open(film, 3, ass), source("in.ass")) << film;
        EXPECT_NE(ass.documentData().find("Style: Top,Arial,18,&H0000FFFF"), std::string::npos);
        EXPECT_EQ(open(film, 4, vtt), source("in.vtt")) << film;
    }
    SubtitleTable movText;
    EXPECT_EQ(open("film.mp4", 2, movText),
        (std::vector<Row> {
            { "25", "62", "<i>Hello</i> there,", "world & <b>co</b>", "" }, { "76", "125", "Second line", "", "" } }));
}

// The cues lead to the subtitle blocks alone: a small part of the film is read.
TEST_F(FilmTracks, OnlyTheTracksBlocksAreRead)
{
    const std::string film = path("film.mkv").toStdString();
    const std::vector<FilmTrack> tracks = ListSubtitleTracks(film);
    const TrackPackets packets = ReadTrackPackets(film, tracks[0]);
    EXPECT_EQ(packets.packets.size(), 2u);
    EXPECT_LT(packets.bytesRead, QFileInfo(path("film.mkv")).size() / 4) << packets.bytesRead;
}

// ffmpeg reads the file built here as we do: the compressed track decompressed.
TEST_F(FilmTracks, ACompressedTrackIsReadAndAPictureTrackIsListed)
{
    const std::vector<Row> expected
        = { { "25", "62", "Hallo, <i>Welt</i>", "", "" }, { "76", "125", "Zweite", "Zeile", "" } };
    const std::optional<std::vector<test::PeerCue>> peer = test::FfmpegReadCues(dir_->path("zlib.mkv"), {});
    ASSERT_TRUE(peer.has_value());
    ASSERT_EQ(peer->size(), 2u);
    EXPECT_EQ((*peer)[1].text, "Zweite\nZeile");
    SubtitleTable table;
    EXPECT_EQ(open("zlib.mkv", 1, table), expected); // the only text track: taken without asking
    std::vector<std::string> lines;
    for (const FilmTrack& track : ListSubtitleTracks(dir_->path("zlib.mkv")))
        lines.push_back(DescribeTrack(track));
    EXPECT_EQ(lines,
        (std::vector<std::string> {
            "1\ttext\tsubrip\tger\tDeutsch\tdefault", "2\tpicture\thdmv_pgs_subtitle\teng\t-\tdefault" }));
    FilmSubtitles pictures(nullptr, 2);
    EXPECT_THROW(
        try { pictures.ReadChosenTrack(dir_->path("zlib.mkv")); } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("hdmv_pgs_subtitle, pictures of text"), std::string::npos) << e.what();
            throw;
        },
        Error);
}

// A film that ends before its segment does (a download cut short): what is
// there is read, and the converter says the rest is missing.
TEST_F(FilmTracks, AFilmCutShortIsReadAsFarAsItGoesAndSaidSo)
{
    const std::string whole = compressedFilm(), cut = dir_->path("cut.mkv");
    test::WriteFile(cut, whole.substr(0, whole.size() - 8)); // into the cues, after the blocks
    const test::Converted r = test::Convert({ "--fps", "25", "--to", "table", cut, "-" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "From\tTo\tLine 1\tLine 2\tLine 3\n25\t62\tHallo, <i>Welt</i>\t\t\n76\t125\tZweite\tZeile\t\n");
    EXPECT_NE(r.err.find("\"" + cut + "\" is cut short: it ends at byte " + std::to_string(whole.size() - 8) + " of "
                  + std::to_string(whole.size()) + "; the subtitles after that are missing.\n"),
        std::string::npos)
        << r.err;
}

TEST_F(FilmTracks, TheConverterTakesATrackOrSaysWhichThereAre)
{
    const std::string film = path("film.mkv").toStdString();
    test::Converted r = test::Convert({ "--fps", "25", "--to", "subrip", film, "-" });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds 3 text subtitle tracks (2, 3, 4): choose one with --track N"), std::string::npos)
        << r.err;
    r = test::Convert({ "--fps", "25", "--track", "3", "--to", "table", film, "-" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("80\t100\tUp here"), std::string::npos) << r.out;
    r = test::Convert({ "--fps", "25", "--track", "9", "--to", "table", film, "-" });
    EXPECT_NE(r.err.find("has no subtitle track 9 (its text tracks: 2, 3, 4)"), std::string::npos) << r.err;
}
