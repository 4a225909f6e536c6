#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <string>
#include <string_view>

// How a file's bytes become UTF-8 text, shared by the whole-file reading
// (DecodedText) and the reading a window at a time (FileText).
namespace tessel {

// The length of the valid UTF-8 character at p[i] (1 for ASCII), or 0.
size_t Utf8CharacterAt(const unsigned char* p, size_t n, size_t i);

// How the bytes become text, and where they may be cut into pieces that
// decode on their own to exactly what the whole would give: just after a
// line feed, where no character is half read and no decoder state is left.
class TextDecoding {
public:
    // UTF-8 with each stray byte read in `codePage` (none: as U+FFFD).
    static std::unique_ptr<TextDecoding> Mixed(const QByteArray& codePage);

    TextDecoding(QByteArray encoding, int unit, bool bigEndian);
    bool cuttable() const { return unit_ != 0; }
    bool mixed() const { return mixed_; }
    // Plain UTF-8 read with U+FFFD for what is not UTF-8.
    bool replacingUtf8() const { return !mixed_ && encoding_ == "UTF-8"; }

    // Valid characters as they are, every other byte from the code page.
    void appendMixed(std::string_view piece, std::string& out) const;

    // The end of the first line feed at or after `from`, or -1.
    qsizetype lineEndFrom(std::string_view bytes, qsizetype start, qsizetype from) const;
    // The end of the last line feed that ends before `limit` (and after start), or -1.
    qsizetype lineEndBefore(std::string_view bytes, qsizetype start, qsizetype limit) const;

    // A piece that starts the text, or one that starts just after a line feed.
    QString decode(QByteArrayView piece, bool atStart) const;

private:
    bool isLineFeedUnit(std::string_view bytes, qsizetype at) const
    {
        return bytes[static_cast<size_t>(at + (bigEndian_ ? 1 : 0))] == '\n'
            && bytes[static_cast<size_t>(at + (bigEndian_ ? 0 : 1))] == '\0';
    }

    QByteArray encoding_;
    int unit_; // bytes of a line feed; 0: not cut at all
    bool bigEndian_;
    bool mixed_ = false;
    std::string strays_[0x80]; // UTF-8 of bytes 0x80..0xFF
};

} // namespace tessel
