#include "picture/ocr_text.h"

#include "picture/ocr_image.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string_view>

namespace tessel {
namespace {

// The height a line is scaled to before the engine reads it: the best of
// 36, 48 and 64 on the development set.
constexpr int LineHeight = 48;

// What changing between italics and upright within a line costs, against
// a word's evidence weighted by its width (in twice the line's height):
// found best on a development set of 300 subtitles (F1 0.996) and kept from
// 0.05 to 0.1 without much loss.
constexpr double SwitchCost = 0.06;

// Subtitle fonts draw I, l and | alike, and an italic l like a slash; the
// engine reads them so where no subtitle would have them.
std::string fixConfusions(std::string word)
{
    size_t start = 0;
    while (start < word.size() && std::string_view("\"'-([").find(word[start]) != std::string_view::npos)
        ++start;
    for (size_t i = 0; i < word.size(); ++i)
        if (word[i] == '|') word[i] = i == start ? 'I' : 'l';
    if (start + 1 < word.size() && word[start] == '/' && std::islower(static_cast<unsigned char>(word[start + 1])))
        word[start] = 'l';
    return word;
}

} // namespace

std::vector<bool> ItalicWords(const std::vector<double>& evidence, const std::vector<int>& inkWidths, int lineHeight)
{
    // The cheapest run of states (0 upright, 1 italic), as Viterbi finds it.
    const size_t n = evidence.size();
    std::vector<std::array<uint8_t, 2>> from(n);
    std::array<double, 2> cost { 0, 0 };
    for (size_t i = 0; i < n; ++i) {
        const double weighted = evidence[i] * inkWidths[i] / (2.0 * std::max(lineHeight, 1));
        const std::array<double, 2> own { weighted, -weighted };
        std::array<double, 2> next {};
        for (int state = 0; state < 2; ++state) {
            const double stay = cost[static_cast<size_t>(state)];
            const double change = cost[static_cast<size_t>(1 - state)] + (i > 0 ? SwitchCost : 0);
            from[i][static_cast<size_t>(state)] = static_cast<uint8_t>(stay <= change ? state : 1 - state);
            next[static_cast<size_t>(state)] = std::min(stay, change) + own[static_cast<size_t>(state)];
        }
        cost = next;
    }
    std::vector<bool> italic(n, false);
    int state = cost[1] < cost[0] ? 1 : 0;
    for (size_t i = n; i-- > 0;) {
        italic[i] = state == 1;
        state = from[i][static_cast<size_t>(state)];
    }
    return italic;
}

OcrText ReadPictureText(OcrEngine& engine, const SubtitlePicture& picture)
{
    OcrText out;
    const GreyImage ink = InkOf(picture);
    for (const TextBand& band : SplitTextLines(ink)) {
        const PreparedLine line = PrepareLine(ink, band, LineHeight);
        if (line.image.empty()) continue;
        const std::vector<OcrWord> words = engine.readLine(line.image);
        if (words.empty()) continue;
        std::vector<double> evidence;
        std::vector<int> widths;
        for (const OcrWord& w : words) {
            evidence.push_back(ItalicEvidence(line.ink, w.left, w.top, w.right + 1, w.bottom + 1));
            widths.push_back(std::max(1, w.right - w.left));
        }
        const std::vector<bool> italic = ItalicWords(evidence, widths, LineHeight);
        std::string text;
        for (size_t i = 0; i < words.size(); ++i) {
            const bool opens = italic[i] && (i == 0 || !italic[i - 1]);
            const bool closes = italic[i] && (i + 1 == words.size() || !italic[i + 1]);
            std::string word = fixConfusions(words[i].text);
            // Italics that end within a line leave the punctuation after them upright, as editors write it.
            size_t tail = word.size();
            if (closes && i + 1 < words.size())
                while (tail > 1 && std::string_view(".,!?;:").find(word[tail - 1]) != std::string_view::npos)
                    --tail;
            text += (i ? " " : "") + std::string(opens ? "<i>" : "") + word.substr(0, tail) + (closes ? "</i>" : "")
                + word.substr(tail);
            if (words[i].confidence < OcrDoubtConfidence) out.doubtful.push_back(words[i].text);
        }
        out.lines.push_back(std::move(text));
    }
    return out;
}

} // namespace tessel
