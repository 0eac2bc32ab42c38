// The blinker's frames as drawn, and what SetFrame, FadeStep and SetSizeSet send to the
// control.

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include "ui/blinker_static.h"

namespace ticktavo::testing {
namespace {

// Pixels on the middle row that are more than half covered by red.
int RedRunOnMiddleRow(const QImage& image) {
  int run = 0;
  const int y = image.height() / 2;
  for (int x = 0; x < image.width(); ++x) {
    const QColor c = image.pixelColor(x, y);
    if (c.alpha() >= 128 && c.green() == 0 && c.blue() == 0) ++run;
  }
  return run;
}

TEST(BlinkerIcons, FrameZeroIsTransparentAndDiscsGrowByTwoOrFourPixels) {
  for (int set = 0; set < 2; ++set) {
    const int size = 16 * (set + 1);
    for (int frame = 0; frame <= 8; ++frame) {
      SCOPED_TRACE(::testing::Message() << "set " << set << " frame " << frame);
      const QImage image = BlinkerStatic::Icon(set, frame).toImage();
      ASSERT_EQ(image.size(), QSize(size, size));
      // Diameter 2f in the 16-pixel set, 4f in the 32-pixel set.
      EXPECT_EQ(RedRunOnMiddleRow(image), frame * 2 * (set + 1));
      if (frame == 0) {
        for (int y = 0; y < size; ++y) {
          for (int x = 0; x < size; ++x) ASSERT_EQ(image.pixelColor(x, y).alpha(), 0);
        }
      } else {
        // Pure red in the middle; the corners stay clear even at frame 8, which fills the
        // square edge to edge.
        EXPECT_EQ(image.pixelColor(size / 2, size / 2), QColor(255, 0, 0));
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
      }
    }
  }
}

TEST(BlinkerStaticFrames, UnchangedFramesSendNothing) {
  BlinkerStatic blinker;
  EXPECT_EQ(blinker.Frame(), 0);
  blinker.FadeStep();  // stays at 0
  blinker.SetFrame(0);
  EXPECT_EQ(blinker.PictureChanges(), 0);

  blinker.SetFrame(3);
  blinker.SetFrame(3);
  EXPECT_EQ(blinker.PictureChanges(), 1);
  blinker.FadeStep();
  blinker.FadeStep();
  blinker.FadeStep();
  blinker.FadeStep();
  EXPECT_EQ(blinker.Frame(), 0);
  EXPECT_EQ(blinker.PictureChanges(), 4);  // 3→2→1→0, then nothing
}

TEST(BlinkerStaticFrames, SizeSetTakesEffectAtTheNextFrame) {
  BlinkerStatic blinker;
  blinker.SetFrame(8);
  ASSERT_EQ(blinker.pixmap().size(), QSize(16, 16));
  blinker.SetSizeSet(1);
  EXPECT_EQ(blinker.pixmap().size(), QSize(16, 16));
  EXPECT_EQ(blinker.PictureChanges(), 1);
  blinker.SetFrame(7);
  EXPECT_EQ(blinker.pixmap().size(), QSize(32, 32));
}

TEST(BlinkerStaticFrames, FramesOutsideTheTableAreClamped) {
  BlinkerStatic blinker;
  blinker.SetFrame(42);
  EXPECT_EQ(blinker.Frame(), 8);
  blinker.SetFrame(-3);
  EXPECT_EQ(blinker.Frame(), 0);
}

}  // namespace
}  // namespace ticktavo::testing
