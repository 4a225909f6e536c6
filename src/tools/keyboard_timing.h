#pragma once
#include "core/subtitle_table.h"

// Timing one row at a time from the frame on screen: the commands behind the
// timing keys and the waveform's edges. Frames are written as plain decimal
// numbers; a frame cell that holds no number is never changed by a nudge.
namespace tessel {

// Frames left free between a subtitle's end and the next one's start when
// "set end and go on" gives that one its start.
constexpr int TimingGap = 2;

void SetRowStart(SubtitleTable& table, int row, int frame);
void SetRowEnd(SubtitleTable& table, int row, int frame);

// Sets the row's end; the next row, if there is one and it has no start yet,
// starts TimingGap frames later. Returns the next row, or `row` at the last one.
int SetEndAndGoOn(SubtitleTable& table, int row, int frame);

// A row that has no start yet: an empty From cell, or a row as "Insert new
// row" makes it, starting and ending at 0.
bool HasNoStart(const SubtitleTable& table, int row);

// Moves the start or the end by `frames`, never below frame 0. False when the
// cell holds no number (nothing changes then).
bool NudgeStart(SubtitleTable& table, int row, int frames);
bool NudgeEnd(SubtitleTable& table, int row, int frames);

} // namespace tessel
