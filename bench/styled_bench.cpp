// Styled subtitles on the picture with 10^5 rows: the time from a change of
// the table to the player having reloaded it, paused and playing, and what the
// window's thread spends on it (the table's frozen copy). Offscreen, with mpv's null outputs.
//
//     build-bench/bench/styled_bench [ROWS]
#include "core/user_prompts.h"
#include "formats/file_commands.h"
#include "preview/styled_subtitles.h"
#include "preview/video_player.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <vector>

using namespace tessel;

namespace {

class Quiet : public MessageSink {
public:
    void showMessage(const QString&, const QString& text, MessageIcon) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
};

// An ASS script with `rows` events, one every two seconds.
void writeScript(const std::string& path, int rows)
{
    std::ofstream out(path);
    out << "[Script Info]\nScriptType: v4.00+\nPlayResX: 320\nPlayResY: 240\n\n[V4+ Styles]\n"
           "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, "
           "Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, "
           "MarginL, MarginR, MarginV, Encoding\nStyle: Default,Liberation Sans,20,&H00FFFFFF,&H000000FF,"
           "&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,1\n\n[Events]\n"
           "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
    for (int i = 0; i < rows; ++i) {
        const int start = i * 200, end = start + 180; // centiseconds
        char line[160];
        std::snprintf(line, sizeof line, "Dialogue: 0,%d:%02d:%02d.%02d,%d:%02d:%02d.%02d,Default,,0,0,0,,Row %d\n",
            start / 360000, start / 6000 % 60, start / 100 % 60, start % 100, end / 360000, end / 6000 % 60,
            end / 100 % 60, end % 100, i + 1);
        out << line;
    }
}

void report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %6.1f ms, worst %6.1f ms (%zu changes)\n", what, ms[ms.size() / 2], ms.back(), ms.size());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TESSEL_MPV_AO", "null");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.avi"));
    QProcess::execute(QStringLiteral("ffmpeg"),
        { "-loglevel", "error", "-y", "-f", "lavfi", "-i", "color=c=gray:size=320x240:rate=25", "-t", "60", "-c:v",
            "mjpeg", clip });
    const std::string script = dir.filePath(QStringLiteral("big.ass")).toStdString();
    writeScript(script, rows);
    SubtitleTable table;
    FixedFramerate fps(25);
    Quiet messages;
    LoadSubtitles(table, script, false, fps, messages);
    std::printf("%d rows\n", table.rowCount() - 1);

    VideoPlayer player;
    player.setDisplayMode(VideoPlayer::FrameMode);
    QSignalSpy opened(&player, &VideoPlayer::openComplete);
    player.setFileName(clip);
    if (!QTest::qWaitFor([&] { return !opened.isEmpty(); }, 20000)) return 1;
    StyledSubtitles styled(table, player);
    quint64 shownRevision = 0;
    QObject::connect(&styled, &StyledSubtitles::shown, [&](quint64 revision) { shownRevision = revision; });
    QObject::connect(
        &styled, &StyledSubtitles::failed, [](const QString& why) { std::printf("failed: %s\n", qPrintable(why)); });
    styled.setEnabled(true);
    static_cast<void>(QTest::qWaitFor([&] { return shownRevision == table.revision(); }, 20000));

    const auto measure = [&](const char* what, int firstRow) {
        std::vector<double> latency;
        for (int k = 0; k < 20; ++k) {
            QElapsedTimer clock;
            clock.start();
            table.setCell(SubtitleTable::Line1, firstRow + k, "Changed " + std::to_string(k));
            const quint64 wanted = table.revision();
            while (shownRevision < wanted && clock.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            latency.push_back(clock.nsecsElapsed() / 1e6);
            QTest::qWait(100);
        }
        report(what, latency);
    };
    // What the window's thread does for a change: a frozen copy of the table.
    std::vector<double> copies;
    for (int k = 0; k < 20; ++k) {
        QElapsedTimer clock;
        clock.start();
        const auto image = table.image();
        copies.push_back(clock.nsecsElapsed() / 1e6);
    }
    report("the window's thread: the table's image", copies);
    player.setCurrentPosition(250); // 10 s in: rows 5 and on
    QTest::qWait(500);
    measure("change to reload, paused", 6);
    const double before = player.currentPosition();
    player.run();
    measure("change to reload, playing", 20);
    std::printf("played %.0f frames meanwhile, still playing: %s\n", player.currentPosition() - before,
        player.isPlaying() ? "yes" : "no");
    return 0;
}
