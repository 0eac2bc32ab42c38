#include "ui_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace ticktavo::testing {

void FakeSettings::LoadSettings(MetronomeDialog& dialog, const char* presetName) {
  ++loads;
  if (presetName != nullptr) return;
  dialog.TempoEdit()->setText(QStringLiteral("200"));
  dialog.OnTempoEditKillFocus();
  dialog.BeatsEdit()->setText(QStringLiteral("4"));
  for (int n = 0; n < kVoiceCount; ++n) {
    dialog.SetVoiceInstrument(n, PercussionTable::defaultInstrument[static_cast<std::size_t>(n)]);
    dialog.SetVoiceVolume(n, 127);
    dialog.SetVoiceBlinkSize(n, 8);
  }
  dialog.CustomMeasureEdit()->setText(QStringLiteral("31212012121"));
  dialog.StraightRadio()->setChecked(true);
  dialog.SetStraightStyle();
  dialog.BlinkCheck()->setChecked(true);
  dialog.OnBlinkClicked();
  dialog.DeleteButton()->setEnabled(true);
  dialog.SaveButton()->setEnabled(false);
  dialog.CaptureLayout();
}

bool FakeSettings::SaveSettings(MetronomeDialog& /*dialog*/, const char* presetName) {
  if (presetName == nullptr) {
    ++mainSaves;
  } else {
    ++presetSaves;
  }
  return true;
}

void AnswerNextBox(SeenBox& seen) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen.seen = true;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.parent = box->parentWidget();
    seen.critical = box->icon() == QMessageBox::Critical;
    QAbstractButton* answer = box->button(QMessageBox::Ok);
    if (answer == nullptr) answer = box->button(QMessageBox::Yes);
    timer->stop();
    timer->deleteLater();
    if (answer != nullptr) answer->click();
  });
  timer->start();
}

void DialogTest::SetUp() {
  m_dialog = std::make_unique<MetronomeDialog>(m_clock, m_midi, m_settings);
  m_dialog->Create();
  m_dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
}

void DialogTest::TearDown() {
  m_dialog.reset();
}

bool DialogTest::WaitForNotes(std::size_t count) {
  return QTest::qWaitFor([&] { return m_midi.Sent().size() >= count; }, 10000);
}

void DialogTest::Type(QWidget* widget, const QString& text) {
  widget->setFocus(Qt::OtherFocusReason);
  QTest::keyClicks(widget, text);
}

}  // namespace ticktavo::testing
