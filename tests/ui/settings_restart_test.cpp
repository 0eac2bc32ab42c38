// Settings, presets and the window's place survive a restart: one window is changed and
// closed over the real settings file, and a new window is built over the same file.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "settings_test_support.h"
#include "store/sqlite_registry.h"
#include "store/store_test_support.h"
#include "ui/blinker_static.h"
#include "ui/measure_edit.h"

namespace ticktavo::testing {
namespace {

class SettingsRestartTest : public SettingsDialogTest {
 protected:
  void OpenFile() {
    m_file = SqliteRegistry::Open(m_folder.path() / "ticktavo" / "settings.db", m_errors);
    ASSERT_TRUE(m_file->IsOpen());
    m_registry = m_file.get();
  }
  void CloseFile() {
    m_registry = &m_memory;
    m_file.reset();
  }
  void TearDown() override {
    SettingsDialogTest::TearDown();
    m_file.reset();
  }

  test::TempFolder m_folder;
  std::ostringstream m_errors;
  std::unique_ptr<SqliteRegistry> m_file;
};

TEST_F(SettingsRestartTest, ChangedSettingsPresetsAndPlaceComeBack) {
  OpenFile();
  Open();
  // The user's changes, each through its control.
  QLineEdit* tempo = m_dialog->TempoEdit();
  tempo->setFocus(Qt::OtherFocusReason);
  tempo->selectAll();
  QTest::keyClicks(tempo, QStringLiteral("123"));
  QTest::mouseClick(m_dialog->CustomRadio(), Qt::LeftButton);
  QTest::mouseClick(m_dialog->BlinkCheck(), Qt::LeftButton);
  for (int step = 0; step < 7; ++step) {
    m_dialog->VolumeSlider(4)->triggerAction(QAbstractSlider::SliderSingleStepSub);
  }
  QLineEdit* custom = m_dialog->CustomMeasureEdit();
  custom->setFocus(Qt::OtherFocusReason);
  custom->selectAll();
  QTest::keyClicks(custom, QStringLiteral("1(23)0"));
  ASSERT_EQ(m_dialog->Bpm(), 123);
  ASSERT_EQ(m_dialog->Voices().m_volume[4], 120);
  TypePresetName(QStringLiteral("Fast"));
  QTest::mouseClick(m_dialog->SaveButton(), Qt::LeftButton);
  ASSERT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("Fast"));
  m_dialog->move(25, 35);
  const QSize size = m_dialog->frameGeometry().size();
  CloseAndDestroy();
  CloseFile();

  OpenFile();
  Open();
  EXPECT_EQ(m_dialog->TempoEdit()->text(), QStringLiteral("123"));
  EXPECT_EQ(m_dialog->Bpm(), 123);
  EXPECT_TRUE(m_dialog->CustomRadio()->isChecked());
  EXPECT_EQ(m_dialog->Style(), MetronomeStyle::Custom);
  EXPECT_EQ(m_dialog->CustomMeasureEdit()->text(), QStringLiteral("1(23)0"));
  EXPECT_FALSE(m_dialog->BlinkCheck()->isChecked());
  EXPECT_EQ(m_dialog->VolumeSlider(4)->value(), 120);
  EXPECT_EQ(m_dialog->PresetCombo()->count(), 1);
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("Fast"));
  EXPECT_TRUE(m_dialog->DeleteButton()->isEnabled());
  EXPECT_FALSE(m_dialog->SaveButton()->isEnabled());
  EXPECT_EQ(m_dialog->frameGeometry(), QRect(QPoint(25, 35), size));
  EXPECT_EQ(m_errors.str(), "");

  // The preset holds the same musical settings: choose it after changing the tempo.
  m_dialog->TempoEdit()->setText(QStringLiteral("300"));
  ChoosePreset(0);
  EXPECT_EQ(m_dialog->Bpm(), 123);
  EXPECT_EQ(m_dialog->CustomMeasureEdit()->text(), QStringLiteral("1(23)0"));
}

// A damaged file: the window comes up on the defaults, the damaged file is kept beside the
// new one untouched, one line tells why, and the close saves into the new file.
TEST_F(SettingsRestartTest, ADamagedFileIsKeptAsideAndTheWindowStartsOnTheDefaults) {
  const std::filesystem::path file = m_folder.path() / "ticktavo" / "settings.db";
  std::filesystem::create_directories(file.parent_path());
  const std::string garbage(4096, '\x5a');
  std::ofstream(file, std::ios::binary) << garbage;
  OpenFile();
  Open();
  EXPECT_EQ(m_dialog->TempoEdit()->text(), QStringLiteral("200"));
  EXPECT_TRUE(m_dialog->StraightRadio()->isChecked());
  EXPECT_EQ(m_dialog->PresetCombo()->count(), 0);
  const std::string errors = m_errors.str();
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;

  std::vector<std::filesystem::path> kept;
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
    if (entry.path().filename().string().starts_with("settings.db.damaged-")) {
      kept.push_back(entry.path());
    }
  }
  ASSERT_EQ(kept.size(), 1u);
  std::ifstream in(kept[0], std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), garbage);

  CloseAndDestroy();
  CloseFile();
  OpenFile();
  EXPECT_EQ(StoredDword("", "BPMinute"), 200);
}

}  // namespace
}  // namespace ticktavo::testing
