// SCC read, then written again with some rows edited: the kept file's lines
// give way to pop-on captions loaded around the others' codes.
#include "core/subtitle_table.h"
#include "formats/scc.h"
#include "formats/text_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const double rates[] = { 29.97, 25, 23.976, 30, 0.001, 1000, 0, -1 };
    const double framerate = size ? rates[data[0] % 8] : 29.97;
    const uint8_t edits = size > 1 ? data[1] : 0;
    tessel::SubtitleTable table;
    try {
        tessel::DecodedText text(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        tessel::LineReader lines(text.all());
        tessel::ReadScc(lines, table, 1, framerate);
    } catch (const std::exception&) {
        // The reader's way of refusing bad input; the rows before stay.
    }
    for (int row = 1; row < table.rowCount(); ++row) {
        if (edits & (1 << (row % 4))) table.setCell(tessel::SubtitleTable::Line1, row, "<i>Hi</i> there");
        if (edits & (0x10 << (row % 4))) table.setCell(tessel::SubtitleTable::To, row, "100000");
    }
    try {
        tessel::StringSink sink;
        tessel::WriteContext context;
        context.framerate = framerate;
        tessel::WriteScc(table, 1, table.rowCount() - 1, context, sink);
    } catch (const std::exception&) {
        // A character CEA-608 cannot show, a frame cell that is no number.
    }
    // Written a few rows at a time as a table of another format: the whole
    // table's bytes, unless it gave up (rows out of order), when the whole
    // table is written instead.
    table.setDocumentData({});
    try {
        tessel::StringSink sink, reference;
        tessel::WriteContext context;
        context.framerate = framerate;
        tessel::WriteScc(table, 1, table.rowCount() - 1, context, reference);
        const std::unique_ptr<tessel::RowWriter> writer = tessel::MakeSccWriter(table, context, sink);
        const int block = size > 2 ? data[2] % 5 + 1 : 1;
        for (int first = 1; first < table.rowCount(); first += block)
            writer->rows(table, first, std::min(first + block, table.rowCount()) - 1, sink);
        writer->finish(table, sink);
        if (sink.text() != reference.text()) std::abort();
    } catch (const std::exception&) {
        // As above, or rows whose order the blocks cannot keep.
    }
    return 0;
}
