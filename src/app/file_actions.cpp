#include "app/file_actions.h"

#include "app/file_dialogs.h"
#include "app/qt_messages.h"
#include "app/subtitle_grid.h"
#include "core/numbers.h"
#include "formats/registry.h"

namespace tessel::app {

namespace {

// Notes the framerate a reader or writer asked for.
class NotedFramerate : public FramerateSource {
public:
    explicit NotedFramerate(FramerateSource& source)
        : source_(source)
    {
    }
    double ChooseFramerate(const QString& caption, const QString& prompt) override
    {
        return chosen = source_.ChooseFramerate(caption, prompt);
    }
    double chosen = 0;

private:
    FramerateSource& source_;
};

// Notes the framerate of the export settings a writer asked for.
class NotedExportSettings : public ExportSettingsSource {
public:
    NotedExportSettings(ExportSettingsSource& source, char decimalSeparator)
        : source_(source)
        , decimalSeparator_(decimalSeparator)
    {
    }
    SsaExportAnswer AskExportSettings() override
    {
        SsaExportAnswer answer = source_.AskExportSettings();
        chosen = TryStrToFloat(answer.fpsText.toStdString(), decimalSeparator_).value_or(0);
        return answer;
    }
    double chosen = 0;

private:
    ExportSettingsSource& source_;
    char decimalSeparator_;
};

} // namespace

FileActions::FileActions(SubtitleTable& table, EditHistory& history, SubtitleGrid& grid, FileServices services)
    : table_(table)
    , history_(history)
    , grid_(grid)
    , services_(services)
{
}

void FileActions::setDocument(const RecoveryDocument& document, std::optional<FormatCode> format)
{
    document_ = document;
    documentFormat_ = format ? *format : FormatOfDocument(table_, document.fileName);
    for (const auto& changed : documentChanged_)
        changed(document_);
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

void FileActions::openFile(const QString& fileName)
{
    if (mayDiscardChanges(DiscardOnOpenQuestion)) load(fileName, false);
}

void FileActions::appendFile(const QString& fileName) { load(fileName, true); }

// A read error during an append leaves here with the rows stored so far, one
// step to undo. An opened file is read beside the table and takes its place
// only once read whole: an error part way leaves the table, its history and
// the file it names as they were, never a half-read table that a save could
// write over the file.
void FileActions::load(const QString& fileName, bool append)
{
    NotedFramerate framerate(services_.framerate);
    const ReadEncoding encoding { {}, services_.encoding };
    FilmSubtitles films(services_.tracks, std::nullopt, pictures_ != nullptr);
    LoadResult result;
    if (append) {
        EditHistory::Step step(history_, "Append subtitles");
        result = LoadSubtitles(
            table_, fileName.toStdString(), true, framerate, services_.messages, encoding, &films, pictures_);
    } else {
        SubtitleTable incoming;
        result = LoadSubtitles(
            incoming, fileName.toStdString(), false, framerate, services_.messages, encoding, &films, pictures_);
        // Only a file that stored rows replaces the table and makes it clean;
        // one that stored nothing leaves the earlier edits (and their
        // history) as they were.
        if (incoming.revision() != 0) {
            {
                EditHistory::Unrecorded opening(history_);
                table_.replaceWith(incoming);
                // What the editor kept with the last document (its sync points) goes with it.
                while (!table_.allSideData().empty())
                    table_.setSideData(std::string(table_.allSideData().begin()->first), {});
            }
            history_.markSaved();
            setDocument(
                { result.documentName.empty() ? fileName.toStdString() : result.documentName, framerate.chosen },
                result.format);
        }
    }
    const FormatInfo* read = FormatByCode(result.format);
    if (read && read->picture && !result.cancelled && picturesRead_) picturesRead_();
    if (services_.status && !result.notes.empty()) {
        std::string notes;
        for (const std::string& note : result.notes)
            notes += (notes.empty() ? "" : " ") + note;
        services_.status(QString::fromStdString(notes));
    }
    if (!result.select) return;
    grid_.selectCell(0, result.row);
    grid_.setTopRow(result.topRow);
}

void FileActions::saveSubtitles()
{
    const std::optional<SaveChoice> choice = services_.dialogs.chooseSaveFile();
    if (choice) saveAs(choice->fileName, choice->fileType);
}

void FileActions::saveToDocument()
{
    // Pictures read by OCR are no file to write the text back into.
    const FormatInfo* format = FormatByCode(documentFormat_);
    if (document_.fileName.empty() || !format || !format->write || format->picture) {
        saveSubtitles();
        return;
    }
    saveAs(QString::fromStdString(document_.fileName), format->saveType);
}

void FileActions::saveAs(const QString& fileName, int fileType)
{
    NotedFramerate framerate(services_.framerate);
    NotedExportSettings exportSettings(services_.exportSettings, services_.decimalSeparator);
    SaveServices save { framerate, exportSettings, services_.messages, services_.decimalSeparator };
    if (!SaveSubtitles(table_, fileName.toStdString(), fileType, save)) return;
    history_.markSaved();
    if (saved_) saved_(fileType);
    const FormatInfo* format = FormatBySaveType(fileType);
    const double written = framerate.chosen > 0 ? framerate.chosen : exportSettings.chosen;
    const RecoveryDocument saved { fileName.toStdString(), written > 0 ? written : document_.framerate };
    const FormatCode savedFormat = format ? format->code : FormatCode::Unknown;
    if (saved != document_ || savedFormat != documentFormat_) setDocument(saved, savedFormat);
    if (!services_.status) return;
    std::string note = format ? DescribeUnwritten(table_, *format) : std::string();
    for (const std::string& more : save.notes)
        note += (note.empty() ? "" : "; ") + more;
    services_.status(QString::fromStdString(note));
}

} // namespace tessel::app
