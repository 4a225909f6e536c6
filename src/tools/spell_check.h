#pragma once
#include "core/markup.h"
#include "core/subtitle_table.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class Hunspell;

// Spell checking with Hunspell and the installed dictionaries. Words are
// taken from the text as Hunspell's own command line takes them (letters,
// the dictionary's word characters, an apostrophe between letters; e-mail
// addresses, web addresses and paths left out) from the text with its markup
// removed, so `hunspell -l` flags the same words; beside that, words with a
// digit ("2nd", "1990s") and words without a small letter ("NASA", "JOHN")
// are not checked.
namespace tessel {

struct Dictionary {
    std::string language; // "en_US": the file names without ".dic" and ".aff"
    std::string affix, words; // the two files
};

// Every language with both files in $DICPATH's folders, /usr/share/hunspell
// or /usr/share/myspell (the first found for a language), by language.
std::vector<Dictionary> InstalledDictionaries();

// $XDG_CONFIG_HOME/tessel/dictionaries/LANGUAGE.dic: the words the user
// added, one a line, read with the dictionary.
std::string PersonalDictionaryPath(const std::string& language);

class Speller {
public:
    // Throws Error when the language is not installed or its files cannot be
    // read.
    explicit Speller(const std::string& language);
    ~Speller();
    Speller(const Speller&) = delete;
    Speller& operator=(const Speller&) = delete;

    const std::string& language() const { return language_; }

    // The words of a text (a cell, or lines joined by "\n") to check, as
    // byte ranges of `text`; a range holds the markup inside the word, if any.
    std::vector<TextSpan> words(std::string_view text) const;
    std::vector<TextSpan> misspelled(std::string_view text);
    bool isCorrect(std::string_view word);
    std::vector<std::string> suggestions(std::string_view word);

    // Accepted until this speller ends.
    void ignore(std::string_view word);
    // Accepted from now on in every file: saved in the personal dictionary at
    // once. Throws Error when it cannot be saved (the word is accepted anyway).
    void addToPersonal(std::string_view word);
    // Counts the changes of what is accepted, so that a view knows to look again.
    uint64_t generation() const { return generation_; }

private:
    bool isWordCharacter(char32_t c) const;
    std::string toDictionary(std::string_view word, bool& ok) const;

    std::string language_;
    std::unique_ptr<Hunspell> hunspell_;
    bool utf8_ = true;
    QByteArray encoding_;
    std::u32string wordCharacters_;
    bool apostropheInWords_ = false;
    std::unordered_set<std::string> ignored_;
    std::unordered_map<std::string, bool> verdicts_;
    uint64_t generation_ = 0;
};

// A word not in the dictionary: its cell and where it is in the cell.
struct SpellFinding {
    int row = 0;
    int column = 0; // Line 1..Line 3
    TextSpan span; // bytes of the cell
    std::string word;
};

// The findings from (row, column, offset) on, in reading order, until `found`
// returns false.
void CheckSpelling(const SubtitleTable& table, Speller& speller, int row, int column, size_t offset,
    const std::function<bool(const SpellFinding&)>& found);

// The word in `text` replaced by `replacement`; markup inside it stays, after the new word.
std::string ReplaceWord(std::string_view text, TextSpan word, std::string_view replacement);

} // namespace tessel
