#pragma once

namespace tessel::app {

struct ToolContext;

// The "Reading" page: its profiles, read again each time the page comes into
// view, and "Go!", the reading speed and layout check as one undo step.
void WireReadingPage(const ToolContext& context);

class FileActions;
class ReadingPage;

// The page's framerate starts at the one the table was read or last written
// with, whenever there is one, so that frames become seconds at the film's rate.
void FollowDocumentFramerate(ReadingPage& page, FileActions& files);

} // namespace tessel::app
