#pragma once
#include <QString>
#include <cstdint>
#include <vector>

// Films with speech at known times, for the synchronisation's tests and
// benchmark: espeak-ng utterances placed over noise and, if asked, music,
// muxed with ffmpeg under a small picture. Each utterance comes with the
// subtitle a subtitler would give it: starting a little before the voice,
// staying on some time after it, never into the next one.
namespace tessel::test {

struct Span {
    int64_t start = 0; // milliseconds
    int64_t end = 0;
};

struct SpeechFilmPlan {
    QString name; // the film's file name in the folder (".mkv", ".mp4"...)
    double seconds = 45;
    uint32_t seed = 1;
    double music = 0; // the music's loudness beside the voices' (0: none)
    double noise = 0.03; // the noise's loudness beside the voices'
    double fps = 25;
    QString audioCodec = QStringLiteral("aac");
    // Shares of utterances left without a subtitle (voices in the
    // background) and of subtitles with no voice (signs).
    double unsubtitled = 0.06;
    double voiceless = 0.03;
    // Words in a sentence, the pause between two (seconds), and the share of
    // pauses that are scenes without words (4 to 18 s).
    int fewestWords = 2, mostWords = 13;
    double shortestPause = 0.25, longestPause = 2.45;
    double longPauses = 0.1;
};

struct SpeechLine {
    Span speech; // where the voice is heard; empty for a sign
    Span subtitle;
    bool subtitled = true;
};

struct SpeechFilm {
    QString path; // empty when it could not be made
    std::vector<SpeechLine> lines; // in order of time
    // The subtitles alone, in order.
    std::vector<Span> subtitles() const;
};

// ffmpeg and espeak-ng are both installed.
bool HaveSpeechTools();

// Makes the film, once: a film of that name with its lines beside it
// (NAME.lines) is taken as made by the same plan. Several processes may ask
// at once: one makes it, the others wait.
SpeechFilm MakeSpeechFilm(const SpeechFilmPlan& plan, const QString& folder);

// The tests' film: three minutes of voices over noise and quiet music at 25 fps,
// made once for every test process in the build tree. Empty path when
// ffmpeg or espeak-ng is missing.
const SpeechFilm& TestSpeechFilm();

// A film's subtitles damaged as downloaded files are: shifted; shifted and
// timed for a 25 fps release (a film at 23.976 shows them 25/23.976 too
// early); timed to a cut with 20 s more in the middle (with the lines of the
// scene this film lacks); all three. The truth of each line is its start in
// the film, or -1 for a line of the missing scene.
enum class Damage { None, Shift, Stretch, Cut, All };
struct DamagedSubtitles {
    std::vector<Span> spans;
    std::vector<int64_t> truth;
};
DamagedSubtitles DamageSubtitles(const std::vector<Span>& subtitles, Damage damage, int64_t shiftMs, uint32_t seed);

// A SubRip file of the spans ("line 1", "line 2"...); returns its path.
QString WriteSubRip(const std::vector<Span>& spans, const QString& path);

} // namespace tessel::test
