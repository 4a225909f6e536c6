#include "app/tool_pager.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tessel::app {

ToolPager::ToolPager(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ActionPager"));
    buttonRow_ = new QWidget(this);
    auto* row = new QHBoxLayout(buttonRow_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addStretch(1);
    buttons_ = new QButtonGroup(this);
    buttons_->setExclusive(true);
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("ActionPagerPages"));
    pages_->setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(buttonRow_);
    column->addWidget(pages_, 1);
    connect(buttons_, &QButtonGroup::idClicked, this, &ToolPager::setCurrentIndex);
}

void ToolPager::addPage(QWidget* page, const QString& caption)
{
    const int index = pages_->addWidget(page);
    auto* button = new QPushButton(caption, buttonRow_);
    button->setObjectName(page->objectName() + QStringLiteral("Button"));
    button->setCheckable(true);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    button->setMinimumWidth(64);
    buttons_->addButton(button, index);
    auto* row = static_cast<QHBoxLayout*>(buttonRow_->layout());
    row->insertWidget(row->count() - 1, button);
    if (index == pages_->currentIndex()) button->setChecked(true);
}

int ToolPager::currentIndex() const { return pages_->currentIndex(); }

QWidget* ToolPager::currentPage() const { return pages_->currentWidget(); }

void ToolPager::setCurrentIndex(int index)
{
    pages_->setCurrentIndex(index);
    if (QAbstractButton* button = buttons_->button(index)) button->setChecked(true);
}

} // namespace tessel::app
