#pragma once
#include "core/errors.h"
#include "formats/text_file.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Encodings beyond the default: telling when detection is unsure and asking
// the user, and writing in an encoding and with line ends of the user's choice.
namespace tessel {

class SubtitleTable;

// Bytes with no byte-order mark that are not valid UTF-8 (nor UTF-16): the
// only ones whose encoding has to be guessed.
bool NeedsCodePage(const QByteArray& bytes);

// The 8-bit code page that reading takes for bytes that are not UTF-8:
// uchardet's answer, except that Latin text whose letters beyond ASCII are
// all in 0xC0-0xFF, standing by ASCII letters, is read in the Windows code
// page of its script (uchardet takes some such names for DOS or Mac code
// pages, where those bytes are lines and symbols). Nothing when neither tells.
QByteArray LikelyCodePage(const QByteArray& bytes);

struct EncodingCandidate {
    QByteArray name; // as Qt names it
    int confidence = -1; // ICU's 0..100; -1: not among its guesses
};

struct EncodingGuess {
    std::vector<EncodingCandidate> candidates; // the best guess first, then the others, then common code pages
    bool unsure = false;
    // UTF-8 but for the bytes on these lines (from 1): the best guess is
    // MixedUtf8Name of their likeliest code page.
    std::vector<int> strayLines;
    int strayLineCount = 0;
    const QByteArray& best() const { return candidates.front().name; }
};

// uchardet's answer (what reading takes without asking) weighed against ICU's
// detector: sure only when both name an encoding, ICU with some confidence,
// and the two read the bytes as the same text. Code pages that agree on every
// byte of the file (ISO-8859-1 and Windows-1252 on a text without curly
// quotes) count as the same.
EncodingGuess GuessCodePage(const QByteArray& bytes);
// The same from the bytes' strays (FindStrayBytes of them all) and their
// first MiB, which is all the rest looks at.
EncodingGuess GuessCodePage(const StrayBytes& strays, const QByteArray& start);

// The first `lines` lines of the bytes decoded in `encoding`, for a preview.
QString PreviewText(const QByteArray& bytes, const QByteArray& encoding, int lines);
// The lines numbered `lineNumbers` (from 1) decoded in `encoding`, each after its number.
QString PreviewLines(const QByteArray& bytes, const QByteArray& encoding, const std::vector<int>& lineNumbers);

// "Line 6", "Lines 6 and 9", "Lines 6, 9, 12 and 3 more": the first few of
// `lines`, out of `total` lines.
std::string NameLines(const std::vector<int>& lines, int total);

// Asked when a file's encoding is unsure. The window asks the user; tests
// answer themselves.
class EncodingChooser {
public:
    virtual ~EncodingChooser() = default;
    // The encoding to read the file in, or nothing to read nothing.
    virtual std::optional<QByteArray> ChooseEncoding(
        const std::string& fileName, const QByteArray& bytes, const EncodingGuess& guess)
        = 0;
};

// What a file is written in: the default is what every writer has always
// written, UTF-8 without a byte-order mark and lines ended by CR LF.
struct OutputEncoding {
    QByteArray name = "UTF-8";
    bool byteOrderMark = false;
    bool crlf = true;
    // The default, not chosen: a file of the format's own then gets its
    // mark and line ends as read (FileForm).
    bool keepFileForm = true;
    bool isDefault() const { return name == "UTF-8" && !byteOrderMark && crlf; }
};

// "utf-8", "utf-8-bom", "utf-16le", "utf-16be" (both with a byte-order mark)
// or any code page Qt knows ("windows-1250"); nothing for an unknown name.
std::optional<OutputEncoding> ParseOutputEncoding(std::string_view name);

// A character the output encoding cannot hold; the message names the row and
// the character.
class UnencodableText : public Error {
public:
    using Error::Error;
};

// Throws UnencodableText for the first character among the cells of rows
// firstRow..lastRow (and what the format `tag` kept, which its writer writes
// too, unless `document` is false) that the encoding cannot hold.
void CheckEncodable(const SubtitleTable& table, int firstRow, int lastRow, std::string_view tag,
    const OutputEncoding& encoding, bool document = true);

// Passes a writer's UTF-8 text with CR LF line ends on to `target` in the
// output encoding and line ends. finish() after the last write.
class EncodingSink : public TextSink {
public:
    EncodingSink(TextSink& target, const OutputEncoding& encoding);
    ~EncodingSink() override;
    void write(std::string_view text) override;
    void finish();

private:
    void encode(std::string_view text);

    class Converters;
    TextSink& target_;
    bool crlf_;
    bool heldReturn_ = false;
    std::unique_ptr<Converters> converters_;
    std::string lf_;
};

} // namespace tessel
