#include "formats/vobsub.h"

#include <QFileInfo>

namespace tessel {
namespace {

// The file beside `file` with the extension `extension` (lower case), as
// written or in capitals; "" when there is none.
std::string beside(const QFileInfo& file, const QString& extension)
{
    const QString base = file.path() + QLatin1Char('/') + file.completeBaseName() + QLatin1Char('.');
    for (const QString& candidate : { base + extension, base + extension.toUpper() })
        if (QFileInfo(candidate).isFile()) return candidate.toStdString();
    return {};
}

} // namespace

bool LooksLikeVobSub(const DetectionInput& input)
{
    constexpr std::string_view PackHeader("\0\0\1\xBA", 4);
    return input.head.substr(0, 19) == "# VobSub index file"
        || (HasExtension(input.fileName, ".sub") && input.head.substr(0, 4) == PackHeader);
}

VobSubFiles FindVobSubFiles(const std::string& fileName)
{
    const QFileInfo file(QString::fromStdString(fileName));
    const bool isIndex = file.suffix().compare(QLatin1String("idx"), Qt::CaseInsensitive) == 0;
    if (isIndex) return { fileName, beside(file, QStringLiteral("sub")) };
    return { beside(file, QStringLiteral("idx")), fileName };
}

} // namespace tessel
