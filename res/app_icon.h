#pragma once

#include <QIcon>

namespace ticktavo {

// Icon 128, the application icon, at every size it is drawn in (16, 32, 48 and 128 pixels),
// from the resources compiled into this library.
QIcon AppIcon();

}  // namespace ticktavo
