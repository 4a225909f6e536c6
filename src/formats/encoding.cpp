#include "formats/encoding.h"

#include "core/subtitle_table.h"
#include "formats/kept_data.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <unicode/ucsdet.h>

namespace tessel {
namespace {

// As much as uchardet looks at.
constexpr qsizetype SampleBytes = 1 << 20;
// Below this ICU's best guess is hardly better than its others: on short texts
// in the common code pages its right answer scores 25 to 60.
constexpr int SureConfidence = 20;
// ICU lists everything it tried; guesses this weak are noise.
constexpr int ListedConfidence = 10;

// Offered after the detectors' guesses: the code pages subtitle files are
// most often in.
const char* const CommonCodePages[]
    = { "windows-1252", "windows-1250", "windows-1251", "ISO-8859-15", "windows-1253", "windows-1254", "windows-1257",
          "windows-1255", "windows-1256", "KOI8-R", "IBM866", "ISO-8859-2", "Shift_JIS", "GB18030", "Big5", "EUC-KR" };

QByteArray qtName(const char* name) { return QStringDecoder(name).name(); }

bool isMixed(const QByteArray& encoding) { return encoding.startsWith(MixedUtf8Name({})); }

QString decoded(const QByteArray& bytes, const QByteArray& encoding)
{
    if (isMixed(encoding)) {
        DecodedText text(bytes, {}, encoding);
        const std::string_view all = text.all();
        return QString::fromUtf8(all.data(), static_cast<qsizetype>(all.size()));
    }
    QStringDecoder decoder(encoding.constData());
    return decoder.decode(bytes);
}

struct IcuGuess {
    QByteArray name;
    int confidence;
};

std::vector<IcuGuess> icuGuesses(QByteArrayView sample)
{
    std::vector<IcuGuess> guesses;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, void (*)(UCharsetDetector*)> detector(ucsdet_open(&status), ucsdet_close);
    if (U_FAILURE(status)) return guesses;
    ucsdet_setText(detector.get(), sample.data(), static_cast<int32_t>(sample.size()), &status);
    int32_t count = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &count, &status);
    if (U_FAILURE(status)) return guesses;
    for (int32_t i = 0; i < count; ++i) {
        UErrorCode s = U_ZERO_ERROR;
        const char* name = ucsdet_getName(matches[i], &s);
        const int confidence = ucsdet_getConfidence(matches[i], &s);
        // Text that is not valid UTF-8 and has no mark is read in an 8-bit
        // or multi-byte code page; ICU offers UTF-16 for any text at all.
        if (U_FAILURE(s) || !name || std::string_view(name).substr(0, 4) == "UTF-") continue;
        const QByteArray qt = qtName(name);
        if (!qt.isEmpty()) guesses.push_back({ qt, confidence });
    }
    return guesses;
}

void addCandidate(std::vector<EncodingCandidate>& list, const QByteArray& name, int confidence)
{
    const auto same = [&](const EncodingCandidate& c) { return c.name.compare(name, Qt::CaseInsensitive) == 0; };
    if (name.isEmpty() || std::any_of(list.begin(), list.end(), same)) return;
    list.push_back({ name, confidence });
}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Letters beyond ASCII in 0xC0-0xFF (but for the signs x and /), one to three
// at a time, with an ASCII letter on one side at least: "Jörgen", "Conceição".
// Four in five such bytes, and no others but a few signs.
bool latinLetters(const QByteArray& sample)
{
    const auto asciiLetter = [](unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    const auto letter = [](unsigned char c) { return c >= 0xC0 && c != 0xD7 && c != 0xF7; };
    const auto* p = reinterpret_cast<const unsigned char*>(sample.constData());
    const qsizetype n = sample.size();
    qsizetype high = 0, inWords = 0;
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        qsizetype end = i;
        bool letters = true;
        while (end < n && p[end] >= 0x80)
            letters = letter(p[end++]) && letters;
        const bool byLetter = (i > 0 && asciiLetter(p[i - 1])) || (end < n && asciiLetter(p[end]));
        high += end - i;
        if (letters && byLetter && end - i <= 3) inWords += end - i;
        i = end;
    }
    return inWords > 0 && inWords * 5 >= high * 4;
}

bool hasByteIn(const QByteArray& bytes, unsigned char low, unsigned char high)
{
    return std::any_of(bytes.begin(), bytes.end(), [&](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= low && b <= high;
    });
}

// The Windows code page of a Latin script's ISO or Windows one, or nothing.
QByteArray windowsSibling(const QByteArray& name)
{
    static const std::pair<const char*, const char*> Siblings[] = { { "ISO-8859-1", "windows-1252" },
        { "ISO-8859-15", "windows-1252" }, { "windows-1252", "windows-1252" }, { "ISO-8859-2", "windows-1250" },
        { "windows-1250", "windows-1250" }, { "ISO-8859-9", "windows-1254" }, { "windows-1254", "windows-1254" },
        { "ISO-8859-13", "windows-1257" }, { "windows-1257", "windows-1257" } };
    for (const auto& [iso, windows] : Siblings)
        if (name == qtName(iso)) return qtName(windows);
    return {};
}

// The Windows code page of the Latin script ICU hears best, or nothing.
QByteArray windowsPageOf(const std::vector<IcuGuess>& guesses)
{
    for (const IcuGuess& g : guesses)
        if (const QByteArray windows = windowsSibling(g.name); !windows.isEmpty()) return windows;
    return {};
}

bool decodesWhole(const QByteArray& bytes, const QByteArray& encoding)
{
    QStringDecoder decoder(encoding.constData());
    const QString text = decoder.decode(bytes);
    return !decoder.hasError() && !text.contains(QChar::ReplacementCharacter);
}

std::string codePoint(char32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

} // namespace

bool NeedsCodePage(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) return false;
    return !IsValidUtf8(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))
        && !Utf16WithoutMark(bytes);
}

QByteArray LikelyCodePage(const QByteArray& bytes)
{
    const QByteArray sample = bytes.left(SampleBytes);
    const QByteArray named = qtName(NamedCodePage(sample).constData());
    if (named.startsWith("windows-")) return named;
    // 0x80-0x9F are control characters in ISO-8859, never text: "ś", "ą" and
    // "Š" of a Windows-1250 file, which uchardet can take for ISO-8859-2.
    if (named.startsWith("ISO-8859-") && hasByteIn(sample, 0x80, 0x9F)) {
        const QByteArray windows = windowsSibling(named);
        if (!windows.isEmpty() && decodesWhole(sample, windows)) return windows;
    }
    if (!latinLetters(sample)) return named;
    // ISO-8859 and Windows code pages differ only in 0x80-0xBF: there
    // uchardet's word stands.
    if (named.startsWith("ISO-8859-") && hasByteIn(sample, 0x80, 0xBF)) return named;
    const QByteArray windows = windowsPageOf(icuGuesses(sample));
    const QByteArray page = windows.isEmpty() ? qtName("windows-1252") : windows;
    return decodesWhole(sample, page) ? page : named;
}

EncodingGuess GuessCodePage(const QByteArray& bytes)
{
    EncodingGuess guess;
    const StrayBytes strays = FindStrayBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (strays.inUtf8Text()) {
        // UTF-8 with the strays from their likeliest code page, then as
        // U+FFFD, then the whole text in a code page: always asked.
        const QByteArray likely = LikelyCodePage(strays.sample);
        guess.candidates.push_back({ MixedUtf8Name(likely.isEmpty() ? qtName("windows-1252") : likely), -1 });
        addCandidate(guess.candidates, "UTF-8", -1);
        for (const char* name : CommonCodePages)
            addCandidate(guess.candidates, qtName(name), -1);
        guess.strayLines = strays.lines;
        guess.strayLineCount = strays.lineCount;
        guess.unsure = true;
        return guess;
    }
    const QByteArray sample = bytes.left(SampleBytes);
    const QByteArray named = LikelyCodePage(sample);
    const std::vector<IcuGuess> icu = icuGuesses(sample);
    // Reading without asking takes uchardet's answer; so does the list.
    int namedConfidence = -1;
    for (const IcuGuess& g : icu)
        if (g.name == named) namedConfidence = g.confidence;
    addCandidate(guess.candidates, named, namedConfidence);
    if (named.isEmpty() && !icu.empty() && icu.front().confidence >= SureConfidence)
        addCandidate(guess.candidates, icu.front().name, icu.front().confidence);
    addCandidate(guess.candidates, "windows-1252", -1);
    for (const IcuGuess& g : icu)
        if (g.confidence >= ListedConfidence) addCandidate(guess.candidates, g.name, g.confidence);
    for (const char* name : CommonCodePages)
        addCandidate(guess.candidates, qtName(name), -1);
    std::stable_sort(guess.candidates.begin() + 1, guess.candidates.end(),
        [](const EncodingCandidate& a, const EncodingCandidate& b) { return a.confidence > b.confidence; });
    guess.unsure = named.isEmpty() || icu.empty() || icu.front().confidence < SureConfidence
        || decoded(sample, named) != decoded(sample, icu.front().name);
    return guess;
}

QString PreviewText(const QByteArray& bytes, const QByteArray& encoding, int lines)
{
    // Enough bytes for the lines, cut where no character is split in the code pages that matter.
    qsizetype end = 0;
    for (int i = 0; i < lines && end >= 0 && end < bytes.size(); ++i) {
        end = bytes.indexOf('\n', end);
        end = end < 0 ? -1 : end + 1;
    }
    const QByteArray piece = end < 0 ? bytes.left(64 * 1024) : bytes.left(end);
    QString text = decoded(piece, encoding);
    text.remove(QLatin1Char('\r'));
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text;
}

QString PreviewLines(const QByteArray& bytes, const QByteArray& encoding, const std::vector<int>& lineNumbers)
{
    QStringList shown;
    qsizetype start = 0;
    int line = 1;
    for (const int wanted : lineNumbers) {
        for (; line < wanted && start >= 0; ++line) {
            start = bytes.indexOf('\n', start);
            if (start >= 0) ++start;
        }
        if (start < 0) break;
        const qsizetype end = bytes.indexOf('\n', start);
        QString text = decoded(bytes.mid(start, end < 0 ? -1 : end - start), encoding);
        text.remove(QLatin1Char('\r'));
        shown << QString::number(wanted) + QStringLiteral(": ") + text;
    }
    return shown.join(QLatin1Char('\n'));
}

std::string NameLines(const std::vector<int>& lines, int total)
{
    constexpr size_t Named = 10;
    const size_t named = std::min(lines.size(), Named);
    const int more = total - static_cast<int>(named);
    std::string text = total == 1 ? "Line " : "Lines ";
    for (size_t i = 0; i < named; ++i) {
        if (i > 0) text += i + 1 == named && more == 0 ? " and " : ", ";
        text += std::to_string(lines[i]);
    }
    if (more > 0) text += " and " + std::to_string(more) + " more";
    return text;
}

std::optional<OutputEncoding> ParseOutputEncoding(std::string_view name)
{
    const QByteArray lower = QByteArray(name.data(), static_cast<qsizetype>(name.size())).toLower();
    OutputEncoding encoding;
    if (lower == "utf-8-bom") {
        encoding.byteOrderMark = true;
        return encoding;
    }
    const QByteArray qt = QStringEncoder(lower.constData()).name();
    if (qt.isEmpty()) return std::nullopt;
    encoding.name = qt;
    // UTF-16 is read back only with its mark, here and by the players.
    encoding.byteOrderMark = qt.startsWith("UTF-16") || qt.startsWith("UTF-32");
    return encoding;
}

void CheckEncodable(
    const SubtitleTable& table, int firstRow, int lastRow, std::string_view tag, const OutputEncoding& encoding)
{
    if (encoding.name.startsWith("UTF-")) return;
    QStringEncoder encoder(encoding.name.constData());
    const auto fits = [&](std::string_view text) {
        if (isAscii(text)) return true;
        // Encoded only when the result is taken.
        const QByteArray bytes = encoder.encode(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        return !encoder.hasError();
    };
    const auto refuse = [&](std::string_view text, const std::string& where) {
        for (const char32_t c : QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4()) {
            QStringEncoder one(encoding.name.constData());
            const QByteArray bytes = one.encode(QString::fromUcs4(&c, 1));
            if (!one.hasError()) continue;
            throw UnencodableText(where + " holds \"" + QString::fromUcs4(&c, 1).toStdString() + "\" (" + codePoint(c)
                + "), which " + encoding.name.toStdString() + " cannot hold; nothing was written");
        }
        throw UnencodableText(where + " cannot be written in " + encoding.name.toStdString() + "; nothing was written");
    };
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 0; column < SubtitleTable::CellCount; ++column) {
            const std::string_view text = table.cell(column, row);
            if (column == SubtitleTable::Extra && !IsKeptBy(text, tag)) continue;
            if (!fits(text)) refuse(text, "Row " + std::to_string(row));
        }
    }
    const std::string& document = table.documentData();
    if (IsKeptBy(document, tag) && !fits(document)) refuse(document, "The file's header");
}

class EncodingSink::Converters {
public:
    explicit Converters(const OutputEncoding& encoding)
        : utf8_(QStringDecoder::Utf8)
        , encoder_(encoding.name.constData(),
              encoding.byteOrderMark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default)
    {
    }
    QByteArray convert(std::string_view text)
    {
        const QString unicode = utf8_.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
        QByteArray bytes = encoder_.encode(unicode);
        if (encoder_.hasError()) throw UnencodableText("The text cannot be written in " + std::string(encoder_.name()));
        return bytes;
    }

private:
    QStringDecoder utf8_;
    QStringEncoder encoder_;
};

EncodingSink::EncodingSink(TextSink& target, const OutputEncoding& encoding)
    : target_(target)
    , crlf_(encoding.crlf)
{
    if (encoding.name != "UTF-8" || encoding.byteOrderMark) converters_ = std::make_unique<Converters>(encoding);
}

EncodingSink::~EncodingSink() = default;

void EncodingSink::write(std::string_view text)
{
    if (crlf_) return encode(text);
    // CR LF becomes LF, also where a write ends between the two.
    lf_.clear();
    if (heldReturn_ && !text.empty()) {
        if (text.front() != '\n') lf_ += '\r';
        heldReturn_ = false;
    }
    for (size_t at; (at = text.find("\r\n")) != std::string_view::npos; text.remove_prefix(at + 2))
        (lf_ += text.substr(0, at)) += '\n';
    if (!text.empty() && text.back() == '\r') {
        heldReturn_ = true;
        text.remove_suffix(1);
    }
    lf_ += text;
    encode(lf_);
}

void EncodingSink::finish()
{
    if (heldReturn_) encode("\r");
    heldReturn_ = false;
}

void EncodingSink::encode(std::string_view text)
{
    if (!converters_) return target_.write(text);
    const QByteArray bytes = converters_->convert(text);
    target_.write(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

} // namespace tessel
