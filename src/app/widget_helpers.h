#pragma once
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Controls made the same way everywhere: each carries its name, the one the
// rest of the program (and its tests) find it by.
namespace tessel::app {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption);
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption);
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text);
QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, bool ticked);
QGroupBox* MakeGroupBox(QWidget* parent, const char* name, const QString& caption);
// An editable drop-down showing `text`.
QComboBox* MakeEditableDropDown(QWidget* parent, const char* name, const QStringList& items, const QString& text);
// A fixed list; `index` is the item shown.
QComboBox* MakeDropDownList(QWidget* parent, const char* name, const QStringList& items, int index);

} // namespace tessel::app
