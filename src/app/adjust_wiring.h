#pragma once

namespace tessel::app {

struct ToolContext;

// The "Adjust" page's four buttons, and the grid's double click that fills
// the "Change start" field.
void WireAdjustPage(const ToolContext& context);

} // namespace tessel::app
