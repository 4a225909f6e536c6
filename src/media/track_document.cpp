#include "media/track_document.h"

#include "core/errors.h"
#include "core/numbers.h"

#include <QFileInfo>
#include <algorithm>
#include <map>

namespace tessel {
namespace {

// The packets' end: their own duration, else the next one's start (or two seconds).
int64_t endOf(const TrackPackets& track, size_t i)
{
    const SubtitlePacket& p = track.packets[i];
    if (p.durationMs >= 0) return p.startMs + p.durationMs;
    return i + 1 < track.packets.size() ? std::max(track.packets[i + 1].startMs, p.startMs) : p.startMs + 2000;
}

std::string clock(int64_t ms, char separator, bool hundredths)
{
    ms = std::max<int64_t>(ms, 0);
    std::string out = (hundredths ? IntToStr(ms / 3600000) : FormatInt(ms / 3600000, 2)) + ":"
        + FormatInt(ms / 60000 % 60, 2) + ":" + FormatInt(ms / 1000 % 60, 2) + separator;
    return out + (hundredths ? FormatInt((ms % 1000) / 10, 2) : FormatInt(ms % 1000, 3));
}

// The text's lines with CRs dropped and empty lines left out: in SubRip and
// WebVTT an empty line would end the cue.
std::string cueText(std::string_view text)
{
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        if (line.find_first_not_of(" \t") != std::string::npos) (out += out.empty() ? "" : "\n") += line;
        start = end + 1;
    }
    return out;
}

// mov_text: a 16-bit length, the UTF-8 text, then boxes; 'styl' gives runs of
// bold, italic and underline by character.
std::string movText(std::string_view data)
{
    if (data.size() < 2) return {};
    const size_t length = std::min<size_t>(
        static_cast<unsigned char>(data[0]) << 8 | static_cast<unsigned char>(data[1]), data.size() - 2);
    const std::string_view text = data.substr(2, length);
    std::vector<size_t> starts; // byte where each character starts
    for (size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    std::map<size_t, std::string> tags; // by byte, closing before opening
    const auto u16 = [](std::string_view s, size_t at) {
        return static_cast<size_t>(static_cast<unsigned char>(s[at]) << 8 | static_cast<unsigned char>(s[at + 1]));
    };
    for (size_t at = 2 + length; at + 8 <= data.size();) {
        const size_t size = static_cast<size_t>(static_cast<unsigned char>(data[at]) << 24
            | static_cast<unsigned char>(data[at + 1]) << 16 | static_cast<unsigned char>(data[at + 2]) << 8
            | static_cast<unsigned char>(data[at + 3]));
        if (size < 8 || at + size > data.size()) break;
        if (data.substr(at + 4, 4) == "styl" && size >= 10) {
            const size_t count = u16(data, at + 8);
            for (size_t k = 0; k < count && at + 10 + (k + 1) * 12 <= at + size; ++k) {
                const size_t entry = at + 10 + k * 12;
                const size_t from = u16(data, entry), to = u16(data, entry + 2);
                const unsigned char face = static_cast<unsigned char>(data[entry + 6]);
                if (from >= to || from >= starts.size()) continue;
                const size_t fromByte = starts[from], toByte = to < starts.size() ? starts[to] : text.size();
                for (const auto& [bit, tag] : { std::pair<int, const char*> { 1, "b" }, { 2, "i" }, { 4, "u" } })
                    if (face & bit) {
                        tags[fromByte] += std::string("<") + tag + ">";
                        tags[toByte].insert(0, std::string("</") + tag + ">");
                    }
            }
        }
        at += size;
    }
    std::string out;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (const auto t = tags.find(i); t != tags.end()) out += t->second;
        if (i < text.size()) out += text[i];
    }
    return out;
}

std::string subRip(const TrackPackets& track, bool movText_)
{
    std::string out;
    int number = 0;
    for (size_t i = 0; i < track.packets.size(); ++i) {
        const std::string text = cueText(movText_ ? movText(track.packets[i].data) : track.packets[i].data);
        if (text.empty()) continue;
        out += std::to_string(++number) + "\n" + clock(track.packets[i].startMs, ',', false) + " --> "
            + clock(endOf(track, i), ',', false) + "\n" + text + "\n\n";
    }
    return out;
}

std::vector<std::string> split(std::string_view text, char by)
{
    std::vector<std::string> out;
    for (size_t at; (at = text.find(by)) != std::string_view::npos; text.remove_prefix(at + 1))
        out.emplace_back(text.substr(0, at));
    out.emplace_back(text);
    return out;
}

std::string trimmed(std::string s)
{
    s.erase(0, s.find_first_not_of(" \t\r"));
    s.erase(s.find_last_not_of(" \t\r") + 1);
    return s;
}

// The script's header with its [Events] Format line, and that line's fields.
std::string scriptHeader(std::string header, std::vector<std::string>& fields)
{
    header.erase(std::remove(header.begin(), header.end(), '\r'), header.end());
    while (!header.empty() && (header.back() == '\n' || header.back() == '\0'))
        header.pop_back();
    const size_t events = header.find("[Events]");
    const size_t format = events == std::string::npos ? events : header.find("\nFormat:", events);
    if (format == std::string::npos) {
        if (events == std::string::npos) header += "\n\n[Events]";
        header += "\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text";
        return scriptHeader(header, fields);
    }
    const size_t lineEnd = header.find('\n', format + 1);
    for (const std::string& name : split(header.substr(format + 8, lineEnd - format - 8), ','))
        fields.push_back(trimmed(name));
    return header;
}

// Matroska keeps an event as "ReadOrder,Layer,Style,Name,...,Text": the
// Format line's fields without Start and End, after the read order.
std::string script(const TrackPackets& track)
{
    std::vector<std::string> fields;
    std::string out = scriptHeader(track.codecPrivate, fields) + "\n";
    const size_t others = static_cast<size_t>(
        std::count_if(fields.begin(), fields.end(), [](const std::string& f) { return f != "Start" && f != "End"; }));
    std::vector<std::pair<long long, std::string>> events;
    for (size_t i = 0; i < track.packets.size(); ++i) {
        std::string_view rest = track.packets[i].data;
        const size_t comma = rest.find(',');
        const long long order = std::atoll(std::string(rest.substr(0, comma)).c_str());
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        std::vector<std::string> values;
        for (size_t k = 0; k + 1 < others; ++k) {
            const size_t at = rest.find(',');
            values.emplace_back(rest.substr(0, at));
            rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
        }
        std::string text(rest);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        std::replace(text.begin(), text.end(), '\n', ' ');
        values.push_back(text);
        std::string line = "Dialogue: ";
        size_t next = 0;
        for (size_t f = 0; f < fields.size(); ++f) {
            if (f) line += ',';
            if (fields[f] == "Start")
                line += clock(track.packets[i].startMs + 5, '.', true);
            else if (fields[f] == "End")
                line += clock(endOf(track, i) + 5, '.', true);
            else
                line += next < values.size() ? values[next++] : std::string();
        }
        events.emplace_back(order, std::move(line));
    }
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& event : events)
        out += event.second + "\n";
    return out;
}

// The header block (with any STYLE and REGION blocks) from the track's
// private data, then the cues; libavformat hands identifiers and settings
// apart from the text.
std::string webVtt(const TrackPackets& track)
{
    std::string out = trimmed(track.codecPrivate);
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    if (out.rfind("WEBVTT", 0) != 0) out = "WEBVTT";
    out += "\n";
    for (size_t i = 0; i < track.packets.size(); ++i) {
        const SubtitlePacket& p = track.packets[i];
        const std::string id = trimmed(p.identifier), settings = trimmed(p.settings);
        const bool idUsable = !id.empty() && id.find("-->") == std::string::npos && id.find('\n') == std::string::npos;
        out += "\n" + (idUsable ? id + "\n" : "") + clock(p.startMs, '.', false) + " --> "
            + clock(endOf(track, i), '.', false) + (settings.empty() ? "" : " " + settings) + "\n" + cueText(p.data)
            + "\n";
    }
    return out;
}

} // namespace

FilmTrackDocument TrackDocument(const std::string& fileName, const FilmTrack& track, const TrackPackets& packets)
{
    FilmTrackDocument document;
    std::string text, extension;
    if (track.codec == "subrip" || track.codec == "mov_text") {
        document.format = FormatCode::SubRip;
        text = subRip(packets, track.codec == "mov_text");
        extension = "srt";
    } else if (track.codec == "ass" || track.codec == "ssa") {
        document.format = FormatCode::ASS;
        text = script(packets);
        extension = "ass";
    } else if (track.codec == "webvtt") {
        document.format = FormatCode::WebVTT;
        text = webVtt(packets);
        extension = "vtt";
    } else {
        throw Error("Track " + std::to_string(track.number) + " of \"" + fileName + "\" is " + track.codec
            + (track.kind == TrackKind::Picture ? ", pictures of text that are not read as text yet."
                                                : ", which no format here reads."));
    }
    document.text = QByteArray::fromStdString(text);
    document.note = packets.note;
    const QFileInfo film(QString::fromStdString(fileName));
    const std::string language = track.language.empty() || track.language == "und" ? "" : "." + track.language;
    document.name = (film.path() + "/" + film.completeBaseName()).toStdString() + language + "." + extension;
    return document;
}

} // namespace tessel
