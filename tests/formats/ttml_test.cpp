#include "core/errors.h"
#include "formats/ffmpeg_peer.h"
#include "formats/registry.h"
#include "formats/ttml.h"
#include "test_support.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

// A delivery file in the way of a streaming service's: 23.976 fps with the
// multiplier, styles by reference and inline, a division that starts late
// and one in sequence, every form of time expression, br and spans.
const std::string Delivery = R"(<?xml version="1.0" encoding="UTF-8"?>
<tt xmlns="http://www.w3.org/ns/ttml" xmlns:tts="http://www.w3.org/ns/ttml#styling"
    xmlns:ttp="http://www.w3.org/ns/ttml#parameter" xml:lang="en"
    ttp:frameRate="24" ttp:frameRateMultiplier="1000 1001" ttp:tickRate="10000000" ttp:timeBase="media">
  <head>
    <styling>
      <style xml:id="base" tts:color="white" tts:fontFamily="proportionalSansSerif"/>
      <style xml:id="em" tts:fontStyle="italic"/>
      <style xml:id="shout" style="em" tts:fontWeight="bold"/>
    </styling>
    <layout><region xml:id="bottom" tts:origin="10% 80%" tts:extent="80% 20%"/></layout>
  </head>
  <body style="base" region="bottom">
    <div>
      <p xml:id="c1" begin="00:00:01:00" end="00:00:02:12">Hello,   <span style="em">world</span><br/>second
        line</p>
      <p xml:id="c2" begin="41708333t" end="62562500t"><span tts:color="#ffff00">Yellow</span> &amp; <span style="shout">loud</span></p>
    </div>
    <div begin="10s">
      <p begin="0.5s" dur="48f">Ten and a half</p>
      <p begin="00:00:02.000" end="00:00:03.500" tts:textDecoration="underline">Twelve</p>
    </div>
    <div timeContainer="seq" begin="20s">
      <p dur="1s">Seq one</p>
      <p dur="1500ms">Seq two</p>
    </div>
  </body>
</tt>
)";

void read(SubtitleTable& table, const std::string& text, double fps = 23.976)
{
    LineReader lines(text);
    ReadTtml(lines, table, 1, fps);
}

std::string write(const SubtitleTable& table, double fps = 23.976)
{
    StringSink sink;
    WriteContext context;
    context.framerate = fps;
    WriteTtml(table, 1, table.rowCount() - 1, context, sink);
    return sink.text();
}

std::string lf(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::string wellFormedness(const std::string& text)
{
    test::TempDir dir;
    test::WriteFile(dir.path("t.xml"), text);
    QProcess xmllint;
    xmllint.start("xmllint", { "--noout", QString::fromStdString(dir.path("t.xml")) });
    if (!xmllint.waitForFinished(10000)) return "no xmllint";
    return xmllint.exitCode() == 0 ? "" : xmllint.readAllStandardError().toStdString();
}

} // namespace

// Frames at 24000/1001: 1 s is frame 24 (23.976 rounded), 2 s + 12 frames
// (2.5005 s) frame 60 (59.95); 41708333 ticks of 10 MHz are 4.1708 s = frame
// 100. A division's begin moves its paragraphs; in sequence each follows the
// one before (21 s is frame 503.5 rounded down). The body's white is no markup.
TEST(Ttml, ParagraphsBecomeRowsInTheirTimeForms)
{
    SubtitleTable table;
    read(table, Delivery);
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> { { "24", "60", "Hello, <i>world</i>", "second line", "" },
            { "100", "150", "<font color=\"#ffff00\">Yellow</font> & <i><b>loud</b></i>", "", "" },
            { "252", "300", "Ten and a half", "", "" }, { "288", "324", "<u>Twelve</u>", "", "" },
            { "480", "503", "Seq one", "", "" }, { "503", "539", "Seq two", "", "" } }));
}

TEST(Ttml, OpenedAndSavedUneditedGivesTheSameDocument)
{
    // Blank lines at the end too: they had every paragraph made anew.
    for (const std::string& document : { Delivery, Delivery + "\n\n", Delivery + "<!-- end -->\n\n\n" }) {
        SubtitleTable table;
        read(table, document);
        const std::string out = write(table);
        EXPECT_EQ(lf(out), document);
        EXPECT_NE(out.find("\r\n"), std::string::npos);
    }
}

// Only what was edited is made anew: the p keeps its id and its times their
// form; a deleted paragraph goes with nothing around it; a new row goes after
// the one before it, in its division.
TEST(Ttml, EditsChangeOnlyTheirParagraphs)
{
    SubtitleTable table;
    read(table, Delivery);
    table.setCell(SubtitleTable::Line1, 1, "Hi <i>there</i> & <font color=\"red\">you</font>");
    table.setCell(SubtitleTable::Line2, 1, "");
    table.setCell(SubtitleTable::From, 2, "120");
    table.deleteRow(3);
    table.insertRow(4);
    table.setRow(4, "312", "336", "New one", "", "");
    const std::string out = lf(write(table));
    EXPECT_EQ(wellFormedness(out), "");
    EXPECT_NE(out.find("<p xml:id=\"c1\" begin=\"00:00:01:00\" end=\"00:00:02:12\">Hi <span "
                       "tts:fontStyle=\"italic\">there</span> &amp; <span tts:color=\"red\">you</span></p>"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("<p xml:id=\"c2\" begin=\"50050000t\" end=\"62562500t\"><span tts:color=\"#ffff00\">"),
        std::string::npos);
    EXPECT_EQ(out.find("Ten and a half"), std::string::npos);
    EXPECT_NE(out.find("Twelve</p>\n      <p begin=\"00:00:03.013\" end=\"00:00:04.014\">New one</p>\n    </div>"),
        std::string::npos)
        << out;
    SubtitleTable back;
    read(back, out);
    EXPECT_EQ(test::Rows(back), test::Rows(table));
    // Kept rates damaged past any film's (a recovered table) still give times, not an overflow.
    std::string damaged(table.documentData());
    const size_t rates = damaged.find("\n23.976");
    ASSERT_NE(rates, std::string::npos) << damaged;
    damaged.replace(rates + 1, damaged.find(' ', rates) - rates - 1, "1e80");
    table.setDocumentData(damaged);
    table.setCell(SubtitleTable::From, 1, "30");
    const std::string again = lf(write(table));
    EXPECT_EQ(wellFormedness(again), "");
    EXPECT_NE(again.find("<p xml:id=\"c1\" begin=\"00:00:01:"), std::string::npos) << again;
}

// From another format: IMSC 1.1 Text, clock times with frames at the rate
// with its multiplier, and nothing of what the profile prohibits.
TEST(Ttml, OtherFormatsAreWrittenAsImscText)
{
    SubtitleTable table;
    test::Fill(table, { { "24", "60", "<i>Hello</i> there,", "world & co" }, { "1511", "1558", "Second" } });
    for (const auto& [fps, rate, multiplier] :
        { std::tuple { 23.976, "24", true }, { 29.97, "30", true }, { 59.94, "60", true }, { 25.0, "25", false } }) {
        const std::string out = lf(write(table, fps));
        EXPECT_EQ(wellFormedness(out), "");
        EXPECT_NE(
            out.find("ttp:contentProfiles=\"http://www.w3.org/ns/ttml/profile/imsc1.1/text\""), std::string::npos);
        EXPECT_NE(out.find(std::string("ttp:frameRate=\"") + rate + "\""), std::string::npos);
        EXPECT_EQ(out.find("ttp:frameRateMultiplier=\"1000 1001\"") != std::string::npos, multiplier) << fps;
        for (const char* prohibited : { "<set", "smpte", "clockMode", "dropMode", "tts:opacity", "ttp:profile=" })
            EXPECT_EQ(out.find(prohibited), std::string::npos) << prohibited;
        SubtitleTable back;
        read(back, out, fps);
        EXPECT_EQ(test::Rows(back), test::Rows(table)) << fps;
    }
    // Frame 1511 at 24000/1001 is 63.0213 s, 0.51 frames after second 63:
    // frame 1 of it; frame 1558 is 23.53 frames after second 64, so frame 0 of 65.
    EXPECT_NE(lf(write(table)).find("<p begin=\"00:01:03:01\" end=\"00:01:05:00\">Second</p>"), std::string::npos);
}

TEST(Ttml, XmlErrorsNameTheLineAndColumn)
{
    const std::pair<std::string, std::string> cases[] = {
        { "<tt xmlns=\"http://www.w3.org/ns/ttml\">\n<body><div>\n<p begin=\"1s\" end=\"2s\">a</div>",
            "TTML, line 3, column 30: Opening and ending tag mismatch." },
        { "<tt xmlns=\"http://www.w3.org/ns/ttml\"><body><div></div></body></tt>",
            "TTML: the document holds no p element, so no subtitles" },
        { "<tt xmlns=\"http://www.w3.org/ns/ttml\"><body>\n <p begin=\"soon\" end=\"2s\">a</p></body></tt>",
            "TTML, line 2, column 26: 'soon' is not a time expression" },
        { "<tt xmlns=\"http://www.w3.org/ns/ttml\"><body>\n <p begin=\"1s\">a</p></body></tt>",
            "TTML, line 2, column 15: the paragraph has no end: no end or dur of its own or of an element around it" },
        { "<html><p>a</p></html>", "TTML, line 1, column 6: the document's root is html, not tt" },
        // 2^31 frames at 23.976 fps are some 24,900 hours.
        { "<tt xmlns=\"http://www.w3.org/ns/ttml\"><body>\n <p begin=\"1s\" end=\"30000h\">a</p></body></tt>",
            "TTML, line 2, column 33: the paragraph's times are beyond what a subtitle's frames can hold" },
        // Rates no film has: their times would overflow when the document is written again.
        { "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\"\n"
          "ttp:frameRate=\"24\" ttp:frameRateMultiplier=\"1e80 1001\"><body><p begin=\"00:00:01:00\" "
          "end=\"2s\">a</p></body></tt>",
            "TTML, line 2, column 55: the frame rate (ttp:frameRate 24, ttp:frameRateMultiplier 1e80 1001, "
            "ttp:subFrameRate ) is not one of 1 to 1000 frames a second" },
        { "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\" "
          "ttp:tickRate=\"inf\"><body><p begin=\"1t\" end=\"2s\">a</p></body></tt>",
            "TTML, line 1, column 105: the tick rate (ttp:tickRate inf) is not one of 1 to 10^12 ticks a second" },
    };
    for (const auto& [text, message] : cases) {
        SubtitleTable table;
        try {
            read(table, text);
            ADD_FAILURE() << message;
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
}

// ffmpeg writes TTML (and reads none): what it makes of a SubRip file we
// read with SubRip's rows.
TEST(Ttml, WhatFfmpegWritesIsRead)
{
    if (!test::FfmpegAvailable()) GTEST_SKIP() << "no ffmpeg";
    test::TempDir dir;
    test::WriteFile(dir.path("in.srt"),
        "1\n00:00:01,000 --> 00:00:02,500\nHello there,\nworld & co\n\n"
        "2\n00:01:03,040 --> 00:01:05,000\nSecond\n");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
        { "-nostdin", "-loglevel", "error", "-y", "-i", QString::fromStdString(dir.path("in.srt")),
            QString::fromStdString(dir.path("out.ttml")) });
    ASSERT_TRUE(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
    SubtitleTable table;
    read(table, test::ReadFile(dir.path("out.ttml")), 25);
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> { { "25", "62", "Hello there,", "world & co", "" }, { "1576", "1625", "Second", "", "" } }));
    // ffmpeg names the region on a span around the text: an edit keeps it,
    // or the paragraph would be in no region and not shown.
    table.setCell(SubtitleTable::Line1, 2, "Seconde <i>fois</i>");
    const std::string out = lf(write(table, 25));
    EXPECT_EQ(wellFormedness(out), "");
    EXPECT_NE(out.find(">Hello there,<br/>world &amp; co</span></p>"), std::string::npos) << out;
    EXPECT_NE(out.find("><span region=\"Default\">Seconde <span tts:fontStyle=\"italic\">fois</span></span></p>"),
        std::string::npos)
        << out;
}

// Read as it comes, a document gives the rows Qt's parser gives read whole.
// One whose start is beyond the plain XML the fast reader takes goes to Qt's
// parser as it comes; one that is so further on, or with an error, is read
// whole after all (where the error can name its line and column).
TEST(Ttml, ReadAsItComesForAnotherFormatGivesTheSameRowsOrIsReadWhole)
{
    const std::string tt = "<tt xmlns=\"http://www.w3.org/ns/ttml\"><body><div>";
    const std::string prefixed = "<?xml version='1.0' encoding='utf-8' standalone='no'?>\n<!-- by hand -->\n"
                                 "<tt:tt xmlns:tt=\"http://www.w3.org/ns/ttml\" "
                                 "xmlns:s=\"http://www.w3.org/ns/ttml#styling\"\n"
                                 "  xmlns:p=\"http://www.w3.org/ns/ttml#parameter\" p:frameRate=\"25\">\n"
                                 "<tt:body><tt:div>\n"
                                 "<tt:p begin = '00:00:01:00'  end=\"00:00:02:00\" >Tom &amp; Jerry &lt;3 "
                                 "&#233;t&#xE9; &quot;q&quot; &apos;a&apos; &gt;</tt:p>\n"
                                 "<tt:p begin=\"2s\" end=\"3s\" xml:space=\"preserve\">  two   spaces <tt:span "
                                 "s:fontStyle=\"italic\">kept</tt:span>  </tt:p>\n"
                                 "<tt:p begin=\"3s\" end=\"4s\">line<tt:br/>\n   break <!-- note -->after\ttab  "
                                 "and  more</tt:p>\n"
                                 "<tt:p begin=\"4s\" end=\"5s\" s:color=\"&#x23;ff0000\">red<tt:span "
                                 "s:fontWeight=\"bold\" s:textDecoration=\"underline\">bu</tt:span></tt:p>\n"
                                 "<tt:p begin=\"\n5s\" end='6s'><tt:span>a</tt:span>  <tt:span>b</tt:span></tt:p>\n"
                                 "<o:x xmlns:o=\"urn:x\"><tt:p begin=\"0s\" end=\"1s\">no</tt:p></o:x>\n"
                                 "</tt:div></tt:body></tt:tt>\n<!-- after -->\n\n";
    const std::string extra
        = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n\n<tt xmlns=\"http://www.w3.org/ns/ttml\">"
          "<body><div><p begin=\"1s\" end=\"2s\">caf\xC3\xA9 <![CDATA[<x>]]><metadata><p>no</p>"
          "</metadata><other xmlns=\"urn:x\"><p begin=\"0s\" end=\"1s\">no</p></other></p></div>"
          "</body></tt>\n<!-- after -->\n";
    // Byte-order marks the decoding left at the start: XML skips some of them.
    const std::string marks = "\xEF\xBB\xBF\xEF\xBB\xBF";
    const std::string p = "<p begin=\"1s\" end=\"2s\">";
    // Past a piece of the file read at a time, with tokens across lines,
    // so across pieces.
    std::string many = tt;
    for (int i = 0; i < 3000; ++i)
        many += "\n<!-- a\ncomment --><p\nbegin=\n\"" + std::to_string(i) + "s\" end='" + std::to_string(i + 1)
            + "s'\n>Tom &amp;\n Jerry &#x41;\n<span\n  tts:fontStyle=\"italic\" "
              "xmlns:tts=\"http://www.w3.org/ns/ttml#styling\"\n"
              ">caf\xC3\xA9 </span><br\n/>  x  </p\n>";
    many += "</div></body></tt>\n";
    // Paragraphs of text and breaks only, read in one look, also where a piece ends inside one.
    std::string plain = tt;
    for (int i = 0; i < 8000; ++i)
        plain += "\n  <p begin=\"" + std::to_string(i) + "s\" end='" + std::to_string(i + 1) + "s'>Tom  Jerry<br/>"
            + std::string(i % 7, 'x') + "</p>";
    plain += "</div></body></tt>\n";
    const std::string q = "<p begin=\"1s\" end=\"2s\"";
    const std::pair<std::string, bool> cases[] = {
        { Delivery, true },
        { plain, true },
        { tt + q + "></p>" + q + ">a<br/></p>" + q + ">a<br/>b<br/>c<br/>d</p>" + q + ">a<br />b</p>"
                + "<p  begin='1s'   end=\"2s\">x\ty</p>" + q + ">a > b</p>" + q + ">a &lt; b</p>" + q
                + " xml:space=\"preserve\">  a  </p>" + q + ">a</p >" + "<p begin=\"1s\t\" end=\"2s\">a</p>"
                + "<p begin=\"1s\" end=\"2s\"/>" + "<p begin=\"1s\" end=\"2s\">a<span>b</span></p>"
                + "</div><div xml:space=\"preserve\">" + q + ">  a  b </p></div></body></tt>",
            true },
        { "<tt:tt xmlns:tt=\"http://www.w3.org/ns/ttml\"><tt:body><tt:div>" + q + ">a</p></tt:div></tt:body></tt:tt>",
            true },
        { tt + q + " xmlns=\"urn:x\">a</p>" + q + ">b</p></div></body></tt>", true },
        { prefixed, true },
        { "\n\n" + tt + p + "a</p></div></body></tt>", true },
        { tt + "</div></body></tt>", true }, // no paragraph: the same error
        // Plain paragraphs whose style comes to none are made rows straight from their texts.
        { "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:tts=\"http://www.w3.org/ns/ttml#styling\"><head><styling>"
          "<style xml:id=\"al\" tts:textAlign=\"left\"/><style xml:id=\"ch\" style=\"al\"/><style xml:id=\"it\" "
          "tts:fontStyle=\"italic\"/><style xml:id=\"w\" tts:color=\"white\"/></styling></head><body begin=\"5s\">"
          "<div timeContainer=\"seq\"><p dur=\"1s\">a<br/><br/>b<br/>\tc\n<br/>d<br/><br/></p><p begin=\"1s\" "
          "dur=\"2s\" style=\"ch\">  e  </p><p end=\"9s\" style=\"it\">f</p><p dur=\"1s\" style=\"w\">g</p><p "
          "dur=\"1s\" style=\"nope\" timeContainer=\"seq\">h<br/> </p><p dur=\"1s\">k</p></div><div style=\"it\" "
          "begin=\"20s\" end=\"30s\"><p>i</p></div><div xml:space=\"preserve\"><p begin=\"40s\" end=\"41s\">  j  "
          "<br/> </p></div></body></tt>",
            true },
        { tt + "<p begin=\"1s\">no end</p></div></body></tt>", false },
        { many, true },
        // Qt's parser reads these from the start as they come: another encoding
        // named, a document type, marks, a character XML refuses...
        { extra, true },
        { extra.substr(0, extra.size() - 30), true },
        { extra + "<junk/>", true },
        { marks, true },
        { marks + extra, true },
        { marks + "\xEF\xBB\xBF" + extra, true },
        { "<!DOCTYPE tt>" + tt + p + "a</p></div></body></tt>", true },
        { "<?xml-stylesheet href=\"a.css\"?>" + tt + p + "a</p></div></body></tt>", true },
        // ...and these are read whole, once the root started.
        { tt + p + "a</div></body></tt>", false },
        { tt + p + "a&nbsp;b</p></div></body></tt>", false },
        { tt + p + "a]]>b</p></div></body></tt>", false },
        { tt + p + "a\x01</p></div></body></tt>", true },
        { tt + p + "<sp\xC3\xA4n>a</sp\xC3\xA4n></p></div></body></tt>", false },
        { tt + "<p begin=\"1s\" begin=\"2s\" end=\"3s\">a</p></div></body></tt>", false },
        { tt + "<x:p begin=\"1s\" end=\"2s\">a</x:p></div></body></tt>", false },
        { tt + "<p begin=\"1<s\" end=\"2s\">a</p></div></body></tt>", false },
        { tt + "<p begin=\"soon\" end=\"2s\">a</p></div></body></tt>", false },
        { tt + p + "a<!-- x -- y --></p></div></body></tt>", false },
        { tt + p + "a</p></div></body></tt>x", false },
    };
    for (const auto& [text, asItComes] : cases) {
        SubtitleTable kept, streamed;
        std::string keptError, streamedError;
        try {
            read(kept, text);
        } catch (const Error& e) {
            keptError = e.what();
        }
        bool whole = false;
        try {
            LineReader lines(text);
            lines.setKeepsFile(false);
            ReadTtml(lines, streamed, 1, 23.976);
        } catch (const Error& e) {
            streamedError = e.what();
        } catch (const ReadFileWhole&) {
            whole = true;
        }
        EXPECT_EQ(whole, !asItComes) << text;
        if (whole) continue;
        EXPECT_EQ(test::Rows(streamed), test::Rows(kept)) << text;
        EXPECT_EQ(streamedError, keptError) << text;
        EXPECT_EQ(TtmlDataLeftOut(streamed, "subrip"), TtmlDataLeftOut(kept, "subrip")) << text;
    }
}

// A table from another format: each row's paragraph as TTML writes it, by
// hand: &, < and > as entities, a "<" that opens no tag and braces without
// their close kept as text, a {code} left out, tags as spans of the styling
// attributes, a span closed early reopened after, Line 3's "\N" a break; at
// 25 fps the clock's frames, past 99 hours three digits; at 26 fps (no
// frame rate of TTML's) milliseconds.
TEST(Ttml, ParagraphsOfRowsWithAndWithoutMarkup)
{
    const std::string it = "<span tts:fontStyle=\"italic\">", bold = "<span tts:fontWeight=\"bold\">", end = "</span>";
    for (const auto& [fps, row, paragraph] : {
             std::tuple<double, Row, std::string> { 25.0, Row { "25", "50", "a & b > c" },
                 "<p begin=\"00:00:01:00\" end=\"00:00:02:00\">a &amp; b &gt; c</p>" },
             { 25.0, Row { "90001", "9000000", "x<y {open" },
                 "<p begin=\"01:00:00:01\" end=\"100:00:00:00\">x&lt;y {open</p>" },
             { 25.0, Row { "0", "1", "{\\an8}Top", "" }, "<p begin=\"00:00:00:00\" end=\"00:00:00:01\">Top</p>" },
             { 25.0, Row { "0", "1", "<i>it</i> and <b>bold</b>" },
                 "\">" + it + "it" + end + " and " + bold + "bold" + end + "</p>" },
             { 25.0, Row { "0", "1", "<i>open <b>both</i> bold</b>" },
                 "\">" + it + "open " + bold + "both" + end + end + bold + " bold" + end + "</p>" },
             { 25.0, Row { "0", "1", "<font color=\"#ff0000\">red & <u>u</u></font>" },
                 "\"><span tts:color=\"#ff0000\">red &amp; <span tts:textDecoration=\"underline\">u" + end + end
                     + "</p>" },
             { 25.0, Row { "0", "1", "<i>never closed", "two", "three\\Nfour" },
                 "\">" + it + "never closed<br/>two<br/>three<br/>four" + end + "</p>" },
             { 26.0, Row { "53", "78", "ms" }, "<p begin=\"00:00:02.038\" end=\"00:00:03.000\">ms</p>" },
         }) {
        SubtitleTable table;
        test::Fill(table, { row });
        const std::string out = write(table, fps);
        EXPECT_NE(out.find(paragraph + "\r\n"), std::string::npos) << row[2] << "\n" << out;
    }
}

// White space as XML collapses it (or keeps it, asked to), the spaces at a
// line's ends not shown, whether the paragraph is one run of text or more.
TEST(Ttml, SpacesOfAParagraphsText)
{
    const std::string head = "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:tts=\"http://www.w3.org/ns/ttml#styling\">"
                             "<body><div><p begin=\"1s\" end=\"2s\"";
    for (const auto& [paragraph, line] : std::vector<std::pair<std::string, std::string>> {
             { ">  a \n b  ", "a b" },
             { " xml:space=\"preserve\">  a  b  ", "a  b" },
             { ">   ", "" },
             { "><span tts:fontStyle=\"italic\"> it </span>", "<i>it</i>" },
             { "> a <span tts:fontStyle=\"italic\">it</span> ", "a <i>it</i>" },
         }) {
        SubtitleTable table;
        read(table, head + paragraph + "</p></div></body></tt>");
        ASSERT_EQ(table.rowCount(), 2) << paragraph;
        EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), line) << paragraph;
    }
}
