#pragma once
#include <array>
#include <cstdint>

// A frame reduced to what tells shots apart: a small picture of its
// brightness and the spread of its colours. Two frames of one shot differ
// little even when the camera moves (each block is looked for a few pixels
// around where it was) or the light fades; two shots differ in both.
namespace tessel {

struct ShotPicture {
    static constexpr int Width = 128;
    static constexpr int Height = 72;
    static constexpr int ChromaWidth = Width / 2;
    static constexpr int ChromaHeight = Height / 2;
    static constexpr int LumaBins = 32;
    static constexpr int ChromaBins = 16;

    std::array<uint8_t, Width * Height> luma {};
    std::array<uint8_t, ChromaWidth * ChromaHeight> u {}, v {};
    // Shares of the pixels, made by finish().
    std::array<float, LumaBins + 2 * ChromaBins> histogram {};

    // Fills the histogram from the planes.
    void finish();
};

// 0 (the same picture) to 1 (nothing alike).
float PictureDifference(const ShotPicture& a, const ShotPicture& b);

} // namespace tessel
