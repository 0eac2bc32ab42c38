// How the main window folds: the arithmetic on its own (row thresholds, limits, the repaint
// band), then the dialog shrunk and grown through its host.

#include <algorithm>
#include <vector>

#include "dialog/dialog_units.h"
#include "dialog_rig.h"
#include "res/resource_ids.h"

namespace ticktavo::testing {
namespace {

// --- The arithmetic ---

TEST(DialogUnits, ConvertWithTheFontsBaseUnitsRounded) {
  // With the base units of the classic 8-point dialog font (6 × 13 pixels): 186 units across
  // are 186 × 6 / 4 = 279 pixels, 268 down are 268 × 13 / 8 = 435.5 → 436.
  const DialogUnits units{6, 13};
  EXPECT_EQ(units.X(186), 279);
  EXPECT_EQ(units.Y(268), 436);
  EXPECT_EQ(units.ToPixels(7, 7, 79, 10), (Rect{11, 11, 119, 16}));  // 10.5 and 16.25 rounded
  EXPECT_EQ(units.X(-3), -5);                                        // −4.5 rounds away from zero
}

TEST(SizingArithmetic, RowsGoOnceMostOfThemIsCutOff) {
  // Pitch 23: hidden = (11 + shrink + 5) / 23, truncated toward zero. The k-th row from the
  // bottom goes at shrink = 23k − 16: 7 for voice 9, 30 for voice 8, 191 for voice 1 (k = 9),
  // 214 for the header row (k = 10), 237 for the help pair (k = 11).
  const std::pair<int, int> cases[] = {
      {0, 0},
      {6, 0},
      {7, 1},
      {29, 1},
      {30, 2},
      {190, 8},
      {191, 9},
      {213, 9},
      {214, 10},
      {237, 11},
      // Taller than the full height: (16 − 39) / 23 = −1 (toward zero, not −2), and −16 still 0.
      {-16, 0},
      {-17, 0},
      {-39, -1},
  };
  for (const auto& [shrink, hidden] : cases) {
    EXPECT_EQ(HiddenRows(23, 400, 400 - shrink), hidden) << "shrink " << shrink;
  }
  // No measurable rows (a degenerate layout) never divides by zero and hides nothing.
  EXPECT_EQ(HiddenRows(0, 400, 200), 0);
}

// Client 300 × 420, frame 10 × 30. Anchors with tops at 380, 390, 395, 390, 350, 352, 349:
// their distances from the bottom are 40, 30, 25, 30, 70, 68, 71, so the reserve is 72.
SizingLayout CapturedLayout() {
  const std::array<Rect, kAnchorCount> anchors = {Rect{5, 380, 290, 36},  Rect{150, 390, 40, 18},
                                                  Rect{200, 395, 40, 18}, Rect{10, 390, 130, 22},
                                                  Rect{50, 350, 170, 15}, Rect{10, 352, 40, 12},
                                                  Rect{230, 349, 35, 18}};
  SizingLayout layout;
  layout.Capture(Size{300, 420}, Size{10, 30}, anchors, 150, 173);
  return layout;
}

TEST(SizingArithmetic, CaptureMeasuresFromTheClientBottom) {
  SizingLayout layout = CapturedLayout();
  EXPECT_TRUE(layout.m_layoutReady);
  EXPECT_EQ(layout.m_bottomReserve, 72);
  EXPECT_EQ(layout.m_fullWidth, 310);
  EXPECT_EQ(layout.m_fullHeight, 450);
  EXPECT_EQ(layout.m_rowPitch, 23);
  // In a client area 100 pixels shorter every anchor keeps its distance to the bottom.
  EXPECT_EQ(layout.AnchorPlace(4, 320), (Rect{50, 250, 170, 15}));
  EXPECT_EQ(layout.AnchorPlace(0, 320), (Rect{5, 280, 290, 36}));

  const SizeLimits limits = layout.Limits();
  EXPECT_EQ(limits.minWidth, 310);
  EXPECT_EQ(limits.maxWidth, 310);
  EXPECT_EQ(limits.maximizedWidth, 310);
  EXPECT_EQ(limits.minHeight, 180);
  EXPECT_EQ(limits.maxHeight, 450);
  EXPECT_EQ(limits.maximizedHeight, 450);
  EXPECT_EQ(limits.frame, (Size{10, 30}));

  // A frame that appears later (X11 decorates a window once it is shown) grows the outer sizes
  // by its own size, so the client area and the thresholds stay where they were.
  layout.FrameChanged(Size{12, 40});
  EXPECT_EQ(layout.m_fullWidth, 312);
  EXPECT_EQ(layout.m_fullHeight, 460);
  EXPECT_EQ(layout.FoldAt(460 - 7), (FoldState{8, true, true}));
  EXPECT_EQ(layout.FoldAt(460 - 6), (FoldState{9, true, true}));
  // Rows, then the header row at 23 × 10 − 16 = 214, then the help pair at 237; a window
  // taller than its full height still shows nine rows, never ten.
  EXPECT_EQ(layout.FoldAt(460 - 213), (FoldState{0, true, true}));
  EXPECT_EQ(layout.FoldAt(460 - 214), (FoldState{-1, false, true}));
  EXPECT_EQ(layout.FoldAt(460 - 237), (FoldState{-2, false, false}));
  EXPECT_EQ(layout.FoldAt(460 + 100), (FoldState{9, true, true}));
}

TEST(SizingArithmetic, ARescaledLayoutFoldsAtTheRescaledThresholds) {
  // The layout above moved from 96 to 144 dots per inch (× 1.5): client 450 × 630, frame kept
  // at 10 × 30 (measured anew by FrameChanged), pitch 23 → 34.5 → 35 (halves away from zero).
  SizingLayout layout = CapturedLayout();
  layout.Rescale(144, 96);
  EXPECT_EQ(layout.m_fullWidth, 460);
  EXPECT_EQ(layout.m_fullHeight, 660);
  EXPECT_EQ(layout.m_rowPitch, 35);
  EXPECT_EQ(layout.m_bottomReserve, 108);
  EXPECT_EQ(layout.Limits().minHeight, 180);
  // Anchor 4 was 70 above the bottom, at x 50, 170 × 15: now 105 above, at 75, 255 × 23 (22.5).
  EXPECT_EQ(layout.AnchorPlace(4, 600), (Rect{75, 495, 255, 23}));
  // Voice 9 goes once the window is 35 − 17 − 5 = 13 pixels shorter.
  EXPECT_EQ(layout.FoldAt(660 - 12), (FoldState{9, true, true}));
  EXPECT_EQ(layout.FoldAt(660 - 13), (FoldState{8, true, true}));
  // And back: the same layout again, to the pixel.
  layout.Rescale(96, 144);
  EXPECT_EQ(layout.m_fullHeight, 450);
  EXPECT_EQ(layout.AnchorPlace(4, 320), (Rect{50, 250, 170, 15}));
}

TEST(SizingArithmetic, ATinyLayoutKeepsItsOwnHeightAsTheLeast) {
  SizingLayout layout;
  layout.Capture(Size{100, 150}, Size{0, 0}, {}, 10, 20);
  EXPECT_EQ(layout.Limits().minHeight, 150);
  EXPECT_EQ(layout.Limits().maxHeight, 150);
}

TEST(SizingArithmetic, RepaintBandGrowsUpByTheGrowth) {
  SizingLayout layout;
  layout.m_bottomReserve = 72;
  int previous = 0;
  // The first size change comes from 0: the band reaches to the top (clipped by the window).
  EXPECT_EQ(layout.RepaintBand(300, 420, previous), (Rect{0, 420 - 72 - 420, 300, 420 + 72}));
  EXPECT_EQ(previous, 420);
  // Shrinking to 380: only the band itself, 308..379.
  EXPECT_EQ(layout.RepaintBand(300, 380, previous), (Rect{0, 308, 300, 72}));
  // Growing by 30 to 410: from the old band's top (308) down to the new bottom (409).
  EXPECT_EQ(layout.RepaintBand(300, 410, previous), (Rect{0, 308, 300, 102}));
  EXPECT_EQ(previous, 410);
  // The same height again: no growth.
  EXPECT_EQ(layout.RepaintBand(300, 410, previous), (Rect{0, 338, 300, 72}));
}

// --- The dialog ---

class SizingTest : public DialogTest {
 protected:
  void SetUp() override {
    Open();
    // The settings captured the layout while the window was being created.
    ASSERT_TRUE(Dialog().LayoutReady());
    m_full = m_host.ClientSize();
    m_pitch = At(kIdVoiceVolume[1]).place.y - At(kIdVoiceVolume[0]).place.y;
    for (std::size_t k = 0; k < kAnchorCount; ++k) {
      m_templatePlace[k] = At(kAnchoredControlIds[k]).place;
    }
  }

  void ShrinkBy(int pixels) { m_host.ResizeClient(m_full.width, m_full.height - pixels); }

  // Voice rows 1..rows shown and the rest hidden, every control of a row alike.
  void ExpectFolded(int rows, bool header, bool help, int shrink) {
    SCOPED_TRACE(::testing::Message() << "shrink " << shrink);
    for (int voice = 0; voice < kVoiceCount; ++voice) {
      for (int id : {kIdVoiceLabel[voice], kIdVoiceInstrument[voice], kIdVoiceVolume[voice],
                     kIdVoiceBlinkSize[voice], kIdVoiceBlinker[voice]}) {
        EXPECT_EQ(At(id).visible, voice < rows) << "voice " << voice + 1 << " control " << id;
      }
    }
    for (int id : {kIdVolumeHeading, kIdVoicesHeading, kIdBlink}) {
      EXPECT_EQ(At(id).visible, header) << id;
    }
    for (int id : {kIdHelpText, kIdHelpFrame}) EXPECT_EQ(At(id).visible, help) << id;
    // The anchored controls keep their distance from the bottom.
    const int height = m_host.ClientSize().height;
    for (std::size_t k = 0; k < kAnchorCount; ++k) {
      const Rect place = At(kAnchoredControlIds[k]).place;
      EXPECT_EQ(height - place.y, m_full.height - m_templatePlace[k].y) << kAnchoredControlIds[k];
      EXPECT_EQ(place.x, m_templatePlace[k].x);
      EXPECT_EQ(place.width, m_templatePlace[k].width);
    }
  }

  Size m_full;
  int m_pitch = 0;
  std::array<Rect, kAnchorCount> m_templatePlace;
};

TEST_F(SizingTest, ShrinkingFoldsRowByRowThenHeaderThenHelpAndGrowingRestores) {
  ASSERT_EQ(m_pitch, 23);  // 14 units at 13 pixels per 8 units
  ExpectFolded(9, true, true, 0);
  // The k-th row from the bottom goes once the window is k × pitch − pitch / 2 − 5 pixels
  // shorter; k = 10 is the header row, k = 11 the help pair.
  for (int k = 1; k <= 11; ++k) {
    const int threshold = k * m_pitch - m_pitch / 2 - 5;
    ShrinkBy(threshold - 1);
    ExpectFolded(std::min(9, 10 - k), k <= 10, k <= 11, threshold - 1);
    ShrinkBy(threshold);
    ExpectFolded(9 - k, k < 10, k < 11, threshold);
    if (HasFailure()) return;  // one broken step says it all
  }
  ShrinkBy(3 * m_pitch);  // voices 7, 8 and 9 still folded
  ExpectFolded(6, true, true, 3 * m_pitch);
  m_host.ResizeClient(m_full.width, m_full.height);
  ExpectFolded(9, true, true, 0);
  for (std::size_t k = 0; k < kAnchorCount; ++k) {
    EXPECT_EQ(At(kAnchoredControlIds[k]).place, m_templatePlace[k]);
  }
}

TEST_F(SizingTest, HeightStaysBetween180AndFullAndWidthIsFixed) {
  ASSERT_TRUE(m_host.limits.has_value());
  const SizeLimits& limits = *m_host.limits;
  EXPECT_EQ(limits.minWidth, m_full.width + 10);
  EXPECT_EQ(limits.maxWidth, m_full.width + 10);
  EXPECT_EQ(limits.minHeight, 180);
  EXPECT_EQ(limits.maxHeight, m_full.height + 30);
  EXPECT_EQ(limits.maximizedHeight, m_full.height + 30);
  EXPECT_EQ(limits.frame, (Size{10, 30}));
  // A frame that the window manager changes later moves the limits with it.
  m_host.place.right += 2;
  m_host.frame = Size{12, 30};
  Dialog().OnFrameChanged();
  EXPECT_EQ(m_host.limits->maxWidth, m_full.width + 12);
}

TEST_F(SizingTest, GrowingRepaintsFromTheOldBandDownToTheNewBottom) {
  const int reserve = Dialog().Layout().m_bottomReserve;
  // The largest anchored distance from the bottom is the Tempo row's: the reserve covers it.
  int largest = 0;
  for (const Rect& place : m_templatePlace) largest = std::max(largest, m_full.height - place.y);
  EXPECT_EQ(reserve, largest + 1);
  // The previous height is the program's, left by whatever window was sized last.
  const int before = MetronomeDialog::PreviousClientHeight();
  ShrinkBy(100);
  const int shrunk = m_full.height - 100;
  EXPECT_EQ(MetronomeDialog::PreviousClientHeight(), shrunk);
  const int growth = std::max(0, shrunk - before);
  EXPECT_EQ(m_host.repainted.back(),
            (Rect{0, shrunk - reserve - growth, m_full.width, reserve + growth}));
  ShrinkBy(60);  // 40 pixels of growth
  EXPECT_EQ(m_host.repainted.back(), (Rect{0, shrunk - reserve, m_full.width, reserve + 40}));
}

TEST_F(SizingTest, OneJumpHidesInTheStatedOrder) {
  // From full height to the least one: every row goes, voice 1's first, each row's controls
  // left to right, then the header row, then the help text and its frame.
  m_controls.hidden.clear();
  m_host.ResizeClient(m_full.width, 180 - 30);
  std::vector<int> expected;
  for (int voice = 0; voice < kVoiceCount; ++voice) {
    for (int id : {kIdVoiceLabel[voice], kIdVoiceInstrument[voice], kIdVoiceVolume[voice],
                   kIdVoiceBlinkSize[voice], kIdVoiceBlinker[voice]}) {
      expected.push_back(id);
    }
  }
  for (int id : {kIdVolumeHeading, kIdVoicesHeading, kIdBlink, kIdHelpText, kIdHelpFrame}) {
    expected.push_back(id);
  }
  EXPECT_EQ(m_controls.hidden, expected);
}

using SizingBeforeCapture = DialogTest;

TEST_F(SizingBeforeCapture, TheWindowSizesFreely) {
  Build();
  Dialog().OnSize();
  Dialog().OnFrameChanged();
  EXPECT_FALSE(m_host.limits.has_value());
  EXPECT_TRUE(m_host.repainted.empty());
  EXPECT_TRUE(m_controls.hidden.empty());
}

}  // namespace
}  // namespace ticktavo::testing
