#include "settings_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "store/stored_settings.h"

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

void SettingsDialogTest::TearDown() {
  m_dialog.reset();
  m_settings.reset();
}

void SettingsDialogTest::Open() {
  m_settings = std::make_unique<StoreSettings>(*m_registry);
  m_dialog = std::make_unique<MetronomeDialog>(m_clock, m_midi, *m_settings);
  m_dialog->Create();
  m_dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
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
