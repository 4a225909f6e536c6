#include "tools/reading_profile.h"

#include "core/numbers.h"
#include "core/text_utils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace tessel {
namespace {

// Bounds that keep every frame count well inside 32 bits at any framerate.
constexpr double MaxSeconds = 86400;
constexpr double MaxFrames = 10000000;
constexpr double MaxCharsPerSecond = 1000;
constexpr int MaxCharacters = 100000;
constexpr qint64 MaxFileBytes = 1 << 20;
// Frame counts computed from seconds land a hair off whole numbers
// (5/6 s at 24 fps); this much is taken as exact.
constexpr long double FrameTolerance = 1e-9L;

TimeSpan span(double value, bool inFrames, const char* text) { return TimeSpan { value, inFrames, text }; }

ReadingProfile netflix(const char* name, double charsPerSecond)
{
    ReadingProfile p;
    p.name = name;
    p.maxCharsPerSecond = charsPerSecond;
    p.maxCharsPerLine = 42;
    p.maxLines = 2;
    p.minDuration = span(5.0 / 6.0, false, "5/6 s");
    p.maxDuration = span(7, false, "7 s");
    p.minGap = span(2, true, "2 frames");
    // Half a second: 12 frames at 24 fps, 15 at 30, as the rules scale them.
    p.shotChangeIn = span(0.5, false, "0.5 s");
    p.shotChangeOut = span(0.5, false, "0.5 s");
    p.shotChangeGap = span(2, true, "2 frames");
    p.origin = "built-in";
    return p;
}

ReadingProfile relaxed()
{
    ReadingProfile p;
    p.name = "Relaxed";
    p.maxCharsPerSecond = 25;
    p.maxCharsPerLine = 43;
    p.maxLines = 2;
    p.minDuration = span(1, false, "1 s");
    p.maxDuration = span(8, false, "8 s");
    p.minGap = span(0.024, false, "0.024 s");
    p.origin = "built-in";
    return p;
}

struct Parser {
    const std::string& path;
    ReadingProfile profile;
    std::vector<std::string> seen;
    int nameLine = 1;
    int minLine = 0, maxLine = 0;

    [[noreturn]] void fail(int line, const std::string& message) const { throw ProfileProblem { path, line, message }; }

    double number(int line, const std::string& key, const std::string& value, double low, double high) const
    {
        const std::optional<double> n = TryStrToFloat(value, '.');
        if (!n || !std::isfinite(*n)) fail(line, key + ": '" + value + "' is not a number");
        if (*n < low || *n > high)
            fail(line,
                key + ": " + value + " is not between " + FormatFloatThreeDecimals(low, '.', true) + " and "
                    + FormatFloatThreeDecimals(high, '.', true));
        return *n;
    }

    int whole(int line, const std::string& key, const std::string& value) const
    {
        const std::optional<int32_t> n = TryStrToInt(value);
        if (!n || value.find_first_of("$xX") != std::string::npos)
            fail(line, key + ": '" + value + "' is not a whole number");
        if (*n < 1 || *n > MaxCharacters)
            fail(line, key + ": " + value + " is not between 1 and " + std::to_string(MaxCharacters));
        return *n;
    }

    // "1.5 s", "5/6 s", "20 frames"; `positive` refuses 0.
    TimeSpan time(int line, const std::string& key, const std::string& value, bool positive) const
    {
        size_t unitAt = value.size();
        while (unitAt > 0 && std::isalpha(static_cast<unsigned char>(value[unitAt - 1])))
            --unitAt;
        const std::string amount = TrimBlanks(value.substr(0, unitAt));
        const std::string unit = value.substr(unitAt);
        const bool inFrames = unit == "frames" || unit == "frame";
        if (!inFrames && unit != "s") fail(line, key + ": '" + value + "' needs a unit, \"s\" or \"frames\"");
        const double high = inFrames ? MaxFrames : MaxSeconds;
        double amountValue = 0;
        const size_t slash = amount.find('/');
        if (slash != std::string::npos && !inFrames) {
            const double over = number(line, key, amount.substr(0, slash), 0, high * 1000);
            amountValue = over / number(line, key, amount.substr(slash + 1), 1, 1000);
        } else {
            amountValue = number(line, key, amount, 0, high);
        }
        if (inFrames && amountValue != std::floor(amountValue))
            fail(line, key + ": frames are counted whole, not '" + amount + "'");
        if (amountValue > high) fail(line, key + ": '" + value + "' is longer than a day");
        if (positive && amountValue <= 0) fail(line, key + ": '" + value + "' must be above 0");
        const char* unitText = !inFrames ? "s" : amountValue == 1 ? "frame" : "frames";
        return TimeSpan { amountValue, inFrames, amount + ' ' + unitText };
    }

    bool yesNo(int line, const std::string& key, const std::string& value) const
    {
        if (value == "yes" || value == "true") return true;
        if (value == "no" || value == "false") return false;
        fail(line, key + ": '" + value + "' is neither yes nor no");
    }

    void set(int line, const std::string& key, const std::string& value)
    {
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) fail(line, key + " is given twice");
        seen.push_back(key);
        if (key == "name") {
            if (value.empty()) fail(line, "name is empty");
            profile.name = value;
            nameLine = line;
        } else if (key == "max-chars-per-second") {
            profile.maxCharsPerSecond = number(line, key, value, 0, MaxCharsPerSecond);
            if (*profile.maxCharsPerSecond <= 0) fail(line, key + ": " + value + " must be above 0");
        } else if (key == "max-chars-per-line") {
            profile.maxCharsPerLine = whole(line, key, value);
        } else if (key == "max-lines") {
            profile.maxLines = whole(line, key, value);
        } else if (key == "min-duration") {
            profile.minDuration = time(line, key, value, false);
            minLine = line;
        } else if (key == "max-duration") {
            profile.maxDuration = time(line, key, value, true);
            maxLine = line;
        } else if (key == "min-gap") {
            profile.minGap = time(line, key, value, false);
        } else if (key == "count-spaces-and-punctuation") {
            profile.countSpacesAndPunctuation = yesNo(line, key, value);
        } else if (key == "shot-change-in") {
            profile.shotChangeIn = time(line, key, value, false);
        } else if (key == "shot-change-out") {
            profile.shotChangeOut = time(line, key, value, false);
        } else if (key == "shot-change-gap") {
            profile.shotChangeGap = time(line, key, value, false);
        } else if (key == "max-translation-ratio") {
            profile.maxTranslationRatio = number(line, key, value, 0, 100);
            if (*profile.maxTranslationRatio <= 0) fail(line, key + ": " + value + " must be above 0");
        } else {
            fail(line, "unknown key '" + key + "'");
        }
    }

    void parseLine(int line, std::string_view text)
    {
        const std::string trimmed = TrimBlanks(text);
        if (trimmed.empty() || trimmed[0] == '#') return;
        const size_t equals = trimmed.find('=');
        if (equals == std::string::npos) fail(line, "'" + trimmed + "' is not \"key = value\"");
        set(line, TrimBlanks(trimmed.substr(0, equals)), TrimBlanks(trimmed.substr(equals + 1)));
    }

    // Durations in different units compare only at a framerate; those are
    // left to the check.
    void checkDurations() const
    {
        const auto& lo = profile.minDuration;
        const auto& hi = profile.maxDuration;
        if (lo && hi && lo->inFrames == hi->inFrames && lo->value > hi->value)
            fail(std::max(minLine, maxLine), "min-duration is above max-duration");
    }
};

std::string defaultName(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).completeBaseName().toStdString();
}

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

std::string home() { return QDir::homePath().toStdString(); }

void appendLine(std::string& out, const char* key, const std::string& value)
{
    out += key;
    out += " = ";
    out += value;
    out += '\n';
}

std::string decimal(double value) { return FormatFloatThreeDecimals(value, '.', true); }

} // namespace

int64_t TimeSpan::atLeastFrames(double framerate) const
{
    if (inFrames) return static_cast<int64_t>(value);
    return static_cast<int64_t>(std::ceil(static_cast<long double>(value) * framerate - FrameTolerance));
}

int64_t TimeSpan::nearestFrames(double framerate) const
{
    if (inFrames) return static_cast<int64_t>(value);
    return static_cast<int64_t>(std::ceil(static_cast<long double>(value) * framerate - 0.5L - FrameTolerance));
}

int64_t TimeSpan::atMostFrames(double framerate) const
{
    if (inFrames) return static_cast<int64_t>(value);
    return static_cast<int64_t>(std::floor(static_cast<long double>(value) * framerate + FrameTolerance));
}

const std::vector<ReadingProfile>& BuiltInProfiles()
{
    static const std::vector<ReadingProfile> profiles
        = { netflix("Netflix English (adults)", 20), netflix("Netflix English (children)", 17), relaxed() };
    return profiles;
}

std::string ProfileProblem::text() const
{
    return line > 0 ? path + ":" + std::to_string(line) + ": " + message : path + ": " + message;
}

ReadingProfile ParseProfile(std::string_view text, const std::string& path)
{
    Parser parser { path, {}, {} };
    parser.profile.name = defaultName(path);
    parser.profile.origin = path;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int line = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        parser.parseLine(++line, text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    parser.checkDurations();
    if (parser.profile.name.empty()) parser.fail(0, "the profile has no name");
    return parser.profile;
}

ReadingProfile ReadProfileFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!QFileInfo(file).isFile()) throw ProfileProblem { path, 0, "not a file" };
    if (file.size() > MaxFileBytes) throw ProfileProblem { path, 0, "larger than 1 MiB, not a profile" };
    if (!file.open(QIODevice::ReadOnly))
        throw ProfileProblem { path, 0, "cannot be read: " + file.errorString().toStdString() };
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw ProfileProblem { path, 0, "cannot be read: " + file.errorString().toStdString() };
    if (!isUtf8(bytes)) throw ProfileProblem { path, 0, "not UTF-8 text" };
    return ParseProfile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), path);
}

std::string UserProfileFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base = config && config[0] == '/' ? std::string(config) : home() + "/.config";
    return base + "/tessel/profiles";
}

ProfileList LoadProfiles(const std::string& folder)
{
    ProfileList list;
    list.profiles = BuiltInProfiles();
    const QDir dir(QString::fromStdString(folder));
    const QStringList names = dir.entryList({ QStringLiteral("*.profile") }, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& name : names) {
        const std::string path = dir.filePath(name).toStdString();
        try {
            ReadingProfile profile = ReadProfileFile(path);
            if (const ReadingProfile* taken = FindProfile(list, profile.name))
                throw ProfileProblem { path, 0, "the name '" + profile.name + "' is taken by " + taken->origin };
            list.profiles.push_back(std::move(profile));
        } catch (const ProfileProblem& problem) {
            list.problems.push_back(problem);
        }
    }
    return list;
}

const ReadingProfile* FindProfile(const ProfileList& list, std::string_view name)
{
    for (const ReadingProfile& profile : list.profiles)
        if (profile.name == name) return &profile;
    return nullptr;
}

std::string ProfileFileText(const ReadingProfile& p)
{
    std::string out = "# " + p.origin + "\n";
    appendLine(out, "name", p.name);
    if (p.maxCharsPerSecond) appendLine(out, "max-chars-per-second", decimal(*p.maxCharsPerSecond));
    if (p.maxCharsPerLine) appendLine(out, "max-chars-per-line", std::to_string(*p.maxCharsPerLine));
    if (p.maxLines) appendLine(out, "max-lines", std::to_string(*p.maxLines));
    if (p.minDuration) appendLine(out, "min-duration", p.minDuration->text);
    if (p.maxDuration) appendLine(out, "max-duration", p.maxDuration->text);
    if (p.minGap) appendLine(out, "min-gap", p.minGap->text);
    appendLine(out, "count-spaces-and-punctuation", p.countSpacesAndPunctuation ? "yes" : "no");
    if (p.maxTranslationRatio) appendLine(out, "max-translation-ratio", decimal(*p.maxTranslationRatio));
    if (p.shotChangeIn) appendLine(out, "shot-change-in", p.shotChangeIn->text);
    if (p.shotChangeOut) appendLine(out, "shot-change-out", p.shotChangeOut->text);
    if (p.shotChangeGap) appendLine(out, "shot-change-gap", p.shotChangeGap->text);
    return out;
}

std::string ProfileSummary(const ReadingProfile& p)
{
    std::vector<std::string> parts;
    if (p.maxCharsPerSecond)
        parts.push_back(decimal(*p.maxCharsPerSecond) + " characters/s"
            + (p.countSpacesAndPunctuation ? "" : " (spaces and punctuation not counted)"));
    if (p.maxCharsPerLine) parts.push_back(std::to_string(*p.maxCharsPerLine) + " characters a line");
    if (p.maxLines) parts.push_back(std::to_string(*p.maxLines) + (*p.maxLines == 1 ? " line" : " lines"));
    if (p.minDuration) parts.push_back("at least " + p.minDuration->text);
    if (p.maxDuration) parts.push_back("at most " + p.maxDuration->text);
    if (p.minGap) parts.push_back("gap " + p.minGap->text);
    const std::string gap = p.shotChangeGap ? p.shotChangeGap->text : std::string("2 frames");
    if (p.shotChangeIn && p.shotChangeOut && p.shotChangeIn->text == p.shotChangeOut->text)
        parts.push_back("starts and ends within " + p.shotChangeIn->text + " of a shot change go onto it (ends: or "
            + gap + " before)");
    else {
        if (p.shotChangeIn) parts.push_back("starts within " + p.shotChangeIn->text + " of a shot change go onto it");
        if (p.shotChangeOut)
            parts.push_back(
                "ends within " + p.shotChangeOut->text + " of a shot change go onto it or " + gap + " before");
    }
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : ", ") + part;
    return out.empty() ? "no limits" : out;
}

} // namespace tessel
