#pragma once
#include <QWidget>

class QButtonGroup;
class QStackedWidget;

// A page control shown as buttons: a row of exclusive toggle buttons over the
// pages, one page shown at a time.
namespace tessel::app {

class ToolPager : public QWidget {
    Q_OBJECT
public:
    explicit ToolPager(QWidget* parent = nullptr);

    void addPage(QWidget* page, const QString& caption);
    int currentIndex() const;
    QWidget* currentPage() const;
    void setCurrentIndex(int index);

private:
    QStackedWidget* pages_ = nullptr;
    QButtonGroup* buttons_ = nullptr;
    QWidget* buttonRow_ = nullptr;
};

} // namespace tessel::app
