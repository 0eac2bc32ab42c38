#include <QApplication>

#include "app/metronome_app.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ticktavo"));
  QApplication::setOrganizationName(QStringLiteral("Quelbrand"));
  QApplication::setApplicationVersion(QStringLiteral("1.4"));

  ticktavo::MetronomeApp metronome;
  metronome.InitInstance();
  return QApplication::exec();
}
