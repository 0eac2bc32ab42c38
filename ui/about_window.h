#pragma once

#include <functional>

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "dialog/about_dialog.h"
#include "ui/qt_controls.h"

class QLabel;
class QPushButton;
class QShortcut;

namespace ticktavo {

// The About box in Qt: template 100's controls as widgets, the core's AboutDialog over them,
// the link drawn in blue and its clicks, and the box's own OK, Enter, Escape and close box.
// Modal to its owner; while it is open its event loop keeps serving the timing thread.
class AboutWindow final : public QDialog {
  Q_OBJECT

 public:
  // host opens the page; owner is the window the box is modal to (null: the whole program).
  AboutWindow(WindowHost& host, QWidget* owner);
  ~AboutWindow() override;

  // The page the link opens: the installed user guide as a local file address.
  static QUrl ProductPageUrl();
  // The colour the link is drawn in: pure blue.
  static constexpr QRgb kLinkColor = 0xFF0000FF;

  QLabel* LinkStatic() const;
  QLabel* VersionStatic() const;
  QLabel* AuthorStatic() const;
  QLabel* IconStatic() const;
  QPushButton* OkButton() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QtControls m_controls;
  AboutDialog m_about;
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

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> m_window;
  CommandHandler m_handler;
  QString m_aboutText;
};

}  // namespace ticktavo
