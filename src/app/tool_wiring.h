#pragma once
#include "app/error_report.h"
#include "core/edit_history.h"
#include "core/subtitle_table.h"
#include "core/user_prompts.h"
#include "tools/check_dialog.h"

#include <QObject>
#include <functional>
#include <initializer_list>

class QWidget;

// Where the editing tools, the checks and the movie preview meet the windows.
// The editor calls WireTools once, after every window exists; it connects the
// controls of the pages, the grid's pop-up menu and the playback controls to
// their commands. Run every command through `errors` so that what it does not
// handle ends up in the general error report.
namespace tessel::app {

class CommandRegistry;
class MainWindow;
class PlaybackWiring;

struct ToolContext {
    SubtitleTable& table;
    EditHistory& history; // a command's changes go into one step: EditHistory::Step
    MainWindow& mainWindow; // pages, grid and playback controls by accessor
    CheckDialogView& checkDialog;
    ErrorReport& errors;
    MessageSink& messages;
    char decimalSeparator;
    QWidget* movieWindow; // nullptr until the movie preview provides one
    VideoPause* video = nullptr; // the checks pause the movie through it; nullptr: no movie
    PlaybackWiring* playback = nullptr; // nullptr: no movie preview
    CommandRegistry* commands = nullptr; // where a command beyond the specified buttons registers
};

void WireTools(const ToolContext& context);

// Runs `command` through the error report on every left double click on one
// of `areas`, over an item or on their empty part alike.
void ConnectDoubleClick(ErrorReport& errors, std::initializer_list<QWidget*> areas, std::function<void()> command);

// Runs `command` through the error report each time `signal` of `sender` fires.
template <typename Sender, typename Signal>
void ConnectGuarded(ErrorReport& errors, Sender* sender, Signal signal, std::function<void()> command)
{
    QObject::connect(sender, signal, sender, [&errors, command = std::move(command)] { errors.run(command); });
}

} // namespace tessel::app
