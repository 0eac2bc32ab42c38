#include "ui/win32/about_box_win32.h"

#include "dialog/about_dialog.h"
#include "res/about_dialog_template.h"
#include "ui/win32/dialog_template_win32.h"
#include "ui/win32/win32_controls.h"

namespace ticktavo::win32 {

namespace {

constexpr COLORREF kLinkColor = RGB(0, 0, 255);

struct AboutBox {
  Win32Controls controls{AboutDialogTemplate()};
  AboutDialog about;

  AboutBox(WindowHost& host, std::string address) : about(controls, host, std::move(address)) {}
};

INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* box = reinterpret_cast<AboutBox*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    box->controls.Attach(window);
    box->about.OnInitDialog();
    return FALSE;  // the focus is on OK
  }
  auto* box = reinterpret_cast<AboutBox*>(GetWindowLongPtrW(window, DWLP_USER));
  if (box == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL) {
        EndDialog(window, id);
      } else if (id == kIdAboutLink && HIWORD(wParam) == STN_CLICKED) {
        box->about.OnCommand(id);
      }
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kIdAboutLink) {
        // Only the text is blue; the background stays the box's.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kLinkColor);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    case WM_NCDESTROY:
      box->controls.Detach();
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunAboutBox(HINSTANCE instance, HWND owner, WindowHost& host, std::string pageAddress) {
  AboutBox box(host, std::move(pageAddress));
  const Win32DialogTemplate dialogTemplate(AboutDialogTemplate());
  DialogBoxIndirectParamW(instance, dialogTemplate.Get(), owner, &AboutProc,
                          reinterpret_cast<LPARAM>(&box));
}

}  // namespace ticktavo::win32
