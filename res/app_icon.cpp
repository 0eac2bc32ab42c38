#include "res/app_icon.h"

#include <QtCore/QtGlobal>

// Q_INIT_RESOURCE has to be used outside any namespace.
static void InitIconResources() {
  Q_INIT_RESOURCE(icons);
}

namespace ticktavo {

void LoadIconResources() {
  InitIconResources();
}

}  // namespace ticktavo
