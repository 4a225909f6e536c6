#include "formats/ssa.h"

#include "core/errors.h"

namespace tessel {

void ReadSSA(LineReader&, SubtitleTable&, int, double)
{
    throw Error("The Sub Station Alpha format is not available yet.");
}

void WriteSSA(const SubtitleTable&, int, int, const WriteContext&, TextSink&)
{
    throw Error("The Sub Station Alpha format is not available yet.");
}

} // namespace tessel
