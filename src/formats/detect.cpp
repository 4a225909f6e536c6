#include "formats/detect.h"

#include "formats/text_file.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>

namespace tessel {
namespace {

bool isDigit(char32_t c) { return c >= '0' && c <= '9'; }

// The first `count` characters (code points) of a UTF-8 line.
std::u32string firstCharacters(std::string_view line, size_t count)
{
    std::u32string out;
    size_t i = 0;
    while (i < line.size() && out.size() < count) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        const int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (int k = 1; k < len && i + k < line.size(); ++k) cp = cp << 6 | (line[i + k] & 0x3F);
        out += cp;
        i += len;
    }
    return out;
}

bool containsUpper(std::string_view line, std::string_view upperNeedle)
{
    const QByteArray upper = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())).toUpper().toUtf8();
    return upper.contains(QByteArray(upperNeedle.data(), static_cast<qsizetype>(upperNeedle.size())));
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
    if (containsUpper(line, "<SAMI>")) return 6;
    if (line.find("{HEAD") != std::string_view::npos) return 7;
    if (head.size() > 8 && isDigit(head[0]) && head[2] == ':' && isDigit(head[7])) return 9;
    const QString baseName =
        QFileInfo(QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()))).fileName();
    const qsizetype dot = baseName.lastIndexOf('.');
    if (dot >= 0 && baseName.mid(dot).toLower() == QStringLiteral(".ssa")) return 8;
    return 0;
}

int DetectFormat(const std::string& fileName)
{
    const QByteArray text = ReadTextFile(fileName);
    LineReader lines(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    return DetectFormat(lines.readLine(), fileName);
}

} // namespace tessel
