#include "core/word_search.h"

namespace tessel {
namespace {

// Letters that no decomposition takes apart, as their plain letters.
QString plainLetter(char16_t c)
{
    switch (c) {
    case u'ł':
    case u'Ł':
        return QStringLiteral("l");
    case u'ø':
    case u'Ø':
        return QStringLiteral("o");
    case u'đ':
    case u'Đ':
    case u'ð':
    case u'Ð':
        return QStringLiteral("d");
    case u'ħ':
    case u'Ħ':
        return QStringLiteral("h");
    case u'ı':
        return QStringLiteral("i");
    case u'æ':
    case u'Æ':
        return QStringLiteral("ae");
    case u'œ':
    case u'Œ':
        return QStringLiteral("oe");
    case u'þ':
    case u'Þ':
        return QStringLiteral("th");
    case u'ß': // Qt's case folding keeps it whole
    case u'ẞ':
        return QStringLiteral("ss");
    default:
        return {};
    }
}

} // namespace

WordSearch::WordSearch(const QString& query)
{
    for (const QString& word : Fold(query).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words_ << word;
}

bool WordSearch::matches(const QString& folded) const
{
    for (const QString& word : words_)
        if (!folded.contains(word)) return false;
    return true;
}

QString WordSearch::Fold(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString plain;
    plain.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.isMark()) continue;
        if (c.isSpace()) {
            plain += QLatin1Char(' ');
            continue;
        }
        const QString letter = plainLetter(c.unicode());
        if (letter.isEmpty())
            plain += c;
        else
            plain += letter;
    }
    return plain.toCaseFolded();
}

} // namespace tessel
