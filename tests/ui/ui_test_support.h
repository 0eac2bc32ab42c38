#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QString>

#include <gtest/gtest.h>

#include "engine/clock.h"
#include "support/recording_midi_out.h"
#include "ui/measure_edit.h"
#include "ui/metronome_dialog.h"
#include "ui/settings_seam.h"

class QWidget;

namespace ticktavo::testing {

// Stands in for the settings layer: records what the window asks of it and, on loading the
// current settings, puts the window in the state of a first start, the way the settings
// layer does (tempo 200, 4 beats, Straight, default voices, blinking on, Delete enabled and
// Save disabled), and then captures the window's folding layout as the settings layer does.
class FakeSettings final : public SettingsSeam {
 public:
  void LoadSettings(MetronomeDialog& dialog, const char* presetName) override;
  bool SaveSettings(MetronomeDialog& dialog, const char* presetName) override;
  void OnSavePreset(MetronomeDialog& /*dialog*/) override { ++presetSaves; }

  int loads = 0;
  int mainSaves = 0;    // SaveSettings(nullptr)
  int presetSaves = 0;  // SaveSettings(name) or the Save command
};

// What a modal box showed, and the button that answered it.
struct SeenBox {
  bool seen = false;
  QString title;
  QString text;
  QWidget* parent = nullptr;
  bool critical = false;
};

// Answers the next message box that opens with its OK (or Yes) button, recording it. The
// watch runs from the event loop, so start it before the call that shows the box.
void AnswerNextBox(SeenBox& seen);

// The real window on the real engine, with the recording device and the real clock.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Waits (running the event loop, which the timing thread's calls need) until at least
  // count note-on messages were sent.
  bool WaitForNotes(std::size_t count);
  // Types text into a widget that has the focus, like a user.
  static void Type(QWidget* widget, const QString& text);

  MonotonicClock m_clock;
  RecordingMidiOut m_midi;
  FakeSettings m_settings;
  std::unique_ptr<MetronomeDialog> m_dialog;
};

}  // namespace ticktavo::testing
