#include "ui/win32/win32_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "engine/utf16_win32.h"
#include "res/resource_ids.h"
#include "ui/win32/blinker_frames.h"

namespace ticktavo::win32 {

namespace {

constexpr int kDefaultDpi = 96;

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

bool HasClass(HWND control, const wchar_t* name) {
  wchar_t className[64] = {};
  GetClassNameW(control, className, 64);
  return lstrcmpiW(className, name) == 0;
}

int DpiOf(HWND window) {
  const UINT dpi = GetDpiForWindow(window);
  return dpi != 0 ? static_cast<int>(dpi) : kDefaultDpi;
}

}  // namespace

std::optional<Notification> NotificationOf(ControlKind kind, WORD code) {
  switch (kind) {
    case ControlKind::kRadioButton:
    case ControlKind::kCheckBox:
    case ControlKind::kPushButton:
      if (code == BN_CLICKED) return Notification::kClicked;
      break;
    case ControlKind::kEdit:
      if (code == EN_CHANGE) return Notification::kChanged;
      if (code == EN_KILLFOCUS) return Notification::kKillFocus;
      break;
    case ControlKind::kComboDropDown:
    case ControlKind::kComboDropList:
      if (code == CBN_SELCHANGE) return Notification::kSelChange;
      if (code == CBN_EDITCHANGE) return Notification::kEditChange;
      break;
    default:
      break;
  }
  return std::nullopt;
}

Win32Controls::~Win32Controls() {
  Detach();
}

void Win32Controls::Attach(HWND dialog) {
  m_dialog = dialog;
  const int dpi = DpiOf(dialog);
  for (const ControlTemplate& control : m_source.controls) {
    if (control.kind != ControlKind::kIconStatic || control.iconId < kIdFirstBlinkerIcon) continue;
    const int set = (control.iconId - kIdFirstBlinkerIcon) / kBlinkerFrames;
    m_blinkers[control.id] = Blinker{set, 0, 0};
    // Like an icon static, the control takes the size of its picture (plus its edge); the
    // template's rectangle only places its top left corner.
    HWND window = Control(control.id);
    RECT outer{}, inner{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &inner);
    const int side = MulDiv(BlinkerSide(set), dpi, kDefaultDpi);
    const int edgeX = (outer.right - outer.left) - inner.right;
    const int edgeY = (outer.bottom - outer.top) - inner.bottom;
    SetWindowPos(window, nullptr, 0, 0, side + edgeX, side + edgeY,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Tooltips without the "&" prefix processing, shown even while the window is inactive.
  m_toolTip = CreateWindowExW(
      WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE)), nullptr);
}

void Win32Controls::Detach() {
  // The tooltip control is the dialog's child window (owned popup): it goes with it.
  m_toolTip = nullptr;
  m_dialog = nullptr;
  m_tools.clear();
}

bool Win32Controls::IsUpDown(HWND control) const {
  return HasClass(control, UPDOWN_CLASSW);
}

std::string Win32Controls::Text(int id) const {
  HWND control = Control(id);
  return control != nullptr ? Narrow(WindowText(control)) : std::string();
}

void Win32Controls::SetText(int id, std::string_view text) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  SetWindowTextW(control, Widen(text).c_str());
}

bool Win32Controls::IsChecked(int id) const {
  HWND control = Control(id);
  return control != nullptr && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Controls::SetChecked(int id, bool checked) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  SendMessageW(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Controls::SetRange(int id, int minimum, int maximum) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  if (IsUpDown(control)) {
    SendMessageW(control, UDM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
  } else {
    // No redraw for the first, one for the second.
    SendMessageW(control, TBM_SETRANGEMIN, FALSE, minimum);
    SendMessageW(control, TBM_SETRANGEMAX, TRUE, maximum);
  }
}

int Win32Controls::Position(int id) const {
  HWND control = Control(id);
  if (control == nullptr) return 0;
  if (IsUpDown(control)) return static_cast<int>(SendMessageW(control, UDM_GETPOS32, 0, 0));
  return static_cast<int>(SendMessageW(control, TBM_GETPOS, 0, 0));
}

void Win32Controls::SetPosition(int id, int position) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  if (IsUpDown(control)) {
    SendMessageW(control, UDM_SETPOS32, 0, position);
  } else {
    SendMessageW(control, TBM_SETPOS, TRUE, position);
  }
}

void Win32Controls::InsertItem(int id, int position, std::string_view text) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  const std::wstring wide = Widen(text);
  SendMessageW(control, CB_INSERTSTRING, static_cast<WPARAM>(position),
               reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32Controls::RemoveItem(int id, int position) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  SendMessageW(control, CB_DELETESTRING, static_cast<WPARAM>(position), 0);
}

int Win32Controls::ItemCount(int id) const {
  HWND control = Control(id);
  return control != nullptr ? static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0)) : 0;
}

std::string Win32Controls::ItemText(int id, int position) const {
  HWND control = Control(id);
  if (control == nullptr) return {};
  const LRESULT length = SendMessageW(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(position), 0);
  if (length == CB_ERR || length <= 0) return {};
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(position),
               reinterpret_cast<LPARAM>(text.data()));
  return Narrow(text.data());
}

int Win32Controls::Selection(int id) const {
  HWND control = Control(id);
  if (control == nullptr) return -1;
  const LRESULT selection = SendMessageW(control, CB_GETCURSEL, 0, 0);
  return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

void Win32Controls::SetSelection(int id, int position) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  // A position the list does not have selects nothing and empties the edit part, as -1 does.
  if (position < 0 || position >= ItemCount(id)) position = -1;
  SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

bool Win32Controls::IsEnabled(int id) const {
  HWND control = Control(id);
  return control != nullptr && IsWindowEnabled(control) != FALSE;
}

void Win32Controls::SetEnabled(int id, bool enabled) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  EnableWindow(control, enabled ? TRUE : FALSE);
}

bool Win32Controls::IsVisible(int id) const {
  // The control's own state, whether or not the window is shown yet.
  HWND control = Control(id);
  return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Controls::SetVisible(int id, bool visible) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

Rect Win32Controls::Place(int id) const {
  HWND control = Control(id);
  if (control == nullptr) return {};
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, m_dialog, reinterpret_cast<POINT*>(&rect), 2);
  return Rect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void Win32Controls::SetPlace(int id, Rect place) {
  HWND control = Control(id);
  if (control == nullptr) return;
  ProgramChange change(m_fromProgram);
  SetWindowPos(control, nullptr, place.x, place.y, place.width, place.height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void Win32Controls::SetToolTip(int id, std::string_view text) {
  HWND control = Control(id);
  if (control == nullptr || m_toolTip == nullptr) return;
  std::wstring wide = Widen(text);
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  // The whole control is the tool; the tooltip control watches its mouse messages itself.
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = m_dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = wide.data();
  if (m_tools.insert(id).second) {
    SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  } else {
    SendMessageW(m_toolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void Win32Controls::SetFocus(int id) {
  HWND control = Control(id);
  if (control == nullptr) return;
  // Through the dialog manager, so the default-button look follows the focus.
  SendMessageW(m_dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void Win32Controls::SetDefaultButton(int id) {
  if (m_dialog == nullptr) return;
  ProgramChange change(m_fromProgram);
  SendMessageW(m_dialog, DM_SETDEFID, static_cast<WPARAM>(id), 0);
}

void Win32Controls::SetSizeSet(int id, int set) {
  auto it = m_blinkers.find(id);
  if (it != m_blinkers.end()) it->second.set = std::clamp(set, 0, kBlinkerSets - 1);
}

int Win32Controls::Frame(int id) const {
  auto it = m_blinkers.find(id);
  return it != m_blinkers.end() ? it->second.frame : 0;
}

int Win32Controls::PictureChanges(int id) const {
  auto it = m_blinkers.find(id);
  return it != m_blinkers.end() ? it->second.pictureChanges : 0;
}

void Win32Controls::SetFrame(int id, int frame) {
  auto it = m_blinkers.find(id);
  if (it == m_blinkers.end()) return;
  frame = std::clamp(frame, 0, kBlinkerFrames - 1);
  if (frame == it->second.frame) return;
  it->second.frame = frame;
  ++it->second.pictureChanges;
  HWND control = Control(id);
  if (control == nullptr) return;
  InvalidateRect(control, nullptr, FALSE);
  UpdateWindow(control);
}

bool Win32Controls::DrawBlinker(const DRAWITEMSTRUCT& item) const {
  auto it = m_blinkers.find(static_cast<int>(item.CtlID));
  if (it == m_blinkers.end() || item.CtlType != ODT_STATIC) return false;
  const RECT& area = item.rcItem;
  FillRect(item.hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
  const int side = std::min(area.right - area.left, area.bottom - area.top);
  const int left = area.left + (area.right - area.left - side) / 2;
  const int top = area.top + (area.bottom - area.top - side) / 2;
  // Frame f of set s at this size: the disc keeps its share of the square at every DPI.
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  for (int y = 0; y < side; ++y) {
    const Span span = BlinkerRow(side, it->second.frame, y);
    if (span.begin == span.end) continue;
    const RECT row{left + span.begin, top + y, left + span.end, top + y + 1};
    FillRect(item.hDC, &row, red);
  }
  DeleteObject(red);
  return true;
}

}  // namespace ticktavo::win32
