#pragma once
#include <cstdint>
#include <string>

namespace tessel {

// A colour as Sub Station Alpha stores it: 0x00BBGGRR.
constexpr int32_t SsaColour(int red, int green, int blue) { return blue << 16 | green << 8 | red; }

// Everything the export settings dialog edits, with its defaults.
struct SsaExportSettings {
    std::string fontName = "Arial";
    int fontPointSize = 56;
    bool bold = true;
    bool italic = false;
    int charset = 134;
    int32_t primaryColour = SsaColour(255, 255, 255);
    int32_t secondaryColour = SsaColour(255, 255, 0);
    int32_t tertiaryColour = SsaColour(0, 255, 0);
    int32_t outlineColour = SsaColour(0, 0, 0);
    int outlineIndex = 1; // OutlineSize: "off", "1" .. "4"
    int shadowIndex = 1; // ShadowSize, the same way
    int verticalIndex = 2; // PositionHorizontal: "Top", "Middle", "Bottom"
    int horizontalIndex = 1; // PositionVertical: "Left", "Center", "Right"
    int marginLeft = 30;
    int marginRight = 30;
    int marginVertical = 30;
    int alphaLevel = 0; // track bar 0..9

    int alignment() const;
    // BackColour, the outline colour of a version 4 style. The default black
    // keeps the value files have always had; a colour the user chose is kept.
    int32_t backColour() const;
    std::string styleLine() const;
    // "Arial, Bold, 56pt"
    std::string fontDescription() const;
};

} // namespace tessel
