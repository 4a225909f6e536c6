#include "preview/playback_sync.h"

#include <algorithm>

namespace tessel {

QString SubtitleText(const SubtitleTable& table, int row)
{
    if (row <= 0 || row >= table.rowCount()) return {};
    return table.text(SubtitleTable::Line1, row) + QLatin1Char('\n') + table.text(SubtitleTable::Line2, row)
        + QLatin1Char('\n') + table.text(SubtitleTable::Line3, row);
}

int ScrolledTopRow(int row, int topRow, int visibleRows)
{
    if (row < topRow) return row;
    // A row just below the fully visible ones is left where it is: it is
    // usually the partly visible last row.
    if (row > topRow + visibleRows) return row - visibleRows;
    return topRow;
}

PlaybackSync::PlaybackSync(
    const SubtitleTable& table, SubtitleGridView& grid, MovieTextView& movie, const PlaybackSwitches& switches)
    : table_(table)
    , grid_(grid)
    , movie_(movie)
    , switches_(switches)
{
}

void PlaybackSync::ProcessTimer(int position, int length)
{
    movie_.setTimeCode(QString::number(position) + QLatin1Char('/') + QString::number(length));
    const bool moved = lastPosition_ != position;
    lastPosition_ = position;
    const bool stale = SubtitleText(table_, shownRow_) != shownText_;
    if (table_.cell(SubtitleTable::From, 1).empty()) { // no subtitles loaded
        if (stale) {
            ShowSubtitleText(-1);
            LastShownRow = -1;
        }
        return;
    }
    const int row = FindSubtitleRow(position);
    const bool shownElse = shownRow_ != row || shownText_ != SubtitleText(table_, row);
    if (row != LastShownRow || ((moved || stale) && shownElse)) {
        ShowSubtitleText(row);
        LastShownRow = row;
    }
    if (heldFrame_ && *heldFrame_ != position) heldFrame_.reset();
    if (row <= 0 || row == grid_.currentRow() || heldFrame_) return;
    if (switches_.autoSelect()) grid_.selectCellQuietly(SubtitleTable::From, row);
    ScrollToRow(row);
}

int PlaybackSync::FindSubtitleRow(int frame) { return finder_.FindSubtitleRow(table_, grid_.currentRow(), frame); }

void PlaybackSync::ShowSubtitleText(int row)
{
    shownRow_ = row;
    shownText_ = SubtitleText(table_, row);
    movie_.setSubtitleText(shownText_);
}

void PlaybackSync::ScrollToRow(int row)
{
    if (!switches_.autoScroll()) return;
    const int top = grid_.topRow();
    const int newTop = ScrolledTopRow(row, top, grid_.visibleRowCount());
    if (newTop != top) grid_.setTopRow(newTop);
}

} // namespace tessel
