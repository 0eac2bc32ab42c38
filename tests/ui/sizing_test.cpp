// The real window folding as it is resized: the limits Qt gets (inside sizes, the frame taken
// off), the controls hidden and moved, and the bottom band painted at once. The arithmetic
// and the order of it all are the dialog's (tests/dialog/sizing_test.cpp).

#include <map>
#include <vector>

#include <QEvent>
#include <QTest>

#include "dialog/window_sizing.h"
#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

class FoldingTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Dialog().LayoutReady());
    m_full = Window().size();
    m_pitch = Window().Control(kIdVoiceVolume[1])->y() - Window().Control(kIdVoiceVolume[0])->y();
  }

  // Asks for a client size the way dragging the bottom edge does, and waits until the window
  // has it (or whatever its limits make of it).
  void ResizeTo(QSize size) {
    Window().resize(size);
    const QSize bounded = size.boundedTo(Window().maximumSize()).expandedTo(Window().minimumSize());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Window().size() == bounded; }, 5000))
        << "asked " << size.height() << ", have " << Window().height();
  }

  QSize m_full;
  int m_pitch = 0;
};

TEST_F(FoldingTest, HeightStaysBetween180AndFullAndWidthIsFixed) {
  // The limits are for the whole window, frame included; Qt's are for the inside.
  const QSize frame = Window().frameGeometry().size() - Window().size();
  ResizeTo(QSize(m_full.width() + 40, m_full.height() + 60));
  EXPECT_EQ(Window().size(), m_full);
  ResizeTo(QSize(m_full.width() - 40, 100));
  EXPECT_EQ(Window().frameGeometry().size(), QSize(m_full.width() + frame.width(), 180));
  EXPECT_EQ(Window().minimumSize(), QSize(m_full.width(), 180 - frame.height()));
  EXPECT_EQ(Window().maximumSize(), m_full);
}

TEST_F(FoldingTest, ResizingFoldsTheRowsAndKeepsTheBottomControlsAtTheBottom) {
  QWidget* tempo = Window().Control(kIdTempoEdit);
  const int fromBottom = m_full.height() - tempo->y();
  // Voice 9's row goes once the window is pitch − pitch / 2 − 5 pixels shorter (7 at 23).
  const int threshold = m_pitch - m_pitch / 2 - 5;
  ResizeTo(QSize(m_full.width(), m_full.height() - threshold + 1));
  EXPECT_TRUE(Window().Control(kIdVoiceVolume[8])->isVisible());
  ResizeTo(QSize(m_full.width(), m_full.height() - threshold));
  EXPECT_FALSE(Window().Control(kIdVoiceVolume[8])->isVisible());
  EXPECT_FALSE(Window().Control(kIdVoiceLabel[8])->isVisible());
  EXPECT_TRUE(Window().Control(kIdVoiceVolume[7])->isVisible());
  EXPECT_EQ(Window().height() - tempo->y(), fromBottom);
  ResizeTo(m_full);
  EXPECT_TRUE(Window().Control(kIdVoiceVolume[8])->isVisible());
  EXPECT_EQ(Window().height() - tempo->y(), fromBottom);
}

// Counts the paint events that reach the watched widgets.
struct PaintCounter : QObject {
  std::map<QObject*, int> paints;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints[watched];
    return false;
  }
};

TEST_F(FoldingTest, TheBottomBandIsRepaintedAtOnceAndNothingAboveIt) {
  ResizeTo(QSize(m_full.width(), m_full.height() - 2 * m_pitch));
  // Nothing left to paint from earlier changes.
  Window().repaint();
  PaintCounter counter;
  std::vector<QWidget*> anchors;
  for (int id : kAnchoredControlIds) anchors.push_back(Window().Control(id));
  // Far above the band: the Play button and voice 1's row.
  const std::vector<QWidget*> above = {Window().Control(kIdPlay),
                                       Window().Control(kIdVoiceInstrument[0]),
                                       Window().Control(kIdVoiceVolume[0])};
  for (QWidget* widget : anchors) widget->installEventFilter(&counter);
  for (QWidget* widget : above) widget->installEventFilter(&counter);

  // One size message at an unchanged height, handled without returning to the event loop:
  // the anchored controls are painted before it returns; no growth, so the band is only the
  // reserve and nothing above it is touched.
  Dialog().OnSize();
  for (QWidget* widget : anchors) {
    EXPECT_GE(counter.paints[widget], 1) << widget->objectName().toStdString();
  }
  for (QWidget* widget : above) {
    EXPECT_EQ(counter.paints[widget], 0) << widget->objectName().toStdString();
  }
  for (QWidget* widget : anchors) widget->removeEventFilter(&counter);
  for (QWidget* widget : above) widget->removeEventFilter(&counter);
}

}  // namespace
}  // namespace ticktavo::testing
