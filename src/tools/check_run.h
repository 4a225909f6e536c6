#pragma once
#include "core/user_prompts.h"
#include "tools/check_dialog.h"

// What the two checks need from the window, and how a run ended.
namespace tessel {

struct CheckServices {
    CheckDialogView& dialog;
    VideoPause& video;
    MessageSink& messages;
};

enum class CheckOutcome {
    Invalid, // the input was refused and nothing was checked
    Cancelled, // the user pressed Cancel; corrections made before stay
    Completed, // every row checked; the "Done" message was shown
};

} // namespace tessel
