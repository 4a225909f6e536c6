#include "speech_films.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace tessel::test {
namespace {

constexpr int Rate = 48000;
constexpr double Pi = 3.14159265358979323846;

const char* const Words[] = { "the", "time", "people", "way", "year", "day", "thing", "man", "world", "life", "hand",
    "part", "child", "eye", "woman", "place", "work", "week", "case", "point", "number", "group", "problem", "fact",
    "have", "do", "say", "get", "make", "go", "know", "take", "see", "come", "think", "look", "want", "give", "use",
    "find", "tell", "ask", "seem", "feel", "try", "leave", "call", "good", "new", "first", "last", "long", "great",
    "little", "own", "other", "old", "right", "big", "high", "different", "small", "large", "next", "early", "young",
    "important", "few", "public", "bad", "same", "able", "river", "window", "morning", "station", "money", "doctor",
    "yesterday", "never", "always", "maybe", "quickly", "tonight", "listen", "remember", "promise", "captain", "mother",
    "garden", "letter", "answer", "silver", "minute", "follow", "wonderful", "terrible", "nothing", "everybody",
    "tomorrow", "together", "already", "inside", "outside", "forget", "believe", "understand" };

const char* const Voices[] = { "en", "en-us", "en-gb-x-rp", "en+f3", "en-us+m3", "en+f2", "en-gb-scotland", "en+m4" };

struct Utterance {
    QString text;
    std::vector<float> samples; // mono, at Rate
};

std::vector<int16_t> readWav(const QString& path, int& rate)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    std::vector<int16_t> samples;
    rate = 0;
    for (int at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        uint32_t size = 0;
        std::memcpy(&size, bytes.constData() + at + 4, 4);
        // espeak-ng leaves the sizes of a file it streams at their maximum.
        const int end = static_cast<int>(std::min<int64_t>(int64_t(at) + 8 + size, bytes.size()));
        if (id == "fmt " && end - at >= 16) std::memcpy(&rate, bytes.constData() + at + 12, 4);
        if (id == "data") {
            samples.resize(size_t(end - at - 8) / 2);
            std::memcpy(samples.data(), bytes.constData() + at + 8, samples.size() * 2);
            break;
        }
        at = end + (size & 1);
    }
    return samples;
}

// To the mixing rate; linear is enough for a voice heard by a detector.
std::vector<float> resample(const std::vector<int16_t>& in, int rate)
{
    if (in.empty() || rate <= 0) return {};
    const size_t count = size_t(double(in.size()) * Rate / rate);
    std::vector<float> out(count);
    for (size_t i = 0; i < count; ++i) {
        const double x = double(i) * rate / Rate;
        const size_t k = std::min(size_t(x), in.size() - 1);
        const double f = x - double(k);
        const double next = k + 1 < in.size() ? in[k + 1] : in[k];
        out[i] = float(((1 - f) * in[k] + f * next) / 32768.0);
    }
    return out;
}

// One espeak-ng call for many sentences, told apart by the long breaks put
// between them.
std::vector<Utterance> speak(
    const std::vector<QString>& sentences, const QString& voice, int speed, int pitch, const QString& folder, int batch)
{
    QString ssml = QStringLiteral("<speak>");
    for (const QString& sentence : sentences)
        ssml += sentence + QStringLiteral(". <break time=\"1500ms\"/> ");
    ssml += QStringLiteral("</speak>");
    const QString wav = QDir(folder).filePath(QStringLiteral("speech-%1.wav").arg(batch));
    QProcess process;
    process.start(QStringLiteral("espeak-ng"),
        { QStringLiteral("-m"), QStringLiteral("-v"), voice, QStringLiteral("-s"), QString::number(speed),
            QStringLiteral("-p"), QString::number(pitch), QStringLiteral("-w"), wav, ssml });
    if (!process.waitForFinished(120000) || process.exitCode() != 0) return {};
    int rate = 0;
    const std::vector<int16_t> samples = readWav(wav, rate);
    QFile::remove(wav);
    if (rate <= 0) return {};
    // Sentences are what lies between runs of silence of 0.8 s and more.
    const size_t gap = size_t(rate) * 8 / 10;
    std::vector<std::pair<size_t, size_t>> pieces;
    size_t quiet = 0, start = SIZE_MAX, last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) < 300) {
            if (++quiet == gap && start != SIZE_MAX) {
                pieces.emplace_back(start, last + 1);
                start = SIZE_MAX;
            }
            continue;
        }
        quiet = 0;
        if (start == SIZE_MAX) start = i;
        last = i;
    }
    if (start != SIZE_MAX) pieces.emplace_back(start, last + 1);
    if (pieces.size() != sentences.size()) return {};
    std::vector<Utterance> utterances;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::vector<int16_t> piece(
            samples.begin() + long(pieces[i].first), samples.begin() + long(pieces[i].second));
        utterances.push_back({ sentences[i], resample(piece, rate) });
    }
    return utterances;
}

// A tune of plucked notes over a bass, a pad and a drum kit: tonal and
// rhythmic, what a speech detector most easily takes for a voice.
void addMusic(std::vector<float>& left, std::vector<float>& right, double level, std::mt19937& random)
{
    if (level <= 0) return;
    const double beat = 60.0 / std::uniform_real_distribution<double>(92, 128)(random);
    const int scale[] = { 0, 2, 4, 7, 9, 12, 14, 16 };
    const double root = 220.0;
    std::uniform_int_distribution<int> degree(0, 7);
    std::uniform_real_distribution<double> noise(-1, 1);
    const size_t length = left.size();
    const size_t beatSamples = size_t(beat * Rate);
    int chord = 0;
    for (size_t b = 0; b * beatSamples < length; ++b) {
        const size_t at = b * beatSamples;
        if (b % 8 == 0) chord = std::uniform_int_distribution<int>(0, 3)(random);
        const double chordRoot = root / 2 * std::pow(2.0, scale[chord * 2 % 8] / 12.0);
        // A melody note on most beats, sometimes two.
        const int notes = random() % 4 == 0 ? 2 : (random() % 5 == 0 ? 0 : 1);
        for (int n = 0; n < notes; ++n) {
            const double f = root * std::pow(2.0, scale[degree(random)] / 12.0);
            const size_t begin = at + size_t(n) * beatSamples / 2;
            const size_t count = std::min(beatSamples, length > begin ? length - begin : 0);
            for (size_t i = 0; i < count; ++i) {
                const double t = double(i) / Rate;
                const double envelope = std::min(1.0, t / 0.01) * std::exp(-t * 4);
                double v = 0;
                for (int h = 1; h <= 6; ++h)
                    v += std::sin(2 * Pi * f * h * t) / h;
                left[begin + i] += float(level * 0.5 * envelope * v * 0.7);
                right[begin + i] += float(level * 0.5 * envelope * v * 0.4);
            }
        }
        for (size_t i = 0; i < beatSamples && at + i < length; ++i) {
            const double t = double(at + i) / Rate;
            const double local = double(i) / Rate;
            // Pad: the chord held.
            double pad = 0;
            for (const double ratio : { 1.0, 1.26, 1.5 })
                pad += std::sin(2 * Pi * chordRoot * ratio * t);
            // Kick on every other beat, hat on the rest.
            double drum = 0;
            if (b % 2 == 0)
                drum = std::sin(2 * Pi * (50 + 100 * std::exp(-local * 30)) * local) * std::exp(-local * 12);
            else if (local < 0.04)
                drum = noise(random) * 0.5 * std::exp(-local * 80);
            const double bass = std::sin(2 * Pi * chordRoot / 2 * t) * std::exp(-local * 3);
            const double v = level * (0.12 * pad + 0.6 * drum + 0.35 * bass);
            left[at + i] += float(v);
            right[at + i] += float(v);
        }
    }
}

void addNoise(std::vector<float>& left, std::vector<float>& right, double level, std::mt19937& random)
{
    if (level <= 0) return;
    std::normal_distribution<double> white(0, 1);
    // Pinkish: white noise through two slow poles, as a room's hum and hiss.
    double a = 0, b = 0;
    for (size_t i = 0; i < left.size(); ++i) {
        const double w = white(random);
        a = 0.97 * a + 0.03 * w * 6;
        b = 0.6 * b + 0.4 * w;
        const float v = float(level * 0.25 * (a + 0.5 * b));
        left[i] += v;
        right[i] += v * 0.9f;
    }
}

bool writeFloatWav(const QString& path, const std::vector<float>& left, const std::vector<float>& right)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const uint32_t frames = uint32_t(left.size());
    const uint32_t dataSize = frames * 8;
    auto u32 = [&](uint32_t v) { file.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { file.write(reinterpret_cast<const char*>(&v), 2); };
    file.write("RIFF");
    u32(36 + dataSize);
    file.write("WAVEfmt ");
    u32(16);
    u16(3); // IEEE float
    u16(2);
    u32(Rate);
    u32(Rate * 8);
    u16(8);
    u16(32);
    file.write("data");
    u32(dataSize);
    std::vector<float> interleaved(size_t(frames) * 2);
    for (size_t i = 0; i < frames; ++i) {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
    }
    return file.write(reinterpret_cast<const char*>(interleaved.data()), qint64(interleaved.size() * 4))
        == qint64(interleaved.size() * 4);
}

QString sidecar(const QString& film) { return film + QStringLiteral(".lines"); }

bool readLines(const QString& film, SpeechFilm& made)
{
    QFile file(sidecar(film));
    if (!QFileInfo::exists(film) || !file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split(QLatin1Char(' '));
        if (fields.size() != 5) return false;
        made.lines.push_back({ { fields[0].toLongLong(), fields[1].toLongLong() },
            { fields[2].toLongLong(), fields[3].toLongLong() }, fields[4] == QLatin1String("1") });
    }
    made.path = film;
    return !made.lines.empty();
}

void writeLines(const SpeechFilm& made)
{
    QFile file(sidecar(made.path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return;
    QTextStream out(&file);
    for (const SpeechLine& line : made.lines)
        out << line.speech.start << ' ' << line.speech.end << ' ' << line.subtitle.start << ' ' << line.subtitle.end
            << ' ' << (line.subtitled ? 1 : 0) << '\n';
}

} // namespace

const SpeechFilm& TestSpeechFilm()
{
#ifdef TESSEL_TEST_MEDIA
    const QString folder = QStringLiteral(TESSEL_TEST_MEDIA);
#else
    const QString folder = QDir::tempPath() + QStringLiteral("/tessel-test-media");
#endif
    static const SpeechFilm film = [&] {
        SpeechFilmPlan plan;
        plan.name = QStringLiteral("voices-180s-v2.mkv");
        plan.seconds = 180;
        plan.seed = 5;
        plan.music = 0.4;
        plan.noise = 0.03;
        // Lively dialogue: some eighty lines, so that each side of a cut in
        // the middle stands out of chance fits.
        plan.mostWords = 6;
        plan.longestPause = 1.2;
        plan.longPauses = 0;
        return MakeSpeechFilm(plan, folder);
    }();
    return film;
}

QString WriteSubRip(const std::vector<Span>& spans, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return {};
    QTextStream out(&file);
    auto clock = [](int64_t ms) {
        ms = std::max<int64_t>(ms, 0);
        return QStringLiteral("%1:%2:%3,%4")
            .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
            .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
            .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
            .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    };
    for (size_t i = 0; i < spans.size(); ++i)
        out << i + 1 << '\n' << clock(spans[i].start) << " --> " << clock(spans[i].end) << "\nline " << i + 1 << "\n\n";
    return path;
}

DamagedSubtitles DamageSubtitles(const std::vector<Span>& subtitles, Damage damage, int64_t shiftMs, uint32_t seed)
{
    DamagedSubtitles d;
    std::mt19937 random(seed);
    const bool cut = damage == Damage::Cut || damage == Damage::All;
    const size_t cutAt = subtitles.size() / 2;
    for (size_t i = 0; i < subtitles.size(); ++i) {
        Span span = subtitles[i];
        if (cut && i == cutAt) {
            // The scene this film lacks: 20 s, its own lines in it.
            const int64_t from = i > 0 ? subtitles[i - 1].end + 600 : 0;
            for (int64_t at = from; at + 3500 < from + 20000;) {
                const int64_t length = 1200 + int64_t(random() % 2000);
                d.spans.push_back({ at, at + length });
                d.truth.push_back(-1);
                at += length + 400 + int64_t(random() % 1500);
            }
        }
        if (cut && i >= cutAt) {
            span.start += 20000;
            span.end += 20000;
        }
        d.spans.push_back(span);
        d.truth.push_back(subtitles[i].start);
    }
    const double ratio = damage == Damage::Stretch || damage == Damage::All ? (24000.0 / 1001) / 25 : 1;
    const int64_t shift = damage == Damage::None ? 0 : shiftMs;
    for (Span& span : d.spans) {
        span.start = std::llround(double(span.start) * ratio) + shift;
        span.end = std::llround(double(span.end) * ratio) + shift;
    }
    return d;
}

std::vector<Span> SpeechFilm::subtitles() const
{
    std::vector<Span> spans;
    for (const SpeechLine& line : lines)
        if (line.subtitled) spans.push_back(line.subtitle);
    return spans;
}

bool HaveSpeechTools()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty();
}

SpeechFilm MakeSpeechFilm(const SpeechFilmPlan& plan, const QString& folder)
{
    SpeechFilm made;
    QDir().mkpath(folder);
    const QString film = QDir(folder).filePath(plan.name);
    QLockFile lock(film + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    if (!lock.lock()) return made;
    if (readLines(film, made)) return made;
    made = {};
    if (!HaveSpeechTools()) return made;
    std::mt19937 random(plan.seed);
    const int64_t length = int64_t(plan.seconds * 1000);
    std::vector<float> left(size_t(plan.seconds * Rate)), right(left.size());
    std::vector<Utterance> pool;
    int batch = 0;
    std::uniform_real_distribution<double> unit(0, 1);
    int64_t at = 1000 + int64_t(unit(random) * 2000);
    while (at < length - 2000) {
        if (pool.empty()) {
            std::vector<QString> sentences;
            for (int s = 0; s < 24; ++s) {
                QStringList words;
                const int count = std::uniform_int_distribution<int>(plan.fewestWords, plan.mostWords)(random);
                for (int w = 0; w < count; ++w)
                    words << QString::fromLatin1(Words[random() % std::size(Words)]);
                sentences.push_back(words.join(QLatin1Char(' ')));
            }
            const QString voice = QString::fromLatin1(Voices[random() % std::size(Voices)]);
            const int speed = std::uniform_int_distribution<int>(135, 185)(random);
            const int pitch = std::uniform_int_distribution<int>(25, 75)(random);
            pool = speak(sentences, voice, speed, pitch, folder, batch++);
            if (pool.empty()) return {};
            std::reverse(pool.begin(), pool.end());
        }
        Utterance u = std::move(pool.back());
        pool.pop_back();
        const int64_t duration = int64_t(u.samples.size()) * 1000 / Rate;
        if (at + duration > length - 500) break;
        const size_t first = size_t(at) * Rate / 1000;
        for (size_t i = 0; i < u.samples.size() && first + i < left.size(); ++i) {
            left[first + i] += u.samples[i];
            right[first + i] += u.samples[i];
        }
        SpeechLine line;
        line.speech = { at, at + duration };
        line.subtitled = unit(random) >= plan.unsubtitled;
        made.lines.push_back(line);
        // Mostly a breath between lines, sometimes a scene without words.
        const double pause = unit(random) < plan.longPauses
            ? 4 + unit(random) * 14
            : plan.shortestPause + unit(random) * (plan.longestPause - plan.shortestPause);
        at += duration + int64_t(pause * 1000);
        if (unit(random) < plan.voiceless && at < length - 5000) {
            // A sign to read in the pause, away from the voices.
            SpeechLine sign;
            sign.speech = { at, at };
            made.lines.push_back(sign);
            at += 2500;
        }
    }
    // Subtitles as a subtitler times them: in a little early, out late for
    // reading, two frames before the next.
    const int64_t twoFrames = int64_t(2000 / plan.fps);
    for (size_t i = 0; i < made.lines.size(); ++i) {
        SpeechLine& line = made.lines[i];
        const bool sign = line.speech.end == line.speech.start;
        line.subtitle.start = line.speech.start - int64_t(unit(random) * 120);
        line.subtitle.end = sign ? line.speech.start + 2000 : line.speech.end + 300 + int64_t(unit(random) * 700);
        if (sign) line.speech = {};
        for (size_t j = i + 1; j < made.lines.size(); ++j) {
            if (!made.lines[j].subtitled) continue;
            const int64_t nextStart = made.lines[j].speech.end == made.lines[j].speech.start
                ? made.lines[j].speech.start
                : made.lines[j].speech.start - 120;
            line.subtitle.end = std::min(line.subtitle.end, nextStart - twoFrames);
            break;
        }
        line.subtitle.end = std::max(line.subtitle.end, line.subtitle.start + 500);
    }
    addMusic(left, right, plan.music * 0.25, random);
    addNoise(left, right, plan.noise, random);
    const QString wav = film + QStringLiteral(".wav");
    if (!writeFloatWav(wav, left, right)) return {};
    const QString size = QStringLiteral("160x90");
    const QString rate = std::abs(plan.fps - 24000.0 / 1001) < 0.01 ? QStringLiteral("24000/1001")
        : std::abs(plan.fps - 30000.0 / 1001) < 0.01                ? QStringLiteral("30000/1001")
                                                                    : QString::number(plan.fps);
    QStringList arguments { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
        QStringLiteral("color=c=0x305070:s=%1:r=%2").arg(size, rate), QStringLiteral("-i"), wav,
        QStringLiteral("-shortest"), QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
        QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-c:a"),
        plan.audioCodec, film };
    const int status = QProcess::execute(QStringLiteral("ffmpeg"), arguments);
    QFile::remove(wav);
    if (status != 0) return {};
    made.path = film;
    writeLines(made);
    return made;
}

} // namespace tessel::test
