#pragma once
#include <QByteArray>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Subtitle files on disk: reading and decoding, line splitting, and writing
// that never leaves a truncated file behind.
namespace tessel {

// The largest subtitle file read: far beyond any real one, and it keeps
// every position in a line within 32 bits.
constexpr qint64 MaxSubtitleFileBytes = qint64(1) << 30;

// The bytes of a regular file of at most MaxSubtitleFileBytes, checked before
// anything is read (a device or a pipe could be endless). Throws Error with a
// message naming the file.
QByteArray ReadFileBytes(const std::string& fileName);

// Bytes of any encoding as UTF-8 text: a UTF-8 or UTF-16 byte-order mark is
// honoured and removed, valid UTF-8 stays as it is, anything else goes through
// the detected 8-bit code page (Windows-1252 when detection has no answer).
// The whole text is decoded only when asked for, so that telling a file's
// format costs no more than its first lines.
class DecodedText {
public:
    // fileName only names the file in messages.
    explicit DecodedText(QByteArray bytes, std::string fileName = {});
    // Read in `encoding` (a name Qt knows), nothing detected; only a
    // byte-order mark of that encoding is dropped. An empty name: as above.
    DecodedText(QByteArray bytes, std::string fileName, const QByteArray& encoding);
    ~DecodedText();
    DecodedText(const DecodedText&) = delete;
    DecodedText& operator=(const DecodedText&) = delete;

    // The start of the text, exactly as all() begins: its first line whole
    // and the lines after it up to some 64 KiB of the file (all of a shorter
    // file). Valid until all() is called.
    std::string_view head();
    // The whole text; throws Error when it would pass 2 GiB as UTF-8.
    std::string_view all();

private:
    class Decoding;
    void appendDecoded(qsizetype from, qsizetype to);

    QByteArray bytes_;
    std::string fileName_;
    std::unique_ptr<Decoding> decoding_; // none: the bytes are valid UTF-8 and the text itself
    qsizetype start_ = 0; // after a byte-order mark
    std::string text_; // the bytes up to decoded_, decoded
    qsizetype decoded_ = 0;
};

QByteArray DecodeToUtf8(const QByteArray& bytes);
// The 8-bit code page uchardet names for the bytes, or nothing when it cannot
// tell (DecodedText then takes Windows-1252).
QByteArray NamedCodePage(const QByteArray& bytes);
bool IsValidUtf8(std::string_view bytes);

// Lines end at LF; every CR is dropped; the end of the text ends the last line.
class LineReader {
public:
    explicit LineReader(std::string_view text)
        : text_(text)
    {
    }
    bool atEnd() const { return position_ >= text_.size(); }
    // The next line, valid until the next call; at the end, an empty line.
    std::string_view readLine();
    // Everything not read yet, untouched: where a binary format takes its bytes.
    std::string_view rest() const { return text_.substr(std::min(position_, text_.size())); }

private:
    std::string_view text_;
    size_t position_ = 0;
    std::string scratch_;
};

// Output of a writer: lines ended by CR LF.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void write(std::string_view text) = 0;
    void line(std::string_view text)
    {
        write(text);
        write("\r\n");
    }
};

// Runs `write` into the file; the file is replaced only once everything was
// written, so a failure (thrown as an error) leaves any earlier file as it was.
void WriteTextFile(const std::string& fileName, const std::function<void(TextSink&)>& write);

class StringSink : public TextSink {
public:
    void write(std::string_view text) override { text_.append(text); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

} // namespace tessel
