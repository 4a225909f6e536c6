#include "formats/ssa_settings.h"

namespace tessel {

int SsaExportSettings::alignment() const
{
    int value = horizontalIndex + 1;
    if (verticalIndex == 0) value += 4;
    if (verticalIndex == 1) value += 8;
    return value;
}

int32_t SsaExportSettings::backColour() const
{
    constexpr int32_t Historic = -2147483640;
    return outlineColour == SsaColour(0, 0, 0) ? Historic : outlineColour;
}

std::string SsaExportSettings::styleLine() const
{
    const std::string s = ",";
    return "Style: Default," + fontName + s + std::to_string(fontPointSize) + s + std::to_string(primaryColour) + s
        + std::to_string(secondaryColour) + s + std::to_string(tertiaryColour) + s + std::to_string(backColour()) + s
        + (bold ? "-1" : "0") + s + (italic ? "-1" : "0") + s + "1" + s + std::to_string(outlineIndex) + s
        + std::to_string(shadowIndex) + s + std::to_string(alignment()) + s + std::to_string(marginLeft) + s
        + std::to_string(marginRight) + s + std::to_string(marginVertical) + s + std::to_string(alphaLevel * 10) + s
        + std::to_string(charset);
}

std::string SsaExportSettings::fontDescription() const
{
    return fontName + ", " + (bold ? "Bold, " : "") + (italic ? "Italic, " : "") + std::to_string(fontPointSize) + "pt";
}

} // namespace tessel
