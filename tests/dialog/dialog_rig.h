#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "dialog/dialog_units.h"
#include "dialog/metronome_dialog.h"
#include "res/dialog_template.h"
#include "store/memory_registry.h"
#include "support/fake_clock.h"
#include "support/recording_midi_out.h"

namespace ticktavo::testing {

// A window's controls as a table, built from its template (102 unless told): each control
// starts as the template creates it (caption, enabled, place at 6 × 13 pixels per dialog
// base unit unless told: the classic 8-point dialog font) and behaves as a widget does where the
// dialog relies on it: positions stay in their range, a selection outside the list is none,
// selecting shows the item in a combo's edit part.
class FakeControls final : public DialogControls {
 public:
  struct Control {
    ControlKind kind = ControlKind::kStaticText;
    std::string text;
    bool checked = false;
    int minimum = 0;
    int maximum = 0;
    int position = 0;
    std::vector<std::string> items;
    int selection = -1;
    bool enabled = true;
    bool visible = true;
    Rect place;
    std::string toolTip;
    int frame = 0;
  };

  explicit FakeControls(const DialogTemplate& dialogTemplate = MainDialogTemplate(),
                        DialogUnits units = DialogUnits{6, 13});
  // The control; a test fails on an identifier the template does not have.
  Control& At(int id);
  const Control& At(int id) const;

  std::string Text(int id) const override { return At(id).text; }
  void SetText(int id, std::string_view text) override { At(id).text = text; }
  bool IsChecked(int id) const override { return At(id).checked; }
  void SetChecked(int id, bool checked) override { At(id).checked = checked; }
  void SetRange(int id, int minimum, int maximum) override;
  int Position(int id) const override { return At(id).position; }
  void SetPosition(int id, int position) override;
  void InsertItem(int id, int position, std::string_view text) override;
  void RemoveItem(int id, int position) override;
  int ItemCount(int id) const override { return static_cast<int>(At(id).items.size()); }
  std::string ItemText(int id, int position) const override;
  int Selection(int id) const override { return At(id).selection; }
  void SetSelection(int id, int position) override;
  bool IsEnabled(int id) const override { return At(id).enabled; }
  void SetEnabled(int id, bool enabled) override { At(id).enabled = enabled; }
  bool IsVisible(int id) const override { return At(id).visible; }
  void SetVisible(int id, bool visible) override;
  Rect Place(int id) const override { return At(id).place; }
  void SetPlace(int id, Rect place) override { At(id).place = place; }
  void SetToolTip(int id, std::string_view text) override { At(id).toolTip = text; }
  void SetFocus(int id) override { focus = id; }
  void SetDefaultButton(int id) override { defaultButton = id; }
  void SetFrame(int id, int frame) override { At(id).frame = frame; }

  int focus = 0;
  int defaultButton = 0;
  // The controls hidden so far, in the order they went.
  std::vector<int> hidden;

 private:
  std::map<int, Control> m_controls;
};

// What the window's host was asked. Boxes are answered from `answers` (Yes/No boxes with No
// once it is empty). The window is 10 pixels wider and 30 taller than its client area, and
// its size follows the limits the dialog sets, as a window manager keeps it.
class FakeHost final : public WindowHost {
 public:
  struct Box {
    std::string caption;
    std::string text;
    MessageIcon icon = MessageIcon::kError;
    MessageButtons buttons = MessageButtons::kOk;
    bool owned = false;  // owned by the window
  };

  // Records the box and answers it from `answers` (an OK box with OK, a Yes/No box with No
  // once they run out).
  static MessageResult Answer(std::vector<Box>& boxes, std::deque<MessageResult>& answers, Box box);

  void Attach(MetronomeDialog* dialog) { m_dialog = dialog; }
  // Resizes the client area (within the limits) and reports it as the window does.
  void ResizeClient(int width, int height);

  MessageResult ShowMessageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                               MessageButtons buttons) override;
  WindowRect WindowPlace() const override { return place; }
  Size ClientSize() const override;
  void MoveWindow(WindowRect rect) override;
  void MoveWindowClient(int left, int top, Size client) override;
  void SetSizeLimits(const SizeLimits& value) override;
  void Repaint(Rect band) override { repainted.push_back(band); }
  std::vector<WindowRect> Screens() const override { return screens; }
  void OpenAboutBox() override { ++aboutBoxes; }
  void OpenPracticeWindow() override { ++practiceWindows; }
  void OpenExportBox(const BeatFeed::Program& program) override { exportBoxes.push_back(program); }
  void OpenProductPage(std::string_view address) override { pages.emplace_back(address); }
  void CloseWindow() override;
  void RequestWake() override { ++wakes.count; }
  void SetTimer(int id, int milliseconds) override { timers[id] = milliseconds; }
  void KillTimer(int id) override { timers.erase(id); }
  // The waiting timer comes now, as the window's thread would deliver it; false if none waits.
  bool FireTimer(int id);

  WindowRect place{100, 50, 100 + 289, 50 + 466};  // 279 × 436 client + the frame
  Size frame{10, 30};
  std::vector<WindowRect> screens = std::vector<WindowRect>(1, WindowRect{0, 0, 1920, 1080});
  std::optional<SizeLimits> limits;
  bool shown = false;  // the window exists: boxes are owned by it
  std::deque<MessageResult> answers;
  std::vector<Box> boxes;
  std::vector<Rect> repainted;
  std::vector<std::string> pages;
  int aboutBoxes = 0;
  int practiceWindows = 0;
  std::vector<BeatFeed::Program> exportBoxes;  // the program each export box opened with
  std::map<int, int> timers;                   // waiting timers: id → the milliseconds asked for
  int closeRequests = 0;
  // Wakes asked for by the timing thread (a copy starts again from none).
  struct Counter {
    Counter() = default;
    Counter(const Counter&) {}
    Counter& operator=(const Counter&) {
      count = 0;
      return *this;
    }
    std::atomic<int> count{0};
  } wakes;

 private:
  MetronomeDialog* m_dialog = nullptr;
};

// Holds the timing thread when the fake clock reaches a tick, until the test lets it go, so
// the test can act as the window at a known moment of a run.
class ClockGate {
 public:
  ClockGate(FakeClock& clock, std::int64_t tick);
  ~ClockGate() { Release(); }
  bool WaitUntilHeld();
  void Release();

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_held = false;
  bool m_released = false;
};

// The dialog over the fake controls and host, the settings in memory, and the real engine on
// the fake clock and the recording device. Open() builds it and runs OnInitDialog; the
// helpers act as the user does.
class DialogTest : public ::testing::Test {
 protected:
  void TearDown() override;
  void Build();  // the dialog only (the engine opens the device)
  void Open();   // Build, then OnInitDialog and the window shown
  void Close() { m_host.CloseWindow(); }

  MetronomeDialog& Dialog() { return *m_dialog; }
  FakeControls::Control& At(int id) { return m_controls.At(id); }

  // The user's moves, each followed by the notification its control sends.
  void Type(int id, std::string_view text);
  void LeaveField(int id);
  void Click(int id);
  void Choose(int id, int position);
  void Slide(int id, int position, bool dragging = false);
  void Step(int id, int positions) { Slide(id, At(id).position + positions); }

  // Waits until at least `count` notes were sent, then hands the engine's news to the dialog
  // as the window's thread does when woken.
  bool PlayUntilNotes(std::size_t count);

  // The settings store.
  void StoreDwords(std::string_view preset, std::vector<std::pair<std::string, int>> values);
  void StorePreset(std::string_view preset) { StoreDwords(preset, {}); }
  int StoredDword(std::string_view preset, std::string_view name, int fallback = -12345);
  bool PresetExists(std::string_view preset);
  std::vector<std::string> PresetItems() { return At(1028).items; }

  FakeClock m_clock;
  RecordingMidiOut m_midi;
  MemoryRegistry m_memory;
  Registry* m_registry = &m_memory;
  FakeControls m_controls;
  FakeHost m_host;
  std::unique_ptr<MetronomeDialog> m_dialog;
};

}  // namespace ticktavo::testing
