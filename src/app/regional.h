#pragma once
#include <QStringList>

// The user's regional number settings, as the windows show and read numbers.
namespace tessel::app {

// The decimal separator of the system locale; '.' when it is not ASCII.
char RegionalDecimalSeparator();

// "23,976", "24", "25", "29,976", "30" written with the given separator, so
// that a preset picked from a list always converts back.
QStringList FrameratePresets(char decimalSeparator);

} // namespace tessel::app
