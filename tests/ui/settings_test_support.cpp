#include "settings_test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "store/stored_settings.h"

namespace ticktavo::testing {

void AnswerBoxWith(QMessageBox::StandardButton answer, AnsweredBox& seen) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, answer, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    seen.seen = true;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.parent = box->parentWidget();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    timer->stop();
    timer->deleteLater();
    if (QAbstractButton* button = box->button(answer)) {
      button->click();
    } else {
      box->reject();  // the test fails on the recorded buttons, not by hanging here
    }
  });
  timer->start();
}

void SettingsDialogTest::TearDown() {
  m_dialog.reset();
  m_settings.reset();
}

void SettingsDialogTest::Open() {
  m_settings = std::make_unique<StoreSettings>(*m_registry);
  m_dialog = std::make_unique<MetronomeDialog>(m_clock, m_midi, *m_settings);
  m_dialog->Create();
  m_dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
}

void SettingsDialogTest::CloseAndDestroy() {
  m_dialog->close();
  m_dialog.reset();
  m_settings.reset();
}

namespace {

std::string KeyPath(std::string_view preset) {
  return preset.empty() ? PresetKeyPath(std::nullopt) : PresetKeyPath(preset);
}

}  // namespace

void SettingsDialogTest::StoreDwords(std::string_view preset,
                                     std::vector<std::pair<std::string, int>> values) {
  Registry::Key key = 0;
  ASSERT_EQ(
      m_registry->CreateKey(Registry::kCurrentUser, KeyPath(preset), RegAccess::kReadWrite, &key),
      RegResult::kSuccess);
  for (const auto& [name, value] : values) {
    EXPECT_EQ(WriteDword(*m_registry, key, name, value), RegResult::kSuccess) << name;
  }
  m_registry->CloseKey(key);
}

int SettingsDialogTest::StoredDword(std::string_view preset, std::string_view name, int fallback) {
  Registry::Key key = 0;
  if (m_registry->OpenKey(Registry::kCurrentUser, KeyPath(preset), RegAccess::kRead, &key) !=
      RegResult::kSuccess) {
    return fallback;
  }
  const int value = ReadDword(*m_registry, key, name, fallback);
  m_registry->CloseKey(key);
  return value;
}

bool SettingsDialogTest::PresetExists(std::string_view preset) {
  Registry::Key key = 0;
  if (m_registry->OpenKey(Registry::kCurrentUser, KeyPath(preset), RegAccess::kRead, &key) !=
      RegResult::kSuccess) {
    return false;
  }
  m_registry->CloseKey(key);
  return true;
}

void SettingsDialogTest::TypePresetName(const QString& name) {
  QLineEdit* field = m_dialog->PresetCombo()->lineEdit();
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
  if (name.isEmpty()) {
    QTest::keyClick(field, Qt::Key_Delete);
  } else {
    QTest::keyClicks(field, name);
  }
}

void SettingsDialogTest::ChoosePreset(int position) {
  // What a click on an item of the dropped-down list does.
  QComboBox* combo = m_dialog->PresetCombo();
  combo->setCurrentIndex(position);
  emit combo->activated(position);
}

QStringList SettingsDialogTest::PresetItems() const {
  QStringList items;
  QComboBox* combo = m_dialog->PresetCombo();
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

}  // namespace ticktavo::testing
