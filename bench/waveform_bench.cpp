// The Waveform window's work on a two-hour film: decoding and reducing its
// sound, the first screenful, the peaks' memory, a second opening from the
// cache, and drawing with 10^4 subtitle rows in view while the movie plays.
//
//     waveform_bench [FILM]
//
// Without a film it makes bench/out/film-2h.mkv with ffmpeg (two hours of
// stereo AAC at 48 kHz beside a tiny picture; about five minutes). The cache
// goes to a folder of its own, removed at the end. Prints a Markdown table.
#include "audio/peak_cache.h"
#include "audio/peaks.h"
#include "audio/waveform_source.h"
#include "core/subtitle_table.h"
#include "preview/waveform_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace tessel;

constexpr double Fps = 25;
constexpr int Rows = 10000;
constexpr int Frames = 300; // drawn while "playing"

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString makeFilm(const QString& path)
{
    if (QFileInfo::exists(path)) return path;
    std::printf("making %s with ffmpeg...\n", qPrintable(path));
    const QStringList arguments
        = { "-loglevel", "error", "-y", "-f", "lavfi", "-i", "anoisesrc=r=48000:c=pink:a=0.5:d=7200", "-f", "lavfi",
              "-i", "color=c=black:s=64x36:r=25:d=7200", "-filter_complex",
              "[0]volume='0.1+0.9*gt(sin(2*PI*t/5.3)\\,-0.2)*abs(sin(2*PI*t*0.7))':eval=frame,"
              "aformat=channel_layouts=stereo[a]",
              "-map", "1:v", "-map", "[a]", "-c:v", "mpeg4", "-q:v", "31", "-c:a", "aac", "-b:a", "128k", path };
    return QProcess::execute("ffmpeg", arguments) == 0 ? path : QString();
}

struct Opening {
    double seconds = 0;
    double cpu = 0;
    double firstScreen = -1; // the initial view drawn in full
    size_t peakBytes = 0;
    int64_t decoded = 0;
    bool fromCache = false;
    QString message;
};

// Opens the film as the window does, drawing the initial view as soon as
// the peaks cover it.
Opening open(const QString& film, const PeakCache& cache, const SubtitleTable& table, int64_t lengthMs)
{
    WaveformSource source(&cache);
    WaveformView view(table, source);
    view.resize(1200, 200);
    view.setMovie(Fps, lengthMs);
    Opening result;
    QElapsedTimer clock;
    const double cpuBefore = cpuSeconds();
    auto drawIfCovered = [&] {
        if (result.firstScreen >= 0) return;
        if (source.read([](const PeakTrack& t) { return int64_t(t.size()); }) < view.visibleMs()) return;
        view.contentChanged();
        view.grab();
        result.firstScreen = clock.elapsed() / 1000.0;
    };
    QObject::connect(&source, &WaveformSource::peaksAdded, drawIfCovered);
    QObject::connect(&source, &WaveformSource::finished, drawIfCovered);
    QEventLoop loop;
    QObject::connect(&source, &WaveformSource::finished, &loop, &QEventLoop::quit);
    clock.start();
    source.open(film);
    loop.exec();
    result.seconds = clock.elapsed() / 1000.0;
    result.cpu = cpuSeconds() - cpuBefore;
    result.peakBytes = source.read([](const PeakTrack& t) { return t.memoryBytes(); });
    result.decoded = source.decodedMilliseconds();
    result.fromCache = source.fromCache();
    result.message = source.message();
    return result;
}

struct Drawing {
    double median = 0, worst = 0;
};

Drawing summarise(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return { times[times.size() / 2], times.back() };
}

// Every frame drawn anew (a table change or new peaks each frame), and only
// the moving line (what playing costs while nothing else changes).
std::pair<Drawing, Drawing> draw(
    const QString& film, const PeakCache& cache, const SubtitleTable& table, int64_t lengthMs)
{
    WaveformSource source(&cache);
    QEventLoop loop;
    QObject::connect(&source, &WaveformSource::finished, &loop, &QEventLoop::quit);
    source.open(film);
    loop.exec();
    WaveformView view(table, source);
    view.resize(1200, 200);
    view.setMovie(Fps, lengthMs);
    view.showWholeFilm();
    QImage screen(view.size(), QImage::Format_RGB32);
    std::vector<double> full, line;
    QElapsedTimer clock;
    for (int i = 0; i < Frames; ++i) {
        view.setPlayPosition(i * 600, true);
        view.contentChanged();
        clock.start();
        view.render(&screen);
        full.push_back(clock.nsecsElapsed() / 1e6);
        view.setPlayPosition(i * 600 + 1, true);
        clock.start();
        view.render(&screen);
        line.push_back(clock.nsecsElapsed() / 1e6);
    }
    return { summarise(full), summarise(line) };
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString film = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : makeFilm(QStringLiteral(TESSEL_BENCH_OUT) + QStringLiteral("/film-2h.mkv"));
    if (film.isEmpty()) {
        std::fprintf(stderr, "waveform_bench: no film to measure\n");
        return 1;
    }
    QTemporaryDir folder;
    const PeakCache cache(folder.filePath("peaks"));
    const int64_t lengthMs = 7200 * 1000;
    SubtitleTable table;
    table.setRowCount(Rows + 1);
    for (int row = 1; row <= Rows; ++row) {
        const int64_t start = int64_t(row - 1) * lengthMs / Rows * int64_t(Fps) / 1000;
        table.setRow(row, std::to_string(start), std::to_string(start + 12), "Line " + std::to_string(row), "", "");
    }

    const Opening first = open(film, cache, table, lengthMs);
    const Opening second = open(film, cache, table, lengthMs);
    const auto [full, line] = draw(film, cache, table, lengthMs);

    std::printf("| step | figure | goal |\n| --- | ---: | --- |\n");
    std::printf("| decode and reduce %s of sound | %.1f s wall, %.1f s CPU | under 30 s |\n",
        ClockText(first.decoded).c_str(), first.seconds, first.cpu);
    std::printf("| first screenful (%.0f s of sound) drawn | %.2f s after opening | within 2 s |\n",
        WaveformView::InitialSpanMs / 1000, first.firstScreen);
    std::printf("| peaks held | %.1f MiB | under 64 MiB |\n", first.peakBytes / 1048576.0);
    std::printf("| second opening, from the cache | %.2f s (%s) | under 1 s |\n", second.seconds,
        second.fromCache ? "cache read" : "NOT from the cache");
    std::printf("| drawing, whole film, %d rows in view: everything anew | median %.1f ms, worst %.1f ms | "
                "under 16 ms |\n",
        Rows, full.median, full.worst);
    std::printf("| drawing while playing: the moving line | median %.2f ms, worst %.2f ms | under 16 ms |\n",
        line.median, line.worst);
    if (!first.message.isEmpty()) std::printf("\nmessage: %s\n", qPrintable(first.message));
    return 0;
}
