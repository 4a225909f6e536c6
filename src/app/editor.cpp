#include "app/editor.h"

#include "app/check_dialog.h"
#include "app/command_palette.h"
#include "app/commands.h"
#include "app/encoding_dialog.h"
#include "app/export_dialog.h"
#include "app/file_actions.h"
#include "app/file_buttons.h"
#include "app/file_dialogs.h"
#include "app/framerate_prompt.h"
#include "app/main_window.h"
#include "app/named_files.h"
#include "app/ocr_wiring.h"
#include "app/playback_wiring.h"
#include "app/reading_wiring.h"
#include "app/recovery_wiring.h"
#include "app/regional.h"
#include "app/shot_wiring.h"
#include "app/styled_wiring.h"
#include "app/sync_wiring.h"
#include "app/timing_keys_wiring.h"
#include "app/tool_wiring.h"
#include "app/track_dialog.h"
#include "app/translation_wiring.h"
#include "app/waveform_wiring.h"
#include "core/numbers.h"
#include "formats/registry.h"
#include "preview/movie_window.h"
#include "preview/waveform_window.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QPushButton>
#include <QStatusBar>

namespace tessel::app {

Editor::Editor(const EditorOverrides& overrides, const MovieWindowFactory& movieWindow)
    : overrides_(overrides)
    , decimalSeparator_(overrides.decimalSeparator ? overrides.decimalSeparator : RegionalDecimalSeparator())
    , messages_(overrides.messages ? *overrides.messages : static_cast<MessageSink&>(qtMessages_))
    , questions_(overrides.questions ? *overrides.questions : static_cast<UserQuestions&>(qtMessages_))
    , report_(messages_)
{
    createWindows(movieWindow);
    commands_ = std::make_unique<CommandRegistry>(main_->grid(), *main_, report_);
    WireCommandWindows(*commands_, *main_);
    connectFileCommands();
    playback_ = PlaybackWiring::Create(*main_, movie_.get(), { table_, messages_, report_, overrides_.videoDialog });
    CheckDialogView& checkDialog = overrides_.checkDialog ? *overrides_.checkDialog : *check_;
    VideoPause* video = playback_ ? &playback_->videoPause() : nullptr;
    const ToolContext tools { table_, history_, *main_, checkDialog, report_, messages_, decimalSeparator_,
        movie_.get(), video, playback_.get(), commands_.get() };
    WireTools(tools);
    ocr_ = std::make_unique<OcrWiring>(tools, *files_, overrides_.tracks ? *overrides_.tracks : *trackDialog_);
    if (playback_) {
        timingKeys_ = std::make_unique<TimingKeys>(tools, *playback_);
        waveform_ = std::make_unique<WaveformWiring>(tools, *playback_, *timingKeys_);
        shots_ = std::make_unique<ShotWiring>(tools, *timingKeys_, *waveform_);
    }
    SubtitleFileDialogs& dialogs = overrides_.fileDialogs ? *overrides_.fileDialogs : *platformFiles_;
    FramerateSource& framerate = overrides_.framerate ? *overrides_.framerate : *prompt_;
    EncodingChooser* encoding = overrides_.encoding ? overrides_.encoding : encodingDialog_.get();
    auto* movie = qobject_cast<TFormMovie*>(movie_.get());
    if (movie) styled_ = std::make_unique<StyledWiring>(table_, *main_, *movie, *commands_);
    translation_ = std::make_unique<TranslationWiring>(TranslationServices { table_, history_, *main_, messages_,
        report_, dialogs, framerate, encoding, *commands_, decimalSeparator_, movie });
    if (styled_) styled_->follow(*translation_);
    wireSync(dialogs, framerate, encoding);
    AcceptDroppedFiles(*this);
}

Editor::~Editor() = default;

void Editor::createWindows(const MovieWindowFactory& movieWindow)
{
    main_ = std::make_unique<MainWindow>(table_, decimalSeparator_);
    // Second comes the movie window of the movie preview; showing the main
    // window shows it too.
    if (movieWindow) movie_ = movieWindow(*main_);
    if (movie_) QObject::connect(main_.get(), &MainWindow::shown, movie_.get(), &QWidget::show);
    prompt_ = std::make_unique<FrameratePromptDialog>(messages_, decimalSeparator_, main_.get());
    check_ = std::make_unique<CheckDialog>(main_.get());
    export_ = std::make_unique<ExportDialog>(decimalSeparator_, main_.get());
}

void Editor::connectFileCommands()
{
    platformFiles_ = std::make_unique<QtSubtitleFileDialogs>();
    SubtitleFileDialogs& dialogs = overrides_.fileDialogs ? *overrides_.fileDialogs : *platformFiles_;
    FramerateSource& framerate = overrides_.framerate ? *overrides_.framerate : *prompt_;
    ExportSettingsSource& exportSettings = overrides_.exportSettings ? *overrides_.exportSettings : *export_;
    encodingDialog_ = std::make_unique<DialogEncodingChooser>(main_.get());
    EncodingChooser& encoding = overrides_.encoding ? *overrides_.encoding : *encodingDialog_;
    // What a save in another format leaves out goes to the status bar, not into a message box at every save.
    const auto status = [this](const QString& text) { main_->statusBar()->showMessage(text); };
    trackDialog_ = std::make_unique<DialogTrackChooser>(main_.get());
    TrackChooser& tracks = overrides_.tracks ? *overrides_.tracks : *trackDialog_;
    files_ = std::make_unique<FileActions>(table_, history_, main_->grid(),
        FileServices {
            dialogs, framerate, exportSettings, messages_, questions_, decimalSeparator_, &encoding, status, &tracks });
    const FileButtons& buttons = main_->fileButtons();
    connectGuarded(buttons.openSubtitles(), [this] { files_->openSubtitles(); });
    connectGuarded(buttons.appendSubtitles(), [this] { files_->appendSubtitles(); });
    connectGuarded(buttons.saveSubtitles(), [this] { files_->saveSubtitles(); });
    connectGuarded(buttons.quit(), [this] { main_->close(); });
    main_->setCloseGuard([this] { return files_->mayDiscardChanges(DiscardOnQuitQuestion); });
    connectDocument();
}

// The table's file, once it has one, is what the save dialog offers (with its
// own type), what Ctrl+S saves to and where the Reading page's framerate starts.
void Editor::connectDocument()
{
    files_->addDocumentCallback([this](const RecoveryDocument& document) {
        const FormatInfo* format = FormatByCode(files_->documentFormat());
        if (!document.fileName.empty() && !(format && format->picture)) // pictures are not written over
            platformFiles_->offerSaveFile(QString::fromStdString(document.fileName), format ? format->saveType : 0);
    });
    FollowDocumentFramerate(main_->readingPage(), *files_);
    Command save;
    save.id = QStringLiteral("file.save");
    save.name = QStringLiteral("Save");
    save.description
        = QStringLiteral("Save to the subtitles' own file in its format (asks for a file when there is none)");
    save.key = QKeySequence(Qt::CTRL | Qt::Key_S);
    save.run = [this] { files_->saveToDocument(); };
    commands_->add(std::move(save));
}

void Editor::startRecovery(const std::string& folder)
{
    if (recovery_) return;
    if (!overrides_.recovery) platformRecoveryQuestions_ = std::make_unique<QtRecoveryQuestions>();
    RecoveryQuestions& questions = overrides_.recovery ? *overrides_.recovery : *platformRecoveryQuestions_;
    recovery_ = std::make_unique<RecoveryWiring>(RecoveryServices { table_, history_, *files_, *main_, messages_,
        questions, [this](const RecoveryDocument& d) { offerDocument(d); } });
    report_.run([&] { recovery_->start(folder); });
}

// So that saving a recovered document asks only to confirm.
void Editor::offerDocument(const RecoveryDocument& document)
{
    const QString file = QString::fromStdString(document.fileName);
    if (!file.isEmpty()) {
        platformFiles_->openDialog().selectFile(file);
        platformFiles_->saveDialog().selectFile(file);
    }
    if (document.framerate > 0)
        prompt_->dropDown()->setEditText(
            QString::number(document.framerate, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(decimalSeparator_)));
}

// The movie and its sound come from the preview when there is one; the
// frames are counted at the movie's rate, else at the rate the file was
// opened with, else at the framerate prompt's.
void Editor::wireSync(SubtitleFileDialogs& dialogs, FramerateSource& framerate, EncodingChooser* encoding)
{
    auto* movie = qobject_cast<TFormMovie*>(movie_.get());
    const auto movieState = [this, movie]() -> MovieState {
        if (!movie || !movie->videoPlayer().isOpen()) return {};
        const VideoPlayer& player = movie->videoPlayer();
        const int stream = waveform_ && waveform_->window().source().fileName() == player.fileName()
            ? waveform_->window().source().stream()
            : -1;
        return { player.fileName(), stream, player.framesPerSecond() };
    };
    const auto framesPerSecond = [this, movieState] {
        if (const MovieState state = movieState(); state.fps > 0) return state.fps;
        if (files_->document().framerate > 0) return files_->document().framerate;
        const std::optional<double> prompt
            = TryStrToFloat(prompt_->dropDown()->currentText().toStdString(), decimalSeparator_);
        return prompt && *prompt > 0 ? *prompt : 25.0;
    };
    const SyncServices services { table_, history_, *main_, messages_, report_, dialogs, framerate, encoding,
        movieState, framesPerSecond, nullptr, waveform_ ? &waveform_->window().source() : nullptr };
    sync_ = std::make_unique<SyncWiring>(services, *commands_,
        [movie] { return movie && movie->videoPlayer().isOpen() ? movie->videoPlayer().frameOnScreen() : -1; });
}

void Editor::connectGuarded(QAbstractButton* button, std::function<void()> command)
{
    QObject::connect(
        button, &QAbstractButton::clicked, main_.get(), [this, command = std::move(command)] { report_.run(command); });
}

} // namespace tessel::app
