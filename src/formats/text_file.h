#pragma once
#include <QByteArray>
#include <algorithm>
#include <exception>
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
class TextDecoding;

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
    void appendDecoded(qsizetype from, qsizetype to);
    void readIn(const QByteArray& codePage);
    void readStraysIn(const StrayBytes& strays, const QByteArray& codePage);

    QByteArray bytes_;
    std::string fileName_;
    std::unique_ptr<TextDecoding> decoding_; // none: the bytes are valid UTF-8 and the text itself
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

// FindStrayBytes over a text that comes in pieces, each ending just after a
// line feed but the last.
class StrayScanner {
public:
    void scan(std::string_view piece);
    const StrayBytes& found() const;

private:
    std::unique_ptr<StrayBytes> found_ = std::make_unique<StrayBytes>();
    int line_ = 1;
};

// UTF-16 without a byte-order mark, told by the zero bytes of its ASCII
// characters: 0 it is not, 1 little-endian, 2 big-endian.
int Utf16WithoutMark(const QByteArray& bytes);

QByteArray DecodeToUtf8(const QByteArray& bytes);
// The 8-bit code page uchardet names for the bytes, or nothing when it cannot
// tell (DecodedText then takes Windows-1252).
QByteArray NamedCodePage(const QByteArray& bytes);
bool IsValidUtf8(std::string_view bytes);

// Where a LineReader takes text a piece at a time: pieces of whole lines (a
// binary format's pieces end anywhere), each valid until the next is taken.
class TextFeed {
public:
    virtual ~TextFeed() = default;
    // The next piece; empty at the end.
    virtual std::string_view next() = 0;
};

// Lines end at LF; every CR is dropped; the end of the text ends the last line.
// It also carries what a reader tells the load command about the file: the
// lines it skipped, and how the file was written (its mark, its line ends).
class LineReader {
public:
    explicit LineReader(std::string_view text)
        : text_(text)
    {
    }
    // Over a text that comes in pieces (a file read a window at a time).
    explicit LineReader(TextFeed& feed)
        : feed_(&feed)
    {
    }
    bool atEnd() { return position_ >= text_.size() && !refill(); }
    // The next line, valid until the next call; at the end, an empty line.
    std::string_view readLine();
    // The next `count` bytes as they are (fewer at the end), valid until the
    // next call: where a binary format takes its blocks.
    std::string_view readBytes(size_t count);
    // From here on a CR alone ends a line too (CR LF stays one line end), as
    // in formats that allow it.
    void setCarriageReturnEnds(bool on) { carriageReturnEnds_ = on; }

    // A line (from 1) that began a block the reader could not read, kept
    // with the document and named to the user.
    void noteSkipped(int lineNumber) { skipped_.push_back(lineNumber); }
    const std::vector<int>& skipped() const { return skipped_; }

    // Whether the reader keeps what a save in its own format needs to write
    // the file again as it was: not when the rows go only to another format.
    void setKeepsFile(bool keeps) { keepsFile_ = keeps; }
    bool keepsFile() const { return keepsFile_; }
    // Whether the rows reach a writer of the same format unchanged, no tool
    // between: a reader may then leave out what tells an edited row from the
    // one read (WriteContext::rowsAsRead).
    void setRowsAsRead(bool asRead) { rowsAsRead_ = asRead; }
    bool rowsAsRead() const { return rowsAsRead_; }
    // Whether the rows go to a writer as they are read (the converter's flow).
    void setFlowing(bool flowing) { flowing_ = flowing; }
    bool flowing() const { return flowing_; }

    void setByteOrderMark(bool mark) { byteOrderMark_ = mark; }
    bool byteOrderMark() const { return byteOrderMark_; }
    // Every line end read so far was a LF alone.
    bool lineFeedsOnly() const { return lineFeeds_ > 0 && otherEnds_ == 0; }
    // Everything not read yet, untouched: where a binary format takes its bytes.
    std::string_view rest();

private:
    std::string_view readUpToCarriageReturn();
    bool refill();

    TextFeed* feed_ = nullptr;
    std::string_view text_;
    size_t position_ = 0;
    std::string scratch_;
    std::string whole_; // rest() of a feed
    bool carriageReturnEnds_ = false;
    // Where the next line feed of text_ is (its size: none), once looked for:
    // lines that end at CR alone are not each searched to the end for one.
    size_t lineFeedAt_ = 0;
    bool lineFeedKnown_ = false;
    bool keepsFile_ = true;
    bool rowsAsRead_ = false;
    bool flowing_ = false;
    bool byteOrderMark_ = false;
    int64_t lineFeeds_ = 0, otherEnds_ = 0;
    std::vector<int> skipped_;
};

// Thrown where the rest of a file read a window at a time shows it has to be
// read whole after all (say, bytes that are not UTF-8 far into a file whose
// encoding is then guessed anew): read it again with ReadFileBytes.
struct ReadFileWhole { };

// A regular file read a window at a time, some WindowBytes of it in memory
// however large it is, giving the same text as DecodedText gives for its
// bytes: each piece next() gives is whole lines of that text (the last may
// end without a line feed), or the bytes as they are for a binary format.
class FileText : public TextFeed {
public:
    static constexpr size_t WindowBytes = size_t(1) << 20;
    // Opens the file and reads its first window (0: the default one, see
    // SetFileTextWindow); refuses what ReadFileBytes refuses, with its messages.
    explicit FileText(const std::string& fileName, size_t window = 0);
    ~FileText() override;
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;

    // The whole file is in the first window.
    bool whole() const { return eof_ && position_ == 0; }
    // The first bytes as they are: at least the first 64 KiB (all of a shorter file).
    std::string_view start();
    // All the file's bytes, read to its end, as ReadFileBytes gives them;
    // nothing else is read from this FileText then.
    QByteArray takeBytes();

    // Reads text in `encoding` (empty: detected) as DecodedText does.
    // False when the file is to be read whole instead: its encoding is to
    // be asked (`mayAsk`, when it is not UTF-8) or its decoding cannot be
    // cut into pieces. Throws Error as DecodedText does.
    bool readText(const QByteArray& encoding, bool mayAsk);
    // Or the bytes as they are.
    void readBytes() { text_ = false; }

    std::string_view next() override;

    // As DecodedText's; the stray lines are complete once the text is read.
    std::string_view head();
    bool byteOrderMark() const { return utf8Mark_; }
    const QByteArray& codePage() const { return codePage_; }
    std::vector<int> strayLines() const;
    int strayLineCount() const;
    const QByteArray& strayCodePage() const { return strayCodePage_; }
    // Detection named a code page without being sure of it.
    bool unsure() const { return unsure_; }
    // The file's size when it was opened.
    int64_t fileSize() const { return fileSize_; }

private:
    // Reads until `bytes` unread bytes are held, or to the end.
    void fill(size_t bytes);
    // Reads into `bytes` until `size` is `wanted` or more; true at the file's end.
    bool readUpTo(QByteArray& bytes, qsizetype& size, qsizetype wanted);
    std::string_view held() const { return std::string_view(buffer_.constData(), static_cast<size_t>(size_)); }
    qsizetype lastLineEnd(qsizetype from);
    std::string_view decoded(std::string_view piece, bool atStart);
    void readStraysIn(const StrayBytes& strays, const QByteArray& codePage);
    template <typename Take> void eachPiece(Take&& take) const;
    StrayBytes scanWhole() const;
    void readAheadFrom(qsizetype cut);
    void readAhead();
    bool takeReadAhead();
    bool validWhole() const;
    QByteArray sample(qsizetype bytes) const;
    void takeLateStrays();

    std::string fileName_;
    int fd_ = -1;
    size_t window_;
    QByteArray buffer_; // bytes read, the unread ones from position_ on
    QByteArray spare_; // the bytes of the piece given before
    qsizetype size_ = 0; // bytes held in buffer_
    qsizetype position_ = 0;
    int64_t read_ = 0; // bytes of the file read so far
    int64_t fileSize_ = 0;
    bool eof_ = false;
    bool text_ = true;
    bool started_ = false;
    bool mayAsk_ = false;
    bool unchecked_ = false; // taken for UTF-8 until a piece shows otherwise
    bool detected_ = false; // the encoding was not given
    qsizetype start_ = 0; // after a byte-order mark
    std::unique_ptr<TextDecoding> decoding_; // none: valid UTF-8 so far, the text itself
    std::unique_ptr<StrayScanner> strays_; // of an encoding given as UTF-8 with strays
    bool pieceGiven_ = false;
    std::string piece_, otherPiece_; // the decoded piece given last, and the one before
    std::string head_;
    size_t decodedBytes_ = 0;
    bool utf8Mark_ = false, unsure_ = false;
    QByteArray codePage_, strayCodePage_;
    std::vector<int> strayLines_;
    int strayLineCount_ = 0;

    // The next window read on a thread of its own while the reader parses
    // this one, into a third buffer: the piece given before stays too.
    class ReadAhead;
    std::unique_ptr<ReadAhead> ahead_;
    QByteArray aheadBytes_;
    bool aheadPending_ = false, aheadEof_ = false, aheadChecked_ = false, aheadValid_ = false;
    qsizetype aheadSize_ = 0, aheadCut_ = -1;
    std::exception_ptr aheadError_;
};

// The window FileText reads with when not told; 0: WindowBytes. Tests make it
// small, so that small files are read in many windows too.
void SetFileTextWindow(size_t bytes);

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
    // Bytes already written replaced in place, from `offset` bytes after the
    // first: a binary format's header that counts what follows it is filled
    // in at the end instead of holding all that follows. Only where
    // rewritable() says so.
    virtual bool rewritable() const { return false; }
    virtual void rewrite(size_t /*offset*/, std::string_view /*bytes*/) { }
};

// Runs `write` into the file; the file is replaced only once everything was
// written, so a failure (thrown as an error) leaves any earlier file as it was.
void WriteTextFile(const std::string& fileName, const std::function<void(TextSink&)>& write);

class StringSink : public TextSink {
public:
    void write(std::string_view text) override { text_.append(text); }
    bool rewritable() const override { return true; }
    void rewrite(size_t offset, std::string_view bytes) override { text_.replace(offset, bytes.size(), bytes); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

} // namespace tessel
