#include "dialog/about_dialog.h"

#include "res/about_dialog_template.h"

namespace ticktavo {

AboutDialog::AboutDialog(DialogControls& controls, WindowHost& host, std::string pageAddress)
    : m_controls(controls), m_host(host), m_pageAddress(std::move(pageAddress)) {}

void AboutDialog::OnInitDialog() {
  // The template's version text is replaced as the box opens.
  m_controls.SetText(kIdAboutVersion, kVersionText);
  m_controls.SetText(kIdAboutLink, m_pageAddress);
  m_controls.SetFocus(kIdOk);
}

void AboutDialog::OnCommand(int id) {
  if (id == kIdAboutLink) OnLinkClicked();
}

void AboutDialog::OnLinkClicked() {
  m_host.OpenProductPage(m_pageAddress);
}

}  // namespace ticktavo
