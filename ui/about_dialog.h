#pragma once

#include <functional>

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "res/resource_ids.h"

class QLabel;
class QPushButton;
class QShortcut;

namespace ticktavo {

// The About box: the program's icon, name and version, an author line and a link to the user
// guide installed with the program. Modal to the main window; it changes nothing. While it is
// open its own event loop keeps serving the timing thread's calls to the main window, so
// playback goes on.
//
// Closed by OK (also Enter), Escape and its close box. A click on the link asks the desktop to
// open the guide (QDesktopServices::openUrl, whose per-scheme handlers let tests watch it) and
// leaves the box open; whether a browser could be started is not reported.
class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  // owner: the window the box is modal to (null: the whole program).
  explicit AboutDialog(QWidget* owner = nullptr);
  ~AboutDialog() override;

  // Runs the box until it is closed. The result is the button that closed it.
  int DoModal() { return exec(); }

  void OnLinkClicked();

  // The page the link opens: the installed user guide as a local file address.
  static QUrl ProductPageUrl();
  // The colour the link is drawn in: pure blue.
  static constexpr QRgb kLinkColor = 0xFF0000FF;

  const QString& VersionText() const { return m_versionText; }
  QLabel* LinkStatic() const { return m_linkStatic; }
  QLabel* VersionStatic() const { return m_versionStatic; }
  QLabel* AuthorStatic() const { return m_authorStatic; }
  QLabel* IconStatic() const { return m_iconStatic; }
  QPushButton* OkButton() const { return m_okButton; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnInitDialog();
  void OnCtlColor();

  QLabel* m_linkStatic = nullptr;
  QString m_versionText;
  QLabel* m_versionStatic = nullptr;
  QLabel* m_authorStatic = nullptr;
  QLabel* m_iconStatic = nullptr;
  QPushButton* m_okButton = nullptr;
  QUrl m_url;
};

// The About command of the main window. Windows puts it on the window menu; X11 and Wayland
// give programs no window menu, so here it is the one item of the window's context menu
// (a right click on the window's background) and the F1 key. Both send window command 16,
// string 101 ("&About Ticktavo...") is the item's text; without that string there is no item.
class WindowMenu final : public QObject {
  Q_OBJECT

 public:
  using CommandHandler = std::function<void(unsigned command)>;

  // Installs itself on the window; handler receives the window commands.
  WindowMenu(QWidget& window, CommandHandler handler);
  ~WindowMenu() override;

  bool HasAboutItem() const { return !m_aboutText.isEmpty(); }
  const QString& AboutItemText() const { return m_aboutText; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> m_window;
  CommandHandler m_handler;
  QString m_aboutText;
  QShortcut* m_helpKey = nullptr;
};

// Window commands are matched with their low four bits masked off, so 16 to 31 all mean About.
constexpr bool IsAboutCommand(unsigned command) {
  return (command & 0xFFF0u) == static_cast<unsigned>(kIdAboutCommand);
}

}  // namespace ticktavo
