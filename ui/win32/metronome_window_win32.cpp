#include "ui/win32/metronome_window_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "engine/utf16_win32.h"
#include "res/accelerators.h"
#include "res/accessible_names.h"
#include "res/resource_ids.h"
#include "res/string_table.h"
#include "ui/win32/about_box_win32.h"

namespace ticktavo::win32 {

namespace {

HICON LoadAppIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIdAppIcon), IMAGE_ICON,
                                       GetSystemMetrics(widthMetric),
                                       GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

}  // namespace

HACCEL CreateMainAccelerators() {
  std::vector<ACCEL> entries;
  for (const Accelerator& accelerator : AcceleratorTable()) {
    ACCEL entry{};
    // Virtual keys with exactly these modifiers: Shift or Ctrl held matches nothing.
    entry.fVirt = static_cast<BYTE>(FVIRTKEY | (accelerator.alt ? FALT : 0));
    entry.key = accelerator.key == Accelerator::Key::kEnter ? VK_RETURN
                                                            : static_cast<WORD>(accelerator.letter);
    entry.cmd = static_cast<WORD>(accelerator.command);
    entries.push_back(entry);
  }
  if (entries.empty()) return nullptr;
  return CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
}

std::string ProductPageAddress() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "guide.html";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  path.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return Narrow(path + L"guide.html");
}

MetronomeWindow::MetronomeWindow(HINSTANCE instance, Clock& clock, MidiOut& midi,
                                 Registry& registry, TimingPriority priority)
    : m_instance(instance),
      m_clock(clock),
      m_template(MainDialogTemplate(), &MainWindowAccessibleName),
      m_controls(MainDialogTemplate()),
      m_dialog(m_controls, *this, registry, clock, midi, priority) {}

MetronomeWindow::~MetronomeWindow() {
  // Nothing the timing thread posts reaches the window from here; the engine is stopped by its
  // own destruction, after the window and its controls.
  m_wakeTarget.store(nullptr, std::memory_order_release);
  m_dialog.OnDestroy();
  if (m_window != nullptr) DestroyWindow(m_window);
  if (m_accelerators != nullptr) DestroyAcceleratorTable(m_accelerators);
  if (m_bigIcon != nullptr) DestroyIcon(m_bigIcon);
  if (m_smallIcon != nullptr) DestroyIcon(m_smallIcon);
}

bool MetronomeWindow::Create() {
  return CreateDialogIndirectParamW(m_instance, m_template.Get(), nullptr, &DialogProc,
                                    reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool MetronomeWindow::PreTranslateMessage(MSG& message) {
  if (m_practiceWindow != nullptr && m_practiceWindow->PreTranslateMessage(message)) return true;
  if (m_window == nullptr || (message.hwnd != m_window && !IsChild(m_window, message.hwnd))) {
    return false;
  }
  if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST &&
      m_accelerators != nullptr && TranslateAcceleratorW(m_window, m_accelerators, &message) != 0) {
    return true;
  }
  // The window may have gone with the accelerator's command (Alt+X).
  return m_window != nullptr && IsDialogMessageW(m_window, &message) != 0;
}

INT_PTR CALLBACK MetronomeWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<MetronomeWindow*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_window = window;
    self->OnInitDialog();
    return FALSE;  // the focus is given (to the Straight button)
  }
  auto* self = reinterpret_cast<MetronomeWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  const INT_PTR handled = self->Handle(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->m_window = nullptr;
    PostQuitMessage(0);
  }
  return handled;
}

void MetronomeWindow::Result(LRESULT value) {
  SetWindowLongPtrW(m_window, DWLP_MSGRESULT, value);
}

void MetronomeWindow::OnInitDialog() {
  m_controls.Attach(m_window);
  AddWindowMenuItems();
  m_bigIcon = LoadAppIcon(m_instance, SM_CXICON, SM_CYICON);
  m_smallIcon = LoadAppIcon(m_instance, SM_CXSMICON, SM_CYSMICON);
  SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon));
  SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
  m_accelerators = CreateMainAccelerators();
  if (const UINT dpi = GetDpiForWindow(m_window); dpi != 0) m_dpi = static_cast<int>(dpi);
  m_wakeTarget.store(m_window, std::memory_order_release);
  m_dialog.OnInitDialog();
}

void MetronomeWindow::AddWindowMenuItems() {
  HMENU menu = GetSystemMenu(m_window, FALSE);
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  const struct {
    int text;
    int command;
  } items[] = {{kIdStringAbout, kIdAboutCommand}, {kIdStringPractice, kIdPracticeCommand}};
  for (const auto& item : items) {
    const char* text = LoadResourceString(item.text);
    if (text != nullptr && *text != '\0') {
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.command), Widen(text).c_str());
    }
  }
}

INT_PTR MetronomeWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(wParam);
      return TRUE;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      return TRUE;
    case WM_HSCROLL: {
      HWND control = reinterpret_cast<HWND>(lParam);
      const WORD code = LOWORD(wParam);
      // Each move once: the end of a key or click move repeats nothing; the end of a drag
      // (TB_THUMBPOSITION) snaps the thumb to the whole tempo it left.
      if (control == nullptr || code == TB_ENDTRACK || m_controls.FromProgram()) return TRUE;
      m_dialog.OnHScroll(GetDlgCtrlID(control), code == TB_THUMBTRACK || code == TB_THUMBPOSITION);
      return TRUE;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == static_cast<WPARAM>(kIdAboutCommand) ||
          (wParam & 0xFFF0) == static_cast<WPARAM>(kIdPracticeCommand)) {
        m_dialog.OnSysCommand(static_cast<unsigned>(wParam));
        return TRUE;
      }
      return FALSE;  // moving, sizing, minimising, Close: the system's
    case WM_CLOSE:
      // Saves the settings; from here nothing the engine reports reaches the window.
      m_wakeTarget.store(nullptr, std::memory_order_release);
      m_dialog.OnClose();
      m_practiceWindow.reset();
      DestroyWindow(m_window);
      return TRUE;
    case WM_DESTROY:
      m_wakeTarget.store(nullptr, std::memory_order_release);
      m_dialog.OnDestroy();
      return FALSE;
    case WM_NCDESTROY:
      m_controls.Detach();
      return FALSE;
    case WM_GETMINMAXINFO:
      if (m_limits) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxTrackSize = {m_limits->maxWidth, m_limits->maxHeight};
        info->ptMinTrackSize = {m_limits->minWidth, m_limits->minHeight};
        info->ptMaxSize = {m_limits->maximizedWidth, m_limits->maximizedHeight};
        Result(0);
        return TRUE;
      }
      return FALSE;
    case WM_SIZE:
      m_dialog.OnSize();
      return FALSE;
    case WM_DRAWITEM:
      return m_controls.DrawBlinker(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE
                                                                                      : FALSE;
    case DM_GETDEFID:
      Result(m_dialog.OnGetDefID());
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(m_bigIcon);
    case WM_DPICHANGED: {
      // Moved to a screen of another density: the dialog manager rescales the fonts, the
      // controls and the window (default processing); the folding layout and the limits are
      // rescaled first, so the new size is held to them, and the window folds again after.
      const int dpi = HIWORD(wParam);
      m_dialog.OnDpiChanged(dpi, m_dpi);
      m_dpi = dpi;
      PostMessageW(m_window, kRelayoutMessage, 0, 0);
      return FALSE;
    }
    case kRelayoutMessage:
      m_dialog.OnSize();
      return TRUE;
    case WM_TIMER:
      // One call per request: the dialog asks again if it wants another.
      ::KillTimer(m_window, wParam);
      m_dialog.OnTimer(static_cast<int>(wParam));
      return TRUE;
    case kWakeMessage:
      m_dialog.OnWake();
      return TRUE;
    default:
      return FALSE;
  }
}

void MetronomeWindow::OnCommand(WPARAM wParam) {
  const int id = LOWORD(wParam);
  const WORD code = HIWORD(wParam);
  if (code == 1 && id != 0) {  // an accelerator
    m_dialog.OnAcceleratorCommand(id);
    return;
  }
  if (id == IDCANCEL) {  // Escape and every other way to cancel change nothing
    m_dialog.OnCancel();
    return;
  }
  // Changes the core makes itself are not the user's.
  if (m_controls.FromProgram()) return;
  const ControlTemplate* control = MainDialogTemplate().Find(id);
  if (control == nullptr) return;
  if (const auto notification = NotificationOf(control->kind, code)) {
    m_dialog.OnCommand(id, *notification);
  }
}

void MetronomeWindow::OnNotify(const NMHDR& header) {
  if (header.code == UDN_DELTAPOS && !m_controls.FromProgram()) {
    const auto& step = reinterpret_cast<const NMUPDOWN&>(header);
    // The core writes the next number into the field itself (plain digits, within 1..1000);
    // the control's own change is refused.
    m_dialog.OnUpDownStep(static_cast<int>(header.idFrom), step.iDelta);
    Result(TRUE);
  }
}

// --- WindowHost ---

MessageResult MetronomeWindow::ShowMessageBox(std::string_view caption, std::string_view text,
                                              MessageIcon icon, MessageButtons buttons) {
  HWND owner = m_window != nullptr && !m_dialog.IsWindowGone() ? m_window : nullptr;
  UINT type = icon == MessageIcon::kError ? MB_ICONERROR : MB_ICONQUESTION;
  type |= buttons == MessageButtons::kOk ? MB_OK : MB_YESNO;
  if (owner == nullptr) type |= MB_TASKMODAL | MB_SETFOREGROUND;
  const int answer = MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), type);
  if (buttons == MessageButtons::kOk) return MessageResult::kOk;
  return answer == IDYES ? MessageResult::kYes : MessageResult::kNo;
}

WindowRect MetronomeWindow::WindowPlace() const {
  RECT rect{};
  if (m_window != nullptr) GetWindowRect(m_window, &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

Size MetronomeWindow::ClientSize() const {
  RECT rect{};
  if (m_window != nullptr) GetClientRect(m_window, &rect);
  return {rect.right, rect.bottom};
}

void MetronomeWindow::MoveWindow(WindowRect place) {
  if (m_window == nullptr) return;
  // A damaged stored rectangle gives no negative size; the size limits apply as the window
  // is moved.
  const auto width = static_cast<long long>(place.right) - place.left;
  const auto height = static_cast<long long>(place.bottom) - place.top;
  ::MoveWindow(m_window, place.left, place.top, static_cast<int>(std::clamp(width, 0LL, 32767LL)),
               static_cast<int>(std::clamp(height, 0LL, 32767LL)), TRUE);
}

void MetronomeWindow::MoveWindowClient(int left, int top, Size client) {
  if (m_window == nullptr) return;
  // The frame is what the window has around its client area now.
  RECT outer{};
  RECT inner{};
  GetWindowRect(m_window, &outer);
  GetClientRect(m_window, &inner);
  const int frameWidth = (outer.right - outer.left) - (inner.right - inner.left);
  const int frameHeight = (outer.bottom - outer.top) - (inner.bottom - inner.top);
  ::MoveWindow(m_window, left, top, std::max(client.width, 0) + frameWidth,
               std::max(client.height, 0) + frameHeight, TRUE);
}

void MetronomeWindow::SetTimer(int id, int milliseconds) {
  // Asking again for a waiting id restarts its wait.
  if (m_window != nullptr) ::SetTimer(m_window, static_cast<UINT_PTR>(id), milliseconds, nullptr);
}

void MetronomeWindow::KillTimer(int id) {
  if (m_window != nullptr) ::KillTimer(m_window, static_cast<UINT_PTR>(id));
}

void MetronomeWindow::Repaint(Rect band) {
  if (m_window == nullptr) return;
  const RECT rect{band.x, band.y, band.Right(), band.Bottom()};
  RedrawWindow(m_window, &rect, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

std::vector<WindowRect> MetronomeWindow::Screens() const {
  std::vector<WindowRect> screens;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM context) -> BOOL {
        auto& list = *reinterpret_cast<std::vector<WindowRect>*>(context);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (!GetMonitorInfoW(monitor, &info)) return TRUE;
        const WindowRect rect{info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right,
                              info.rcMonitor.bottom};
        if (info.dwFlags & MONITORINFOF_PRIMARY) {
          list.insert(list.begin(), rect);
        } else {
          list.push_back(rect);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&screens));
  return screens;
}

void MetronomeWindow::OpenAboutBox() {
  // Its modal loop keeps dispatching the engine's wakes to this window, so playing goes on.
  RunAboutBox(m_instance, m_window, *this, ProductPageAddress());
}

void MetronomeWindow::OpenPracticeWindow() {
  if (Practice() != nullptr) {
    m_practiceWindow->Show();
    return;
  }
  // One closed before is let go here, outside its own messages.
  m_practiceWindow = std::make_unique<PracticeWindow>(m_instance, m_dialog, m_clock);
  if (!m_practiceWindow->Create(m_window)) m_practiceWindow.reset();
}

void MetronomeWindow::OpenProductPage(std::string_view address) {
  // Whether a browser could be started is not told.
  ShellExecuteW(GetActiveWindow(), L"open", Widen(address).c_str(), L"", nullptr, SW_SHOWNORMAL);
}

void MetronomeWindow::CloseWindow() {
  // As the close box does; returns once the window has handled it.
  if (m_window != nullptr) SendMessageW(m_window, WM_CLOSE, 0, 0);
}

void MetronomeWindow::RequestWake() {
  // Timing thread: posting never waits for the window's thread.
  HWND target = m_wakeTarget.load(std::memory_order_acquire);
  if (target != nullptr) PostMessageW(target, kWakeMessage, 0, 0);
}

}  // namespace ticktavo::win32
