#include "formats/text_file.h"

#include "core/errors.h"
#include "formats/encoding.h"
#include "formats/text_decoding.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <uchardet.h>
#include <utility>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <unistd.h>

namespace tessel {
namespace {

// Detection looks at this much of a file besides its first line.
constexpr qsizetype HeadBytes = 64 * 1024;
// The whole text is decoded in pieces of about this size: no second copy of
// a big file as UTF-16 on the way.
constexpr qsizetype PieceBytes = 4 << 20;
// Positions in a line are ints.
constexpr size_t MaxDecodedBytes = static_cast<size_t>(std::numeric_limits<int>::max()) - 1;

QByteArray detectedCodePage(const QByteArray& bytes)
{
    const QByteArray name = LikelyCodePage(bytes);
    return name.isEmpty() ? QByteArray("windows-1252") : name;
}

constexpr std::string_view MixedPrefix = "UTF-8+";
// Stray lines named one by one; the rest are counted.
constexpr size_t ListedStrayLines = 1000;
// Enough of the stray bytes' lines to tell their code page.
constexpr qsizetype StraySampleBytes = 64 * 1024;
// UTF-16 is told from this much of the start.
constexpr qsizetype Utf16SampleBytes = 64 * 1024;

const char* const TooLarge = "It is larger than 1 GiB, the limit for subtitle files";

// Why a file is not read, or nothing.
const char* notReadable(const struct stat& info)
{
    if (S_ISDIR(info.st_mode)) return "Is a directory";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "It is a device; only regular files are read";
    if (S_ISFIFO(info.st_mode)) return "It is a pipe; only regular files are read";
    if (!S_ISREG(info.st_mode)) return "It is not a regular file; only regular files are read";
    if (info.st_size > MaxSubtitleFileBytes) return TooLarge;
    return nullptr;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : fd_(fd)
    {
    }
    ~FileDescriptor() { ::close(fd_); }
    int fd() const { return fd_; }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

private:
    int fd_;
};

} // namespace

size_t Utf8CharacterAt(const unsigned char* p, size_t n, size_t i)
{
    const unsigned char c = p[i];
    if (c < 0x80) return 1;
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else
        return 0;
    if (i + len > n) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (p[i + k] & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return len;
}

std::unique_ptr<TextDecoding> TextDecoding::Mixed(const QByteArray& codePage)
{
    auto decoding = std::make_unique<TextDecoding>("UTF-8", 1, false);
    decoding->mixed_ = true;
    QStringDecoder page(codePage.isEmpty() ? "windows-1252" : codePage.constData());
    for (int b = 0x80; b < 0x100; ++b) {
        const char byte = static_cast<char>(b);
        QString one = codePage.isEmpty() ? QString() : page.decode(QByteArrayView(&byte, 1));
        if (page.hasError() || one.size() != 1 || one[0] == QChar::ReplacementCharacter) {
            page.resetState();
            one = QChar(QChar::ReplacementCharacter);
        }
        decoding->strays_[b - 0x80] = one.toStdString();
    }
    return decoding;
}

TextDecoding::TextDecoding(QByteArray encoding, int unit, bool bigEndian)
    : encoding_(std::move(encoding))
    , unit_(unit)
    , bigEndian_(bigEndian)
{
    // Encodings that shift state by escape codes (and any other UTF from
    // detection) carry it across lines: those decode in one piece.
    if (encoding_.startsWith("ISO-2022") || encoding_.startsWith("HZ") || encoding_.startsWith("UTF-32")
        || (unit_ == 1 && encoding_.startsWith("UTF-") && encoding_ != "UTF-8"))
        unit_ = 0;
}

void TextDecoding::appendMixed(std::string_view piece, std::string& out) const
{
    const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
    const size_t n = piece.size();
    size_t run = 0; // start of the valid bytes not yet copied
    for (size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        if (const size_t len = Utf8CharacterAt(p, n, i)) {
            i += len;
            continue;
        }
        out.append(piece.data() + run, i - run);
        out += strays_[p[i] - 0x80];
        run = ++i;
    }
    out.append(piece.data() + run, n - run);
}

qsizetype TextDecoding::lineEndFrom(std::string_view bytes, qsizetype start, qsizetype from) const
{
    const auto size = static_cast<qsizetype>(bytes.size());
    if (unit_ == 1) {
        const size_t at = from < size ? bytes.find('\n', static_cast<size_t>(from)) : std::string_view::npos;
        return at == std::string_view::npos ? -1 : static_cast<qsizetype>(at) + 1;
    }
    for (qsizetype at = from + (from - start) % 2; at + 1 < size; at += 2)
        if (isLineFeedUnit(bytes, at)) return at + 2;
    return -1;
}

qsizetype TextDecoding::lineEndBefore(std::string_view bytes, qsizetype start, qsizetype limit) const
{
    if (unit_ == 1) {
        if (limit <= 0) return -1;
        const size_t at = bytes.rfind('\n', static_cast<size_t>(limit - 1));
        return at == std::string_view::npos || static_cast<qsizetype>(at) < start ? -1 : static_cast<qsizetype>(at) + 1;
    }
    for (qsizetype at = limit - 2 - (limit - start) % 2; at >= start; at -= 2)
        if (isLineFeedUnit(bytes, at)) return at + 2;
    return -1;
}

QString TextDecoding::decode(QByteArrayView piece, bool atStart) const
{
    if (encoding_ == "UTF-8") {
        // fromUtf8 drops a byte-order mark at its start; within the text
        // one is a character like any other.
        if (atStart || !piece.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(piece);
        return QString::fromUtf8(QByteArray("\n").append(piece)).mid(1);
    }
    QStringDecoder decoder(
        encoding_.constData(), atStart ? QStringConverter::Flag::Default : QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(piece);
}

QByteArray NamedCodePage(const QByteArray& bytes)
{
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(uchardet_new(), uchardet_delete);
    // A sample is enough to name the code page and keeps huge files cheap.
    const qsizetype sample = std::min<qsizetype>(bytes.size(), 1 << 20);
    uchardet_handle_data(detector.get(), bytes.constData(), static_cast<size_t>(sample));
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    const bool usable = name && *name && std::strcmp(name, "ASCII") != 0 && std::strcmp(name, "UTF-8") != 0;
    if (usable && QStringDecoder(name).isValid()) return name;
    return {};
}

bool IsValidUtf8(std::string_view s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        // Fast path over ASCII, sixteen bytes at a time, straight to the first byte beyond it.
#ifdef __SSE2__
        while (i + 16 <= n) {
            const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
            if (high != 0) {
                i += static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(high)));
                break;
            }
            i += 16;
        }
#else
        while (i + 8 <= n) {
            uint64_t chunk;
            std::memcpy(&chunk, p + i, 8);
            if (chunk & 0x8080808080808080ull) break;
            i += 8;
        }
#endif
        // Then byte by byte to the next character beyond ASCII and past it.
        while (i < n && p[i] < 0x80)
            ++i;
        if (i >= n) break;
        const size_t len = Utf8CharacterAt(p, n, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

void StrayScanner::scan(std::string_view piece)
{
    StrayBytes& found = *found_;
    const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
    const size_t n = piece.size();
    size_t lineStart = 0;
    bool strayInLine = false;
    // The line's ASCII and stray bytes go into the sample: its UTF-8 would
    // only mislead the guess of the strays' code page.
    const auto endLine = [&](size_t end) {
        if (!strayInLine) return;
        strayInLine = false;
        if (found.lines.size() < ListedStrayLines) found.lines.push_back(line_);
        ++found.lineCount;
        for (size_t i = lineStart; i < end && found.sample.size() < StraySampleBytes;) {
            const size_t len = p[i] < 0x80 ? 0 : Utf8CharacterAt(p, n, i);
            if (len == 0) found.sample += piece[i];
            i += std::max<size_t>(len, 1);
        }
    };
    for (size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            if (p[i++] == '\n') {
                endLine(i);
                ++line_;
                lineStart = i;
            }
            continue;
        }
        if (const size_t len = Utf8CharacterAt(p, n, i)) {
            ++found.characters;
            i += len;
            continue;
        }
        ++found.count;
        strayInLine = true;
        ++i;
    }
    // A piece ends after a line feed but the last, whose last line ends here.
    endLine(n);
}

const StrayBytes& StrayScanner::found() const { return *found_; }

StrayBytes FindStrayBytes(std::string_view bytes)
{
    StrayScanner scanner;
    scanner.scan(bytes);
    return scanner.found();
}

int Utf16WithoutMark(const QByteArray& bytes)
{
    const qsizetype size = std::min(bytes.size(), Utf16SampleBytes) & ~qsizetype(1);
    if (size < 4 || bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return 0;
    qsizetype zeros[2] = { 0, 0 };
    for (qsizetype i = 0; i < size; i += 2) {
        const bool low = bytes[i] == '\0', high = bytes[i + 1] == '\0';
        if (low && high) return 0; // U+0000 is no text
        zeros[0] += low;
        zeros[1] += high;
    }
    // ASCII characters, a quarter of the text at least, have one zero byte
    // each, always on the same side; text has almost no zero bytes at all.
    const qsizetype units = size / 2;
    for (int side = 0; side < 2; ++side)
        if (zeros[side] >= 2 && zeros[side] * 4 >= units && zeros[1 - side] * 16 <= zeros[side])
            return side == 1 ? 1 : 2;
    return 0;
}

QByteArray MixedUtf8Name(const QByteArray& codePage)
{
    return QByteArray(MixedPrefix.data(), MixedPrefix.size()) + codePage;
}

DecodedText::DecodedText(QByteArray bytes, std::string fileName)
    : bytes_(std::move(bytes))
    , fileName_(std::move(fileName))
{
    const std::string_view all(bytes_.constData(), static_cast<size_t>(bytes_.size()));
    if (bytes_.startsWith("\xEF\xBB\xBF")) {
        start_ = 3;
        utf8Mark_ = true;
        if (!IsValidUtf8(all.substr(3))) decoding_ = std::make_unique<TextDecoding>("UTF-8", 1, false);
    } else if (bytes_.startsWith("\xFF\xFE")) {
        start_ = 2;
        decoding_ = std::make_unique<TextDecoding>("UTF-16LE", 2, false);
    } else if (bytes_.startsWith("\xFE\xFF")) {
        start_ = 2;
        decoding_ = std::make_unique<TextDecoding>("UTF-16BE", 2, true);
    } else if (const int utf16 = Utf16WithoutMark(bytes_)) {
        decoding_ = std::make_unique<TextDecoding>(utf16 == 1 ? "UTF-16LE" : "UTF-16BE", 2, utf16 == 2);
    } else if (!IsValidUtf8(all)) {
        const StrayBytes strays = FindStrayBytes(all);
        if (strays.inUtf8Text())
            readStraysIn(strays, detectedCodePage(strays.sample));
        else
            readIn(detectedCodePage(bytes_));
    }
    decoded_ = start_;
}

void DecodedText::readIn(const QByteArray& codePage)
{
    codePage_ = QStringDecoder(codePage.constData()).name();
    decoding_ = std::make_unique<TextDecoding>(codePage, 1, false);
}

void DecodedText::readStraysIn(const StrayBytes& strays, const QByteArray& codePage)
{
    strayLines_ = strays.lines;
    strayLineCount_ = strays.lineCount;
    strayCodePage_ = QStringDecoder(codePage.constData()).name();
    decoding_ = TextDecoding::Mixed(strayCodePage_);
}

DecodedText::DecodedText(QByteArray bytes, std::string fileName, const QByteArray& encoding)
    : DecodedText(encoding.isEmpty() ? std::move(bytes) : QByteArray(), std::move(fileName))
{
    if (encoding.isEmpty()) return;
    bytes_ = std::move(bytes);
    const bool mixed = encoding.startsWith(QByteArray(MixedPrefix.data(), MixedPrefix.size()));
    const QByteArray asked = mixed ? encoding.mid(qsizetype(MixedPrefix.size())) : encoding;
    const QByteArray name = QStringDecoder(asked.constData()).name();
    if (name.isEmpty())
        throw Error("Cannot read file \"" + fileName_ + "\". No encoding is named \"" + encoding.toStdString() + "\"");
    const auto marked = [&](const char* mark) { return bytes_.startsWith(mark) ? qsizetype(std::strlen(mark)) : 0; };
    decoding_.reset();
    if (mixed) {
        start_ = marked("\xEF\xBB\xBF");
        utf8Mark_ = start_ > 0;
        readStraysIn(FindStrayBytes(std::string_view(bytes_.constData(), static_cast<size_t>(bytes_.size()))), name);
    } else if (name == "UTF-8") {
        start_ = marked("\xEF\xBB\xBF");
        utf8Mark_ = start_ > 0;
        const std::string_view all(bytes_.constData() + start_, static_cast<size_t>(bytes_.size() - start_));
        if (!IsValidUtf8(all)) decoding_ = std::make_unique<TextDecoding>("UTF-8", 1, false);
    } else if (name == "UTF-16LE" || (name == "UTF-16" && !bytes_.startsWith("\xFE\xFF"))) {
        start_ = marked("\xFF\xFE");
        decoding_ = std::make_unique<TextDecoding>("UTF-16LE", 2, false);
    } else if (name == "UTF-16BE" || name == "UTF-16") {
        start_ = marked("\xFE\xFF");
        decoding_ = std::make_unique<TextDecoding>("UTF-16BE", 2, true);
    } else {
        start_ = 0;
        readIn(name);
    }
    decoded_ = start_;
}

DecodedText::~DecodedText() = default;

std::string_view DecodedText::head()
{
    const qsizetype size = bytes_.size();
    qsizetype cut = size;
    // Whole lines up to the head's size, or the first line however long.
    if (!decoding_ || decoding_->cuttable()) {
        const TextDecoding bytewise("", 1, false); // valid UTF-8 has its line feeds where any 8-bit text has
        const TextDecoding& lines = decoding_ ? *decoding_ : bytewise;
        const std::string_view bytes(bytes_.constData(), static_cast<size_t>(size));
        if (start_ + HeadBytes < size) cut = lines.lineEndBefore(bytes, start_, start_ + HeadBytes);
        if (cut < 0) cut = lines.lineEndFrom(bytes, start_, start_);
        if (cut < 0) cut = size;
    }
    if (!decoding_) return std::string_view(bytes_.constData() + start_, static_cast<size_t>(cut - start_));
    if (text_.empty() && decoded_ == start_) {
        appendDecoded(start_, cut);
        decoded_ = cut;
    }
    return text_;
}

std::string_view DecodedText::all()
{
    const qsizetype size = bytes_.size();
    if (!decoding_) return std::string_view(bytes_.constData() + start_, static_cast<size_t>(size - start_));
    if (!decoding_->cuttable() && decoded_ != size) {
        text_.clear();
        decoded_ = start_;
    }
    while (decoded_ < size) {
        qsizetype cut = size;
        if (decoding_->cuttable() && decoded_ + PieceBytes < size) {
            cut = decoding_->lineEndFrom(
                std::string_view(bytes_.constData(), static_cast<size_t>(size)), start_, decoded_ + PieceBytes);
            if (cut < 0) cut = size;
        }
        appendDecoded(decoded_, cut);
        decoded_ = cut;
    }
    return text_;
}

void DecodedText::appendDecoded(qsizetype from, qsizetype to)
{
    if (decoding_->mixed()) {
        const size_t before = text_.size();
        decoding_->appendMixed(std::string_view(bytes_.constData() + from, static_cast<size_t>(to - from)), text_);
        if (text_.size() > MaxDecodedBytes) {
            text_.resize(before);
            throw Error("Cannot read file \"" + fileName_ + "\". As UTF-8 its text would be larger than 2 GiB");
        }
        return;
    }
    const QByteArray piece = decoding_->decode(QByteArrayView(bytes_).sliced(from, to - from), from == start_).toUtf8();
    if (text_.size() + static_cast<size_t>(piece.size()) > MaxDecodedBytes)
        throw Error("Cannot read file \"" + fileName_ + "\". As UTF-8 its text would be larger than 2 GiB");
    text_.append(piece.constData(), static_cast<size_t>(piece.size()));
}

QByteArray DecodeToUtf8(const QByteArray& bytes)
{
    DecodedText text(bytes);
    const std::string_view all = text.all();
    if (all.data() == bytes.constData() && all.size() == static_cast<size_t>(bytes.size()))
        return bytes; // valid UTF-8: shared, not copied
    return QByteArray(all.data(), static_cast<qsizetype>(all.size()));
}

namespace {

Error fileError(const std::string& fileName, const char* what, const char* why)
{
    return Error(std::string(what) + " file \"" + fileName + "\". " + why);
}

// A regular file of at most MaxSubtitleFileBytes opened for reading; its size in `info`.
int openSubtitleFile(const std::string& fileName, struct stat& info)
{
    // Looked at before opening: opening a pipe waits for a writer.
    if (::stat(fileName.c_str(), &info) != 0) throw fileError(fileName, "Cannot open", std::strerror(errno));
    if (const char* why = notReadable(info)) throw fileError(fileName, "Cannot open", why);
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw fileError(fileName, "Cannot open", std::strerror(errno));
    // The name may stand for something else by now.
    const char* why = ::fstat(fd, &info) != 0 ? std::strerror(errno) : notReadable(info);
    if (why) {
        const bool read = ::fstat(fd, &info) != 0;
        ::close(fd);
        throw fileError(fileName, read ? "Cannot read" : "Cannot open", why);
    }
    return fd;
}

// Reads into bytes[size..] up to its end, growing it at most to one byte past
// the limit; false at the end of the file.
bool readMore(int fd, QByteArray& bytes, qsizetype& size, const std::string& fileName)
{
    if (size == bytes.size()) {
        // A file that grows while it is read is bounded all the same.
        if (size > MaxSubtitleFileBytes) throw fileError(fileName, "Cannot open", TooLarge);
        bytes.resize(std::min(size * 2, MaxSubtitleFileBytes + 1));
    }
    for (;;) {
        const ssize_t count = ::read(fd, bytes.data() + size, static_cast<size_t>(bytes.size() - size));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw fileError(fileName, "Cannot read", std::strerror(errno));
        size += count;
        return count > 0;
    }
}

} // namespace

QByteArray ReadFileBytes(const std::string& fileName)
{
    struct stat info { };
    const FileDescriptor file(openSubtitleFile(fileName, info));
    QByteArray bytes(static_cast<qsizetype>(info.st_size) + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (readMore(file.fd(), bytes, size, fileName)) { }
    bytes.resize(size);
    return bytes;
}

namespace {

std::atomic<size_t> defaultWindow { 0 };

} // namespace

void SetFileTextWindow(size_t bytes) { defaultWindow = bytes; }

FileText::FileText(const std::string& fileName, size_t window)
    : fileName_(fileName)
    , window_(window          ? window
              : defaultWindow ? defaultWindow.load()
                              : WindowBytes)
{
    struct stat info { };
    fd_ = openSubtitleFile(fileName, info);
    try {
        // A file that fits the window is read whole in one go, as ReadFileBytes reads it.
        fileSize_ = static_cast<int64_t>(info.st_size);
        const auto fileSize = static_cast<size_t>(info.st_size);
        buffer_ = QByteArray(static_cast<qsizetype>(std::min(fileSize, window_) + 1), Qt::Uninitialized);
        fill(window_);
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

// The reading of the next window, one at a time, on a thread kept from
// window to window.
class FileText::ReadAhead {
public:
    explicit ReadAhead(std::function<void()> job)
        : job_(std::move(job))
        , thread_([this] { run(); })
    {
    }
    ~ReadAhead()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    void start()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            asked_ = true;
        }
        changed_.notify_all();
    }
    void wait()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !asked_; });
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return asked_ || stopping_; });
            // A job asked for is done even when stopping: it owns the buffer until then.
            if (!asked_) return;
            lock.unlock();
            job_();
            lock.lock();
            asked_ = false;
            changed_.notify_all();
        }
    }

    std::function<void()> job_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool asked_ = false, stopping_ = false;
    std::thread thread_; // last: it runs once the rest is made
};

FileText::~FileText()
{
    // The thread reads from the file descriptor until it is stopped.
    ahead_.reset();
    ::close(fd_);
}

void FileText::fill(size_t bytes)
{
    if (position_ > 0) {
        size_ -= position_;
        std::memmove(buffer_.data(), buffer_.constData() + position_, static_cast<size_t>(size_));
        position_ = 0;
    }
    if (!eof_) eof_ = readUpTo(buffer_, size_, static_cast<qsizetype>(bytes));
}

bool FileText::readUpTo(QByteArray& bytes, qsizetype& size, qsizetype wanted)
{
    while (size < wanted) {
        const qsizetype before = size;
        const bool more = readMore(fd_, bytes, size, fileName_);
        read_ += size - before;
        // A file that grows while it is read is bounded all the same.
        if (read_ > MaxSubtitleFileBytes) throw fileError(fileName_, "Cannot open", TooLarge);
        if (!more) return true;
    }
    return false;
}

std::string_view FileText::start()
{
    if (position_ == 0 && !started_) fill(std::max<size_t>(window_, HeadBytes));
    return held().substr(0, HeadBytes);
}

QByteArray FileText::takeBytes()
{
    if (position_ > 0 || started_) throw std::logic_error("FileText: bytes taken after reading");
    while (!eof_) {
        const qsizetype before = size_;
        eof_ = !readMore(fd_, buffer_, size_, fileName_);
        read_ += size_ - before;
    }
    buffer_.resize(size_);
    QByteArray bytes = std::move(buffer_);
    buffer_ = QByteArray();
    size_ = 0;
    return bytes;
}

QByteArray FileText::sample(qsizetype bytes) const
{
    QByteArray out(bytes, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < bytes) {
        const ssize_t count = ::pread(fd_, out.data() + size, static_cast<size_t>(bytes - size), size);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw fileError(fileName_, "Cannot read", std::strerror(errno));
        if (count == 0) break;
        size += count;
    }
    out.resize(size);
    return out;
}

// The whole file once more on the side, in pieces that end after a line
// feed (the last anywhere), while `take` returns true.
template <typename Take> void FileText::eachPiece(Take&& take) const
{
    QByteArray piece(static_cast<qsizetype>(WindowBytes) + 1, Qt::Uninitialized);
    qsizetype held = 0;
    off_t offset = 0;
    for (;;) {
        if (held == piece.size()) piece.resize(piece.size() * 2);
        const ssize_t count = ::pread(fd_, piece.data() + held, static_cast<size_t>(piece.size() - held), offset);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw fileError(fileName_, "Cannot read", std::strerror(errno));
        offset += count;
        held += count;
        const std::string_view bytes(piece.constData(), static_cast<size_t>(held));
        const size_t lf = count == 0 ? bytes.size() - 1 : bytes.rfind('\n');
        if (held > 0 && lf != std::string_view::npos) {
            if (!take(bytes.substr(0, lf + 1))) return;
            held -= static_cast<qsizetype>(lf + 1);
            std::memmove(piece.data(), piece.constData() + lf + 1, static_cast<size_t>(held));
        }
        if (count == 0) return;
    }
}

StrayBytes FileText::scanWhole() const
{
    StrayScanner scanner;
    eachPiece([&](std::string_view piece) {
        scanner.scan(piece);
        return true;
    });
    return scanner.found();
}

bool FileText::validWhole() const
{
    bool valid = true;
    eachPiece([&](std::string_view piece) { return valid = IsValidUtf8(piece); });
    return valid;
}

void FileText::readStraysIn(const StrayBytes& strays, const QByteArray& codePage)
{
    strayLines_ = strays.lines;
    strayLineCount_ = strays.lineCount;
    strayCodePage_ = QStringDecoder(codePage.constData()).name();
    decoding_ = TextDecoding::Mixed(strayCodePage_);
}

bool FileText::readText(const QByteArray& encoding, bool mayAsk)
{
    text_ = true;
    mayAsk_ = mayAsk;
    detected_ = encoding.isEmpty();
    const std::string_view first = start();
    const auto marked
        = [&](std::string_view mark) { return first.substr(0, mark.size()) == mark ? qsizetype(mark.size()) : 0; };
    constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF", Utf16Le = "\xFF\xFE", Utf16Be = "\xFE\xFF";
    if (detected_) {
        if ((start_ = marked(Utf8Mark))) {
            utf8Mark_ = true;
            unchecked_ = true;
        } else if ((start_ = marked(Utf16Le))) {
            decoding_ = std::make_unique<TextDecoding>("UTF-16LE", 2, false);
        } else if ((start_ = marked(Utf16Be))) {
            decoding_ = std::make_unique<TextDecoding>("UTF-16BE", 2, true);
        } else if (const int utf16
            = Utf16WithoutMark(QByteArray::fromRawData(first.data(), static_cast<qsizetype>(first.size())))) {
            decoding_ = std::make_unique<TextDecoding>(utf16 == 1 ? "UTF-16LE" : "UTF-16BE", 2, utf16 == 2);
        } else {
            unchecked_ = true;
        }
    } else {
        const QByteArray mixedPrefix(MixedPrefix.data(), MixedPrefix.size());
        const bool mixed = encoding.startsWith(mixedPrefix);
        const QByteArray asked = mixed ? encoding.mid(mixedPrefix.size()) : encoding;
        const QByteArray name = QStringDecoder(asked.constData()).name();
        if (name.isEmpty())
            throw Error(
                "Cannot read file \"" + fileName_ + "\". No encoding is named \"" + encoding.toStdString() + "\"");
        if (mixed) {
            start_ = marked(Utf8Mark);
            utf8Mark_ = start_ > 0;
            strayCodePage_ = name;
            decoding_ = TextDecoding::Mixed(name);
            strays_ = std::make_unique<StrayScanner>();
        } else if (name == "UTF-8") {
            start_ = marked(Utf8Mark);
            utf8Mark_ = start_ > 0;
            unchecked_ = true;
        } else if (name == "UTF-16LE" || (name == "UTF-16" && !marked(Utf16Be))) {
            start_ = marked(Utf16Le);
            decoding_ = std::make_unique<TextDecoding>("UTF-16LE", 2, false);
        } else if (name == "UTF-16BE" || name == "UTF-16") {
            start_ = marked(Utf16Be);
            decoding_ = std::make_unique<TextDecoding>("UTF-16BE", 2, true);
        } else {
            codePage_ = name;
            decoding_ = std::make_unique<TextDecoding>(name, 1, false);
        }
    }
    if (decoding_ && !decoding_->cuttable()) return false;
    // The first piece tells whether a detected encoding is UTF-8; any other
    // bytes there are weighed over the whole file before anything is read.
    const qsizetype cut = lastLineEnd(start_);
    const std::string_view firstPiece = held().substr(static_cast<size_t>(start_), static_cast<size_t>(cut - start_));
    // Asking comes before anything is read, as for a file read whole.
    if (unchecked_ && detected_ && !utf8Mark_ && mayAsk) {
        if (!validWhole()) return false;
        unchecked_ = false;
    }
    if (unchecked_ && !IsValidUtf8(firstPiece)) {
        unchecked_ = false;
        if (utf8Mark_ || !detected_) {
            decoding_ = std::make_unique<TextDecoding>("UTF-8", 1, false);
        } else {
            if (mayAsk) return false;
            const StrayBytes strays = scanWhole();
            if (strays.inUtf8Text()) {
                readStraysIn(strays, detectedCodePage(strays.sample));
            } else {
                const QByteArray head = sample(qsizetype(1) << 20);
                unsure_ = GuessCodePage(strays, head).unsure;
                const QByteArray page = detectedCodePage(head);
                codePage_ = QStringDecoder(page.constData()).name();
                decoding_ = std::make_unique<TextDecoding>(page, 1, false);
                if (!decoding_->cuttable()) return false;
            }
        }
    }
    return true;
}

// The end of the last line end after `from` among the bytes held, reading
// on until there is one (or the file ends: then the end of all).
qsizetype FileText::lastLineEnd(qsizetype from)
{
    const TextDecoding bytewise("", 1, false);
    const TextDecoding& lines = decoding_ ? *decoding_ : bytewise;
    for (;;) {
        const qsizetype cut = lines.lineEndBefore(held(), from, size_);
        if (cut >= 0) return cut;
        if (eof_) return size_;
        const qsizetype offset = from - position_;
        fill(static_cast<size_t>(size_ - position_) * 2 + window_);
        from = position_ + offset;
    }
}

std::string_view FileText::head()
{
    if (!head_.empty() || started_) return head_;
    // As DecodedText::head: whole lines up to 64 KiB, or the first line however long.
    fill(static_cast<size_t>(start_ + HeadBytes) + 1);
    const TextDecoding bytewise("", 1, false);
    const TextDecoding& lines = decoding_ ? *decoding_ : bytewise;
    qsizetype cut = size_;
    if (start_ + HeadBytes < size_) cut = lines.lineEndBefore(held(), start_, start_ + HeadBytes);
    while (cut < 0 && (cut = lines.lineEndFrom(held(), start_, start_)) < 0 && !eof_)
        fill(static_cast<size_t>(size_) * 2);
    if (cut < 0) cut = size_;
    const std::string_view bytes = held().substr(static_cast<size_t>(start_), static_cast<size_t>(cut - start_));
    if (!decoding_) {
        head_.assign(bytes);
    } else if (decoding_->mixed()) {
        decoding_->appendMixed(bytes, head_);
    } else {
        const QByteArray text
            = decoding_->decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), true).toUtf8();
        head_.assign(text.constData(), static_cast<size_t>(text.size()));
    }
    return head_;
}

std::string_view FileText::next()
{
    bool fromAhead = false;
    if (!started_) {
        started_ = true;
        position_ = text_ ? start_ : 0;
    } else if (!(fromAhead = takeReadAhead())) {
        // The piece given last stays as it is until the next one is asked
        // for (a reader may hold a line of it while it asks whether more
        // comes): the rest goes on in the other buffer.
        const qsizetype rest = size_ - position_;
        if (spare_.size() < rest + static_cast<qsizetype>(window_) + 1)
            spare_.resize(rest + static_cast<qsizetype>(window_) + 1);
        std::memcpy(spare_.data(), buffer_.constData() + position_, static_cast<size_t>(rest));
        std::swap(buffer_, spare_);
        size_ = rest;
        position_ = 0;
        std::swap(piece_, otherPiece_);
    }
    if (static_cast<size_t>(size_ - position_) < window_ && !eof_) fill(window_);
    if (position_ >= size_) return {};
    if (!text_) {
        const std::string_view bytes = held().substr(static_cast<size_t>(position_));
        position_ = size_;
        readAheadFrom(size_);
        return bytes;
    }
    const bool atStart = !pieceGiven_;
    // Whole lines up to the window's size; a longer line is read on to its end.
    const TextDecoding bytewise("", 1, false);
    qsizetype cut = (decoding_ ? *decoding_ : bytewise)
                        .lineEndBefore(held(), position_, std::min(size_, position_ + static_cast<qsizetype>(window_)));
    if (cut < 0) cut = lastLineEnd(position_);
    const std::string_view piece = held().substr(static_cast<size_t>(position_), static_cast<size_t>(cut - position_));
    // The read-ahead checked the same bytes when it cut where this piece ends.
    const bool checked = fromAhead && position_ == 0 && aheadCut_ == cut;
    position_ = cut;
    pieceGiven_ = true;
    if (strays_) strays_->scan(piece);
    if (unchecked_ && !(checked ? aheadValid_ : IsValidUtf8(piece))) takeLateStrays();
    readAheadFrom(cut);
    return decoding_ ? decoded(piece, atStart) : piece;
}

// The bytes after `cut` go to the third buffer, where the thread reads the
// next window after them. The piece just given and the one before stay.
void FileText::readAheadFrom(qsizetype cut)
{
    if (eof_) return;
    if (!ahead_) {
        // With one core the thread would only take turns with the reader.
        if (std::thread::hardware_concurrency() < 2) return;
        ahead_ = std::make_unique<ReadAhead>([this] { readAhead(); });
    }
    const qsizetype rest = size_ - cut;
    if (aheadBytes_.size() < rest + static_cast<qsizetype>(window_) + 1)
        aheadBytes_.resize(rest + static_cast<qsizetype>(window_) + 1);
    std::memcpy(aheadBytes_.data(), buffer_.constData() + cut, static_cast<size_t>(rest));
    aheadSize_ = rest;
    aheadEof_ = false;
    aheadChecked_ = text_ && unchecked_ && !decoding_;
    aheadCut_ = -1;
    aheadValid_ = false;
    aheadPending_ = true;
    ahead_->start();
}

// On the read-ahead thread: what fill(window_) and next() would do with the
// bytes, the UTF-8 check of the next piece included. Errors wait for next().
void FileText::readAhead()
{
    try {
        const auto wanted = static_cast<qsizetype>(window_);
        if (!aheadEof_) aheadEof_ = readUpTo(aheadBytes_, aheadSize_, wanted);
        if (aheadChecked_) {
            const std::string_view bytes(aheadBytes_.constData(), static_cast<size_t>(aheadSize_));
            aheadCut_ = TextDecoding("", 1, false).lineEndBefore(bytes, 0, std::min(aheadSize_, wanted));
            if (aheadCut_ >= 0) aheadValid_ = IsValidUtf8(bytes.substr(0, static_cast<size_t>(aheadCut_)));
        }
    } catch (...) {
        aheadError_ = std::current_exception();
    }
}

// The window the thread read becomes the one held; false when none was asked for.
bool FileText::takeReadAhead()
{
    if (!aheadPending_) return false;
    ahead_->wait();
    aheadPending_ = false;
    if (aheadError_) std::rethrow_exception(std::exchange(aheadError_, nullptr));
    // Now: the new window, the piece given last, and the free buffer.
    std::swap(buffer_, aheadBytes_);
    std::swap(aheadBytes_, spare_);
    size_ = aheadSize_;
    position_ = 0;
    eof_ = aheadEof_;
    std::swap(piece_, otherPiece_);
    return true;
}

// Bytes that are not UTF-8 after all: plain UTF-8 turns them into U+FFFD
// from here on, which is what it would have done from the start. Detected
// UTF-8 reads them in their code page when the whole file shows a few of them
// in UTF-8 text, which leaves the text before as it was; otherwise the file is
// read anew.
void FileText::takeLateStrays()
{
    unchecked_ = false;
    if (utf8Mark_ || !detected_) {
        decoding_ = std::make_unique<TextDecoding>("UTF-8", 1, false);
        return;
    }
    if (mayAsk_) throw ReadFileWhole();
    const StrayBytes strays = scanWhole();
    if (!strays.inUtf8Text()) throw ReadFileWhole();
    readStraysIn(strays, detectedCodePage(strays.sample));
}

std::string_view FileText::decoded(std::string_view piece, bool atStart)
{
    piece_.clear();
    if (decoding_->mixed()) {
        decoding_->appendMixed(piece, piece_);
    } else {
        const QByteArray text
            = decoding_->decode(QByteArrayView(piece.data(), static_cast<qsizetype>(piece.size())), atStart).toUtf8();
        piece_.assign(text.constData(), static_cast<size_t>(text.size()));
    }
    // Past this, the whole-file reading has its own message.
    decodedBytes_ += piece_.size();
    if (decodedBytes_ > MaxDecodedBytes) throw ReadFileWhole();
    return piece_;
}

std::vector<int> FileText::strayLines() const { return strays_ ? strays_->found().lines : strayLines_; }

int FileText::strayLineCount() const { return strays_ ? strays_->found().lineCount : strayLineCount_; }

bool LineReader::refill()
{
    if (!feed_) return false;
    text_ = feed_->next();
    position_ = 0;
    lineFeedKnown_ = false;
    return !text_.empty();
}

std::string_view LineReader::rest()
{
    if (!feed_) return text_.substr(std::min(position_, text_.size()));
    whole_.assign(text_.substr(std::min(position_, text_.size())));
    while (refill())
        whole_.append(text_);
    text_ = whole_;
    position_ = 0;
    lineFeedKnown_ = false;
    feed_ = nullptr;
    return text_;
}

std::string_view LineReader::readBytes(size_t count)
{
    if (atEnd()) return {};
    const std::string_view here = text_.substr(position_);
    if (here.size() >= count) {
        position_ += count;
        return here.substr(0, count);
    }
    // A block across pieces is put together.
    scratch_.assign(here);
    position_ = text_.size();
    while (scratch_.size() < count && refill()) {
        const size_t take = std::min(count - scratch_.size(), text_.size());
        scratch_.append(text_.substr(0, take));
        position_ = take;
    }
    return scratch_;
}

std::string_view LineReader::readLine()
{
    if (atEnd()) return {};
    if (carriageReturnEnds_) return readUpToCarriageReturn();
    const char* begin = text_.data() + position_;
    const size_t remaining = text_.size() - position_;
    const void* lf = std::memchr(begin, '\n', remaining);
    size_t length = lf ? static_cast<size_t>(static_cast<const char*>(lf) - begin) : remaining;
    position_ += lf ? length + 1 : length;
    // The common CR LF ending costs nothing; a CR elsewhere needs a copy.
    const bool crlf = length > 0 && begin[length - 1] == '\r';
    if (crlf) --length;
    if (lf) ++(crlf ? otherEnds_ : lineFeeds_);
    std::string_view line(begin, length);
    if (!std::memchr(begin, '\r', length)) return line;
    scratch_.clear();
    for (char c : line)
        if (c != '\r') scratch_ += c;
    return scratch_;
}

std::string_view LineReader::readUpToCarriageReturn()
{
    const std::string_view rest = text_.substr(position_);
    // Two scans with memchr are faster than one for either character.
    if (!lineFeedKnown_ || lineFeedAt_ < position_) {
        const void* found = std::memchr(rest.data(), '\n', rest.size());
        lineFeedAt_ = found ? static_cast<size_t>(static_cast<const char*>(found) - text_.data()) : text_.size();
        lineFeedKnown_ = true;
    }
    const void* lf = lineFeedAt_ < text_.size() ? text_.data() + lineFeedAt_ : nullptr;
    const size_t lfAt = lineFeedAt_ - position_;
    const void* cr = std::memchr(rest.data(), '\r', lfAt);
    if (!cr) {
        if (!lf) {
            position_ = text_.size();
            return rest;
        }
        position_ += lfAt + 1;
        ++lineFeeds_;
        return rest.substr(0, lfAt);
    }
    const size_t end = static_cast<size_t>(static_cast<const char*>(cr) - rest.data());
    position_ += end + 1;
    ++otherEnds_;
    if (end + 1 < rest.size() && rest[end + 1] == '\n') ++position_;
    return rest.substr(0, end);
}

namespace {

// Buffers the writer's many small pieces and replaces the target only once
// everything was written. A device or pipe cannot be replaced by renaming
// (that would swap a device node for a regular file), so it is written
// directly; its failures (a full device) are still reported.
class SaveFileSink : public TextSink {
public:
    explicit SaveFileSink(const std::string& fileName)
    {
        const QString name = QString::fromStdString(fileName);
        const QFileInfo info(name);
        if (info.exists() && !info.isFile() && !info.isDir())
            file_ = std::make_unique<QFile>(name);
        else
            file_ = std::make_unique<QSaveFile>(name);
        // Unbuffered: every failed write shows at once instead of at commit.
        if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw Error("Cannot create file \"" + fileName + "\". " + file_->errorString().toStdString());
        buffer_.reserve(Capacity);
    }
    ~SaveFileSink() override
    {
        if (auto* save = dynamic_cast<QSaveFile*>(file_.get()); save && !committed_) save->cancelWriting();
    }
    void write(std::string_view text) override
    {
        buffer_.append(text);
        if (buffer_.size() >= Capacity) flush();
    }
    // A device cannot go back; the file being saved can.
    bool rewritable() const override { return dynamic_cast<QSaveFile*>(file_.get()) != nullptr; }
    void rewrite(size_t offset, std::string_view bytes) override
    {
        flush();
        const qint64 end = file_->pos(), size = static_cast<qint64>(bytes.size());
        if (!file_->seek(static_cast<qint64>(offset)) || file_->write(bytes.data(), size) != size || !file_->seek(end))
            throw Error("Cannot write file. " + file_->errorString().toStdString());
    }
    void commit()
    {
        flush();
        auto* save = dynamic_cast<QSaveFile*>(file_.get());
        if (save ? !save->commit() : !file_->flush())
            throw Error("Cannot write file. " + file_->errorString().toStdString());
        if (!save) file_->close();
        committed_ = true;
    }

private:
    static constexpr size_t Capacity = 1 << 20;
    void flush()
    {
        if (buffer_.empty()) return;
        const qint64 size = static_cast<qint64>(buffer_.size());
        if (file_->write(buffer_.data(), size) != size)
            throw Error("Cannot write file. " + file_->errorString().toStdString());
        buffer_.clear();
        startWriteback(size);
    }
    // The commit waits until the whole file is on the disk: the disk starts
    // on each block as it is written instead, while the rest is converted.
    void startWriteback(qint64 size)
    {
#ifdef SYNC_FILE_RANGE_WRITE
        if (!rewritable()) return;
        const int fd = file_->handle();
        const qint64 end = file_->pos();
        if (fd >= 0 && end >= size) ::sync_file_range(fd, end - size, size, SYNC_FILE_RANGE_WRITE);
#else
        (void)size;
#endif
    }
    std::unique_ptr<QFileDevice> file_;
    std::string buffer_;
    bool committed_ = false;
};

} // namespace

void WriteTextFile(const std::string& fileName, const std::function<void(TextSink&)>& write)
{
    SaveFileSink sink(fileName);
    write(sink);
    sink.commit();
}

} // namespace tessel
