#include "media/matroska.h"

#include "core/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace tessel {
namespace {

// Element IDs, with their length marker bits as the file has them.
enum : uint32_t {
    EbmlHeader = 0x1A45DFA3,
    DocType = 0x4282,
    Segment = 0x18538067,
    SeekHead = 0x114D9B74,
    Seek = 0x4DBB,
    SeekId = 0x53AB,
    SeekPosition = 0x53AC,
    Info = 0x1549A966,
    TimestampScale = 0x2AD7B1,
    Tracks = 0x1654AE6B,
    TrackEntry = 0xAE,
    TrackNumber = 0xD7,
    TrackType = 0x83,
    CodecId = 0x86,
    CodecPrivate = 0x63A2,
    Language = 0x22B59C,
    LanguageBcp47 = 0x22B59D,
    Name = 0x536E,
    FlagDefault = 0x88,
    FlagForced = 0x55AA,
    ContentEncodings = 0x6D80,
    ContentEncoding = 0x6240,
    ContentEncodingScope = 0x5032,
    ContentEncodingType = 0x5033,
    ContentCompression = 0x5034,
    ContentCompAlgo = 0x4254,
    ContentCompSettings = 0x4255,
    ContentEncryption = 0x5035,
    Cues = 0x1C53BB6B,
    CuePoint = 0xBB,
    CueTrackPositions = 0xB7,
    CueTrack = 0xF7,
    CueClusterPosition = 0xF1,
    CueRelativePosition = 0xF0,
    CueDuration = 0xB2,
    Cluster = 0x1F43B675,
    Timestamp = 0xE7,
    SimpleBlock = 0xA3,
    BlockGroup = 0xA0,
    Block = 0xA1,
    BlockDuration = 0x9B
};
constexpr int SubtitleTrackType = 17;
constexpr int64_t UnknownSize = -1;

// pread with the bytes it read counted, read-ahead turned off: the blocks
// of one track lie far apart and the kernel's guesses would read the film.
class File {
public:
    explicit File(const std::string& name)
        : name_(name)
        , fd_(::open(name.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (fd_ < 0) throw Error("Cannot open \"" + name + "\". " + std::strerror(errno));
        struct stat info { };
        if (::fstat(fd_, &info) == 0) size_ = info.st_size;
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
    }
    ~File() { ::close(fd_); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int64_t size() const { return size_; }
    int64_t bytesRead() const { return read_; }
    const std::string& name() const { return name_; }

    // Up to `count` bytes at `at` (fewer at the end of the file, none outside
    // it: a damaged cue may point anywhere).
    std::string read(int64_t at, int64_t count)
    {
        if (at < 0 || at >= size_ || count <= 0) return {};
        count = std::min(count, size_ - at);
        std::string bytes(static_cast<size_t>(count), '\0');
        int64_t done = 0;
        while (done < count) {
            const ssize_t n = ::pread(fd_, bytes.data() + done, static_cast<size_t>(count - done), at + done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw Error("Cannot read \"" + name_ + "\". " + std::strerror(errno));
            if (n == 0) break;
            done += n;
        }
        read_ += done;
        bytes.resize(static_cast<size_t>(done));
        return bytes;
    }

private:
    std::string name_;
    int fd_;
    int64_t size_ = 0, read_ = 0;
};

struct Element {
    uint32_t id = 0;
    int64_t dataAt = 0; // where its data starts, in the buffer or file it was read from
    int64_t size = 0; // UnknownSize for an element that runs to its parent's end
    int64_t end() const { return dataAt + size; }
};

// An EBML variable-length number at `at`; its length in `length`, 0 when there is none.
uint64_t vint(std::string_view bytes, size_t at, int& length, bool keepMarker)
{
    length = 0;
    if (at >= bytes.size()) return 0;
    const unsigned char first = static_cast<unsigned char>(bytes[at]);
    int n = 1;
    while (n <= 8 && !(first & (0x80 >> (n - 1))))
        ++n;
    if (n > 8 || at + static_cast<size_t>(n) > bytes.size()) return 0;
    uint64_t value = keepMarker ? first : first & (0xFF >> n);
    for (int i = 1; i < n; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    length = n;
    return value;
}

// The element whose header starts at `at` of `bytes`; nothing when the header is cut off.
std::optional<Element> elementAt(std::string_view bytes, size_t at)
{
    int idLength = 0, sizeLength = 0;
    const uint64_t id = vint(bytes, at, idLength, true);
    if (!idLength || idLength > 4) return std::nullopt;
    const uint64_t size = vint(bytes, at + static_cast<size_t>(idLength), sizeLength, false);
    if (!sizeLength) return std::nullopt;
    Element e;
    e.id = static_cast<uint32_t>(id);
    e.dataAt = static_cast<int64_t>(at) + idLength + sizeLength;
    const bool unknown = size == (uint64_t(1) << (7 * sizeLength)) - 1;
    e.size = unknown ? UnknownSize : static_cast<int64_t>(std::min<uint64_t>(size, INT64_MAX / 2));
    return e;
}

uint64_t unsignedValue(std::string_view data)
{
    uint64_t v = 0;
    for (unsigned char c : data.substr(0, 8))
        v = v << 8 | c;
    return v;
}

// A position in the file; -1 for one no file reaches, so that adding two
// never overflows.
int64_t positionValue(std::string_view data)
{
    const uint64_t v = unsignedValue(data);
    return v < (uint64_t(1) << 62) ? static_cast<int64_t>(v) : -1;
}

// The children of an element whose data is all in `bytes`.
template <typename Visit> void children(std::string_view bytes, Visit&& visit)
{
    size_t at = 0;
    while (at < bytes.size()) {
        const std::optional<Element> e = elementAt(bytes, at);
        if (!e || e->size == UnknownSize || e->end() > static_cast<int64_t>(bytes.size())) return;
        visit(e->id, bytes.substr(static_cast<size_t>(e->dataAt), static_cast<size_t>(e->size)));
        at = static_cast<size_t>(e->end());
    }
}

std::string codecName(const std::string& id, TrackKind& kind)
{
    static const std::pair<const char*, const char*> text[] = { { "S_TEXT/UTF8", "subrip" },
        { "S_TEXT/ASCII", "subrip" }, { "S_TEXT/ASS", "ass" }, { "S_ASS", "ass" }, { "S_TEXT/SSA", "ssa" },
        { "S_SSA", "ssa" }, { "S_TEXT/WEBVTT", "webvtt" }, { "D_WEBVTT/SUBTITLES", "webvtt" },
        { "D_WEBVTT/CAPTIONS", "webvtt" }, { "D_WEBVTT/DESCRIPTIONS", "webvtt" }, { "S_TEXT/USF", "usf" },
        { "S_HDMV/TEXTST", "hdmv_text_subtitle" }, { "S_KATE", "kate" }, { "S_ARIBSUB", "arib_caption" } };
    static const std::pair<const char*, const char*> pictures[] = { { "S_HDMV/PGS", "hdmv_pgs_subtitle" },
        { "S_VOBSUB", "dvd_subtitle" }, { "S_DVBSUB", "dvb_subtitle" }, { "S_IMAGE/BMP", "bmp" } };
    kind = TrackKind::Text;
    for (const auto& [codec, name] : text)
        if (id == codec) return name;
    kind = TrackKind::Picture;
    for (const auto& [codec, name] : pictures)
        if (id == codec) return name;
    kind = TrackKind::Text;
    return id;
}

std::optional<MatroskaTrack> trackEntry(std::string_view data)
{
    MatroskaTrack t;
    t.track.isDefault = true;
    std::string language = "eng", bcp47;
    int type = 0;
    children(data, [&](uint32_t id, std::string_view v) {
        switch (id) {
        case TrackNumber:
            t.track.number = static_cast<int>(unsignedValue(v));
            break;
        case TrackType:
            type = static_cast<int>(unsignedValue(v));
            break;
        case CodecId:
            t.codecId = std::string(v.substr(0, v.find('\0')));
            break;
        case CodecPrivate:
            t.codecPrivate = std::string(v);
            break;
        case Language:
            language = std::string(v.substr(0, v.find('\0')));
            break;
        case LanguageBcp47:
            bcp47 = std::string(v.substr(0, v.find('\0')));
            break;
        case Name:
            t.track.title = std::string(v.substr(0, v.find('\0')));
            break;
        case FlagDefault:
            t.track.isDefault = unsignedValue(v) != 0;
            break;
        case FlagForced:
            t.track.forced = unsignedValue(v) != 0;
            break;
        case ContentEncodings:
            children(v, [&](uint32_t eid, std::string_view encoding) {
                if (eid != ContentEncoding) return;
                children(encoding, [&](uint32_t cid, std::string_view c) {
                    if (cid == ContentEncryption) t.encrypted = true;
                    if (cid != ContentCompression) return;
                    t.compression = 0;
                    children(c, [&](uint32_t kid, std::string_view k) {
                        if (kid == ContentCompAlgo) t.compression = static_cast<int>(unsignedValue(k));
                        if (kid == ContentCompSettings) t.strippedHeader = std::string(k);
                    });
                });
            });
            break;
        default:
            break;
        }
    });
    if (type != SubtitleTrackType) return std::nullopt;
    t.track.language = bcp47.empty() ? language : bcp47;
    t.track.codec = codecName(t.codecId, t.track.kind);
    return t;
}

std::string inflated(std::string_view data, const std::string& fileName)
{
    z_stream z {};
    if (inflateInit(&z) != Z_OK) throw Error("Cannot decompress a block of \"" + fileName + "\".");
    std::string out;
    char buffer[16384];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
        if (out.size() > (64u << 20)) status = Z_MEM_ERROR; // no subtitle is that long
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END)
        throw Error("Cannot decompress a block of \"" + fileName + "\": its zlib data is damaged.");
    return out;
}

std::string decoded(std::string_view data, const MatroskaTrack& track, const std::string& fileName)
{
    if (track.compression == 0) return inflated(data, fileName);
    if (track.compression == 3) return track.strippedHeader + std::string(data);
    return std::string(data);
}

// Ticks of the file's scale as milliseconds, held to what any film could last.
int64_t milliseconds(int64_t ticks, int64_t scale)
{
    const long double ms = static_cast<long double>(ticks) * static_cast<long double>(scale) / 1000000;
    return static_cast<int64_t>(std::clamp<long double>(ms, -(1LL << 40), 1LL << 40));
}

struct CueTarget {
    int64_t cluster = 0, relative = 0, duration = -1;
};

} // namespace

std::optional<MatroskaFile> ReadMatroskaHeader(const std::string& fileName, int64_t* bytesRead)
{
    File file(fileName);
    const std::string start = file.read(0, 4096);
    const std::optional<Element> ebml = elementAt(start, 0);
    if (!ebml || ebml->id != EbmlHeader || ebml->end() > static_cast<int64_t>(start.size())) return std::nullopt;
    const std::optional<Element> segment = elementAt(start, static_cast<size_t>(ebml->end()));
    if (!segment || segment->id != Segment) throw Error("\"" + fileName + "\" is a Matroska file without a segment.");
    MatroskaFile out;
    out.segmentStart = segment->dataAt;
    const int64_t segmentEnd = segment->size == UnknownSize ? file.size() : segment->dataAt + segment->size;
    out.fileSize = file.size();
    out.segmentEnd = segmentEnd;
    int64_t tracksAt = -1;
    const auto readElement = [&](int64_t at, uint32_t wanted) -> std::optional<std::string> {
        const std::string head = file.read(at, 12);
        const std::optional<Element> e = elementAt(head, 0);
        if (!e || e->id != wanted || e->size == UnknownSize || e->size > (256 << 20)) return std::nullopt;
        return file.read(at + e->dataAt, e->size);
    };
    const auto seekHead = [&](std::string_view data) {
        children(data, [&](uint32_t id, std::string_view seek) {
            if (id != Seek) return;
            uint32_t target = 0;
            int64_t position = -1;
            children(seek, [&](uint32_t sid, std::string_view v) {
                if (sid == SeekId) target = static_cast<uint32_t>(unsignedValue(v));
                if (sid == SeekPosition) position = positionValue(v);
            });
            if (target == Cues && out.cuesPosition < 0) out.cuesPosition = position;
            if (target == Tracks && tracksAt < 0) tracksAt = position;
        });
    };
    bool sawTracks = false;
    const auto tracks = [&](std::string_view data) {
        sawTracks = true;
        children(data, [&](uint32_t id, std::string_view entry) {
            if (id != TrackEntry) return;
            if (std::optional<MatroskaTrack> t = trackEntry(entry)) out.tracks.push_back(std::move(*t));
        });
    };
    // The elements before the first cluster, read as they come.
    for (int64_t at = out.segmentStart; at < segmentEnd;) {
        const std::string head = file.read(at, 12);
        const std::optional<Element> e = elementAt(head, 0);
        if (!e || e->size == UnknownSize || e->id == Cluster) break;
        if (e->id == SeekHead || e->id == Info || e->id == Tracks || e->id == Cues) {
            const std::string data = file.read(at + e->dataAt, std::min<int64_t>(e->size, 256 << 20));
            if (e->id == SeekHead) seekHead(data);
            if (e->id == Tracks) tracks(data);
            if (e->id == Cues && out.cuesPosition < 0) out.cuesPosition = at - out.segmentStart;
            if (e->id == Info)
                children(data, [&](uint32_t id, std::string_view v) {
                    if (id == TimestampScale)
                        out.timestampScale = static_cast<int64_t>(std::clamp<uint64_t>(unsignedValue(v), 1, INT32_MAX));
                });
        }
        at += e->end();
    }
    if (!sawTracks && tracksAt >= 0)
        if (const std::optional<std::string> data = readElement(out.segmentStart + tracksAt, Tracks)) tracks(*data);
    if (bytesRead) *bytesRead += file.bytesRead();
    return out;
}

std::optional<TrackPackets> ReadMatroskaTrack(
    const std::string& fileName, const MatroskaFile& header, const MatroskaTrack& track)
{
    if (header.cuesPosition < 0 || track.encrypted || track.compression == 1 || track.compression == 2)
        return std::nullopt;
    File file(fileName);
    const int64_t cuesAt = header.segmentStart + header.cuesPosition;
    const std::optional<Element> cues = elementAt(file.read(cuesAt, 12), 0);
    if (!cues || cues->id != Cues || cues->size == UnknownSize || cues->size > (256 << 20)) return std::nullopt;
    const std::string data = file.read(cuesAt + cues->dataAt, cues->size);
    std::vector<CueTarget> targets;
    std::set<std::pair<int64_t, int64_t>> seen;
    bool unplaced = false;
    children(data, [&](uint32_t id, std::string_view point) {
        if (id != CuePoint) return;
        children(point, [&](uint32_t pid, std::string_view positions) {
            if (pid != CueTrackPositions) return;
            CueTarget t;
            int number = -1;
            bool relative = false;
            children(positions, [&](uint32_t kid, std::string_view v) {
                if (kid == CueTrack) number = static_cast<int>(unsignedValue(v));
                if (kid == CueClusterPosition) t.cluster = positionValue(v);
                if (kid == CueRelativePosition) {
                    t.relative = positionValue(v);
                    relative = true;
                }
                if (kid == CueDuration) t.duration = static_cast<int64_t>(unsignedValue(v));
            });
            if (number != track.track.number) return;
            if (!relative) unplaced = true;
            if (seen.insert({ t.cluster, t.relative }).second) targets.push_back(t);
        });
    });
    if (targets.empty() || unplaced) return std::nullopt;
    TrackPackets out;
    out.codecPrivate = track.codecPrivate;
    struct ClusterHead {
        int64_t timestamp = 0, dataAt = 0;
    };
    std::map<int64_t, ClusterHead> clusters; // several subtitles share a cluster
    for (const CueTarget& t : targets) {
        const int64_t clusterAt = header.segmentStart + t.cluster;
        auto found = clusters.find(clusterAt);
        if (found == clusters.end()) {
            const std::string head = file.read(clusterAt, 64);
            const std::optional<Element> cluster = elementAt(head, 0);
            if (!cluster || cluster->id != Cluster) return std::nullopt;
            std::optional<int64_t> timestamp;
            children(std::string_view(head).substr(static_cast<size_t>(cluster->dataAt)),
                [&](uint32_t id, std::string_view v) {
                    if (id == Timestamp && !timestamp) timestamp = static_cast<int64_t>(unsignedValue(v));
                });
            if (!timestamp) return std::nullopt;
            found = clusters.emplace(clusterAt, ClusterHead { *timestamp, clusterAt + cluster->dataAt }).first;
        }
        const int64_t blockAt = found->second.dataAt + t.relative;
        const std::string head = file.read(blockAt, 12);
        const std::optional<Element> e = elementAt(head, 0);
        if (!e || (e->id != BlockGroup && e->id != SimpleBlock) || e->size == UnknownSize || e->size > (64 << 20))
            return std::nullopt;
        const std::string element = file.read(blockAt + e->dataAt, e->size);
        std::string_view block;
        int64_t duration = -1;
        if (e->id == SimpleBlock) {
            block = element;
        } else {
            children(element, [&](uint32_t id, std::string_view v) {
                if (id == Block) block = v;
                if (id == BlockDuration) duration = static_cast<int64_t>(unsignedValue(v));
            });
        }
        int numberLength = 0;
        const uint64_t number = vint(block, 0, numberLength, false);
        if (!numberLength || static_cast<int>(number) != track.track.number
            || block.size() < static_cast<size_t>(numberLength) + 3
            || (static_cast<unsigned char>(block[static_cast<size_t>(numberLength) + 2]) & 0x06))
            return std::nullopt; // not the block the cue names, or laced frames
        const int16_t relative
            = static_cast<int16_t>(static_cast<unsigned char>(block[static_cast<size_t>(numberLength)]) << 8
                | static_cast<unsigned char>(block[static_cast<size_t>(numberLength) + 1]));
        if (duration < 0) duration = t.duration;
        SubtitlePacket packet;
        const int64_t ticks = std::min<int64_t>(found->second.timestamp, INT64_MAX / 2) + relative;
        packet.startMs = milliseconds(ticks, header.timestampScale);
        packet.durationMs = duration < 0 ? -1 : milliseconds(duration, header.timestampScale);
        packet.data = decoded(block.substr(static_cast<size_t>(numberLength) + 3), track, fileName);
        out.packets.push_back(std::move(packet));
    }
    std::stable_sort(out.packets.begin(), out.packets.end(),
        [](const SubtitlePacket& a, const SubtitlePacket& b) { return a.startMs < b.startMs; });
    out.bytesRead = file.bytesRead();
    return out;
}

} // namespace tessel
