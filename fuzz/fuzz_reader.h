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

inline int FuzzReader(const char* format, const uint8_t* data, size_t size)
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
    return 0;
}
