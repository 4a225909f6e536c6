#pragma once
#include "core/subtitle_table.h"
#include "tools/check_run.h"

#include <cstdint>

// "Check subtitles timing": overlaps with the previous subtitle and, on
// request, display times too short for the text.
namespace tessel {

// Frames a subtitle needs on screen for its text: 1.398 per character plus 30.
int64_t NeededFrames(int characters);
// "Check Now": fixes each finding at once with `autoFix`, else asks through
// the dialog. Never ends Invalid.
CheckOutcome CheckTiming(SubtitleTable& table, bool autoFix, bool checkShortTime, const CheckServices& services);

} // namespace tessel
