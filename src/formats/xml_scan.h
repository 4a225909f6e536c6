#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The plain XML subtitle documents are written in, read fast and a piece at
// a time: elements, attributes, namespaces, text, comments, the five named
// entities and character references, in UTF-8 with ASCII names. Anything
// else (a document type, CDATA, processing instructions, other encodings or
// names, and every error) is left to a full XML parser: `next` throws
// XmlUnsure and the caller reads the document that way. What it does read
// comes as a full parser gives it: resolved names, attribute values
// normalised, one text between two pieces of markup.
namespace tessel {

struct XmlUnsure { };

struct XmlAttribute {
    std::string_view uri, name, value;
};

struct XmlStartTag {
    std::string_view qualifiedName, prefix, name, uri;
    std::vector<XmlAttribute> attributes; // without the namespace declarations
    std::vector<std::pair<std::string_view, std::string_view>> declarations; // prefix, namespace
};

// An element whose only markup inside is line breaks, as most paragraphs
// of a subtitle document are: its start tag, and the texts between the
// breaks (a break after each but the last).
struct XmlPlainElement {
    XmlStartTag tag;
    struct Text {
        std::string_view text;
        bool plain = true; // as XmlScanner::plainText
        bool breakAfter = false;
    };
    std::vector<Text> texts;
    size_t end = 0;
};

class XmlScanner {
public:
    enum Token { NeedMore, StartElement, EndElement, Characters, EndDocument };

    // The buffer to append the next piece to; what was read is dropped from
    // it first, so views of the last token end here.
    std::string& room();
    // After appending to room(): the piece is checked for characters XML refuses.
    void added(size_t from);
    void end() { ended_ = true; }
    // Whether the root element has started; before, the text so far is all here.
    bool rooted() const { return rootSeen_; }
    std::string takeText() { return std::move(buf_); }

    // The next token; NeedMore when the text so far ends inside it.
    Token next();
    const XmlStartTag& startTag() const { return tag_; }
    // Of an EndElement.
    std::string_view endName() const { return endName_; }
    std::string_view endUri() const { return endUri_; }
    // Of Characters.
    std::string_view text() const { return text_; }
    // Whether the text has no white space but single spaces.
    bool plainText() const { return plain_; }

    // Whether what comes next is, whole in the text so far, the element
    // <name ...>text<lineBreak/>text</name>: both names unprefixed, its
    // attributes unprefixed with plain values, one space before each, and
    // its texts without references or '>'. It gives the tokens next() would
    // give, in one look instead of one for each; nothing is taken until take().
    bool plainElement(std::string_view name, std::string_view lineBreak, XmlPlainElement& out) const;
    void take(const XmlPlainElement& element) { at_ = element.end; }

private:
    struct Open {
        std::string qualifiedName;
        size_t binding = std::string::npos; // of its namespace; none for no namespace
        size_t nameAt = 0; // where the local name starts
        size_t bindings = 0; // namespace bindings before this element's own
    };
    struct Binding {
        std::string prefix, uri;
    };
    struct RawAttribute {
        std::string_view qualifiedName, value;
        size_t decodedAt = std::string::npos, decodedSize = 0;
        size_t colon = std::string::npos; // in the name
        bool plain = true; // no reference, tab or line feed
        bool declaration = false; // of a namespace
    };

    enum Special : unsigned { Marked = 1, Spaced = 2 };
    size_t markupAt(unsigned& special) const { return markupFrom(at_, special); }
    size_t markupFrom(size_t at, unsigned& special) const;
    Token startElement();
    bool valueEnd(char quote, size_t& at, bool& plain) const;
    Token endElement(bool tag);
    bool declaration();
    bool comment();
    size_t decoded(std::string_view raw, bool attribute, std::string& into);
    size_t bindingOf(std::string_view prefix) const;
    std::string_view uriOf(const Open& open) const
    {
        return open.binding == std::string::npos ? std::string_view() : std::string_view(bindings_[open.binding].uri);
    }
    // `colonAt`: where its colon is from `at`, if any.
    size_t name(size_t at, size_t* colonAt = nullptr) const;

    std::string buf_;
    size_t at_ = 0;
    bool ended_ = false, plain_ = true, begun_ = false, rootSeen_ = false, pendingEnd_ = false;
    std::vector<Open> open_;
    size_t depth_ = 0;
    std::vector<Binding> bindings_;
    size_t bindingCount_ = 0;
    mutable size_t unprefixed_ = std::string::npos; // the binding of names without a prefix, when known
    mutable bool unprefixedKnown_ = false;
    std::vector<RawAttribute> raw_;
    std::string decodedValues_, decodedText_;
    XmlStartTag tag_;
    std::string_view endName_, endUri_, text_;
};

} // namespace tessel
