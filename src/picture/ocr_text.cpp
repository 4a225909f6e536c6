#include "picture/ocr_text.h"

#include "picture/ocr_image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tessel {
namespace {

// The height a line is scaled to before the engine reads it.
int lineHeight()
{
    static const int height = [] {
        const char* h = std::getenv("TESSEL_OCR_LINE_HEIGHT");
        return h ? std::atoi(h) : 48;
    }();
    return height;
}

// Evidence this far from 0 tells a word by itself.
constexpr double Clear = 0.04;

} // namespace

std::vector<bool> ItalicWords(const std::vector<double>& evidence, const std::vector<int>& inkWidths)
{
    const size_t n = evidence.size();
    std::vector<bool> italic(n, false);
    double sum = 0, weight = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += evidence[i] * inkWidths[i];
        weight += inkWidths[i];
    }
    const bool lineItalic = weight > 0 && sum / weight > 0;
    for (size_t i = 0; i < n; ++i) {
        if (std::fabs(evidence[i]) >= Clear) {
            italic[i] = evidence[i] > 0;
            continue;
        }
        // The nearest word that tells, else the line.
        int verdict = -1;
        for (size_t d = 1; d < n && verdict < 0; ++d) {
            for (const size_t j : { i - d, i + d })
                if (j < n && std::fabs(evidence[j]) >= Clear) {
                    verdict = evidence[j] > 0;
                    break;
                }
        }
        italic[i] = verdict < 0 ? lineItalic : verdict == 1;
    }
    return italic;
}

OcrText ReadPictureText(OcrEngine& engine, const SubtitlePicture& picture)
{
    OcrText out;
    const GreyImage ink = InkOf(picture);
    for (const TextBand& band : SplitTextLines(ink)) {
        const PreparedLine line = PrepareLine(ink, band, lineHeight());
        if (line.image.empty()) continue;
        const std::vector<OcrWord> words = engine.readLine(line.image);
        if (words.empty()) continue;
        std::vector<double> evidence;
        std::vector<int> widths;
        for (const OcrWord& w : words) {
            evidence.push_back(ItalicEvidence(line.ink, w.left, w.top, w.right + 1, w.bottom + 1));
            widths.push_back(std::max(1, w.right - w.left));
        }
        const std::vector<bool> italic = ItalicWords(evidence, widths);
        std::string text;
        for (size_t i = 0; i < words.size(); ++i) {
            const bool opens = italic[i] && (i == 0 || !italic[i - 1]);
            const bool closes = italic[i] && (i + 1 == words.size() || !italic[i + 1]);
            text += (i ? " " : "") + std::string(opens ? "<i>" : "") + words[i].text + (closes ? "</i>" : "");
            if (words[i].confidence < OcrDoubtConfidence) out.doubtful.push_back(words[i].text);
        }
        out.lines.push_back(std::move(text));
    }
    return out;
}

} // namespace tessel
