#pragma once

namespace tessel::app {

struct ToolContext;

// The "Repair" page: the user's replace, the checked auto-repairs and the
// list's double click.
void WireRepairPage(const ToolContext& context);

} // namespace tessel::app
