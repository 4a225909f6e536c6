#include "tools/spell_check.h"

#include "core/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cstdlib>
#include <hunspell.hxx>

namespace tessel {
namespace {

constexpr size_t MostVerdictsKept = 200000;

std::vector<std::string> dictionaryFolders()
{
    std::vector<std::string> folders;
    if (const char* path = std::getenv("DICPATH"))
        for (const QString& folder : QString::fromLocal8Bit(path).split(QLatin1Char(':'), Qt::SkipEmptyParts))
            folders.push_back(folder.toStdString());
    for (const char* folder : { "/usr/share/hunspell", "/usr/share/myspell", "/usr/share/myspell/dicts" })
        folders.emplace_back(folder);
    return folders;
}

std::string configFolder()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = config.startsWith(QLatin1Char('/')) ? config : QDir::homePath() + QStringLiteral("/.config");
    return (base + QStringLiteral("/tessel")).toStdString();
}

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The code points of a UTF-8 text with the byte each starts at; a byte that
// is no valid UTF-8 is a code point of its own that is no letter.
struct CodePoints {
    std::u32string points;
    std::vector<size_t> at; // one more: the text's size
};

CodePoints decode(std::string_view text)
{
    CodePoints cps;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int more = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t cp = more == 3 ? lead & 0x07 : more == 2 ? lead & 0x0F : more == 1 ? lead & 0x1F : lead;
        size_t k = 1;
        for (; k <= static_cast<size_t>(more) && i + k < text.size()
             && isContinuation(static_cast<unsigned char>(text[i + k]));
             ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if ((lead >= 0x80 && lead < 0xC0) || k != static_cast<size_t>(more) + 1) {
            cp = 0xFFFD;
            k = 1;
        }
        cps.points += cp;
        cps.at.push_back(i);
        i += k;
    }
    cps.at.push_back(text.size());
    return cps;
}

// Characters that may go on in an address once a word has started one.
bool continuesAddress(char32_t c)
{
    return std::u32string_view(U"-_\\.:/~%*$[]?!0123456789").find(c) != std::u32string_view::npos;
}

} // namespace

std::vector<Dictionary> InstalledDictionaries()
{
    std::vector<Dictionary> found;
    for (const std::string& folder : dictionaryFolders()) {
        const QDir dir(QString::fromStdString(folder));
        for (const QFileInfo& dic : dir.entryInfoList({ QStringLiteral("*.dic") }, QDir::Files | QDir::Readable)) {
            const std::string language = dic.completeBaseName().toStdString();
            const QFileInfo aff(dir.filePath(dic.completeBaseName() + QStringLiteral(".aff")));
            if (!aff.isReadable()
                || std::any_of(found.begin(), found.end(), [&](const Dictionary& d) { return d.language == language; }))
                continue;
            // Hyphenation and thesaurus files are no spelling dictionaries.
            if (language.rfind("hyph_", 0) == 0 || language.rfind("th_", 0) == 0) continue;
            found.push_back({ language, aff.filePath().toStdString(), dic.filePath().toStdString() });
        }
    }
    std::sort(
        found.begin(), found.end(), [](const Dictionary& a, const Dictionary& b) { return a.language < b.language; });
    return found;
}

std::string PersonalDictionaryPath(const std::string& language)
{
    return configFolder() + "/dictionaries/" + language + ".dic";
}

Speller::Speller(const std::string& language)
    : language_(language)
{
    const std::vector<Dictionary> installed = InstalledDictionaries();
    const auto dictionary
        = std::find_if(installed.begin(), installed.end(), [&](const Dictionary& d) { return d.language == language; });
    if (dictionary == installed.end()) throw Error("No Hunspell dictionary for '" + language + "' is installed.");
    hunspell_ = std::make_unique<Hunspell>(dictionary->affix.c_str(), dictionary->words.c_str());
    const std::string encoding = hunspell_->get_dict_encoding();
    utf8_ = encoding == "UTF-8" || encoding == "utf-8";
    if (!utf8_) {
        encoding_ = QByteArray::fromStdString(encoding);
        if (!QStringEncoder(encoding_.constData()).isValid())
            encoding_ = QByteArray::fromStdString(encoding).replace("ISO8859-", "ISO-8859-");
        if (!QStringEncoder(encoding_.constData()).isValid()) encoding_ = "ISO-8859-1";
    }
    const std::string& chars = hunspell_->get_wordchars_cpp();
    wordCharacters_ = (utf8_ ? QString::fromStdString(chars)
                             : QStringDecoder(encoding_.constData())(QByteArray::fromStdString(chars)))
                          .toStdU32String();
    apostropheInWords_ = isWordCharacter('\'') || isWordCharacter(U'\u2019');
    QFile personal(QString::fromStdString(PersonalDictionaryPath(language)));
    if (personal.open(QIODevice::ReadOnly))
        for (const QByteArray& line : personal.readAll().split('\n'))
            if (const QByteArray word = line.trimmed(); !word.isEmpty()) {
                bool ok = true;
                const std::string encoded = toDictionary(word.toStdString(), ok);
                if (ok) hunspell_->add(encoded);
            }
}

Speller::~Speller() = default;

bool Speller::isWordCharacter(char32_t c) const
{
    return QChar::isLetter(c) || QChar::isMark(c) || wordCharacters_.find(c) != std::u32string::npos;
}

std::string Speller::toDictionary(std::string_view word, bool& ok) const
{
    ok = true;
    if (utf8_) return std::string(word);
    QStringEncoder encoder(encoding_.constData());
    const QByteArray bytes = encoder(QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())));
    ok = !encoder.hasError();
    return bytes.toStdString();
}

std::vector<TextSpan> Speller::words(std::string_view text) const
{
    const VisibleText visible = WithoutMarkup(text);
    const CodePoints cps = decode(visible.text);
    const std::u32string& p = cps.points;
    const size_t n = p.size();
    // Addresses, as Hunspell's parser tells them: a run of word and address
    // characters with "@", "://" or ":\" in it, or starting with "/".
    std::vector<bool> address(n);
    for (size_t i = 0; i < n;) {
        if (!isWordCharacter(p[i]) && p[i] != '/') {
            ++i;
            continue;
        }
        bool isAddress = p[i] == '/';
        size_t j = i;
        for (; j < n && (isWordCharacter(p[j]) || continuesAddress(p[j]) || p[j] == '@'); ++j)
            isAddress = isAddress || p[j] == '@' || (p[j] == ':' && j + 1 < n && (p[j + 1] == '/' || p[j + 1] == '\\'));
        if (isAddress)
            std::fill(address.begin() + static_cast<std::ptrdiff_t>(i),
                address.begin() + static_cast<std::ptrdiff_t>(j), true);
        i = std::max(j, i + 1);
    }
    std::vector<TextSpan> spans;
    for (size_t i = 0; i < n;) {
        if (!isWordCharacter(p[i])) {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < n) {
            if (isWordCharacter(p[j]))
                ++j;
            else if (apostropheInWords_ && (p[j] == '\'' || p[j] == U'\u2019') && j + 1 < n
                && isWordCharacter(p[j + 1]))
                j += 2;
            else
                break;
        }
        const std::u32string_view word = std::u32string_view(p).substr(i, j - i);
        const bool digit = std::any_of(word.begin(), word.end(), [](char32_t c) { return QChar::isDigit(c); });
        const bool small = std::any_of(word.begin(), word.end(), [](char32_t c) { return QChar::isLower(c); });
        if (!address[i] && !digit && small)
            spans.push_back({ visible.origin[cps.at[i]], visible.origin[cps.at[j] - 1] + 1 });
        i = j;
    }
    return spans;
}

std::vector<TextSpan> Speller::misspelled(std::string_view text)
{
    std::vector<TextSpan> wrong;
    for (const TextSpan& span : words(text))
        if (!isCorrect(StripMarkup(text.substr(span.start, span.end - span.start)))) wrong.push_back(span);
    return wrong;
}

bool Speller::isCorrect(std::string_view word)
{
    const std::string key(word);
    if (const auto known = verdicts_.find(key); known != verdicts_.end()) return known->second;
    bool correct = ignored_.count(key) > 0;
    if (!correct) {
        bool ok = true;
        const std::string encoded = toDictionary(word, ok);
        // A word the dictionary's code page cannot hold is none of its words.
        correct = ok && hunspell_->spell(encoded);
    }
    if (verdicts_.size() >= MostVerdictsKept) verdicts_.clear();
    verdicts_.emplace(key, correct);
    return correct;
}

std::vector<std::string> Speller::suggestions(std::string_view word)
{
    bool ok = true;
    const std::string encoded = toDictionary(word, ok);
    if (!ok) return {};
    std::vector<std::string> list = hunspell_->suggest(encoded);
    if (!utf8_)
        for (std::string& s : list)
            s = QString(QStringDecoder(encoding_.constData())(QByteArray::fromStdString(s))).toStdString();
    return list;
}

void Speller::ignore(std::string_view word)
{
    ignored_.emplace(word);
    verdicts_[std::string(word)] = true;
    ++generation_;
}

void Speller::addToPersonal(std::string_view word)
{
    bool ok = true;
    const std::string encoded = toDictionary(word, ok);
    if (ok) hunspell_->add(encoded);
    ignore(word);
    const QString path = QString::fromStdString(PersonalDictionaryPath(language_));
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::Append)
        || file.write(QByteArray::fromStdString(std::string(word) + "\n")) < 0 || !file.flush())
        throw Error("The word cannot be saved in " + path.toStdString() + ": " + file.errorString().toStdString());
}

void CheckSpelling(const SubtitleTable& table, Speller& speller, int row, int column, size_t offset,
    const std::function<bool(const SpellFinding&)>& found)
{
    for (int r = std::max(row, 1); r < table.rowCount(); ++r)
        for (int c = r == row ? std::max<int>(column, SubtitleTable::Line1) : SubtitleTable::Line1;
             c <= SubtitleTable::Line3; ++c) {
            const std::string_view cell = table.cell(c, r);
            if (cell.empty()) continue;
            const std::string text(cell);
            for (const TextSpan& span : speller.misspelled(text)) {
                if (r == row && c == column && span.start < offset) continue;
                if (!found(
                        { r, c, span, StripMarkup(std::string_view(text).substr(span.start, span.end - span.start)) }))
                    return;
            }
        }
}

std::string ReplaceWord(std::string_view text, TextSpan word, std::string_view replacement)
{
    std::string markup;
    const std::string_view inside = text.substr(word.start, word.end - word.start);
    for (const TextSpan& s : MarkupSpans(inside))
        markup += inside.substr(s.start, s.end - s.start);
    return std::string(text.substr(0, word.start)) + std::string(replacement) + markup
        + std::string(text.substr(word.end));
}

} // namespace tessel
