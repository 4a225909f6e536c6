#pragma once
#include "app/tool_wiring.h"
#include "picture/ocr_reader.h"

#include <QImage>
#include <QWidget>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace tessel {
class Speller;
}

// The "Review OCR" window: each row read by OCR with its picture beside its
// text, the rows to look at marked (words the engine was unsure of, words
// not in the dictionary, no text read, a damaged picture). Change writes the
// text edited below into the row (an undo step); Accept clears the mark and
// goes on to the next marked row.
namespace tessel::app {

class OcrReviewModel;

// A subtitle's picture on a dark ground, as it would show on a film.
QImage OcrPictureImage(const SubtitlePicture& picture);

class OcrReviewWindow : public QWidget {
    Q_OBJECT
public:
    OcrReviewWindow(const ToolContext& context, OcrPictures& pictures, QWidget* parent);
    ~OcrReviewWindow() override;

    // The dictionary checked with, by its Hunspell name ("en_US"); "" none.
    void setDictionary(const std::string& language);
    // Reads the rows again (after a file was read, a save, an edit).
    void refresh();
    void open(); // shows the window on the first marked row

    void change();
    void accept();
    void nextMarked();

    // Rows read by OCR that are shown, and those of them marked.
    int rowCount() const;
    int markedCount() const;
    // The table row of a shown row, and why it is marked ("" when it is not).
    int tableRow(int shown) const;
    QString reason(int shown) const;
    int current() const;
    void setCurrent(int shown);

    QTableView* list() const { return list_; }
    QLabel* picture() const { return picture_; }
    QPlainTextEdit* text() const { return text_; }
    QCheckBox* onlyMarked() const { return onlyMarked_; }
    QLabel* status() const { return status_; }

    struct Entry;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString reasonFor(const Entry& entry);
    void showCurrent();

    ToolContext tools_;
    OcrPictures& pictures_;
    std::vector<Entry> entries_; // every row read by OCR
    std::vector<int> shown_; // indexes of entries_ in the list
    std::set<std::string> accepted_; // keys
    std::string dictionary_;
    std::unique_ptr<Speller> speller_;
    OcrReviewModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QLabel* picture_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QCheckBox* onlyMarked_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* change_ = nullptr;
    QPushButton* accept_ = nullptr;
    uint64_t revision_ = 0;
};

} // namespace tessel::app
