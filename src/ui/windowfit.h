#pragma once

#include <QSize>

class QWidget;

namespace fulmaro {

// Sizes a top-level window to its designed size where the screen has room for it, smaller where
// it has not (never below what its layout needs), and centres its frame in the screen's
// available area. A window that opens on a small screen is then reachable whole.
void placeOnScreen(QWidget *window, QSize designed);

} // namespace fulmaro
