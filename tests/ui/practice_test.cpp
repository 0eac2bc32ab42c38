// The Practice window in Qt: opened from the main window's context menu, the T key tapping
// from whatever control has the focus, and the main window going on safely once it is closed.

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "res/practice_dialog_template.h"
#include "ui/practice_window.h"
#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

using PracticeWindowTest = DialogTest;

// A press of T at this time of the window system's clock (milliseconds).
void PressT(QWidget* widget, unsigned long time) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_T, Qt::NoModifier, QStringLiteral("t"));
  press.setTimestamp(time);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_T, Qt::NoModifier, QStringLiteral("t"));
  release.setTimestamp(time + 50);
  QApplication::sendEvent(widget, &release);
}

// Right-clicks the window's background and picks the item at `index`; returns every item's text.
QStringList RightClickAndPick(QWidget& window, int index) {
  QStringList items;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) return;
    timer.stop();
    for (const QAction* action : menu->actions()) items.append(action->text());
    for (int i = 0; i <= index; ++i) QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  timer.start(5);
  const QPoint at(2, window.height() / 2);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, window.mapToGlobal(at));
  QApplication::sendEvent(&window, &event);
  return items;
}

TEST_F(PracticeWindowTest, OpensFromTheContextMenuRightAfterAbout) {
  EXPECT_EQ(RightClickAndPick(Window(), 1),
            (QStringList{QStringLiteral("&About Ticktavo..."), QStringLiteral("&Practice..."),
                         QStringLiteral("&Export Click Track...")}));
  PracticeWindow* practice = Window().Practice();
  ASSERT_NE(practice, nullptr);
  EXPECT_EQ(practice->windowTitle(), QStringLiteral("Practice"));
  EXPECT_TRUE(practice->isVisible());
  EXPECT_FALSE(practice->isModal());
  EXPECT_TRUE(Window().isEnabled()) << "the main window stays usable";
  // Asked again, the same window comes to the front.
  RightClickAndPick(Window(), 1);
  EXPECT_EQ(Window().Practice(), practice);
  EXPECT_EQ(Window().findChildren<PracticeWindow*>().size(), 1);
}

TEST_F(PracticeWindowTest, TheTKeyTapsWhateverHasTheFocusAndTypesNothing) {
  Dialog().OnSysCommand(kIdPracticeCommand);
  PracticeWindow* practice = Window().Practice();
  ASSERT_NE(practice, nullptr);
  practice->Get<QCheckBox>(kIdTrainer)->click();
  auto* step = practice->Get<QLineEdit>(kIdTrainerStep);
  ASSERT_TRUE(step->isEnabled());
  const QList<QWidget*> targets = {step, practice->Control(kIdTap), practice->Control(kIdTrainer),
                                   practice->Control(kIdTrainerTarget), step};
  // Five taps 500 ms apart, each from another control.
  for (int k = 0; k < 5; ++k) PressT(targets[k], 100'000 + 500 * static_cast<unsigned long>(k));
  EXPECT_EQ(step->text(), QStringLiteral("5"));
  EXPECT_EQ(Get<QLineEdit>(kIdTempoEdit)->text(), QStringLiteral("120"));
  EXPECT_EQ(practice->Dialog().Taps().Count(), 5);
  // Keys of the main window are not taps.
  PressT(Get<QLineEdit>(kIdTempoEdit), 102'500);
  EXPECT_EQ(practice->Dialog().Taps().Count(), 5);
}

TEST_F(PracticeWindowTest, ClosingItLeavesThePlayingWindowAlone) {
  Dialog().OnSysCommand(kIdPracticeCommand);
  ASSERT_NE(Window().Practice(), nullptr);
  Get<QPushButton>(kIdPlay)->click();
  ASSERT_TRUE(WaitForNotes(2));
  Window().Practice()->close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Window().Practice() == nullptr; }));
  // Beats go on reaching the main window, which no longer tells a Practice window.
  const std::size_t sent = m_midi.Sent().size();
  ASSERT_TRUE(WaitForNotes(sent + 3));
  EXPECT_TRUE(Dialog().IsPlaying());
}

}  // namespace
}  // namespace ticktavo::testing
