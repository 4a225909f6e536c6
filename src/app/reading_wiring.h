#pragma once

namespace tessel::app {

struct ToolContext;

// The "Reading" page: its profiles, read again each time the page comes into
// view, and "Go!", the reading speed and layout check as one undo step.
void WireReadingPage(const ToolContext& context);

} // namespace tessel::app
