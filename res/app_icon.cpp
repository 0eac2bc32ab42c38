#include "res/app_icon.h"

#include <QtCore/QtGlobal>

// Q_INIT_RESOURCE has to be used outside any namespace. The resources live in a static
// library, whose unreferenced objects the linker would drop, so they are registered here.
static void InitIconResources() {
  Q_INIT_RESOURCE(icons);
}

namespace ticktavo {

QIcon AppIcon() {
  InitIconResources();
  QIcon icon;
  for (const char* path : {":/ticktavo/app-16.png", ":/ticktavo/app-32.png",
                           ":/ticktavo/app-48.png", ":/ticktavo/app-128.png"}) {
    icon.addFile(QString::fromLatin1(path));
  }
  return icon;
}

}  // namespace ticktavo
