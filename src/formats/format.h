#pragma once
#include "core/errors.h"
#include "core/subtitle_table.h"
#include "formats/ssa_settings.h"
#include "formats/text_file.h"

#include <memory>
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
    // The rows come straight from a reader of this format, no tool between
    // (LineReader::rowsAsRead): a row whose hidden cell says nothing of its
    // text as read was not edited.
    bool rowsAsRead = false;
};

// Stores subtitles from firstRow on, one row each, as the table's fill rule
// says; throws on errors it does not handle, leaving the rows stored so far.
using ReaderFn = void (*)(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
// Writes rows firstRow..lastRow; throws on any error (the save command reports it).
using WriterFn
    = void (*)(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);

// Thrown by a writer for a table its format cannot hold (more subtitles than
// the file's counts or time codes reach), before any file is replaced: the
// save says why, as no other writer's error does.
class WriteRefused : public Error {
public:
    using Error::Error;
};

// Which of a block's rows a RowWriter's rows() is given, and as which: those
// of a copy without some (a script's comments), numbered from `numbered` on.
struct PreparedRows {
    int numbered = 0; // 0: the rows as they are
    bool (*skipped)(std::string_view extra) = nullptr;
};

// A writer that takes the rows as they come, a block at a time, for a file
// written while it is read. What comes before the rows is written when it is
// made, from the document data the table holds then (a reader keeps what
// comes before its first row once it stored that row).
class RowWriter {
public:
    virtual ~RowWriter() = default;
    // Rows first..last, each once and in order. The table may hold later
    // rows: a row whose writing depends on the next looks at it, and the last
    // call is the one where `last` is the table's last row.
    virtual void rows(const SubtitleTable& table, int first, int last, TextSink& out) = 0;
    // Each block before rows() gets it, on the thread that reads while
    // rows() may write the blocks before on another: what a row needs of no
    // other row can be made here. The rows may not be given this way.
    virtual void prepare(const SubtitleTable&, int /*first*/, int /*last*/, PreparedRows /*as*/ = {}) { }
    // After the last row, with the document data complete.
    virtual void finish(const SubtitleTable& table, TextSink& out) = 0;
};
// Starts writing the table a block at a time; nullptr when this table has
// to be written whole (its document is rewritten as one).
using RowWriterFn
    = std::unique_ptr<RowWriter> (*)(const SubtitleTable& table, const WriteContext& context, TextSink& out);

// A WriterFn made of a RowWriterFn: all the rows in one block.
inline void WriteAllRows(
    RowWriterFn make, const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    const std::unique_ptr<RowWriter> writer = make(table, context, out);
    writer->rows(table, firstRow, lastRow, out);
    writer->finish(table, out);
}

// What a table read from one format holds that a file of another format has
// no place for, counted a block of rows at a time, then named with the
// document data ("styles", "12 comment lines").
class LeftOutCount {
public:
    virtual ~LeftOutCount() = default;
    // The tag of the hidden cells it counts.
    virtual std::string_view tag() const = 0;
    // From the rows' hidden cells only: blocks of rows with none are not given.
    virtual void rows(const SubtitleTable& table, int firstRow, int lastRow) = 0;
    virtual std::vector<std::string> items(const SubtitleTable& table) const = 0;
};

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
