#pragma once
#include "app/tool_wiring.h"
#include "picture/ocr_reader.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tessel {
class TrackChooser;
}

// Picture subtitles in the editor: Open and Append read them by OCR after
// asking for the language, with a progress window whose Cancel keeps the
// rows read so far; the pictures stay with their rows for the "Review OCR"
// window until the document is saved in a text format.
namespace tessel::app {

class FileActions;
class OcrReviewWindow;

class OcrWiring : public QObject {
    Q_OBJECT
public:
    OcrWiring(const ToolContext& tools, FileActions& files, TrackChooser& tracks);
    ~OcrWiring() override;

    OcrPictures& pictures() { return pictures_; }
    PictureSubtitleReader& reader() { return *reader_; }
    OcrReviewWindow& reviewWindow();
    // The language last read in ("" before any).
    const std::string& language() const { return language_; }

    // Stand-ins for the dialogs, for tests: the language asked for, and
    // what shows the progress (it runs the started job to its end).
    void setLanguageChooser(std::function<std::optional<std::string>(const PictureSubtitleSource&)> chooser)
    {
        chooseLanguage_ = std::move(chooser);
    }
    void setRunner(std::function<void(OcrJob&)> runner) { run_ = std::move(runner); }

private:
    std::optional<std::string> askLanguage(const PictureSubtitleSource& source);
    void runWithProgress(OcrJob& job);
    void read();
    void saved(int fileType);

    ToolContext tools_;
    OcrPictures pictures_;
    std::unique_ptr<OcrSubtitleReader> reader_;
    OcrReviewWindow* review_ = nullptr;
    std::string language_;
    std::function<std::optional<std::string>(const PictureSubtitleSource&)> chooseLanguage_;
    std::function<void(OcrJob&)> run_;
};

// The installed Hunspell dictionary for an OCR language ("eng": en_US), or "".
std::string DictionaryForOcrLanguage(const std::string& language);

} // namespace tessel::app
