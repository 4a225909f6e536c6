#pragma once
#include "picture/ocr_engine.h"
#include "picture/ocr_pictures.h"

#include <vector>

// A subtitle's picture made ready for the engine: its text told from its
// outline and the ground whatever their colours, cut into lines, each scaled
// to the height the engine reads best and turned into dark text on white;
// and the slant of its glyphs, which tells italics.
namespace tessel {

// 255 where the text's own colour is, 0 on its outline and around it.
GreyImage InkOf(const SubtitlePicture& picture);

// Rows [top, bottom) of one line of text.
struct TextBand {
    int top = 0, bottom = 0;
    int height() const { return bottom - top; }
};
// The lines of text of the ink, top to bottom; marks too small to be a line
// (accents, dots) belong to the nearest line.
std::vector<TextBand> SplitTextLines(const GreyImage& ink);

struct PreparedLine {
    GreyImage ink; // the line's ink, scaled, with a margin
    GreyImage image; // the same as dark text on white, for the engine
};
// The band cut to its ink and scaled so that it is `height` pixels high.
PreparedLine PrepareLine(const GreyImage& ink, const TextBand& band, int height);

// How much a box of ink leans like italics: the log of how much sharper the
// ink's columns are when sheared back by an italic slant than upright.
// Above 0: slanted; near 0: nothing to tell by (round letters, too little
// ink).
double ItalicEvidence(const GreyImage& ink, int left, int top, int right, int bottom);

} // namespace tessel
