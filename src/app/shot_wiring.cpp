#include "app/shot_wiring.h"

#include "app/commands.h"
#include "app/main_window.h"
#include "app/reading_page.h"
#include "app/timing_keys_wiring.h"
#include "app/waveform_wiring.h"
#include "core/errors.h"
#include "preview/movie_window.h"
#include "preview/shot_bar.h"
#include "preview/waveform_view.h"
#include "preview/waveform_window.h"
#include "tools/shot_timing.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

namespace tessel::app {
namespace {

const QString ListFilter = QStringLiteral("Lists of shot changes (*.txt *.csv);;All files (*)");
const QString FramesFilter = QStringLiteral("Frame numbers, one a line (*.txt)");
const QString TimesFilter = QStringLiteral("Times, one a line (*.txt)");
const QString SnapSetting = QStringLiteral("snap");
// "Remove the shot change" reaches this far from the frame on screen.
constexpr double RemoveReachSeconds = 1;

std::string sideDataText(const std::string& identity, const ShotEdits& edits)
{
    return "film " + identity + "\n" + edits.encode();
}

} // namespace

ShotWiring::ShotWiring(const ToolContext& context, TimingKeys& keys, WaveformWiring& waveform)
    : context_(context)
    , source_(&cache_)
    , waveform_(waveform)
    , sensitivity_(SavedShotSensitivity())
    , snapping_(QSettings(ShotSettingsFile(), QSettings::IniFormat).value(SnapSetting, true).toBool())
{
    bar_ = new ShotBar;
    bar_->sensitivity().setRange(LeastSensitivity, MostSensitivity);
    bar_->sensitivity().setValue(sensitivity_);
    bar_->snap().setChecked(snapping_);
    bar_->hide();
    waveform_.window().addBar(bar_);
    connect(&bar_->sensitivity(), &QSpinBox::valueChanged, this, &ShotWiring::setSensitivity);
    connect(&bar_->snap(), &QCheckBox::toggled, this, &ShotWiring::setSnapping);
    connect(&bar_->stopOrFind(), &QPushButton::clicked, this, [this] { source_.busy() ? stop() : find(); });
    connect(&source_, &ShotSource::started, this, &ShotWiring::started);
    connect(&source_, &ShotSource::progressed, this, &ShotWiring::progressed);
    connect(&source_, &ShotSource::finished, this, &ShotWiring::finished);
    historyObserver_ = context_.history.addObserver([this](EditHistory::Event event) {
        if (event == EditHistory::Event::Cleared) stored_ = written_;
        historyEvent();
    });
    keys.setSnap([this](int64_t frame, std::optional<int64_t> from) {
        if (!snapping_ || cuts_.empty()) return frame;
        const int64_t reach = ShotSnapReach(playerFps());
        return from ? SnapNudge(cuts_, *from, frame, reach) : SnapToCut(cuts_, frame, reach);
    });
    context_.mainWindow.readingPage().setShotChangeSource(
        [this](double framerate) -> std::optional<std::vector<int64_t>> {
            if (!available()) return std::nullopt;
            return ConvertCuts(cuts_, playerFps(), framerate);
        });
    connectMovie();
    connectView();
    registerCommands();
}

ShotWiring::~ShotWiring()
{
    context_.history.removeObserver(historyObserver_);
    source_.close();
}

VideoPlayer& ShotWiring::player() const { return static_cast<TFormMovie*>(context_.movieWindow)->videoPlayer(); }

double ShotWiring::playerFps() const
{
    const double fps = player().framesPerSecond();
    return fps > 0 ? fps : source_.framesPerSecond();
}

bool ShotWiring::available() const { return !identity_.empty() && source_.framesPerSecond() > 0; }

QString ShotWiring::needsFilm() const
{
    return available() ? QString() : QStringLiteral("needs a movie whose picture has been read");
}

void ShotWiring::connectMovie()
{
    VideoPlayer& movie = player();
    connect(&movie, &VideoPlayer::openComplete, this, [this] { context_.errors.run([this] { movieOpened(); }); });
    connect(&movie, &VideoPlayer::openFailed, this, [this] {
        source_.close();
        identity_.clear();
        bar_->hide();
        refresh();
    });
}

void ShotWiring::connectView()
{
    WaveformView& view = waveform_.window().view();
    ErrorReport& errors = context_.errors;
    connect(&view, &WaveformView::cutMoved, this,
        [this, &errors](int from, int to) { errors.run([&] { moveCut(from, to); }); });
    connect(&view, &WaveformView::cutAdded, this, [this, &errors](int frame) { errors.run([&] { addCut(frame); }); });
    connect(
        &view, &WaveformView::cutRemoved, this, [this, &errors](int frame) { errors.run([&] { removeCut(frame); }); });
}

void ShotWiring::movieOpened()
{
    identity_.clear();
    detected_.clear();
    bar_->show();
    bar_->showSearching(0);
    source_.open(player().fileName());
    refresh();
}

void ShotWiring::started()
{
    const std::optional<PeakCacheKey>& key = source_.key();
    identity_ = key ? FilmIdentity(*key) : std::string("unnamed");
    stored_ = written_ = key ? cache_.loadEdits(*key) : ShotEdits();
    refresh();
}

void ShotWiring::progressed()
{
    bar_->showSearching(source_.progress());
    refresh();
}

void ShotWiring::finished()
{
    bar_->showDone(source_.complete(), source_.message());
    refresh();
}

void ShotWiring::historyEvent()
{
    const std::string& now = context_.table.sideData(SideDataKey);
    if (now == seenSideData_) return;
    seenSideData_ = now;
    refresh();
}

// The document's edits when they are this film's, else those kept for it.
ShotEdits ShotWiring::currentEdits() const
{
    const std::string& data = context_.table.sideData(SideDataKey);
    const std::string prefix = "film " + identity_ + "\n";
    if (identity_.empty() || data.compare(0, prefix.size(), prefix) != 0) return stored_;
    try {
        return ShotEdits::Decode(std::string_view(data).substr(prefix.size()));
    } catch (const Error&) {
        return stored_;
    }
}

void ShotWiring::refresh()
{
    detected_ = available() ? source_.cuts(sensitivity_) : std::vector<int64_t>();
    edits_ = currentEdits();
    cuts_ = available() ? ConvertCuts(edits_.apply(detected_), source_.framesPerSecond(), playerFps())
                        : std::vector<int64_t>();
    WaveformView& view = waveform_.window().view();
    view.setCuts(cuts_, ShotSnapReach(playerFps()));
    view.cuts().setSnapping(snapping_);
    view.cuts().setEditable(available());
    bar_->showCount(int(cuts_.size()));
    if (available() && !(edits_ == written_) && source_.key()) {
        cache_.storeEdits(*source_.key(), edits_);
        written_ = edits_;
    }
    emit cutsChanged();
}

void ShotWiring::find()
{
    if (source_.busy() || player().fileName().isEmpty() || !player().isOpen()) return;
    bar_->showSearching(0);
    source_.open(player().fileName());
}

void ShotWiring::stop() { source_.cancel(); }

void ShotWiring::setSensitivity(int sensitivity)
{
    sensitivity = std::clamp(sensitivity, LeastSensitivity, MostSensitivity);
    if (sensitivity == sensitivity_) return;
    sensitivity_ = sensitivity;
    SaveShotSensitivity(sensitivity);
    if (bar_->sensitivity().value() != sensitivity) bar_->sensitivity().setValue(sensitivity);
    refresh();
}

void ShotWiring::setSnapping(bool on)
{
    snapping_ = on;
    QSettings(ShotSettingsFile(), QSettings::IniFormat).setValue(SnapSetting, on);
    if (bar_->snap().isChecked() != on) bar_->snap().setChecked(on);
    waveform_.window().view().cuts().setSnapping(on);
}

int64_t ShotWiring::toFilm(int64_t frame) const
{
    return ConvertCuts({ frame }, playerFps(), source_.framesPerSecond()).front();
}

std::vector<int64_t> ShotWiring::filmCuts() const { return edits_.apply(detected_); }

void ShotWiring::setEdits(const char* stepName, const ShotEdits& edits)
{
    if (!available()) throw Error("No film is open: its shot changes cannot be edited.");
    if (edits == edits_) return;
    EditHistory::Step step(context_.history, stepName);
    context_.table.setSideData(SideDataKey, sideDataText(identity_, edits));
}

void ShotWiring::changeCuts(const char* stepName, std::vector<int64_t> wanted)
{
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    setEdits(stepName, edits_.towards(detected_, wanted));
}

void ShotWiring::addCut(int64_t frame)
{
    std::vector<int64_t> wanted = filmCuts();
    wanted.push_back(toFilm(std::max<int64_t>(frame, 1)));
    changeCuts("Add shot change", std::move(wanted));
}

void ShotWiring::removeCut(int64_t frame)
{
    std::vector<int64_t> wanted = filmCuts();
    wanted.erase(std::remove(wanted.begin(), wanted.end(), toFilm(frame)), wanted.end());
    changeCuts("Remove shot change", std::move(wanted));
}

void ShotWiring::moveCut(int64_t from, int64_t to)
{
    std::vector<int64_t> wanted = filmCuts();
    const auto at = std::find(wanted.begin(), wanted.end(), toFilm(from));
    if (at == wanted.end()) return;
    *at = toFilm(std::max<int64_t>(to, 1));
    changeCuts("Move shot change", std::move(wanted));
}

void ShotWiring::importList(const QString& fileName)
{
    if (!available()) throw Error("No film is open: shot changes are imported for its picture.");
    ShotEdits edits;
    edits.replaced = true;
    edits.added = ReadShotList(fileName.toStdString(), source_.framesPerSecond());
    setEdits("Import shot changes", edits);
}

void ShotWiring::discardEdits() { setEdits("Shot changes as found", ShotEdits()); }

void ShotWiring::exportList(const QString& fileName, bool asTimes) const
{
    const std::string text = ShotListText(cuts_, playerFps(), asTimes);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size())
        || !file.commit())
        throw Error("Cannot write \"" + fileName.toStdString() + "\": " + file.errorString().toStdString() + ".");
}

void ShotWiring::goToCut(bool next)
{
    VideoPlayer& movie = player();
    if (!movie.isOpen()) return;
    const int64_t frame = movie.frameOnScreen();
    int64_t target = -1;
    if (next) {
        const auto after = std::upper_bound(cuts_.begin(), cuts_.end(), frame);
        if (after != cuts_.end()) target = *after;
    } else {
        const auto before = std::lower_bound(cuts_.begin(), cuts_.end(), frame);
        if (before != cuts_.begin()) target = *std::prev(before);
    }
    if (target >= 0) movie.seekFrames(static_cast<int>(target - frame));
}

void ShotWiring::registerCommands()
{
    CommandRegistry* commands = context_.commands;
    if (!commands) return;
    auto add = [&](const char* id, const char* name, const char* description, QKeySequence key,
                   std::function<QString()> unavailable, std::function<void()> run) {
        Command command;
        command.id = QLatin1String(id);
        command.name = QLatin1String(name);
        command.description = QLatin1String(description);
        command.key = key;
        command.scope = KeyScope::Grid;
        command.unavailable = std::move(unavailable);
        command.run = std::move(run);
        commands->add(std::move(command));
    };
    const auto needsFilm = [this] { return this->needsFilm(); };
    const auto needsMovie = [this] { return player().isOpen() ? QString() : QStringLiteral("needs a movie"); };
    add("shots.find", "Find shot changes", "Look for the cuts in the movie's picture (at once when found before)", {},
        needsMovie, [this] { find(); });
    add(
        "shots.stop", "Stop finding shot changes", "Stop the search; the cuts found so far stay", {},
        [this] { return source_.busy() ? QString() : QStringLiteral("no search is running"); }, [this] { stop(); });
    add("shots.add", "Add a shot change here", "A cut at the frame on screen (one undo step)",
        QKeySequence(Qt::ALT | Qt::Key_C), needsFilm, [this] { addCut(player().frameOnScreen()); });
    add("shots.remove", "Remove the shot change here",
        "The cut nearest the frame on screen, within a second (one undo step)",
        QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_C), needsFilm, [this] {
            const int64_t frame = player().frameOnScreen();
            const int64_t cut = NearestCut(cuts_, frame);
            if (cut >= 0 && std::llabs(cut - frame) <= std::llround(RemoveReachSeconds * playerFps())) removeCut(cut);
        });
    add("shots.previous", "Previous shot change", "The movie goes to the cut before the frame on screen",
        QKeySequence(Qt::ALT | Qt::Key_Left), needsFilm, [this] { goToCut(false); });
    add("shots.next", "Next shot change", "The movie goes to the cut after the frame on screen",
        QKeySequence(Qt::ALT | Qt::Key_Right), needsFilm, [this] { goToCut(true); });
    add("shots.import", "Import shot changes", "A list of frame numbers or times, one a line, for the movie's cuts", {},
        needsFilm, [this] {
            const QString file = QFileDialog::getOpenFileName(
                &context_.mainWindow, QStringLiteral("Import shot changes"), QString(), ListFilter);
            if (!file.isEmpty()) importList(file);
        });
    add("shots.export", "Export shot changes", "The movie's cuts as a list, frame numbers or times, one a line", {},
        needsFilm, [this] {
            QString filter = FramesFilter;
            const QString file
                = QFileDialog::getSaveFileName(&context_.mainWindow, QStringLiteral("Export shot changes"), QString(),
                    FramesFilter + QStringLiteral(";;") + TimesFilter, &filter);
            if (!file.isEmpty()) exportList(file, filter == TimesFilter);
        });
    add("shots.asFound", "Shot changes as found",
        "Drop the cuts added, removed, moved or imported by hand (one undo step)", {}, needsFilm,
        [this] { discardEdits(); });
    add("shots.snap", "Snap to shot changes", "Turn snapping of starts and ends to nearby cuts on or off", {}, nullptr,
        [this] { setSnapping(!snapping_); });
}

} // namespace tessel::app
