#pragma once

#include <functional>

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QUrl>

#include "dialog/about_dialog.h"
#include "res/about_dialog_template.h"
#include "ui/qt_controls.h"

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

  // The box's controls, by their place in the template.
  QLabel* LinkStatic() const { return Part<QLabel>(kAboutLinkIndex); }
  QLabel* VersionStatic() const { return Part<QLabel>(kAboutVersionIndex); }
  QLabel* AuthorStatic() const { return Part<QLabel>(kAboutAuthorIndex); }
  QLabel* IconStatic() const { return Part<QLabel>(kAboutIconIndex); }
  QPushButton* OkButton() const { return Part<QPushButton>(kAboutOkIndex); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  template <class T>
  T* Part(int index) const {
    return qobject_cast<T*>(
        m_controls.Built().InTemplateOrder().at(static_cast<std::size_t>(index)));
  }

  QtControls m_controls;
  AboutDialog m_about;
};

// The window commands of the main window. Windows puts them on the window menu; X11 and
// Wayland give programs no window menu, so here they are the items of the window's context
// menu (a right click on the window's background): About (command 16, string 101 "&About
// Ticktavo...", also the F1 key), then Practice (command 32, string 104 "&Practice..."), then
// Export Click Track (command 48, string 106). An item whose string is missing is left out.
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
  QString m_practiceText;
  QString m_exportText;
};

}  // namespace ticktavo
