#pragma once

#include <string>
#include <string_view>

#include "dialog/dialog_controls.h"
#include "dialog/window_host.h"

namespace ticktavo {

// The About box as behaviour, over the controls of template 100: the version line, and the
// link that shows the product page's address and opens it when clicked. The box is modal and
// changes nothing; OK, Escape and its close box close it (the front end's own dialog does).
class AboutDialog {
 public:
  static constexpr std::string_view kVersionText = "Ticktavo version 1.4";

  // host opens the page; pageAddress is both the link's text and the page it opens.
  AboutDialog(DialogControls& controls, WindowHost& host, std::string pageAddress);

  void OnInitDialog();
  // A click on the link (kIdAboutLink) opens the page; the box stays open.
  void OnCommand(int id);
  void OnLinkClicked();

 private:
  DialogControls& m_controls;
  WindowHost& m_host;
  std::string m_pageAddress;
};

}  // namespace ticktavo
