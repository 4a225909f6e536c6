#include "picture/shot_list.h"

#include "core/errors.h"
#include "core/text_utils.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <optional>

namespace tessel {
namespace {

constexpr qint64 LargestList = qint64(16) << 20;
// No film runs past a day at 120 frames a second.
constexpr double MostFrames = 86400.0 * 120;
const std::string EditsHeader = "tessel shot-change edits 1";

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<double> number(std::string_view text)
{
    const size_t separator = text.find_first_of(".,");
    if (separator == std::string_view::npos)
        return allDigits(text) && text.size() <= 12 ? std::optional<double>(std::stod(std::string(text)))
                                                    : std::nullopt;
    const std::string_view whole = text.substr(0, separator), fraction = text.substr(separator + 1);
    if (!allDigits(whole) || !allDigits(fraction) || whole.size() > 12 || fraction.size() > 12) return std::nullopt;
    return std::stod(std::string(whole) + '.' + std::string(fraction));
}

// Seconds of "62.04", "62,04", "62.04 s", "62s", "1:02.040" or "00:01:02,040".
std::optional<double> seconds(std::string_view text)
{
    if (!text.empty() && text.back() == 's') {
        text.remove_suffix(1);
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
    }
    double minutes = 0; // hours and minutes, in minutes
    int parts = 0;
    for (size_t colon; (colon = text.find(':')) != std::string_view::npos; text.remove_prefix(colon + 1)) {
        const std::string_view part = text.substr(0, colon);
        if (!allDigits(part) || part.size() > 6 || ++parts > 2) return std::nullopt;
        minutes = minutes * 60 + std::stod(std::string(part));
    }
    const std::optional<double> rest = number(text);
    if (!rest || (parts > 0 && *rest >= 60)) return std::nullopt;
    return minutes * 60 + *rest;
}

std::optional<int64_t> cutOf(std::string_view value, double fps)
{
    if (allDigits(value)) {
        if (value.size() > 12) return std::nullopt;
        const double frame = std::stod(std::string(value));
        return frame <= MostFrames ? std::optional<int64_t>(int64_t(frame)) : std::nullopt;
    }
    const std::optional<double> s = seconds(value);
    if (!s || *s * fps > MostFrames) return std::nullopt;
    return std::llround(*s * fps);
}

void normalise(std::vector<int64_t>& cuts)
{
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
}

std::vector<int64_t> difference(const std::vector<int64_t>& a, const std::vector<int64_t>& b)
{
    std::vector<int64_t> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

std::string timeText(int64_t frame, double fps)
{
    const int64_t ms = std::llround(double(frame) * 1000 / fps);
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02d:%02d.%03d", static_cast<long long>(ms / 3600000),
        int(ms / 60000 % 60), int(ms / 1000 % 60), int(ms % 1000));
    return text;
}

} // namespace

std::vector<int64_t> ParseShotList(std::string_view text, double fps, const std::string& name)
{
    if (!(fps > 0)) throw Error("Shot changes need the film's frame rate.");
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<int64_t> cuts;
    int line = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string value = TrimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++line;
        if (value.empty() || value[0] == '#') continue;
        const std::optional<int64_t> cut = cutOf(value, fps);
        if (!cut)
            throw Error(name + ":" + std::to_string(line) + ": '" + value.substr(0, 60)
                + "' is neither a frame number nor a time");
        cuts.push_back(*cut);
    }
    normalise(cuts);
    return cuts;
}

std::vector<int64_t> ReadShotList(const std::string& path, double fps)
{
    QFile file(QString::fromStdString(path));
    if (!QFileInfo(file).isFile()) throw Error("\"" + path + "\" is not a file.");
    if (file.size() > LargestList) throw Error("\"" + path + "\" is larger than 16 MiB, not a list of shot changes.");
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Cannot read \"" + path + "\": " + file.errorString().toStdString() + ".");
    const QByteArray bytes = file.read(LargestList + 1);
    if (file.error() != QFileDevice::NoError)
        throw Error("Cannot read \"" + path + "\": " + file.errorString().toStdString() + ".");
    return ParseShotList(std::string_view(bytes.constData(), size_t(bytes.size())), fps, path);
}

bool LooksLikeShotList(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!QFileInfo(file).isFile() || file.size() > LargestList || !file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(4096);
    return std::all_of(head.begin(), head.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 || c == '\n' || c == '\r' || c == '\t' || byte >= 0x80;
    });
}

std::string ShotListText(const std::vector<int64_t>& cuts, double fps, bool asTimes)
{
    std::string out;
    for (int64_t cut : cuts) {
        out += asTimes ? timeText(cut, fps) : std::to_string(cut);
        out += '\n';
    }
    return out;
}

std::vector<int64_t> ConvertCuts(const std::vector<int64_t>& cuts, double from, double to)
{
    if (!(from > 0) || !(to > 0) || std::abs(from - to) <= 1e-9 * to) return cuts;
    std::vector<int64_t> out;
    out.reserve(cuts.size());
    for (int64_t cut : cuts)
        out.push_back(std::llround(double(cut) * to / from));
    normalise(out);
    return out;
}

std::vector<int64_t> ShotEdits::apply(const std::vector<int64_t>& detected) const
{
    if (replaced) return added;
    std::vector<int64_t> all;
    std::set_union(detected.begin(), detected.end(), added.begin(), added.end(), std::back_inserter(all));
    return difference(all, removed);
}

ShotEdits ShotEdits::towards(const std::vector<int64_t>& detected, const std::vector<int64_t>& wanted) const
{
    ShotEdits edits;
    edits.replaced = replaced;
    if (replaced) {
        edits.added = wanted;
        return edits;
    }
    edits.added = difference(wanted, detected);
    edits.removed = difference(detected, wanted);
    // Removals of cuts a later detection may find again stay removed.
    std::vector<int64_t> kept = difference(removed, wanted);
    std::vector<int64_t> merged;
    std::set_union(edits.removed.begin(), edits.removed.end(), kept.begin(), kept.end(), std::back_inserter(merged));
    edits.removed = std::move(merged);
    return edits;
}

std::string ShotEdits::encode() const
{
    std::string out = EditsHeader + "\n";
    if (replaced) out += "replaced\n";
    for (int64_t cut : added)
        out += "+" + std::to_string(cut) + "\n";
    for (int64_t cut : removed)
        out += "-" + std::to_string(cut) + "\n";
    return out;
}

ShotEdits ShotEdits::Decode(std::string_view text)
{
    ShotEdits edits;
    const size_t first = text.find('\n');
    if (text.substr(0, first) != EditsHeader) throw Error("not a list of shot-change edits");
    text.remove_prefix(first == std::string_view::npos ? text.size() : first + 1);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line == "replaced") {
            edits.replaced = true;
            continue;
        }
        if (line.size() < 2 || (line[0] != '+' && line[0] != '-') || !allDigits(line.substr(1)) || line.size() > 13)
            throw Error("a damaged list of shot-change edits");
        (line[0] == '+' ? edits.added : edits.removed).push_back(std::stoll(std::string(line.substr(1))));
    }
    normalise(edits.added);
    normalise(edits.removed);
    edits.removed = difference(edits.removed, edits.added);
    return edits;
}

bool ShotEdits::operator==(const ShotEdits& other) const
{
    return replaced == other.replaced && added == other.added && removed == other.removed;
}

} // namespace tessel
