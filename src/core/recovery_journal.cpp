#include "core/recovery_journal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tessel {
namespace {

// Snapshot: magic, then a body of generation (u64), unsaved (u8), file name,
// framerate (IEEE double, u64), document data, row count (u32) and six cells
// a row (varint length and bytes), the side data when there is any (pairs of
// key and value texts to the end of the body), then the CRC-32 of the body (u32).
// Journal: magic, the generation of the snapshot it follows (u64), then
// records: payload length (u32), CRC-32 of the payload (u32), payload. A
// payload is 'C' and the encoded changes (ChangeRecord), or 'M', unsaved
// (u8), file name and framerate. Numbers are little-endian.
constexpr std::string_view SnapshotMagic = "TESSEL RECOVERY SNAPSHOT 1\n";
constexpr std::string_view JournalMagic = "TESSEL RECOVERY JOURNAL 1\n";
constexpr size_t FrameHeader = 8;
constexpr size_t WriteChunk = size_t(1) << 20;

const std::array<uint32_t, 256>& crcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t {};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

// CRC-32 (the one of zip and PNG), continued from `crc`.
uint32_t crc32(std::string_view bytes, uint32_t crc = 0)
{
    const auto& table = crcTable();
    crc = ~crc;
    for (char ch : bytes)
        crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void putFixed(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void putNumber(std::string& out, uint64_t v)
{
    while (v >= 0x80) {
        out += static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    out += static_cast<char>(v);
}

void putText(std::string& out, std::string_view text)
{
    putNumber(out, text.size());
    out.append(text);
}

uint64_t framerateBits(double framerate)
{
    uint64_t bits;
    std::memcpy(&bits, &framerate, sizeof bits);
    return bits;
}

void putDocument(std::string& out, const RecoveryDocument& document)
{
    putText(out, document.fileName);
    putFixed(out, framerateBits(document.framerate), 8);
}

class Input {
public:
    Input(std::string_view data, const char* what)
        : data_(data)
        , what_(what)
    {
    }
    size_t left() const { return data_.size() - at_; }
    uint64_t fixed(int bytes)
    {
        need(static_cast<size_t>(bytes));
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<uint64_t>(static_cast<unsigned char>(data_[at_++])) << (8 * i);
        return v;
    }
    uint64_t number()
    {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            need(1);
            const auto b = static_cast<unsigned char>(data_[at_++]);
            v |= static_cast<uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        fail();
    }
    std::string_view text()
    {
        const uint64_t n = number();
        need(n);
        const std::string_view t = data_.substr(at_, static_cast<size_t>(n));
        at_ += static_cast<size_t>(n);
        return t;
    }
    RecoveryDocument document()
    {
        RecoveryDocument d;
        d.fileName = std::string(text());
        const uint64_t bits = fixed(8);
        std::memcpy(&d.framerate, &bits, sizeof bits);
        return d;
    }

private:
    void need(uint64_t n)
    {
        if (n > left()) fail();
    }
    [[noreturn]] void fail() { throw RecoveryError(std::string("damaged ") + what_); }

    std::string_view data_;
    const char* what_;
    size_t at_ = 0;
};

std::string stateBody(bool unsaved, const RecoveryDocument& document)
{
    std::string body(1, unsaved ? '\1' : '\0');
    putDocument(body, document);
    return body;
}

uint64_t newGeneration()
{
    static std::mt19937_64 random(std::random_device {}() ^ static_cast<uint64_t>(QDateTime::currentMSecsSinceEpoch()));
    return random();
}

// After a failure, no new try before this (edits call for one every half second).
constexpr std::chrono::milliseconds RetryPause { 1000 };

int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string errnoText(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

// A file written through its descriptor, closed on every road out.
class File {
public:
    File(const std::string& path, int flags)
        : path_(path)
        , fd_(::open(path.c_str(), flags | O_CLOEXEC, 0600))
    {
        if (fd_ < 0) throw RecoveryError(errnoText("cannot open", path));
    }
    ~File()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    void write(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw RecoveryError(errnoText("cannot write", path_));
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }
    void sync()
    {
        if (::fdatasync(fd_) != 0) throw RecoveryError(errnoText("cannot write", path_));
    }
    void close()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) throw RecoveryError(errnoText("cannot write", path_));
    }

private:
    std::string path_;
    int fd_;
};

void syncFolder(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::string readWhole(const std::string& path, bool& exists)
{
    exists = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return {};
        throw RecoveryError(errnoText("cannot read", path));
    }
    exists = true;
    std::string data;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            throw RecoveryError(errnoText("cannot read", path));
        }
        if (n == 0) break;
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

int64_t modifiedMs(const std::string& path)
{
    const QFileInfo info(QString::fromStdString(path));
    return info.exists() ? info.lastModified().toMSecsSinceEpoch() : 0;
}

} // namespace

// ---- the folder and its slots -------------------------------------------------

std::string RecoveryFolder()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base = !state.isEmpty() && QDir::isAbsolutePath(state) ? state : QDir::homePath() + "/.local/state";
    return (base + "/tessel/recovery").toStdString();
}

// Beside the slot's folder, not in it: the lock is taken before the folder
// is made, so no editor ever sees a slot that is not locked yet.
struct RecoverySlot::Lock {
    explicit Lock(const std::string& path)
        : file(QString::fromStdString(path + ".lock"))
    {
        // Only a process that is gone leaves a stale lock, however old it is.
        file.setStaleLockTime(0);
    }
    QLockFile file;
};

RecoverySlot::RecoverySlot(std::string path, std::unique_ptr<Lock> lock)
    : path_(std::move(path))
    , lock_(std::move(lock))
{
}

RecoverySlot::~RecoverySlot() = default;

std::unique_ptr<RecoverySlot> RecoverySlot::Create(const std::string& folder)
{
    if (!QDir().mkpath(QString::fromStdString(folder))) throw RecoveryError("cannot create the folder " + folder);
    const std::string name = std::to_string(QDateTime::currentMSecsSinceEpoch()) + "-"
        + std::to_string(QCoreApplication::applicationPid());
    for (int attempt = 0;; ++attempt) {
        const std::string path = folder + "/" + name + (attempt ? "-" + std::to_string(attempt) : std::string());
        auto lock = std::make_unique<Lock>(path);
        if (!lock->file.tryLock(0)) {
            if (lock->file.error() == QLockFile::LockFailedError && attempt < 100) continue;
            throw RecoveryError("cannot create the lock file " + path + ".lock");
        }
        if (::mkdir(path.c_str(), 0700) != 0) {
            const int error = errno;
            lock->file.unlock();
            errno = error;
            if (error == EEXIST && attempt < 100) continue;
            throw RecoveryError(errnoText("cannot create", path));
        }
        return std::unique_ptr<RecoverySlot>(new RecoverySlot(path, std::move(lock)));
    }
}

std::unique_ptr<RecoverySlot> RecoverySlot::Claim(const std::string& path)
{
    auto lock = std::make_unique<Lock>(path);
    if (!lock->file.tryLock(0)) {
        if (lock->file.error() == QLockFile::LockFailedError) return nullptr;
        throw RecoveryError("cannot take the lock of " + path);
    }
    // Another editor removed it meanwhile.
    if (!QFileInfo(QString::fromStdString(path)).isDir()) return nullptr;
    return std::unique_ptr<RecoverySlot>(new RecoverySlot(path, std::move(lock)));
}

std::vector<std::string> RecoverySlot::List(const std::string& folder)
{
    const QDir dir(QString::fromStdString(folder));
    std::vector<std::string> slotPaths;
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        slotPaths.push_back(dir.filePath(name).toStdString());
    return slotPaths;
}

void RecoverySlot::remove()
{
    const QDir dir(QString::fromStdString(path_));
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(dir.filePath(name));
    ::rmdir(path_.c_str());
    lock_->file.unlock(); // last: the folder is gone before anyone can take it
}

// ---- reading a slot -----------------------------------------------------------

namespace {

struct Snapshot {
    uint64_t generation = 0;
};

Snapshot readSnapshot(const std::string& data, RecoveredDocument& out)
{
    if (data.compare(0, SnapshotMagic.size(), SnapshotMagic) != 0 || data.size() < SnapshotMagic.size() + 4)
        throw RecoveryError("the snapshot is not one of this program's");
    const std::string_view body
        = std::string_view(data).substr(SnapshotMagic.size(), data.size() - SnapshotMagic.size() - 4);
    Input check(std::string_view(data).substr(data.size() - 4), "snapshot");
    if (check.fixed(4) != crc32(body)) throw RecoveryError("the snapshot is damaged");
    Input in(body, "snapshot");
    Snapshot s;
    s.generation = in.fixed(8);
    out.unsaved = in.fixed(1) != 0;
    out.document = in.document();
    const std::string_view documentData = in.text();
    const uint64_t rows = in.fixed(4);
    // Every row takes at least six bytes: a count that cannot fit is damage.
    if (rows == 0 || rows > in.left() / SubtitleTable::CellCount || rows >= INT32_MAX)
        throw RecoveryError("the snapshot is damaged");
    auto table = std::make_unique<SubtitleTable>();
    table->setRowCount(static_cast<int>(rows) + 1);
    for (int row = 1; row <= static_cast<int>(rows); ++row) {
        std::array<std::string_view, SubtitleTable::CellCount> cells;
        for (auto& c : cells)
            c = in.text();
        table->setRow(row, cells[0], cells[1], cells[2], cells[3], cells[4], cells[5]);
    }
    table->setDocumentData(documentData);
    while (in.left() > 0) {
        const std::string_view key = in.text();
        table->setSideData(key, in.text());
    }
    out.table = std::move(table);
    return s;
}

// Replays the journal's complete records; stops at the first one that is cut
// off or damaged.
void readJournal(const std::string& data, uint64_t generation, RecoveredDocument& out)
{
    const size_t header = JournalMagic.size() + 8;
    if (data.size() < header) {
        out.cutOff = !data.empty();
        return;
    }
    if (data.compare(0, JournalMagic.size(), JournalMagic) != 0) {
        out.cutOff = true;
        return;
    }
    Input head(std::string_view(data).substr(JournalMagic.size(), 8), "journal");
    if (head.fixed(8) != generation) return; // from before the snapshot: all in it
    size_t at = header;
    while (at < data.size()) {
        if (data.size() - at < FrameHeader) break;
        Input frameHead(std::string_view(data).substr(at, FrameHeader), "journal");
        const uint64_t length = frameHead.fixed(4);
        const uint64_t crc = frameHead.fixed(4);
        if (length == 0 || length > data.size() - at - FrameHeader) break;
        const std::string_view payload = std::string_view(data).substr(at + FrameHeader, static_cast<size_t>(length));
        if (crc32(payload) != crc) break;
        try {
            if (payload[0] == 'C') {
                ReplayForward(*out.table, ChangeRecord::FromBytes(std::string(payload.substr(1))));
                out.unsaved = true;
                ++out.changes;
            } else if (payload[0] == 'M') {
                Input in(payload.substr(1), "journal");
                out.unsaved = in.fixed(1) != 0;
                out.document = in.document();
            } else {
                break;
            }
        } catch (const std::exception&) {
            break;
        }
        at += FrameHeader + static_cast<size_t>(length);
    }
    out.cutOff = at < data.size();
}

} // namespace

RecoveredDocument ReadRecoverySlot(const std::string& path)
{
    RecoveredDocument out;
    const std::string snapshotPath = path + "/snapshot", journalPath = path + "/journal";
    out.lastChange = std::max(modifiedMs(snapshotPath), modifiedMs(journalPath));
    bool exists = false;
    const std::string snapshot = readWhole(snapshotPath, exists);
    if (!exists) return out; // nothing was ever unsaved
    const Snapshot s = readSnapshot(snapshot, out);
    const std::string journal = readWhole(journalPath, exists);
    if (exists) readJournal(journal, s.generation, out);
    return out;
}

// ---- writing ------------------------------------------------------------------

class RecoveryJournal::Writer {
public:
    struct Task {
        enum Kind { Snapshot, Append, Clear, Remove, Room } kind;
        std::shared_ptr<const SubtitleTable::Image> image;
        RecoveryDocument document;
        bool unsaved = false;
        uint64_t generation = 0;
        std::vector<Record> records;
        int rows = 0; // of the room to prepare
    };

    // The writing thread holds the writer too, so that one stuck on a hung
    // disk can be left behind without anything it uses going away.
    static std::shared_ptr<Writer> Start(std::unique_ptr<RecoverySlot> slot,
        std::function<void(const std::string&)> onError, std::function<void()> onCaughtUp)
    {
        std::shared_ptr<Writer> writer(new Writer(std::move(slot), std::move(onError), std::move(onCaughtUp)));
        std::thread([writer] { writer->run(); }).detach();
        return writer;
    }

    // Writes what was posted and ends, waiting for that at most `patience`:
    // after it the thread finishes alone, and nobody is told anything more.
    void stop(std::chrono::milliseconds patience)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        {
            std::unique_lock<std::mutex> lock(mutex_);
            idle_.wait_for(lock, patience, [this] { return finished_; });
        }
        std::lock_guard<std::mutex> lock(callbackMutex_);
        onError_ = nullptr;
        onCaughtUp_ = nullptr;
    }

    void post(Task task)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        wake_.notify_all();
    }
    void waitIdle()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
    }
    bool takeFailure() { return failed_.exchange(false); }
    // What a Room task prepared, when it is there by now.
    std::shared_ptr<SubtitleTable::Image> takeRoom()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::move(room_);
    }

private:
    Writer(std::unique_ptr<RecoverySlot> slot, std::function<void(const std::string&)> onError,
        std::function<void()> onCaughtUp)
        : slot_(std::move(slot))
        , onError_(std::move(onError))
        , onCaughtUp_(std::move(onCaughtUp))
    {
    }

    void run()
    {
        for (;;) {
            Task task;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
                if (tasks_.empty()) { // stopping, and all written
                    finished_ = true;
                    idle_.notify_all();
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
                busy_ = true;
            }
            try {
                perform(task);
                // The table is on disk again, or nothing needs to be.
                if (failing_ && (task.kind == Task::Snapshot || task.kind == Task::Clear)) {
                    failing_ = false;
                    std::lock_guard<std::mutex> lock(callbackMutex_);
                    if (onCaughtUp_) onCaughtUp_();
                }
            } catch (const std::exception& e) {
                journal_.reset();
                failed_ = true;
                failing_ = true;
                std::lock_guard<std::mutex> lock(callbackMutex_);
                if (onError_) onError_(e.what());
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                busy_ = false;
            }
            idle_.notify_all();
        }
    }

    void perform(Task& task)
    {
        switch (task.kind) {
        case Task::Snapshot:
            writeSnapshot(task);
            break;
        case Task::Append:
            // After a failure the journal waits for the next snapshot.
            if (!journal_) return;
            appendRecords(task.records);
            break;
        case Task::Clear:
            // The snapshot first: a journal alone is never read.
            journal_.reset();
            ::unlink(slot_->snapshotPath().c_str());
            ::unlink(slot_->journalPath().c_str());
            break;
        case Task::Remove:
            journal_.reset();
            slot_->remove();
            break;
        case Task::Room: {
            std::shared_ptr<SubtitleTable::Image> room = SubtitleTable::ImageRoom(task.rows);
            std::lock_guard<std::mutex> lock(mutex_);
            room_ = std::move(room);
            break;
        }
        }
    }

    // Each record framed by its length and CRC-32, then synced once.
    void appendRecords(const std::vector<Record>& records)
    {
        std::string out;
        for (const Record& r : records) {
            const std::string_view body = r.kind == 'C' ? std::string_view(r.changes.data()) : r.state;
            const std::string_view kind(&r.kind, 1);
            putFixed(out, body.size() + 1, 4);
            putFixed(out, crc32(body, crc32(kind)), 4);
            out += kind;
            if (body.size() < WriteChunk) {
                out += body;
            } else {
                journal_->write(out);
                out.clear();
                journal_->write(body);
            }
        }
        journal_->write(out);
        journal_->sync();
    }

    void writeSnapshot(const Task& task)
    {
        journal_.reset();
        const SubtitleTable::Image& image = *task.image;
        const std::string temporary = slot_->snapshotPath() + ".new";
        // A snapshot cut short by a full disk does not keep the room it took.
        struct Discard {
            const std::string& path;
            bool armed = true;
            ~Discard()
            {
                if (armed) ::unlink(path.c_str());
            }
        } discard { temporary };
        {
            File out(temporary, O_WRONLY | O_CREAT | O_TRUNC);
            out.write(SnapshotMagic);
            // The body, through a buffer that goes out a megabyte at a time.
            std::string buffer;
            uint32_t crc = 0;
            auto drain = [&] {
                crc = crc32(buffer, crc);
                out.write(buffer);
                buffer.clear();
            };
            putFixed(buffer, task.generation, 8);
            buffer += task.unsaved ? '\1' : '\0';
            putDocument(buffer, task.document);
            putText(buffer, image.documentData());
            putFixed(buffer, static_cast<uint64_t>(image.rowCount() - 1), 4);
            for (int row = 1; row < image.rowCount(); ++row) {
                for (int c = 0; c < SubtitleTable::CellCount; ++c)
                    putText(buffer, image.cell(c, row));
                if (buffer.size() >= WriteChunk) drain();
            }
            for (const auto& [key, value] : image.sideData()) {
                putText(buffer, key);
                putText(buffer, value);
            }
            drain();
            putFixed(buffer, crc, 4);
            out.write(buffer);
            out.sync();
            out.close();
        }
        if (::rename(temporary.c_str(), slot_->snapshotPath().c_str()) != 0)
            throw RecoveryError(errnoText("cannot write", slot_->snapshotPath()));
        discard.armed = false;
        syncFolder(slot_->path());
        // A journal of another generation is ignored, so the old one counts
        // for nothing from the rename on.
        auto journal = std::make_unique<File>(slot_->journalPath(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND);
        std::string head(JournalMagic);
        putFixed(head, task.generation, 8);
        journal->write(head);
        journal->sync();
        journal_ = std::move(journal);
    }

    std::unique_ptr<RecoverySlot> slot_;
    std::mutex callbackMutex_;
    std::function<void(const std::string&)> onError_;
    std::function<void()> onCaughtUp_;
    std::unique_ptr<File> journal_; // used by the writing thread only
    bool failing_ = false; // the writing thread's: since a failure, nothing succeeded
    std::shared_ptr<SubtitleTable::Image> room_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Task> tasks_;
    bool busy_ = false, stopping_ = false, finished_ = false;
    std::atomic<bool> failed_ { false };
};

RecoveryJournal::RecoveryJournal(SubtitleTable& table, EditHistory& history)
    : table_(table)
    , history_(history)
{
}

RecoveryJournal::~RecoveryJournal()
{
    if (!writer_) return;
    try {
        flush();
    } catch (...) {
        // What could not be handed over is lost like a crash would lose it.
    }
    stop();
}

void RecoveryJournal::stop()
{
    history_.removeObserver(observer_);
    history_.removeFollower(&forward_);
    writer_->stop(QuitPatience);
    writer_.reset();
}

void RecoveryJournal::start(std::unique_ptr<RecoverySlot> slot)
{
    if (writer_ || !slot) return;
    writer_ = Writer::Start(
        std::move(slot),
        [this](const std::string& reason) {
            if (errorCallback_) errorCallback_(reason);
        },
        [this] {
            if (caughtUpCallback_) caughtUpCallback_();
        });
    history_.addFollower(&forward_);
    observer_ = history_.addObserver([this](EditHistory::Event e) { historyChanged(e); });
    forward_.take();
    needSnapshot_ = true;
    slotHasContent_ = true;
    markPending();
}

void RecoveryJournal::historyChanged(EditHistory::Event event)
{
    if (event == EditHistory::Event::OldestDropped) return;
    if (event == EditHistory::Event::Cleared) needSnapshot_ = true;
    if (needSnapshot_) {
        forward_.take(); // the coming snapshot holds it
        records_.clear();
    } else {
        cutChanges(); // one record a step, undo or redo
        noteState();
    }
    markPending();
}

void RecoveryJournal::cutChanges()
{
    if (forward_.empty()) return;
    records_.push_back({ 'C', forward_.take(), {} });
    journalBytes_ += records_.back().changes.bytes() + FrameHeader + 1;
    writtenUnsaved_ = true;
}

void RecoveryJournal::noteState()
{
    const bool unsaved = history_.isModified();
    if (unsaved == writtenUnsaved_ && document_ == writtenDocument_) return;
    records_.push_back({ 'M', {}, stateBody(unsaved, document_) });
    journalBytes_ += records_.back().state.size() + FrameHeader + 1;
    writtenUnsaved_ = unsaved;
    writtenDocument_ = document_;
}

void RecoveryJournal::setDocument(const RecoveryDocument& document)
{
    document_ = document;
    if (!writer_) return;
    if (!needSnapshot_) noteState();
    markPending();
}

void RecoveryJournal::markPending()
{
    if (pendingSignalled_) return;
    pendingSignalled_ = true;
    if (pendingCallback_) pendingCallback_();
}

void RecoveryJournal::flush()
{
    pendingSignalled_ = false;
    if (!writer_) return;
    if (writer_->takeFailure()) {
        needSnapshot_ = true;
        retryAfter_ = steadyMs() + RetryPause.count();
    }
    if (needSnapshot_) {
        snapshotOrClear();
        return;
    }
    cutChanges();
    noteState();
    if (records_.empty()) return;
    if (journalBytes_ > std::max(snapshotBytes_, SmallestCompaction)) {
        needSnapshot_ = true;
        snapshotOrClear();
        return;
    }
    Writer::Task task { Writer::Task::Append, nullptr, {}, false, 0, std::move(records_) };
    records_.clear();
    writer_->post(std::move(task));
}

// A document without unsaved changes needs nothing on disk.
void RecoveryJournal::snapshotOrClear()
{
    forward_.take();
    records_.clear();
    journalBytes_ = 0;
    if (steadyMs() < retryAfter_) return;
    if (!history_.isModified()) {
        if (slotHasContent_) writer_->post({ Writer::Task::Clear, nullptr, {}, false, 0, {} });
        slotHasContent_ = false;
        prepareRoom();
        return;
    }
    Writer::Task task { Writer::Task::Snapshot, table_.image(writer_->takeRoom()), document_, true, newGeneration(),
        {} };
    roomRows_ = 0;
    snapshotBytes_ = task.image->bytes() + SubtitleTable::CellCount * static_cast<size_t>(task.image->rowCount());
    needSnapshot_ = false;
    slotHasContent_ = true;
    writtenUnsaved_ = true;
    writtenDocument_ = document_;
    writer_->post(std::move(task));
    prepareRoom();
}

// The next snapshot's row index, made by the writing thread meanwhile, with
// an eighth to spare for rows added until then.
void RecoveryJournal::prepareRoom()
{
    if (roomRows_ >= table_.rowCount()) return;
    Writer::Task task { Writer::Task::Room, nullptr, {}, false, 0, {} };
    task.rows = table_.rowCount() + table_.rowCount() / 8;
    roomRows_ = task.rows;
    writer_->post(std::move(task));
}

void RecoveryJournal::waitUntilWritten()
{
    if (writer_) writer_->waitIdle();
}

void RecoveryJournal::finish()
{
    if (!writer_) return;
    records_.clear();
    writer_->post({ Writer::Task::Remove, nullptr, {}, false, 0, {} });
    stop();
}

} // namespace tessel
