#include "formats/subviewer1.h"

#include "core/errors.h"

namespace tessel {

void ReadSubViewer1(LineReader&, SubtitleTable&, int, double)
{
    throw Error("The SubViewer 1 format is not available yet.");
}

void WriteSubViewer1(const SubtitleTable&, int, int, const WriteContext&, TextSink&)
{
    throw Error("The SubViewer 1 format is not available yet.");
}

} // namespace tessel
