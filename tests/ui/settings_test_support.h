#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <gtest/gtest.h>

#include "engine/clock.h"
#include "store/memory_registry.h"
#include "store/registry.h"
#include "support/recording_midi_out.h"
#include "ui/metronome_dialog.h"
#include "ui/store_settings.h"

class QWidget;

namespace ticktavo::testing {

// A message box as the user saw it.
struct AnsweredBox {
  bool seen = false;
  QString title;
  QString text;
  QWidget* parent = nullptr;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// While it lives, answers the first modal message box that opens with `answer`, recording
// it. The watch runs from the event loop (the box's own loop included), so create it before
// the call that may show a box; a test that expects none checks Seen().seen afterwards.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton answer);
  const AnsweredBox& Seen() const { return m_seen; }

 private:
  void Poll();

  QMessageBox::StandardButton m_answer;
  AnsweredBox m_seen;
  QTimer m_timer;
};

// The real window over a registry of the test's choosing (in memory unless the test
// installs another), the real engine on the recording device and the real clock.
class SettingsDialogTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // Builds and shows the window; its initialisation loads the main key.
  void Open();
  // Closes the window the way the user does (saving the main key) and destroys it.
  void CloseAndDestroy();

  // Writes DWORD values into a key below the main settings key ("" is the main key).
  void StoreDwords(std::string_view preset, std::vector<std::pair<std::string, int>> values);
  // Creates an empty preset key.
  void StorePreset(std::string_view preset) { StoreDwords(preset, {}); }
  // A DWORD read back from a key below the main settings key; `fallback` when missing.
  int StoredDword(std::string_view preset, std::string_view name, int fallback = -12345);
  bool PresetExists(std::string_view preset);

  // The user's moves.
  void TypePresetName(const QString& name);
  void ChoosePreset(int position);
  QStringList PresetItems() const;

  MonotonicClock m_clock;
  RecordingMidiOut m_midi;
  MemoryRegistry m_memory;
  // The registry the window uses: m_memory unless a test points it elsewhere before Open().
  Registry* m_registry = &m_memory;
  std::unique_ptr<StoreSettings> m_settings;
  std::unique_ptr<MetronomeDialog> m_dialog;
};

}  // namespace ticktavo::testing
