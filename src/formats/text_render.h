#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Subtitle text drawn into a picture, for the picture formats, without any
// display: fontconfig finds the font for a name as the desktop would
// ("Arial" is Liberation Sans here) and FreeType draws its glyphs with an
// outline around them.
namespace tessel {

struct TextStyle {
    std::string fontName = "Arial";
    int pixelSize = 56; // the em, in pixels
    bool bold = false;
    int outlinePixels = 2; // 0: none
};

// How much of each pixel the text and its outline cover (0..255), row by
// row; the outline's coverage takes in the text's.
struct TextPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> fill, outline;
    bool empty() const { return width == 0 || height == 0; }
};

class TextRenderer {
public:
    // Throws Error when fontconfig finds no font file, or FreeType cannot read it.
    explicit TextRenderer(const TextStyle& style);
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // The lines (with <i> and <b> markup; other tags are not drawn) one under
    // the other, each centred on the widest, cut to the pixels they cover.
    TextPicture render(const std::vector<std::string_view>& lines);
    // From one baseline to the next.
    int lineHeight() const;

private:
    class Faces;
    std::unique_ptr<Faces> faces_;
};

} // namespace tessel
