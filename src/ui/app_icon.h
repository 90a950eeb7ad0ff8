#pragma once
// The application's icon, drawn rather than loaded so that the window never lacks it: a
// recorder's curve over a night-blue square with a crescent moon.
#include <QPixmap>

namespace npt {

QPixmap appIcon(int size);

}  // namespace npt
