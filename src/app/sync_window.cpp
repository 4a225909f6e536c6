#include "app/sync_window.h"

#include "app/error_report.h"
#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/sync_strip.h"
#include "audio/film_speech.h"
#include "audio/peak_cache.h"
#include "audio/waveform_source.h"
#include "core/errors.h"
#include "formats/file_commands.h"
#include "tools/sync_points.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace tessel::app {
namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

QTableWidget* makeTable(const QStringList& headers, const char* name)
{
    auto* table = new QTableWidget(0, int(headers.size()));
    table->setObjectName(QString::fromLatin1(name));
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setMinimumHeight(90);
    return table;
}

QTableWidgetItem* item(const QString& value, bool editable = false)
{
    auto* cell = new QTableWidgetItem(value);
    if (!editable) cell->setFlags(cell->flags() & ~Qt::ItemIsEditable);
    return cell;
}

} // namespace

// One proposal's work: what it needs, copied, so that the thread touches
// nothing of the window's.
struct SyncWindow::Job {
    quint64 generation = 0;
    std::vector<SyncInterval> intervals;
    SyncOptions options;
    std::shared_ptr<const SyncTarget> target; // nullptr: the film's speech first
    std::string film;
    int stream = -1;
    const PeakCache* cache = nullptr;
};

SyncWindow::SyncWindow(const SyncServices& services, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , services_(services)
{
    setObjectName(QStringLiteral("SyncWindow"));
    setWindowTitle(tr("Synchronise"));
    buildLayout();
    sourceChanged();
}

SyncWindow::~SyncWindow()
{
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

void SyncWindow::buildLayout()
{
    auto* layout = new QVBoxLayout(this);
    auto* sources = new QGroupBox(tr("Synchronise the subtitles to"));
    auto* grid = new QGridLayout(sources);
    speech_ = new QRadioButton(tr("the speech of the movie"));
    speech_->setObjectName(QStringLiteral("RadioSpeech"));
    movieName_ = new QLabel;
    movieName_->setObjectName(QStringLiteral("LabelMovie"));
    reference_ = new QRadioButton(tr("a reference file"));
    reference_->setObjectName(QStringLiteral("RadioReference"));
    referenceFile_ = new QLineEdit;
    referenceFile_->setObjectName(QStringLiteral("EditReference"));
    referenceFile_->setPlaceholderText(tr("subtitles already timed to this film (another language, another release)"));
    auto* choose = new QPushButton(tr("Choose\u2026"));
    choose->setObjectName(QStringLiteral("ButtonChooseReference"));
    points_ = new QRadioButton(tr("the sync points you set"));
    points_->setObjectName(QStringLiteral("RadioPoints"));
    grid->addWidget(speech_, 0, 0);
    grid->addWidget(movieName_, 0, 1, 1, 2);
    grid->addWidget(reference_, 1, 0);
    grid->addWidget(referenceFile_, 1, 1);
    grid->addWidget(choose, 1, 2);
    grid->addWidget(points_, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    layout->addWidget(sources);

    auto* controls = new QHBoxLayout;
    splits_ = new QCheckBox(tr("Split where the film has a cut"));
    splits_->setObjectName(QStringLiteral("CheckSplits"));
    splits_->setChecked(true);
    find_ = new QPushButton(tr("Find"));
    find_->setObjectName(QStringLiteral("ButtonFind"));
    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("Progress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    controls->addWidget(splits_);
    controls->addStretch();
    controls->addWidget(progress_, 1);
    controls->addWidget(find_);
    layout->addLayout(controls);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("LabelStatus"));
    status_->setWordWrap(true);
    summary_ = new QLabel;
    summary_->setObjectName(QStringLiteral("LabelSummary"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    warning_ = new QLabel;
    warning_->setObjectName(QStringLiteral("LabelWarning"));
    warning_->setStyleSheet(QStringLiteral("QLabel { color: #b00000; font-weight: bold; }"));
    warning_->setWordWrap(true);
    layout->addWidget(status_);
    layout->addWidget(summary_);
    layout->addWidget(warning_);

    pages_ = new QStackedWidget;
    segments_
        = makeTable({ tr("Rows"), tr("Offset"), tr("First row starts now at"), tr("and then at") }, "TableSegments");
    pointList_ = makeTable({ tr("Row"), tr("Text"), tr("Starts now at frame"), tr("Must start at frame"),
                               tr("Residual (frames off one straight line)") },
        "TablePoints");
    auto* pointsPage = new QWidget;
    auto* pointsLayout = new QVBoxLayout(pointsPage);
    pointsLayout->setContentsMargins(0, 0, 0, 0);
    pointsLayout->addWidget(pointList_);
    auto* pointButtons = new QHBoxLayout;
    auto* remove = new QPushButton(tr("Remove point"));
    remove->setObjectName(QStringLiteral("ButtonRemovePoint"));
    auto* clear = new QPushButton(tr("Clear points"));
    clear->setObjectName(QStringLiteral("ButtonClearPoints"));
    pointButtons->addWidget(remove);
    pointButtons->addWidget(clear);
    pointButtons->addStretch();
    pointsLayout->addLayout(pointButtons);
    pages_->addWidget(segments_);
    pages_->addWidget(pointsPage);
    layout->addWidget(pages_, 1);

    strip_ = new SyncStrip;
    layout->addWidget(strip_, 2);

    auto* buttons = new QHBoxLayout;
    apply_ = new QPushButton(tr("Apply"));
    apply_->setObjectName(QStringLiteral("ButtonApply"));
    cancel_ = new QPushButton(tr("Cancel"));
    cancel_->setObjectName(QStringLiteral("ButtonCancel"));
    auto* close = new QPushButton(tr("Close"));
    close->setObjectName(QStringLiteral("ButtonClose"));
    buttons->addStretch();
    buttons->addWidget(apply_);
    buttons->addWidget(cancel_);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    ErrorReport& errors = services_.errors;
    for (QRadioButton* radio : { speech_, reference_, points_ })
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on) sourceChanged();
        });
    connect(choose, &QPushButton::clicked, this, [this, &errors] { errors.run([this] { chooseReference(); }); });
    connect(find_, &QPushButton::clicked, this, [this, &errors] { errors.run([this] { find(); }); });
    connect(apply_, &QPushButton::clicked, this, [this, &errors] { errors.run([this] { apply(); }); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(splits_, &QCheckBox::toggled, this, [this] { clearProposal(); });
    connect(remove, &QPushButton::clicked, this, [this, &errors] { errors.run([this] { removePoint(); }); });
    connect(clear, &QPushButton::clicked, this, [this, &errors] { errors.run([this] { clearPoints(); }); });
    connect(pointList_, &QTableWidget::cellChanged, this,
        [this, &errors](int row, int column) { errors.run([&] { pointEdited(row, column); }); });
    resize(760, 600);
}

SyncWindow::Source SyncWindow::source() const
{
    return points_->isChecked() ? Points : reference_->isChecked() ? Reference : Speech;
}

void SyncWindow::open(Source source)
{
    QRadioButton* radio = source == Points ? points_ : source == Reference ? reference_ : speech_;
    if (!radio->isChecked())
        radio->setChecked(true);
    else
        sourceChanged();
    show();
    raise();
    activateWindow();
    if (source == Speech && !busy() && !services_.movie().file.isEmpty()) services_.errors.run([this] { find(); });
}

void SyncWindow::sourceChanged()
{
    cancel();
    clearProposal();
    const Source chosen = source();
    const MovieState movie = services_.movie ? services_.movie() : MovieState {};
    movieName_->setText(
        movie.file.isEmpty() ? tr("no movie is open: open one first") : QFileInfo(movie.file).fileName());
    pages_->setCurrentIndex(chosen == Points ? 1 : 0);
    splits_->setEnabled(chosen != Points);
    find_->setVisible(chosen != Points);
    progress_->setVisible(chosen != Points);
    if (chosen == Points) refreshPoints();
}

void SyncWindow::setReferenceFile(const QString& fileName)
{
    referenceFile_->setText(fileName);
    clearProposal();
}

void SyncWindow::chooseReference()
{
    const std::optional<QString> file = services_.dialogs.chooseSubtitleFile();
    if (!file) return;
    reference_->setChecked(true);
    setReferenceFile(*file);
    find();
}

void SyncWindow::clearProposal()
{
    proposal_.reset();
    summary_->clear();
    warning_->clear();
    if (source() != Points) status_->clear();
    segments_->setRowCount(0);
    apply_->setEnabled(source() == Points && pointList_->rowCount() > 0);
    progress_->setValue(0);
}

void SyncWindow::setBusy(bool busy)
{
    find_->setEnabled(!busy);
    cancel_->setEnabled(busy);
    if (busy) apply_->setEnabled(false);
}

void SyncWindow::find()
{
    if (source() == Points) {
        refreshPoints();
        return;
    }
    cancel();
    clearProposal();
    // The movie's sound under the voices, when the Waveform window has it.
    WaveformSource* waveform = services_.waveform;
    const QString film = services_.movie ? services_.movie().file : QString();
    strip_->setPeaks([waveform, film](const std::function<void(const PeakTrack*)>& draw) {
        if (!waveform || film.isEmpty() || waveform->fileName() != film) return draw(nullptr);
        waveform->read([&](const PeakTrack& peaks) { draw(&peaks); });
    });
    rows_ = ReadTimedRows(services_.table, services_.framesPerSecond());
    RequireTimedRows(rows_);
    revision_ = services_.table.revision();
    if (source() == Speech)
        startSpeech();
    else
        startReference();
}

void SyncWindow::startSpeech()
{
    fromReference_ = false;
    const MovieState movie = services_.movie();
    if (movie.file.isEmpty())
        throw Error("No movie is open: open the movie whose speech the subtitles should follow first.");
    auto job = std::make_shared<Job>();
    job->film = movie.file.toStdString();
    job->stream = movie.stream;
    job->cache = services_.cache;
    WaveformSource* waveform = services_.waveform;
    const bool sameFilm = speechTarget_ && speechFile_ == movie.file && speechStream_ == movie.stream;
    if (sameFilm) {
        job->target = speechTarget_;
    } else if (waveform && waveform->fileName() == movie.file
        && (waveform->stream() == movie.stream || movie.stream < 0)) {
        if (waveform->busy() && !waveform->fromCache()) {
            // Its decoding tells the voices too: no second decoding.
            waiting_ = true;
            setBusy(true);
            status_->setText(tr("Waiting for the Waveform window's decoding, which finds the voices too\u2026"));
            waitConnection_ = connect(waveform, &WaveformSource::peaksAdded, this,
                [this, waveform] { progress_->setValue(int(std::lround(waveform->progress() * 100))); });
            connect(
                waveform, &WaveformSource::finished, this,
                [this] {
                    if (!waiting_) return;
                    waiting_ = false;
                    disconnect(waitConnection_);
                    setBusy(false);
                    services_.errors.run([this] { find(); });
                },
                Qt::SingleShotConnection);
            return;
        }
        if (const std::shared_ptr<const SpeechTrack> speech = waveform->speech())
            job->target = std::make_shared<const SyncTarget>(TargetFromLikelihood(speech->likelihood));
    }
    strip_->setTarget(job->target, tr("Speech"));
    job->intervals = rows_.intervals;
    job->options.splits = splits_->isChecked();
    job->options.leastOffsetMs = 1000 / rows_.framerate;
    run(job);
}

void SyncWindow::startReference()
{
    fromReference_ = true;
    const QString file = referenceFile_->text();
    if (file.isEmpty()) {
        chooseReference();
        return;
    }
    SubtitleTable reference;
    const LoadResult loaded = LoadSubtitles(reference, file.toStdString(), false, services_.framerate,
        services_.messages, ReadEncoding { {}, services_.encoding });
    if (loaded.cancelled || loaded.format == FormatCode::Unknown) {
        if (loaded.format == FormatCode::Unknown && !loaded.cancelled)
            services_.messages.showError(UnknownFormatMessage);
        return;
    }
    auto job = std::make_shared<Job>();
    job->target = std::make_shared<const SyncTarget>(
        TargetFromIntervals(ReferenceIntervals(reference, rows_.framerate, QFileInfo(file).fileName().toStdString())));
    strip_->setTarget(job->target, tr("Reference"));
    job->intervals = rows_.intervals;
    job->options.splits = splits_->isChecked();
    job->options.leastOffsetMs = 1000 / rows_.framerate;
    run(job);
}

void SyncWindow::run(std::shared_ptr<Job> job)
{
    stop_ = false;
    job->generation = ++generation_;
    setBusy(true);
    status_->setText(job->target ? tr("Aligning\u2026") : tr("Reading the film's voices\u2026"));
    auto post = [this, generation = job->generation](std::function<void()> update) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, update = std::move(update)] {
                if (generation == generation_) update();
            },
            Qt::QueuedConnection);
    };
    worker_ = std::thread([this, job, post] {
        std::optional<SyncResult> result;
        QString error;
        try {
            std::shared_ptr<const SyncTarget> target = job->target;
            if (!target) {
                FilmSpeech speech
                    = LoadFilmSpeech(job->film, job->stream, job->cache, stop_, [&](double done, bool peaksCached) {
                          post([this, done, peaksCached] {
                              progress_->setValue(int(std::lround(done * 50)));
                              status_->setText(peaksCached ? tr("The film's waveform is in the cache but not its "
                                                                "voices: decoding the sound once to find them\u2026")
                                                           : tr("Decoding the sound to find the voices\u2026"));
                          });
                      });
                if (speech.cancelled) {
                    post([this, generation = job->generation] { done(generation, std::nullopt, {}); });
                    return;
                }
                target = std::make_shared<const SyncTarget>(TargetFromLikelihood(speech.speech.likelihood));
                post([this, target, film = QString::fromStdString(job->film), stream = speech.stream,
                         note = QString::fromStdString(speech.note)] {
                    speechFile_ = film;
                    speechStream_ = stream;
                    speechTarget_ = target;
                    strip_->setTarget(target, tr("Speech"));
                    if (!note.isEmpty()) status_->setText(note);
                });
            }
            SyncOptions options = job->options;
            options.cancel = &stop_;
            const bool decoded = !job->target;
            options.progress = [&](double done) {
                post([this, done, decoded] {
                    progress_->setValue(int(std::lround(decoded ? 50 + done * 50 : done * 100)));
                });
            };
            result = Align(job->intervals, *target, options);
            if (result->cancelled) result.reset();
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("Out of memory while synchronising.");
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        post([this, generation = job->generation, result, error] { done(generation, result, error); });
    });
}

void SyncWindow::done(quint64 generation, std::optional<SyncResult> result, QString error)
{
    if (generation != generation_) return;
    if (worker_.joinable()) worker_.join();
    setBusy(false);
    if (!error.isEmpty()) {
        status_->setText(error);
        services_.messages.showError(error);
    } else if (!result) {
        status_->setText(tr("Cancelled: nothing was changed."));
    } else {
        proposal_ = std::move(result);
        showProposal();
    }
    emit finished();
}

void SyncWindow::showProposal()
{
    const SyncResult& result = *proposal_;
    progress_->setValue(100);
    status_->setText(tr("Found in %1 s. Apply makes it one undo step.").arg(result.seconds, 0, 'f', 2));
    summary_->setText(text(DescribeSync(result, rows_)));
    warning_->setText(result.trusted() ? QString()
                                       : QStringLiteral("Score %1 of 100: %2.")
                                             .arg(std::lround(result.score))
                                             .arg(text(LowScoreMessage(fromReference_))));
    segments_->setRowCount(int(result.segments.size()));
    std::vector<SyncInterval> after;
    after.reserve(rows_.intervals.size());
    for (size_t i = 0; i < rows_.intervals.size(); ++i) {
        const int from
            = MappedFrame(rows_, result, i, int(std::lround(rows_.intervals[i].start * rows_.framerate / 1000)));
        const int to = MappedFrame(rows_, result, i, int(std::lround(rows_.intervals[i].end * rows_.framerate / 1000)));
        after.push_back({ std::llround(from * 1000 / rows_.framerate), std::llround(to * 1000 / rows_.framerate) });
    }
    for (size_t s = 0; s < result.segments.size(); ++s) {
        const SyncSegment& segment = result.segments[s];
        const int r = int(s);
        segments_->setItem(
            r, 0, item(QStringLiteral("%1-%2").arg(rows_.rows[segment.first]).arg(rows_.rows[segment.last])));
        segments_->setItem(r, 1, item(text(OffsetText(segment.offsetMs))));
        segments_->setItem(r, 2, item(text(ClockText(rows_.intervals[segment.first].start))));
        segments_->setItem(r, 3, item(text(ClockText(after[segment.first].start))));
    }
    segments_->resizeColumnsToContents();
    strip_->setSubtitles(rows_.intervals, after);
    // Where the proposal moves the first row to, with some film before it.
    if (!after.empty()) strip_->showSpan(double(after.front().start) - 5000, 60000);
    apply_->setEnabled(true);
}

void SyncWindow::cancel()
{
    if (waiting_) {
        waiting_ = false;
        disconnect(waitConnection_);
        status_->setText(tr("Cancelled: nothing was changed."));
    }
    if (worker_.joinable()) {
        stop_ = true;
        worker_.join();
        ++generation_; // what it still posted is dropped
        status_->setText(tr("Cancelled: nothing was changed."));
        progress_->setValue(0);
    }
    stop_ = false;
    setBusy(false);
    apply_->setEnabled(source() == Points ? pointList_->rowCount() > 0 : proposal_.has_value());
}

bool SyncWindow::apply()
{
    if (source() == Points) return applyPoints();
    if (!proposal_) return false;
    if (services_.table.revision() != revision_) {
        clearProposal();
        throw Error("The subtitles changed after the proposal was made: press Find again.");
    }
    int changed = 0;
    {
        EditHistory::Step step(services_.history, "Synchronise");
        changed = ApplySync(services_.table, rows_, *proposal_);
    }
    services_.mainWindow.statusBar()->showMessage(tr("Synchronised: %1 rows changed.").arg(changed));
    status_->setText(tr("Applied: %1 rows changed (Ctrl+Z undoes it).").arg(changed));
    proposal_.reset();
    apply_->setEnabled(false);
    return true;
}

void SyncWindow::refreshPoints()
{
    filling_ = true;
    const std::vector<SyncPoint> points = ReadSyncPoints(services_.table);
    std::optional<PointSyncPlan> plan;
    QString problem;
    try {
        if (!points.empty()) plan = PlanPointSync(services_.table, points);
    } catch (const Error& error) {
        problem = QString::fromUtf8(error.what());
    }
    pointList_->setRowCount(int(points.size()));
    for (size_t i = 0; i < points.size(); ++i) {
        const SyncPoint& p = points[i];
        const int r = int(i);
        const bool inTable = p.row >= 1 && p.row < services_.table.rowCount();
        pointList_->setItem(r, 0, item(QString::number(p.row)));
        pointList_->setItem(r, 1, item(inTable ? services_.table.text(SubtitleTable::Line1, p.row) : QString()));
        pointList_->setItem(r, 2, item(inTable ? services_.table.text(SubtitleTable::From, p.row) : QString()));
        pointList_->setItem(r, 3, item(QString::number(p.frame), true));
        QString residual;
        if (plan)
            for (const PointSyncPlan::Point& q : plan->points)
                if (q.row == p.row) residual = QString::number(q.residual, 'f', 1);
        pointList_->setItem(r, 4, item(residual));
    }
    pointList_->resizeColumnsToContents();
    if (source() == Points) {
        status_->setText(points.empty() ? tr("No sync points: in the grid, the sync point key sets the current row's "
                                             "to the frame on screen.")
                : problem.isEmpty()
                ? tr("%1 points: rows are mapped by straight lines between them. \"Must start at\" can be edited.")
                      .arg(points.size())
                : problem);
        apply_->setEnabled(!points.empty() && problem.isEmpty());
    }
    filling_ = false;
}

void SyncWindow::pointEdited(int row, int column)
{
    if (filling_ || column != 3) return;
    const QTableWidgetItem* rowItem = pointList_->item(row, 0);
    const QTableWidgetItem* frameItem = pointList_->item(row, 3);
    if (!rowItem || !frameItem) return;
    bool ok = false;
    const int frame = frameItem->text().trimmed().toInt(&ok);
    if (ok && frame >= 0) {
        EditHistory::Step step(services_.history, "Edit sync point");
        SetSyncPoint(services_.table, rowItem->text().toInt(), frame);
    }
    // Also when the text was no frame: the list shows what the document holds.
    QMetaObject::invokeMethod(
        this, [this] { refreshPoints(); }, Qt::QueuedConnection);
}

void SyncWindow::removePoint()
{
    const int selected = pointList_->currentRow();
    if (selected < 0 || !pointList_->item(selected, 0)) return;
    {
        EditHistory::Step step(services_.history, "Remove sync point");
        SetSyncPoint(services_.table, pointList_->item(selected, 0)->text().toInt(), std::nullopt);
    }
    refreshPoints();
}

void SyncWindow::clearPoints()
{
    {
        EditHistory::Step step(services_.history, "Clear sync points");
        ClearSyncPoints(services_.table);
    }
    refreshPoints();
}

bool SyncWindow::applyPoints()
{
    const PointSyncPlan plan = PlanPointSync(services_.table, ReadSyncPoints(services_.table));
    int changed = 0;
    {
        EditHistory::Step step(services_.history, "Sync to points");
        changed = ApplyPointSync(services_.table, plan);
    }
    refreshPoints();
    status_->setText(tr("Applied: %1 rows changed (Ctrl+Z undoes it).").arg(changed));
    services_.mainWindow.statusBar()->showMessage(
        tr("Synchronised to %1 points: %2 rows changed.").arg(plan.points.size()).arg(changed));
    return true;
}

void SyncWindow::closeEvent(QCloseEvent* event)
{
    cancel();
    QWidget::closeEvent(event);
}

} // namespace tessel::app
