#pragma once

namespace tessel::app {

struct ToolContext;

// The "Check" page's two checks, "Check now" (text width) and "Check Now"
// (timing); the font choice works on the page itself.
void WireCheckPage(const ToolContext& context);

} // namespace tessel::app
