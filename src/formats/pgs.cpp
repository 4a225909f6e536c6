#include "formats/pgs.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "formats/text_render.h"
#include "formats/time_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace tessel {
namespace {

enum Segment : uint8_t { Palette = 0x14, Object = 0x15, Presentation = 0x16, Window = 0x17, End = 0x80 };

// A segment's payload may hold 65535 bytes; an object's first segment spends 11 of them on its header.
constexpr size_t FirstObjectData = 65535 - 11, MoreObjectData = 65535 - 4;

void put16(std::string& out, int value)
{
    out += static_cast<char>(value >> 8 & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void put32(std::string& out, uint32_t value)
{
    put16(out, static_cast<int>(value >> 16));
    put16(out, static_cast<int>(value & 0xFFFF));
}

void segment(std::string& out, uint32_t pts, Segment type, const std::string& payload)
{
    out += "PG";
    put32(out, pts);
    put32(out, 0); // decoding time stamp: unused by players
    out += static_cast<char>(type);
    put16(out, static_cast<int>(payload.size()));
    out += payload;
}

struct Colour {
    double r, g, b; // 0..1
};

Colour rgbOf(int32_t ssa) { return { (ssa & 0xFF) / 255.0, (ssa >> 8 & 0xFF) / 255.0, (ssa >> 16 & 0xFF) / 255.0 }; }

// Y, Cr, Cb of studio range: BT.709 for high definition, BT.601 below, as decoders take them.
std::array<uint8_t, 3> yCrCb(const Colour& c, bool highDefinition)
{
    const double kr = highDefinition ? 0.2126 : 0.299, kb = highDefinition ? 0.0722 : 0.114;
    const double y = kr * c.r + (1 - kr - kb) * c.g + kb * c.b;
    const double cb = (c.b - y) / (2 * (1 - kb)), cr = (c.r - y) / (2 * (1 - kr));
    const auto byte = [](double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
    return { byte(16 + 219 * y), byte(128 + 224 * cr), byte(128 + 224 * cb) };
}

// Coverages in 16 steps each: a palette entry for every pair that occurs.
constexpr int Steps = 15;

class PaletteBuilder {
public:
    PaletteBuilder(const SsaExportSettings& settings, bool outlined, bool highDefinition)
        : primary_(rgbOf(settings.primaryColour))
        , outline_(rgbOf(settings.outlineColour))
        , opacity_(1.0 - std::clamp(settings.alphaLevel, 0, 9) / 10.0)
        , outlined_(outlined)
        , highDefinition_(highDefinition)
    {
    }

    uint8_t index(uint8_t fill, uint8_t outline)
    {
        const int f = (fill * Steps + 127) / 255, o = outlined_ ? (outline * Steps + 127) / 255 : 0;
        if (f == 0 && o == 0) return 0;
        const int key = f * (Steps + 1) + o;
        const auto found = indexes_.find(key);
        if (found != indexes_.end()) return found->second;
        const auto next = static_cast<uint8_t>(indexes_.size() + 1);
        indexes_.emplace(key, next);
        return next;
    }

    // The palette segment's payload: id 0, version 0, then every entry.
    std::string payload() const
    {
        std::string out(2, '\0');
        out += std::string { 0, 16, static_cast<char>(128), static_cast<char>(128), 0 }; // 0: transparent
        for (const auto& [key, id] : indexes_) {
            const double f = key / (Steps + 1) / double(Steps), o = key % (Steps + 1) / double(Steps);
            // The text over its outline.
            const double alpha = f + o * (1 - f);
            const Colour c { (f * primary_.r + o * (1 - f) * outline_.r) / alpha,
                (f * primary_.g + o * (1 - f) * outline_.g) / alpha,
                (f * primary_.b + o * (1 - f) * outline_.b) / alpha };
            const auto ycc = yCrCb(c, highDefinition_);
            out += static_cast<char>(id);
            out.append(reinterpret_cast<const char*>(ycc.data()), ycc.size());
            out += static_cast<char>(std::lround(alpha * opacity_ * 255));
        }
        return out;
    }

private:
    Colour primary_, outline_;
    double opacity_;
    bool outlined_, highDefinition_;
    std::map<int, uint8_t> indexes_;
};

struct Placement {
    int x, y;
};

// Where a picture of this size goes in the video, as the settings place text.
Placement place(const SsaExportSettings& s, int width, int height, int videoWidth, int videoHeight)
{
    const auto scaled = [videoHeight](int margin) { return margin * videoHeight / 1024; };
    int x = s.horizontalIndex == 0 ? scaled(s.marginLeft)
        : s.horizontalIndex == 2   ? videoWidth - scaled(s.marginRight) - width
                                   : (videoWidth - width) / 2;
    int y = s.verticalIndex == 0 ? scaled(s.marginVertical)
        : s.verticalIndex == 1   ? (videoHeight - height) / 2
                                 : videoHeight - scaled(s.marginVertical) - height;
    x = std::clamp(x, 0, std::max(0, videoWidth - width));
    y = std::clamp(y, 0, std::max(0, videoHeight - height));
    return { x, y };
}

class Writer {
public:
    Writer(const WriteContext& context)
        : context_(context)
        , renderer_(style(context))
    {
        if (!(context.framerate > 0)) throw Error("Blu-ray subtitles need a framerate.");
        if (context.pictureWidth < 16 || context.pictureHeight < 16 || context.pictureWidth > 4096
            || context.pictureHeight > 4096)
            throw Error("Blu-ray subtitles need a video size between 16x16 and 4096x4096.");
    }

    // A row's pictures from its start until its end (or the next row's start).
    void row(const std::vector<std::string_view>& lines, int64_t startFrame, int64_t endFrame, int64_t nextStart)
    {
        const TextPicture picture = renderer_.render(lines);
        if (picture.empty()) return;
        const int width = std::min(picture.width, context_.pictureWidth);
        const int height = std::min(picture.height, context_.pictureHeight);
        const Placement at = place(context_.ssa, width, height, context_.pictureWidth, context_.pictureHeight);
        PaletteBuilder palette(context_.ssa, context_.ssa.outlineIndex > 0, context_.pictureHeight > 576);
        std::vector<uint8_t> indexes(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const size_t from
                    = static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(x);
                indexes[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]
                    = palette.index(picture.fill[from], picture.outline[from]);
            }
        const uint32_t start = ticks(startFrame);
        std::string window;
        window += '\1';
        window += '\0';
        put16(window, at.x);
        put16(window, at.y);
        put16(window, width);
        put16(window, height);
        segment(out_, start, Presentation, composition(true, at));
        segment(out_, start, Window, window);
        segment(out_, start, Palette, palette.payload());
        objectSegments(start, PgsRunLengths(indexes.data(), width, height), width, height);
        segment(out_, start, End, {});
        // A row that lasts until the next one starts is replaced, not cleared.
        if (nextStart >= 0 && endFrame >= nextStart) return;
        const uint32_t end = ticks(std::max(endFrame, startFrame + 1));
        segment(out_, end, Presentation, composition(false, at));
        segment(out_, end, Window, window);
        segment(out_, end, End, {});
    }

    const std::string& bytes() const { return out_; }

private:
    static TextStyle style(const WriteContext& context)
    {
        TextStyle style;
        style.fontName = context.ssa.fontName;
        // Sized as the Sub Station Alpha export sizes it on its 1024 lines.
        style.pixelSize
            = std::max(4, static_cast<int>(std::lround(context.ssa.fontPointSize * context.pictureHeight / 1024.0)));
        style.bold = context.ssa.bold;
        style.outlinePixels = std::clamp(context.ssa.outlineIndex, 0, 4);
        return style;
    }

    uint32_t ticks(int64_t frame) const
    {
        const long double t = std::llround(static_cast<long double>(frame) * 90000 / context_.framerate);
        if (t < 0 || t > UINT32_MAX)
            throw Error("Frame " + std::to_string(frame) + " lies outside Blu-ray subtitles' time.");
        return static_cast<uint32_t>(t);
    }

    std::string composition(bool shown, Placement at)
    {
        std::string out;
        put16(out, context_.pictureWidth);
        put16(out, context_.pictureHeight);
        out += '\x10'; // frame rate: ignored by players
        put16(out, composition_++ & 0xFFFF);
        out += static_cast<char>(shown ? 0x80 : 0x00); // an epoch starts with each row
        out += '\0'; // not a palette update
        out += '\0'; // palette 0
        out += static_cast<char>(shown ? 1 : 0);
        if (shown) {
            put16(out, 0); // object 0
            out += '\0'; // window 0
            out += '\0'; // not cropped
            put16(out, at.x);
            put16(out, at.y);
        }
        return out;
    }

    void objectSegments(uint32_t pts, const std::string& data, int width, int height)
    {
        size_t at = 0;
        bool first = true;
        do {
            const size_t room = first ? FirstObjectData : MoreObjectData;
            const size_t size = std::min(room, data.size() - at);
            const bool last = at + size == data.size();
            std::string payload;
            put16(payload, 0); // object 0
            payload += '\0'; // version
            payload += static_cast<char>((first ? 0x80 : 0) | (last ? 0x40 : 0));
            if (first) {
                const size_t length = data.size() + 4;
                payload += static_cast<char>(length >> 16 & 0xFF);
                put16(payload, static_cast<int>(length & 0xFFFF));
                put16(payload, width);
                put16(payload, height);
            }
            payload.append(data, at, size);
            segment(out_, pts, Object, payload);
            at += size;
            first = false;
        } while (at < data.size());
    }

    const WriteContext& context_;
    TextRenderer renderer_;
    std::string out_;
    int composition_ = 0;
};

std::vector<std::string_view> rowLines(const SubtitleTable& table, int row)
{
    std::vector<std::string_view> lines;
    for (int column : { SubtitleTable::Line1, SubtitleTable::Line2, SubtitleTable::Line3 })
        lines.push_back(table.cell(column, row));
    while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string_view::npos)
        lines.pop_back();
    return lines;
}

void putRun(std::string& out, uint8_t colour, int length)
{
    if (colour != 0 && length < 3) {
        out.append(static_cast<size_t>(length), static_cast<char>(colour));
        return;
    }
    out += '\0';
    const int longRun = length >= 64 ? 0x40 : 0;
    const int coloured = colour != 0 ? 0x80 : 0;
    if (longRun) {
        out += static_cast<char>(coloured | longRun | (length >> 8 & 0x3F));
        out += static_cast<char>(length & 0xFF);
    } else {
        out += static_cast<char>(coloured | length);
    }
    if (colour != 0) out += static_cast<char>(colour);
}

} // namespace

std::string PgsRunLengths(const uint8_t* pixels, int width, int height)
{
    std::string out;
    for (int y = 0; y < height; ++y) {
        const uint8_t* line = pixels + static_cast<ptrdiff_t>(y) * width;
        for (int x = 0; x < width;) {
            int run = 1;
            while (x + run < width && line[x + run] == line[x] && run < 16383)
                ++run;
            putRun(out, line[x], run);
            x += run;
        }
        out += std::string(2, '\0'); // end of line
    }
    return out;
}

bool LooksLikePgs(const DetectionInput& input)
{
    const std::string_view head = input.head;
    if (head.size() < 13 || head.substr(0, 2) != "PG") return false;
    const auto type = static_cast<uint8_t>(head[10]);
    return type == Presentation || type == Window || type == Palette || type == Object || type == End;
}

void WritePgs(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    struct Timed {
        int row;
        int64_t start, end;
    };
    std::vector<Timed> rows;
    for (int row = firstRow; row <= lastRow; ++row)
        if (!rowLines(table, row).empty())
            rows.push_back({ row, FrameOfCell(table.cell(SubtitleTable::From, row)),
                FrameOfCell(table.cell(SubtitleTable::To, row)) });
    // Display sets follow each other in time.
    std::stable_sort(rows.begin(), rows.end(), [](const Timed& a, const Timed& b) { return a.start < b.start; });
    Writer writer(context);
    for (size_t i = 0; i < rows.size(); ++i)
        writer.row(
            rowLines(table, rows[i].row), rows[i].start, rows[i].end, i + 1 < rows.size() ? rows[i + 1].start : -1);
    out.write(writer.bytes());
}

} // namespace tessel
