// A text track opened from a 1 GB Matroska film, with the film's pages
// dropped from the page cache before each run (cold) and again with them
// there (warm): the whole "open as subtitles" path, the track listed, its
// blocks read, the document made and read into a table. Beside it ffmpeg
// extracting the same track, which reads the whole film.
//
//     film_track_bench [FILM [TRACK]]
//
// Without a film it makes bench/out/film-1gb.mkv with ffmpeg: a minute of
// 1280x720 MPEG-4 at 1 Mbit/s with AAC sound, looped to two hours by stream
// copy, with SubRip and ASS tracks of 1,500 cues each (a few minutes).
// Prints a Markdown table: wall time, the bytes our reader asked for, and
// the bytes the kernel read from the disk for it (/proc/self/io), read-ahead
// included.
#include "core/user_prompts.h"
#include "formats/file_commands.h"
#include "media/film_subtitles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using namespace tessel;

constexpr int Cues = 1500;
constexpr int Runs = 3;

class Silent : public MessageSink {
public:
    void showMessage(const QString&, const QString& text, MessageIcon) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
};

std::string clock(int64_t ms, char separator, bool centiseconds)
{
    char text[32];
    if (centiseconds)
        std::snprintf(text, sizeof text, "%d:%02d:%02d.%02d", int(ms / 3600000), int(ms / 60000 % 60),
            int(ms / 1000 % 60), int(ms % 1000 / 10));
    else
        std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%03d", int(ms / 3600000), int(ms / 60000 % 60),
            int(ms / 1000 % 60), separator, int(ms % 1000));
    return text;
}

void writeSubtitles(const QString& srt, const QString& ass)
{
    std::ofstream s(srt.toStdString()), a(ass.toStdString());
    a << "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, "
         "SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, "
         "Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\nStyle: "
         "Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,2,1,2,10,10,10,1\n\n"
         "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
    for (int i = 0; i < Cues; ++i) {
        const int64_t start = 2000 + int64_t(i) * 4790, end = start + 3200;
        s << i + 1 << '\n'
          << clock(start, ',', false) << " --> " << clock(end, ',', false) << "\nSubtitle number " << i + 1
          << ", the first of its two lines,\nand the second one of them.\n\n";
        a << "Dialogue: 0," << clock(start, '.', true) << ',' << clock(end, '.', true)
          << ",Default,,0,0,0,,Subtitle number " << i + 1 << "\\Nof the script\n";
    }
}

QString makeFilm(const QString& path)
{
    if (QFileInfo::exists(path)) return path;
    const QString out = QFileInfo(path).path();
    std::printf("making %s with ffmpeg...\n", qPrintable(path));
    writeSubtitles(out + "/film-1gb.srt", out + "/film-1gb.ass");
    const QStringList clip = { "-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25", "-f",
        "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", "60", "-c:v", "mpeg4", "-b:v", "1000k", "-c:a",
        "aac", "-b:a", "128k", out + "/clip-60s.mkv" };
    const QStringList film = { "-loglevel", "error", "-y", "-stream_loop", "119", "-i", out + "/clip-60s.mkv", "-i",
        out + "/film-1gb.srt", "-i", out + "/film-1gb.ass", "-map", "0", "-map", "1", "-map", "2", "-c:v", "copy",
        "-c:a", "copy", "-c:s:0", "srt", "-c:s:1", "ass", "-t", "7200", path };
    if (QProcess::execute("ffmpeg", clip) != 0 || QProcess::execute("ffmpeg", film) != 0) return {};
    return path;
}

// The bytes this process has had read from storage so far.
int64_t storageBytes()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("read_bytes:")) return line.mid(11).trimmed().toLongLong();
    return -1;
}

// Drops the film's pages from the page cache; the share still there after.
double dropFromCache(const QString& film)
{
    const int fd = ::open(film.toLocal8Bit().constData(), O_RDONLY);
    if (fd < 0) return -1;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    void* map = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
    const long page = ::sysconf(_SC_PAGESIZE);
    const size_t pages = (static_cast<size_t>(size) + static_cast<size_t>(page) - 1) / static_cast<size_t>(page);
    std::string resident(pages, '\0');
    size_t in = 0;
    if (map != MAP_FAILED
        && ::mincore(map, static_cast<size_t>(size), reinterpret_cast<unsigned char*>(resident.data())) == 0)
        for (char c : resident)
            in += c & 1;
    if (map != MAP_FAILED) ::munmap(map, static_cast<size_t>(size));
    ::close(fd);
    return 100.0 * static_cast<double>(in) / static_cast<double>(pages);
}

struct Run {
    double ms = 0;
    int64_t asked = 0, fromDisk = 0;
    int rows = 0;
};

Run openTrack(const QString& film, int track)
{
    SubtitleTable table;
    FilmSubtitles films(nullptr, track);
    FixedFramerate fps(25);
    Silent messages;
    const int64_t before = storageBytes();
    QElapsedTimer timer;
    timer.start();
    LoadSubtitles(table, film.toStdString(), false, fps, messages, {}, &films);
    Run run;
    run.ms = timer.nsecsElapsed() / 1e6;
    run.fromDisk = storageBytes() - before;
    run.asked = films.bytesRead();
    run.rows = table.rowCount() - 1;
    return run;
}

double ffmpegExtract(const QString& film)
{
    QElapsedTimer timer;
    timer.start();
    QProcess::execute("ffmpeg", { "-loglevel", "error", "-y", "-i", film, "-map", "0:s:0", "-f", "srt", "/dev/null" });
    return timer.nsecsElapsed() / 1e6;
}

std::string mib(int64_t bytes) { return QString::number(bytes / 1048576.0, 'f', 2).toStdString() + " MiB"; }

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString film
        = makeFilm(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TESSEL_BENCH_OUT "/film-1gb.mkv"));
    if (film.isEmpty()) return 1;
    std::printf("%s: %.2f GB\n\n", qPrintable(film), QFileInfo(film).size() / 1e9);
    std::printf("| track | run | cache before | wall ms | rows | bytes asked for | read from disk |\n");
    std::printf("| --- | --- | ---: | ---: | ---: | ---: | ---: |\n");
    const std::vector<int> tracks = argc > 2 ? std::vector<int> { std::atoi(argv[2]) } : std::vector<int> { 3, 4 };
    for (int track : tracks) {
        for (int i = 0; i < Runs; ++i) {
            const double resident = dropFromCache(film);
            const Run cold = openTrack(film, track);
            std::printf("| %d | cold %d | %.1f%% | %.0f | %d | %s | %s |\n", track, i + 1, resident, cold.ms, cold.rows,
                mib(cold.asked).c_str(), mib(cold.fromDisk).c_str());
        }
        const Run warm = openTrack(film, track);
        std::printf("| %d | warm | | %.0f | %d | %s | %s |\n", track, warm.ms, warm.rows, mib(warm.asked).c_str(),
            mib(warm.fromDisk).c_str());
    }
    const double resident = dropFromCache(film);
    std::printf("\nffmpeg -i FILM -map 0:s:0 -f srt /dev/null, cold (%.1f%% cached before): %.0f ms\n", resident,
        ffmpegExtract(film));
    std::printf("the same, warm: %.0f ms\n", ffmpegExtract(film));
    return 0;
}
