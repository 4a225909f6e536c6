#include "formats/detect.h"

#include "formats/text_file.h"

#include <QByteArray>
#include <QChar>
#include <QFileInfo>
#include <QString>

namespace tessel {
namespace {

bool isDigit(char32_t c) { return c >= '0' && c <= '9'; }

// The code point at byte `i` of a UTF-8 line; moves `i` past it.
char32_t nextCharacter(std::string_view line, size_t& i)
{
    const unsigned char c = static_cast<unsigned char>(line[i]);
    const int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < len && i + k < line.size(); ++k)
        cp = cp << 6 | (line[i + k] & 0x3F);
    i += len;
    return cp;
}

// The first `count` characters (code points) of a UTF-8 line.
std::u32string firstCharacters(std::string_view line, size_t count)
{
    std::u32string out;
    size_t i = 0;
    while (i < line.size() && out.size() < count)
        out += nextCharacter(line, i);
    return out;
}

// The line upper-cased contains "<SAMI>". One code point at a time: the full
// mapping only adds expansions such as "ß" to "SS", none of which can form the
// tag, and expanding them in place takes quadratic time on a long line. No
// character upper-cases to "<", so only the places of a "<" need a look.
bool containsSamiTag(std::string_view line)
{
    static constexpr char32_t Rest[] = U"SAMI>";
    for (size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
        size_t i = at + 1;
        size_t matched = 0;
        while (matched < 5 && i < line.size()) {
            const char32_t c = nextCharacter(line, i);
            const char32_t upper = c < 0x80 ? (c >= 'a' && c <= 'z' ? c - 32 : c) : QChar::toUpper(c);
            if (upper != Rest[matched]) break;
            ++matched;
        }
        if (matched == 5) return true;
    }
    return false;
}

} // namespace

int DetectFormat(std::string_view line, std::string_view fileName)
{
    if (line.empty()) return 0;
    const std::u32string head = firstCharacters(line, 9);
    if (head.size() >= 3 && head[0] == '{' && (head[1] == '-' || isDigit(head[1]))) return 1;
    if (line == "1") return 2;
    if (line.find("[TITLE]") != std::string_view::npos) return 3;
    if (line.find("[INFORMATION]") != std::string_view::npos) return 4;
    if (head[0] == '-') return 5;
    if (containsSamiTag(line)) return 6;
    if (line.find("{HEAD") != std::string_view::npos) return 7;
    if (head.size() > 8 && isDigit(head[0]) && head[2] == ':' && isDigit(head[7])) return 9;
    const QString baseName
        = QFileInfo(QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()))).fileName();
    const qsizetype dot = baseName.lastIndexOf('.');
    if (dot >= 0 && baseName.mid(dot).toLower() == QStringLiteral(".ssa")) return 8;
    return 0;
}

int DetectFormat(const std::string& fileName)
{
    DecodedText text(ReadFileBytes(fileName), fileName);
    LineReader lines(text.head());
    return DetectFormat(lines.readLine(), fileName);
}

} // namespace tessel
