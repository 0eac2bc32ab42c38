// How the main window folds: the arithmetic on its own (row thresholds, limits, the repaint
// band), then the real window shrunk and grown by real resize events.

#include <map>
#include <vector>

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QSlider>
#include <QTest>

#include "res/dialog_template.h"
#include "res/resource_ids.h"
#include "ui/blinker_static.h"
#include "ui/dialog_builder.h"
#include "ui/window_sizing.h"
#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

// --- The arithmetic ---

struct RowCase {
  int shrink;  // full height minus outer height, pixels
  int hidden;
};

TEST(SizingArithmetic, RowsGoOnceMostOfThemIsCutOff) {
  // Pitch 23: hidden = (11 + shrink + 5) / 23, truncated toward zero. The k-th row from the
  // bottom goes at shrink = 23k − 16: 7 for voice 9, 30 for voice 8, 191 for voice 1 (k = 9),
  // 214 for the header row (k = 10), 237 for the help pair (k = 11).
  const std::vector<RowCase> cases = {
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
  for (const RowCase& c : cases) {
    EXPECT_EQ(HiddenRows(23, 400, 400 - c.shrink), c.hidden) << "shrink " << c.shrink;
  }
  // No measurable rows (a degenerate layout) never divides by zero and hides nothing.
  EXPECT_EQ(HiddenRows(0, 400, 200), 0);
}

TEST(SizingArithmetic, CaptureMeasuresFromTheClientBottom) {
  // Client 300 × 420, frame 10 × 30. Anchors with tops at 380, 390, 395, 390, 350, 352, 349:
  // their distances from the bottom are 40, 30, 25, 30, 70, 68, 71, so the reserve is 72.
  const std::array<QRect, kAnchorCount> anchors = {QRect(5, 380, 290, 36),  QRect(150, 390, 40, 18),
                                                   QRect(200, 395, 40, 18), QRect(10, 390, 130, 22),
                                                   QRect(50, 350, 170, 15), QRect(10, 352, 40, 12),
                                                   QRect(230, 349, 35, 18)};
  SizingLayout layout;
  layout.Capture(QSize(300, 420), QSize(10, 30), anchors, 150, 173);
  EXPECT_TRUE(layout.m_layoutReady);
  EXPECT_EQ(layout.m_bottomReserve, 72);
  EXPECT_EQ(layout.m_fullWidth, 310);
  EXPECT_EQ(layout.m_fullHeight, 450);
  EXPECT_EQ(layout.m_minHeight, 180);
  EXPECT_EQ(layout.m_rowPitch, 23);
  EXPECT_EQ(layout.m_anchorBottom[4], 70);
  EXPECT_EQ(layout.m_anchorLeft[4], 50);

  // In a client area 100 pixels shorter every anchor keeps its distance to the bottom.
  EXPECT_EQ(layout.AnchorPlace(4, 320), QRect(50, 250, 170, 15));
  EXPECT_EQ(layout.AnchorPlace(0, 320), QRect(5, 280, 290, 36));

  const SizeLimits limits = layout.Limits();
  EXPECT_EQ(limits.minWidth, 310);
  EXPECT_EQ(limits.maxWidth, 310);
  EXPECT_EQ(limits.maximizedWidth, 310);
  EXPECT_EQ(limits.minHeight, 180);
  EXPECT_EQ(limits.maxHeight, 450);
  EXPECT_EQ(limits.maximizedHeight, 450);

  // A frame that appears later (X11 decorates a window once it is shown) grows the outer sizes
  // by its own size, so the client area and the thresholds stay where they were.
  layout.FrameChanged(QSize(12, 40));
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

TEST(SizingArithmetic, ATinyLayoutKeepsItsOwnHeightAsTheLeast) {
  SizingLayout layout;
  layout.Capture(QSize(100, 150), QSize(0, 0), {}, 10, 20);
  EXPECT_EQ(layout.Limits().minHeight, 150);
  EXPECT_EQ(layout.Limits().maxHeight, 150);
}

TEST(SizingArithmetic, RepaintBandGrowsUpByTheGrowth) {
  SizingLayout layout;
  layout.m_bottomReserve = 72;
  int previous = 0;
  // The first size change comes from 0: the band reaches to the top (clipped by the window).
  EXPECT_EQ(layout.RepaintBand(300, 420, previous), QRect(0, 420 - 72 - 420, 300, 420 + 72));
  EXPECT_EQ(previous, 420);
  // Shrinking to 380: only the band itself, 308..379.
  EXPECT_EQ(layout.RepaintBand(300, 380, previous), QRect(0, 308, 300, 72));
  // Growing by 30 to 410: from the old band's top (308) down to the new bottom (409).
  EXPECT_EQ(layout.RepaintBand(300, 410, previous), QRect(0, 308, 300, 102));
  EXPECT_EQ(previous, 410);
  // The same height again: no growth.
  EXPECT_EQ(layout.RepaintBand(300, 410, previous), QRect(0, 338, 300, 72));
}

// --- The real window ---

// The five controls of voice row n in show/hide order, then the header and help controls.
std::array<QWidget*, 5> RowOf(const MetronomeDialog& dialog, int voice) {
  return {dialog.VoiceLabel(voice), dialog.InstrumentCombo(voice), dialog.VolumeSlider(voice),
          dialog.BlinkSizeSlider(voice), dialog.VoiceBlinker(voice)};
}
std::array<QWidget*, 3> HeaderOf(const MetronomeDialog& dialog) {
  return {dialog.Control(kIdVolumeHeading), dialog.Control(kIdVoicesHeading),
          dialog.Control(kIdBlink)};
}
std::array<QWidget*, 2> HelpOf(const MetronomeDialog& dialog) {
  return {dialog.Control(kIdHelpText), dialog.Control(kIdHelpFrame)};
}

class SizingTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    if (HasFatalFailure()) return;
    // The settings layer captured the layout while the window was being created.
    ASSERT_TRUE(m_dialog->LayoutReady());
    m_sizer = &m_dialog->Sizer();
    m_full = m_dialog->size();
    m_pitch = m_dialog->VolumeSlider(1)->y() - m_dialog->VolumeSlider(0)->y();
    for (std::size_t k = 0; k < kAnchorCount; ++k) {
      QWidget* anchor = m_dialog->Control(kAnchoredControlIds[k]);
      m_templatePlace[k] = anchor->geometry();
      m_bottomDistance[k] = m_full.height() - anchor->y();
    }
  }

  // Asks for a client height the way dragging the bottom edge does, and waits until the window
  // has it (or whatever its limits make of it).
  void ResizeTo(QSize size) {
    m_dialog->resize(size);
    const QSize bounded =
        size.boundedTo(m_dialog->maximumSize()).expandedTo(m_dialog->minimumSize());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_dialog->size() == bounded; }, 5000))
        << "asked " << size.height() << ", have " << m_dialog->height();
  }
  void ShrinkBy(int pixels) { ResizeTo(QSize(m_full.width(), m_full.height() - pixels)); }

  // Voice rows 1..rows shown and the rest hidden, every control of a row alike.
  void ExpectFolded(int rows, bool header, bool help, int shrink) {
    for (int voice = 0; voice < kVoiceCount; ++voice) {
      for (QWidget* control : RowOf(*m_dialog, voice)) {
        EXPECT_EQ(control->isVisible(), voice < rows)
            << "voice " << voice + 1 << " " << control->objectName().toStdString() << " at shrink "
            << shrink;
      }
    }
    for (QWidget* control : HeaderOf(*m_dialog)) {
      EXPECT_EQ(control->isVisible(), header)
          << control->objectName().toStdString() << " at shrink " << shrink;
    }
    for (QWidget* control : HelpOf(*m_dialog)) {
      EXPECT_EQ(control->isVisible(), help)
          << control->objectName().toStdString() << " at shrink " << shrink;
    }
  }
  void ExpectAnchorsAtTheBottom() {
    for (std::size_t k = 0; k < kAnchorCount; ++k) {
      const QWidget* anchor = m_dialog->Control(kAnchoredControlIds[k]);
      EXPECT_EQ(m_dialog->height() - anchor->y(), m_bottomDistance[k]) << kAnchoredControlIds[k];
      EXPECT_EQ(anchor->x(), m_templatePlace[k].x()) << kAnchoredControlIds[k];
      EXPECT_EQ(anchor->size(), m_templatePlace[k].size()) << kAnchoredControlIds[k];
    }
  }

  const WindowSizer* m_sizer = nullptr;
  QSize m_full;
  int m_pitch = 0;
  std::array<QRect, kAnchorCount> m_templatePlace;
  std::array<int, kAnchorCount> m_bottomDistance{};
};

TEST_F(SizingTest, AtFullHeightEverythingShowsAtItsTemplatePlace) {
  ExpectFolded(9, true, true, 0);
  // The anchored controls where the template puts them (the combo's closed height aside).
  const DialogUnits units = DialogUnitsFor(MainDialogTemplate(), m_dialog->font());
  for (std::size_t k = 0; k < kAnchorCount; ++k) {
    const ControlTemplate* control = MainDialogTemplate().Find(kAnchoredControlIds[k]);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(m_templatePlace[k].topLeft(), QPoint(units.X(control->x), units.Y(control->y)))
        << control->id;
  }
  EXPECT_EQ(m_pitch, units.Y(97 + 14 + 1) - units.Y(97 + 1));
  ASSERT_GT(m_pitch, 10);  // the thresholds below need room between them
}

TEST_F(SizingTest, ShrinkingFoldsRowByRowThenHeaderThenHelp) {
  // The k-th row from the bottom goes once the window is k × pitch − pitch / 2 − 5 pixels
  // shorter; k = 10 is the header row, k = 11 the help pair.
  for (int k = 1; k <= 11; ++k) {
    const int threshold = k * m_pitch - m_pitch / 2 - 5;
    ASSERT_GE(m_full.height() - threshold, m_dialog->minimumHeight()) << "k " << k;
    ShrinkBy(threshold - 1);
    ExpectFolded(std::min(9, 10 - k), k <= 10, k <= 11, threshold - 1);
    ExpectAnchorsAtTheBottom();
    ShrinkBy(threshold);
    ExpectFolded(9 - k, k < 10, k < 11, threshold);
    ExpectAnchorsAtTheBottom();
    if (HasFailure()) return;  // one broken step says it all
  }
}

TEST_F(SizingTest, GrowingBackRestoresEverything) {
  // All the way down: the help pair went at 11 × pitch − pitch / 2 − 5.
  ShrinkBy(m_full.height() - m_dialog->minimumHeight());
  ASSERT_GE(m_full.height() - m_dialog->height(), 11 * m_pitch - m_pitch / 2 - 5);
  ExpectFolded(0, false, false, m_full.height() - m_dialog->height());
  ShrinkBy(3 * m_pitch);  // voices 7, 8 and 9 still folded
  ExpectFolded(6, true, true, 3 * m_pitch);
  ExpectAnchorsAtTheBottom();
  ResizeTo(m_full);
  ExpectFolded(9, true, true, 0);
  for (std::size_t k = 0; k < kAnchorCount; ++k) {
    EXPECT_EQ(m_dialog->Control(kAnchoredControlIds[k])->geometry(), m_templatePlace[k]);
  }
}

TEST_F(SizingTest, HeightStaysBetween180AndFullAndWidthIsFixed) {
  // The limits are for the whole window, frame included; Qt's are for the inside.
  const QSize frame = m_dialog->frameGeometry().size() - m_dialog->size();
  ResizeTo(QSize(m_full.width() + 40, m_full.height() + 60));
  EXPECT_EQ(m_dialog->size(), m_full);
  ResizeTo(QSize(m_full.width() - 40, 100));
  EXPECT_EQ(m_dialog->frameGeometry().size(), QSize(m_full.width() + frame.width(), 180));
  EXPECT_EQ(m_dialog->minimumSize(), QSize(m_full.width(), 180 - frame.height()));
  EXPECT_EQ(m_dialog->maximumSize(), m_full);
}

TEST_F(SizingTest, GrowingRepaintsFromTheOldBandDownToTheNewBottom) {
  const int reserve = m_sizer->Layout().m_bottomReserve;
  // The largest anchored distance from the bottom is the Tempo row's: the reserve covers it.
  EXPECT_EQ(reserve, *std::max_element(m_bottomDistance.begin(), m_bottomDistance.end()) + 1);
  // The previous height is the program's, left by whatever window was sized last.
  const int before = WindowSizer::PreviousClientHeight();
  ShrinkBy(100);
  const int shrunk = m_full.height() - 100;
  EXPECT_EQ(WindowSizer::PreviousClientHeight(), shrunk);
  const int growth = std::max(0, shrunk - before);
  EXPECT_EQ(m_sizer->LastRepaintBand(),
            QRect(0, shrunk - reserve - growth, m_full.width(), reserve + growth));
  ShrinkBy(60);  // 40 pixels of growth
  EXPECT_EQ(m_sizer->LastRepaintBand(), QRect(0, shrunk - reserve, m_full.width(), reserve + 40));
}

// Counts the paint events that reach the watched widgets.
struct PaintCounter : QObject {
  std::map<QObject*, int> paints;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints[watched];
    return false;
  }
};

TEST_F(SizingTest, TheBottomBandIsRepaintedAtOnceAndNothingAboveIt) {
  ShrinkBy(2 * m_pitch);
  // Nothing left to paint from earlier changes.
  m_dialog->repaint();
  PaintCounter counter;
  std::vector<QWidget*> anchors;
  for (int id : kAnchoredControlIds) anchors.push_back(m_dialog->Control(id));
  // Far above the band: the Play button and voice 1's row.
  const std::vector<QWidget*> above = {m_dialog->Control(kIdPlay),
                                       m_dialog->Control(kIdVoiceInstrument[0]),
                                       m_dialog->Control(kIdVoiceVolume[0])};
  for (QWidget* widget : anchors) widget->installEventFilter(&counter);
  for (QWidget* widget : above) widget->installEventFilter(&counter);

  // One size message at an unchanged height, handled without returning to the event loop:
  // the anchored controls are painted before it returns; no growth, so the band is only the
  // reserve and nothing above it is touched.
  m_dialog->OnSize();
  for (QWidget* widget : anchors) {
    EXPECT_GE(counter.paints[widget], 1) << widget->objectName().toStdString();
  }
  for (QWidget* widget : above) {
    EXPECT_EQ(counter.paints[widget], 0) << widget->objectName().toStdString();
  }
  for (QWidget* widget : anchors) widget->removeEventFilter(&counter);
  for (QWidget* widget : above) widget->removeEventFilter(&counter);
}

TEST_F(SizingTest, OneJumpHidesInTheStatedOrder) {
  // From full height to the least one: every row goes, voice 1's first, each row's controls
  // left to right, then the header row, then the help text and its frame.
  std::vector<QObject*> hidden;
  std::vector<QWidget*> expected;
  struct Recorder : QObject {
    std::vector<QObject*>* seen;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Hide) seen->push_back(watched);
      return false;
    }
  } recorder;
  recorder.seen = &hidden;
  for (int voice = 0; voice < kVoiceCount; ++voice) {
    for (QWidget* control : RowOf(*m_dialog, voice)) expected.push_back(control);
  }
  for (QWidget* control : HeaderOf(*m_dialog)) expected.push_back(control);
  for (QWidget* control : HelpOf(*m_dialog)) expected.push_back(control);
  for (QWidget* control : expected) control->installEventFilter(&recorder);

  ResizeTo(QSize(m_full.width(), 180));
  for (QWidget* control : expected) control->removeEventFilter(&recorder);
  ASSERT_EQ(hidden.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(hidden[i], expected[i]) << i;
  }
}

TEST(SizingBeforeCapture, TheWindowSizesFreely) {
  MonotonicClock clock;
  RecordingMidiOut midi;
  NoSettings settings;
  MetronomeDialog dialog(clock, midi, settings);
  dialog.Create();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ASSERT_FALSE(dialog.LayoutReady());
  const QSize full = dialog.size();
  const QRect tempo = dialog.TempoSlider()->geometry();
  dialog.resize(full.width() + 50, 120);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.size() == QSize(full.width() + 50, 120); }));
  EXPECT_TRUE(dialog.VoiceLabel(8)->isVisible());
  EXPECT_EQ(dialog.TempoSlider()->geometry(), tempo);
  EXPECT_EQ(dialog.minimumSize(), QSize(0, 0));
}

}  // namespace
}  // namespace ticktavo::testing
