#include "app/ocr_review_window.h"

#include "app/main_window.h"
#include "app/subtitle_grid.h"
#include "app/widget_helpers.h"
#include "app/window_font.h"
#include "tools/spell_check.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

namespace tessel::app {
namespace {

constexpr int ThumbnailHeight = 36, ThumbnailWidth = 340;
const QColor Ground(48, 48, 48);

QString joinedLines(const SubtitleTable& table, int row)
{
    QStringList lines;
    for (int c : { SubtitleTable::Line1, SubtitleTable::Line2, SubtitleTable::Line3 })
        lines << table.text(c, row);
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

QString joined(const std::vector<std::string>& words, const char* separator)
{
    QStringList list;
    for (const std::string& w : words)
        list << QString::fromStdString(w);
    return list.join(QLatin1String(separator));
}

} // namespace

QImage OcrPictureImage(const SubtitlePicture& picture)
{
    if (picture.empty()) return {};
    const std::vector<uint32_t> pixels = picture.argb();
    QImage image(picture.width(), picture.height(), QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        std::copy_n(pixels.begin() + static_cast<ptrdiff_t>(y) * picture.width(), picture.width(),
            reinterpret_cast<uint32_t*>(image.scanLine(y)));
    QImage shown(image.size(), QImage::Format_RGB32);
    shown.fill(Ground);
    QPainter(&shown).drawImage(0, 0, image);
    return shown;
}

struct OcrReviewWindow::Entry {
    int row = 0;
    std::string key;
    std::shared_ptr<const OcrRecord> record;
    QString text;
    QString reason;
};

// The list: number, picture, text, why to look.
class OcrReviewModel : public QAbstractTableModel {
public:
    OcrReviewModel(const std::vector<OcrReviewWindow::Entry>& entries, const std::vector<int>& shown, QObject* parent)
        : QAbstractTableModel(parent)
        , entries_(entries)
        , shown_(shown)
    {
        thumbnails_.setMaxCost(400);
    }
    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(shown_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        static const char* const names[] = { "Row", "Picture", "Text", "To look at" };
        return QString::fromLatin1(names[section]);
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto& e = entries_[static_cast<size_t>(shown_[static_cast<size_t>(index.row())])];
        if (role == Qt::DisplayRole) {
            switch (index.column()) {
            case 0:
                return e.row;
            case 2:
                return e.text;
            case 3:
                return e.reason;
            default:
                return {};
            }
        }
        if (role == Qt::DecorationRole && index.column() == 1) return thumbnail(e);
        if (role == Qt::BackgroundRole && !e.reason.isEmpty()) return QColor(255, 236, 200);
        if (role == Qt::ForegroundRole && !e.reason.isEmpty()) return QColor(Qt::black);
        return {};
    }
    void reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    QPixmap thumbnail(const OcrReviewWindow::Entry& e) const
    {
        const QString key = QString::fromStdString(e.key);
        if (QPixmap* cached = thumbnails_.object(key)) return *cached;
        const QImage image = OcrPictureImage(e.record->picture);
        if (image.isNull()) return {};
        auto* pixmap = new QPixmap(QPixmap::fromImage(
            image.scaled(ThumbnailWidth, ThumbnailHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        thumbnails_.insert(key, pixmap);
        return *pixmap;
    }

    const std::vector<OcrReviewWindow::Entry>& entries_;
    const std::vector<int>& shown_;
    mutable QCache<QString, QPixmap> thumbnails_;
};

OcrReviewWindow::OcrReviewWindow(const ToolContext& context, OcrPictures& pictures, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , tools_(context)
    , pictures_(pictures)
{
    setObjectName(QStringLiteral("FormOcrReview"));
    setWindowTitle(QStringLiteral("Review OCR"));
    setFont(WindowFont());
    model_ = new OcrReviewModel(entries_, shown_, this);
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("OcrReviewList"));
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(ThumbnailHeight + 8);
    list_->setIconSize(QSize(ThumbnailWidth, ThumbnailHeight));
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setColumnWidth(0, 56);
    list_->setColumnWidth(1, ThumbnailWidth + 12);
    list_->setColumnWidth(2, 300);
    list_->setWordWrap(false);
    picture_ = MakeLabel(this, "OcrReviewPicture", QString());
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setMinimumHeight(90);
    picture_->setAutoFillBackground(true);
    QPalette ground = picture_->palette();
    ground.setColor(QPalette::Window, Ground);
    picture_->setPalette(ground);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("OcrReviewText"));
    text_->setFixedHeight(text_->fontMetrics().lineSpacing() * 3 + 14);
    status_ = MakeLabel(this, "OcrReviewStatus", QString());
    status_->setWordWrap(true);
    onlyMarked_ = new QCheckBox(QStringLiteral("Only the rows to look at"), this);
    onlyMarked_->setObjectName(QStringLiteral("OcrReviewOnlyMarked"));
    change_ = MakeButton(this, "ButtonOcrChange", QStringLiteral("Change"));
    accept_ = MakeButton(this, "ButtonOcrAccept", QStringLiteral("Accept"));
    auto* next = MakeButton(this, "ButtonOcrNext", QStringLiteral("Next to look at"));
    auto* close = MakeButton(this, "ButtonOcrClose", QStringLiteral("Close"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(list_, 0, 0, 1, 5);
    layout->addWidget(onlyMarked_, 1, 0, 1, 5);
    layout->addWidget(picture_, 2, 0, 1, 5);
    layout->addWidget(text_, 3, 0, 1, 5);
    layout->addWidget(status_, 4, 0, 1, 5);
    layout->addWidget(change_, 5, 0);
    layout->addWidget(accept_, 5, 1);
    layout->addWidget(next, 5, 2);
    layout->addWidget(close, 5, 4);
    layout->setColumnStretch(3, 1);
    layout->setRowStretch(0, 1);
    resize(900, 640);

    ErrorReport& errors = tools_.errors;
    ConnectGuarded(errors, change_, &QPushButton::clicked, [this] { change(); });
    ConnectGuarded(errors, accept_, &QPushButton::clicked, [this] { accept(); });
    ConnectGuarded(errors, next, &QPushButton::clicked, [this] { nextMarked(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    ConnectGuarded(errors, onlyMarked_, &QCheckBox::toggled, [this] { refresh(); });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { showCurrent(); });
}

OcrReviewWindow::~OcrReviewWindow() = default;

void OcrReviewWindow::setDictionary(const std::string& language)
{
    if (language == dictionary_) return;
    dictionary_ = language;
    speller_.reset();
}

QString OcrReviewWindow::reasonFor(const Entry& e)
{
    if (accepted_.count(e.key)) return {};
    if (!e.record->damage.empty())
        return QStringLiteral("Damaged picture (%1)").arg(QString::fromStdString(e.record->damage));
    if (e.text.trimmed().isEmpty()) return QStringLiteral("No text read");
    QStringList reasons;
    const QString read = joined(e.record->lines, "\n");
    if (e.text == read && !e.record->doubtful.empty())
        reasons << QStringLiteral("Unsure: %1").arg(joined(e.record->doubtful, ", "));
    if (!speller_ && !dictionary_.empty()) {
        try {
            speller_ = std::make_unique<Speller>(dictionary_);
        } catch (const std::exception&) {
            dictionary_.clear(); // not installed: no spelling marks
        }
    }
    if (speller_) {
        const std::string text = e.text.toStdString();
        QStringList words;
        for (const TextSpan& span : speller_->misspelled(text))
            words << QString::fromStdString(text.substr(span.start, span.end - span.start));
        if (!words.isEmpty())
            reasons << QStringLiteral("Not in the dictionary: %1").arg(words.join(QStringLiteral(", ")));
    }
    return reasons.join(QStringLiteral("; "));
}

void OcrReviewWindow::refresh()
{
    const int was = current() >= 0 ? tableRow(current()) : -1;
    entries_.clear();
    const SubtitleTable& table = tools_.table;
    for (int row = 1; row < table.rowCount(); ++row) {
        std::string key = OcrPictureKey(table.cell(SubtitleTable::Extra, row));
        if (key.empty()) continue;
        std::shared_ptr<const OcrRecord> record = pictures_.find(key);
        if (!record) continue;
        Entry e { row, std::move(key), std::move(record), joinedLines(table, row), {} };
        e.reason = reasonFor(e);
        entries_.push_back(std::move(e));
    }
    shown_.clear();
    for (size_t i = 0; i < entries_.size(); ++i)
        if (!onlyMarked_->isChecked() || !entries_[i].reason.isEmpty()) shown_.push_back(static_cast<int>(i));
    model_->reset();
    revision_ = table.revision();
    int again = -1;
    for (size_t i = 0; i < shown_.size() && again < 0; ++i)
        if (entries_[static_cast<size_t>(shown_[i])].row >= was) again = static_cast<int>(i);
    setCurrent(again >= 0 ? again : shown_.empty() ? -1 : 0);
    if (entries_.empty()) status_->setText(QStringLiteral("No rows read by OCR are kept with their pictures."));
}

void OcrReviewWindow::open()
{
    show();
    raise();
    activateWindow();
    refresh();
    if (current() >= 0 && reason(current()).isEmpty()) nextMarked();
}

int OcrReviewWindow::rowCount() const { return static_cast<int>(shown_.size()); }

int OcrReviewWindow::markedCount() const
{
    return static_cast<int>(
        std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.reason.isEmpty(); }));
}

int OcrReviewWindow::tableRow(int shown) const
{
    return entries_[static_cast<size_t>(shown_[static_cast<size_t>(shown)])].row;
}

QString OcrReviewWindow::reason(int shown) const
{
    return entries_[static_cast<size_t>(shown_[static_cast<size_t>(shown)])].reason;
}

int OcrReviewWindow::current() const
{
    const int row = list_->currentIndex().row();
    return row >= 0 && row < rowCount() ? row : -1;
}

void OcrReviewWindow::setCurrent(int shown)
{
    if (shown < 0 || shown >= rowCount()) {
        list_->setCurrentIndex({});
        showCurrent();
        return;
    }
    list_->setCurrentIndex(model_->index(shown, 2));
    list_->scrollTo(model_->index(shown, 2));
    showCurrent();
}

void OcrReviewWindow::showCurrent()
{
    const int shown = current();
    change_->setEnabled(shown >= 0);
    accept_->setEnabled(shown >= 0);
    if (shown < 0) {
        picture_->clear();
        text_->clear();
        status_->clear();
        return;
    }
    const Entry& e = entries_[static_cast<size_t>(shown_[static_cast<size_t>(shown)])];
    const QImage image = OcrPictureImage(e.record->picture);
    const int room = std::max(100, picture_->width() - 8);
    picture_->setPixmap(
        QPixmap::fromImage(image.width() > room ? image.scaledToWidth(room, Qt::SmoothTransformation) : image));
    text_->setPlainText(e.text);
    status_->setText(QStringLiteral("Row %1: %2")
                         .arg(e.row)
                         .arg(e.reason.isEmpty() ? QStringLiteral("nothing to look at") : e.reason));
    tools_.mainWindow.grid().selectCell(SubtitleTable::Line1, e.row);
}

void OcrReviewWindow::change()
{
    const int shown = current();
    if (shown < 0) return;
    const Entry& e = entries_[static_cast<size_t>(shown_[static_cast<size_t>(shown)])];
    QStringList lines = text_->toPlainText().split(QLatin1Char('\n'));
    while (lines.size() > 3)
        lines[2] += QLatin1Char(' ') + lines.takeAt(3);
    while (lines.size() < 3)
        lines << QString();
    {
        EditHistory::Step step(tools_.history, "Change a row read by OCR");
        for (int i = 0; i < 3; ++i)
            if (tools_.table.text(SubtitleTable::Line1 + i, e.row) != lines[i])
                tools_.table.setText(SubtitleTable::Line1 + i, e.row, lines[i]);
    }
    accepted_.insert(e.key);
    refresh();
    nextMarked();
}

void OcrReviewWindow::accept()
{
    const int shown = current();
    if (shown < 0) return;
    accepted_.insert(entries_[static_cast<size_t>(shown_[static_cast<size_t>(shown)])].key);
    refresh();
    nextMarked();
}

void OcrReviewWindow::nextMarked()
{
    const int from = std::max(current(), 0);
    for (int k = 0; k < rowCount(); ++k) {
        const int shown = (from + k) % rowCount();
        if (!reason(shown).isEmpty()) return setCurrent(shown);
    }
    status_->setText(QStringLiteral("Every row read by OCR has been looked at."));
}

void OcrReviewWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (revision_ != tools_.table.revision()) refresh();
}

} // namespace tessel::app
