// Synchronisation to speech, on films this program makes with espeak-ng
// voices at known times over noise and music (see
// tests/support/speech_films.h), and damaged copies of their subtitles:
// shifted; shifted and timed for 25 fps while the film runs at 23.976; timed
// to a cut with a 20 s scene more; all three. For each, the share of lines
// whose start comes back within 100 ms and 800 ms of the truth; a clean file;
// point sync with two points; and a two-hour film: the decoding that finds
// the voices, the alignment after it, and the converter's whole job with the
// cache warm.
//
//     sync_bench [TESSEL_CONVERT]
//
// The films and their lines are made once, under bench/out/sync/ (the
// two-hour one takes some minutes). With Debian's WebRTC audio processing
// library found at build time it also measures WebRTC's voice detector on
// the same films, as the alternative to our own. Markdown on standard output
// and in bench/out/sync-report.md.
#include "audio/audio_decoder.h"
#include "audio/film_speech.h"
#include "audio/peak_cache.h"
#include "audio/speech.h"
#include "core/subtitle_table.h"
#include "speech_films.h"
#include "tools/sync.h"
#include "tools/sync_points.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>

#ifdef TESSEL_WEBRTC
#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>
#endif

namespace {

using namespace tessel;
using namespace tessel::test;

const QString Folder = QStringLiteral(TESSEL_BENCH_OUT "/sync");

struct FilmCase {
    const char* name;
    const char* background;
    double music, noise, fps;
    uint32_t seed;
};

// Ten minutes each, at the two common rates.
const FilmCase Films[] = {
    { "dialogue-noise.mkv", "voices over room noise", 0, 0.05, 25, 21 },
    { "dialogue-music.mkv", "voices over music", 1.0, 0.02, 24000.0 / 1001, 22 },
    { "dialogue-loud.mkv", "voices under loud music and noise", 2.0, 0.15, 25, 23 },
    { "sparse-music.mkv", "few voices, long scenes of music", 0.8, 0.04, 24000.0 / 1001, 24 },
};

const char* const DamageNames[]
    = { "clean", "shifted", "shifted and stretched 25/23.976", "20 s scene cut", "all three" };

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...)
{
    char text[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::ostringstream report;

void say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    report << line << '\n';
}

SpeechFilm make(const FilmCase& c, double seconds)
{
    SpeechFilmPlan plan;
    plan.name = QString::fromLatin1(c.name);
    plan.seconds = seconds;
    plan.music = c.music;
    plan.noise = c.noise;
    plan.fps = c.fps;
    plan.seed = c.seed;
    if (std::string(c.name).rfind("sparse", 0) == 0) {
        plan.longPauses = 0.3;
        plan.longestPause = 4;
    }
    return MakeSpeechFilm(plan, Folder);
}

// The frames a table would hold for times in milliseconds.
int64_t frameOf(double ms, double fps) { return std::llround(ms * fps / 1000); }

struct Tally {
    int lines = 0, within100 = 0, within800 = 0;
    void add(const Tally& t)
    {
        lines += t.lines;
        within100 += t.within100;
        within800 += t.within800;
    }
    std::string share(int n) const { return format("%.1f%%", lines ? 100.0 * n / lines : 0); }
};

struct Outcome {
    Tally tally;
    SyncResult result;
    int unchanged = 0;
};

Outcome synchronise(const SpeechFilm& film, const SyncTarget& target, Damage damage, double fps, uint32_t seed)
{
    const DamagedSubtitles damaged
        = DamageSubtitles(film.subtitles(), damage, damage == Damage::All ? -61330 : 3470, seed);
    std::vector<SyncInterval> lines;
    std::vector<int64_t> frames;
    for (const Span& s : damaged.spans) {
        frames.push_back(frameOf(double(s.start), fps));
        lines.push_back({ std::llround(double(frameOf(double(s.start), fps)) * 1000 / fps),
            std::llround(double(frameOf(double(s.end), fps)) * 1000 / fps) });
    }
    SyncOptions options;
    options.leastOffsetMs = 1000 / fps;
    Outcome outcome;
    outcome.result = Align(lines, target, options);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (damaged.truth[i] < 0) continue;
        const int64_t frame = frameOf(outcome.result.map(i, double(lines[i].start)), fps);
        const double error = std::fabs(double(frame - frameOf(double(damaged.truth[i]), fps))) * 1000 / fps;
        ++outcome.tally.lines;
        outcome.tally.within100 += error <= 100;
        outcome.tally.within800 += error <= 800;
        outcome.unchanged += frame == frames[i];
    }
    return outcome;
}

SpeechTrack speechOf(const SpeechFilm& film, double* decodeSeconds = nullptr)
{
    const PeakCache cache(Folder + QStringLiteral("/cache"));
    const std::atomic<bool> never { false };
    QElapsedTimer clock;
    clock.start();
    FilmSpeech speech = LoadFilmSpeech(film.path.toStdString(), -1, &cache, never);
    if (decodeSeconds) *decodeSeconds = double(clock.elapsed()) / 1000;
    return std::move(speech.speech);
}

struct FrameAgreement {
    double recall = 0, falseAlarms = 0, agreement = 0;
};

FrameAgreement agreementOf(const SpeechFilm& film, const SpeechTrack& speech)
{
    std::vector<bool> truth(speech.size(), false);
    for (const SpeechLine& line : film.lines)
        for (int64_t f = line.speech.start / 10; f < line.speech.end / 10 && f < int64_t(truth.size()); ++f)
            truth[size_t(f)] = true;
    double voiced = 0, hit = 0, quiet = 0, alarm = 0, agree = 0;
    for (size_t f = 0; f < truth.size(); ++f) {
        const bool said = speech.speech(f);
        voiced += truth[f];
        hit += truth[f] && said;
        quiet += !truth[f];
        alarm += !truth[f] && said;
        agree += said == truth[f];
    }
    return { hit / std::max(1.0, voiced), alarm / std::max(1.0, quiet), agree / std::max(1.0, double(truth.size())) };
}

#ifdef TESSEL_WEBRTC
// WebRTC's detector (its most aggressive setting) on the same decoded sound.
class WebRtcVoices : public SoundListener {
public:
    WebRtcVoices()
        : apm_(webrtc::AudioProcessing::Create())
    {
        apm_->voice_detection()->Enable(true);
        apm_->voice_detection()->set_likelihood(webrtc::VoiceDetection::kVeryLowLikelihood);
        apm_->voice_detection()->set_frame_size_ms(10);
    }
    ~WebRtcVoices() override { delete apm_; }
    int sampleRate() const override { return 16000; }
    void add(int64_t first, const float* samples, size_t count) override
    {
        if (first > next_) pending_.insert(pending_.end(), size_t(first - next_), 0.0f);
        const size_t skip = first < next_ ? std::min<size_t>(count, size_t(next_ - first)) : 0;
        pending_.insert(pending_.end(), samples + skip, samples + count);
        next_ = std::max(next_, first + int64_t(count));
        size_t at = 0;
        for (; at + 160 <= pending_.size(); at += 160) {
            webrtc::AudioFrame& frame = frame_;
            frame.sample_rate_hz_ = 16000;
            frame.num_channels_ = 1;
            frame.samples_per_channel_ = 160;
            for (size_t i = 0; i < 160; ++i)
                frame.data_[i] = int16_t(std::clamp(pending_[at + i] * 32767.0f, -32768.0f, 32767.0f));
            apm_->ProcessStream(&frame);
            track.likelihood.push_back(apm_->voice_detection()->stream_has_voice() ? 255 : 0);
        }
        pending_.erase(pending_.begin(), pending_.begin() + long(at));
    }
    void finish() override { }
    SpeechTrack track;

private:
    webrtc::AudioProcessing* apm_;
    webrtc::AudioFrame frame_;
    std::vector<float> pending_;
    int64_t next_ = 0;
};

SpeechTrack webRtcSpeech(const SpeechFilm& film)
{
    AudioDecoder decoder(film.path.toStdString());
    WebRtcVoices voices;
    const std::atomic<bool> never { false };
    decoder.decode(
        decoder.tracks().front().stream, [](const Peak*, size_t) {}, never, &voices);
    return std::move(voices.track);
}
#endif

void accuracy()
{
    say("## Accuracy: lines whose start comes back within 100 ms and 800 ms of the truth");
    say("");
    say("Four films of ten minutes (" + std::to_string(std::size(Films))
        + " backgrounds), each line's start compared with where the film generator put it; frames rounded at "
          "the film's rate.");
    say("");
    say("| film | lines | detector: voiced frames found, false alarms | score (clean) |");
    say("| --- | ---: | --- | ---: |");
    Tally perDamage[5];
    std::vector<std::string> details;
    std::vector<std::string> cleanRows;
#ifdef TESSEL_WEBRTC
    Tally webRtc[5];
    std::vector<std::string> webRtcRows;
#endif
    for (const FilmCase& c : Films) {
        const SpeechFilm film = make(c, 600);
        if (film.path.isEmpty()) {
            say("| " + std::string(c.name) + " | could not be made (ffmpeg and espeak-ng?) | | |");
            continue;
        }
        const SpeechTrack speech = speechOf(film);
        const SyncTarget target = TargetFromLikelihood(speech.likelihood);
        const FrameAgreement frames = agreementOf(film, speech);
        double cleanScore = 0;
        for (int d = 0; d < 5; ++d) {
            const Outcome o = synchronise(film, target, Damage(d), c.fps, c.seed);
            perDamage[d].add(o.tally);
            if (d == 0) {
                cleanScore = o.result.score;
                cleanRows.push_back(format("| %s | %zu | %s | %.3f s | %d of %d |", c.name, o.result.segments.size(),
                    DescribeRatio(o.result.ratio).c_str(), o.result.segments.front().offsetMs / 1000, o.unchanged,
                    o.tally.lines));
            }
            details.push_back(format("| %s | %s | %s | %zu | %.0f | %s | %s |", c.name, DamageNames[d],
                DescribeRatio(o.result.ratio).c_str(), o.result.segments.size(), o.result.score,
                o.tally.share(o.tally.within100).c_str(), o.tally.share(o.tally.within800).c_str()));
        }
        say(format("| %s (%s, %.3f fps) | %zu | %.1f%%, %.1f%% | %.0f |", c.name, c.background, c.fps,
            film.subtitles().size(), 100 * frames.recall, 100 * frames.falseAlarms, cleanScore));
#ifdef TESSEL_WEBRTC
        const SpeechTrack web = webRtcSpeech(film);
        const FrameAgreement webFrames = agreementOf(film, web);
        const SyncTarget webTarget = TargetFromLikelihood(web.likelihood);
        std::string row
            = format("| %s | %.1f%%, %.1f%% |", c.name, 100 * webFrames.recall, 100 * webFrames.falseAlarms);
        for (int d = 1; d < 5; ++d) {
            const Outcome o = synchronise(film, webTarget, Damage(d), c.fps, c.seed);
            webRtc[d].add(o.tally);
            row += " " + o.tally.share(o.tally.within100) + " |";
        }
        webRtcRows.push_back(row);
#endif
    }
    say("");
    say("| damage | lines | within 100 ms | within 800 ms | goal |");
    say("| --- | ---: | ---: | ---: | --- |");
    for (int d = 1; d < 5; ++d)
        say(format("| %s | %d | %s | %s | 90%% and 98%% |", DamageNames[d], perDamage[d].lines,
            perDamage[d].share(perDamage[d].within100).c_str(), perDamage[d].share(perDamage[d].within800).c_str()));
    say("");
    say("Each film and damage (ratio found, segments, score):");
    say("");
    say("| film | damage | ratio | segments | score | within 100 ms | within 800 ms |");
    say("| --- | --- | --- | ---: | ---: | ---: | ---: |");
    for (const std::string& row : details)
        say(row);
    say("");
    say("## A clean file comes back unchanged");
    say("");
    say("| film | segments | ratio | offset | rows unchanged |");
    say("| --- | ---: | --- | ---: | ---: |");
    for (const std::string& row : cleanRows)
        say(row);
#ifdef TESSEL_WEBRTC
    say("");
    say("## WebRTC's voice detector in place of ours (same films, same alignment)");
    say("");
    say("| film | voiced frames found, false alarms | shifted | stretched | cut | all three (within 100 ms) |");
    say("| --- | --- | ---: | ---: | ---: | ---: |");
    for (const std::string& row : webRtcRows)
        say(row);
    std::string all = "| all films | |";
    for (int d = 1; d < 5; ++d)
        all += " " + webRtc[d].share(webRtc[d].within100) + " |";
    say(all);
#endif
}

void pointSync()
{
    say("");
    say("## Point sync: two points on a file timed for 25 fps, shown at 23.976");
    say("");
    const SpeechFilm film = make(Films[1], 600);
    if (film.path.isEmpty()) return;
    const double fps = Films[1].fps;
    const std::vector<Span> truth = film.subtitles();
    const DamagedSubtitles damaged = DamageSubtitles(truth, Damage::Stretch, 2300, 1);
    SubtitleTable table;
    table.setRowCount(int(damaged.spans.size()) + 1);
    for (size_t i = 0; i < damaged.spans.size(); ++i)
        table.setRow(int(i) + 1, std::to_string(frameOf(double(damaged.spans[i].start), fps)),
            std::to_string(frameOf(double(damaged.spans[i].end), fps)), "line", "", "");
    const int last = int(damaged.spans.size());
    const std::vector<SyncPoint> points { { 1, int(frameOf(double(truth.front().start), fps)) },
        { last, int(frameOf(double(truth.back().start), fps)) } };
    ApplyPointSync(table, PlanPointSync(table, points));
    int64_t worst = 0, exact = 0;
    for (size_t i = 0; i < truth.size(); ++i) {
        const int64_t error = std::llabs(std::stoll(std::string(table.cell(SubtitleTable::From, int(i) + 1)))
            - frameOf(double(truth[i].start), fps));
        worst = std::max(worst, error);
        exact += error == 0;
    }
    say(format("%zu rows, points on the first and the last: every row within %lld frame(s) of the truth (%lld exact); "
               "goal: within one frame.",
        truth.size(), static_cast<long long>(worst), static_cast<long long>(exact)));
}

void twoHours(const QString& converter)
{
    say("");
    say("## A two-hour film");
    say("");
    FilmCase c { "two-hours.mkv", "voices over music", 0.6, 0.04, 24000.0 / 1001, 11 };
    const SpeechFilm film = make(c, 7200);
    if (film.path.isEmpty()) return;
    // Cold: nothing cached.
    QDir(Folder + QStringLiteral("/cache")).removeRecursively();
    double decodeSeconds = 0;
    const double cpuBefore = cpuSeconds();
    const SpeechTrack speech = speechOf(film, &decodeSeconds);
    const double decodeCpu = cpuSeconds() - cpuBefore;
    const SyncTarget target = TargetFromLikelihood(speech.likelihood);
    say(format("%zu lines, %.1f h of AAC sound. Decoding it once, peaks and voices in the same pass: %.1f s (%.1f s "
               "of CPU).",
        film.subtitles().size(), 2.0, decodeSeconds, decodeCpu));
    say("");
    say("| damage | alignment, wall | alignment, CPU | within 100 ms | within 800 ms |");
    say("| --- | ---: | ---: | ---: | ---: |");
    for (int d = 0; d < 5; ++d) {
        const double cpu = cpuSeconds();
        const Outcome o = synchronise(film, target, Damage(d), c.fps, c.seed);
        say(format("| %s | %.2f s | %.2f s | %s | %s |", DamageNames[d], o.result.seconds, cpuSeconds() - cpu,
            o.tally.share(o.tally.within100).c_str(), o.tally.share(o.tally.within800).c_str()));
    }
    if (converter.isEmpty()) return;
    // The whole job in the converter, the cache warm: read, align, write.
    const DamagedSubtitles damaged = DamageSubtitles(film.subtitles(), Damage::All, -61330, 5);
    const QString in = Folder + QStringLiteral("/two-hours-damaged.srt");
    const QString out = Folder + QStringLiteral("/two-hours-synced.srt");
    WriteSubRip(damaged.spans, in);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), Folder + QStringLiteral("/xdg"));
    process.setProcessEnvironment(environment);
    const QStringList arguments { QStringLiteral("--fps"), QStringLiteral("23.976"), QStringLiteral("--sync-audio"),
        film.path, in, out };
    auto run = [&] {
        QElapsedTimer clock;
        clock.start();
        process.start(converter, arguments);
        process.waitForFinished(-1);
        return double(clock.elapsed()) / 1000;
    };
    QDir(Folder + QStringLiteral("/xdg")).removeRecursively();
    const double cold = run();
    const std::string line = QString::fromUtf8(process.readAllStandardError()).trimmed().toStdString();
    double warm = 1e9;
    for (int i = 0; i < 3; ++i)
        warm = std::min(warm, run());
    // The peaks cached (the Waveform window's doing) but not the voices.
    for (const QString& name :
        QDir(Folder + QStringLiteral("/xdg/tessel/peaks")).entryList({ QStringLiteral("*.speech") }))
        QFile::remove(Folder + QStringLiteral("/xdg/tessel/peaks/") + name);
    const double peaksOnly = run();
    say("");
    say("`tessel-convert --fps 23.976 --sync-audio two-hours.mkv damaged.srt synced.srt` (all three damages):");
    say("");
    say("| cache | whole job, wall |");
    say("| --- | ---: |");
    say(format("| empty (decodes the film) | %.1f s |", cold));
    say(format("| holds the film's peaks and voices (best of three) | %.2f s |", warm));
    say(format("| holds the peaks only (decodes once for the voices) | %.1f s |", peaksOnly));
    say("");
    say("Its summary line: `" + line + "`");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (!HaveSpeechTools()) {
        std::fprintf(stderr, "sync_bench needs ffmpeg and espeak-ng\n");
        return 1;
    }
    QDir().mkpath(Folder);
    double load[3] = {};
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = -1;
        std::fclose(f);
    }
    say(format("# Synchronisation benchmark (load average %.1f at the start)", load[0]));
    say("");
    accuracy();
    pointSync();
    twoHours(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    std::ofstream(QString(TESSEL_BENCH_OUT "/sync-report.md").toStdString()) << report.str();
    return 0;
}
