#include "formats/xml_scan.h"

#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

// The tokens as one line each: what a subtitle reader looks at.
std::string scanned(const std::string& text, size_t piece)
{
    XmlScanner scanner;
    std::string out;
    size_t fed = 0;
    try {
        for (;;) {
            const XmlScanner::Token token = scanner.next();
            if (token == XmlScanner::NeedMore) {
                if (fed == text.size()) {
                    scanner.end();
                    continue;
                }
                std::string& room = scanner.room();
                const size_t from = room.size();
                room += text.substr(fed, piece);
                fed = std::min(text.size(), fed + piece);
                scanner.added(from);
                continue;
            }
            if (token == XmlScanner::EndDocument) return out;
            if (token == XmlScanner::StartElement) {
                const XmlStartTag& tag = scanner.startTag();
                out += "<{" + std::string(tag.uri) + "}" + std::string(tag.name);
                for (const XmlAttribute& a : tag.attributes)
                    out += " {" + std::string(a.uri) + "}" + std::string(a.name) + "=[" + std::string(a.value) + "]";
                out += "\n";
            } else if (token == XmlScanner::EndElement) {
                out += "</{" + std::string(scanner.endUri()) + "}" + std::string(scanner.endName()) + "\n";
            } else {
                out += "[" + std::string(scanner.text()) + "]\n";
            }
        }
    } catch (const XmlUnsure&) {
        return "unsure";
    }
}

std::string parsedByQt(const std::string& text)
{
    QXmlStreamReader xml(QString::fromStdString(text));
    std::string out;
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        depth += token == QXmlStreamReader::StartElement ? 1 : token == QXmlStreamReader::EndElement ? -1 : 0;
        if (token == QXmlStreamReader::StartElement) {
            out += "<{" + xml.namespaceUri().toString().toStdString() + "}" + xml.name().toString().toStdString();
            for (const QXmlStreamAttribute& a : xml.attributes())
                out += " {" + a.namespaceUri().toString().toStdString() + "}" + a.name().toString().toStdString() + "=["
                    + a.value().toString().toStdString() + "]";
            out += "\n";
        } else if (token == QXmlStreamReader::EndElement) {
            out += "</{" + xml.namespaceUri().toString().toStdString() + "}" + xml.name().toString().toStdString()
                + "\n";
        } else if (token == QXmlStreamReader::Characters && depth > 0) {
            out += "[" + xml.text().toString().toStdString() + "]\n";
        }
    }
    return xml.hasError() ? "error" : out;
}

} // namespace

// What the scanner reads, it reads as Qt's parser does, given whole or a few
// bytes at a time; what it leaves alone includes everything Qt refuses.
TEST(XmlScanner, ReadsWhatItTakesAsQtsParserDoes)
{
    const std::pair<std::string, bool> cases[] = {
        { "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>x &amp; y &#65;&#x42; &lt;&gt;&quot;&apos; \xC3\xA9</a>\n",
            true },
        { "<a b=\"1&#10;2\t3\n4 &amp;\" c='\"q\"'  d = \"&gt;\"/>", true },
        { "<a xmlns=\"urn:d\" xmlns:p=\"urn:p\"><p:b p:c=\"1\" c=\"2\"><c xmlns=\"urn:e\"/></p:b><d/></a>", true },
        { "<a xmlns:p=\"urn:1\"><b xmlns:p=\"urn:2\"><p:c/></b><p:c/></a>", true },
        { "<a xml:space=\"preserve\" xml:lang=\"en\">t<!-- c -->u<b\n/>  v  </a >", true },
        { "<!-- before --><a>\n  <b>x</b>\n</a><!-- after -->\n", true },
        { "<a><![CDATA[x]]></a>", false },
        { "<!DOCTYPE a><a/>", false },
        { "<a>&nbsp;</a>", false },
        { "<a><b></a></b>", false },
        { "<a><p:b/></a>", false },
        { "<a x=\"1\" x=\"2\"/>", false },
        { "<a xmlns:p=\"u\" xmlns:q=\"u\" p:x=\"1\" q:x=\"2\"/>", false },
        { "<a x=\"<\"/>", false },
        // Values longer than a look at sixteen bytes, what marks them anywhere in them.
        { "<a b=\"a value longer than sixteen &amp; more\tand\nmore\" c='a \"quoted\" value longer than sixteen'/>",
            true },
        { "<a b=\"sixteen bytes and more, then <\"/>", false },
        { "<a>]]></a>", false },
        { "<a>--<!-- a--b --></a>", false },
        { "<a/><b/>", false },
        { "<a/>text", false },
        { "<a>&#0;</a>", false },
        { "<a>\x01</a>", false },
        { "<a", false },
        { "<a>x", false },
        { "", false },
    };
    for (const auto& [text, taken] : cases) {
        const std::string qt = parsedByQt(text);
        for (const size_t piece : { text.size() + 1, size_t(3), size_t(1) }) {
            const std::string scan = scanned(text, piece);
            if (taken)
                EXPECT_EQ(scan, qt) << text << " in pieces of " << piece;
            else
                EXPECT_EQ(scan, "unsure") << text << " in pieces of " << piece;
        }
        if (qt == "error") {
            EXPECT_FALSE(taken) << text;
        }
    }
}
