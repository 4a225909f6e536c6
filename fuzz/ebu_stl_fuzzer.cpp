// EBU STL is read from the file's bytes as they are, not decoded text: the
// reader gets them raw, and what it read is written again.
#include "core/subtitle_table.h"
#include "formats/ebu_stl.h"
#include "formats/text_file.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const double rates[] = { 25, 30, 23.976, 29.97, 0.001, 1000, 0, -1 };
    const double framerate = size ? rates[data[0] % 8] : 25;
    tessel::SubtitleTable table;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        tessel::LineReader lines(bytes);
        tessel::ReadEbuStl(lines, table, 1, framerate);
    } catch (const std::exception&) {
        // The reader's way of refusing bad input; the rows before stay.
    }
    try {
        tessel::StringSink sink;
        tessel::WriteContext context;
        context.framerate = framerate;
        tessel::WriteEbuStl(table, 1, table.rowCount() - 1, context, sink);
    } catch (const std::exception&) {
        // A row the file's table cannot hold, a frame cell that is no number.
    }
    return 0;
}
