#pragma once
#include <QString>
#include <QStringList>

// Finding things by words as a user types them: every word of the query
// somewhere in the text, in any order, whole or in part, case and accents
// ignored ("resume next" finds "Next résumé"). Texts are folded once with
// Fold and searched many times.
namespace tessel {

class WordSearch {
public:
    explicit WordSearch(const QString& query);

    // No words: everything matches.
    bool isEmpty() const { return words_.isEmpty(); }
    // `folded` is a text folded with Fold.
    bool matches(const QString& folded) const;

    // Case folded, accents and other combining marks dropped, letters with
    // a stroke as their plain letter ("Łódź" is "lodz", "Straße" "strasse").
    static QString Fold(const QString& text);

private:
    QStringList words_;
};

} // namespace tessel
