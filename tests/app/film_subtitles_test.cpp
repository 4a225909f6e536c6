// Films as subtitle files in the window: which named or dropped file is the
// movie and which the subtitles, the dialog that picks a track, and Open.
#include "app/editor.h"
#include "app/file_actions.h"
#include "app/main_window.h"
#include "app/named_files.h"
#include "app/track_dialog.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

class ScriptedTracks : public TrackChooser {
public:
    std::optional<int> ChooseTrack(const std::string&, const std::vector<FilmTrack>& tracks) override
    {
        offered = tracks;
        return answer;
    }
    std::optional<int> answer;
    std::vector<FilmTrack> offered;
};

} // namespace

TEST(FilmFiles, ASecondFilmMakesTheFirstTheSubtitles)
{
    TempDir dir;
    for (const char* name : { "a.mkv", "b.mp4", "c.avi", "s.srt" })
        WriteFile(dir.path(name), "x");
    const auto p = [&](const char* name) { return QString::fromStdString(dir.path(name)); };
    struct Case {
        QStringList files;
        bool ctrl;
        QString subtitles, movie;
        QStringList leftOut;
    };
    const Case cases[] = {
        { { p("a.mkv") }, false, {}, p("a.mkv"), {} }, // as always
        { { p("a.mkv"), p("b.mp4") }, false, p("a.mkv"), p("b.mp4"), {} },
        { { p("a.mkv"), p("a.mkv") }, false, p("a.mkv"), p("a.mkv"), {} },
        { { p("s.srt"), p("a.mkv"), p("b.mp4") }, false, p("s.srt"), p("a.mkv"), { p("b.mp4") } }, // as always
        { { p("c.avi"), p("a.mkv") }, false, {}, p("c.avi"), { p("a.mkv") } }, // an AVI holds no text track
        { { p("a.mkv") }, true, p("a.mkv"), {}, {} }, // dropped with Ctrl held
    };
    for (const Case& c : cases) {
        const SortedFiles sorted = SortFiles(c.files, c.ctrl);
        EXPECT_EQ(sorted.subtitles, c.subtitles) << c.files.join(' ').toStdString();
        EXPECT_EQ(sorted.movie, c.movie) << c.files.join(' ').toStdString();
        EXPECT_EQ(sorted.leftOut, c.leftOut) << c.files.join(' ').toStdString();
    }
}

TEST(FilmFiles, TheTrackDialogOffersTheTextTracksAndShowsThePictures)
{
    const std::vector<FilmTrack> tracks = { { 2, TrackKind::Text, "subrip", "eng", "", false, false },
        { 3, TrackKind::Picture, "hdmv_pgs_subtitle", "eng", "", true, false },
        { 4, TrackKind::Text, "ass", "fre", "French styled", true, true } };
    TrackDialog dialog("/films/film.mkv", tracks, nullptr);
    ASSERT_EQ(dialog.list()->count(), 3);
    EXPECT_EQ(dialog.list()->item(1)->text(), "Track 3: hdmv_pgs_subtitle, eng (default, pictures, not read as text)");
    EXPECT_FALSE(dialog.list()->item(1)->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(dialog.list()->item(2)->text(), "Track 4: ass, fre, \"French styled\" (default, forced)");
    EXPECT_EQ(dialog.chosenTrack(), 4); // the default text track first
    dialog.list()->setCurrentRow(0);
    EXPECT_EQ(dialog.chosenTrack(), 2);
}

// Open with a film of two text tracks asks which; the document is then named
// as the subtitle file beside the film, never the film itself.
TEST(FilmFiles, OpenAsksForATrackOfAFilm)
{
    if (QStandardPaths::findExecutable("ffmpeg").isEmpty()) GTEST_SKIP() << "no ffmpeg";
    TempDir dir;
    WriteFile(dir.path("a.srt"), "1\n00:00:01,000 --> 00:00:02,000\nOne\n");
    WriteFile(dir.path("b.srt"), "1\n00:00:02,000 --> 00:00:03,000\nZwei\n");
    const QString film = QString::fromStdString(dir.path("film.mkv"));
    ASSERT_EQ(QProcess::execute("ffmpeg",
                  { "-nostdin", "-loglevel", "error", "-i", QString::fromStdString(dir.path("a.srt")), "-i",
                      QString::fromStdString(dir.path("b.srt")), "-map", "0", "-map", "1", "-metadata:s:1",
                      "language=ger", film }),
        0);
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    FixedFramerate framerate { 25 };
    FixedExportSettings exportSettings { SsaExportAnswer { SsaExportSettings {}, QStringLiteral("25") } };
    ScriptedTracks tracks;
    EditorOverrides overrides { &messages, &questions, &files, &framerate, &exportSettings, '.' };
    overrides.tracks = &tracks;
    Editor editor(overrides);
    editor.fileActions().openFile(film); // none chosen: nothing read
    ASSERT_EQ(tracks.offered.size(), 2u);
    EXPECT_EQ(Rows(editor.table()), (std::vector<Row> { { "", "", "", "", "" } }));
    tracks.answer = tracks.offered[1].number;
    editor.fileActions().openFile(film);
    EXPECT_EQ(Rows(editor.table()), (std::vector<Row> { { "50", "75", "Zwei", "", "" } }));
    EXPECT_EQ(
        editor.fileActions().document().fileName, dir.path("film.ger.ass")); // ffmpeg makes ASS of SubRip in Matroska
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('\n').toStdString();
}
