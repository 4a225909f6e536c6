#pragma once
#include <QFont>

// The small sans-serif face all windows of the editor use (11 pixels high).
namespace tessel::app {

QFont WindowFont();

} // namespace tessel::app
