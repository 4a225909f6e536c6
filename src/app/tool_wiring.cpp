#include "app/tool_wiring.h"

#include "app/adjust_wiring.h"
#include "app/check_wiring.h"
#include "app/grid_editing_wiring.h"
#include "app/repair_wiring.h"
#include "app/undo_wiring.h"

namespace tessel::app {

void WireTools(const ToolContext& context)
{
    WireAdjustPage(context);
    WireRepairPage(context);
    WireGridEditing(context);
    WireCheckPage(context);
    WireUndo(context);
}

} // namespace tessel::app
