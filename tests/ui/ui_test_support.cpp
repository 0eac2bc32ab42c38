#include "ui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

namespace ticktavo::testing {

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer) {
  m_timer.setInterval(5);
  QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
  m_timer.start();
}

void BoxAnswerer::Poll() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr || !box->isVisible()) return;
  m_seen.seen = true;
  m_seen.title = box->windowTitle();
  m_seen.text = box->text();
  m_seen.parent = box->parentWidget();
  m_seen.icon = box->icon();
  m_seen.buttons = box->standardButtons();
  m_timer.stop();
  if (QAbstractButton* button = box->button(m_answer)) {
    button->click();
  } else {
    box->reject();  // the test fails on the recorded buttons, not by hanging here
  }
}

void DialogTest::SetUp() {
  m_window = std::make_unique<MetronomeWindow>(m_clock, m_midi, m_registry);
  m_window->Create();
  m_window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
}

void DialogTest::TearDown() {
  m_window.reset();
}

bool DialogTest::WaitForNotes(std::size_t count) {
  return QTest::qWaitFor([&] { return m_midi.Sent().size() >= count; }, 10000);
}

void DialogTest::Type(QWidget* widget, const QString& text) {
  widget->setFocus(Qt::OtherFocusReason);
  QTest::keyClicks(widget, text);
}

}  // namespace ticktavo::testing
