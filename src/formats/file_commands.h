#pragma once
#include "core/subtitle_table.h"
#include "core/user_prompts.h"
#include "formats/detect.h"
#include "formats/ssa_settings.h"

#include <QString>
#include <string>

// Open, append and save: detection, the reader or writer, and what the window
// does around them.
namespace tessel {

struct SsaExportAnswer {
    SsaExportSettings settings;
    QString fpsText; // converted with the regional decimal separator
};

class ExportSettingsSource {
public:
    virtual ~ExportSettingsSource() = default;
    virtual SsaExportAnswer AskExportSettings() = 0;
};

class FixedExportSettings : public ExportSettingsSource {
public:
    explicit FixedExportSettings(SsaExportAnswer answer)
        : answer_(std::move(answer))
    {
    }
    SsaExportAnswer AskExportSettings() override { return answer_; }

private:
    SsaExportAnswer answer_;
};

struct LoadResult {
    FormatCode format = FormatCode::Unknown;
    bool select = false; // an append that stored rows: select `row`, show `topRow` first
    int row = 0;
    int topRow = 0;
};

// Read errors are not caught: they leave here with the rows read so far kept.
LoadResult LoadSubtitles(
    SubtitleTable& table, const std::string& fileName, bool append, FramerateSource& framerate, MessageSink& messages);

struct SaveServices {
    FramerateSource& framerate;
    ExportSettingsSource& exportSettings;
    MessageSink& messages;
    char decimalSeparator = '.';
};

// Writes every subtitle row with the writer of the save dialog's file type
// (1..9). Returns true when the file was written. The file is replaced only
// once it is complete: a failure leaves any earlier file as it was.
bool SaveSubtitles(const SubtitleTable& table, const std::string& fileName, int fileType, SaveServices& services);

inline const QString UnknownFormatMessage = QStringLiteral("Unknow subtitles format.");
inline const QString SaveFailedMessage = QStringLiteral("Subtiles file can't be saved!");

} // namespace tessel
