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

// Which words of a line are in italics, from each one's evidence
// (ItalicEvidence) and width: the runs that agree best with the evidence,
// each change between italics and upright costing as much as a little of
// it, so that a word with little to tell by goes with its neighbours.
std::vector<bool> ItalicWords(const std::vector<double>& evidence, const std::vector<int>& inkWidths, int lineHeight);

} // namespace tessel
