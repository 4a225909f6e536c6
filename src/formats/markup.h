#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The markup the table shows for styled text, as the delivery formats read
// and write it: <i>, <b>, <u> and <font color="..."> tags (the SubRip and
// WebVTT way) and {...} blocks for codes of a format that have no tag.
namespace tessel {

struct MarkupPiece {
    enum Kind {
        Text,
        ItalicOn,
        ItalicOff,
        BoldOn,
        BoldOff,
        UnderlineOn,
        UnderlineOff,
        ColourOn,
        ColourOff,
        Block,
        Tag
    };
    Kind kind = Text;
    // Text: the text; ColourOn: the colour as written; Block: what stands
    // between the braces; Tag: the whole tag of another kind.
    std::string_view text;
};

// A text line in pieces. A "<" or "{" that opens no tag or block is text.
std::vector<MarkupPiece> SplitMarkup(std::string_view line);
// False when SplitMarkup would give the whole line as one text piece (it
// has no "<" or "{"): writers then take it as it is, without the pieces.
bool MayHoldMarkup(std::string_view line);

// A row's text lines into `lines` (its room used again): Line 1, Line 2,
// then Line 3 parted at each "\N", since it holds every line past the second.
void TextLines(
    std::string_view line1, std::string_view line2, std::string_view line3, std::vector<std::string_view>& lines);

// A colour as tags write it: "#rgb", "#rrggbb", "#rrggbbaa" or one of the
// sixteen names of HTML 4; 0xRRGGBB, or nothing.
std::optional<uint32_t> ColourRgb(std::string_view colour);

// <font color="...">.
std::string FontTag(std::string_view colour);

// 64 bits of FNV-1a over the cells, as 16 hex digits: what a format keeps of
// a row as read, so that its writer can tell an edited row from one that is not.
std::string CellsFingerprint(const std::vector<std::string_view>& cells);

// Bytes as lowercase hex and back (nothing for text that is not hex).
std::string ToHex(std::string_view bytes);
std::optional<std::string> FromHex(std::string_view hex);
// Bytes as hex after `out`, or at `to` (room for twice their count), returning the end.
void AppendHex(std::string& out, std::string_view bytes);
char* PutHex(char* to, std::string_view bytes);
// The bytes of `hex` after `out`; false, and `out` as it was, for text that is not hex.
bool AppendFromHex(std::string& out, std::string_view hex);

} // namespace tessel
