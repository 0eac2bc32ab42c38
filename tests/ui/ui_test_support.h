#pragma once

#include <memory>

#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <gtest/gtest.h>

#include "engine/clock.h"
#include "res/resource_ids.h"
#include "store/memory_registry.h"
#include "support/recording_midi_out.h"
#include "ui/metronome_window.h"

class QWidget;

namespace ticktavo::testing {

// A message box as the user saw it.
struct SeenBox {
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
  explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);
  const SeenBox& Seen() const { return m_seen; }

 private:
  void Poll();

  QMessageBox::StandardButton m_answer;
  SeenBox m_seen;
  QTimer m_timer;
};

// The real window over settings in memory (a first start), the real engine on the recording
// device and the real clock, shown and active.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  MetronomeWindow& Window() { return *m_window; }
  MetronomeDialog& Dialog() { return m_window->Dialog(); }
  template <class T>
  T* Get(int id) const {
    return m_window->Get<T>(id);
  }
  // Waits (running the event loop, which the timing thread's calls need) until at least
  // count note-on messages were sent.
  bool WaitForNotes(std::size_t count);
  // Types text into a widget that has the focus, like a user.
  static void Type(QWidget* widget, const QString& text);

  MonotonicClock m_clock;
  RecordingMidiOut m_midi;
  MemoryRegistry m_registry;
  std::unique_ptr<MetronomeWindow> m_window;
};

}  // namespace ticktavo::testing
