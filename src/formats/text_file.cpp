#include "formats/text_file.h"

#include "core/big_memory.h"
#include "core/errors.h"
#include "formats/encoding.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <uchardet.h>
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

// The length of the valid UTF-8 character at p[i] (1 for ASCII), or 0.
size_t characterAt(const unsigned char* p, size_t n, size_t i)
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
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

private:
    int fd_;
};

} // namespace

// How the bytes become text, and where they may be cut into pieces that
// decode on their own to exactly what the whole would give: just after a
// line feed, where no character is half read and no decoder state is left.
class DecodedText::Decoding {
public:
    // UTF-8 with each stray byte read in `codePage` (none: as U+FFFD).
    static std::unique_ptr<Decoding> Mixed(const QByteArray& codePage)
    {
        auto decoding = std::make_unique<Decoding>("UTF-8", 1, false);
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

    Decoding(QByteArray encoding, int unit, bool bigEndian)
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
    bool cuttable() const { return unit_ != 0; }
    bool mixed() const { return mixed_; }

    // Valid characters as they are, every other byte from the code page.
    void appendMixed(QByteArrayView piece, std::string& out) const
    {
        const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
        const size_t n = static_cast<size_t>(piece.size());
        size_t run = 0; // start of the valid bytes not yet copied
        for (size_t i = 0; i < n;) {
            if (p[i] < 0x80) {
                ++i;
                continue;
            }
            if (const size_t len = characterAt(p, n, i)) {
                i += len;
                continue;
            }
            out.append(piece.data() + run, i - run);
            out += strays_[p[i] - 0x80];
            run = ++i;
        }
        out.append(piece.data() + run, n - run);
    }

    // The end of the first line feed at or after `from`, or -1.
    qsizetype lineEndFrom(const QByteArray& bytes, qsizetype start, qsizetype from) const
    {
        if (unit_ == 1) {
            const qsizetype at = bytes.indexOf('\n', from);
            return at < 0 ? -1 : at + 1;
        }
        for (qsizetype at = from + (from - start) % 2; at + 1 < bytes.size(); at += 2)
            if (isLineFeedUnit(bytes, at)) return at + 2;
        return -1;
    }
    // The end of the last line feed that ends before `limit` (and after start), or -1.
    qsizetype lineEndBefore(const QByteArray& bytes, qsizetype start, qsizetype limit) const
    {
        if (unit_ == 1) {
            const qsizetype at = bytes.lastIndexOf('\n', limit - 1);
            return at < start ? -1 : at + 1;
        }
        for (qsizetype at = limit - 2 - (limit - start) % 2; at >= start; at -= 2)
            if (isLineFeedUnit(bytes, at)) return at + 2;
        return -1;
    }

    // A piece that starts the text, or one that starts just after a line feed.
    QString decode(QByteArrayView piece, bool atStart) const
    {
        if (encoding_ == "UTF-8") {
            // fromUtf8 drops a byte-order mark at its start; within the text
            // one is a character like any other.
            if (atStart || !piece.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(piece);
            return QString::fromUtf8(QByteArray("\n").append(piece)).mid(1);
        }
        QStringDecoder decoder(encoding_.constData(),
            atStart ? QStringConverter::Flag::Default : QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(piece);
    }

private:
    bool isLineFeedUnit(const QByteArray& bytes, qsizetype at) const
    {
        return bytes[at + (bigEndian_ ? 1 : 0)] == '\n' && bytes[at + (bigEndian_ ? 0 : 1)] == '\0';
    }

    QByteArray encoding_;
    int unit_; // bytes of a line feed; 0: not cut at all
    bool bigEndian_;
    bool mixed_ = false;
    std::string strays_[0x80]; // UTF-8 of bytes 0x80..0xFF
};

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
        // Fast path over ASCII, eight bytes at a time.
        while (i + 8 <= n) {
            uint64_t chunk;
            std::memcpy(&chunk, p + i, 8);
            if (chunk & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= n) break;
        const size_t len = characterAt(p, n, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

StrayBytes FindStrayBytes(std::string_view bytes)
{
    StrayBytes found;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    int line = 1;
    size_t lineStart = 0;
    bool strayInLine = false;
    // The line's ASCII and stray bytes go into the sample: its UTF-8 would
    // only mislead the guess of the strays' code page.
    const auto endLine = [&](size_t end) {
        if (!strayInLine) return;
        strayInLine = false;
        if (found.lines.size() < ListedStrayLines) found.lines.push_back(line);
        ++found.lineCount;
        for (size_t i = lineStart; i < end && found.sample.size() < StraySampleBytes;) {
            const size_t len = p[i] < 0x80 ? 0 : characterAt(p, n, i);
            if (len == 0) found.sample += bytes[i];
            i += std::max<size_t>(len, 1);
        }
    };
    for (size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            if (p[i++] == '\n') {
                endLine(i);
                ++line;
                lineStart = i;
            }
            continue;
        }
        if (const size_t len = characterAt(p, n, i)) {
            ++found.characters;
            i += len;
            continue;
        }
        ++found.count;
        strayInLine = true;
        ++i;
    }
    endLine(n);
    return found;
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
        if (!IsValidUtf8(all.substr(3))) decoding_ = std::make_unique<Decoding>("UTF-8", 1, false);
    } else if (bytes_.startsWith("\xFF\xFE")) {
        start_ = 2;
        decoding_ = std::make_unique<Decoding>("UTF-16LE", 2, false);
    } else if (bytes_.startsWith("\xFE\xFF")) {
        start_ = 2;
        decoding_ = std::make_unique<Decoding>("UTF-16BE", 2, true);
    } else if (const int utf16 = Utf16WithoutMark(bytes_)) {
        decoding_ = std::make_unique<Decoding>(utf16 == 1 ? "UTF-16LE" : "UTF-16BE", 2, utf16 == 2);
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
    decoding_ = std::make_unique<Decoding>(codePage, 1, false);
}

void DecodedText::readStraysIn(const StrayBytes& strays, const QByteArray& codePage)
{
    strayLines_ = strays.lines;
    strayLineCount_ = strays.lineCount;
    strayCodePage_ = QStringDecoder(codePage.constData()).name();
    decoding_ = Decoding::Mixed(strayCodePage_);
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
        if (!IsValidUtf8(all)) decoding_ = std::make_unique<Decoding>("UTF-8", 1, false);
    } else if (name == "UTF-16LE" || (name == "UTF-16" && !bytes_.startsWith("\xFE\xFF"))) {
        start_ = marked("\xFF\xFE");
        decoding_ = std::make_unique<Decoding>("UTF-16LE", 2, false);
    } else if (name == "UTF-16BE" || name == "UTF-16") {
        start_ = marked("\xFE\xFF");
        decoding_ = std::make_unique<Decoding>("UTF-16BE", 2, true);
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
        const Decoding bytewise("", 1, false); // valid UTF-8 has its line feeds where any 8-bit text has
        const Decoding& lines = decoding_ ? *decoding_ : bytewise;
        if (start_ + HeadBytes < size) cut = lines.lineEndBefore(bytes_, start_, start_ + HeadBytes);
        if (cut < 0) cut = lines.lineEndFrom(bytes_, start_, start_);
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
            cut = decoding_->lineEndFrom(bytes_, start_, decoded_ + PieceBytes);
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
        decoding_->appendMixed(QByteArrayView(bytes_).sliced(from, to - from), text_);
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

QByteArray ReadFileBytes(const std::string& fileName)
{
    const auto error = [&](const char* what, const char* why) {
        return Error(std::string(what) + " file \"" + fileName + "\". " + why);
    };
    // Looked at before opening: opening a pipe waits for a writer.
    struct stat info { };
    if (::stat(fileName.c_str(), &info) != 0) throw error("Cannot open", std::strerror(errno));
    if (const char* why = notReadable(info)) throw error("Cannot open", why);
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw error("Cannot open", std::strerror(errno));
    const FileDescriptor file(fd);
    // The name may stand for something else by now.
    if (::fstat(fd, &info) != 0) throw error("Cannot read", std::strerror(errno));
    if (const char* why = notReadable(info)) throw error("Cannot open", why);
    QByteArray bytes(static_cast<qsizetype>(info.st_size) + 1, Qt::Uninitialized);
    AdviseLargePages(bytes.data(), static_cast<size_t>(bytes.size()));
    qsizetype size = 0;
    for (;;) {
        if (size == bytes.size()) {
            // A file that grows while it is read is bounded all the same.
            if (size > MaxSubtitleFileBytes) throw error("Cannot open", TooLarge);
            bytes.resize(std::min(size * 2, MaxSubtitleFileBytes + 1));
        }
        const ssize_t count = ::read(fd, bytes.data() + size, static_cast<size_t>(bytes.size() - size));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw error("Cannot read", std::strerror(errno));
        if (count == 0) break;
        size += count;
    }
    bytes.resize(size);
    return bytes;
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
    const size_t end = rest.find_first_of("\r\n");
    if (end == std::string_view::npos) {
        position_ = text_.size();
        return rest;
    }
    position_ += end + 1;
    if (rest[end] == '\n') {
        ++lineFeeds_;
    } else {
        ++otherEnds_;
        if (end + 1 < rest.size() && rest[end + 1] == '\n') ++position_;
    }
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
