#include "formats/text_file.h"

#include "core/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cstring>
#include <memory>
#include <uchardet.h>

namespace tessel {
namespace {

QByteArray fromDecoder(const char* encoding, const QByteArray& bytes)
{
    QStringDecoder decoder(encoding);
    if (!decoder.isValid()) decoder = QStringDecoder("windows-1252");
    QString text = decoder.decode(bytes);
    return text.toUtf8();
}

QByteArray detectAndDecode(const QByteArray& bytes)
{
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(uchardet_new(), uchardet_delete);
    // A sample is enough to name the code page and keeps huge files cheap.
    const qsizetype sample = std::min<qsizetype>(bytes.size(), 1 << 20);
    uchardet_handle_data(detector.get(), bytes.constData(), static_cast<size_t>(sample));
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    const bool usable = name && *name && std::strcmp(name, "ASCII") != 0 && std::strcmp(name, "UTF-8") != 0;
    return fromDecoder(usable ? name : "windows-1252", bytes);
}

} // namespace

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
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
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
            return false;
        if (i + len > n) return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (p[i + k] & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
            || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += len;
    }
    return true;
}

QByteArray DecodeToUtf8(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QByteArray rest = bytes.mid(3);
        if (IsValidUtf8(std::string_view(rest.constData(), static_cast<size_t>(rest.size())))) return rest;
        return QString::fromUtf8(rest).toUtf8();
    }
    if (bytes.startsWith("\xFF\xFE")) return fromDecoder("UTF-16LE", bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF")) return fromDecoder("UTF-16BE", bytes.mid(2));
    if (IsValidUtf8(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))) return bytes;
    return detectAndDecode(bytes);
}

QByteArray ReadTextFile(const std::string& fileName)
{
    const QString name = QString::fromStdString(fileName);
    if (QFileInfo(name).isDir()) throw Error("Cannot open file \"" + fileName + "\". Is a directory");
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Cannot open file \"" + fileName + "\". " + file.errorString().toStdString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error("Cannot read file \"" + fileName + "\". " + file.errorString().toStdString());
    return DecodeToUtf8(bytes);
}

std::string_view LineReader::readLine()
{
    if (atEnd()) return {};
    const char* begin = text_.data() + position_;
    const size_t remaining = text_.size() - position_;
    const void* lf = std::memchr(begin, '\n', remaining);
    size_t length = lf ? static_cast<size_t>(static_cast<const char*>(lf) - begin) : remaining;
    position_ += lf ? length + 1 : length;
    // The common CR LF ending costs nothing; a CR elsewhere needs a copy.
    if (length > 0 && begin[length - 1] == '\r') --length;
    std::string_view line(begin, length);
    if (!std::memchr(begin, '\r', length)) return line;
    scratch_.clear();
    for (char c : line)
        if (c != '\r') scratch_ += c;
    return scratch_;
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
