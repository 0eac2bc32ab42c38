#include "ui/win32/practice_window_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "dialog/metronome_dialog.h"
#include "res/accessible_names.h"
#include "res/practice_dialog_template.h"

namespace ticktavo::win32 {

namespace {

// Between the main window's frame and this one's, in pixels at 96 DPI.
constexpr int kGap = 8;
constexpr LPARAM kRepeatBit = LPARAM{1} << 30;  // the key was already down: auto-repeat

bool IsHeld(int key) {
  return (GetKeyState(key) & 0x8000) != 0;
}

}  // namespace

PracticeWindow::PracticeWindow(HINSTANCE instance, MetronomeDialog& main, Clock& clock)
    : m_instance(instance),
      m_main(main),
      m_template(PracticeDialogTemplate(), &PracticeWindowAccessibleName),
      m_controls(PracticeDialogTemplate()),
      m_practice(m_controls, main.PracticeTools(), clock) {}

PracticeWindow::~PracticeWindow() {
  if (m_window != nullptr) DestroyWindow(m_window);
}

bool PracticeWindow::Create(HWND owner) {
  if (CreateDialogIndirectParamW(m_instance, m_template.Get(), owner, &DialogProc,
                                 reinterpret_cast<LPARAM>(this)) == nullptr) {
    return false;
  }
  PlaceBeside(owner);
  Show();
  return true;
}

void PracticeWindow::Show() {
  if (m_window == nullptr) return;
  ShowWindow(m_window, SW_SHOWNORMAL);
  SetForegroundWindow(m_window);
}

void PracticeWindow::PlaceBeside(HWND owner) {
  RECT main{};
  RECT own{};
  GetWindowRect(owner, &main);
  GetWindowRect(m_window, &own);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  MONITORINFO screen{};
  screen.cbSize = sizeof screen;
  if (!GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &screen)) return;
  const RECT& work = screen.rcWork;
  const UINT dpi = GetDpiForWindow(owner);
  const int gap = MulDiv(kGap, dpi != 0 ? static_cast<int>(dpi) : USER_DEFAULT_SCREEN_DPI,
                         USER_DEFAULT_SCREEN_DPI);
  // On the right, where it covers none of the main window's controls; on the left when the
  // screen ends first; always wholly on the screen where it fits.
  int left = main.right + gap;
  if (left + width > work.right) left = main.left - gap - width;
  left =
      std::max(std::min(left, static_cast<int>(work.right) - width), static_cast<int>(work.left));
  const int top =
      std::max(std::min(static_cast<int>(main.top), static_cast<int>(work.bottom) - height),
               static_cast<int>(work.top));
  SetWindowPos(m_window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool PracticeWindow::PreTranslateMessage(const MSG& message) {
  if (m_window == nullptr || (message.hwnd != m_window && !IsChild(m_window, message.hwnd))) {
    return false;
  }
  // The number fields take digits only, so T is never text here: it taps, wherever the focus
  // is. Held down, it taps once. With Ctrl or Alt it is another key.
  if (message.message == WM_KEYDOWN && message.wParam == 'T' && !IsHeld(VK_CONTROL) &&
      !IsHeld(VK_MENU)) {
    if ((message.lParam & kRepeatBit) == 0) Tap(message.time);
    return true;
  }
  MSG copy = message;
  return IsDialogMessageW(m_window, &copy) != 0;
}

void PracticeWindow::Tap(DWORD time) {
  // The moment the key or button went down, by the message clock, so a window kept busy
  // between taps does not move them.
  if (!m_closing) m_practice.OnTapAt(static_cast<std::int64_t>(time), 1000);
}

INT_PTR CALLBACK PracticeWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<PracticeWindow*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_window = window;
    self->OnInitDialog();
    return FALSE;  // the focus is given (to the Tap button)
  }
  auto* self = reinterpret_cast<PracticeWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  const INT_PTR handled = self->Handle(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->m_window = nullptr;
  }
  return handled;
}

LRESULT CALLBACK PracticeWindow::TapButtonProc(HWND button, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR self) {
  // The press is the beat, not the release: a click, a double click (which a button takes as
  // a press), Space, and the click the dialog manager or a screen reader makes (BM_CLICK
  // presses too).
  const bool press = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK ||
                     (message == WM_KEYDOWN && wParam == VK_SPACE && (lParam & kRepeatBit) == 0);
  if (press) reinterpret_cast<PracticeWindow*>(self)->Tap(GetMessageTime());
  if (message == WM_NCDESTROY) RemoveWindowSubclass(button, &TapButtonProc, 0);
  return DefSubclassProc(button, message, wParam, lParam);
}

void PracticeWindow::OnInitDialog() {
  m_controls.Attach(m_window);
  SetWindowSubclass(m_controls.Control(kIdTap), &TapButtonProc, 0,
                    reinterpret_cast<DWORD_PTR>(this));
  m_practice.OnInitDialog();
  m_main.AttachPracticeDialog(&m_practice);
}

INT_PTR PracticeWindow::Handle(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(wParam);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(m_window);
      return TRUE;
    case WM_DESTROY:
      m_closing = true;
      m_main.AttachPracticeDialog(nullptr);
      return FALSE;
    case WM_NCDESTROY:
      m_controls.Detach();
      return FALSE;
    default:
      return FALSE;
  }
}

void PracticeWindow::OnCommand(WPARAM wParam) {
  const int id = LOWORD(wParam);
  if (id == IDCANCEL) {  // Escape closes it, as the close box does
    DestroyWindow(m_window);
    return;
  }
  // The Tap button tapped as it went down; changes the core makes itself are not the user's.
  if (m_closing || id == kIdTap || m_controls.FromProgram()) return;
  const ControlTemplate* control = PracticeDialogTemplate().Find(id);
  if (control == nullptr) return;
  if (const auto notification = NotificationOf(control->kind, HIWORD(wParam))) {
    m_practice.OnCommand(id, *notification);
  }
}

}  // namespace ticktavo::win32
