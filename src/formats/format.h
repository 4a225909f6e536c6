#pragma once
#include "core/subtitle_table.h"
#include "formats/ssa_settings.h"
#include "formats/text_file.h"

#include <string>
#include <string_view>
#include <vector>

// The shape every format's reader and writer has.
namespace tessel {

struct WriteContext {
    double framerate = 0; // asked for by the save command when the format needs one
    SsaExportSettings ssa; // the Sub Station Alpha style
    // The video a picture format draws the rows for.
    int pictureWidth = 1920, pictureHeight = 1080;
    // Where a writer says what it wrote otherwise than the table asks (a
    // caption shown late for want of time to send it); none: not told.
    std::vector<std::string>* notes = nullptr;
};

// Stores subtitles from firstRow on, one row each, as the table's fill rule
// says; throws on errors it does not handle, leaving the rows stored so far.
using ReaderFn = void (*)(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
// Writes rows firstRow..lastRow; throws on any error (the save command reports it).
using WriterFn
    = void (*)(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);

// The fill rule: all five cells of row `row` (and the hidden one, which a
// format that keeps nothing leaves empty), then the row count cut to row + 1.
inline void StoreRow(SubtitleTable& table, int& row, std::string_view from, std::string_view to, std::string_view line1,
    std::string_view line2, std::string_view line3, std::string_view extra = {})
{
    if (row >= table.rowCount()) table.setRowCount(row + 1);
    table.setRow(row, from, to, line1, line2, line3, extra);
    table.setRowCount(row + 1);
    ++row;
}

// Readers keep three text lines: splitting into at most four pieces gives the
// same three, and a line of a million separators no million pieces.
constexpr int MaxStoredPieces = 4;

// The i-th piece or an empty text.
inline std::string_view PieceOrEmpty(const std::vector<std::string>& pieces, size_t i)
{
    return i < pieces.size() ? std::string_view(pieces[i]) : std::string_view();
}

} // namespace tessel
