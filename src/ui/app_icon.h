#pragma once
// The program's icons, drawn rather than shipped: the window's blue shield with
// a white V, and the start page's home-page icon.

#include <QIcon>
#include <QPixmap>

namespace veldan::ui {

// The icon at the usual sizes (16 to 64 pixels).
QIcon AppIcon();

// The start page's home-page icon (icon 138): a house in front of a globe, at
// `size` pixels.
QPixmap HomePageIcon(int size);

}  // namespace veldan::ui
