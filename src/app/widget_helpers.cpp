#include "app/widget_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessel::app {
namespace {

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QLabel(caption, parent), name);
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text)
{
    return named(new QLineEdit(text, parent), name);
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, bool ticked)
{
    auto* box = named(new QCheckBox(caption, parent), name);
    box->setChecked(ticked);
    return box;
}

QGroupBox* MakeGroupBox(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QGroupBox(caption, parent), name);
}

QComboBox* MakeEditableDropDown(QWidget* parent, const char* name, const QStringList& items, const QString& text)
{
    auto* box = named(new QComboBox(parent), name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    const int index = box->findText(text);
    if (index >= 0) box->setCurrentIndex(index);
    box->setEditText(text);
    return box;
}

QComboBox* MakeDropDownList(QWidget* parent, const char* name, const QStringList& items, int index)
{
    auto* box = named(new QComboBox(parent), name);
    box->addItems(items);
    box->setCurrentIndex(index);
    return box;
}

} // namespace tessel::app
