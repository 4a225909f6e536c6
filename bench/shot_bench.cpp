// Shot changes: how exactly they are found and how fast.
//
//     shot_bench [accuracy] [speed]        (both when neither is named)
//
// accuracy: two films made with ffmpeg, 640x360 H.264 at 25 and 24000/1001
// fps, 60 shots each from changing sources, 1 to 6 seconds long (the same
// for the same seed), with flashes, fast pans, dissolves and fades through
// black inside the shots; every cut found is compared with where it was made.
//
// speed: a two-minute reel of ten-second shots made once per resolution
// under bench/out/ (1080p at 6 Mbit/s, 720p at 3, 480p at 1.2; H.264,
// x264's veryfast preset), looped with ffmpeg's stream copy into a two-hour
// film at 1080p and ten-minute films at the others. Each is scanned as the
// editor scans it (its worker thread, a low priority, the cache), timing the
// wall clock and the CPU, with a 10 ms timer on the main thread standing for
// the editor's window (its worst lateness: how responsive the window stays);
// then opened again from the cache. ffmpeg decoding the reel alone is the
// floor. Prints Markdown tables, also written to bench/out/shot_bench.md.
#include "picture/shot_cache.h"
#include "picture/shot_source.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace tessel;

const QString Out = QStringLiteral(TESSEL_BENCH_OUT);
std::string report;

void say(const std::string& text)
{
    std::printf("%s", text.c_str());
    std::fflush(stdout);
    report += text;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double childCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

bool ffmpeg(const QStringList& arguments)
{
    QStringList all { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y") };
    return QProcess::execute(QStringLiteral("ffmpeg"), all + arguments) == 0;
}

enum Kind { Plain, Flash, Pan, Dissolve, Fade };

const char* const KindNames[] = { "plain", "flash", "pan", "dissolve", "fade" };

struct Shot {
    int frames;
    Kind kind;
    int source;
};

// Sources cheap enough to make at 1080p; each shot's differs from the one before.
const char* const Sources[]
    = { "testsrc2", "smptehdbars", "rgbtestsrc", "yuvtestsrc", "gradients=speed=0.03", "life=mold=10:ratio=0.5" };
constexpr int SourceCount = int(std::size(Sources));

QString source(int index, const QString& size, const QString& rate)
{
    const QString name = QString::fromLatin1(Sources[index % SourceCount]);
    return name + (name.contains(QLatin1Char('=')) ? QStringLiteral(":") : QStringLiteral("=")) + QStringLiteral("s=")
        + size + QStringLiteral(":r=") + rate;
}

// One shot of the film's graph, labelled [sN].
QString shotGraph(const Shot& shot, int n, int width, int height, const QString& rate, int hue)
{
    const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
    const QString frames = QStringLiteral(",trim=end_frame=%1,setpts=PTS-STARTPTS").arg(shot.frames);
    const QString look = QStringLiteral(",hue=h=%1,noise=alls=6:allf=t,format=yuv420p").arg(hue);
    const QString label = QStringLiteral("[s%1];").arg(n);
    switch (shot.kind) {
    case Pan: // a sixth of the width a frame over a picture six times as wide
        return QStringLiteral("testsrc=s=%1x%2:r=%3,crop=%4:%2:'n*%5':0")
                   .arg(width * 6)
                   .arg(height)
                   .arg(rate)
                   .arg(width)
                   .arg(width / 6)
            + frames + look + label;
    case Flash:
        return source(shot.source, size, rate) + frames + look
            + QStringLiteral(",lutyuv=y='min(val+140\\,255)':enable='between(n\\,%1\\,%2)'")
                  .arg(shot.frames / 2)
                  .arg(shot.frames / 2 + 1)
            + label;
    case Fade: {
        // Out to black over 12 frames from a quarter of the shot on, black
        // for 4, in again over 12: the shot in two parts, one fading out, one in.
        const int black = shot.frames / 4 + 16;
        return source(shot.source, size, rate) + frames + look + QStringLiteral(",split[p%1][q%1];").arg(n)
            + QStringLiteral("[p%1]trim=end_frame=%2,fade=t=out:start_frame=%3:nb_frames=12[o%1];")
                  .arg(n)
                  .arg(black)
                  .arg(black - 16)
            + QStringLiteral("[q%1]trim=start_frame=%2,setpts=PTS-STARTPTS,fade=t=in:nb_frames=12[i%1];")
                  .arg(n)
                  .arg(black)
            + QStringLiteral("[o%1][i%1]concat=n=2:v=1:a=0").arg(n) + label;
    }
    case Dissolve: {
        // Over 20 frames from a third of the shot on.
        const QString mix = QStringLiteral("clip((N-%1)/20\\,0\\,1)").arg(shot.frames / 3);
        return source(shot.source, size, rate) + frames + look + QStringLiteral("[a%1];").arg(n)
            + source(shot.source + 2, size, rate) + frames + look + QStringLiteral("[b%1];").arg(n)
            + QStringLiteral("[a%1][b%1]blend=all_expr='A*(1-%2)+B*%2'").arg(n).arg(mix) + label;
    }
    default:
        return source(shot.source, size, rate) + frames + look + label;
    }
}

// Makes the film of `shots`; returns where each cut is.
std::vector<int64_t> makeFilm(const QString& path, const std::vector<Shot>& shots, int width, int height,
    const QString& rate, const QString& bitrate)
{
    std::vector<int64_t> cuts;
    int64_t at = 0;
    QString graph;
    for (size_t i = 0; i < shots.size(); ++i) {
        graph += shotGraph(shots[i], int(i), width, height, rate, int(i * 47 % 360));
        if (i > 0) cuts.push_back(at);
        at += shots[i].frames;
    }
    for (size_t i = 0; i < shots.size(); ++i)
        graph += QStringLiteral("[s%1]").arg(i);
    graph += QStringLiteral("concat=n=%1:v=1:a=0[v]").arg(shots.size());
    if (QFileInfo::exists(path)) return cuts;
    std::printf("making %s with ffmpeg...\n", qPrintable(path));
    QStringList arguments { QStringLiteral("-filter_complex"), graph, QStringLiteral("-map"), QStringLiteral("[v]"),
        QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("veryfast") };
    if (!bitrate.isEmpty())
        arguments << QStringLiteral("-b:v") << bitrate << QStringLiteral("-maxrate") << bitrate
                  << QStringLiteral("-bufsize") << bitrate;
    const QString partial = path + QStringLiteral(".part.mkv");
    if (!ffmpeg(arguments << partial) || !QFile::rename(partial, path)) return {};
    return cuts;
}

// The cuts found at the default sensitivity, and the sensitivities at which
// exactly the cuts made are found ("lowest-highest", or "none").
std::pair<std::vector<int64_t>, std::string> scanned(const QString& film, const std::vector<int64_t>& made)
{
    ShotSource source(nullptr);
    QEventLoop loop;
    QObject::connect(&source, &ShotSource::finished, &loop, &QEventLoop::quit);
    source.open(film);
    loop.exec();
    int lowest = 0, highest = 0;
    for (int sensitivity = LeastSensitivity; sensitivity <= MostSensitivity; ++sensitivity)
        if (source.cuts(sensitivity) == made) {
            if (!lowest) lowest = sensitivity;
            highest = sensitivity;
        }
    return { source.cuts(DefaultSensitivity),
        lowest ? std::to_string(lowest) + "-" + std::to_string(highest) : std::string("none") };
}

void accuracy()
{
    say("\n| film | cuts made | found on their frame | missed | a frame off | found where none was | sensitivities "
        "finding exactly the cuts made |\n| --- | ---: | ---: | ---: | ---: | ---: | --- |\n");
    for (const char* rate : { "25", "24000/1001" }) {
        std::mt19937 random(1);
        std::vector<Shot> shots;
        int from = 0;
        for (int i = 0; i < 60; ++i) {
            // Never the source of the shot before.
            from = (from + std::uniform_int_distribution<int>(1, SourceCount - 1)(random)) % SourceCount;
            shots.push_back({ std::uniform_int_distribution<int>(25, 150)(random), Kind(i % 5), from });
        }
        const QString path = Out + QStringLiteral("/shots-accuracy-%1.mkv").arg(QString(rate).replace('/', '_'));
        const std::vector<int64_t> made = makeFilm(path, shots, 640, 360, QString::fromLatin1(rate), {});
        if (made.empty()) {
            say("| " + std::string(rate) + " | ffmpeg could not make it | | | | |\n");
            continue;
        }
        const auto [found, exactly] = scanned(path, made);
        int exact = 0, missed = 0, near = 0;
        for (int64_t cut : made) {
            if (std::binary_search(found.begin(), found.end(), cut))
                ++exact;
            else if (std::binary_search(found.begin(), found.end(), cut - 1)
                || std::binary_search(found.begin(), found.end(), cut + 1)) {
                ++near;
                const size_t shot = size_t(std::lower_bound(made.begin(), made.end(), cut) - made.begin()) + 1;
                std::printf("a frame off at %lld: from a %s shot of %s into a %s shot of %s\n",
                    static_cast<long long>(cut), KindNames[shots[shot - 1].kind],
                    Sources[shots[shot - 1].source % SourceCount], KindNames[shots[shot].kind],
                    Sources[shots[shot].source % SourceCount]);
            } else {
                ++missed;
                const size_t shot = size_t(std::lower_bound(made.begin(), made.end(), cut) - made.begin()) + 1;
                std::printf("missed %lld: from a %s shot of %s into a %s shot of %s\n", static_cast<long long>(cut),
                    KindNames[shots[shot - 1].kind], Sources[shots[shot - 1].source % SourceCount],
                    KindNames[shots[shot].kind], Sources[shots[shot].source % SourceCount]);
            }
        }
        int extra = 0;
        std::string where;
        for (int64_t cut : found) {
            if (std::binary_search(made.begin(), made.end(), cut)
                || std::binary_search(made.begin(), made.end(), cut - 1)
                || std::binary_search(made.begin(), made.end(), cut + 1))
                continue;
            ++extra;
            // Which shot, of which kind, and how far into it.
            const size_t shot = size_t(std::upper_bound(made.begin(), made.end(), cut) - made.begin());
            const int64_t from = shot > 0 ? made[shot - 1] : 0;
            where += " " + std::to_string(cut) + " (shot " + std::to_string(shot) + ", " + KindNames[shots[shot].kind]
                + ", frame " + std::to_string(cut - from) + " of " + std::to_string(shots[shot].frames) + ")";
        }
        if (!where.empty()) std::printf("found where none was:%s\n", where.c_str());
        say("| 640x360, " + std::string(rate) + " fps, " + std::to_string(shots.size())
            + " shots (12 each with a flash, a fast pan, a dissolve, a fade through black) | "
            + std::to_string(made.size()) + " | " + std::to_string(exact) + " | " + std::to_string(missed) + " | "
            + std::to_string(near) + " | " + std::to_string(extra) + " | " + exactly + " |\n");
    }
}

struct Resolution {
    int width, height;
    const char* bitrate;
    int loops; // the reel this many times
};

constexpr int ReelShots = 12;
constexpr int64_t ReelFrames = ReelShots * 240;

struct Scan {
    double wall = 0, cpu = 0, worstLate = 0;
    int64_t frames = 0;
    std::vector<int64_t> cuts;
    bool fromCache = false;
    QString message;
};

// As the editor does it: the worker thread, the cache, and a window's timer.
Scan scan(const QString& film, const ShotCache& cache)
{
    ShotSource source(&cache);
    Scan result;
    QElapsedTimer clock, tick;
    QTimer window;
    window.setInterval(10);
    QObject::connect(&window, &QTimer::timeout, [&] {
        result.worstLate = std::max(result.worstLate, double(tick.nsecsElapsed()) / 1e6 - 10);
        tick.start();
    });
    QEventLoop loop;
    QObject::connect(&source, &ShotSource::finished, &loop, &QEventLoop::quit);
    const double cpu = cpuSeconds();
    clock.start();
    tick.start();
    window.start();
    source.open(film);
    loop.exec();
    result.wall = double(clock.nsecsElapsed()) / 1e9;
    result.cpu = cpuSeconds() - cpu;
    result.cuts = source.cuts(DefaultSensitivity);
    result.fromCache = source.fromCache();
    result.message = source.message();
    return result;
}

void speed()
{
    const Resolution resolutions[] = { { 1920, 1080, "6M", 60 }, { 1280, 720, "3M", 5 }, { 854, 480, "1200k", 5 } };
    say("\n| film | scan: wall s | CPU s | x real time | worst delay of a 10 ms timer meanwhile, ms | cuts found on "
        "their frame | found where none was | again from the cache, s |\n"
        "| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    std::string floors;
    for (const Resolution& r : resolutions) {
        std::vector<Shot> shots;
        for (int i = 0; i < ReelShots; ++i)
            shots.push_back({ 240, Kind(i % 5), i % SourceCount });
        const QString name = QStringLiteral("%1p").arg(r.height);
        const QString reel = Out + QStringLiteral("/shots-reel-") + name + QStringLiteral(".mkv");
        const std::vector<int64_t> reelCuts = makeFilm(reel, shots, r.width, r.height, QStringLiteral("24"), r.bitrate);
        if (reelCuts.empty()) {
            say("| " + name.toStdString() + " | ffmpeg could not make it |\n");
            continue;
        }
        const QString film = Out + QStringLiteral("/shots-") + name + QStringLiteral("-x%1.mkv").arg(r.loops);
        if (!QFileInfo::exists(film)) {
            std::printf("making %s with ffmpeg...\n", qPrintable(film));
            ffmpeg({ QStringLiteral("-stream_loop"), QString::number(r.loops - 1), QStringLiteral("-i"), reel,
                QStringLiteral("-c"), QStringLiteral("copy"), film });
        }
        std::vector<int64_t> made;
        for (int loop = 0; loop < r.loops; ++loop) {
            if (loop > 0) made.push_back(int64_t(loop) * ReelFrames);
            for (int64_t cut : reelCuts)
                made.push_back(int64_t(loop) * ReelFrames + cut);
        }
        // The floor: ffmpeg decoding the reel, nothing else.
        QElapsedTimer clock;
        const double childCpu = childCpuSeconds();
        clock.start();
        ffmpeg({ QStringLiteral("-threads"), QStringLiteral("2"), QStringLiteral("-i"), reel, QStringLiteral("-f"),
            QStringLiteral("null"), QStringLiteral("-") });
        floors += "| " + name.toStdString() + ", 2 minutes | " + fixed(double(clock.nsecsElapsed()) / 1e9, 1) + " | "
            + fixed(childCpuSeconds() - childCpu, 1) + " | " + fixed(120 / (double(clock.nsecsElapsed()) / 1e9), 1)
            + " |\n";

        QTemporaryDir folder;
        const ShotCache cache(folder.path() + QStringLiteral("/cache"), folder.path() + QStringLiteral("/state"));
        const Scan first = scan(film, cache);
        const Scan again = scan(film, cache);
        int exact = 0, extra = 0;
        for (int64_t cut : first.cuts)
            (std::binary_search(made.begin(), made.end(), cut) ? exact : extra) += 1;
        const double seconds = double(made.size() + 1) * 10;
        say("| " + std::to_string(r.width) + "x" + std::to_string(r.height) + " H.264 " + r.bitrate + "bit/s, "
            + (r.loops == 60 ? std::string("2 hours") : std::to_string(r.loops * 2) + " minutes") + " | "
            + fixed(first.wall, 1) + " | " + fixed(first.cpu, 1) + " | " + fixed(seconds / first.wall, 1) + " | "
            + fixed(first.worstLate, 1) + " | " + std::to_string(exact) + " of " + std::to_string(made.size()) + " | "
            + std::to_string(extra) + " | " + fixed(again.wall, 3) + (again.fromCache ? "" : " (not cached!)")
            + " |\n");
        if (!first.message.isEmpty()) say("  (" + first.message.toStdString() + ")\n");
    }
    say("\n| ffmpeg -threads 2 -i REEL -f null - | wall s | CPU s | x real time |\n| --- | ---: | ---: | ---: |\n"
        + floors);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QDir().mkpath(Out);
    const QStringList args = app.arguments().mid(1);
    const bool all = args.isEmpty();
    say("shot_bench on " + QSysInfo::prettyProductName().toStdString() + ", "
        + std::to_string(QThread::idealThreadCount()) + " cores\n");
    if (all || args.contains(QStringLiteral("accuracy"))) accuracy();
    if (all || args.contains(QStringLiteral("speed"))) speed();
    QFile file(Out + QStringLiteral("/shot_bench.md"));
    if (file.open(QIODevice::WriteOnly)) file.write(report.data(), qint64(report.size()));
    return 0;
}
