#include "formats/subviewer2.h"

#include "core/errors.h"

namespace tessel {

void ReadSubViewer2(LineReader&, SubtitleTable&, int, double)
{
    throw Error("The SubViewer 2 format is not available yet.");
}

void WriteSubViewer2(const SubtitleTable&, int, int, const WriteContext&, TextSink&)
{
    throw Error("The SubViewer 2 format is not available yet.");
}

} // namespace tessel
