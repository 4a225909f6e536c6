#include "formats/text_file.h"
#include "test_support.h"

#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

// Some 38 bytes a line, with letters beyond ASCII in every one.
std::string lines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "Ligne num\xC3\xA9ro " + std::to_string(i) + " : d\xC3\xA9j\xC3\xA0 vu, \xC3\xA9l\xC3\xA8ve\r\n";
    return text;
}

QByteArray encoded(const std::string& utf8, const char* encoding)
{
    QStringEncoder encoder(encoding);
    return encoder.encode(QString::fromStdString(utf8));
}

} // namespace

// The head is what telling the format reads: whole lines from the start of
// the text, as decoded whole, and not the whole of a big file.
TEST(DecodedText, HeadIsTheStartOfTheWholeTextInEveryEncoding)
{
    const std::string text = lines(10000);
    struct Case {
        const char* label;
        QByteArray bytes;
    };
    const Case cases[] = {
        { "UTF-8", QByteArray::fromStdString(text) },
        { "UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + QByteArray::fromStdString(text) },
        { "UTF-16LE", "\xFF\xFE" + encoded(text, "UTF-16LE") },
        { "UTF-16BE", "\xFE\xFF" + encoded(text, "UTF-16BE") },
        { "Windows-1252", encoded(text, "windows-1252") },
    };
    for (const Case& c : cases) {
        DecodedText decoded(c.bytes);
        const std::string head(decoded.head());
        EXPECT_EQ(decoded.all(), text) << c.label;
        EXPECT_EQ(text.compare(0, head.size(), head), 0) << c.label;
        // Lines of some 64 KiB of the file: fewer characters in UTF-16.
        EXPECT_GT(head.size(), 30u * 1024) << c.label;
        EXPECT_LT(head.size(), 100u * 1024) << c.label;
        EXPECT_EQ(head.back(), '\n') << c.label;
    }
}

TEST(DecodedText, HeadHoldsTheFirstLineHoweverLong)
{
    const std::string first = std::string(200 * 1024, 'x') + "\xC3\xA9\r\n";
    const std::string rest = lines(10);
    const std::string noLineEnd = std::string(200 * 1024, 'y');
    struct Case {
        const char* label;
        QByteArray bytes;
        std::string head;
    };
    const Case cases[] = {
        { "UTF-8", QByteArray::fromStdString(first + rest), first },
        { "UTF-16LE", "\xFF\xFE" + encoded(first + rest, "UTF-16LE"), first },
        { "Windows-1252", encoded(first + rest, "windows-1252"), first },
        { "no line end", QByteArray::fromStdString(noLineEnd), noLineEnd },
    };
    for (const Case& c : cases) {
        DecodedText decoded(c.bytes);
        EXPECT_TRUE(decoded.head() == c.head) << c.label;
    }
}

// A byte-order mark within the text is a character, also where a piece of
// the decoding starts with it; invalid bytes become replacement characters.
TEST(DecodedText, InvalidUtf8AfterAByteOrderMarkDecodesLikeTheWhole)
{
    std::string text = lines(150000);
    text.insert(100, "\xFF");
    text.insert(text.find('\n', 4u << 20) + 1, "\xEF\xBB\xBFmark\r\n"); // where the first 4 MiB piece ends
    const QByteArray bytes = "\xEF\xBB\xBF" + QByteArray::fromStdString(text);
    DecodedText decoded(bytes);
    EXPECT_TRUE(decoded.all() == QString::fromUtf8(bytes.mid(3)).toUtf8().toStdString());
}

// A file read a window at a time (the next window read on the side while
// this one is parsed) gives the text the whole file decodes to, and each
// piece stays as it was while the next is taken: a reader may still hold a
// line of it. Marked UTF-8 with a stray byte late, plain UTF-8 (a line
// longer than the window in it), UTF-16, a code page named.
TEST(FileText, PiecesMakeTheWholeTextAndStayWhileTheNextIsTaken)
{
    const tessel::test::TempDir dir;
    std::string late = lines(3000);
    late.insert(late.size() - 500, "\xE9");
    std::string longLine = lines(2000);
    longLine.insert(longLine.find('\n', 30000) + 1, std::string(9000, 'x') + "\r\n");
    struct Case {
        const char* label;
        QByteArray bytes;
        QByteArray encoding;
    };
    const Case cases[] = {
        { "marked UTF-8, a stray byte late", "\xEF\xBB\xBF" + QByteArray::fromStdString(late), "" },
        { "UTF-8, a line of 9000 bytes", QByteArray::fromStdString(longLine), "" },
        { "UTF-16LE", "\xFF\xFE" + encoded(lines(3000), "UTF-16LE"), "" },
        { "Windows-1252", encoded(lines(3000), "windows-1252"), "windows-1252" },
    };
    for (const Case& c : cases) {
        for (const size_t window : { size_t(700), size_t(4096) }) {
            const std::string path = dir.path("pieces.txt");
            tessel::test::WriteFile(path, c.bytes.toStdString());
            DecodedText whole(c.bytes, path, c.encoding);
            FileText file(path, window);
            ASSERT_TRUE(file.readText(c.encoding, false)) << c.label;
            std::string text, before;
            std::string_view held;
            for (std::string_view piece = file.next(); !piece.empty(); piece = file.next()) {
                EXPECT_TRUE(held == before) << c.label << ", window " << window << ", at " << text.size();
                text += piece;
                before.assign(piece);
                held = piece;
            }
            EXPECT_TRUE(text == whole.all()) << c.label << ", window " << window;
        }
    }
}

namespace {

// Pieces of a text as a file read a window at a time gives them.
class PieceFeed : public TextFeed {
public:
    explicit PieceFeed(std::vector<std::string> pieces)
        : pieces_(std::move(pieces))
    {
    }
    std::string_view next() override { return at_ < pieces_.size() ? std::string_view(pieces_[at_++]) : ""; }

private:
    std::vector<std::string> pieces_;
    size_t at_ = 0;
};

} // namespace

// Where a format lets CR alone end a line: every kind of line end, a line
// feed far after many CRs, and the same text in pieces that end after a
// line feed.
TEST(LineReader, CarriageReturnsAloneEndLinesAsLineFeedsDo)
{
    struct Case {
        const char* label;
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        { "every end", { "a\rb\nc\r\nd\r\re" }, { "a", "b", "c", "d", "", "e" } },
        { "CR only, LF at the end", { "1\r2\r3\r4\r5\n" }, { "1", "2", "3", "4", "5" } },
        { "in pieces", { "x\ry\n", "\r\nz\r\n", "w" }, { "x", "y", "", "z", "w" } },
        { "CR LF across nothing", { "p\r\r\n\nq" }, { "p", "", "", "q" } },
    };
    for (const Case& c : cases) {
        PieceFeed feed(c.pieces);
        LineReader reader(feed);
        reader.setCarriageReturnEnds(true);
        std::vector<std::string> lines;
        while (!reader.atEnd())
            lines.emplace_back(reader.readLine());
        EXPECT_EQ(lines, c.lines) << c.label;
    }
}
