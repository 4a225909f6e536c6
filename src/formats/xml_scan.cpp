#include "formats/xml_scan.h"

#include "core/text_utils.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tessel {
namespace {

constexpr std::string_view XmlNamespace = "http://www.w3.org/XML/1998/namespace";
// A token longer than this is left to the full parser: read again as each
// piece comes, a longer one would cost more than that parser does.
constexpr size_t MaxToken = size_t(4) << 20;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isNameStart(unsigned char c) { return static_cast<unsigned>((c | 0x20) - 'a') < 26u || c == '_'; }

// Names are most of what is read between the texts: a look-up a character.
struct NameChars {
    bool is[256] = {};
    constexpr NameChars()
    {
        for (unsigned c = 0; c < 256; ++c)
            is[c] = static_cast<unsigned>((c | 0x20) - 'a') < 26u || c == '_' || c - '0' < 10u || c == '-' || c == '.'
                || c == ':';
    }
};
constexpr NameChars NameChar;
bool isNameChar(unsigned char c) { return NameChar.is[c]; }

// Control characters but tab and line feed (a carriage return never reaches
// here but from a damaged file), and U+FFFE and U+FFFF.
bool refused(const unsigned char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        if (c < 0x20 && c != '\t' && c != '\n') return true;
        if (c == 0xEF && i + 2 < n && p[i + 1] == 0xBF && (p[i + 2] & 0xFE) == 0xBE) return true;
    }
    return false;
}

bool clean(const char* text, size_t n)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
#ifdef __SSE2__
    const __m128i control = _mm_set1_epi8(0x1F);
    const __m128i ef = _mm_set1_epi8(static_cast<char>(0xEF));
    const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i low = _mm_andnot_si128(_mm_or_si128(_mm_cmpeq_epi8(x, tab), _mm_cmpeq_epi8(x, lf)),
            _mm_cmpeq_epi8(_mm_max_epu8(x, control), control));
        if (_mm_movemask_epi8(_mm_or_si128(low, _mm_cmpeq_epi8(x, ef))) == 0) continue;
        if (refused(p + i, std::min<size_t>(18, n - i))) return false;
    }
#endif
    return !refused(p + i, n - i);
}

// A reference's character; tab and line feed the only controls taken.
unsigned character(std::string_view ref)
{
    if (ref == "amp") return '&';
    if (ref == "lt") return '<';
    if (ref == "gt") return '>';
    if (ref == "quot") return '"';
    if (ref == "apos") return '\'';
    if (ref.size() < 2 || ref[0] != '#') throw XmlUnsure();
    const bool hex = ref[1] == 'x';
    ref.remove_prefix(hex ? 2 : 1);
    if (ref.empty() || ref.size() > 7) throw XmlUnsure();
    unsigned code = 0;
    for (const char c : ref) {
        const unsigned decimal = static_cast<unsigned>(c - '0'), letter = static_cast<unsigned>((c | 0x20) - 'a');
        const unsigned digit = decimal < 10 ? decimal : hex && letter < 6 ? letter + 10 : 99;
        if (digit == 99) throw XmlUnsure();
        code = code * (hex ? 16 : 10) + digit;
    }
    const bool allowed = code == '\t' || code == '\n' || (code >= 0x20 && code <= 0xD7FF)
        || (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
    if (!allowed) throw XmlUnsure();
    return code;
}

} // namespace

std::string& XmlScanner::room()
{
    // Until the root starts, all of the text stays, for a full parser to read from the start.
    if (at_ > 0 && rootSeen_) {
        buf_.erase(0, at_);
        at_ = 0;
    }
    return buf_;
}

void XmlScanner::added(size_t from)
{
    from = from > 2 ? from - 2 : 0;
    if (!clean(buf_.data() + from, buf_.size() - from)) throw XmlUnsure();
}

XmlScanner::Token XmlScanner::next()
{
    if (pendingEnd_) {
        pendingEnd_ = false;
        return endElement(false);
    }
    for (;;) {
        const size_t size = buf_.size();
        if (!begun_) {
            if (size - at_ < 6 && !ended_) return NeedMore;
            const std::string_view head(buf_.data() + at_, std::min<size_t>(size - at_, 6));
            if (head.substr(0, 3) == "\xEF\xBB\xBF") throw XmlUnsure();
            if (head.size() == 6 && head.substr(0, 5) == "<?xml" && isSpace(head[5]) && !declaration()) return NeedMore;
            begun_ = true;
            continue;
        }
        const char* start = buf_.data() + at_;
        unsigned special = 0;
        const size_t end = markupAt(special);
        const bool lt = end != size;
        if (end != at_) {
            if (!lt && !ended_) {
                if (size - at_ > MaxToken) throw XmlUnsure();
                return NeedMore;
            }
            const std::string_view text(start, end - at_);
            if (depth_ == 0) {
                if (!std::all_of(text.begin(), text.end(), isSpace)) throw XmlUnsure();
                at_ = end;
                continue;
            }
            if (!lt) throw XmlUnsure();
            // References, "]]>", and white space other than single spaces.
            bool references = false;
            plain_ = (special & Spaced) == 0;
            for (size_t i = 0; (special & Marked) && i < text.size(); ++i) {
                const char t = text[i];
                if (t == '&') {
                    references = true;
                } else if (t == '\t' || t == '\n' || (t == ' ' && i > 0 && text[i - 1] == ' ')) {
                    plain_ = false;
                } else if (t == '>' && i >= 2 && text[i - 1] == ']' && text[i - 2] == ']') {
                    throw XmlUnsure();
                }
            }
            if (references) {
                decodedText_.clear();
                const size_t length = decoded(text, false, decodedText_);
                text_ = std::string_view(decodedText_.data(), length);
                plain_ = false;
            } else {
                text_ = text;
            }
            at_ = end;
            return Characters;
        }
        if (at_ == size) {
            if (!ended_) return NeedMore;
            if (depth_ == 0 && rootSeen_) return EndDocument;
            throw XmlUnsure();
        }
        if (size - at_ < 4 && !ended_) return NeedMore;
        const char c = at_ + 1 < size ? buf_[at_ + 1] : 0;
        if (c == '!') {
            if (buf_.compare(at_, 4, "<!--") != 0) throw XmlUnsure();
            if (!comment()) return NeedMore;
            continue;
        }
        if (c == '/') return endElement(true);
        if (c == '?' || (depth_ == 0 && rootSeen_)) throw XmlUnsure();
        return startElement();
    }
}

// Where the next markup from `at` starts (the buffer's end for none); in `special`,
// whether the text before holds a character that needs a closer look: a
// reference or a '>' (Marked), a tab, a line feed, or two spaces together
// (Spaced).
size_t XmlScanner::markupFrom(size_t at, unsigned& special) const
{
    const char* p = buf_.data();
    const size_t size = buf_.size();
    size_t i = at;
    // Half the tokens are tags right after another piece of markup.
    if (i < size && p[i] == '<') return i;
#ifdef __SSE2__
    const __m128i lt = _mm_set1_epi8('<'), amp = _mm_set1_epi8('&'), gt = _mm_set1_epi8('>');
    const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n'), space = _mm_set1_epi8(' ');
    for (; i + 17 <= size; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
        const unsigned markup = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, lt)));
        const unsigned marked
            = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, amp), _mm_cmpeq_epi8(x, gt))));
        const unsigned spaced = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, tab), _mm_cmpeq_epi8(x, lf)),
                _mm_and_si128(_mm_cmpeq_epi8(x, space), _mm_cmpeq_epi8(y, space)))));
        const unsigned before = markup ? (1u << __builtin_ctz(markup)) - 1 : 0xFFFFu;
        if (marked & before) special |= Marked;
        if (spaced & before) special |= Spaced;
        if (markup) return i + static_cast<size_t>(__builtin_ctz(markup));
    }
#endif
    for (; i < size && p[i] != '<'; ++i) {
        const char c = p[i];
        if (c == '&' || c == '>') special |= Marked;
        if (c == '\t' || c == '\n' || (c == ' ' && i + 1 < size && p[i + 1] == ' ')) special |= Spaced;
    }
    return i;
}

// The declaration at the start: version 1.0, the encoding only UTF-8's
// name, as the text given is UTF-8 whatever the file said.
bool XmlScanner::declaration()
{
    const size_t close = buf_.find("?>", at_);
    if (close == std::string::npos) {
        if (ended_ || buf_.size() - at_ > MaxToken) throw XmlUnsure();
        return false;
    }
    std::string_view rest(buf_.data() + at_ + 5, close - at_ - 5);
    for (const std::string_view key : { "version", "encoding", "standalone" }) {
        const size_t space = rest.find_first_not_of(" \t\n");
        if (space == 0 || space == std::string_view::npos || rest.substr(space, key.size()) != key) {
            if (key == "version") throw XmlUnsure();
            continue;
        }
        std::string_view r = rest.substr(space + key.size());
        r.remove_prefix(std::min(r.size(), r.find_first_not_of(" \t\n")));
        if (r.empty() || r[0] != '=') throw XmlUnsure();
        r.remove_prefix(1);
        r.remove_prefix(std::min(r.size(), r.find_first_not_of(" \t\n")));
        if (r.empty() || (r[0] != '"' && r[0] != '\'')) throw XmlUnsure();
        const size_t end = r.find(r[0], 1);
        if (end == std::string_view::npos) throw XmlUnsure();
        std::string value(r.substr(1, end - 1));
        std::transform(value.begin(), value.end(), value.begin(), [](char c) { return c | 0x20; });
        const bool good = key == "version" ? value == "1.0"
            : key == "encoding"            ? value == "utf-8"
                                           : value == "yes" || value == "no";
        if (!good) throw XmlUnsure();
        rest = r.substr(end + 1);
    }
    if (rest.find_first_not_of(" \t\n") != std::string_view::npos) throw XmlUnsure();
    at_ = close + 2;
    return true;
}

bool XmlScanner::comment()
{
    const size_t close = buf_.find("-->", at_ + 4);
    if (close == std::string::npos) {
        if (ended_ || buf_.size() - at_ > MaxToken) throw XmlUnsure();
        return false;
    }
    const std::string_view body(buf_.data() + at_ + 4, close - at_ - 4);
    if (body.find("--") != std::string_view::npos || (!body.empty() && body.back() == '-')) throw XmlUnsure();
    at_ = close + 3;
    return true;
}

// Where a name starting at `at` ends: at `at` for none; its ASCII letters,
// digits and marks, with one colon inside.
size_t XmlScanner::name(size_t at, size_t* colonAt) const
{
    const size_t size = buf_.size();
    if (at == size) return at;
    if (!isNameStart(static_cast<unsigned char>(buf_[at]))) {
        if (static_cast<unsigned char>(buf_[at]) >= 0x80) throw XmlUnsure();
        return at;
    }
    size_t e = at + 1, colon = std::string::npos;
    for (; e < size && isNameChar(static_cast<unsigned char>(buf_[e])); ++e)
        if (buf_[e] == ':') {
            if (colon != std::string::npos) throw XmlUnsure();
            colon = e;
        }
    if (e == size) return e; // it may go on in the next piece
    if (static_cast<unsigned char>(buf_[e]) >= 0x80) throw XmlUnsure();
    if (colon != std::string::npos && (colon + 1 == e || !isNameStart(static_cast<unsigned char>(buf_[colon + 1]))))
        throw XmlUnsure();
    if (colonAt) *colonAt = colon == std::string::npos ? colon : colon - at;
    return e;
}

size_t XmlScanner::bindingOf(std::string_view prefix) const
{
    // Most names have no prefix: the default namespace, looked up once for the bindings as they stand.
    if (prefix.empty() && unprefixedKnown_) return unprefixed_;
    size_t found = std::string::npos;
    for (size_t i = bindingCount_; i-- > 0;)
        if (bindings_[i].prefix == prefix) {
            found = i;
            break;
        }
    if (prefix.empty()) {
        unprefixed_ = found;
        unprefixedKnown_ = true;
    }
    return found;
}

// Appends the text with its references resolved (and, of an attribute's
// value, tabs and line feeds as spaces); gives the size appended.
size_t XmlScanner::decoded(std::string_view raw, bool attribute, std::string& into)
{
    const size_t before = into.size();
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '&') {
            const size_t semi = raw.find(';', i + 1);
            if (semi == std::string_view::npos || semi - i > 12) throw XmlUnsure();
            AppendUtf8(into, character(raw.substr(i + 1, semi - i - 1)));
            i = semi;
        } else {
            into += attribute && (c == '\t' || c == '\n') ? ' ' : c;
        }
    }
    return into.size() - before;
}

// Where the value from `at` ends at `quote`, and whether it is plain (no
// reference, tab or line feed); false when the text so far ends first.
bool XmlScanner::valueEnd(char quote, size_t& at, bool& plain) const
{
    const char* p = buf_.data();
    const size_t size = buf_.size();
#ifdef __SSE2__
    // Values are mostly short: one look at sixteen bytes finds the quote.
    const __m128i q = _mm_set1_epi8(quote), lt = _mm_set1_epi8('<'), amp = _mm_set1_epi8('&');
    const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n');
    for (; at + 16 <= size; at += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const unsigned quotes = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, q)));
        const unsigned before = quotes ? (1u << __builtin_ctz(quotes)) - 1 : 0xFFFFu;
        if (static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, lt))) & before) throw XmlUnsure();
        const __m128i odd
            = _mm_or_si128(_mm_cmpeq_epi8(x, amp), _mm_or_si128(_mm_cmpeq_epi8(x, tab), _mm_cmpeq_epi8(x, lf)));
        if (static_cast<unsigned>(_mm_movemask_epi8(odd)) & before) plain = false;
        if (quotes) {
            at += static_cast<size_t>(__builtin_ctz(quotes));
            return true;
        }
    }
#endif
    for (; at < size && p[at] != quote; ++at) {
        const char v = p[at];
        if (v == '<') throw XmlUnsure();
        if (v == '&' || v == '\t' || v == '\n') plain = false;
    }
    return at < size;
}

XmlScanner::Token XmlScanner::startElement()
{
    const size_t size = buf_.size();
    const auto incomplete = [&] {
        if (ended_ || size - at_ > MaxToken) throw XmlUnsure();
        return NeedMore;
    };
    size_t qnameColon = std::string::npos;
    size_t e = name(at_ + 1, &qnameColon);
    if (e == size) return incomplete();
    if (e == at_ + 1) throw XmlUnsure();
    const std::string_view qname(buf_.data() + at_ + 1, e - at_ - 1);
    raw_.clear();
    bool selfClosing = false, declares = false;
    for (;;) {
        const size_t before = e;
        while (e < size && isSpace(buf_[e]))
            ++e;
        if (e == size) return incomplete();
        if (buf_[e] == '>') {
            ++e;
            break;
        }
        if (buf_[e] == '/') {
            if (e + 1 == size) return incomplete();
            if (buf_[e + 1] != '>') throw XmlUnsure();
            e += 2;
            selfClosing = true;
            break;
        }
        if (e == before) throw XmlUnsure();
        size_t colon = std::string::npos;
        const size_t nameEnd = name(e, &colon);
        if (nameEnd == size) return incomplete();
        if (nameEnd == e) throw XmlUnsure();
        const std::string_view attributeName(buf_.data() + e, nameEnd - e);
        e = nameEnd;
        while (e < size && isSpace(buf_[e]))
            ++e;
        if (e == size) return incomplete();
        if (buf_[e++] != '=') throw XmlUnsure();
        while (e < size && isSpace(buf_[e]))
            ++e;
        if (e == size) return incomplete();
        const char quote = buf_[e];
        if (quote != '"' && quote != '\'') throw XmlUnsure();
        size_t close = e + 1;
        bool plain = true;
        if (!valueEnd(quote, close, plain)) return incomplete();
        raw_.push_back({ attributeName, std::string_view(buf_.data() + e + 1, close - e - 1) });
        raw_.back().plain = plain;
        raw_.back().colon = colon;
        raw_.back().declaration = attributeName.size() >= 5 && std::memcmp(attributeName.data(), "xmlns", 5) == 0
            && (attributeName.size() == 5 || attributeName[5] == ':');
        declares = declares || raw_.back().declaration;
        e = close + 1;
    }

    // The whole tag is here: values resolved, then names.
    decodedValues_.clear();
    for (RawAttribute& a : raw_) {
        if (a.plain) continue;
        a.decodedAt = decodedValues_.size();
        a.decodedSize = decoded(a.value, true, decodedValues_);
    }
    for (RawAttribute& a : raw_)
        if (a.decodedAt != std::string::npos)
            a.value = std::string_view(decodedValues_).substr(a.decodedAt, a.decodedSize);
    if (depth_ == open_.size()) open_.emplace_back();
    Open& open = open_[depth_];
    // Elements at one depth mostly share a name: nothing to copy then.
    if (open.qualifiedName != qname) open.qualifiedName.assign(qname);
    open.bindings = bindingCount_;
    tag_.declarations.clear();
    for (const RawAttribute& a : raw_) {
        if (!declares) break;
        if (!a.declaration) continue;
        std::string_view prefix;
        if (a.qualifiedName.size() > 5) {
            prefix = a.qualifiedName.substr(6);
            if (prefix == "xml" || prefix == "xmlns") throw XmlUnsure();
        }
        if (a.value.empty()) throw XmlUnsure();
        if (bindingCount_ == bindings_.size()) bindings_.emplace_back();
        bindings_[bindingCount_].prefix.assign(prefix);
        bindings_[bindingCount_].uri.assign(a.value);
        ++bindingCount_;
        unprefixedKnown_ = false;
    }
    for (size_t i = open.bindings; i < bindingCount_; ++i)
        tag_.declarations.emplace_back(bindings_[i].prefix, bindings_[i].uri);

    // The colon as the name's scan found it.
    const auto split = [](std::string_view q, size_t colon, std::string_view& prefix, std::string_view& local) {
        prefix = colon == std::string_view::npos ? std::string_view() : q.substr(0, colon);
        local = colon == std::string_view::npos ? q : q.substr(colon + 1);
    };
    std::string_view prefix, local;
    split(qname, qnameColon, prefix, local);
    if (prefix == "xml" || prefix == "xmlns") throw XmlUnsure();
    open.binding = bindingOf(prefix);
    if (open.binding == std::string::npos && !prefix.empty()) throw XmlUnsure();
    open.nameAt = prefix.empty() ? 0 : prefix.size() + 1;

    tag_.attributes.clear();
    for (const RawAttribute& a : raw_) {
        if (a.declaration) continue;
        std::string_view attributePrefix, attributeName;
        split(a.qualifiedName, a.colon, attributePrefix, attributeName);
        std::string_view attributeUri;
        if (attributePrefix == "xml") {
            attributeUri = XmlNamespace;
        } else if (!attributePrefix.empty()) {
            const size_t bound = bindingOf(attributePrefix);
            if (bound == std::string::npos) throw XmlUnsure();
            attributeUri = bindings_[bound].uri;
        }
        tag_.attributes.push_back({ attributeUri, attributeName, a.value });
    }
    for (size_t i = 0; i < raw_.size(); ++i)
        for (size_t j = i + 1; j < raw_.size(); ++j)
            if (raw_[i].qualifiedName == raw_[j].qualifiedName) throw XmlUnsure();
    for (size_t i = 0; i < tag_.attributes.size(); ++i)
        for (size_t j = i + 1; j < tag_.attributes.size(); ++j)
            if (!tag_.attributes[i].uri.empty() && tag_.attributes[i].uri == tag_.attributes[j].uri
                && tag_.attributes[i].name == tag_.attributes[j].name)
                throw XmlUnsure();

    const std::string_view stored(open.qualifiedName);
    tag_.qualifiedName = stored;
    tag_.prefix = stored.substr(0, prefix.size());
    tag_.name = stored.substr(open.nameAt);
    tag_.uri = uriOf(open);
    ++depth_;
    rootSeen_ = true;
    pendingEnd_ = selfClosing;
    at_ = e;
    return StartElement;
}

XmlScanner::Token XmlScanner::endElement(bool tag)
{
    if (tag) {
        const size_t size = buf_.size();
        size_t e = name(at_ + 2);
        if (e == size && !ended_) return NeedMore;
        if (e == at_ + 2 || depth_ == 0) throw XmlUnsure();
        const std::string_view qname(buf_.data() + at_ + 2, e - at_ - 2);
        while (e < size && isSpace(buf_[e]))
            ++e;
        if (e == size) {
            if (ended_ || size - at_ > MaxToken) throw XmlUnsure();
            return NeedMore;
        }
        if (buf_[e] != '>' || qname != open_[depth_ - 1].qualifiedName) throw XmlUnsure();
        at_ = e + 1;
    }
    const Open& open = open_[--depth_];
    endName_ = std::string_view(open.qualifiedName).substr(open.nameAt);
    endUri_ = uriOf(open);
    if (bindingCount_ != open.bindings) unprefixedKnown_ = false;
    bindingCount_ = open.bindings;
    return EndElement;
}

bool XmlScanner::plainElement(std::string_view elementName, std::string_view lineBreak, XmlPlainElement& out) const
{
    const char* p = buf_.data();
    const size_t size = buf_.size();
    const size_t n = elementName.size();
    size_t i = at_;
    if (pendingEnd_ || !begun_ || depth_ == 0 || i + n + 1 >= size || p[i] != '<'
        || std::memcmp(p + i + 1, elementName.data(), n) != 0)
        return false;
    i += n + 1;
    out.tag.attributes.clear();
    out.texts.clear();
    // The start tag: anything but single spaces, unprefixed names and plain values is read the long way.
    for (;;) {
        if (p[i] == '>') break;
        if (p[i] != ' ') return false;
        while (i < size && p[i] == ' ')
            ++i;
        if (i == size) return false;
        if (p[i] == '>') break;
        const size_t nameAt = i;
        if (!isNameStart(static_cast<unsigned char>(p[i]))) return false;
        while (++i < size && isNameChar(static_cast<unsigned char>(p[i])) && p[i] != ':') { }
        if (i + 1 >= size || p[i] != '=' || (p[i + 1] != '"' && p[i + 1] != '\'')) return false;
        const std::string_view attributeName(p + nameAt, i - nameAt);
        if (attributeName.size() >= 5 && p[nameAt] == 'x' && std::memcmp(p + nameAt, "xmlns", 5) == 0) return false;
        const size_t valueAt = i + 2;
        bool plain = true;
        // A '<' in the value is refused here as the long way refuses it.
        i = valueAt;
        if (!valueEnd(p[valueAt - 1], i, plain) || !plain) return false;
        const std::string_view value(p + valueAt, i - valueAt);
        for (const XmlAttribute& a : out.tag.attributes)
            if (a.name.size() == attributeName.size() && a.name == attributeName) return false;
        out.tag.attributes.push_back({ {}, attributeName, value });
        if (++i == size) return false;
    }
    ++i;
    const size_t b = lineBreak.size();
    for (;;) {
        unsigned special = 0;
        const size_t lt = markupFrom(i, special);
        if (lt == size || (special & Marked)) return false;
        out.texts.push_back({ std::string_view(p + i, lt - i), (special & Spaced) == 0, false });
        if (lt + b + 3 <= size && p[lt + 1 + b] == '/' && p[lt + 2 + b] == '>'
            && std::memcmp(p + lt + 1, lineBreak.data(), b) == 0) {
            out.texts.back().breakAfter = true;
            i = lt + b + 3;
            continue;
        }
        if (lt + n + 3 <= size && p[lt + 1] == '/' && p[lt + 2 + n] == '>'
            && std::memcmp(p + lt + 2, elementName.data(), n) == 0) {
            out.end = lt + n + 3;
            break;
        }
        return false;
    }
    const size_t binding = bindingOf({});
    out.tag.uri = binding == std::string::npos ? std::string_view() : std::string_view(bindings_[binding].uri);
    out.tag.qualifiedName = out.tag.name = elementName;
    out.tag.prefix = {};
    out.tag.declarations.clear();
    return true;
}

} // namespace tessel
