#pragma once
#include "app/error_report.h"
#include "app/qt_messages.h"
#include "core/edit_history.h"
#include "core/subtitle_table.h"
#include "formats/file_commands.h"
#include "tools/check_dialog.h"

#include <functional>
#include <memory>
#include <string>

class QAbstractButton;
class QWidget;

namespace tessel {
class OpenFileDialog;
class TrackChooser;
struct RecoveryDocument;
} // namespace tessel

// Start-up: the program's five windows, created in their fixed order and
// living until the end of the run, and the file commands connected to the
// main window's buttons.
namespace tessel::app {

class CheckDialog;
class CommandRegistry;
class DialogEncodingChooser;
class ExportDialog;
class FileActions;
class FrameratePromptDialog;
class MainWindow;
class OcrWiring;
class PlaybackWiring;
class QtSubtitleFileDialogs;
class RecoveryQuestions;
class RecoveryWiring;
class ShotWiring;
class SubtitleFileDialogs;
class StyledWiring;
class SyncWiring;
class TimingKeys;
class TranslationWiring;
class WaveformWiring;

// Answers given instead of the user's, for tests; each one left empty is
// asked with the program's own dialogs.
struct EditorOverrides {
    MessageSink* messages = nullptr;
    UserQuestions* questions = nullptr;
    SubtitleFileDialogs* fileDialogs = nullptr;
    FramerateSource* framerate = nullptr;
    ExportSettingsSource* exportSettings = nullptr;
    char decimalSeparator = 0; // 0: the regional one
    CheckDialogView* checkDialog = nullptr; // answers the checks' findings
    OpenFileDialog* videoDialog = nullptr; // chooses the movie for "Open movie"
    RecoveryQuestions* recovery = nullptr; // answers the offers of left-behind changes
    EncodingChooser* encoding = nullptr; // answers when a file's encoding is unsure
    TrackChooser* tracks = nullptr; // picks a film's subtitle track
};

// Makes the movie window (the second window); it comes from the movie preview.
using MovieWindowFactory = std::function<std::unique_ptr<QWidget>(MainWindow& mainWindow)>;

class Editor {
public:
    explicit Editor(const EditorOverrides& overrides = {}, const MovieWindowFactory& movieWindow = {});
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    SubtitleTable& table() { return table_; }
    EditHistory& history() { return history_; }
    MainWindow& mainWindow() { return *main_; }
    QWidget* movieWindow() { return movie_.get(); }
    FrameratePromptDialog& frameratePrompt() { return *prompt_; }
    CheckDialog& checkDialog() { return *check_; }
    ExportDialog& exportDialog() { return *export_; }
    QtSubtitleFileDialogs& platformFileDialogs() { return *platformFiles_; }
    FileActions& fileActions() { return *files_; }
    ErrorReport& errorReport() { return report_; }
    // Where the windows' messages go: the message boxes, or the test's stand-in.
    MessageSink& messages() { return messages_; }
    // Nothing without the preview's movie window.
    PlaybackWiring* playback() { return playback_.get(); }
    TimingKeys* timingKeys() { return timingKeys_.get(); }
    WaveformWiring* waveform() { return waveform_.get(); }
    ShotWiring* shots() { return shots_.get(); }
    CommandRegistry& commands() { return *commands_; }
    TranslationWiring& translation() { return *translation_; }
    // Nothing without the preview's movie window.
    StyledWiring* styled() { return styled_.get(); }
    OcrWiring& ocr() { return *ocr_; }
    SyncWiring& sync() { return *sync_; }
    char decimalSeparator() const { return decimalSeparator_; }

    // Offers what editors that did not end cleanly left in `folder`, then
    // keeps this editor's changes there until it ends.
    void startRecovery(const std::string& folder);
    // Nothing before startRecovery().
    RecoveryWiring* recovery() { return recovery_.get(); }

private:
    void createWindows(const MovieWindowFactory& movieWindow);
    void connectFileCommands();
    void connectDocument();
    void connectGuarded(QAbstractButton* button, std::function<void()> command);
    void offerDocument(const RecoveryDocument& document);
    void wireSync(SubtitleFileDialogs& dialogs, FramerateSource& framerate, EncodingChooser* encoding);

    EditorOverrides overrides_;
    char decimalSeparator_;
    SubtitleTable table_;
    // Records every change of the table from here on.
    EditHistory history_ { table_ };
    QtMessages qtMessages_;
    MessageSink& messages_;
    UserQuestions& questions_;
    ErrorReport report_;
    std::unique_ptr<QtSubtitleFileDialogs> platformFiles_;
    std::unique_ptr<DialogEncodingChooser> encodingDialog_;
    std::unique_ptr<TrackChooser> trackDialog_;
    // The five windows, in the order they are created.
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<QWidget> movie_;
    std::unique_ptr<FrameratePromptDialog> prompt_;
    std::unique_ptr<CheckDialog> check_;
    std::unique_ptr<ExportDialog> export_;
    std::unique_ptr<FileActions> files_;
    // Every command beyond the specified buttons, with its key and menu item.
    std::unique_ptr<CommandRegistry> commands_;
    // Drives the controls and the movie window above: it goes first.
    std::unique_ptr<PlaybackWiring> playback_;
    std::unique_ptr<RecoveryQuestions> platformRecoveryQuestions_;
    // Follows the table and its history until the end; its end is the clean one.
    std::unique_ptr<RecoveryWiring> recovery_;
    // Timing with sound and picture; they drive the playback above.
    std::unique_ptr<TimingKeys> timingKeys_;
    std::unique_ptr<WaveformWiring> waveform_;
    // The film's shot changes over the waveform, for the keys and the Reading page.
    std::unique_ptr<ShotWiring> shots_;
    // The player drawing the table on the picture; then the original of a
    // translation beside the rows and under the picture.
    std::unique_ptr<StyledWiring> styled_;
    std::unique_ptr<TranslationWiring> translation_;
    // Picture subtitles read by OCR, and their review.
    std::unique_ptr<OcrWiring> ocr_;
    std::unique_ptr<SyncWiring> sync_;
};

} // namespace tessel::app
