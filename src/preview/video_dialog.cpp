#include "preview/video_dialog.h"

namespace tessel {
namespace {

QString patterns(const QString& list)
{
    QStringList kept;
    for (const QString& pattern : list.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        kept << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    return kept.join(QLatin1Char(' '));
}

} // namespace

QStringList NameFilters(const QString& filterList)
{
    const QStringList parts = filterList.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns(parts[i + 1]));
    return filters;
}

std::optional<QString> QtOpenFileDialog::Execute(const QString& title, const QStringList& nameFilters)
{
    const QString chosen = QFileDialog::getOpenFileName(parent_, title, QString(),
        nameFilters.join(QStringLiteral(";;")), nullptr, options_ | QFileDialog::HideNameFilterDetails);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

} // namespace tessel
