#pragma once
#include <QByteArray>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

struct StrayBytes;

// Bytes of any encoding as UTF-8 text: a UTF-8 or UTF-16 byte-order mark is
// honoured and removed, UTF-16 without one is told by its zero bytes, valid
// UTF-8 stays as it is, UTF-8 but for a few bytes stays UTF-8 with those bytes
// read in the code page they most likely came from, and anything else goes
// through the detected 8-bit code page (Windows-1252 when detection has no
// answer). The whole text is decoded only when asked for, so that telling a
// file's format costs no more than its first lines.
class DecodedText {
public:
    // fileName only names the file in messages.
    explicit DecodedText(QByteArray bytes, std::string fileName = {});
    // Read in `encoding` (a name Qt knows, or MixedUtf8Name), nothing
    // detected; only a byte-order mark of that encoding is dropped. An empty
    // name: as above.
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

    // The bytes began with a UTF-8 byte-order mark.
    bool byteOrderMark() const { return utf8Mark_; }
    // The 8-bit code page of the whole text, when it is read in one.
    const QByteArray& codePage() const { return codePage_; }
    // Read as UTF-8 but for some bytes: the lines holding those, and the code
    // page they were read in (empty: they became U+FFFD).
    const std::vector<int>& strayLines() const { return strayLines_; }
    int strayLineCount() const { return strayLineCount_; }
    const QByteArray& strayCodePage() const { return strayCodePage_; }

private:
    class Decoding;
    void appendDecoded(qsizetype from, qsizetype to);
    void readIn(const QByteArray& codePage);
    void readStraysIn(const StrayBytes& strays, const QByteArray& codePage);

    QByteArray bytes_;
    std::string fileName_;
    std::unique_ptr<Decoding> decoding_; // none: the bytes are valid UTF-8 and the text itself
    qsizetype start_ = 0; // after a byte-order mark
    std::string text_; // the bytes up to decoded_, decoded
    qsizetype decoded_ = 0;
    bool utf8Mark_ = false;
    QByteArray codePage_;
    std::vector<int> strayLines_;
    int strayLineCount_ = 0;
    QByteArray strayCodePage_;
};

// The name that reads bytes as UTF-8 and each byte that is not part of a
// UTF-8 character in `codePage`: "UTF-8+windows-1252".
QByteArray MixedUtf8Name(const QByteArray& codePage);

// Bytes that are not part of a valid UTF-8 character.
struct StrayBytes {
    int64_t characters = 0; // valid characters of two bytes or more
    int64_t count = 0;
    std::vector<int> lines; // the first lines (from 1) holding them
    int lineCount = 0;
    QByteArray sample; // the lines holding them, without their UTF-8 characters
    // A few foreign bytes in UTF-8 text, rather than a text in a code page
    // in which some letter pairs happen to be UTF-8.
    bool inUtf8Text() const { return count > 0 && characters >= count; }
};
StrayBytes FindStrayBytes(std::string_view bytes);

// UTF-16 without a byte-order mark, told by the zero bytes of its ASCII
// characters: 0 it is not, 1 little-endian, 2 big-endian.
int Utf16WithoutMark(const QByteArray& bytes);

QByteArray DecodeToUtf8(const QByteArray& bytes);
// The 8-bit code page uchardet names for the bytes, or nothing when it cannot
// tell (DecodedText then takes Windows-1252).
QByteArray NamedCodePage(const QByteArray& bytes);
bool IsValidUtf8(std::string_view bytes);

// Lines end at LF; every CR is dropped; the end of the text ends the last line.
// It also carries what a reader tells the load command about the file: the
// lines it skipped, and how the file was written (its mark, its line ends).
class LineReader {
public:
    explicit LineReader(std::string_view text)
        : text_(text)
    {
    }
    bool atEnd() const { return position_ >= text_.size(); }
    // The next line, valid until the next call; at the end, an empty line.
    std::string_view readLine();
    // From here on a CR alone ends a line too (CR LF stays one line end), as
    // in formats that allow it.
    void setCarriageReturnEnds(bool on) { carriageReturnEnds_ = on; }

    // A line (from 1) that began a block the reader could not read, kept
    // with the document and named to the user.
    void noteSkipped(int lineNumber) { skipped_.push_back(lineNumber); }
    const std::vector<int>& skipped() const { return skipped_; }

    void setByteOrderMark(bool mark) { byteOrderMark_ = mark; }
    bool byteOrderMark() const { return byteOrderMark_; }
    // Every line end read so far was a LF alone.
    bool lineFeedsOnly() const { return lineFeeds_ > 0 && otherEnds_ == 0; }
    // Everything not read yet, untouched: where a binary format takes its bytes.
    std::string_view rest() const { return text_.substr(std::min(position_, text_.size())); }

private:
    std::string_view readUpToCarriageReturn();

    std::string_view text_;
    size_t position_ = 0;
    std::string scratch_;
    bool carriageReturnEnds_ = false;
    bool byteOrderMark_ = false;
    int64_t lineFeeds_ = 0, otherEnds_ = 0;
    std::vector<int> skipped_;
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
