#pragma once
#include "picture/ocr_engine.h"
#include "picture/ocr_pictures.h"

#include <string>
#include <vector>

// One subtitle's picture read as text: line by line, each word's italics
// told by its slant and written as <i> markup.
namespace tessel {

struct OcrText {
    std::vector<std::string> lines; // with <i> markup
    // Words the engine was unsure of (below OcrDoubtConfidence), as read.
    std::vector<std::string> doubtful;
};

// Below this the engine's word confidence marks a word for review.
constexpr float OcrDoubtConfidence = 75;

OcrText ReadPictureText(OcrEngine& engine, const SubtitlePicture& picture);

// Words with italics from their evidence (ItalicEvidence): a word with
// little to tell by takes its neighbours' verdict. Exposed for the benchmark.
std::vector<bool> ItalicWords(const std::vector<double>& evidence, const std::vector<int>& inkWidths);

} // namespace tessel
