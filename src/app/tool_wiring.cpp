#include "app/tool_wiring.h"

#include "app/adjust_wiring.h"
#include "app/check_wiring.h"
#include "app/grid_editing_wiring.h"
#include "app/reading_wiring.h"
#include "app/repair_wiring.h"

namespace tessel::app {

void WireTools(const ToolContext& context)
{
    WireAdjustPage(context);
    WireRepairPage(context);
    WireGridEditing(context);
    WireCheckPage(context);
    WireReadingPage(context);
}

} // namespace tessel::app
