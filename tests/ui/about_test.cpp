// The About box: what it shows, its link to the installed user guide, how it closes, and the
// ways the main window opens it.

#include <functional>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "res/about_dialog_template.h"
#include "ui/about_window.h"
#include "ui/dialog_builder.h"
#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

// Stands in for the desktop's browser: QDesktopServices hands it every file address.
class UrlRecorder final : public QObject {
  Q_OBJECT

 public:
  UrlRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
  ~UrlRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.append(url); }
};

using AboutBox = DialogTest;

TEST_F(AboutBox, ShowsTheProgramItsVersionAndTheGuidesAddress) {
  AboutWindow box(Window(), nullptr);
  EXPECT_EQ(box.windowTitle(), QStringLiteral("About Ticktavo"));
  // The template's text is replaced when the box opens.
  EXPECT_EQ(box.VersionStatic()->text(), QStringLiteral("Ticktavo version 1.4"));
  EXPECT_FALSE(box.AuthorStatic()->text().isEmpty());
  EXPECT_EQ(box.OkButton()->text(), QStringLiteral("OK"));
  EXPECT_TRUE(box.OkButton()->isDefault());
  const auto texts = box.findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QLabel* label) {
    return label->text() == QStringLiteral("For updates and news visit");
  }));
  // The application icon at its 32-pixel size, drawn (not a blank square).
  ASSERT_NE(box.IconStatic(), nullptr);
  const QImage icon = box.IconStatic()->pixmap().toImage();
  EXPECT_EQ(icon.size(), QSize(32, 32));
  int opaque = 0;
  for (int y = 0; y < icon.height(); ++y) {
    for (int x = 0; x < icon.width(); ++x) opaque += qAlpha(icon.pixel(x, y)) == 255 ? 1 : 0;
  }
  EXPECT_GT(opaque, 32 * 32 / 4);
  EXPECT_FALSE(box.windowIcon().isNull());

  // The link is the program's own guide, a page on this machine that the build wrote.
  const QUrl url = AboutWindow::ProductPageUrl();
  EXPECT_TRUE(url.isLocalFile());
  EXPECT_EQ(box.LinkStatic()->text(), url.toString());
  QFile guide(url.toLocalFile());
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly)) << url.toString().toStdString();
  const QByteArray page = guide.readAll();
  EXPECT_TRUE(page.startsWith("<!DOCTYPE html>"));
  EXPECT_TRUE(page.contains("<h1 id=\"ticktavo\">Ticktavo</h1>"));
}

TEST_F(AboutBox, EveryTextFitsItsLine) {
  AboutWindow box(Window(), nullptr);
  for (QLabel* label : box.findChildren<QLabel*>()) {
    if (label == box.IconStatic()) continue;
    EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
    EXPECT_TRUE(box.rect().contains(label->geometry())) << label->text().toStdString();
  }
  EXPECT_TRUE(box.rect().contains(box.OkButton()->geometry()));
}

TEST_F(AboutBox, LinkIsBlueWithTheNormalPointer) {
  AboutWindow box(Window(), nullptr);
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  QLabel* link = box.LinkStatic();
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  // Drawn blue: the text's strongest pixels are pure blue on the box's own background.
  const QImage image = link->grab().toImage();
  const QColor background = box.palette().color(QPalette::Window);
  int blue = 0;
  int other = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (pixel == background) continue;
      if (pixel.red() == pixel.green() && pixel.blue() > pixel.red()) {
        ++blue;  // blue blended with the grey background
      } else {
        ++other;
      }
    }
  }
  EXPECT_GT(blue, 20);
  EXPECT_EQ(other, 0);
  // The version line keeps the ordinary text colour.
  EXPECT_NE(box.VersionStatic()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  // No hand pointer, no text-browser behaviour: a plain static.
  EXPECT_EQ(link->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(link->textFormat(), Qt::PlainText);
}

TEST_F(AboutBox, ClickingTheLinkOpensTheGuideAndKeepsTheBoxOpen) {
  UrlRecorder browser;
  AboutWindow box(Window(), nullptr);
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));

  // Any other text does nothing.
  QTest::mouseClick(box.VersionStatic(), Qt::LeftButton);
  QTest::mouseClick(box.AuthorStatic(), Qt::LeftButton);
  EXPECT_TRUE(browser.opened.isEmpty());
  // A right click on the link is not a click on it.
  QTest::mouseClick(box.LinkStatic(), Qt::RightButton);
  EXPECT_TRUE(browser.opened.isEmpty());

  QTest::mouseClick(box.LinkStatic(), Qt::LeftButton);
  ASSERT_EQ(browser.opened.size(), 1);
  EXPECT_EQ(browser.opened.front(), AboutWindow::ProductPageUrl());
  EXPECT_TRUE(box.isVisible());
}

// Runs the box modally and does `act` from inside its event loop. Returns the box's result,
// or -1 when the box had to be closed for the test because `act` did not close it.
int RunAndAct(WindowHost& host, const std::function<void(AboutWindow&)>& act) {
  AboutWindow box(host, nullptr);
  bool forced = false;
  QTimer::singleShot(0, &box, [&] {
    if (!QTest::qWaitForWindowExposed(&box)) return;
    act(box);
  });
  QTimer::singleShot(5000, &box, [&] {
    if (box.isVisible()) {
      forced = true;
      box.done(QDialog::Rejected);
    }
  });
  const int result = box.exec();
  return forced ? -1 : result;
}

struct CloseCase {
  const char* name;
  std::function<void(AboutWindow&)> act;
  int result;
};

TEST_F(AboutBox, OkEnterEscapeAndTheCloseBoxCloseIt) {
  const std::vector<CloseCase> cases = {
      {"OK", [](AboutWindow& box) { QTest::mouseClick(box.OkButton(), Qt::LeftButton); },
       QDialog::Accepted},
      {"Enter", [](AboutWindow& box) { QTest::keyClick(&box, Qt::Key_Return); }, QDialog::Accepted},
      {"Escape", [](AboutWindow& box) { QTest::keyClick(&box, Qt::Key_Escape); },
       QDialog::Rejected},
      {"close box", [](AboutWindow& box) { box.close(); }, QDialog::Rejected},
  };
  for (const CloseCase& c : cases) {
    EXPECT_EQ(RunAndAct(Window(), c.act), c.result) << c.name;
  }
}

// --- Opening it from the main window ---

// What the watch saw of an About box that opened.
struct SeenAbout {
  int opened = 0;
  QWidget* owner = nullptr;
  bool ownerBlocked = false;  // the main window took no input while the box was open
  std::size_t notesWhenClosed = 0;
};

// Watches for About boxes opening and closes each once `until` holds (at once by default, at
// the latest after 10 s). Runs from the event loop, so start it before the call that opens
// the box. Stop it by destroying it.
class AboutWatch final : public QObject {
 public:
  AboutWatch(
      SeenAbout& seen, QWidget* mainWindow, std::function<bool()> until = [] { return true; })
      : m_seen(seen), m_mainWindow(mainWindow), m_until(std::move(until)) {
    connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
    m_timer.start(5);
  }

  std::function<std::size_t()> countNotes = [] { return std::size_t{0}; };

 private:
  void Poll() {
    auto* box = qobject_cast<AboutWindow*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
      m_current = nullptr;
      return;
    }
    if (box != m_current) {
      m_current = box;
      ++m_seen.opened;
      m_seen.owner = box->parentWidget();
      m_seen.ownerBlocked =
          m_mainWindow != nullptr && QApplication::activeModalWidget() == box && box->isModal();
      m_opened.start();
    }
    if (m_until() || m_opened.elapsed() > 10000) {
      m_seen.notesWhenClosed = countNotes();
      box->reject();
      m_current = nullptr;
    }
  }

  SeenAbout& m_seen;
  QWidget* m_mainWindow;
  std::function<bool()> m_until;
  QTimer m_timer;
  QPointer<AboutWindow> m_current;
  QElapsedTimer m_opened;
};

using AboutFromWindowTest = DialogTest;

TEST_F(AboutFromWindowTest, WindowCommandsSixteenToThirtyOneOpenTheBox) {
  // The command is matched with its low four bits masked off.
  const std::vector<std::pair<unsigned, int>> cases = {{16, 1}, {17, 1}, {24, 1}, {31, 1},
                                                       {0, 0},  {15, 0}, {32, 0}, {0xF060, 0}};
  for (const auto& [id, opens] : cases) {
    SeenAbout seen;
    AboutWatch watch(seen, &Window());
    Dialog().OnSysCommand(id);
    EXPECT_EQ(seen.opened, opens) << id;
    if (opens != 0) {
      EXPECT_EQ(seen.owner, &Window()) << id;
      EXPECT_TRUE(seen.ownerBlocked) << id;
    }
  }
  // Nothing of the window changed.
  EXPECT_FALSE(Get<QPushButton>(kIdSavePreset)->isEnabled());
}

TEST_F(AboutFromWindowTest, F1OpensTheBoxFromAnyControl) {
  SeenAbout seen;
  AboutWatch watch(seen, &Window());
  // The key works from whatever control has the focus. (A window manager gives the window
  // the activation back when a box closes; offscreen the test does.)
  const std::vector<QWidget*> controls = {Get<QLineEdit>(kIdTempoEdit),
                                          Get<QComboBox>(kIdPresetCombo)->lineEdit(),
                                          Get<QPushButton>(kIdPlay)};
  for (QWidget* control : controls) {
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    control->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(control, Qt::Key_F1);
  }
  EXPECT_EQ(seen.opened, 3);
  EXPECT_FALSE(Dialog().IsPlaying());
}

// Right-clicks at a point of the window and picks the first item of the menu that opens.
// Returns that item's text, or an empty text when no menu of the window opened.
QString RightClickAndPickFirst(QWidget* widget, QPoint at) {
  QString picked;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) return;
    timer.stop();
    if (!menu->actions().isEmpty()) picked = menu->actions().front()->text();
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  timer.start(5);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
  QApplication::sendEvent(widget, &event);
  return picked;
}

TEST_F(AboutFromWindowTest, RightClickOnTheBackgroundOffersTheAboutItem) {
  SeenAbout seen;
  AboutWatch watch(seen, &Window());
  // The window's own background (left of the Voices heading), and a static text on it.
  const QPoint background(2, Window().Control(kIdVoicesHeading)->y());
  EXPECT_EQ(RightClickAndPickFirst(&Window(), background), QStringLiteral("&About Ticktavo..."));
  EXPECT_EQ(seen.opened, 1);
  EXPECT_EQ(RightClickAndPickFirst(Window().Control(kIdTempoLabel), QPoint(2, 2)),
            QStringLiteral("&About Ticktavo..."));
  EXPECT_EQ(seen.opened, 2);
}

TEST_F(AboutFromWindowTest, PlayingGoesOnWhileTheBoxIsOpen) {
  // At 1000 beats per minute a beat is 60 ms; while the box is open the timing thread's calls
  // to the window must still be served, or no further beat would be queued and sounded.
  Type(Get<QLineEdit>(kIdTempoEdit), QStringLiteral("\b\b\b1000"));
  Get<QLineEdit>(kIdTempoEdit)->setText(QStringLiteral("1000"));
  Dialog().OnAcceleratorCommand(kIdPlay);
  ASSERT_TRUE(WaitForNotes(2));
  std::size_t atOpen = 0;
  SeenAbout seen;
  AboutWatch watch(seen, &Window(), [&] { return m_midi.Sent().size() >= atOpen + 5; });
  watch.countNotes = [&] { return m_midi.Sent().size(); };
  atOpen = m_midi.Sent().size();
  Dialog().OnSysCommand(16);
  EXPECT_EQ(seen.opened, 1);
  EXPECT_GE(seen.notesWhenClosed, atOpen + 5);
  EXPECT_TRUE(Dialog().IsPlaying());
  Dialog().OnAcceleratorCommand(kIdPlay);
}

}  // namespace
}  // namespace ticktavo::testing

#include "about_test.moc"
