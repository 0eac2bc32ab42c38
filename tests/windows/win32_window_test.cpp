// The Win32 window under Wine (on a virtual screen): the template turned into native controls,
// the controls' notifications and the keys reaching the dialog core, the engine's wakes
// reaching the window, folding within the size limits.
#include <windows.h>
// commctrl.h after windows.h
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "res/accessible_names.h"
#include "res/practice_dialog_template.h"
#include "res/resource_ids.h"
#include "store/memory_registry.h"
#include "support/recording_midi_out.h"
#include "ui/win32/blinker_frames.h"
#include "ui/win32/dialog_template_win32.h"
#include "ui/win32/metronome_window_win32.h"

namespace ticktavo::win32 {
namespace {

using ticktavo::testing::RecordingMidiOut;

class Win32WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
  }
  void SetUp() override {
    m_window = std::make_unique<MetronomeWindow>(GetModuleHandleW(nullptr), m_clock, m_midi,
                                                 m_registry, TimingPriority::kNormal);
    ASSERT_TRUE(m_window->Create());
    Pump();
  }
  void TearDown() override {
    m_window.reset();
    Pump();
  }

  HWND Window() const { return m_window->Window(); }
  HWND Control(int id) const { return GetDlgItem(Window(), id); }
  // Hands every waiting message to the window as the program's loop does.
  void Pump() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      if (m_window && m_window->PreTranslateMessage(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  // Pumps until the condition holds or 10 s have passed.
  template <class Condition>
  bool PumpUntil(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      Pump();
    }
    return true;
  }
  // A key as the keyboard sends it to the focused control, through the program's loop. Alt
  // held: a system key with the context bit (29), and Alt down in the thread's key state,
  // which is what the accelerators look at.
  void Key(WPARAM key, bool alt) {
    HWND focus = GetFocus() != nullptr ? GetFocus() : Window();
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_MENU] = keys[VK_LMENU] = alt ? 0x80 : 0;
    SetKeyboardState(keys);
    const LPARAM flags = 1 | (alt ? (1 << 29) : 0);
    PostMessageW(focus, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, flags);
    Pump();
    keys[VK_MENU] = keys[VK_LMENU] = 0;
    SetKeyboardState(keys);
  }
  // A message as the program's loop hands it on, then whatever it caused.
  void Deliver(MSG message) {
    if (!m_window->PreTranslateMessage(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Pump();
  }
  static std::string TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    std::string narrow;
    for (const wchar_t* c = text; *c != 0; ++c) narrow += static_cast<char>(*c);
    return narrow;
  }
  std::string Text(int id) const { return TextOf(Control(id)); }
  // The Practice window, opened as its window-menu item does.
  PracticeWindow* OpenPractice() {
    SendMessageW(Window(), WM_SYSCOMMAND, kIdPracticeCommand, 0);
    Pump();
    return m_window->Practice();
  }

  // Real time: at the first start's 200 BPM a beat every 300 ms.
  MonotonicClock m_clock;
  RecordingMidiOut m_midi;
  MemoryRegistry m_registry;
  std::unique_ptr<MetronomeWindow> m_window;
};

// One source of truth for the layout: every control of template 102 exists with its class and
// styles, at its dialog-unit rectangle as the dialog manager converts it, in the tab order.
TEST_F(Win32WindowTest, EveryControlIsBuiltFromTheTemplate) {
  const DialogTemplate& source = MainDialogTemplate();
  const ControlTemplate* previous = nullptr;
  for (const ControlTemplate& control : source.controls) {
    SCOPED_TRACE(control.id);
    HWND window = Control(control.id);
    ASSERT_NE(window, nullptr);
    const Win32ControlStyle style = StyleOf(control, previous);
    previous = &control;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_EQ(lstrcmpiW(className, style.className), 0);
    const DWORD kept = WS_TABSTOP | WS_GROUP | 0xFFFF;  // the control's own style bits
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & kept & ~WS_DISABLED, style.style & kept);
    // The dialog manager converts the place and the size each on its own.
    RECT expected{control.x, control.y, 0, 0};
    MapDialogRect(Window(), &expected);
    RECT size{0, 0, control.cx, control.cy};
    MapDialogRect(Window(), &size);
    RECT actual{};
    GetWindowRect(window, &actual);
    MapWindowPoints(HWND_DESKTOP, Window(), reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, control.kind == ControlKind::kUpDown ? actual.left : expected.left);
    EXPECT_EQ(actual.top, expected.top);
    if (control.kind == ControlKind::kIconStatic) {
      // Sized to the frame like an icon: 16 or 32 pixels inside its edge at 96 DPI.
      RECT inside{};
      GetClientRect(window, &inside);
      EXPECT_EQ(inside.right, control.id == kIdMainBlinker ? 32 : 16);
    } else if (control.kind == ControlKind::kUpDown) {
      // Inside its buddy's right edge (over the buddy's border), which gives up the room: the
      // pair stays within the buddy's rectangle, the arrows at its right.
      RECT buddy{};
      GetWindowRect(Control(kIdBeatsEdit), &buddy);
      MapWindowPoints(HWND_DESKTOP, Window(), reinterpret_cast<POINT*>(&buddy), 2);
      RECT buddyUnits{0, 0, source.Find(kIdBeatsEdit)->cx, 0};
      MapDialogRect(Window(), &buddyUnits);
      EXPECT_LE(actual.left, buddy.right);
      EXPECT_GE(actual.right, buddy.right);
      EXPECT_LE(actual.right, buddy.left + buddyUnits.right);
    } else if (control.kind != ControlKind::kComboDropDown &&
               control.kind != ControlKind::kComboDropList && control.id != kIdBeatsEdit) {
      EXPECT_EQ(actual.right - actual.left, size.right);
      EXPECT_EQ(actual.bottom - actual.top, size.bottom);
    }
  }
  // Tab order: the template order of the enabled tab stops.
  HWND first = GetNextDlgTabItem(Window(), nullptr, FALSE);
  std::vector<int> order;
  for (HWND at = first; at != nullptr && (order.empty() || at != first);
       at = GetNextDlgTabItem(Window(), at, FALSE)) {
    order.push_back(GetDlgCtrlID(at));
  }
  std::vector<int> expected;
  for (const ControlTemplate& control : source.controls) {
    if ((control.style & kStyleTabStop) && IsWindowEnabled(Control(control.id))) {
      expected.push_back(control.id);
    }
  }
  // The first tab stop reached from the start is the style button that is checked.
  ASSERT_FALSE(order.empty());
  std::rotate(order.begin(), std::find(order.begin(), order.end(), expected.front()), order.end());
  EXPECT_EQ(order, expected);
}

// What the user does reaches the core; what the program sets does not run a handler twice.
TEST_F(Win32WindowTest, TypedTextRunsTheHandlerAndTextSetByTheProgramDoesNot) {
  ASSERT_EQ(m_window->Dialog().Bpm(), 200);  // the first start's tempo
  m_window->Controls().SetText(kIdTempoEdit, "90");
  EXPECT_EQ(m_window->Dialog().Bpm(), 200);
  // Typed: select all, then three digits; the edit refuses the letter.
  SendMessageW(Control(kIdTempoEdit), EM_SETSEL, 0, -1);
  for (wchar_t c : std::wstring(L"1x23")) SendMessageW(Control(kIdTempoEdit), WM_CHAR, c, 1);
  EXPECT_EQ(Text(kIdTempoEdit), "123");
  EXPECT_EQ(m_window->Dialog().Bpm(), 123);
  EXPECT_EQ(SendMessageW(Control(kIdTempoSlider), TBM_GETPOS, 0, 0),
            MetronomeDialog::BpmToSlider(123));
  EXPECT_TRUE(IsWindowEnabled(Control(kIdSavePreset)));

  // A click on Simple Measure enables the beats field; its arrows write plain digits.
  SendMessageW(Control(kIdSimpleMeasure), BM_CLICK, 0, 0);
  ASSERT_TRUE(IsWindowEnabled(Control(kIdBeatsEdit)));
  m_window->Controls().SetText(kIdBeatsEdit, "999");
  NMUPDOWN step{};
  step.hdr = {Control(kIdBeatsUpDown), static_cast<UINT_PTR>(kIdBeatsUpDown), UDN_DELTAPOS};
  step.iDelta = 5;
  SendMessageW(Window(), WM_NOTIFY, kIdBeatsUpDown, reinterpret_cast<LPARAM>(&step));
  EXPECT_EQ(Text(kIdBeatsEdit), "1000");
  EXPECT_EQ(m_window->Dialog().GetSequencer().GetMeasure().BeatsPerMeasure(), 1000);
}

// The accelerators come before the dialog manager, whatever has the focus: the keys act, and
// Escape changes nothing.
TEST_F(Win32WindowTest, KeysReachTheirCommandsBeforeTheDialogManager) {
  SetFocus(Control(kIdPresetCombo));
  Key(VK_RETURN, false);
  EXPECT_TRUE(m_window->Dialog().IsPlaying());
  Key('P', true);
  EXPECT_FALSE(m_window->Dialog().IsPlaying());

  struct Case {
    WPARAM key;
    int checked;  // the control the key checks
  } const cases[] = {{'C', kIdCustom}, {'M', kIdSimpleMeasure}, {'S', kIdStraight}};
  for (const Case& c : cases) {
    Key(c.key, true);
    EXPECT_EQ(SendMessageW(Control(c.checked), BM_GETCHECK, 0, 0), BST_CHECKED) << c.checked;
  }
  const LRESULT blink = SendMessageW(Control(kIdBlink), BM_GETCHECK, 0, 0);
  Key('B', true);
  EXPECT_NE(SendMessageW(Control(kIdBlink), BM_GETCHECK, 0, 0), blink);
  EXPECT_EQ(m_window->Dialog().Blinking(), blink != BST_CHECKED);

  Key(VK_ESCAPE, false);
  ASSERT_TRUE(IsWindow(Window()));
  Key('X', true);
  EXPECT_EQ(m_window->Window(), nullptr);
  EXPECT_TRUE(m_window->Dialog().IsWindowGone());
  // The close saved the settings.
  Registry::Key key = 0;
  EXPECT_EQ(m_registry.OpenKey(Registry::kCurrentUser, "Software\\Quelbrand\\Ticktavo",
                               RegAccess::kRead, &key),
            RegResult::kSuccess);
}

// The timing thread never waits for the window: it sounds its beats while the window's thread
// handles nothing, and what it reports (the main blinker's frames) reaches the window as posted
// messages once the thread pumps them.
TEST_F(Win32WindowTest, BeatsGoOnWithoutTheWindowAndTheirFramesArriveAsMessages) {
  if (SendMessageW(Control(kIdBlink), BM_GETCHECK, 0, 0) != BST_CHECKED) {
    SendMessageW(Control(kIdBlink), BM_CLICK, 0, 0);
  }
  ASSERT_TRUE(m_window->Dialog().Blinking());
  SendMessageW(Control(kIdPlay), BM_CLICK, 0, 0);
  ASSERT_TRUE(m_window->Dialog().IsPlaying());
  EXPECT_TRUE(m_midi.WaitForSent(2, std::chrono::seconds(10)));
  EXPECT_EQ(m_window->Controls().PictureChanges(kIdMainBlinker), 0);
  EXPECT_TRUE(PumpUntil([&] { return m_window->Controls().PictureChanges(kIdMainBlinker) > 0; }));
  SendMessageW(Control(kIdPlay), BM_CLICK, 0, 0);
  EXPECT_FALSE(m_window->Dialog().IsPlaying());
  EXPECT_EQ(m_window->Controls().Frame(kIdMainBlinker), 0);  // blanked by the stop
}

// The window folds as it is made shorter, within the limits the system enforces.
TEST_F(Win32WindowTest, FoldsWithinTheSizeLimits) {
  RECT full{};
  GetWindowRect(Window(), &full);
  const int width = full.right - full.left;
  const int height = full.bottom - full.top;
  const int pitch = m_window->Dialog().Layout().m_rowPitch;
  ASSERT_GT(pitch, 0);
  const RECT presets = [&] {
    RECT r{};
    GetWindowRect(Control(kIdPresetsFrame), &r);
    return r;
  }();

  struct Case {
    int requestedHeight;
    int expectedHeight;
  } const cases[] = {{height + 200, height}, {height - pitch, height - pitch}, {50, 180}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.requestedHeight);
    SetWindowPos(Window(), nullptr, full.left, full.top, width + 40, c.requestedHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    RECT now{};
    GetWindowRect(Window(), &now);
    EXPECT_EQ(now.right - now.left, width);  // the width is fixed
    EXPECT_EQ(now.bottom - now.top, c.expectedHeight);
    const int shrunk = height - c.expectedHeight;
    EXPECT_EQ(IsWindowVisible(Control(kIdVoiceInstrument[8])) != FALSE, shrunk == 0);
    // The bottom controls keep their distance from the bottom edge.
    RECT frame{};
    GetWindowRect(Control(kIdPresetsFrame), &frame);
    EXPECT_EQ(frame.top, presets.top - shrunk);
  }
}

// The window menu ends with About, then Practice; the Practice window it opens is modeless,
// owned by the main window and beside it, built from its template; asked again, the same
// window comes back; Escape closes it while the main window plays on, and the next one shows
// the count so far; closing the main window closes it.
TEST_F(Win32WindowTest, PracticeWindowComesFromTheWindowMenuOnceAndGoesWithTheMainWindow) {
  HMENU menu = GetSystemMenu(Window(), FALSE);
  const int items = GetMenuItemCount(menu);
  ASSERT_GE(items, 2);
  EXPECT_EQ(GetMenuItemID(menu, items - 2), static_cast<UINT>(kIdAboutCommand));
  EXPECT_EQ(GetMenuItemID(menu, items - 1), static_cast<UINT>(kIdPracticeCommand));
  wchar_t text[64] = {};
  GetMenuStringW(menu, items - 1, text, 64, MF_BYPOSITION);
  EXPECT_STREQ(text, L"&Practice...");

  PracticeWindow* practice = OpenPractice();
  ASSERT_NE(practice, nullptr);
  HWND first = practice->Window();
  EXPECT_EQ(TextOf(first), "Practice");
  EXPECT_TRUE(IsWindowVisible(first));
  EXPECT_EQ(GetWindow(first, GW_OWNER), Window());
  EXPECT_TRUE(IsWindowEnabled(Window()));
  for (const ControlTemplate& control : PracticeDialogTemplate().controls) {
    EXPECT_NE(GetDlgItem(first, control.id), nullptr) << control.id;
  }
  RECT main{}, own{};
  GetWindowRect(Window(), &main);
  GetWindowRect(first, &own);
  EXPECT_GT(own.left, main.right);  // beside it, on its right: the screen has room
  EXPECT_EQ(own.top, main.top);

  EXPECT_EQ(OpenPractice(), practice);
  EXPECT_EQ(practice->Window(), first);

  SendMessageW(Control(kIdPlay), BM_CLICK, 0, 0);
  ASSERT_TRUE(m_window->Dialog().IsPlaying());
  HWND measures = GetDlgItem(first, kIdMeasures);
  ASSERT_TRUE(PumpUntil([&] { return TextOf(measures) == "2"; }));
  SetFocus(GetDlgItem(first, kIdTrainer));
  Key(VK_ESCAPE, false);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(m_window->Practice(), nullptr);
  EXPECT_TRUE(m_window->Dialog().IsPlaying());
  const std::size_t sent = m_midi.Sent().size();
  EXPECT_TRUE(PumpUntil([&] { return m_midi.Sent().size() >= sent + 4; }));

  practice = OpenPractice();
  ASSERT_NE(practice, nullptr);
  HWND second = practice->Window();
  EXPECT_GE(std::stoi(TextOf(GetDlgItem(second, kIdMeasures))), 2);
  SendMessageW(Window(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(m_window->Window(), nullptr);
}

// Taps through the real window: T taps whatever control of the Practice window has the focus,
// by the time its key went down, and the main window's tempo follows; held down it taps once,
// and in the main window it is no tap. The Tap button taps as it goes down, once per click.
TEST_F(Win32WindowTest, PracticeTapsFromEveryControlAndTheMainTempoFollows) {
  PracticeWindow* practice = OpenPractice();
  ASSERT_NE(practice, nullptr);
  HWND window = practice->Window();
  auto control = [&](int id) { return GetDlgItem(window, id); };
  SendMessageW(control(kIdTrainer), BM_CLICK, 0, 0);
  HWND step = control(kIdTrainerStep);
  ASSERT_TRUE(IsWindowEnabled(step));
  EXPECT_TRUE(m_window->Dialog().PracticeTools().Practice().trainer);
  // The number fields take digits only, at once.
  SendMessageW(step, EM_SETSEL, 0, -1);
  for (wchar_t c : std::wstring(L"1x2")) SendMessageW(step, WM_CHAR, c, 1);
  EXPECT_EQ(TextOf(step), "12");
  EXPECT_EQ(m_window->Dialog().PracticeTools().Practice().trainerStep, 12);

  // Long enough ago that a tap now starts a new count.
  const DWORD start = GetTickCount() - 10'000;
  const HWND targets[] = {step, control(kIdTap), control(kIdTrainer), control(kIdTrainerTarget),
                          step};
  for (int k = 0; k < 5; ++k) {
    SetFocus(targets[k]);
    Deliver(MSG{targets[k], WM_KEYDOWN, 'T', 1, start + 500 * static_cast<DWORD>(k), {}});
  }
  EXPECT_EQ(practice->Dialog().Taps().Count(), 5);
  EXPECT_EQ(TextOf(control(kIdTapResult)), "120 BPM (5 taps)");
  EXPECT_EQ(Text(kIdTempoEdit), "120");
  EXPECT_EQ(m_window->Dialog().Bpm(), 120);
  EXPECT_EQ(TextOf(step), "12");  // T typed nothing

  Deliver(MSG{step, WM_KEYDOWN, 'T', 1 | (1 << 30), start + 2'100, {}});  // auto-repeat
  Deliver(MSG{Control(kIdTempoEdit), WM_KEYDOWN, 'T', 1, start + 2'200, {}});
  EXPECT_EQ(practice->Dialog().Taps().Count(), 5);

  // Two clicks now, by the mouse: a new count of two taps, one per press.
  for (int click = 0; click < 2; ++click) {
    PostMessageW(control(kIdTap), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(control(kIdTap), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  }
  Pump();
  EXPECT_EQ(practice->Dialog().Taps().Count(), 2);
  EXPECT_EQ(TextOf(control(kIdTapResult)), Text(kIdTempoEdit) + " BPM (2 taps)");
}

// Screen-reader names: the fields and blinkers are read back through the accessibility
// interface; the lists and sliders (which Wine names by their own text only) have the
// invisible label a screen reader takes their name from right before them.
TEST_F(Win32WindowTest, ControlsCarryTheirScreenReaderNames) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  PracticeWindow* practice = OpenPractice();
  ASSERT_NE(practice, nullptr);
  struct Case {
    HWND dialog;
    const DialogTemplate& source;
    std::string (*name)(int);
  } const cases[] = {{Window(), MainDialogTemplate(), &MainWindowAccessibleName},
                     {practice->Window(), PracticeDialogTemplate(), &PracticeWindowAccessibleName}};
  int read = 0;
  for (const Case& c : cases) {
    for (const ControlTemplate& control : c.source.controls) {
      const std::string name = c.name(control.id);
      if (name.empty()) continue;
      SCOPED_TRACE(name);
      HWND window = GetDlgItem(c.dialog, control.id);
      ASSERT_NE(window, nullptr);
      if (control.kind == ControlKind::kUpDown) {
        // Its buddy is the field before it, which a label there would have replaced.
        EXPECT_EQ(SendMessageW(window, UDM_GETBUDDY, 0, 0),
                  reinterpret_cast<LRESULT>(GetDlgItem(c.dialog, kIdBeatsEdit)));
        continue;
      }
      if (control.kind != ControlKind::kEdit && control.kind != ControlKind::kIconStatic) {
        HWND label = GetWindow(window, GW_HWNDPREV);
        wchar_t className[16] = {};
        GetClassNameW(label, className, 16);
        EXPECT_EQ(lstrcmpiW(className, WC_STATICW), 0);
        EXPECT_FALSE(IsWindowVisible(label));
        EXPECT_EQ(TextOf(label), name);
        continue;
      }
      IAccessible* accessible = nullptr;
      ASSERT_EQ(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&accessible)),
                S_OK);
      VARIANT self{};
      self.vt = VT_I4;
      self.lVal = CHILDID_SELF;
      BSTR spoken = nullptr;
      EXPECT_EQ(accessible->get_accName(self, &spoken), S_OK);
      const std::wstring expected(name.begin(), name.end());
      EXPECT_EQ(std::wstring(spoken != nullptr ? spoken : L""), expected);
      SysFreeString(spoken);
      accessible->Release();
      ++read;
    }
  }
  EXPECT_EQ(read, 3 + 10 + 5);  // the beats, custom and tempo fields, the blinkers, practice
  CoUninitialize();
}

// The frames: frame 0 is empty; frame f is a disc f × side / 8 pixels across on its middle row,
// centred, so frame 8 touches every edge of the square; every row is symmetric.
TEST(BlinkerFramesTest, DiscsGrowTwoOrFourPixelsAFrame) {
  for (int set = 0; set < kBlinkerSets; ++set) {
    const int side = BlinkerSide(set);
    for (int frame = 0; frame < kBlinkerFrames; ++frame) {
      SCOPED_TRACE(::testing::Message() << "set " << set << " frame " << frame);
      const Span middle = BlinkerRow(side, frame, side / 2);
      EXPECT_EQ(middle.end - middle.begin, frame * 2 * (set + 1));
      int rows = 0;
      for (int y = 0; y < side; ++y) {
        const Span row = BlinkerRow(side, frame, y);
        if (row.begin == row.end) continue;
        ++rows;
        EXPECT_EQ(row.begin, side - row.end);  // centred
      }
      EXPECT_EQ(rows, frame * 2 * (set + 1));  // as tall as wide
    }
    EXPECT_EQ(BlinkerRow(side, 8, 0).end - BlinkerRow(side, 8, 0).begin > 0, true);
    EXPECT_EQ(BlinkerRow(side, 8, side / 2).begin, 0);
  }
}

}  // namespace
}  // namespace ticktavo::win32
