#include "formats/ttml.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/timecode.h"
#include "formats/kept_data.h"
#include "formats/markup.h"
#include "formats/time_format.h"
#include "formats/xml_scan.h"

#include <QString>
#include <QXmlStreamReader>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <map>
#include <optional>

namespace tessel {
namespace {

constexpr std::string_view Tag = "ttml";
// The first line of the document data of rows read as they came for a save
// as TTML with no tool run: each row's hidden cell holds the text read since
// the row before, the document data the text after the last.
constexpr std::string_view PassagesLine = "passages";
constexpr double Unbounded = std::numeric_limits<double>::infinity();
const char* const StylingNamespace = "http://www.w3.org/ns/ttml#styling";

// The hidden cell: the p element's index in the document, the fingerprint
// of its text as read, its frames as read, the begin of the element it stands
// in (seconds), its begin attribute as written (the form its times are
// written in again), which of end and dur it had, and the fingerprint of the
// document it came from (rows appended from another have no p here).
enum RowLine : size_t { IndexLine, PrintLine, FromLine, ToLine, ParentLine, FormLine, EndKindLine, DocumentLine };
// The document data: where each p element starts, where its start tag ends
// and where it ends (bytes of the text), the time parameters, the prefix of
// p elements and of the styling namespace, then the text's lines.

std::string error(const QXmlStreamReader& xml, const std::string& what)
{
    return "TTML, line " + std::to_string(xml.lineNumber()) + ", column " + std::to_string(xml.columnNumber()) + ": "
        + what;
}

// Names compared many times a paragraph, in line.
bool same(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), b.size()) == 0;
}

bool isTtNamespace(std::string_view uri)
{
    constexpr std::string_view Ttml = "http://www.w3.org/ns/ttml";
    // Asked for every element: TTML's own name compared in two overlapping looks.
    if (uri.size() == Ttml.size()) {
        uint64_t a[2], b[2], c[2], d[2];
        std::memcpy(a, uri.data(), 16);
        std::memcpy(b, Ttml.data(), 16);
        std::memcpy(c, uri.data() + 9, 16);
        std::memcpy(d, Ttml.data() + 9, 16);
        if (((a[0] ^ b[0]) | (a[1] ^ b[1]) | (c[0] ^ d[0]) | (c[1] ^ d[1])) == 0) return true;
    }
    return uri.empty() || (uri.size() >= Ttml.size() && same(uri.substr(0, Ttml.size()), Ttml))
        || uri.find("ttaf1") != std::string_view::npos;
}

enum class Space { Styling, Parameter, Xml };

// An attribute by local name in a namespace of its kind (TTML's, or the older DFXP one).
std::string_view attribute(const std::vector<XmlAttribute>& attributes, Space space, std::string_view name)
{
    for (const XmlAttribute& a : attributes) {
        if (a.name != name) continue;
        if (space == Space::Xml           ? a.uri == "http://www.w3.org/XML/1998/namespace"
                : space == Space::Styling ? a.uri.find("#styl") != std::string_view::npos
                                          : a.uri.find("#param") != std::string_view::npos)
            return a.value;
    }
    return {};
}

std::string_view plainAttribute(const std::vector<XmlAttribute>& attributes, std::string_view name)
{
    for (const XmlAttribute& a : attributes)
        if (a.name == name && a.uri.empty()) return a.value;
    return {};
}

QString qstring(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

struct StyleSet {
    std::optional<bool> italic, bold, underline;
    std::optional<std::string> colour;

    void over(const StyleSet& other)
    {
        if (other.italic) italic = other.italic;
        if (other.bold) bold = other.bold;
        if (other.underline) underline = other.underline;
        if (other.colour) colour = other.colour;
    }
    bool plain() const
    {
        return !italic.value_or(false) && !bold.value_or(false) && !underline.value_or(false) && !colour;
    }
    bool operator==(const StyleSet& o) const
    {
        const std::string_view c = colour ? std::string_view(*colour) : std::string_view(),
                               oc = o.colour ? std::string_view(*o.colour) : std::string_view();
        return italic.value_or(false) == o.italic.value_or(false) && bold.value_or(false) == o.bold.value_or(false)
            && underline.value_or(false) == o.underline.value_or(false) && c == oc;
    }
};

StyleSet inlineStyle(const std::vector<XmlAttribute>& attributes)
{
    StyleSet s;
    const std::string_view style = attribute(attributes, Space::Styling, "fontStyle");
    if (!style.empty()) s.italic = style == "italic" || style == "oblique";
    const std::string_view weight = attribute(attributes, Space::Styling, "fontWeight");
    if (!weight.empty()) s.bold = weight == "bold";
    const std::string_view decoration = attribute(attributes, Space::Styling, "textDecoration");
    if (!decoration.empty())
        s.underline = decoration.find("underline") != std::string_view::npos
            && decoration.find("noUnderline") == std::string_view::npos;
    const std::string_view colour = attribute(attributes, Space::Styling, "color");
    if (!colour.empty()) s.colour = std::string(colour);
    return s;
}

// What an element of the body says of its time and style, in one look at
// its attributes: the first of each name, as a look by name finds it.
struct Timed {
    std::string_view begin, end, dur, timeContainer, style, space;
    StyleSet inline_;

    explicit Timed(const std::vector<XmlAttribute>& attributes)
    {
        bool styled = false;
        const auto first = [](std::string_view& into, std::string_view value) {
            if (!into.data()) into = value;
        };
        for (const XmlAttribute& a : attributes) {
            if (a.uri.empty()) {
                if (same(a.name, "begin"))
                    first(begin, a.value);
                else if (same(a.name, "end"))
                    first(end, a.value);
                else if (same(a.name, "dur"))
                    first(dur, a.value);
                else if (same(a.name, "timeContainer"))
                    first(timeContainer, a.value);
                else if (same(a.name, "style"))
                    first(style, a.value);
            } else if (same(a.name, "space")) {
                if (a.uri == "http://www.w3.org/XML/1998/namespace") first(space, a.value);
            } else {
                styled = true;
            }
        }
        if (styled) inline_ = inlineStyle(attributes);
    }
};

bool digitsOnly(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

double number(std::string_view s)
{
    // Many per paragraph: read in place, with the point XML has whatever the locale.
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    // Whole numbers a double holds exactly, as from_chars reads them.
    if (s.size() <= 15 && digitsOnly(s)) {
        int64_t whole = 0;
        for (const char c : s)
            whole = whole * 10 + (c - '0');
        return static_cast<double>(whole);
    }
    double value = 0;
    std::from_chars(s.data(), s.data() + s.size(), value);
    return value;
}

bool isNumber(std::string_view s)
{
    const size_t dot = s.find('.');
    return dot == std::string_view::npos ? digitsOnly(s)
                                         : digitsOnly(s.substr(0, dot)) && digitsOnly(s.substr(dot + 1));
}

struct Run {
    std::string text;
    StyleSet style;
    bool lineBreak = false;
};

bool allSpaces(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

void collapse(std::string_view text, std::string& out);

// Runs of text as the lines of a row, with tags where the style changes.
// Its rooms serve row after row: a paragraph costs no allocation.
class RunLines {
public:
    void clear() { runCount_ = 0; }
    Run& add(bool lineBreak)
    {
        if (runCount_ == runs_.size()) runs_.emplace_back();
        Run& run = runs_[runCount_++];
        run.lineBreak = lineBreak;
        run.text.clear();
        return run;
    }

    // The row's three lines: trailing empty lines dropped, a fourth and on
    // after "\N" in the third.
    void build()
    {
        viewed_ = false;
        lineCount_ = 0;
        nextLine();
        // Most paragraphs are one run of text with no style: their one line as it is, its ends' spaces not shown.
        plainLine_ = runCount_ == 1 && !runs_[0].lineBreak && runs_[0].style.plain();
        if (plainLine_) {
            const std::string_view text = runs_[0].text;
            const size_t first = text.find_first_not_of(' ');
            firstLine_ = first == std::string_view::npos ? std::string_view()
                                                         : text.substr(first, text.find_last_not_of(' ') + 1 - first);
            nextLine();
            nextLine();
            return;
        }
        pieces_.clear();
        for (size_t i = 0; i < runCount_; ++i) {
            const Run& run = runs_[i];
            if (run.lineBreak) {
                finish();
                nextLine();
                continue;
            }
            // Spaces that run together across elements show as one.
            std::string_view text = run.text;
            if (!pieces_.empty() && !pieces_.back().first.empty() && pieces_.back().first.back() == ' ' && !text.empty()
                && text.front() == ' ')
                text.remove_prefix(1);
            pieces_.emplace_back(text, &run.style);
        }
        finish();
        while (lineCount_ > 1 && lines_[lineCount_ - 1].empty())
            --lineCount_;
        while (lineCount_ < 3)
            nextLine();
        for (size_t i = 3; i < lineCount_; ++i)
            (lines_[2] += "\\N") += lines_[i];
    }
    // The lines of a paragraph of texts with no markup, a line break after
    // each but the last, whose style comes to none: as build() makes them of
    // their runs, in views of the texts where no white space is collapsed.
    void buildPlain(const std::vector<XmlPlainElement::Text>& texts)
    {
        views_.clear();
        size_t collapsed = 0;
        // Views into these strings are taken as they are filled: they must not move.
        if (lines_.size() < texts.size() + 1) lines_.resize(texts.size() + 1);
        for (const XmlPlainElement::Text& t : texts) {
            std::string_view text = t.text;
            if (!t.plain) {
                std::string& room = lines_[collapsed++];
                room.clear();
                collapse(text, room);
                text = room;
            }
            const size_t first = text.find_first_not_of(' ');
            views_.push_back(first == std::string_view::npos
                    ? std::string_view()
                    : text.substr(first, text.find_last_not_of(' ') + 1 - first));
        }
        while (views_.size() > 1 && views_.back().empty())
            views_.pop_back();
        views_.resize(std::max<size_t>(views_.size(), 3));
        if (views_.size() > 3) {
            std::string& third = lines_[collapsed];
            third.assign(views_[2]);
            for (size_t i = 3; i < views_.size(); ++i)
                (third += "\\N") += views_[i];
            views_[2] = third;
        }
        viewed_ = true;
    }
    std::string_view line(size_t i) const
    {
        if (viewed_) return views_[i];
        return i == 0 && plainLine_ ? firstLine_ : lines_[i];
    }

private:
    void nextLine()
    {
        if (lineCount_ == lines_.size()) lines_.emplace_back();
        lines_[lineCount_++].clear();
    }

    void finish()
    {
        // Leading and trailing spaces of a line are not shown.
        size_t first = 0, last = pieces_.size();
        while (first < last && allSpaces(pieces_[first].first))
            ++first;
        while (last > first && allSpaces(pieces_[last - 1].first))
            --last;
        if (first < last) {
            std::string_view& front = pieces_[first].first;
            front.remove_prefix(front.find_first_not_of(' '));
            std::string_view& back = pieces_[last - 1].first;
            back.remove_suffix(back.size() - back.find_last_not_of(' ') - 1);
        }
        std::string& line = lines_[lineCount_ - 1];
        StyleSet current;
        const auto close = [&] {
            if (current.underline.value_or(false)) line += "</u>";
            if (current.bold.value_or(false)) line += "</b>";
            if (current.italic.value_or(false)) line += "</i>";
            if (current.colour) line += "</font>";
        };
        for (size_t i = first; i < last; ++i) {
            const StyleSet& style = *pieces_[i].second;
            if (!(style == current)) {
                close();
                current = style;
                if (current.colour) line += FontTag(*current.colour);
                if (current.italic.value_or(false)) line += "<i>";
                if (current.bold.value_or(false)) line += "<b>";
                if (current.underline.value_or(false)) line += "<u>";
            }
            line += pieces_[i].first;
        }
        close();
        pieces_.clear();
    }

    std::vector<Run> runs_;
    size_t runCount_ = 0;
    std::vector<std::pair<std::string_view, const StyleSet*>> pieces_; // of the current line
    std::vector<std::string> lines_;
    size_t lineCount_ = 0;
    bool plainLine_ = false; // the first line is then firstLine_, in the run's text
    std::string_view firstLine_;
    bool viewed_ = false; // the lines are then views_
    std::vector<std::string_view> views_;
};

// XML white space as one space.
void collapse(std::string_view text, std::string& out)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    for (size_t i = 0; i < text.size();) {
        size_t j = i;
        while (j < text.size() && !space(text[j]))
            ++j;
        out.append(text.data() + i, j - i);
        if (j == text.size()) break;
        if (out.empty() || out.back() != ' ') out += ' ';
        i = j + 1;
    }
}

// The lines of a text of LF ends, as many as its LFs and one.
void AppendLines(std::vector<std::string_view>& lines, std::string_view text)
{
    for (size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1))
        lines.push_back(text.substr(0, end));
    lines.push_back(text);
}

std::string seconds17(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// A framerate near N or N * 1000/1001 as that exact rate; otherwise itself.
double exactRate(double framerate, int* base = nullptr, bool* dropped = nullptr)
{
    for (int n : { 24, 25, 30, 48, 50, 60, 120 }) {
        if (std::fabs(framerate - n) < 0.001) {
            if (base) *base = n;
            if (dropped) *dropped = false;
            return n;
        }
        if (n % 6 == 0 && std::fabs(framerate - n * 1000.0 / 1001) < 0.01) {
            if (base) *base = n;
            if (dropped) *dropped = true;
            return n * 1000.0 / 1001;
        }
    }
    if (base) *base = 0;
    return framerate;
}

// Halves to even, as the other formats' times become frames; nothing for a
// time past what a frame cell holds. `rate` as exactRate gives it.
std::optional<int64_t> frameAtRate(double seconds, double rate)
{
    const double frame = std::nearbyint(seconds * rate);
    if (!(std::fabs(frame) <= std::numeric_limits<int32_t>::max())) return std::nullopt;
    return static_cast<int64_t>(frame);
}
double secondsOf(int64_t frame, double framerate) { return static_cast<double>(frame) / exactRate(framerate); }

class Reader {
public:
    Reader(SubtitleTable& table, int firstRow, double framerate)
        : table_(table)
        , row_(firstRow)
        , rate_(exactRate(framerate))
        , open_(firstRow == 1)
    {
    }

    void read(LineReader& lines)
    {
        lines_ = &lines;
        // Flowing to a save as TTML with no tool run: the text goes with the rows, to be written again as it was.
        passages_ = lines.keepsFile() && lines.flowing() && open_;
        if (!lines.keepsFile() || passages_) return readStreamed(lines);
        while (!lines.atEnd()) {
            if (!text_.empty()) text_ += '\n';
            text_ += lines.readLine();
        }
        form_ = { lines.byteOrderMark(), lines.lineFeedsOnly() };
        documentPrint_ = CellsFingerprint({ text_ });
        const QString q = QString::fromUtf8(text_.data(), static_cast<qsizetype>(text_.size()));
        QXmlStreamReader xml(q);
        q_ = &q;
        xml_ = &xml;
        try {
            while (!xml.atEnd()) {
                const qint64 before = xml.characterOffset();
                const QXmlStreamReader::TokenType token = xml.readNext();
                take(xml, token, before);
            }
            if (xml.hasError()) throw Error(error(xml, xml.errorString().toStdString()));
            if (!sawRoot_) throw Error("TTML: the file holds no tt element");
            if (paragraphs_.empty()) throw Error("TTML: the document holds no p element, so no subtitles");
        } catch (...) {
            keepDocument();
            throw;
        }
        keepDocument();
    }

private:
    // Read as the XML comes, for rows that go to another format's writer:
    // neither the text nor where the paragraphs stand in it is kept, and a
    // window of the file is in memory, however long. A document whose start is
    // beyond what the fast scanner reads goes to Qt's parser; one that is so
    // further on, or has an error (whose message names its line and column),
    // is read whole after all.
    void readStreamed(LineReader& lines)
    {
        keeping_ = false;
        XmlScanner xml;
        bool started = false;
        const auto feed = [&] {
            std::string& room = xml.room();
            const size_t from = room.size();
            while (room.size() - from < ChunkBytes && !lines.atEnd()) {
                // As the whole text is joined: no line feed before the first line that is not empty.
                if (started) room += '\n';
                const std::string_view line = lines.readLine();
                room += line;
                started = started || !line.empty();
            }
            if (room.size() == from) return false;
            const std::string_view piece(room.data() + from, room.size() - from);
            if (passages_) passage_ += piece;
            styledHead_ = styledHead_ || piece.find("styling") != std::string_view::npos
                || piece.find("layout") != std::string_view::npos;
            xml.added(from);
            return true;
        };
        try {
            for (;;) {
                // Most paragraphs hold only text and line breaks: read in one look.
                if (!paragraph_ && skipping_ == 0 && !inHead_ && sawRoot_ && xml.plainElement("p", "br", plain_)
                    && isTtNamespace(plain_.tag.uri)) {
                    xml.take(plain_);
                    plainParagraph();
                    continue;
                }
                const XmlScanner::Token token = xml.next();
                if (token == XmlScanner::NeedMore) {
                    if (!feed()) xml.end();
                    continue;
                }
                if (token == XmlScanner::EndDocument) break;
                const bool opens = token == XmlScanner::StartElement, closes = token == XmlScanner::EndElement;
                if (skipped(opens, closes)) continue;
                if (opens)
                    start(xml.startTag());
                else if (closes)
                    end(xml.endName(), xml.endUri());
                else if (paragraph_)
                    characters(xml.text(), xml.plainText());
            }
        } catch (const XmlUnsure&) {
            if (xml.rooted() || passages_) throw ReadFileWhole();
            try {
                readByQt(lines, xml.takeText(), started);
            } catch (const Error&) {
                keepHead();
                throw;
            }
        }
        if (paragraphCount_ == 0) throw Error("TTML: the document holds no p element, so no subtitles");
        keepHead();
    }

    // The tokens of plain_ as the scanner would give them one by one; when
    // they come to text with no style, the row straight from them.
    void plainParagraph()
    {
        if (!keeping_ && !paragraph_ && plainRow()) return;
        start(plain_.tag);
        for (const XmlPlainElement::Text& t : plain_.texts) {
            if (!t.text.empty() && paragraph_) characters(t.text, t.plain);
            if (!t.breakAfter) continue;
            lineBreak_.uri = plain_.tag.uri;
            start(lineBreak_);
            end("br", plain_.tag.uri);
        }
        end("p", plain_.tag.uri);
    }

    // A document whose start the scanner leaves to Qt's parser (a document
    // type, another encoding named, marks before it): read by that parser as
    // it comes, from `head`, the text so far.
    void readByQt(LineReader& lines, const std::string& head, bool started)
    {
        QXmlStreamReader xml;
        xml_ = &xml;
        // The first piece as text, as the whole text is given: UTF-8 whatever
        // the declaration says, with the same byte-order marks skipped at its
        // start. The others start with a line feed, where no mark is taken for one.
        xml.addData(QString::fromUtf8(head.data(), static_cast<qsizetype>(head.size())));
        std::string chunk;
        const auto feed = [&] {
            chunk.clear();
            while (chunk.size() < ChunkBytes && !lines.atEnd()) {
                if (started) chunk += '\n';
                const std::string_view line = lines.readLine();
                chunk += line;
                started = started || !line.empty();
            }
            if (chunk.empty()) return false;
            styledHead_ = styledHead_ || chunk.find("styling") != std::string::npos
                || chunk.find("layout") != std::string::npos;
            xml.addData(QByteArray(chunk.data(), static_cast<qsizetype>(chunk.size())));
            return true;
        };
        int depth = 0;
        for (;;) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::Invalid) {
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && feed()) continue;
                break;
            }
            if (token == QXmlStreamReader::EndDocument) break;
            if (token == QXmlStreamReader::StartElement) ++depth;
            if (token == QXmlStreamReader::EndElement && --depth == 0) {
                // What follows the root is read whole, as the whole text is: given in
                // pieces, the reader would end at the piece's end without looking at it.
                while (feed()) { }
            }
            take(xml, token, 0);
        }
        if (xml.hasError()) throw Error(error(xml, xml.errorString().toStdString()));
        if (!sawRoot_) throw Error("TTML: the file holds no tt element");
    }

    // Of a document read as it came, only whether its head has styles or
    // regions, which another format leaves out.
    void keepHead()
    {
        if (!open_ || rows_ == 0) return;
        if (passages_) {
            // The text after the last paragraph's, and the line ends of all of it.
            table_.setDocumentData(JoinKept(Tag, { PassagesLine, passage() }, form()));
            return;
        }
        const bool styled = styledHead_ || pPrefix_.find("styling") != std::string::npos
            || stylingPrefix_.find("styling") != std::string::npos;
        table_.setDocumentData(JoinKept(Tag, { styled ? "styling" : "" }));
    }

    // One token of the whole text; `before` is where it starts in the text.
    void take(QXmlStreamReader& xml, QXmlStreamReader::TokenType token, qint64 before)
    {
        const bool opens = token == QXmlStreamReader::StartElement, closes = token == QXmlStreamReader::EndElement;
        if (skipped(opens, closes)) return;
        if (opens) {
            before_ = before;
            start(startTag(xml));
        } else if (closes) {
            const std::string name = xml.name().toUtf8().toStdString();
            end(name, xml.namespaceUri().toUtf8().toStdString());
        } else if (token == QXmlStreamReader::Characters && paragraph_ && !xml.isComment()) {
            characters(xml.text().toUtf8().toStdString());
        }
    }

    // Qt's start tag as the fast scanner gives one.
    const XmlStartTag& startTag(const QXmlStreamReader& xml)
    {
        held_.clear();
        const auto hold
            = [&](QStringView text) -> std::string_view { return held_.emplace_back(text.toUtf8().toStdString()); };
        tag_.qualifiedName = hold(xml.qualifiedName());
        tag_.prefix = hold(xml.prefix());
        tag_.name = hold(xml.name());
        tag_.uri = hold(xml.namespaceUri());
        tag_.attributes.clear();
        for (const QXmlStreamAttribute& a : xml.attributes())
            tag_.attributes.push_back({ hold(a.namespaceUri()), hold(a.name()), hold(a.value()) });
        tag_.declarations.clear();
        if (!sawRoot_)
            for (const QXmlStreamNamespaceDeclaration& d : xml.namespaceDeclarations())
                tag_.declarations.emplace_back(hold(d.prefix()), hold(d.namespaceUri()));
        return tag_;
    }

    // The tokens of an element skipped whole.
    bool skipped(bool opens, bool closes)
    {
        if (skipping_ == 0) return false;
        if (opens) ++skipping_;
        if (closes) --skipping_;
        return true;
    }

    // An error at the parser's place in the whole text; read as it comes,
    // the text is read whole to say it there.
    [[noreturn]] void fail(const std::string& what) const
    {
        if (xml_) throw Error(error(*xml_, what));
        throw ReadFileWhole();
    }

    static constexpr size_t ChunkBytes = size_t(1) << 18;

    struct Paragraph {
        size_t start = 0, tagEnd = 0, end = 0;
    };
    struct Node {
        double begin = 0, end = Unbounded;
        bool sequence = false;
        double cursor = 0; // of a seq container: where its next child starts
        StyleSet style;
        bool preserve = false;
    };

    size_t byteAt(qint64 offset)
    {
        if (offset > mappedChars_) {
            mappedBytes_ += static_cast<size_t>(q_->mid(mappedChars_, offset - mappedChars_).toUtf8().size());
            mappedChars_ = offset;
        }
        return mappedBytes_;
    }

    // The start tag of the element the reader has just read: the reader may
    // have looked a character past where it stood, so it is found in the text.
    Paragraph startTag(size_t near) const
    {
        Paragraph p;
        p.start = text_.rfind('<', std::min(near, text_.size() - 1));
        char quote = 0;
        for (size_t i = p.start; i < text_.size(); ++i) {
            const char c = text_[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                p.tagEnd = i + 1;
                break;
            }
        }
        return p;
    }

    std::optional<double> time(std::string_view text) const
    {
        if (text.empty()) return std::nullopt;
        // Trimmed as Qt trims: what it trims starts and ends with bytes other than these.
        const auto bare = [](char c) { return static_cast<unsigned char>(c) - 0x21u < 0x5Fu; };
        if (!bare(text.front()) || !bare(text.back())) return trimmedTime(text);
        const std::optional<double> s = TtmlSeconds(text, timing_);
        if (!s) fail("'" + std::string(text) + "' is not a time expression");
        return s;
    }

    std::optional<double> trimmedTime(std::string_view text) const
    {
        // ASCII white space here, any other through Qt.
        std::string_view trimmed = text;
        std::string wide;
        if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            wide = qstring(text).trimmed().toStdString();
            trimmed = wide;
        } else {
            const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
            while (!trimmed.empty() && space(trimmed.front()))
                trimmed.remove_prefix(1);
            while (!trimmed.empty() && space(trimmed.back()))
                trimmed.remove_suffix(1);
        }
        const std::optional<double> s = TtmlSeconds(trimmed, timing_);
        if (!s) fail("'" + std::string(text) + "' is not a time expression");
        return s;
    }

    StyleSet styleOf(std::string_view references, int depth = 0) const
    {
        StyleSet set;
        if (depth > 16) return set;
        while (!references.empty()) {
            const size_t space = references.find(' ');
            const std::string_view id = references.substr(0, space);
            references.remove_prefix(space == std::string_view::npos ? references.size() : space + 1);
            if (id.empty()) continue;
            if (const auto found = styles_.find(id); found != styles_.end()) {
                set.over(styleOf(found->second.first, depth + 1));
                set.over(found->second.second);
            }
        }
        return set;
    }

    void parameters(const std::vector<XmlAttribute>& a)
    {
        const QString rate = qstring(attribute(a, Space::Parameter, "frameRate"));
        const QString multiplier = qstring(attribute(a, Space::Parameter, "frameRateMultiplier"));
        const QString subFrames = qstring(attribute(a, Space::Parameter, "subFrameRate"));
        const QString ticks = qstring(attribute(a, Space::Parameter, "tickRate"));
        double frameRate = rate.isEmpty() ? 30 : std::max(rate.toDouble(), 1.0);
        const QStringList ratio = multiplier.split(u' ', Qt::SkipEmptyParts);
        if (ratio.size() == 2 && ratio[0].toDouble() > 0 && ratio[1].toDouble() > 0)
            frameRate = frameRate * ratio[0].toDouble() / ratio[1].toDouble();
        timing_.frameRate = frameRate;
        timing_.subFrameRate = subFrames.isEmpty() ? 1 : std::max(subFrames.toDouble(), 1.0);
        timing_.tickRate = !ticks.isEmpty() ? std::max(ticks.toDouble(), 1.0)
            : !rate.isEmpty()               ? frameRate * timing_.subFrameRate
                                            : 1;
        frameRateGiven_ = !rate.isEmpty();
        // Rates no film has would only turn times into nonsense (or overflow them).
        const auto within = [](double v, double most) { return std::isfinite(v) && v <= most; };
        if (!within(timing_.frameRate, 1000) || !within(timing_.subFrameRate, 1000))
            fail("the frame rate (ttp:frameRate " + rate.toStdString() + ", ttp:frameRateMultiplier "
                + multiplier.toStdString() + ", ttp:subFrameRate " + subFrames.toStdString()
                + ") is not one of 1 to 1000 frames a second");
        if (!within(timing_.tickRate, 1e12))
            fail("the tick rate (ttp:tickRate " + ticks.toStdString() + ") is not one of 1 to 10^12 ticks a second");
    }

    void start(const XmlStartTag& tag)
    {
        const std::string_view name = tag.name;
        const std::vector<XmlAttribute>& a = tag.attributes;
        if (!sawRoot_) {
            if (name != "tt" || !isTtNamespace(tag.uri))
                fail("the document's root is " + std::string(tag.qualifiedName) + ", not tt");
            sawRoot_ = true;
            parameters(a);
            for (const auto& [prefix, uri] : tag.declarations)
                if (uri == StylingNamespace) stylingPrefix_ = std::string(prefix);
            nodes_.push_back(Node());
            return;
        }
        if (!isTtNamespace(tag.uri)) {
            skipping_ = 1;
            return;
        }
        if (same(name, "head")) {
            inHead_ = true;
            nodes_.push_back(nodes_.back());
            return;
        }
        if (inHead_) {
            if (same(name, "style")) {
                const std::string_view id = attribute(a, Space::Xml, "id");
                if (!id.empty()) styles_[std::string(id)] = { std::string(plainAttribute(a, "style")), inlineStyle(a) };
            }
            nodes_.push_back(nodes_.back());
            return;
        }
        if (paragraph_ && (same(name, "set") || same(name, "metadata"))) {
            skipping_ = 1;
            return;
        }
        if (paragraph_ && same(name, "br")) {
            runs_.add(true).style = {};
            nodes_.push_back(nodes_.back());
            return;
        }
        const Timed timed(a);
        Node& parent = nodes_.back();
        Node node;
        node.style = parent.style;
        if (!timed.style.empty()) node.style.over(styleOf(timed.style));
        node.style.over(timed.inline_);
        // White is every player's own colour: the body's or a division's is no markup.
        if ((same(name, "body") || same(name, "div")) && node.style.colour
            && ColourRgb(*node.style.colour) == 0xFFFFFFu)
            node.style.colour.reset();
        const std::string_view space = timed.space;
        node.preserve = space.empty() ? parent.preserve : space == "preserve";
        const Times times = timesOf(parent, timed);
        node.begin = times.begin;
        node.end = times.end;
        node.sequence = timed.timeContainer == "seq";
        node.cursor = node.begin;
        if (same(name, "p") && !paragraph_) {
            requireEnd(node.end);
            paragraph_ = true;
            runs_.clear();
            if (keeping_) current_ = startTag(byteAt(before_));
            parentBegin_ = times.base;
            if (keeping_) {
                beginText_ = timed.begin;
                endKind_ = times.endGiven ? "end" : times.durGiven ? "dur" : "";
            }
            if (pPrefix_.empty() && !tag.prefix.empty()) pPrefix_ = std::string(tag.prefix) + ":";
        }
        nodes_.push_back(std::move(node));
    }

    void end(std::string_view name, std::string_view uri)
    {
        if (nodes_.size() <= 1) return;
        const Node node = std::move(nodes_.back());
        nodes_.pop_back();
        if (same(name, "head")) inHead_ = false;
        if (nodes_.back().sequence) nodes_.back().cursor = node.end;
        if (paragraph_ && same(name, "p") && isTtNamespace(uri)) {
            paragraph_ = false;
            if (keeping_) current_.end = byteAt(xml_->characterOffset());
            const auto [from, to] = paragraphFrames(node.begin, node.end);
            if (keeping_) paragraphs_.push_back(current_);
            ++paragraphCount_;
            storeRow(from, to);
        }
    }

    // What start() and end() do for a paragraph whose parent and own style
    // are none and whose spaces are not kept (a plain element has no
    // prefixed attribute, so no inline style and no xml:space).
    bool plainRow()
    {
        Node& parent = nodes_.back();
        if (parent.preserve || !parent.style.plain()) return false;
        const Timed timed(plain_.tag.attributes);
        if (!timed.style.empty() && !styleOf(timed.style).plain()) return false;
        const Times times = timesOf(parent, timed);
        requireEnd(times.end);
        parentBegin_ = times.base;
        if (parent.sequence) parent.cursor = times.end;
        const auto [from, to] = paragraphFrames(times.begin, times.end);
        ++paragraphCount_;
        runs_.buildPlain(plain_.texts);
        storeLines(from, to);
        return true;
    }

    // An element's times, from its parent's and its own attributes.
    struct Times {
        double base, begin, end;
        bool endGiven, durGiven;
    };
    Times timesOf(const Node& parent, const Timed& timed) const
    {
        const double base = parent.sequence ? parent.cursor : parent.begin;
        const std::optional<double> begin = time(timed.begin);
        const std::optional<double> endTime = time(timed.end);
        const std::optional<double> dur = time(timed.dur);
        const double from = base + begin.value_or(0);
        const double to = endTime ? base + *endTime : dur ? from + *dur : parent.end;
        return { base, from, std::min(to, parent.end), endTime.has_value(), dur.has_value() };
    }
    void requireEnd(double end) const
    {
        if (!std::isfinite(end)) fail("the paragraph has no end: no end or dur of its own or of an element around it");
    }
    std::pair<int64_t, int64_t> paragraphFrames(double begin, double end) const
    {
        const std::optional<int64_t> from = frameAtRate(begin, rate_), to = frameAtRate(end, rate_);
        if (!from || !to) fail("the paragraph's times are beyond what a subtitle's frames can hold");
        return { *from, *to };
    }

    void characters(std::string_view text, bool plain = false)
    {
        const Node& node = nodes_.back();
        Run& run = runs_.add(false);
        run.style = node.style;
        if (node.preserve || plain)
            run.text.assign(text);
        else
            collapse(text, run.text);
    }

    void storeRow(int64_t fromFrame, int64_t toFrame)
    {
        runs_.build();
        storeLines(fromFrame, toFrame);
    }

    void storeLines(int64_t fromFrame, int64_t toFrame)
    {
        const std::string_view lines[3] = { runs_.line(0), runs_.line(1), runs_.line(2) };
        const IntText fromText(fromFrame), toText(toFrame);
        const std::string_view from = fromText.view(), to = toText.view();
        if (passages_) {
            // The first row tells the writer the rows' text goes with them, and the file's form so far.
            if (rows_ == 0) table_.setDocumentData(JoinKept(Tag, { PassagesLine }, form()));
            // The hidden cell as JoinKept makes it: the passage held after its tag's line.
            StoreRow(table_, row_, from, to, lines[0], lines[1], lines[2], passage_);
            passage_.resize(Tag.size() + 1);
            ++rows_;
            return;
        }
        // Only a save as TTML looks at what the row kept of its paragraph.
        if (!keeping_) {
            StoreRow(table_, row_, from, to, lines[0], lines[1], lines[2]);
            ++rows_;
            return;
        }
        const std::string index = std::to_string(paragraphCount_ - 1);
        const std::string print = CellsFingerprint({ lines[0], lines[1], lines[2] });
        const std::string parent = seconds17(parentBegin_);
        StoreRow(table_, row_, from, to, lines[0], lines[1], lines[2],
            JoinKept(Tag, { index, print, from, to, parent, beginText_, endKind_, documentPrint_ }));
        ++rows_;
    }

    void keepDocument()
    {
        if (!open_ || rows_ == 0) return;
        std::vector<std::string> offsets;
        for (const Paragraph& p : paragraphs_)
            offsets.push_back(std::to_string(p.start) + " " + std::to_string(p.tagEnd) + " " + std::to_string(p.end));
        std::vector<std::string_view> doc;
        std::string count;
        AppendLineGroup(doc, count, offsets);
        const std::string timing = seconds17(timing_.frameRate) + " " + seconds17(timing_.subFrameRate) + " "
            + seconds17(timing_.tickRate) + (frameRateGiven_ ? " 1" : " 0");
        doc.push_back(timing);
        doc.push_back(pPrefix_);
        doc.push_back(stylingPrefix_);
        // Every line, a last empty one too: the writer joins them into this text again.
        AppendLines(doc, text_);
        table_.setDocumentData(JoinKept(Tag, doc, form_));
    }

    SubtitleTable& table_;
    int row_;
    double rate_; // exact
    bool open_;
    std::string text_;
    FileForm form_;
    const QString* q_ = nullptr;
    const QXmlStreamReader* xml_ = nullptr;
    LineReader* lines_ = nullptr;
    bool passages_ = false;
    // The text read since the last row stored, after the tag's line.
    std::string passage_ = std::string(Tag) + '\n';
    std::string_view passage() const { return std::string_view(passage_).substr(Tag.size() + 1); }
    FileForm form() const { return { lines_->byteOrderMark(), lines_->lineFeedsOnly() }; }
    qint64 before_ = 0;
    XmlStartTag tag_;
    XmlPlainElement plain_;
    XmlStartTag lineBreak_ { "br", {}, "br", {}, {}, {} };
    std::deque<std::string> held_;
    qint64 mappedChars_ = 0;
    size_t mappedBytes_ = 0;
    TtmlTiming timing_;
    bool frameRateGiven_ = false;
    std::vector<Node> nodes_;
    std::map<std::string, std::pair<std::string, StyleSet>, std::less<>> styles_;
    bool sawRoot_ = false, inHead_ = false, paragraph_ = false;
    RunLines runs_;
    Paragraph current_;
    std::vector<Paragraph> paragraphs_;
    size_t paragraphCount_ = 0;
    bool keeping_ = true, styledHead_ = false;
    int skipping_ = 0; // the depth inside an element skipped
    double parentBegin_ = 0;
    std::string beginText_, endKind_, pPrefix_, stylingPrefix_, documentPrint_;
    int rows_ = 0;
};

// Runs with nothing to escape go in whole.
void appendEscaped(std::string& out, std::string_view text)
{
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '&' && c != '<' && c != '>') continue;
        out.append(text.data() + from, i - from);
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;";
        from = i + 1;
    }
    out.append(text.data() + from, text.size() - from);
}

// A row's lines (Line 3 holds more after "\N") as p content: spans for the
// markup. Its rooms are used again row after row: a writer of 10^6 rows
// spent most of its time making and dropping small strings and vectors.
class ContentWriter {
public:
    void append(
        std::string& out, const SubtitleTable& table, int row, std::string_view prefix, std::string_view styling)
    {
        TextLines(table.cell(SubtitleTable::Line1, row), table.cell(SubtitleTable::Line2, row),
            table.cell(SubtitleTable::Line3, row), lines_);
        while (lines_.size() > 1 && lines_.back().empty())
            lines_.pop_back();
        open_.clear();
        colours_.clear();
        for (size_t i = 0; i < lines_.size(); ++i) {
            if (i) {
                out += '<';
                out += prefix;
                out += "br/>";
            }
            const std::string_view line = lines_[i];
            if (MayHoldMarkup(line))
                marked(out, line, prefix, styling);
            else
                appendEscaped(out, line);
        }
        for (size_t k = 0; k < open_.size(); ++k)
            closeSpan(out, prefix);
    }

private:
    void marked(std::string& out, std::string_view line, std::string_view prefix, std::string_view styling)
    {
        for (const MarkupPiece& piece : SplitMarkup(line)) {
            switch (piece.kind) {
            case MarkupPiece::Text:
                appendEscaped(out, piece.text);
                break;
            case MarkupPiece::ItalicOn:
            case MarkupPiece::BoldOn:
            case MarkupPiece::UnderlineOn:
            case MarkupPiece::ColourOn:
                openSpan(out, piece.kind, piece.text, prefix, styling);
                open_.push_back(piece.kind);
                if (piece.kind == MarkupPiece::ColourOn) colours_.push_back(piece.text);
                break;
            case MarkupPiece::ItalicOff:
            case MarkupPiece::BoldOff:
            case MarkupPiece::UnderlineOff:
            case MarkupPiece::ColourOff: {
                const auto kind = static_cast<MarkupPiece::Kind>(piece.kind - 1);
                const auto at = std::find(open_.rbegin(), open_.rend(), kind);
                if (at == open_.rend()) break;
                // Spans opened inside the one that ends close and open again after it.
                reopen_.assign(open_.rbegin(), at);
                for (size_t k = 0; k <= reopen_.size(); ++k)
                    closeSpan(out, prefix);
                open_.erase(std::next(at).base(), open_.end());
                if (kind == MarkupPiece::ColourOn && !colours_.empty()) colours_.pop_back();
                for (auto k = reopen_.rbegin(); k != reopen_.rend(); ++k) {
                    openSpan(out, *k, *k == MarkupPiece::ColourOn && !colours_.empty() ? colours_.back() : "", prefix,
                        styling);
                    open_.push_back(*k);
                }
                break;
            }
            default:
                break;
            }
        }
    }

    static void openSpan(std::string& out, MarkupPiece::Kind kind, std::string_view colour, std::string_view prefix,
        std::string_view styling)
    {
        out += '<';
        out += prefix;
        out += "span";
        if (styling.empty()) {
            out += " xmlns:tts=\"";
            out += StylingNamespace;
            out += "\" tts:";
        } else {
            out += ' ';
            out += styling;
            out += ':';
        }
        if (kind == MarkupPiece::ItalicOn) {
            out += "fontStyle=\"italic\"";
        } else if (kind == MarkupPiece::BoldOn) {
            out += "fontWeight=\"bold\"";
        } else if (kind == MarkupPiece::UnderlineOn) {
            out += "textDecoration=\"underline\"";
        } else {
            out += "color=\"";
            appendEscaped(out, colour);
            out += '"';
        }
        out += '>';
    }
    static void closeSpan(std::string& out, std::string_view prefix)
    {
        out += "</";
        out += prefix;
        out += "span>";
    }

    std::vector<std::string_view> lines_, colours_;
    std::vector<MarkupPiece::Kind> open_, reopen_;
};

std::string content(const SubtitleTable& table, int row, const std::string& prefix, const std::string& styling)
{
    std::string out;
    ContentWriter().append(out, table, row, prefix, styling);
    return out;
}

void appendTwo(std::string& out, int64_t v)
{
    if (v >= 0 && v < 100) {
        const char digits[2] = { static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10) };
        out.append(digits, 2);
    } else {
        AppendInt(out, v, 2);
    }
}

// Four fields of two digits between separators, in one append when each fits.
void appendClock(std::string& out, int64_t a, int64_t b, int64_t c, char separator, int64_t d, int lastDigits = 2)
{
    if (a >= 0 && a < 100 && b >= 0 && b < 100 && c >= 0 && c < 100 && d >= 0 && d < (lastDigits == 2 ? 100 : 1000)) {
        char text[12] = { static_cast<char>('0' + a / 10), static_cast<char>('0' + a % 10), ':',
            static_cast<char>('0' + b / 10), static_cast<char>('0' + b % 10), ':', static_cast<char>('0' + c / 10),
            static_cast<char>('0' + c % 10), separator };
        size_t size = 9;
        if (lastDigits == 3) text[size++] = static_cast<char>('0' + d / 100);
        text[size++] = static_cast<char>('0' + d / 10 % 10);
        text[size++] = static_cast<char>('0' + d % 10);
        out.append(text, size);
        return;
    }
    appendTwo(out, a);
    out += ':';
    appendTwo(out, b);
    out += ':';
    appendTwo(out, c);
    out += separator;
    AppendInt(out, d, lastDigits);
}

// Seconds as a clock time with frames at the rate in effect: the frames after
// the whole second, chosen so that the time stands for the frame it came from.
void appendClockWithFrames(std::string& out, int64_t frame, double rate, int base)
{
    int64_t second = 0, frames = 0;
    if (rate == base && frame >= 0 && frame < (int64_t(1) << 40)) {
        // A whole rate: the same second and frame in integers.
        second = frame / base;
        frames = frame % base;
    } else {
        // A damaged file's frame rate may make a time no clock holds: kept in range.
        double whole = std::floor(static_cast<double>(frame) / rate);
        if (!std::isfinite(whole)) whole = 0;
        second = static_cast<int64_t>(std::clamp(whole, -9.0e15, 9.0e15));
        frames = std::llround(static_cast<double>(frame) - second * rate);
        if (frames >= base) {
            ++second;
            frames = std::max<int64_t>(std::llround(static_cast<double>(frame) - second * rate), 0);
        }
    }
    appendClock(out, second / 3600, second / 60 % 60, second % 60, ':', frames);
}

std::string clockWithFrames(int64_t frame, double rate, int base)
{
    std::string out;
    appendClockWithFrames(out, frame, rate, base);
    return out;
}

void appendClockWithFraction(std::string& out, double seconds)
{
    const int64_t ms = std::llround(std::max(seconds, 0.0) * 1000);
    appendClock(out, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, '.', ms % 1000, 3);
}

std::string clockWithFraction(double seconds)
{
    std::string out;
    appendClockWithFraction(out, seconds);
    return out;
}

std::string trimmedNumber(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.3f", v);
    std::string s = text;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

// A time of `seconds` in the form `model` was written in.
std::string timeLike(std::string_view model, double seconds, const TtmlTiming& timing)
{
    seconds = std::max(seconds, 0.0);
    const auto endsWith
        = [&](std::string_view s) { return model.size() > s.size() && model.substr(model.size() - s.size()) == s; };
    if (model.find(':') != std::string_view::npos) {
        if (std::count(model.begin(), model.end(), ':') == 3) {
            const double rate = timing.frameRate;
            const int base = static_cast<int>(std::ceil(rate - 1e-9));
            return clockWithFrames(std::llround(seconds * rate), rate, base);
        }
        return clockWithFraction(seconds);
    }
    if (endsWith("ms")) return std::to_string(std::llround(seconds * 1000)) + "ms";
    if (endsWith("t")) return std::to_string(std::llround(seconds * timing.tickRate)) + "t";
    if (endsWith("f")) return std::to_string(std::llround(seconds * timing.frameRate)) + "f";
    if (endsWith("s") || endsWith("m") || endsWith("h")) return trimmedNumber(seconds) + "s";
    return clockWithFraction(seconds);
}

// The start tag with the attribute set to `value` (added when it has none).
std::string withAttribute(std::string tag, std::string_view name, const std::string& value)
{
    for (size_t at = tag.find(name); at != std::string::npos; at = tag.find(name, at + 1)) {
        const char before = at ? tag[at - 1] : ' ';
        if (before != ' ' && before != '\t' && before != '\n') continue;
        size_t i = at + name.size();
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n'))
            ++i;
        if (i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n'))
            ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) continue;
        const size_t close = tag.find(tag[i], i + 1);
        if (close == std::string::npos) break;
        return tag.replace(i + 1, close - i - 1, value);
    }
    const size_t end = tag.size() >= 2 && tag[tag.size() - 2] == '/' ? tag.size() - 2 : tag.size() - 1;
    return tag.insert(end, " " + std::string(name) + "=\"" + value + "\"");
}

// The value of the attribute `name` in the start tag `tag`, as written.
std::optional<std::string_view> attributeValue(std::string_view tag, std::string_view name)
{
    for (size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
        const char before = at ? tag[at - 1] : ' ';
        if (before != ' ' && before != '\t' && before != '\n' && before != '\r') continue;
        size_t i = tag.find_first_not_of(" \t\r\n", at + name.size());
        if (i == std::string_view::npos || tag[i] != '=') continue;
        i = tag.find_first_not_of(" \t\r\n", i + 1);
        if (i == std::string_view::npos || (tag[i] != '"' && tag[i] != '\'')) continue;
        const size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos) return std::nullopt;
        return tag.substr(i + 1, close - i - 1);
    }
    return std::nullopt;
}

// The start tag of a span around the whole of a paragraph's `content`, or "".
std::string_view wrappingSpan(std::string_view content, const std::string& prefix)
{
    const std::string open = "<" + prefix + "span", close = "</" + prefix + "span";
    const auto tagEnd = [&](size_t from) {
        char quote = 0;
        for (size_t i = from; i < content.size(); ++i) {
            const char c = content[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return i + 1;
            }
        }
        return std::string_view::npos;
    };
    const auto isTag = [&](size_t at, const std::string& name) {
        return content.compare(at, name.size(), name) == 0 && at + name.size() < content.size()
            && std::string_view(" \t\r\n/>").find(content[at + name.size()]) != std::string_view::npos;
    };
    const size_t start = content.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || !isTag(start, open)) return {};
    const size_t startEnd = tagEnd(start);
    if (startEnd == std::string_view::npos || content[startEnd - 2] == '/') return {};
    int depth = 1;
    for (size_t at = content.find('<', startEnd); at != std::string_view::npos; at = content.find('<', at + 1)) {
        if (content.compare(at, 4, "<!--") == 0) {
            at = content.find("-->", at);
            if (at == std::string_view::npos) return {};
            continue;
        }
        const size_t end = tagEnd(at);
        if (end == std::string_view::npos) return {};
        if (isTag(at, close) && --depth == 0)
            return content.find_first_not_of(" \t\r\n", end) == std::string_view::npos
                ? content.substr(start, startEnd - start)
                : std::string_view();
        if (isTag(at, open) && content[end - 2] != '/') ++depth;
        at = end - 1;
    }
    return {};
}

class DocumentWriter {
public:
    DocumentWriter(const SubtitleTable& table, const std::vector<std::string_view>& doc, const WriteContext& context)
        : table_(table)
        , framerate_(context.framerate)
    {
        size_t index = 0;
        for (std::string_view line : ReadLineGroup(doc, index)) {
            size_t s = 0, t = 0, e = 0;
            std::sscanf(std::string(line).c_str(), "%zu %zu %zu", &s, &t, &e);
            paragraphs_.push_back({ s, t, e });
        }
        double fr = 30, sf = 1, tr = 1;
        std::sscanf(std::string(KeptLine(doc, index)).c_str(), "%lf %lf %lf", &fr, &sf, &tr);
        // Damaged kept data gets the rates the reader allows, not an overflow.
        const auto bounded = [](double v, double most, double otherwise) {
            return std::isfinite(v) ? std::clamp(v, 1.0, most) : otherwise;
        };
        timing_ = { bounded(fr, 1000, 30), bounded(sf, 1000, 1), bounded(tr, 1e12, 1) };
        prefix_ = KeptLine(doc, index + 1);
        styling_ = KeptLine(doc, index + 2);
        for (size_t i = index + 3; i < doc.size(); ++i) {
            if (i > index + 3) text_ += '\n';
            text_ += doc[i];
        }
        documentPrint_ = CellsFingerprint({ text_ });
        for (const Paragraph& p : paragraphs_)
            if (p.start > p.tagEnd || p.tagEnd > p.end || p.end > text_.size()) valid_ = false;
    }
    bool valid() const { return valid_; }

    void write(int firstRow, int lastRow, TextSink& out)
    {
        std::string result;
        size_t cur = 0, next = 0; // in the text; the next p not yet handled
        int anchor = -1;
        std::vector<int> waiting; // new rows before any kept one
        const auto skipTo = [&](size_t index) {
            for (; next < index; ++next) {
                result.append(text_, cur, paragraphs_[next].start - cur);
                cur = paragraphs_[next].end;
            }
        };
        for (int row = firstRow; row <= lastRow; ++row) {
            std::vector<std::string_view> kept;
            int index = -1;
            if (SplitKept(table_.cell(SubtitleTable::Extra, row), Tag, kept)
                && KeptLine(kept, DocumentLine) == documentPrint_)
                index = TryStrToInt(KeptLine(kept, IndexLine)).value_or(-1);
            if (index > anchor && index < static_cast<int>(paragraphs_.size())) {
                skipTo(static_cast<size_t>(index));
                const Paragraph& p = paragraphs_[static_cast<size_t>(index)];
                result.append(text_, cur, p.start - cur);
                for (int w : waiting)
                    result += fresh(w, kept) + indentBefore(p.start);
                waiting.clear();
                result += keptParagraph(row, kept, p);
                cur = p.end;
                next = static_cast<size_t>(index) + 1;
                anchor = index;
                anchorKept_ = kept;
                anchorStart_ = p.start;
            } else if (anchor >= 0) {
                result += indentBefore(anchorStart_) + fresh(row, anchorKept_);
            } else {
                waiting.push_back(row);
            }
        }
        if (!waiting.empty() && !paragraphs_.empty()) {
            result.append(text_, cur, paragraphs_[next].start - cur);
            cur = paragraphs_[next].start;
            for (size_t i = 0; i < waiting.size(); ++i)
                result += (i ? indentBefore(cur) : "") + fresh(waiting[i], {});
            result += indentBefore(cur);
        }
        skipTo(paragraphs_.size());
        result.append(text_, cur, std::string::npos);
        std::vector<std::string_view> lines;
        AppendLines(lines, result);
        for (const std::string_view line : lines)
            out.line(line);
    }

private:
    struct Paragraph {
        size_t start, tagEnd, end;
    };

    // A line feed and the blanks before the p at `at` on its line.
    std::string indentBefore(size_t at) const
    {
        size_t begin = at;
        while (begin > 0 && (text_[begin - 1] == ' ' || text_[begin - 1] == '\t'))
            --begin;
        return "\n" + text_.substr(begin, at - begin);
    }

    std::string times(std::string tag, int row, const std::vector<std::string_view>& kept) const
    {
        const double parent = kept.size() > ParentLine ? number(KeptLine(kept, ParentLine)) : 0;
        const std::string_view model = KeptLine(kept, FormLine);
        const double begin = secondsOf(FrameOfCell(table_.cell(SubtitleTable::From, row)), framerate_);
        const double end = secondsOf(FrameOfCell(table_.cell(SubtitleTable::To, row)), framerate_);
        tag = withAttribute(tag, "begin", timeLike(model, begin - parent, timing_));
        if (KeptLine(kept, EndKindLine) == "dur")
            return withAttribute(tag, "dur", timeLike(model, end - begin, timing_));
        return withAttribute(tag, "end", timeLike(model, end - parent, timing_));
    }

    std::string keptParagraph(int row, const std::vector<std::string_view>& kept, const Paragraph& p) const
    {
        const bool sameTimes = table_.cell(SubtitleTable::From, row) == KeptLine(kept, FromLine)
            && table_.cell(SubtitleTable::To, row) == KeptLine(kept, ToLine);
        const bool sameText = CellsFingerprint({ table_.cell(SubtitleTable::Line1, row),
                                  table_.cell(SubtitleTable::Line2, row), table_.cell(SubtitleTable::Line3, row) })
            == KeptLine(kept, PrintLine);
        if (sameTimes && sameText) return text_.substr(p.start, p.end - p.start);
        std::string tag = text_.substr(p.start, p.tagEnd - p.start);
        if (!sameTimes) tag = times(tag, row, kept);
        if (sameText) return tag + text_.substr(p.tagEnd, p.end - p.tagEnd);
        if (tag.size() >= 2 && tag[tag.size() - 2] == '/') tag.erase(tag.size() - 2, 1);
        // A span around the whole text that names its region (as ffmpeg
        // writes) stays: without a region the paragraph would not be shown.
        std::string text = content(table_, row, prefix_, styling_);
        const size_t endTag = p.end > p.tagEnd ? text_.rfind('<', p.end - 1) : std::string::npos;
        const std::string_view around = endTag == std::string::npos || endTag < p.tagEnd
            ? std::string_view()
            : wrappingSpan(std::string_view(text_).substr(p.tagEnd, endTag - p.tagEnd), prefix_);
        if (const std::optional<std::string_view> region = attributeValue(around, "region"))
            text = "<" + prefix_ + "span region=\"" + std::string(*region) + "\">" + text + "</" + prefix_ + "span>";
        return tag + text + "</" + prefix_ + "p>";
    }

    // A p of a row that has none in the document, timed as its neighbour is.
    std::string fresh(int row, const std::vector<std::string_view>& neighbour) const
    {
        std::vector<std::string_view> kept = { "", "", "", "", KeptLine(neighbour, ParentLine),
            KeptLine(neighbour, FormLine), KeptLine(neighbour, EndKindLine) == "dur" ? "dur" : "end" };
        const std::string tag = times("<" + prefix_ + "p>", row, kept);
        return tag + content(table_, row, prefix_, styling_) + "</" + prefix_ + "p>";
    }

    const SubtitleTable& table_;
    double framerate_;
    std::vector<Paragraph> paragraphs_;
    TtmlTiming timing_;
    std::string prefix_, styling_, text_, documentPrint_;
    bool valid_ = true;
    std::vector<std::string_view> anchorKept_;
    size_t anchorStart_ = 0;
};

// The text of rows read as they came, written again as it was: what the
// document writer writes of paragraphs no one edited.
class PassageWriter : public RowWriter {
public:
    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        for (int row = firstRow; row <= lastRow; ++row) {
            const std::string_view kept = table.cell(SubtitleTable::Extra, row);
            if (IsKeptBy(kept, Tag) && kept.size() > Tag.size()) put(kept.substr(Tag.size() + 1), out);
        }
    }
    void finish(const SubtitleTable& table, TextSink& out) override
    {
        const std::string_view data = table.documentData();
        const size_t tail = data.find('\n', data.find('\n') + 1);
        if (tail != std::string_view::npos) put(data.substr(tail + 1), out);
        out.line(partial_);
    }

private:
    void put(std::string_view text, TextSink& out)
    {
        for (size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1)) {
            if (partial_.empty()) {
                out.line(text.substr(0, end));
            } else {
                partial_.append(text, 0, end);
                out.line(partial_);
                partial_.clear();
            }
        }
        partial_.append(text);
    }

    std::string partial_; // a line the next row's text goes on with
};

// A document of the IMSC 1.1 Text profile: one style, one region, clock
// times with frames at the framerate in effect.
class ImscWriter : public RowWriter {
public:
    ImscWriter(double framerate, TextSink& out);
    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override;
    void finish(const SubtitleTable&, TextSink& out) override
    {
        for (const char* line : { "    </div>", "  </body>", "</tt>" })
            out.line(line);
    }

private:
    double framerate_;
    int base_ = 0;
    double rate_;
    // Rows go out a piece at a time through these rooms.
    std::string text_;
    ContentWriter content_;
};

ImscWriter::ImscWriter(double framerate, TextSink& out)
    : framerate_(framerate)
{
    int& base = base_;
    bool dropped = false;
    rate_ = exactRate(framerate, &base, &dropped);
    std::string tt = "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\" "
                     "xmlns:tts=\"http://www.w3.org/ns/ttml#styling\" xml:lang=\"und\" "
                     "ttp:contentProfiles=\"http://www.w3.org/ns/ttml/profile/imsc1.1/text\" ttp:timeBase=\"media\"";
    if (base) tt += " ttp:frameRate=\"" + std::to_string(base) + "\"";
    if (dropped) tt += " ttp:frameRateMultiplier=\"1000 1001\"";
    out.line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    out.line(tt + ">");
    for (const char* line : { "  <head>", "    <styling>",
             "      <style xml:id=\"s1\" tts:color=\"white\" tts:fontFamily=\"proportionalSansSerif\" "
             "tts:fontSize=\"100%\" tts:textAlign=\"center\"/>",
             "    </styling>", "    <layout>",
             "      <region xml:id=\"r1\" tts:origin=\"10% 10%\" tts:extent=\"80% 80%\" tts:displayAlign=\"after\"/>",
             "    </layout>", "  </head>", "  <body style=\"s1\" region=\"r1\">", "    <div>" })
        out.line(line);
}

void ImscWriter::rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out)
{
    const auto clock = [&](int64_t frame) {
        if (base_)
            appendClockWithFrames(text_, std::max<int64_t>(frame, 0), rate_, base_);
        else
            appendClockWithFraction(text_, secondsOf(frame, framerate_));
    };
    text_.clear();
    for (int row = firstRow; row <= lastRow; ++row) {
        const int64_t from = FrameOfCell(table.cell(SubtitleTable::From, row));
        const int64_t to = FrameOfCell(table.cell(SubtitleTable::To, row));
        text_ += "      <p begin=\"";
        clock(from);
        text_ += "\" end=\"";
        clock(std::max(to, from));
        text_ += "\">";
        content_.append(text_, table, row, "", "tts");
        text_ += "</p>\r\n";
        if (text_.size() >= (1 << 16)) {
            out.write(text_);
            text_.clear();
        }
    }
    out.write(text_);
    text_.clear();
}

} // namespace

std::optional<double> TtmlSeconds(std::string_view e, const TtmlTiming& timing)
{
    // The usual clock with frames, HH:MM:SS:FF, in whole numbers as below.
    if (e.size() == 11 && e[2] == ':' && e[5] == ':' && e[8] == ':') {
        // Each digit's value, all eight told apart from other bytes at once.
        const auto d = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(e[i])) - '0'; };
        const unsigned h1 = d(0), h2 = d(1), m1 = d(3), m2 = d(4), s1 = d(6), s2 = d(7), f1 = d(9), f2 = d(10);
        if ((h1 < 10) & (h2 < 10) & (m1 < 10) & (m2 < 10) & (s1 < 10) & (s2 < 10) & (f1 < 10) & (f2 < 10))
            return static_cast<double>((h1 * 10 + h2) * 3600 + (m1 * 10 + m2) * 60 + (s1 * 10 + s2))
                + static_cast<double>(f1 * 10 + f2) / timing.frameRate;
    }
    if (e.find(':') != std::string_view::npos) {
        std::string_view parts[4];
        size_t count = 0, from = 0;
        for (size_t i = 0; i < e.size(); ++i) {
            if (e[i] != ':') continue;
            if (count == 3) return std::nullopt;
            parts[count++] = e.substr(from, i - from);
            from = i + 1;
        }
        parts[count++] = e.substr(from);
        if (count < 3 || !digitsOnly(parts[0]) || parts[1].size() != 2 || !digitsOnly(parts[1])) return std::nullopt;
        double seconds = number(parts[0]) * 3600 + number(parts[1]) * 60;
        if (count == 3) {
            if (!isNumber(parts[2]) || parts[2].substr(0, parts[2].find('.')).size() != 2) return std::nullopt;
            return seconds + number(parts[2]);
        }
        if (parts[2].size() != 2 || !digitsOnly(parts[2])) return std::nullopt;
        const size_t dot = parts[3].find('.');
        const std::string_view frames = parts[3].substr(0, dot);
        if (!digitsOnly(frames)) return std::nullopt;
        double f = number(frames);
        if (dot != std::string_view::npos) {
            if (!digitsOnly(parts[3].substr(dot + 1))) return std::nullopt;
            f += number(parts[3].substr(dot + 1)) / timing.subFrameRate;
        }
        return seconds + number(parts[2]) + f / timing.frameRate;
    }
    size_t metric = 0;
    while (metric < e.size() && ((e[metric] >= '0' && e[metric] <= '9') || e[metric] == '.'))
        ++metric;
    const std::string_view count = e.substr(0, metric), unit = e.substr(metric);
    if (!isNumber(count)) return std::nullopt;
    const double v = number(count);
    if (unit == "h") return v * 3600;
    if (unit == "m") return v * 60;
    if (unit == "s") return v;
    if (unit == "ms") return v / 1000;
    if (unit == "f") return v / timing.frameRate;
    if (unit == "t") return v / timing.tickRate;
    return std::nullopt;
}

bool LooksLikeTtml(const DetectionInput& input)
{
    if (HasExtension(input.fileName, ".ttml") || HasExtension(input.fileName, ".dfxp")) return true;
    const std::string_view head = input.head;
    for (size_t at = head.find("<tt"); at != std::string_view::npos; at = head.find("<tt", at + 1)) {
        const char after = at + 3 < head.size() ? head[at + 3] : '\0';
        if (after == ' ' || after == '\n' || after == '\r' || after == '\t' || after == '>')
            return head.find("http://www.w3.org/ns/ttml") != std::string_view::npos
                || head.find("ttaf1") != std::string_view::npos;
    }
    // A prefixed root: <tt:tt xmlns:tt="http://www.w3.org/ns/ttml">.
    return head.find(":tt ") != std::string_view::npos
        && head.find("=\"http://www.w3.org/ns/ttml\"") != std::string_view::npos;
}

namespace {

// Only the document's head holds what other formats leave out.
class LeftOut : public LeftOutCount {
public:
    std::string_view tag() const override { return Tag; }
    void rows(const SubtitleTable&, int, int) override { }
    std::vector<std::string> items(const SubtitleTable& table) const override
    {
        std::vector<std::string_view> doc;
        if (!SplitKept(table.documentData(), Tag, doc)) return {};
        for (std::string_view line : doc)
            if (line.find("styling") != std::string_view::npos || line.find("layout") != std::string_view::npos)
                return { "the styles and regions of the TTML head" };
        return {};
    }
};

} // namespace

std::unique_ptr<LeftOutCount> TtmlLeftOut(std::string_view target)
{
    if (target == Tag) return nullptr;
    return std::make_unique<LeftOut>();
}

std::vector<std::string> TtmlDataLeftOut(const SubtitleTable& table, std::string_view target)
{
    const std::unique_ptr<LeftOutCount> count = TtmlLeftOut(target);
    return count ? count->items(table) : std::vector<std::string>();
}

void ReadTtml(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    Reader(table, firstRow, framerate).read(lines);
}

// A document of the table's own is rewritten as one.
std::unique_ptr<RowWriter> MakeTtmlWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out)
{
    std::vector<std::string_view> doc;
    if (SplitKept(table.documentData(), Tag, doc)) {
        if (!doc.empty() && doc[0] == PassagesLine) return std::make_unique<PassageWriter>();
        return nullptr;
    }
    return std::make_unique<ImscWriter>(context.framerate, out);
}

void WriteTtml(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    std::vector<std::string_view> doc;
    if (SplitKept(table.documentData(), Tag, doc) && !doc.empty() && doc[0] == PassagesLine) {
        PassageWriter writer;
        writer.rows(table, firstRow, lastRow, out);
        return writer.finish(table, out);
    }
    if (SplitKept(table.documentData(), Tag, doc)) {
        DocumentWriter writer(table, doc, context);
        if (writer.valid()) return writer.write(firstRow, lastRow, out);
    }
    ImscWriter writer(context.framerate, out);
    writer.rows(table, firstRow, lastRow, out);
    writer.finish(table, out);
}

} // namespace tessel
