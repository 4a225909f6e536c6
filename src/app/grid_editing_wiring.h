#pragma once

namespace tessel::app {

struct ToolContext;

// The grid's pop-up menu (insert and delete a row) and its clipboard keys.
void WireGridEditing(const ToolContext& context);

} // namespace tessel::app
