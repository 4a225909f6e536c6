#include "formats/detect.h"

#include "formats/registry.h"
#include "formats/text_file.h"

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <vector>

namespace tessel {
namespace {

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

// The rows with a rule, in the order their rules are tried.
std::vector<const FormatInfo*> byRank()
{
    std::vector<const FormatInfo*> rows;
    for (const FormatInfo& format : Formats())
        if (format.detect) rows.push_back(&format);
    std::stable_sort(rows.begin(), rows.end(),
        [](const FormatInfo* a, const FormatInfo* b) { return a->detectionRank < b->detectionRank; });
    return rows;
}

} // namespace

std::u32string FirstCharacters(std::string_view text, size_t count)
{
    std::u32string out;
    size_t i = 0;
    while (i < text.size() && out.size() < count)
        out += nextCharacter(text, i);
    return out;
}

bool HasExtension(std::string_view fileName, std::string_view lowerCaseExtension)
{
    const QString baseName
        = QFileInfo(QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()))).fileName();
    const qsizetype dot = baseName.lastIndexOf('.');
    return dot >= 0
        && baseName.mid(dot).toLower()
        == QString::fromUtf8(lowerCaseExtension.data(), static_cast<qsizetype>(lowerCaseExtension.size()));
}

FormatCode DetectFormat(const DetectionInput& input)
{
    static const std::vector<const FormatInfo*> rules = byRank();
    for (const FormatInfo* format : rules)
        if (format->detect(input)) return format->code;
    return FormatCode::Unknown;
}

FormatCode DetectFormat(std::string_view firstLine, std::string_view fileName)
{
    return DetectFormat(DetectionInput { firstLine, fileName, firstLine });
}

FormatCode DetectBinaryFormat(std::string_view bytes, std::string_view fileName)
{
    const std::string_view head = bytes.substr(0, 64 * 1024);
    const DetectionInput input { head.substr(0, head.find('\n')), fileName, head };
    for (const FormatInfo& format : Formats())
        if (format.binary && format.detect && format.detect(input)) return format.code;
    return FormatCode::Unknown;
}

FormatCode DetectFormat(const std::string& fileName)
{
    QByteArray bytes = ReadFileBytes(fileName);
    const FormatCode binary
        = DetectBinaryFormat(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), fileName);
    if (binary != FormatCode::Unknown) return binary;
    DecodedText text(std::move(bytes), fileName);
    const std::string_view head = text.head();
    LineReader lines(head);
    const std::string firstLine(lines.readLine());
    return DetectFormat(DetectionInput { firstLine, fileName, head });
}

} // namespace tessel
