#include "picture/shot_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tessel {
namespace {

constexpr int Block = 8;
// How far (in pixels of the small picture) a block is looked for: a pan
// across the width in under two seconds at 24 frames a second.
constexpr int Reach = 3;
// A block that matches this well where it was is not looked for elsewhere
// (4 levels a pixel: noise).
constexpr int StillBlock = Block * Block * 4;
// Brightness differences count this many times over: a mean difference of a
// third of the range is as far apart as two pictures get.
constexpr float LumaWeight = 3;
// Levels moved count this many times over: shots a quarter of the range
// apart in brightness and colour are as far apart as pictures get.
constexpr float HistogramWeight = 4;

int blockSad(const uint8_t* a, const uint8_t* b, int stride)
{
    int sum = 0;
    for (int y = 0; y < Block; ++y, a += stride, b += stride)
        for (int x = 0; x < Block; ++x)
            sum += std::abs(int(a[x]) - int(b[x]));
    return sum;
}

// Mean of each block's best match nearby, 0..1.
float motionDifference(const uint8_t* a, const uint8_t* b)
{
    constexpr int W = ShotPicture::Width, H = ShotPicture::Height;
    int64_t total = 0;
    for (int by = 0; by + Block <= H; by += Block)
        for (int bx = 0; bx + Block <= W; bx += Block) {
            const uint8_t* target = b + by * W + bx;
            int best = blockSad(a + by * W + bx, target, W);
            if (best > StillBlock)
                for (int dy = std::max(-Reach, -by); dy <= std::min(Reach, H - Block - by); ++dy)
                    for (int dx = std::max(-Reach, -bx); dx <= std::min(Reach, W - Block - bx); ++dx)
                        if (dx != 0 || dy != 0) best = std::min(best, blockSad(a + (by + dy) * W + bx + dx, target, W));
            total += best;
        }
    constexpr int counted = (W / Block) * (H / Block) * Block * Block;
    return float(total) / (counted * 255.0f);
}

// How far the pixels' levels had to move to turn one spread into the other
// (the earth mover's distance of each plane's histogram), 0..1: a picture a
// little brighter is a little different, however many pixels cross a bin.
float histogramDifference(const ShotPicture& a, const ShotPicture& b)
{
    float total = 0;
    size_t from = 0;
    for (int bins : { ShotPicture::LumaBins, ShotPicture::ChromaBins, ShotPicture::ChromaBins }) {
        float carried = 0, moved = 0;
        for (size_t i = from; i < from + size_t(bins); ++i) {
            carried += a.histogram[i] - b.histogram[i];
            moved += std::abs(carried);
        }
        total += moved / float(bins - 1);
        from += size_t(bins);
    }
    return std::min(1.0f, HistogramWeight * total / 3);
}

template <size_t N> void count(const std::array<uint8_t, N>& plane, float* bins, int binCount)
{
    const int shift = binCount == 32 ? 3 : 4;
    std::array<int, 32> counts {};
    for (uint8_t value : plane)
        ++counts[size_t(value >> shift)];
    for (int i = 0; i < binCount; ++i)
        bins[i] = float(counts[size_t(i)]) / float(N);
}

} // namespace

void ShotPicture::finish()
{
    count(luma, histogram.data(), LumaBins);
    count(u, histogram.data() + LumaBins, ChromaBins);
    count(v, histogram.data() + LumaBins + ChromaBins, ChromaBins);
}

float PictureDifference(const ShotPicture& a, const ShotPicture& b)
{
    const float motion = std::min(1.0f, LumaWeight * motionDifference(a.luma.data(), b.luma.data()));
    return (motion + histogramDifference(a, b)) / 2;
}

} // namespace tessel
