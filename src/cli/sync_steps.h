#pragma once
#include "cli/tool_steps.h"

// The converter's synchronisation (rows of the tool table): to a film's
// speech, to a reference subtitle file, and to points given as ROW=FRAME.
// Each prints one summary line on standard error; a score below the
// threshold is an error (exit 1, nothing written) unless --sync-force.
namespace tessel::cli {

void ValidateSyncPoint(const ToolStep& step);

void RunSyncAudio(const ToolStep& step, const ToolRun& run);
void RunSyncReference(const ToolStep& step, const ToolRun& run);
// All --sync-point steps at once, where the first of them stands.
void RunSyncPoints(const ToolStep& step, const ToolRun& run);

} // namespace tessel::cli
