#pragma once
// Feeds arbitrary bytes through decoding and one format's reader, the way the
// load command does, with a framerate taken from the first byte. The format
// is named as the converter names it.
#include "core/subtitle_table.h"
#include "formats/registry.h"
#include "formats/text_file.h"

#include <cstddef>
#include <cstdint>
#include <exception>

// With `writeBack`, what was read is written again in the same format with
// some rows edited, as a save after editing does (formats that keep what they
// skipped or could not show must find it again).
inline int FuzzReader(const char* format, const uint8_t* data, size_t size, bool writeBack = false)
{
    static const double rates[] = { 23.976, 25, 29.97, 0.001, 1000, 0, -1, 1e9 };
    const double framerate = size ? rates[data[0] % 8] : 25;
    tessel::SubtitleTable table;
    try {
        tessel::DecodedText text(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        tessel::LineReader lines(text.all());
        tessel::FormatById(format)->read(lines, table, 1, framerate);
    } catch (const std::exception&) {
        // Errors are the reader's way of refusing bad input.
    }
    if (!writeBack) return 0;
    const uint8_t edits = size > 1 ? data[1] : 0;
    for (int row = 1; row < table.rowCount(); ++row) {
        if (edits & (1 << (row % 4))) table.setCell(tessel::SubtitleTable::Line1, row, "<i>x</i> & {y}");
        if (edits & (0x10 << (row % 4))) table.setCell(tessel::SubtitleTable::To, row, "12");
    }
    try {
        tessel::StringSink sink;
        tessel::WriteContext context;
        context.framerate = framerate;
        tessel::FormatById(format)->write(table, 1, table.rowCount() - 1, context, sink);
    } catch (const std::exception&) {
        // A frame cell that is no number, a framerate of no use.
    }
    return 0;
}
