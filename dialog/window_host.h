#pragma once

#include <string_view>
#include <vector>

#include "dialog/geometry.h"
#include "rhythm/beat_feed.h"
#include "store/stored_settings.h"

namespace ticktavo {

enum class MessageIcon { kError, kQuestion };
enum class MessageButtons { kOk, kYesNo };
enum class MessageResult { kOk, kYes, kNo };

// Size limits of the window in outer pixels (frame included), and the frame thickness (outer
// minus client size) they were worked out with.
struct SizeLimits {
  int minWidth = 0;
  int minHeight = 0;
  int maxWidth = 0;
  int maxHeight = 0;
  int maximizedWidth = 0;
  int maximizedHeight = 0;
  Size frame;
};

// What belongs to the top-level window and the platform, as the dialog asks for it. The
// front end implements it beside DialogControls. Window rectangles are the whole window,
// frame included, in screen pixels (WindowRect: right and bottom exclusive). Window's
// thread only, RequestWake aside.
class WindowHost {
 public:
  // A modal box with this caption, text, icon and buttons, owned by the window while it
  // exists and is open (before and after that, by nothing). Closing a Yes/No box without
  // answering is No.
  virtual MessageResult ShowMessageBox(std::string_view caption, std::string_view text,
                                       MessageIcon icon, MessageButtons buttons) = 0;
  virtual WindowRect WindowPlace() const = 0;
  virtual Size ClientSize() const = 0;
  // Moves and sizes the whole window and repaints it; the resize comes back as OnSize.
  virtual void MoveWindow(WindowRect place) = 0;
  // Moves the window's outer top-left corner to (left, top) and gives its client area this
  // size, whatever frame the window manager then puts around it; repaints as MoveWindow.
  virtual void MoveWindowClient(int left, int top, Size client) = 0;
  virtual void SetSizeLimits(const SizeLimits& limits) = 0;
  // Repaints this band of the client area at once, the controls in it included.
  virtual void Repaint(Rect band) = 0;
  // The screens' rectangles, the primary screen first.
  virtual std::vector<WindowRect> Screens() const = 0;
  // Runs the About box, modal to the window; returns when it is closed.
  virtual void OpenAboutBox() = 0;
  // Shows the Practice window (modeless, beside the main window), or brings it to the front
  // when it is open already; returns at once.
  virtual void OpenPracticeWindow() = 0;
  // Runs the Export Click Track box for this program, modal to the window; returns when it is
  // closed. Playing goes on meanwhile.
  virtual void OpenExportBox(const BeatFeed::Program& program) = 0;
  // Asks the desktop to open the page; whether a browser could be started is not told.
  virtual void OpenProductPage(std::string_view address) = 0;
  // Closes the window the way its close box does, which ends in the dialog's OnClose.
  virtual void CloseWindow() = 0;
  // Any thread (the timing thread), at once, without locking, allocating or waiting: asks the
  // window's thread to call the dialog's OnWake soon. Several requests may come as one call.
  virtual void RequestWake() = 0;
  // One call of the dialog's OnTimer(id) on the window's thread, about `milliseconds` from now.
  // Asking again for the same id before it came starts the wait afresh; KillTimer drops it.
  virtual void SetTimer(int id, int milliseconds) = 0;
  virtual void KillTimer(int id) = 0;

 protected:
  ~WindowHost() = default;
};

}  // namespace ticktavo
