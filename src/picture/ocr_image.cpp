#include "picture/ocr_image.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tessel {
namespace {

// Ink this strong counts as text when lines are told apart.
constexpr uint8_t InkThreshold = 96;
// A band lower than this share of the tallest is a mark, not a line.
constexpr double MarkShare = 0.4;
constexpr int Margin = 12; // white around a prepared line, in its pixels
constexpr double MaxGrowth = 3;

double lumaOf(uint32_t argb)
{
    return 0.299 * (argb >> 16 & 0xFF) + 0.587 * (argb >> 8 & 0xFF) + 0.114 * (argb & 0xFF);
}

double alphaOf(uint32_t argb) { return (argb >> 24) / 255.0; }

// The mean brightness of the opaque pixels on the edge of the shapes and
// inside them: an outline is the edge in another brightness than the inside.
struct Brightness {
    double edge = 0, inside = 0;
    bool found = false;
};

Brightness brightnessOf(
    const std::vector<uint8_t>& indexes, const std::array<uint32_t, 256>& palette, int width, int height)
{
    const auto opaque = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height) return false;
        return alphaOf(palette[indexes[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]])
            >= 0.5;
    };
    double edge = 0, edgeWeight = 0, inside = 0, insideWeight = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (!opaque(x, y)) continue;
            const double luma = lumaOf(
                palette[indexes[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]]);
            bool nearGround = false, onEdge = false;
            for (int dy = -2; dy <= 2 && !onEdge; ++dy)
                for (int dx = -2; dx <= 2 && !onEdge; ++dx)
                    if (!opaque(x + dx, y + dy)) {
                        nearGround = true;
                        onEdge = std::abs(dx) + std::abs(dy) <= 1;
                    }
            if (onEdge) {
                edge += luma;
                edgeWeight += 1;
            } else if (!nearGround) {
                inside += luma;
                insideWeight += 1;
            }
        }
    Brightness b;
    b.found = edgeWeight > 0 && insideWeight > 0;
    if (edgeWeight > 0) b.edge = edge / edgeWeight;
    if (insideWeight > 0) b.inside = inside / insideWeight;
    return b;
}

// Bilinear when growing, the mean of the covered pixels when shrinking.
GreyImage scaled(const GreyImage& in, int width, int height)
{
    GreyImage out(width, height);
    const double sx = static_cast<double>(in.width) / width, sy = static_cast<double>(in.height) / height;
    if (sx >= 1 && sy >= 1) {
        for (int y = 0; y < height; ++y) {
            const int y0 = static_cast<int>(y * sy), y1 = std::max(y0 + 1, static_cast<int>((y + 1) * sy));
            for (int x = 0; x < width; ++x) {
                const int x0 = static_cast<int>(x * sx), x1 = std::max(x0 + 1, static_cast<int>((x + 1) * sx));
                int sum = 0, count = 0;
                for (int yy = y0; yy < std::min(y1, in.height); ++yy)
                    for (int xx = x0; xx < std::min(x1, in.width); ++xx) {
                        sum += in.at(xx, yy);
                        ++count;
                    }
                out.at(x, y) = static_cast<uint8_t>(count ? sum / count : 0);
            }
        }
        return out;
    }
    for (int y = 0; y < height; ++y) {
        const double fy = std::clamp((y + 0.5) * sy - 0.5, 0.0, in.height - 1.0);
        const int y0 = static_cast<int>(fy), y1 = std::min(y0 + 1, in.height - 1);
        const double wy = fy - y0;
        for (int x = 0; x < width; ++x) {
            const double fx = std::clamp((x + 0.5) * sx - 0.5, 0.0, in.width - 1.0);
            const int x0 = static_cast<int>(fx), x1 = std::min(x0 + 1, in.width - 1);
            const double wx = fx - x0;
            const double top = in.at(x0, y0) * (1 - wx) + in.at(x1, y0) * wx;
            const double bottom = in.at(x0, y1) * (1 - wx) + in.at(x1, y1) * wx;
            out.at(x, y) = static_cast<uint8_t>(std::lround(top * (1 - wy) + bottom * wy));
        }
    }
    return out;
}

// How concentrated the ink's columns are when each row is shifted left by
// `shear` times its height above the box's bottom.
double sharpness(const GreyImage& ink, int left, int top, int right, int bottom, double shear)
{
    const int reach = static_cast<int>(std::ceil(std::fabs(shear) * (bottom - top))) + 2;
    std::vector<double> columns(static_cast<size_t>(right - left + 2 * reach + 2), 0.0);
    double total = 0;
    for (int y = top; y < bottom; ++y) {
        const double shift = -shear * (bottom - 1 - y) + reach;
        const int whole = static_cast<int>(std::floor(shift));
        const double part = shift - whole;
        for (int x = left; x < right; ++x) {
            const double v = ink.at(x, y);
            if (v == 0) continue;
            const size_t at = static_cast<size_t>(x - left + whole);
            columns[at] += v * (1 - part);
            columns[at + 1] += v * part;
            total += v;
        }
    }
    if (total <= 0) return 0;
    double squares = 0;
    for (double c : columns)
        squares += c * c;
    return squares / (total * total);
}

} // namespace

GreyImage InkOf(const SubtitlePicture& picture)
{
    const std::vector<uint8_t> indexes = picture.indexes();
    const std::array<uint32_t, 256>& palette = picture.palette();
    const Brightness b = brightnessOf(indexes, palette, picture.width(), picture.height());
    // Text and outline far apart in brightness: the ink is the text's side of
    // the two; else (no outline) every opaque pixel is text.
    const bool outlined = b.found && std::fabs(b.inside - b.edge) >= 40;
    std::array<uint8_t, 256> ink {};
    for (size_t i = 0; i < palette.size(); ++i) {
        double share = 1;
        if (outlined) share = std::clamp((lumaOf(palette[i]) - b.edge) / (b.inside - b.edge), 0.0, 1.0);
        ink[i] = static_cast<uint8_t>(std::lround(255 * share * alphaOf(palette[i])));
    }
    GreyImage out(picture.width(), picture.height());
    for (size_t i = 0; i < indexes.size(); ++i)
        out.pixels[i] = ink[indexes[i]];
    return out;
}

std::vector<TextBand> SplitTextLines(const GreyImage& ink)
{
    std::vector<TextBand> bands;
    for (int y = 0; y < ink.height; ++y) {
        bool inked = false;
        for (int x = 0; x < ink.width && !inked; ++x)
            inked = ink.at(x, y) >= InkThreshold;
        if (!inked) continue;
        if (!bands.empty() && bands.back().bottom == y)
            bands.back().bottom = y + 1;
        else
            bands.push_back({ y, y + 1 });
    }
    int tallest = 0;
    for (const TextBand& b : bands)
        tallest = std::max(tallest, b.height());
    // Marks join the nearer of the lines around them, until none is left.
    for (bool merged = true; merged && bands.size() > 1;) {
        merged = false;
        for (size_t i = 0; i < bands.size(); ++i) {
            if (bands[i].height() >= tallest * MarkShare) continue;
            const int above = i > 0 ? bands[i].top - bands[i - 1].bottom : INT32_MAX;
            const int below = i + 1 < bands.size() ? bands[i + 1].top - bands[i].bottom : INT32_MAX;
            const size_t into = above <= below ? i - 1 : i + 1;
            bands[into].top = std::min(bands[into].top, bands[i].top);
            bands[into].bottom = std::max(bands[into].bottom, bands[i].bottom);
            bands.erase(bands.begin() + static_cast<ptrdiff_t>(i));
            merged = true;
            break;
        }
    }
    return bands;
}

PreparedLine PrepareLine(const GreyImage& ink, const TextBand& band, int height)
{
    int left = ink.width, right = -1;
    for (int y = band.top; y < band.bottom; ++y)
        for (int x = 0; x < ink.width; ++x)
            if (ink.at(x, y) >= InkThreshold) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    PreparedLine line;
    if (right < left) return line;
    GreyImage cut(right - left + 1, band.height());
    for (int y = 0; y < cut.height; ++y)
        for (int x = 0; x < cut.width; ++x)
            cut.at(x, y) = ink.at(left + x, band.top + y);
    // A mark alone (a dot, a dash) is no line to blow up to a letter's size.
    const double factor = std::min(static_cast<double>(height) / band.height(), MaxGrowth);
    const GreyImage grown
        = scaled(cut, std::max(1, static_cast<int>(std::lround(cut.width * factor))), std::max(1, height));
    line.ink = GreyImage(grown.width + 2 * Margin, grown.height + 2 * Margin);
    for (int y = 0; y < grown.height; ++y)
        for (int x = 0; x < grown.width; ++x)
            line.ink.at(x + Margin, y + Margin) = grown.at(x, y);
    line.image = line.ink;
    for (uint8_t& p : line.image.pixels)
        p = static_cast<uint8_t>(255 - p);
    return line;
}

double ItalicEvidence(const GreyImage& ink, int left, int top, int right, int bottom)
{
    left = std::clamp(left, 0, ink.width);
    right = std::clamp(right, left, ink.width);
    top = std::clamp(top, 0, ink.height);
    bottom = std::clamp(bottom, top, ink.height);
    if (right - left < 2 || bottom - top < 4) return 0;
    // Strokes that lean both ways (W, V, A, X) are as sharp sheared back
    // either way: only leaning one way is italics.
    double upright = 0, slanted = 0, backwards = 0;
    for (int step = -8; step <= 8; ++step) {
        const double shear = step * 0.05;
        const double s = sharpness(ink, left, top, right, bottom, shear);
        if (std::abs(step) <= 1)
            upright = std::max(upright, s);
        else if (step >= 3)
            slanted = std::max(slanted, s);
        else if (step <= -3)
            backwards = std::max(backwards, s);
    }
    upright = std::max(upright, backwards);
    if (upright <= 0 || slanted <= 0) return 0;
    return std::log(slanted / upright);
}

} // namespace tessel
