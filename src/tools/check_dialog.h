#pragma once
#include "core/subtitle_table.h"

#include <QString>
#include <array>
#include <string>

// The "Check & Correct" dialog as the checks see it: three neighbouring rows
// of the table, one marked cell, and the user's answer.
namespace tessel {

enum CheckResult { CheckChange = 0, CheckIgnore = 1, CheckAutoFix = 2, CheckCancel = 9 };

struct CheckWindow {
    std::array<std::array<std::string, SubtitleTable::ColumnCount>, 3> rows; // dialog rows 1..3
    int rowsFilled = 0; // how many of them hold table rows
    int markRow = 1; // dialog row 1..3
    int markColumn = 0; // 0..4
};

// Implemented by the Qt dialog and by scripted answers in tests.
class CheckDialogView {
public:
    virtual ~CheckDialogView() = default;
    // Shows the window (rows beyond rowsFilled keep what they showed before),
    // lets the user edit it in place and returns the result code; closing the
    // dialog without a button returns the previous code.
    virtual int Exec(CheckWindow& window, const QString& message, bool autoFixEnabled) = 0;
};

// Picks the three rows around `row`, shows them, and applies the answer to
// the table. Returns false only for Cancel.
bool ShowCheckDialog(SubtitleTable& table, CheckDialogView& view, int row, int column, const std::string& message,
    const std::string& proposedValue);

// Pauses the movie before a check; a no-op when none is open.
class VideoPause {
public:
    virtual ~VideoPause() = default;
    virtual void Pause() = 0;
};

class NoVideo : public VideoPause {
public:
    void Pause() override { }
};

// Pixel width of one line of text in the check's font.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    virtual int Width(const std::string& utf8Text) = 0;
};

} // namespace tessel
