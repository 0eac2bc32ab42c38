// What a screen reader finds in the window, asked through Qt's accessibility interfaces (the
// same ones the AT-SPI bridge serves): every control's name, role, description and value, the
// labels tied to their controls, the Play button's name following its caption, the beat
// followed on the main blinker, values set by a screen reader, message boxes announced, and
// Tab reaching every control with a focus that can be seen.

#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "res/accessible_names.h"
#include "res/dialog_template.h"
#include "res/resource_ids.h"
#include "ui/about_window.h"
#include "ui/accessibility.h"
#include "ui/blinker_static.h"
#include "ui/up_down_ctrl.h"
#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

using Role = QAccessible::Role;

struct SeenEvent {
  QObject* object;
  QAccessible::Event type;
  QVariant value;  // value changes only
  std::thread::id thread;
};

std::vector<SeenEvent>* s_events = nullptr;

void RecordEvent(QAccessibleEvent* event) {
  if (s_events == nullptr) return;
  QVariant value;
  if (event->type() == QAccessible::ValueChanged) {
    value = static_cast<QAccessibleValueChangeEvent*>(event)->value();
  }
  s_events->push_back({event->object(), event->type(), value, std::this_thread::get_id()});
}

// Qt sends its accessibility notices only while an assistive technology listens. On the
// offscreen platform nothing does, so the tests play that part: accessibility on, and every
// notice recorded instead of being sent to a bus.
class ScreenReader {
 public:
  ScreenReader() {
    s_events = &m_events;
    m_previous = QAccessible::installUpdateHandler(&RecordEvent);
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
  }
  ~ScreenReader() {
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(false);
    QAccessible::installUpdateHandler(m_previous);
    s_events = nullptr;
  }
  ScreenReader(const ScreenReader&) = delete;
  ScreenReader& operator=(const ScreenReader&) = delete;

  int Count(QObject* object, QAccessible::Event type) const {
    int count = 0;
    for (const SeenEvent& event : m_events) count += event.object == object && event.type == type;
    return count;
  }
  const std::vector<SeenEvent>& Events() const { return m_events; }
  void Clear() { m_events.clear(); }

 private:
  std::vector<SeenEvent> m_events;
  QAccessible::UpdateHandler m_previous = nullptr;
};

QAccessibleInterface* Interface(QObject* object) {
  return QAccessible::queryAccessibleInterface(object);
}

std::string Name(QAccessibleInterface* iface) {
  return iface == nullptr ? "(none)" : iface->text(QAccessible::Name).toStdString();
}

std::string Text(QObject* object, QAccessible::Text text) {
  QAccessibleInterface* iface = Interface(object);
  return iface == nullptr ? "(none)" : iface->text(text).toStdString();
}

class AccessibilityTest : public DialogTest {
 protected:
  QWidget* Control(int id) const { return m_window->Control(id); }
};

// --- Every control: name, role, description ---

struct ExpectedControl {
  int id;
  Role role;
  const char* name;
  const char* description;  // the control's tooltip
};

constexpr const char* kNoTip = "";
constexpr const char* kInstrumentTip = "Choose an instrument for this voice";
constexpr const char* kVolumeTip = "Set the volume of this voice";
constexpr const char* kBlinkSizeTip = "Set the size of the blinker for this voice";
constexpr const char* kVoiceBlinkerTip = "The size of the blinker for this voice";

// The window's 65 controls in template order. Captions lose their mnemonic ampersand; the
// controls without a caption carry the names users know them by.
const std::vector<ExpectedControl>& ExpectedControls() {
  static const std::vector<ExpectedControl> controls = {
      {4000, Role::RadioButton, "Straight Metronome", "A plain beat using voice #1"},
      {4001, Role::RadioButton, "Simple Measure", "Emphasize the first beat of the measure"},
      {4002, Role::RadioButton, "Custom", "Use a custom measure"},
      {3000, Role::EditableText, "Beats per measure", "The number of beats in your measure"},
      {3001, Role::Client, "Beats per measure arrows", kNoTip},
      {1004, Role::EditableText, "Custom measure", "Enter your custom measure here"},
      {1006, Role::Button, "Play", "Start the metronome (Enter)"},
      {1051, Role::Grouping, "How to use the Custom option", kNoTip},
      {1050, Role::StaticText,
       "For each beat in your measure, enter 0 for silence or a number from 1 to 9 for one of "
       "the sounds below",
       kNoTip},
      {1017, Role::ComboBox, "Voice 1 instrument", kInstrumentTip},
      {1025, Role::Slider, "Voice 1 volume", kVolumeTip},
      {1020, Role::ComboBox, "Voice 2 instrument", kInstrumentTip},
      {1026, Role::Slider, "Voice 2 volume", kVolumeTip},
      {1022, Role::ComboBox, "Voice 3 instrument", kInstrumentTip},
      {1027, Role::Slider, "Voice 3 volume", kVolumeTip},
      {1032, Role::ComboBox, "Voice 4 instrument", kInstrumentTip},
      {1033, Role::Slider, "Voice 4 volume", kVolumeTip},
      {1034, Role::StaticText, "4", kNoTip},
      {1035, Role::ComboBox, "Voice 5 instrument", kInstrumentTip},
      {1036, Role::Slider, "Voice 5 volume", kVolumeTip},
      {1037, Role::StaticText, "5", kNoTip},
      {1038, Role::ComboBox, "Voice 6 instrument", kInstrumentTip},
      {1039, Role::Slider, "Voice 6 volume", kVolumeTip},
      {1040, Role::StaticText, "6", kNoTip},
      {1041, Role::ComboBox, "Voice 7 instrument", kInstrumentTip},
      {1042, Role::Slider, "Voice 7 volume", kVolumeTip},
      {1043, Role::StaticText, "7", kNoTip},
      {1044, Role::ComboBox, "Voice 8 instrument", kInstrumentTip},
      {1045, Role::Slider, "Voice 8 volume", kVolumeTip},
      {1046, Role::StaticText, "8", kNoTip},
      {1047, Role::ComboBox, "Voice 9 instrument", kInstrumentTip},
      {1048, Role::Slider, "Voice 9 volume", kVolumeTip},
      {1049, Role::StaticText, "9", kNoTip},
      {1024, Role::Slider, "Tempo slider", "Change the speed of the metronome"},
      {2000, Role::EditableText, "Tempo", "Set the speed of the metronome"},
      {1031, Role::StaticText, "Tempo", kNoTip},
      {1018, Role::StaticText, "1", kNoTip},
      {1019, Role::StaticText, "2", kNoTip},
      {1021, Role::StaticText, "3", kNoTip},
      {1028, Role::ComboBox, "Preset",
       "Choose a preset from the list or type a name to save a new one"},
      {1008, Role::Button, "Delete", "Delete the current preset"},
      {1030, Role::Grouping, "Presets", kNoTip},
      {1009, Role::Button, "Save", "Save these settings as a preset"},
      {1053, Role::Graphic, "Beat", kNoTip},
      {1029, Role::Slider, "Voice 1 blinker size", kBlinkSizeTip},
      {1052, Role::Slider, "Voice 2 blinker size", kBlinkSizeTip},
      {1054, Role::Slider, "Voice 3 blinker size", kBlinkSizeTip},
      {1055, Role::Slider, "Voice 4 blinker size", kBlinkSizeTip},
      {1056, Role::Slider, "Voice 5 blinker size", kBlinkSizeTip},
      {1057, Role::Slider, "Voice 6 blinker size", kBlinkSizeTip},
      {1058, Role::Slider, "Voice 7 blinker size", kBlinkSizeTip},
      {1059, Role::Slider, "Voice 8 blinker size", kBlinkSizeTip},
      {1060, Role::Slider, "Voice 9 blinker size", kBlinkSizeTip},
      {1063, Role::StaticText, "Volume", kNoTip},
      {1061, Role::CheckBox, "Blink", "Toggle the visual beat display"},
      {5000, Role::Graphic, "Voice 1 blinker", kVoiceBlinkerTip},
      {5001, Role::Graphic, "Voice 2 blinker", kVoiceBlinkerTip},
      {5002, Role::Graphic, "Voice 3 blinker", kVoiceBlinkerTip},
      {5003, Role::Graphic, "Voice 4 blinker", kVoiceBlinkerTip},
      {5004, Role::Graphic, "Voice 5 blinker", kVoiceBlinkerTip},
      {5005, Role::Graphic, "Voice 6 blinker", kVoiceBlinkerTip},
      {5006, Role::Graphic, "Voice 7 blinker", kVoiceBlinkerTip},
      {5007, Role::Graphic, "Voice 8 blinker", kVoiceBlinkerTip},
      {5008, Role::Graphic, "Voice 9 blinker", kVoiceBlinkerTip},
      {1062, Role::StaticText, "Voices", kNoTip},
  };
  return controls;
}

TEST_F(AccessibilityTest, EveryControlHasItsNameRoleAndDescription) {
  const auto& expected = ExpectedControls();
  const auto& controls = MainDialogTemplate().controls;
  ASSERT_EQ(expected.size(), controls.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const ExpectedControl& want = expected[i];
    SCOPED_TRACE(::testing::Message() << "control " << want.id);
    EXPECT_EQ(controls[i].id, want.id);  // the table covers the template, in its order
    QAccessibleInterface* iface = Interface(Control(want.id));
    ASSERT_NE(iface, nullptr);
    EXPECT_TRUE(iface->isValid());
    EXPECT_EQ(iface->role(), want.role);
    EXPECT_EQ(iface->text(QAccessible::Name).toStdString(), want.name);
    EXPECT_EQ(iface->text(QAccessible::Description).toStdString(), want.description);
    EXPECT_EQ(iface->parent()->object(), m_window.get());
  }
}

TEST_F(AccessibilityTest, TheWindowIsNamedByItsTitle) {
  QAccessibleInterface* window = Interface(m_window.get());
  EXPECT_EQ(window->role(), Role::Dialog);
  EXPECT_EQ(Name(window), "Ticktavo");
}

TEST_F(AccessibilityTest, NamesOfTheWindowsOwnTableMatchTheControls) {
  EXPECT_EQ(MainWindowAccessibleName(kIdTempoEdit), "Tempo");
  EXPECT_EQ(MainWindowAccessibleName(kIdVoiceBlinkSize[8]), "Voice 9 blinker size");
  // Captioned controls are announced by their caption: no name of the table's own.
  EXPECT_TRUE(MainWindowAccessibleName(kIdPlay).empty());
  EXPECT_TRUE(MainWindowAccessibleName(kIdStraight).empty());
  EXPECT_TRUE(MainWindowAccessibleName(0).empty());
}

// Walks everything a screen reader can reach from root, down to list items, and returns a
// description of each part without a name.
std::vector<std::string> UnnamedParts(QObject* root, int* visited) {
  std::vector<std::string> unnamed;
  std::vector<QAccessibleInterface*> pending = {Interface(root)};
  while (!pending.empty()) {
    QAccessibleInterface* iface = pending.back();
    pending.pop_back();
    ++*visited;
    if (iface->text(QAccessible::Name).trimmed().isEmpty()) {
      QObject* object = iface->object();
      unnamed.push_back(object != nullptr ? std::string(object->metaObject()->className()) + " " +
                                                object->objectName().toStdString()
                                          : "item of " + Name(iface->parent()));
    }
    for (int i = 0; i < iface->childCount(); ++i) {
      if (QAccessibleInterface* child = iface->child(i)) pending.push_back(child);
    }
  }
  return unnamed;
}

// Nothing a screen reader can reach in the window, down to the list items, is left unnamed.
TEST_F(AccessibilityTest, NothingInTheWindowIsUnnamed) {
  int visited = 0;
  const std::vector<std::string> unnamed = UnnamedParts(m_window.get(), &visited);
  // 65 controls, 2 arrows and an edit field inside controls, 10 lists of 47 or 0 items.
  EXPECT_GE(visited, 1 + 65 + 2 + 1 + 10 + 9 * 47);
  EXPECT_TRUE(unnamed.empty()) << ::testing::PrintToString(unnamed);
}

// The About box as a screen reader finds it: the box by its title, the icon by the program's
// name, the texts by what they say, nothing unnamed.
TEST_F(AccessibilityTest, NothingInTheAboutBoxIsUnnamed) {
  AboutWindow about(*m_window, m_window.get());
  int visited = 0;
  const std::vector<std::string> unnamed = UnnamedParts(&about, &visited);
  EXPECT_GE(visited, 1 + 6);  // the box, its icon, three texts, the link and OK
  EXPECT_TRUE(unnamed.empty()) << ::testing::PrintToString(unnamed);

  EXPECT_EQ(Interface(&about)->role(), Role::Dialog);
  EXPECT_EQ(Name(Interface(&about)), "About Ticktavo");
  EXPECT_EQ(Text(about.IconStatic(), QAccessible::Name), "Ticktavo");
  EXPECT_EQ(Text(about.VersionStatic(), QAccessible::Name), "Ticktavo version 1.4");
  EXPECT_EQ(Text(about.OkButton(), QAccessible::Name), "OK");
  EXPECT_EQ(Text(about.LinkStatic(), QAccessible::Name),
            AboutWindow::ProductPageUrl().toString().toStdString());
}

// --- Parts Qt builds inside controls ---

TEST_F(AccessibilityTest, PartsInsideControlsAreNamed) {
  QComboBox* presets = Get<QComboBox>(kIdPresetCombo);
  QAccessibleInterface* presetIface = Interface(presets);
  ASSERT_EQ(presetIface->childCount(), 2);  // its list and its name field
  EXPECT_EQ(Name(presetIface->child(0)), "Preset list");
  EXPECT_EQ(presetIface->child(1)->object(), presets->lineEdit());
  EXPECT_EQ(Name(presetIface->child(1)), "Preset");
  EXPECT_EQ(Text(presets->lineEdit(), QAccessible::Description),
            "Choose a preset from the list or type a name to save a new one");

  for (int voice = 0; voice < kVoiceCount; ++voice) {
    QAccessibleInterface* combo = Interface(Get<QComboBox>(kIdVoiceInstrument[voice]));
    ASSERT_EQ(combo->childCount(), 1) << voice;
    EXPECT_EQ(Name(combo->child(0)), "Voice " + std::to_string(voice + 1) + " instrument list");
    EXPECT_EQ(combo->indexOfChild(combo->child(0)), 0);
  }

  QAccessibleInterface* upDown = Interface(Get<UpDownCtrl>(kIdBeatsUpDown));
  ASSERT_EQ(upDown->childCount(), 2);
  std::vector<std::string> arrows = {Name(upDown->child(0)), Name(upDown->child(1))};
  EXPECT_EQ(arrows,
            (std::vector<std::string>{"More beats per measure", "Fewer beats per measure"}));
  EXPECT_EQ(upDown->child(0)->role(), Role::Button);
}

// The combo boxes' own actions survive the new interface: a screen reader opens the list.
TEST_F(AccessibilityTest, ComboBoxListOpensByItsAction) {
  QComboBox* combo = Get<QComboBox>(kIdVoiceInstrument[0]);
  QAccessibleActionInterface* actions = Interface(combo)->actionInterface();
  ASSERT_NE(actions, nullptr);
  EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
  actions->doAction(QAccessibleActionInterface::showMenuAction());
  EXPECT_TRUE(combo->view()->isVisible());
  actions->doAction(QAccessibleActionInterface::showMenuAction());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !combo->view()->isVisible(); }));
}

// --- Labels beside their controls ---

bool HasRelation(QObject* from, QAccessible::Relation relation, QObject* to) {
  for (const auto& [other, kind] : Interface(from)->relations(relation)) {
    if (other->object() == to && (kind & relation)) return true;
  }
  return false;
}

TEST_F(AccessibilityTest, LabelsAreTiedToTheControlsBesideThem) {
  QWidget* tempoLabel = Control(kIdTempoLabel);
  EXPECT_TRUE(HasRelation(Get<QSlider>(kIdTempoSlider), QAccessible::Label, tempoLabel));
  EXPECT_TRUE(HasRelation(tempoLabel, QAccessible::Labelled, Get<QSlider>(kIdTempoSlider)));
  for (int voice = 0; voice < kVoiceCount; ++voice) {
    SCOPED_TRACE(voice);
    QWidget* label = Get<QLabel>(kIdVoiceLabel[voice]);
    EXPECT_TRUE(HasRelation(Get<QComboBox>(kIdVoiceInstrument[voice]), QAccessible::Label, label));
    EXPECT_TRUE(
        HasRelation(label, QAccessible::Labelled, Get<QComboBox>(kIdVoiceInstrument[voice])));
  }
}

// --- Values ---

struct ExpectedValue {
  int id;
  const char* text;  // what is read out
  int current;       // the value interface's numbers; -1 where there is none
  int minimum;
  int maximum;
};

// The state the settings leave at a first start: tempo 200, 4 beats, default instruments
// (Side Stick, Bass Drum 1, Low Wood Block, then Acoustic Bass Drum), volumes 127,
// blinker sizes 8, the default custom measure, the main blinker blank.
TEST_F(AccessibilityTest, FieldsSlidersListsAndBlinkersReportTheirValues) {
  std::vector<ExpectedValue> expected = {
      {kIdBeatsEdit, "4", -1, 0, 0},
      {kIdCustomMeasure, "31212012121", -1, 0, 0},
      {kIdTempoEdit, "200", -1, 0, 0},
      // The slider speaks in beats per minute, not in its logarithmic positions (8358).
      {kIdTempoSlider, "200", 200, 4, 1000},
      {kIdPresetCombo, "", -1, 0, 0},
      {kIdMainBlinker, "0", 0, 0, 8},
      {kIdVoiceInstrument[0], "Side Stick", -1, 0, 0},
      {kIdVoiceInstrument[1], "Bass Drum 1", -1, 0, 0},
      {kIdVoiceInstrument[2], "Low Wood Block", -1, 0, 0},
  };
  for (int voice = 0; voice < kVoiceCount; ++voice) {
    if (voice >= 3) expected.push_back({kIdVoiceInstrument[voice], "Acoustic Bass Drum", -1, 0, 0});
    expected.push_back({kIdVoiceVolume[voice], "127", 127, 0, 127});
    expected.push_back({kIdVoiceBlinkSize[voice], "8", 8, 0, 8});
    expected.push_back({kIdVoiceBlinker[voice], "8", 8, 0, 8});
  }
  for (const ExpectedValue& want : expected) {
    SCOPED_TRACE(::testing::Message() << "control " << want.id);
    QAccessibleInterface* iface = Interface(Control(want.id));
    EXPECT_EQ(iface->text(QAccessible::Value).toStdString(), want.text);
    QAccessibleValueInterface* value = iface->valueInterface();
    if (want.current < 0) continue;
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), want.current);
    EXPECT_EQ(value->minimumValue().toInt(), want.minimum);
    EXPECT_EQ(value->maximumValue().toInt(), want.maximum);
  }
}

// A screen reader (or a voice control tool) that sets a slider's value moves it the way the
// user would: the window takes the value, enables Save and keeps the preset name.
TEST_F(AccessibilityTest, ValuesSetByAScreenReaderActLikeTheUsersMoves) {
  auto set = [this](QWidget* slider, double value) {
    Interface(slider)->valueInterface()->setCurrentValue(value);
  };
  set(Get<QSlider>(kIdVoiceVolume[1]), 64);
  EXPECT_EQ(Dialog().Voices().m_volume[1], 64);
  EXPECT_EQ(Get<QSlider>(kIdVoiceVolume[1])->value(), 64);
  EXPECT_TRUE(Get<QPushButton>(kIdSavePreset)->isEnabled());

  set(Get<QSlider>(kIdVoiceBlinkSize[2]), 0);
  EXPECT_EQ(Dialog().Voices().m_blinkSize[2], 0);
  EXPECT_EQ(Get<BlinkerStatic>(kIdVoiceBlinker[2])->Frame(), 0);
  set(Get<QSlider>(kIdVoiceBlinkSize[2]), 20);  // kept to the slider's range
  EXPECT_EQ(Dialog().Voices().m_blinkSize[2], 8);

  struct TempoCase {
    double set;
    int bpm;
    int position;  // 1000 × log2(bpm + 128), rounded
  };
  for (const TempoCase& tempo : {TempoCase{120, 120, 7954}, TempoCase{60, 60, 7555},
                                 TempoCase{5000, 1000, 10140}, TempoCase{-3, 4, 7044}}) {
    SCOPED_TRACE(tempo.set);
    set(Get<QSlider>(kIdTempoSlider), tempo.set);
    EXPECT_EQ(Dialog().Bpm(), tempo.bpm);
    EXPECT_EQ(Get<QLineEdit>(kIdTempoEdit)->text(), QString::number(tempo.bpm));
    EXPECT_EQ(Get<QSlider>(kIdTempoSlider)->value(), tempo.position);
    EXPECT_EQ(Text(Get<QSlider>(kIdTempoSlider), QAccessible::Value), std::to_string(tempo.bpm));
  }

  // A value that is no number at all (it comes over the bus from another program) changes
  // nothing; it once turned into the lowest tempo.
  Get<QLineEdit>(kIdTempoEdit)->setText(QStringLiteral("120"));
  Dialog().SetVoiceVolume(0, 100);
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(bad);
    set(Get<QSlider>(kIdTempoSlider), bad);
    set(Get<QSlider>(kIdVoiceVolume[0]), bad);
    EXPECT_EQ(Dialog().Bpm(), 120);
    EXPECT_EQ(Dialog().Voices().m_volume[0], 100);
  }
}

// --- The Play button and the beat ---

TEST_F(AccessibilityTest, PlayButtonNameAndDescriptionFollowItsCaption) {
  ScreenReader reader;
  QPushButton* play = Get<QPushButton>(kIdPlay);
  struct Step {
    const char* name;
    const char* description;
  };
  for (const Step& step :
       {Step{"Stop", "Stop the metronome (Enter)"}, Step{"Play", "Start the metronome (Enter)"}}) {
    reader.Clear();
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(Text(play, QAccessible::Name), step.name);
    EXPECT_EQ(Text(play, QAccessible::Description), step.description);
    // Announced, so a screen reader does not go on reading what it had read before.
    EXPECT_EQ(reader.Count(play, QAccessible::NameChanged), 1) << step.name;
    EXPECT_EQ(reader.Count(play, QAccessible::DescriptionChanged), 1) << step.name;
  }
  EXPECT_FALSE(Dialog().IsPlaying());
}

TEST_F(AccessibilityTest, MainBlinkerAnnouncesEachNewFrame) {
  ScreenReader reader;
  BlinkerStatic* blinker = Get<BlinkerStatic>(kIdMainBlinker);
  blinker->SetFrame(5);
  blinker->SetFrame(5);  // the same frame: nothing changes, nothing is said
  blinker->FadeStep();
  std::vector<int> values;
  for (const SeenEvent& event : reader.Events()) {
    if (event.object == blinker && event.type == QAccessible::ValueChanged) {
      values.push_back(event.value.toInt());
    }
  }
  EXPECT_EQ(values, (std::vector<int>{5, 4}));
  EXPECT_EQ(Text(blinker, QAccessible::Value), "4");
}

// While playing, the timing thread sets the main blinker through the window's thread; a
// screen reader hears the beat's frame (blinker size 8 of voice 1) from that thread only.
TEST_F(AccessibilityTest, PlayingSendsTheBeatToTheScreenReaderFromTheWindowsThread) {
  ScreenReader reader;
  BlinkerStatic* blinker = Get<BlinkerStatic>(kIdMainBlinker);
  Dialog().OnAcceleratorCommand(kIdPlay);
  const auto sawBeat = [&] {
    for (const SeenEvent& event : reader.Events()) {
      if (event.object == blinker && event.type == QAccessible::ValueChanged &&
          event.value.toInt() == 8) {
        return true;
      }
    }
    return false;
  };
  ASSERT_TRUE(QTest::qWaitFor(sawBeat, 10000));
  Dialog().OnAcceleratorCommand(kIdPlay);
  for (const SeenEvent& event : reader.Events()) {
    EXPECT_EQ(event.thread, std::this_thread::get_id());
  }
  EXPECT_EQ(Text(blinker, QAccessible::Value), "0");
}

// --- Message boxes ---

TEST_F(AccessibilityTest, MessageBoxIsAnnouncedWithItsCaptionAndText) {
  ScreenReader reader;
  QTest::keyClick(Get<QPushButton>(kIdPlay), Qt::Key_C, Qt::AltModifier);
  Get<QLineEdit>(kIdCustomMeasure)->setText(QStringLiteral("12)"));

  struct Seen {
    bool seen = false;
    int alerts = 0;
    Role role = Role::NoRole;
    std::string name;
    std::string value;
    std::vector<std::string> children;  // every part, the box itself included
  } seen;
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, &seen, &reader] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    timer->stop();
    timer->deleteLater();
    seen.seen = true;
    seen.alerts = reader.Count(box, QAccessible::Alert);
    QAccessibleInterface* iface = Interface(box);
    seen.role = iface->role();
    seen.name = Name(iface);
    seen.value = iface->text(QAccessible::Value).toStdString();
    std::vector<QAccessibleInterface*> pending = {iface};
    while (!pending.empty()) {
      QAccessibleInterface* part = pending.back();
      pending.pop_back();
      seen.children.push_back(Name(part));
      for (int i = 0; i < part->childCount(); ++i) pending.push_back(part->child(i));
    }
    box->button(QMessageBox::Ok)->click();
  });
  timer->start();
  Dialog().OnAcceleratorCommand(kIdPlay);

  const std::string text =
      "Make sure you don't have any mismatched parentheses in your measure definition";
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.alerts, 1);  // a screen reader reads an alert out as it appears
  EXPECT_EQ(seen.role, Role::AlertMessage);
  EXPECT_EQ(seen.name, "Custom Measure Definition Error");
  EXPECT_EQ(seen.value, text);
  EXPECT_NE(std::find(seen.children.begin(), seen.children.end(), text), seen.children.end());
  EXPECT_NE(std::find(seen.children.begin(), seen.children.end(), "OK"), seen.children.end());
}

// --- Keyboard ---

// The controls Tab stops at, in the template's order. The three style radio buttons are one
// stop, at the checked one (Straight, as the settings leave it); the arrow keys move within.
constexpr int kTabStops[] = {4000, 3000, 1004, 1006, 1017, 1025, 1020, 1026, 1022, 1027,
                             1032, 1033, 1035, 1036, 1038, 1039, 1041, 1042, 1044, 1045,
                             1047, 1048, 1024, 2000, 1028, 1008, 1009, 1029, 1052, 1054,
                             1055, 1056, 1057, 1058, 1059, 1060, 1061};

int ControlId(const QWidget* widget) {
  // The dialog names its controls "control<id>"; the preset list's name field is the list.
  if (widget != nullptr && qobject_cast<const QComboBox*>(widget->parentWidget())) {
    widget = widget->parentWidget();
  }
  return widget == nullptr ? 0 : widget->objectName().mid(7).toInt();
}

class TabTest : public AccessibilityTest {
 protected:
  // Where Tab goes, from the first control round to it again.
  std::vector<int> WalkTab(int first) {
    for (int id : kTabStops) Control(id)->setEnabled(true);  // fields of other styles
    Control(first)->setFocus(Qt::TabFocusReason);
    std::vector<int> stops = {ControlId(QApplication::focusWidget())};
    for (int step = 0; step < 60; ++step) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      // Leaving the tempo field disables Delete (the preset is deselected): enabled again.
      Control(kIdDeletePreset)->setEnabled(true);
      if (ControlId(QApplication::focusWidget()) == stops.front()) break;
      stops.push_back(ControlId(QApplication::focusWidget()));
    }
    return stops;
  }
};

TEST_F(TabTest, TabReachesEveryControlInTheTemplatesOrder) {
  const std::vector<int> expected(std::begin(kTabStops), std::end(kTabStops));
  EXPECT_EQ(WalkTab(kIdStraight), expected);

  // With Simple Measure chosen the style group is entered at that button, and the arrow keys
  // move between the three, choosing as they go.
  QTest::keyClick(Get<QRadioButton>(kIdStraight), Qt::Key_Down);
  EXPECT_TRUE(Get<QRadioButton>(kIdSimpleMeasure)->hasFocus());
  EXPECT_TRUE(Get<QRadioButton>(kIdSimpleMeasure)->isChecked());
  std::vector<int> simple = expected;
  simple.front() = kIdSimpleMeasure;
  EXPECT_EQ(WalkTab(kIdSimpleMeasure), simple);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(ControlId(QApplication::focusWidget()), kIdBlink);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(ControlId(QApplication::focusWidget()), kIdSimpleMeasure);
}

// Each control looks different while it has the keyboard focus than after Tab moved on.
TEST_F(TabTest, TheFocusCanBeSeenOnEveryControl) {
  for (int id : kTabStops) Control(id)->setEnabled(true);
  Control(kIdBlink)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(Control(kIdBlink), Qt::Key_Tab);  // the focus now moves by keyboard
  std::vector<int> checked;
  for (std::size_t i = 0; i < std::size(kTabStops); ++i) {
    QWidget* widget = QApplication::focusWidget();
    const int id = ControlId(widget);
    ASSERT_EQ(id, kTabStops[i]);
    QWidget* control = Control(id);
    // A text field's cursor blinks; with it at the start it is drawn now.
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->setCursorPosition(0);
    const QImage with = control->grab().toImage();
    QTest::keyClick(widget, Qt::Key_Tab);
    Control(kIdDeletePreset)->setEnabled(true);
    ASSERT_FALSE(control->hasFocus());
    const QImage without = control->grab().toImage();
    EXPECT_TRUE(with != without) << "control " << id << " shows no focus";
    checked.push_back(id);
  }
  EXPECT_EQ(checked.size(), std::size(kTabStops));
}

}  // namespace
}  // namespace ticktavo::testing
