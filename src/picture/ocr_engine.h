#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tesseract {
class TessBaseAPI;
} // namespace tesseract

// Tesseract, reading one line of text at a time. Each engine is for one
// thread; the library is loaded with the first engine.
namespace tessel {

// 8-bit grey pixels, row by row.
struct GreyImage {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    GreyImage() = default;
    GreyImage(int w, int h, uint8_t fill = 0)
        : width(w)
        , height(h)
        , pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill)
    {
    }
    uint8_t at(int x, int y) const
    {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    uint8_t& at(int x, int y)
    {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    bool empty() const { return width == 0 || height == 0; }
};

struct OcrWord {
    std::string text;
    float confidence = 0; // 0..100: how sure the engine is
    int left = 0, top = 0, right = 0, bottom = 0; // its box in the image
};

class OcrEngine {
public:
    // `language`: one installed language or several joined by "+"
    // ("eng+fra"). Throws Error when Tesseract or the language cannot be loaded.
    explicit OcrEngine(const std::string& language);
    ~OcrEngine();
    OcrEngine(const OcrEngine&) = delete;
    OcrEngine& operator=(const OcrEngine&) = delete;

    // The words of a line of dark text on a light ground, in reading order.
    std::vector<OcrWord> readLine(const GreyImage& image);

private:
    tesseract::TessBaseAPI* api_ = nullptr;
};

// Where Tesseract's languages lie: $TESSDATA_PREFIX, or Debian's folder.
std::string OcrDataFolder();
// Each installed language by Tesseract's name ("eng", "fra", "chi_sim"), sorted.
std::vector<std::string> OcrLanguages();
// Throws Error naming what is missing when a language (or one of several
// joined by "+") is not installed.
void CheckOcrLanguage(const std::string& language);

} // namespace tessel
