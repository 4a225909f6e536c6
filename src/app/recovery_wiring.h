#pragma once
#include "core/edit_history.h"
#include "core/recovery_journal.h"
#include "core/subtitle_table.h"
#include "core/user_prompts.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

// Crash recovery in the window: at start the slots that editors left behind
// are offered one after another, then the journal keeps this editor's own
// slot, flushed within a second of every change; the clean end removes it.
// A failed write is tried again every RetryInterval, with a warning in the
// status bar until the edits are on disk.
namespace tessel::app {

class FileActions;
class MainWindow;

enum class RecoveryAnswer { Recover, Discard };

class RecoveryQuestions {
public:
    virtual ~RecoveryQuestions() = default;
    virtual RecoveryAnswer askRecover(const QString& text) = 0;
};

// A message box with "Recover" and "Discard", without owner window.
class QtRecoveryQuestions : public RecoveryQuestions {
public:
    RecoveryAnswer askRecover(const QString& text) override;
};

struct RecoveryServices {
    SubtitleTable& table;
    EditHistory& history;
    FileActions& files;
    MainWindow& mainWindow; // its status bar takes the warning
    MessageSink& messages;
    RecoveryQuestions& questions;
    // Offers a recovered document's file name and framerate in the dialogs
    // that will save it.
    std::function<void(const RecoveryDocument&)> offerDocument;
};

class RecoveryWiring {
public:
    explicit RecoveryWiring(const RecoveryServices& services);
    // The clean end: the slot goes.
    ~RecoveryWiring();
    RecoveryWiring(const RecoveryWiring&) = delete;
    RecoveryWiring& operator=(const RecoveryWiring&) = delete;

    // Offers the slots no running editor holds, then keeps a slot of its own
    // in `folder` (the recovered one, when the user took one).
    void start(const std::string& folder);
    RecoveryJournal& journal() { return journal_; }

private:
    std::unique_ptr<RecoverySlot> offerStaleSlots(const std::string& folder);
    // The slot to keep when the user recovers it; nullptr otherwise.
    std::unique_ptr<RecoverySlot> offer(const std::string& path);
    void recover(RecoveredDocument& recovered);
    void warn(const QString& reason);
    void fellBehind(const QString& reason);
    void caughtUp();

    RecoveryServices services_;
    QObject receiver_; // for what the writing thread reports
    QTimer flushTimer_;
    QTimer retryTimer_; // while a write failed and the edits are not on disk
    bool warned_ = false;
    QString behindWarning_; // shown while they are not
    RecoveryJournal journal_; // last: its writing thread reports to the above
};

constexpr int RetryInterval = 2000; // ms

inline const QString RecoveryTitle = QStringLiteral("Recovery");
// The file (or "untitled"), the time of the last change, the row count.
inline const QString RecoveryQuestion = QStringLiteral("An editor that ended without saving left changes to %1.\n"
                                                       "Last change: %2, %3 rows.\n\n"
                                                       "Recover them into the table, or discard them?");
// The file, the number of changes.
inline const QString RecoveryCutOffMessage
    = QStringLiteral("The recovery journal of %1 ends in the middle of a change. The subtitles were recovered up to "
                     "the last complete change (%2 changes after the last snapshot).");
// The slot's folder, the reason.
inline const QString RecoveryUnreadableMessage
    = QStringLiteral("The recovery folder %1 cannot be read (%2). It is kept as it is.");
// The reason.
inline const QString RecoveryOffWarning = QStringLiteral("Crash recovery is off: %1. Save your changes yourself.");

} // namespace tessel::app
