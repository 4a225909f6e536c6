// TTML read (and read as it comes, to the same rows), then written again with some paragraphs edited, as a save after
// editing does: the kept document's paragraphs are found again and remade.
#include "core/subtitle_table.h"
#include "formats/text_file.h"
#include "formats/ttml.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const double rates[] = { 23.976, 25, 29.97, 0.001, 1000, 0, -1, 1e9 };
    const double framerate = size ? rates[data[0] % 8] : 25;
    const uint8_t edits = size > 1 ? data[1] : 0;
    tessel::SubtitleTable table;
    std::string error;
    try {
        tessel::DecodedText text(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        tessel::LineReader lines(text.all());
        tessel::ReadTtml(lines, table, 1, framerate);
    } catch (const std::exception& e) {
        // The reader's way of refusing bad input; the rows before stay.
        error = e.what();
    }
    // Read as it comes for another format's writer: the same rows and error,
    // unless the document is one to read whole after all.
    tessel::SubtitleTable streamed;
    std::string streamedError;
    bool whole = false;
    try {
        tessel::DecodedText text(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        tessel::LineReader lines(text.all());
        lines.setKeepsFile(false);
        tessel::ReadTtml(lines, streamed, 1, framerate);
    } catch (const std::exception& e) {
        streamedError = e.what();
    } catch (const tessel::ReadFileWhole&) {
        whole = true;
    }
    if (!whole) {
        if (streamedError != error || streamed.rowCount() != table.rowCount()) std::abort();
        for (int row = 1; row < table.rowCount(); ++row)
            for (int column = tessel::SubtitleTable::From; column <= tessel::SubtitleTable::Line3; ++column)
                if (streamed.cell(column, row) != table.cell(column, row)) std::abort();
    }
    for (int row = 1; row < table.rowCount(); ++row) {
        if (edits & (1 << (row % 4))) table.setCell(tessel::SubtitleTable::Line1, row, "<i>x</i> & y");
        if (edits & (0x10 << (row % 4))) table.setCell(tessel::SubtitleTable::From, row, "12");
    }
    if (edits == 0xFF && table.rowCount() > 2) table.deleteRow(1);
    try {
        tessel::StringSink sink;
        tessel::WriteContext context;
        context.framerate = framerate;
        tessel::WriteTtml(table, 1, table.rowCount() - 1, context, sink);
    } catch (const std::exception&) {
        // A frame cell that is no number.
    }
    return 0;
}
