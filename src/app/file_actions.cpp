#include "app/file_actions.h"

#include "app/file_dialogs.h"
#include "app/qt_messages.h"
#include "app/subtitle_grid.h"
#include "formats/registry.h"

namespace tessel::app {

FileActions::FileActions(SubtitleTable& table, SubtitleGrid& grid, FileServices services)
    : table_(table)
    , grid_(grid)
    , services_(services)
    , cleanRevision_(table.revision())
{
}

bool FileActions::mayDiscardChanges(const QString& question)
{
    return !isModified() || services_.questions.askYesNo(DiscardTitle, question);
}

void FileActions::openSubtitles()
{
    if (!mayDiscardChanges(DiscardOnOpenQuestion)) return;
    if (const std::optional<QString> file = services_.dialogs.chooseSubtitleFile()) load(*file, false);
}

void FileActions::appendSubtitles()
{
    if (const std::optional<QString> file = services_.dialogs.chooseSubtitleFile()) load(*file, true);
}

// A read error leaves here with the rows stored so far in the table, and the
// document counts as modified.
void FileActions::load(const QString& fileName, bool append)
{
    const uint64_t before = table_.revision();
    const LoadResult result = LoadSubtitles(table_, fileName.toStdString(), append, services_.framerate,
        services_.messages, ReadEncoding { {}, services_.encoding });
    // Only a file that replaced the table makes it clean; one that stored
    // nothing leaves the earlier edits (and their state) as they were.
    if (!append && table_.revision() != before) cleanRevision_ = table_.revision();
    if (!result.select) return;
    grid_.selectCell(0, result.row);
    grid_.setTopRow(result.topRow);
}

void FileActions::saveSubtitles()
{
    const std::optional<SaveChoice> choice = services_.dialogs.chooseSaveFile();
    if (!choice) return;
    SaveServices save { services_.framerate, services_.exportSettings, services_.messages, services_.decimalSeparator };
    if (!SaveSubtitles(table_, choice->fileName.toStdString(), choice->fileType, save)) return;
    cleanRevision_ = table_.revision();
    if (!services_.status) return;
    const FormatInfo* format = FormatBySaveType(choice->fileType);
    services_.status(QString::fromStdString(format ? DescribeUnwritten(table_, *format) : std::string()));
}

} // namespace tessel::app
