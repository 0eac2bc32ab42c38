// The About box: what it shows, its link to the installed user guide, how it closes, and the
// ways the main window opens it.

#include <functional>

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "res/about_dialog_template.h"
#include "ui/about_dialog.h"
#include "ui/dialog_builder.h"

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

TEST(AboutBox, ShowsTheProgramItsVersionAndTheGuidesAddress) {
  AboutDialog box;
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
  const QUrl url = AboutDialog::ProductPageUrl();
  EXPECT_TRUE(url.isLocalFile());
  EXPECT_EQ(box.LinkStatic()->text(), url.toString());
  QFile guide(url.toLocalFile());
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly)) << url.toString().toStdString();
  const QByteArray page = guide.readAll();
  EXPECT_TRUE(page.startsWith("<!DOCTYPE html>"));
  EXPECT_TRUE(page.contains("<h1>Ticktavo</h1>"));
}

TEST(AboutBox, EveryTextFitsItsLine) {
  AboutDialog box;
  for (QLabel* label : box.findChildren<QLabel*>()) {
    if (label == box.IconStatic()) continue;
    EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
    EXPECT_TRUE(box.rect().contains(label->geometry())) << label->text().toStdString();
  }
  EXPECT_TRUE(box.rect().contains(box.OkButton()->geometry()));
}

TEST(AboutBox, LinkIsBlueWithTheNormalPointer) {
  AboutDialog box;
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

TEST(AboutBox, ClickingTheLinkOpensTheGuideAndKeepsTheBoxOpen) {
  UrlRecorder browser;
  AboutDialog box;
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
  EXPECT_EQ(browser.opened.front(), AboutDialog::ProductPageUrl());
  EXPECT_TRUE(box.isVisible());
}

// Runs the box modally and does `act` from inside its event loop. Returns the box's result,
// or -1 when the box had to be closed for the test because `act` did not close it.
int RunAndAct(const std::function<void(AboutDialog&)>& act) {
  AboutDialog box;
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
  const int result = box.DoModal();
  return forced ? -1 : result;
}

struct CloseCase {
  const char* name;
  std::function<void(AboutDialog&)> act;
  int result;
};

TEST(AboutBox, OkEnterEscapeAndTheCloseBoxCloseIt) {
  const std::vector<CloseCase> cases = {
      {"OK", [](AboutDialog& box) { QTest::mouseClick(box.OkButton(), Qt::LeftButton); },
       QDialog::Accepted},
      {"Enter", [](AboutDialog& box) { QTest::keyClick(&box, Qt::Key_Return); }, QDialog::Accepted},
      {"Escape", [](AboutDialog& box) { QTest::keyClick(&box, Qt::Key_Escape); },
       QDialog::Rejected},
      {"close box", [](AboutDialog& box) { box.close(); }, QDialog::Rejected},
  };
  for (const CloseCase& c : cases) {
    EXPECT_EQ(RunAndAct(c.act), c.result) << c.name;
  }
}

TEST(AboutCommand, CommandsSixteenToThirtyOneMeanAbout) {
  // The low four bits are masked off: 16..31 match, 15 and 32 do not.
  for (unsigned id = 0; id < 64; ++id) {
    EXPECT_EQ(IsAboutCommand(id), id >= 16 && id <= 31) << id;
  }
  EXPECT_FALSE(IsAboutCommand(0xF060));  // the platform's own Close command
}

}  // namespace
}  // namespace ticktavo::testing

#include "about_test.moc"
