#include <QApplication>

#include "app/metronome_app.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ticktavo"));
  QApplication::setOrganizationName(QStringLiteral("Quelbrand"));
  QApplication::setApplicationVersion(QStringLiteral("1.4"));
  // Ties the window to the installed desktop entry (its name and icon in docks and task bars).
  QGuiApplication::setDesktopFileName(QStringLiteral("ticktavo"));

  ticktavo::MetronomeApp metronome;
  metronome.InitInstance();
  return QApplication::exec();
}
