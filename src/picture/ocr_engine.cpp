#include "picture/ocr_engine.h"

#include "core/errors.h"
#include "core/shared_library.h"

#include <QDir>
#include <QStringList>
#include <cstdlib>
#include <tesseract/capi.h>

namespace tessel {
namespace {

std::string installedList()
{
    std::string list;
    for (const std::string& l : OcrLanguages())
        list += (list.empty() ? "" : ", ") + l;
    return list.empty() ? std::string("none") : list;
}

} // namespace

std::string OcrDataFolder()
{
    const char* prefix = std::getenv("TESSDATA_PREFIX");
    if (prefix && *prefix) return prefix;
    return "/usr/share/tesseract-ocr/5/tessdata";
}

std::vector<std::string> OcrLanguages()
{
    std::vector<std::string> languages;
    const QStringList files = QDir(QString::fromStdString(OcrDataFolder()))
                                  .entryList({ QStringLiteral("*.traineddata") }, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        const QString name = file.chopped(12);
        // Orientation detection and equations are no languages of text.
        if (name != QLatin1String("osd") && name != QLatin1String("equ")) languages.push_back(name.toStdString());
    }
    return languages;
}

void CheckOcrLanguage(const std::string& language)
{
    const std::vector<std::string> installed = OcrLanguages();
    const QStringList parts = QString::fromStdString(language).split(QLatin1Char('+'));
    for (const QString& part : parts)
        if (part.isEmpty() || std::find(installed.begin(), installed.end(), part.toStdString()) == installed.end())
            throw Error("The OCR language \"" + part.toStdString() + "\" is not installed (installed: "
                + installedList() + "; Debian's tesseract-ocr-" + part.toStdString() + " package would add it).");
}

OcrEngine::OcrEngine(const std::string& language)
{
    CheckOcrLanguage(language);
    api_ = TessBaseAPICreate();
    if (!api_) throw Error("Tesseract (libtesseract.so.5) cannot be loaded: install Debian's libtesseract5.");
    const std::string folder = OcrDataFolder();
    // Words of a subtitle are no page: no adaptation between lines, no debug output.
    char* names[] = { const_cast<char*>("debug_file"), const_cast<char*>("classify_enable_learning") };
    char* values[] = { const_cast<char*>("/dev/null"), const_cast<char*>("0") };
    if (TessBaseAPIInit4(
            api_, folder.c_str(), language.c_str(), tesseract::OEM_DEFAULT, nullptr, 0, names, values, 2, FALSE)
        != 0) {
        TessBaseAPIDelete(api_);
        throw Error("Tesseract cannot load the OCR language \"" + language + "\" from " + folder + ".");
    }
    TessBaseAPISetPageSegMode(api_, tesseract::PSM_SINGLE_LINE);
    // Tesseract runs parts of a line on threads of OpenMP: each of our
    // workers on one core reads more lines in the same time.
    using SetLevels = void (*)(int);
    if (auto set = reinterpret_cast<SetLevels>(LibrarySymbol("libgomp.so.1", "omp_set_max_active_levels"))) set(0);
}

OcrEngine::~OcrEngine()
{
    TessBaseAPIEnd(api_);
    TessBaseAPIDelete(api_);
}

std::vector<OcrWord> OcrEngine::readLine(const GreyImage& image)
{
    std::vector<OcrWord> words;
    if (image.empty()) return words;
    TessBaseAPISetImage(api_, image.pixels.data(), image.width, image.height, 1, image.width);
    TessBaseAPISetSourceResolution(api_, 300);
    if (TessBaseAPIRecognize(api_, nullptr) != 0) return words;
    TessResultIterator* it = TessBaseAPIGetIterator(api_);
    if (it) {
        do {
            char* text = TessResultIteratorGetUTF8Text(it, tesseract::RIL_WORD);
            if (!text) continue;
            OcrWord word;
            word.text = text;
            TessDeleteText(text);
            word.confidence = TessResultIteratorConfidence(it, tesseract::RIL_WORD);
            TessPageIteratorBoundingBox(TessResultIteratorGetPageIteratorConst(it), tesseract::RIL_WORD, &word.left,
                &word.top, &word.right, &word.bottom);
            words.push_back(std::move(word));
        } while (TessResultIteratorNext(it, tesseract::RIL_WORD));
        TessResultIteratorDelete(it);
    }
    TessBaseAPIClear(api_);
    return words;
}

} // namespace tessel
