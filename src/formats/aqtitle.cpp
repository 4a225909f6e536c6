#include "formats/aqtitle.h"

#include "core/errors.h"

namespace tessel {

void ReadAQTitle(LineReader&, SubtitleTable&, int, double)
{
    throw Error("The AQTitle format is not available yet.");
}

void WriteAQTitle(const SubtitleTable&, int, int, const WriteContext&, TextSink&)
{
    throw Error("The AQTitle format is not available yet.");
}

} // namespace tessel
