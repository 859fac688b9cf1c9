#pragma once
// The program's icon, drawn rather than shipped: a blue shield with a white V.

#include <QIcon>

namespace veldan::ui {

// The icon at the usual sizes (16 to 64 pixels).
QIcon AppIcon();

}  // namespace veldan::ui
