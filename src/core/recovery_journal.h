#pragma once
#include "core/edit_history.h"
#include "core/subtitle_table.h"
#include "core/table_changes.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Crash recovery: each running editor keeps a slot in the recovery folder
// with the table as it was at some point (the snapshot) and every change since
// (the journal), so that a crash or a kill loses at most the last second.
//
// Journal records are framed by their length and a CRC-32, so a record cut off
// by the crash is found and dropped, and everything before it is recovered.
namespace tessel {

// Where the document came from, kept beside the table.
struct RecoveryDocument {
    std::string fileName; // empty: untitled
    double framerate = 0; // the framerate it was opened with; 0: none was asked
    bool operator==(const RecoveryDocument& o) const { return fileName == o.fileName && framerate == o.framerate; }
    bool operator!=(const RecoveryDocument& o) const { return !(*this == o); }
};

class RecoveryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// $XDG_STATE_HOME/tessel/recovery, or ~/.local/state/tessel/recovery.
std::string RecoveryFolder();

// One editor's folder in the recovery folder: a lock file holding the
// editor's process id ("lock"), the snapshot and the journal.
class RecoverySlot {
public:
    // A new slot for this process; throws RecoveryError with the reason when
    // the folder cannot be written.
    static std::unique_ptr<RecoverySlot> Create(const std::string& folder);
    // The slot at `path` when no running editor holds it (it is then this
    // process's); nullptr when one does. Throws RecoveryError when its lock
    // cannot be taken for another reason.
    static std::unique_ptr<RecoverySlot> Claim(const std::string& path);
    // The slot folders in `folder`, oldest first.
    static std::vector<std::string> List(const std::string& folder);

    ~RecoverySlot(); // releases the lock and keeps the files
    RecoverySlot(const RecoverySlot&) = delete;
    RecoverySlot& operator=(const RecoverySlot&) = delete;

    const std::string& path() const { return path_; }
    std::string snapshotPath() const { return path_ + "/snapshot"; }
    std::string journalPath() const { return path_ + "/journal"; }
    // Deletes the slot: its files, the lock, the folder.
    void remove();

private:
    struct Lock;
    RecoverySlot(std::string path, std::unique_ptr<Lock> lock);
    std::string path_;
    std::unique_ptr<Lock> lock_;
};

// What a slot holds, read back.
struct RecoveredDocument {
    std::unique_ptr<SubtitleTable> table; // nullptr: the slot holds no table
    RecoveryDocument document;
    bool unsaved = false; // the table differs from what was last opened or saved
    int changes = 0; // journal records replayed over the snapshot
    bool cutOff = false; // the journal ends in a record that is cut off or damaged
    int64_t lastChange = 0; // when the slot was last written, ms since the epoch
};

// Throws RecoveryError when the slot's snapshot cannot be read.
RecoveredDocument ReadRecoverySlot(const std::string& path);

// Keeps a slot in step with the table. It follows the history: a snapshot
// when the history starts over and the table differs from the saved point,
// then what each step, undo and redo changed, as journal records; a new
// snapshot once the journal outgrows the last one. On this thread it only
// copies (the table's image, the encoded changes); files are written on a
// thread of its own.
class RecoveryJournal {
public:
    RecoveryJournal(SubtitleTable& table, EditHistory& history);
    // Writes what was handed over and keeps the slot: an end that is not clean.
    ~RecoveryJournal();
    RecoveryJournal(const RecoveryJournal&) = delete;
    RecoveryJournal& operator=(const RecoveryJournal&) = delete;

    // All before start(). The pending callback runs on this thread when
    // changes start waiting for flush(); the error callback on the writing
    // thread, with the reason, each time writing fails; the caught-up
    // callback there too, when after a failure the slot holds the table again
    // (or needs to hold nothing). After a failure, flush() tries again.
    void setPendingCallback(std::function<void()> callback) { pendingCallback_ = std::move(callback); }
    void setErrorCallback(std::function<void(const std::string&)> callback) { errorCallback_ = std::move(callback); }
    void setCaughtUpCallback(std::function<void()> callback) { caughtUpCallback_ = std::move(callback); }

    // From here on into `slot`, whose files may still hold what the table
    // was recovered from: they are replaced, never appended to.
    void start(std::unique_ptr<RecoverySlot> slot);
    bool started() const { return writer_ != nullptr; }
    void setDocument(const RecoveryDocument& document);
    const RecoveryDocument& document() const { return document_; }

    // Hands what waits to the writer; call it within a second of the
    // pending callback.
    void flush();
    // Blocks until everything handed over is written.
    void waitUntilWritten();
    // The clean end: the slot goes. Neither it nor the end that is not clean
    // waits for a hung disk longer than this.
    void finish();
    static constexpr std::chrono::milliseconds QuitPatience { 2000 };

    // Since the last snapshot, and that snapshot's cell bytes.
    size_t journalBytes() const { return journalBytes_; }
    size_t snapshotBytes() const { return snapshotBytes_; }
    // A journal below this never causes a new snapshot.
    static constexpr size_t SmallestCompaction = 256 * 1024;

private:
    class Writer;

    void historyChanged(EditHistory::Event event);
    void cutChanges();
    void noteState();
    void markPending();
    void snapshotOrClear();
    void prepareRoom();
    void stop();

    SubtitleTable& table_;
    EditHistory& history_;
    ForwardRecorder forward_;
    int observer_ = 0;
    std::shared_ptr<Writer> writer_;
    std::function<void()> pendingCallback_;
    std::function<void(const std::string&)> errorCallback_;
    std::function<void()> caughtUpCallback_;
    RecoveryDocument document_, writtenDocument_;
    bool writtenUnsaved_ = false;
    bool needSnapshot_ = true;
    bool slotHasContent_ = true;
    bool pendingSignalled_ = false;
    struct Record {
        char kind; // 'C' changes, 'M' the document's state
        ChangeRecord changes;
        std::string state;
    };
    std::vector<Record> records_; // not yet handed over
    size_t journalBytes_ = 0, snapshotBytes_ = 0;
    int64_t retryAfter_ = 0; // after a failure, steady-clock ms
    int roomRows_ = 0; // prepared or on its way for the next snapshot
};

} // namespace tessel
