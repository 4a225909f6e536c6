#pragma once
#include "core/edit_history.h"
#include "core/recovery_journal.h"
#include "core/subtitle_table.h"
#include "core/user_prompts.h"
#include "formats/file_commands.h"
#include "media/film_subtitles.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// Open, Append and Save as the main window's buttons run them, and the
// question before unsaved edits would be thrown away. Open starts the history
// anew, Append is one step, a save marks the saved point.
namespace tessel::app {

class SubtitleFileDialogs;
class SubtitleGrid;
class UserQuestions;

struct FileServices {
    SubtitleFileDialogs& dialogs;
    FramerateSource& framerate;
    ExportSettingsSource& exportSettings;
    MessageSink& messages;
    UserQuestions& questions;
    char decimalSeparator = '.';
    EncodingChooser* encoding = nullptr; // asked when a file's encoding is unsure
    std::function<void(const QString&)> status = {}; // a passing note, such as what a save left out
    TrackChooser* tracks = nullptr; // asked which of a film's subtitle tracks to open
};

class FileActions {
public:
    FileActions(SubtitleTable& table, EditHistory& history, SubtitleGrid& grid, FileServices services);

    void openSubtitles(); // ButtonOpenSubtitlesClick
    void appendSubtitles(); // ButtonAppendSubtitlesClick
    void saveSubtitles(); // ButtonSaveSubtitlesClick
    // Ctrl+S: to the document's file in the format it was opened or last
    // saved in, as Save writes it (the framerate or the export settings
    // asked as usual); the save dialog when the table has no file yet, or
    // only the pictures it was read from.
    void saveToDocument();
    // Open and Append with the file already chosen (named on the command
    // line, dropped on the window): the rest as the buttons do it.
    void openFile(const QString& fileName);
    void appendFile(const QString& fileName);

    // The table differs from what was last opened or saved.
    bool isModified() const { return history_.isModified(); }
    // True when nothing would be lost, or the user agrees to lose it.
    bool mayDiscardChanges(const QString& question);

    // The file the table was last opened from or saved to, and the framerate
    // it was read or last written with; told to the callbacks each time it
    // changes.
    const RecoveryDocument& document() const { return document_; }
    // The format of that file; Unknown when none is known.
    FormatCode documentFormat() const { return documentFormat_; }
    // Without a format, the format is told from the table and the file.
    void setDocument(const RecoveryDocument& document, std::optional<FormatCode> format = std::nullopt);
    void addDocumentCallback(std::function<void(const RecoveryDocument&)> callback)
    {
        documentChanged_.push_back(std::move(callback));
    }
    // Picture subtitles are read by `reader`; `read` is told when a file's
    // pictures became rows, `saved` the file type of each save.
    void setPictureReading(PictureSubtitleReader* reader, std::function<void()> read, std::function<void(int)> saved)
    {
        pictures_ = reader;
        picturesRead_ = std::move(read);
        saved_ = std::move(saved);
    }

private:
    void load(const QString& fileName, bool append);
    void saveAs(const QString& fileName, int fileType);

    SubtitleTable& table_;
    EditHistory& history_;
    SubtitleGrid& grid_;
    FileServices services_;
    RecoveryDocument document_;
    FormatCode documentFormat_ = FormatCode::Unknown;
    std::vector<std::function<void(const RecoveryDocument&)>> documentChanged_;
    PictureSubtitleReader* pictures_ = nullptr;
    std::function<void()> picturesRead_;
    std::function<void(int)> saved_;
};

inline const QString DiscardTitle = QStringLiteral("Unsaved changes");
inline const QString DiscardOnOpenQuestion
    = QStringLiteral("The subtitles have changed since they were last opened or saved.\n"
                     "Open another file and lose the changes?");
inline const QString DiscardOnQuitQuestion
    = QStringLiteral("The subtitles have changed since they were last opened or saved.\n"
                     "Quit and lose the changes?");

} // namespace tessel::app
