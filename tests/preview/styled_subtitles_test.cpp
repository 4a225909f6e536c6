#include "app/commands.h"
#include "app/editor.h"
#include "app/file_buttons.h"
#include "app/main_window.h"
#include "app/playback_panel.h"
#include "app/playback_wiring.h"
#include "app/styled_wiring.h"
#include "app/subtitle_grid.h"
#include "app/translation_wiring.h"
#include "clips.h"
#include "fakes.h"
#include "preview/movie_window.h"
#include "preview/styled_subtitles.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

// A line and a sign at the top in pure red (ASS colours are &HBBGGRR), from 1 s to 3 s.
const char* const Script = "[Script Info]\nScriptType: v4.00+\nPlayResX: 320\nPlayResY: 240\n\n"
                           "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
                           "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, "
                           "Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
                           "Style: Default,Liberation Sans,40,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,-1,0,0,0,"
                           "100,100,0,0,1,0,0,2,10,10,10,1\n\n"
                           "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                           "Dialogue: 0,0:00:01.00,0:00:03.00,Default,,0,0,0,,{\\an8\\c&H0000FF&}SORTIE\n"
                           "Dialogue: 0,0:00:01.00,0:00:03.00,Default,,0,0,0,,Par ici, vite !\n";

const char* const English = "1\n00:00:01,000 --> 00:00:03,000\nEXIT\n\n"
                            "2\n00:00:01,000 --> 00:00:03,000\nThis way, quick!\n";

// A cue moved to the top by its settings, which the player alone would not honour.
const char* const Cues = "WEBVTT\n\n00:00:01.000 --> 00:00:03.000 line:0\n<b>EXIT</b>\n";

// Red (or white) pixels on the screen in the top and the bottom third of the picture.
std::pair<int, int> redAtTopAndBottom(QWidget& picture, bool white = false)
{
    const QPoint origin = picture.mapToGlobal(QPoint(0, 0));
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, origin.x(), origin.y(), picture.width(), picture.height())
                            .toImage();
    int top = 0, bottom = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (white ? c.lightness() < 220 : c.red() <= 160 || c.green() >= 80 || c.blue() >= 80) continue;
            if (y < shot.height() / 3) ++top;
            if (y >= shot.height() * 2 / 3) ++bottom;
        }
    return { top, bottom };
}

} // namespace

// On an X screen only (the on-screen tests run it under a window manager).
// TESSEL_SCREENSHOT names a picture of both windows to write.
TEST(StyledSubtitlesOnScreen, AnAssSignAtTheTopAndAnEditShownWithoutASeek)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X screen";
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    qunsetenv("TESSEL_MPV_VO");
    qputenv("TESSEL_MPV_AO", "null");
    TempDir folder;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(folder.path("config")));
    const QString clip = QString::fromStdString(folder.path("slate.avi"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("ffmpeg"),
                  { "-loglevel", "error", "-y", "-f", "lavfi", "-i", "color=c=0x304860:size=320x240:rate=25", "-t", "4",
                      "-c:v", "mjpeg", clip }),
        0);
    WriteFile(folder.path("sign.ass"), Script);
    WriteFile(folder.path("sign.en.srt"), English);
    WriteFile(folder.path("sign.vtt"), Cues);
    RecordingMessages messages;
    ScriptedQuestions questions;
    questions.answer = true;
    ScriptedFileDialogs files;
    files.openAnswers.push_back(QString::fromStdString(folder.path("sign.ass")));
    files.openAnswers.push_back(QString::fromStdString(folder.path("sign.vtt")));
    ScriptedVideoDialog video;
    video.answer = clip;
    FixedFramerate fps(25);
    EditorOverrides overrides { &messages, &questions, &files, &fps };
    overrides.videoDialog = &video;
    Editor editor(overrides, CreateMovieWindow);
    MainWindow& window = editor.mainWindow();
    auto& movie = *qobject_cast<TFormMovie*>(editor.movieWindow());
    window.move(20, 20);
    window.show();
    static_cast<void>(QTest::qWaitFor([&] { return window.frameGeometry() != window.geometry(); }, 2000));
    QTest::qWait(100);
    movie.move(window.frameGeometry().right() + 20, 20);
    window.fileButtons().openSubtitles()->click();
    window.fileButtons().openMovie()->click();
    ASSERT_TRUE(WaitFor([&] { return window.playback().play()->isEnabled(); }));
    movie.ZoomMovie(150);
    editor.translation().openOriginal(QString::fromStdString(folder.path("sign.en.srt")));
    ASSERT_TRUE(editor.commands().run(QStringLiteral("movie.showBoth")));
    ASSERT_TRUE(editor.commands().run(QStringLiteral("movie.styled")));
    window.grid().selectCell(SubtitleTable::Line1, 2);
    movie.videoPlayer().setCurrentPosition(40);
    QWidget& picture = movie.videoPlayer();
    ASSERT_TRUE(WaitFor([&] {
        const auto [top, bottom] = redAtTopAndBottom(picture);
        return top > 40 && bottom == 0;
    })) << redAtTopAndBottom(picture).first;
    // The text under the picture follows the picture by the player's next tick.
    EXPECT_TRUE(WaitFor([&] { return movie.originalMemo().text() == "EXIT\nThis way, quick!"; }))
        << movie.originalMemo().text().toStdString();
    const QString file = qEnvironmentVariable("TESSEL_SCREENSHOT");
    if (!file.isEmpty()) {
        QTest::qWait(500);
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        const QRect both = window.frameGeometry().united(movie.frameGeometry()).adjusted(-20, -20, 20, 20);
        EXPECT_TRUE(screen.copy(both.intersected(screen.rect())).save(file));
    }

    // The sign moves to the bottom: the file is written again and reloaded.
    QSignalSpy shown(editor.styled() ? &editor.styled()->subtitles() : nullptr, &StyledSubtitles::shown);
    {
        EditHistory::Step step(editor.history(), "Edit cell");
        editor.table().setCell(SubtitleTable::Line1, 1, "{\\an2\\c&H0000FF&}SORTIE");
    }
    ASSERT_TRUE(WaitFor([&] {
        const auto [top, bottom] = redAtTopAndBottom(picture);
        return top == 0 && bottom > 40;
    }));
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_FALSE(movie.videoPlayer().isPlaying());
    EXPECT_EQ(movie.videoPlayer().frameOnScreen(), 40); // no seek
    // The original drawn too, white at the top, where nothing was before.
    ASSERT_EQ(redAtTopAndBottom(picture, true).first, 0);
    ASSERT_TRUE(editor.commands().run(QStringLiteral("movie.styledOriginal")));
    ASSERT_TRUE(WaitFor([&] { return redAtTopAndBottom(picture, true).first > 40; }));
    EXPECT_EQ(redAtTopAndBottom(picture).first, 0);
    window.fileButtons().openSubtitles()->click(); // the WebVTT cue
    ASSERT_TRUE(WaitFor([&] {
        const auto [top, bottom] = redAtTopAndBottom(picture, true);
        return top > 40 && bottom == 0;
    }));
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('\n').toStdString();
    qunsetenv("XDG_CONFIG_HOME");
}

// Only the rows around the position go to the player (row 2 starts 200 s on),
// or the current row alone; a table of no ASS or WebVTT document as SubRip.
TEST(StyledSubtitles, WritesTheRowsThePlayerNeedsAfterEachChange)
{
    REQUIRE_CLIPS();
    TempDir folder;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder.path("")));
    SubtitleTable table;
    Fill(table, { { "0", "50", "Row one" }, { "5000", "5050", "Row two" } });
    VideoPlayer player;
    QSignalSpy opened(&player, &VideoPlayer::openComplete);
    player.setFileName(Clip25());
    ASSERT_TRUE(WaitFor([&] { return !opened.isEmpty(); }));
    StyledSubtitles styled(table, player);
    quint64 shown = 0;
    QObject::connect(&styled, &StyledSubtitles::shown, [&](quint64 revision) { shown = revision; });
    styled.setEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return shown == table.revision(); }));
    const std::string file = (styled.fileName() + ".srt").toStdString();
    EXPECT_EQ(ReadFile(file), "1\r\n00:00:00,000 --> 00:00:02,000\r\nRow one\r\n\r\n");
    styled.setCurrentRow(2);
    styled.setRows(StyledSubtitles::Rows::Current);
    table.setCell(SubtitleTable::Line2, 2, "<i>and more</i>");
    ASSERT_TRUE(WaitFor([&] { return shown == table.revision(); }));
    EXPECT_EQ(ReadFile(file), "1\r\n00:03:20,000 --> 00:03:22,000\r\nRow two\r\n<i>and more</i>\r\n\r\n");
    qputenv("XDG_RUNTIME_DIR", runtime);
}
