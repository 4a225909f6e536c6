#include "app/tool_wiring.h"

namespace tessel::app {

// The timing tools, the repairs, the two checks (measuring with
// QtTextMeasurer over CheckPage::checkFont()), row editing and playback are
// connected here as they land.
void WireTools(const ToolContext&) { }

} // namespace tessel::app
