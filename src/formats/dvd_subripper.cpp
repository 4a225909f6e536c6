#include "formats/dvd_subripper.h"

#include "core/errors.h"

namespace tessel {

void ReadDVDSubripper(LineReader&, SubtitleTable&, int, double)
{
    throw Error("The DVD Subripper format is not available yet.");
}

void WriteDVDSubripper(const SubtitleTable&, int, int, const WriteContext&, TextSink&)
{
    throw Error("The DVD Subripper format is not available yet.");
}

} // namespace tessel
