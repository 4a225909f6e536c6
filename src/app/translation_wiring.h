#pragma once
#include "app/subtitle_model.h"
#include "core/edit_history.h"
#include "core/subtitle_table.h"
#include "core/user_prompts.h"
#include "formats/encoding.h"
#include "tools/translation.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tessel {
class TFormMovie;
}

// Translation mode in the window: "Open original" keeps another subtitle file
// with the document (in the table's side data, so undo and the recovery
// journal keep it too), the grid shows its text in read-only columns after the
// five, paired with the rows by time or by row number, and the movie window
// can show it under the picture. The table's cells hold the translation only.
namespace tessel::app {

class CommandRegistry;
class ErrorReport;
class MainWindow;
class SubtitleFileDialogs;

struct TranslationServices {
    SubtitleTable& table;
    EditHistory& history;
    MainWindow& mainWindow;
    MessageSink& messages;
    ErrorReport& errors;
    SubtitleFileDialogs& dialogs; // the open dialog chooses the original
    FramerateSource& framerate;
    EncodingChooser* encoding = nullptr;
    CommandRegistry& commands;
    char decimalSeparator = '.';
    TFormMovie* movie = nullptr; // nullptr: no movie preview
};

class TranslationWiring : public QObject, private TableRecorder, private ExtraColumns {
    Q_OBJECT
public:
    explicit TranslationWiring(const TranslationServices& services);
    ~TranslationWiring() override;

    // Reads `fileName` as the original (one undo step), as Open reads a file.
    void openOriginal(const QString& fileName);
    void chooseOriginal();
    void closeOriginal();
    void startTranslation(bool copyText);
    void setPairing(PairingMode mode);
    void setColumnsShown(bool shown);
    bool columnsShown() const { return columnsShown_; }
    // The reading check of the "Reading" page over the original, reported in a message.
    void checkOriginalReading();

    // The original as the document holds it now; nullptr when there is none.
    const OriginalSubtitles* original();
    const Pairing& pairing();
    PairingMode pairingMode();

signals:
    // The original came, went or changed (also by undo and recovery).
    void originalChanged();

private:
    // TableRecorder: what a change means for the pairing.
    void cellsChanging(int row, unsigned columns, const std::string_view* after) override;
    void rowsInserted(int row, int count) override;
    void rowsRemoving(int row, int count) override;
    void documentDataChanging(std::string_view) override { }
    void sideDataChanging(std::string_view key, std::string_view after) override;
    bool followsReplacement() const override { return true; }
    void tableReplaced() override;
    // ExtraColumns: the original's text beside its rows.
    int count() const override;
    QVariant data(int column, int row, int role) const override;
    QString header(int column) const override;

    void registerCommands();
    void refreshSoon();
    void refresh();
    void readSideData();
    void followRowMoves();
    void setSideData(const char* stepName, std::optional<std::string> original, const PairingChoice& pairing);
    QString available() const;
    QString tooltip(int row) const;
    QString describeRow(int original) const;
    void showOriginalAtFrame();

    TranslationServices services_;
    std::optional<OriginalSubtitles> original_;
    std::string decoded_; // the side data original_ was read from
    SpanIndex spans_;
    int lineColumns_ = 0; // the original's lines in use
    PairingChoice choice_;
    mutable Pairing pairing_;
    mutable bool pairingStale_ = true;
    bool sideDataStale_ = true;
    bool refreshQueued_ = false;
    bool columnsShown_ = true;
    int shownChoice_ = 0; // TFormMovie::ShownText, applied while there is an original
    // Rows that came (count > 0) or went (count < 0) since the last step closed.
    std::vector<std::pair<int, int>> rowMoves_;
    int closingHook_ = 0, historyObserver_ = 0;
};

} // namespace tessel::app
