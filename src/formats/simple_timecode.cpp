#include "formats/simple_timecode.h"

#include "core/errors.h"

namespace tessel {

void ReadSimpleTimeCode(LineReader&, SubtitleTable&, int, double)
{
    throw Error("The Simple time-code format is not available yet.");
}

void WriteSimpleTimeCode(const SubtitleTable&, int, int, const WriteContext&, TextSink&)
{
    throw Error("The Simple time-code format is not available yet.");
}

} // namespace tessel
