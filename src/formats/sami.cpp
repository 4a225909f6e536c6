#include "formats/sami.h"

#include "core/errors.h"

namespace tessel {

void ReadSAMI(LineReader&, SubtitleTable&, int, double)
{
    throw Error("The SAMI format is not available yet.");
}

void WriteSAMI(const SubtitleTable&, int, int, const WriteContext&, TextSink&)
{
    throw Error("The SAMI format is not available yet.");
}

} // namespace tessel
