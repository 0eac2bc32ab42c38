#include <cstdlib>
#include <iostream>

#include <QApplication>

#include "app/command_line.h"
#include "app/metronome_app.h"
#include "engine/synth/synth_midi_out.h"

int main(int argc, char* argv[]) {
  // Before any thread exists: the sound libraries read the environment from their own threads.
  ticktavo::PrepareSoundEnvironment();
  // Options (an export, the help) run without a window, so without a display.
  if (argc > 1) return ticktavo::RunCommandLine(argc, argv);
  // The window needs a desktop; without one the toolkit would abort with a message of its own.
  if (const auto reason = ticktavo::NoDisplayReason(std::getenv)) {
    std::cerr << *reason << '\n';
    return ticktavo::kExitFailed;
  }
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
