#include "app/recovery_wiring.h"

#include "app/file_actions.h"
#include "app/main_window.h"

#include <QDateTime>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

namespace tessel::app {

RecoveryAnswer QtRecoveryQuestions::askRecover(const QString& text)
{
    QMessageBox box(QMessageBox::Question, RecoveryTitle, text);
    box.setObjectName(QStringLiteral("RecoveryQuestion"));
    QPushButton* recover = box.addButton(QStringLiteral("Recover"), QMessageBox::AcceptRole);
    recover->setObjectName(QStringLiteral("Recover"));
    box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole)->setObjectName(QStringLiteral("Discard"));
    box.setDefaultButton(recover);
    box.exec();
    return box.clickedButton() == recover ? RecoveryAnswer::Recover : RecoveryAnswer::Discard;
}

namespace {

QString fileNameOf(const RecoveryDocument& document)
{
    return document.fileName.empty() ? QStringLiteral("untitled")
                                     : QLatin1Char('"') + QString::fromStdString(document.fileName) + QLatin1Char('"');
}

} // namespace

RecoveryWiring::RecoveryWiring(const RecoveryServices& services)
    : services_(services)
    , journal_(services.table, services.history)
{
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(500); // within the second the journal promises
    QObject::connect(&flushTimer_, &QTimer::timeout, &receiver_, [this] { journal_.flush(); });
    journal_.setPendingCallback([this] {
        if (!flushTimer_.isActive()) flushTimer_.start();
    });
    // While the edits are not on disk the warning stands and writing is
    // tried again; once they are, it goes.
    retryTimer_.setInterval(RetryInterval);
    QObject::connect(&retryTimer_, &QTimer::timeout, &receiver_, [this] { journal_.flush(); });
    journal_.setErrorCallback([this](const std::string& reason) {
        QMetaObject::invokeMethod(
            &receiver_, [this, reason] { fellBehind(QString::fromStdString(reason)); }, Qt::QueuedConnection);
    });
    journal_.setCaughtUpCallback([this] {
        QMetaObject::invokeMethod(
            &receiver_, [this] { caughtUp(); }, Qt::QueuedConnection);
    });
}

RecoveryWiring::~RecoveryWiring() { journal_.finish(); }

void RecoveryWiring::start(const std::string& folder)
{
    std::unique_ptr<RecoverySlot> own = offerStaleSlots(folder);
    if (!own) {
        try {
            own = RecoverySlot::Create(folder);
        } catch (const RecoveryError& e) {
            warn(QString::fromStdString(e.what()));
            return;
        }
    }
    services_.files.addDocumentCallback([this](const RecoveryDocument& d) { journal_.setDocument(d); });
    journal_.setDocument(services_.files.document());
    journal_.start(std::move(own));
}

// One after another, until the user recovers one: the rest wait for the next
// editor that starts.
std::unique_ptr<RecoverySlot> RecoveryWiring::offerStaleSlots(const std::string& folder)
{
    for (const std::string& path : RecoverySlot::List(folder))
        if (std::unique_ptr<RecoverySlot> kept = offer(path)) return kept;
    return nullptr;
}

std::unique_ptr<RecoverySlot> RecoveryWiring::offer(const std::string& path)
{
    const QString where = QString::fromStdString(path);
    std::unique_ptr<RecoverySlot> slot;
    RecoveredDocument recovered;
    try {
        slot = RecoverySlot::Claim(path);
        if (!slot) return nullptr; // a running editor's
        recovered = ReadRecoverySlot(path);
    } catch (const std::exception& e) {
        // Never deleted unseen: the user may still get something out of it.
        services_.messages.showError(RecoveryUnreadableMessage.arg(where, QString::fromUtf8(e.what())));
        return nullptr;
    }
    if (!recovered.table || !recovered.unsaved) { // nothing that was not saved
        slot->remove();
        return nullptr;
    }
    const QString when
        = QDateTime::fromMSecsSinceEpoch(recovered.lastChange).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const QString question
        = RecoveryQuestion.arg(fileNameOf(recovered.document), when).arg(recovered.table->rowCount() - 1);
    if (services_.questions.askRecover(question) == RecoveryAnswer::Discard) {
        slot->remove();
        return nullptr;
    }
    recover(recovered);
    return slot;
}

// Into the table as modified, with the file name and framerate it had; the
// journal's first snapshot then replaces the slot's files.
void RecoveryWiring::recover(RecoveredDocument& recovered)
{
    const SubtitleTable& from = *recovered.table;
    {
        EditHistory::Unrecorded loading(services_.history);
        SubtitleTable::BulkChange bulk(services_.table);
        services_.table.setRowCount(from.rowCount());
        for (int row = 1; row < from.rowCount(); ++row)
            services_.table.setRow(row, from.cell(0, row), from.cell(1, row), from.cell(2, row), from.cell(3, row),
                from.cell(4, row), from.cell(5, row));
        services_.table.setDocumentData(from.documentData());
        for (const auto& [key, value] : from.allSideData())
            services_.table.setSideData(key, value);
    }
    services_.history.clear(false);
    services_.files.setDocument(recovered.document);
    if (services_.offerDocument) services_.offerDocument(recovered.document);
    if (recovered.cutOff)
        services_.messages.showMessage(RecoveryTitle,
            RecoveryCutOffMessage.arg(fileNameOf(recovered.document)).arg(recovered.changes), MessageIcon::Warning);
}

// Once a run: editing goes on without it.
void RecoveryWiring::warn(const QString& reason)
{
    if (warned_) return;
    warned_ = true;
    services_.mainWindow.statusBar()->showMessage(RecoveryOffWarning.arg(reason));
}

void RecoveryWiring::fellBehind(const QString& reason)
{
    behindWarning_ = RecoveryOffWarning.arg(reason);
    services_.mainWindow.statusBar()->showMessage(behindWarning_);
    if (!retryTimer_.isActive()) retryTimer_.start();
}

void RecoveryWiring::caughtUp()
{
    retryTimer_.stop();
    QStatusBar* status = services_.mainWindow.statusBar();
    if (!behindWarning_.isEmpty() && status->currentMessage() == behindWarning_) status->clearMessage();
    behindWarning_.clear();
}

} // namespace tessel::app
