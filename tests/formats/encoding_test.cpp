#include "formats/encoding.h"
#include "formats/file_commands.h"
#include "formats/registry.h"
#include "test_support.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

// Real dialogue, eleven lines a language, as a SubRip file.
const char* const French[] = { "Où étais-tu hier soir ? Je t'ai attendu jusqu'à minuit.",
    "Désolé, j'ai dû travailler tard au bureau.", "Ça fait trois fois cette semaine, François.",
    "Je sais. Le projet doit être terminé avant Noël.", "Tu préfères ton travail à ta famille, voilà la vérité.",
    "Ce n'est pas juste. Je fais tout ça pour nous.", "Alors prouve-le. Viens dîner avec nous dimanche.",
    "D'accord, je te le promets. Même si le ciel tombe.", "Les enfants seront ravis. Hélène a préparé un gâteau.",
    "Un gâteau ? Pour quelle occasion ?", "Tu as oublié ? C'est l'anniversaire de ta fille." };
const char* const German[] = { "Wo warst du gestern Abend? Ich habe bis Mitternacht gewartet.",
    "Es tut mir leid, ich musste länger im Büro bleiben.", "Das ist schon das dritte Mal diese Woche, Jürgen.",
    "Ich weiß. Das Projekt muss vor Weihnachten fertig sein.", "Dir ist die Arbeit wichtiger als die Familie.",
    "Das ist nicht fair. Ich tue das alles für uns.", "Dann beweise es. Komm am Sonntag zum Essen.",
    "Gut, ich verspreche es dir. Auch wenn die Welt untergeht.", "Die Kinder werden sich freuen. Grüße von Oma.",
    "Eine Überraschung? Zu welchem Anlass?", "Hast du es vergessen? Deine Tochter hat Geburtstag." };
const char* const Czech[] = { "Kde jsi byl včera večer? Čekala jsem do půlnoci.",
    "Promiň, musel jsem zůstat déle v kanceláři.", "To je už potřetí tento týden, Jiří.",
    "Já vím. Projekt musí být hotový před Vánocemi.", "Práce je pro tebe důležitější než rodina, to je pravda.",
    "To není fér. Dělám to všechno pro nás.", "Tak to dokaž. Přijď v neděli na večeři.",
    "Dobře, slibuji ti to. I kdyby se nebe zřítilo.", "Šárka šla se Žofií ke školníkovi.",
    "Dort? A při jaké příležitosti?", "Ty jsi zapomněl? Tvoje dcera má narozeniny." };
const char* const Polish[] = { "Gdzie byłeś wczoraj wieczorem? Czekałam do północy.",
    "Przepraszam, musiałem zostać dłużej w biurze.", "To już trzeci raz w tym tygodniu, Łukasz.",
    "Wiem. Projekt musi być gotowy przed świętami.", "Praca jest dla ciebie ważniejsza niż rodzina.",
    "To niesprawiedliwe. Robię to wszystko dla nas.", "Więc to udowodnij. Przyjdź w niedzielę na obiad.",
    "Dobrze, obiecuję ci. Nawet gdyby niebo się zawaliło.", "Dzieci będą zachwycone. Babcia upiekła ciasto.",
    "Ciasto? Z jakiej okazji?", "Zapomniałeś? Twoja córka ma urodziny." };
const char* const Russian[] = { "Где ты был вчера вечером? Я ждала до полуночи.",
    "Прости, мне пришлось задержаться в офисе.", "Это уже третий раз на этой неделе, Дмитрий.",
    "Я знаю. Проект должен быть готов до Нового года.", "Работа для тебя важнее семьи, вот в чём правда.",
    "Это несправедливо. Я делаю всё это для нас.", "Тогда докажи. Приходи в воскресенье на ужин.",
    "Хорошо, я обещаю. Даже если небо упадёт.", "Дети будут в восторге. Бабушка испекла торт.",
    "Торт? По какому случаю?", "Ты забыл? У твоей дочери день рождения." };

template <size_t N> std::string subRip(const char* const (&lines)[N])
{
    std::string text;
    for (size_t i = 0; i < N; ++i) {
        const std::string s = std::to_string(i * 2 + 10);
        text += std::to_string(i + 1) + "\r\n00:00:" + s + ",000 --> 00:00:" + s + ",500\r\n" + lines[i] + "\r\n\r\n";
    }
    return text;
}

QByteArray encoded(const std::string& utf8, const char* encoding)
{
    QStringEncoder encoder(encoding);
    return encoder.encode(QString::fromStdString(utf8));
}

// Answers as a test script says and remembers what it was asked.
class ScriptedChooser : public EncodingChooser {
public:
    explicit ScriptedChooser(std::optional<QByteArray> answer)
        : answer_(std::move(answer))
    {
    }
    std::optional<QByteArray> ChooseEncoding(const std::string&, const QByteArray&, const EncodingGuess& guess) override
    {
        ++asked;
        offered = guess.candidates;
        return answer_;
    }
    int asked = 0;
    std::vector<EncodingCandidate> offered;

private:
    std::optional<QByteArray> answer_;
};

class NoMessages : public MessageSink {
public:
    void showMessage(const QString&, const QString& text, MessageIcon) override { shown.push_back(text.toStdString()); }
    std::vector<std::string> shown;
};

bool offers(const std::vector<EncodingCandidate>& candidates, const char* name)
{
    return std::any_of(
        candidates.begin(), candidates.end(), [&](const EncodingCandidate& c) { return c.name == name; });
}

} // namespace

// Clear texts in the three code pages most subtitle files are in are read
// without a question, and read right.
TEST(Encoding, ClearTextsAreNotAskedAbout)
{
    struct Case {
        const char* label;
        std::string text;
        const char* encoding;
    };
    const Case cases[] = {
        { "French", subRip(French), "windows-1252" },
        { "German", subRip(German), "windows-1252" },
        { "Czech", subRip(Czech), "windows-1250" },
        { "Polish", subRip(Polish), "windows-1250" },
        { "Russian", subRip(Russian), "windows-1251" },
        { "Russian in KOI8-R", subRip(Russian), "KOI8-R" },
    };
    for (const Case& c : cases) {
        const QByteArray bytes = encoded(c.text, c.encoding);
        ASSERT_TRUE(NeedsCodePage(bytes)) << c.label;
        const EncodingGuess guess = GuessCodePage(bytes);
        EXPECT_FALSE(guess.unsure) << c.label;
        QStringDecoder best(guess.best().constData());
        EXPECT_EQ(QString(best.decode(bytes)).toStdString(), c.text) << c.label;
        EXPECT_EQ(DecodeToUtf8(bytes).toStdString(), c.text) << c.label; // what reading takes without asking
    }
}

TEST(Encoding, TextsTheDetectorsCannotAgreeOnAreUnsure)
{
    struct Case {
        const char* label;
        QByteArray bytes;
        const char* offered; // among the candidates
    };
    const Case cases[] = {
        { "two Russian words", encoded("1\r\n00:00:01,000 --> 00:00:02,000\r\nOK, да.\r\n\r\n", "windows-1251"),
            "windows-1251" },
        { "bytes of no language", QByteArray("1\r\n00:00:01,000 --> 00:00:02,000\r\n\x8F\x9D\xAD\xFE\x81\r\n"),
            "windows-1252" },
    };
    for (const Case& c : cases) {
        const EncodingGuess guess = GuessCodePage(c.bytes);
        EXPECT_TRUE(guess.unsure) << c.label;
        EXPECT_TRUE(offers(guess.candidates, c.offered)) << c.label;
        EXPECT_TRUE(offers(guess.candidates, "windows-1250")) << c.label; // the common ones are always there
        EXPECT_EQ(std::count_if(guess.candidates.begin(), guess.candidates.end(),
                      [](const EncodingCandidate& e) { return e.name == "windows-1252"; }),
            1);
    }
    EXPECT_FALSE(NeedsCodePage("plain ASCII"));
    EXPECT_FALSE(NeedsCodePage("\xEF\xBB\xBF\xE9 marked"));
    EXPECT_FALSE(NeedsCodePage("\xFF\xFE\xE9\x00"));
}

TEST(Encoding, TheLoadCommandAsksOnlyWhenUnsure)
{
    test::TempDir dir;
    const std::string clear = dir.path("clear.srt"), unsure = dir.path("unsure.srt");
    test::WriteFile(clear, encoded(subRip(Czech), "windows-1250").toStdString());
    test::WriteFile(
        unsure, encoded("1\r\n00:00:01,000 --> 00:00:02,000\r\nOK, да.\r\n\r\n", "windows-1251").toStdString());
    FixedFramerate fps(25);
    NoMessages messages;

    SubtitleTable table;
    ScriptedChooser never(std::nullopt);
    LoadSubtitles(table, clear, false, fps, messages, ReadEncoding { {}, &never });
    EXPECT_EQ(never.asked, 0);
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 9), "Šárka šla se Žofií ke školníkovi.");

    // Declined: nothing read, nothing changed, not even the framerate asked.
    const uint64_t revision = table.revision();
    const LoadResult declined = LoadSubtitles(table, unsure, false, fps, messages, ReadEncoding { {}, &never });
    EXPECT_EQ(never.asked, 1);
    EXPECT_TRUE(declined.cancelled);
    EXPECT_EQ(table.revision(), revision);
    EXPECT_EQ(fps.timesAsked(), 1);

    ScriptedChooser cyrillic(QByteArray("windows-1251"));
    LoadSubtitles(table, unsure, false, fps, messages, ReadEncoding { {}, &cyrillic });
    EXPECT_EQ(cyrillic.asked, 1);
    EXPECT_TRUE(offers(cyrillic.offered, "windows-1251"));
    EXPECT_EQ(test::Rows(table), (std::vector<test::Row> { { "25", "50", "OK, да.", "", "" } }));

    // A named encoding is taken as it is: no question, no detection.
    ScriptedChooser unused(std::nullopt);
    LoadSubtitles(table, unsure, false, fps, messages, ReadEncoding { "KOI8-R", &unused });
    EXPECT_EQ(unused.asked, 0);
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "OK, ДЮ."); // "да" in Windows-1251 read as KOI8-R
    EXPECT_TRUE(messages.shown.empty());
}

TEST(Encoding, PreviewShowsTheFirstLinesInTheEncoding)
{
    const QByteArray bytes = encoded(subRip(Russian), "windows-1251");
    EXPECT_EQ(PreviewText(bytes, "windows-1251", 3).toStdString(),
        "1\n00:00:10,000 --> 00:00:10,500\nГде ты был вчера вечером? Я ждала до полуночи.");
    EXPECT_EQ(PreviewText(bytes, "windows-1252", 3).toStdString(),
        "1\n00:00:10,000 --> 00:00:10,500\nÃäå òû áûë â÷åðà âå÷åðîì? ß æäàëà äî ïîëóíî÷è.");
}

TEST(Encoding, OutputNames)
{
    struct Case {
        const char* name;
        const char* qt;
        bool mark;
    };
    const Case cases[] = { { "utf-8", "UTF-8", false }, { "UTF-8-BOM", "UTF-8", true },
        { "utf-16le", "UTF-16LE", true }, { "utf-16be", "UTF-16BE", true }, { "windows-1250", "windows-1250", false },
        { "cp1251", "windows-1251", false }, { "latin1", "ISO-8859-1", false } };
    for (const Case& c : cases) {
        const std::optional<OutputEncoding> e = ParseOutputEncoding(c.name);
        ASSERT_TRUE(e) << c.name;
        EXPECT_EQ(e->name, c.qt) << c.name;
        EXPECT_EQ(e->byteOrderMark, c.mark) << c.name;
    }
    EXPECT_FALSE(ParseOutputEncoding("klingon"));
    EXPECT_FALSE(ParseOutputEncoding(""));
}

// Line ends change wherever the writes are cut, a lone CR stays.
TEST(Encoding, SinkWritesTheEncodingAndTheLineEnds)
{
    OutputEncoding lf;
    lf.crlf = false;
    StringSink plain;
    EncodingSink sink(plain, lf);
    for (const char* piece : { "a\r", "\nb\r\n", "\r", "x\r", "\n", "\xC3", "\xA9\r" })
        sink.write(piece);
    sink.finish();
    EXPECT_EQ(plain.text(), "a\nb\n\rx\n\xC3\xA9\r");

    OutputEncoding utf16 = *ParseOutputEncoding("utf-16be");
    StringSink wide;
    EncodingSink wideSink(wide, utf16);
    wideSink.line("\xC3\xA9");
    wideSink.finish();
    EXPECT_EQ(wide.text(), std::string("\xFE\xFF\x00\xE9\x00\r\x00\n", 8));
}

TEST(Encoding, ACharacterTheEncodingCannotHoldNamesItsRow)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "Café" }, { "3", "4", "", "", "Dvořák" } });
    const OutputEncoding latin = *ParseOutputEncoding("windows-1252");
    try {
        CheckEncodable(table, 1, 2, "subrip", latin);
        ADD_FAILURE() << "no error";
    } catch (const UnencodableText& e) {
        EXPECT_STREQ(e.what(), "Row 2 holds \"ř\" (U+0159), which windows-1252 cannot hold; nothing was written");
    }
    EXPECT_NO_THROW(CheckEncodable(table, 1, 2, "subrip", *ParseOutputEncoding("windows-1250")));
    EXPECT_NO_THROW(CheckEncodable(table, 1, 2, "subrip", *ParseOutputEncoding("utf-16le")));
}

// UTF-8 but for one byte: the rest stays UTF-8, the byte is read from its
// likeliest code page (0xE9 is "é" in Windows-1252), and its line is named
// (the window's question: EncodingQuestionTest).
TEST(Encoding, AStrayByteInUtf8IsReadFromItsCodePageAndItsLineNamed)
{
    test::TempDir dir;
    const std::string path = dir.path("mixed.srt");
    test::WriteFile(path,
        "1\r\n00:00:01,000 --> 00:00:02,000\r\nCaf\xC3\xA9 cr\xC3\xA8me\r\n\r\n"
        "2\r\n00:00:03,000 --> 00:00:04,000\r\nstray \xE9 byte\r\n\r\n");
    FixedFramerate fps(25);
    NoMessages messages;
    SubtitleTable table;
    const LoadResult read = LoadSubtitles(table, path, false, fps, messages);
    EXPECT_EQ(test::Rows(table),
        (std::vector<test::Row> { { "25", "50", "Café crème", "", "" }, { "75", "100", "stray é byte", "", "" } }));
    EXPECT_EQ(read.notes,
        std::vector<std::string> { "Line 7 holds bytes that are not UTF-8; they were read as windows-1252." });
}

// A Windows-1252 film with Scandinavian and Portuguese names, which uchardet
// takes for a Mac code page: read in Windows-1252 without a question. What
// the detectors cannot agree on is said in the converter's note.
TEST(Encoding, LatinNamesAreReadInTheWindowsCodePage)
{
    const char* const lines[] = { "I told you, Jörgen, we leave at dawn.", "Where is Søren?",
        "João went to the harbour.", "Björn!", "Mr. Løvstad wants to see you.", "Take the boat to Conceição.",
        "We need more rope.", "Come on, come on!", "Ask Astør about it.", "Ok." };
    const std::string text = subRip(lines);
    const QByteArray bytes = encoded(text, "windows-1252");
    const EncodingGuess guess = GuessCodePage(bytes);
    EXPECT_EQ(guess.best(), "windows-1252");
    EXPECT_FALSE(guess.unsure);
    EXPECT_EQ(DecodeToUtf8(bytes).toStdString(), text);

    test::TempDir dir;
    test::WriteFile(dir.path("unsure.srt"),
        encoded("1\r\n00:00:01,000 --> 00:00:02,000\r\nOK, да.\r\n\r\n", "windows-1251").toStdString());
    FixedFramerate fps(25);
    NoMessages messages;
    SubtitleTable table;
    const LoadResult read = LoadSubtitles(table, dir.path("unsure.srt"), false, fps, messages);
    ASSERT_EQ(read.notes.size(), 1u);
    EXPECT_EQ(read.notes[0].rfind("The encoding could not be told for sure: the file was read as ", 0), 0u)
        << read.notes[0];
}

// Bytes 0x80-0x9F are controls in ISO-8859, letters in the Windows code
// pages ("ś" 0x9C, "ź" 0x9F, "Š" 0x8A, "ť" 0x9D in Windows-1250): a short
// text uchardet takes for ISO-8859-2 is read in Windows-1250, said unsure.
TEST(Encoding, ControlBytesOfIsoPagesAreReadAsWindowsLetters)
{
    const char* const lines[] = { "Zażółć gęślą jaźń, Příliš žluťoučký kůň." };
    const std::string text = subRip(lines);
    const QByteArray bytes = encoded(text, "windows-1250");
    EXPECT_EQ(GuessCodePage(bytes).best(), "windows-1250");
    EXPECT_EQ(DecodeToUtf8(bytes).toStdString(), text);
}
