#include "ui/accessibility.h"

#include <array>
#include <cmath>

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>

#include "res/accessible_names.h"
#include "res/dialog_template.h"
#include "res/resource_ids.h"
#include "rhythm/percussion_table.h"
#include "ui/about_window.h"
#include "ui/blinker_static.h"
#include "ui/metronome_window.h"
#include "ui/up_down_ctrl.h"

namespace ticktavo {

namespace {

// What a window slider's value means to a screen reader (a property on the slider).
constexpr char kSliderScaleProperty[] = "ticktavoSliderScale";
enum class SliderScale { kPosition = 1, kTempo = 2 };

// A blinker as a screen reader sees it: a picture with a value, the frame it shows. The value
// is read-only; the frame is the timing thread's and the blinker-size slider's to change.
class BlinkerAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit BlinkerAccessible(BlinkerStatic* blinker)
      : QAccessibleWidget(blinker, QAccessible::Graphic) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Value) return QString::number(Frame());
    return QAccessibleWidget::text(type);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    return state;
  }

  QVariant currentValue() const override { return Frame(); }
  void setCurrentValue(const QVariant& /*value*/) override {}
  QVariant maximumValue() const override { return BlinkerStatic::kFrameCount - 1; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  int Frame() const {
    // The widget may already be gone while a screen reader still holds this interface.
    const auto* blinker = static_cast<const BlinkerStatic*>(object());
    return blinker != nullptr ? blinker->Frame() : 0;
  }
};

// A slider of the window. A value set by a screen reader (or any other assistive tool) moves
// the thumb the way the user's own move does, so the window takes the new volume, blinker size
// or tempo; Qt's own slider interface only sets the position, which the window never hears
// of, and the voice would go on playing at the old volume. The tempo slider speaks in beats
// per minute: its positions are thousandths of a logarithm, no number a musician knows.
class SliderAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  SliderAccessible(QSlider* slider, SliderScale scale)
      : QAccessibleWidget(slider, QAccessible::Slider), m_scale(scale) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Value) return QString::number(currentValue().toInt());
    return QAccessibleWidget::text(type);
  }

  QVariant currentValue() const override { return FromPosition(Slider()->value()); }
  QVariant maximumValue() const override { return FromPosition(Slider()->maximum()); }
  QVariant minimumValue() const override { return FromPosition(Slider()->minimum()); }
  QVariant minimumStepSize() const override {
    return m_scale == SliderScale::kTempo ? 1 : Slider()->singleStep();
  }

  void setCurrentValue(const QVariant& value) override {
    bool isNumber = false;
    const double wanted = value.toDouble(&isNumber);
    // The value comes from another program over the bus: NaN or infinity means nothing.
    if (!isNumber || !std::isfinite(wanted)) return;
    const int low = minimumValue().toInt();
    const int high = maximumValue().toInt();
    const int clamped = wanted <= low ? low : (wanted >= high ? high : static_cast<int>(wanted));
    QSlider* slider = Slider();
    slider->setSliderPosition(ToPosition(clamped));
    slider->triggerAction(QAbstractSlider::SliderMove);
  }

 private:
  QSlider* Slider() const { return static_cast<QSlider*>(object()); }
  int FromPosition(int position) const {
    return m_scale == SliderScale::kTempo ? MetronomeDialog::SliderToBpm(position) : position;
  }
  int ToPosition(int value) const {
    return m_scale == SliderScale::kTempo ? MetronomeDialog::BpmToSlider(value) : value;
  }

  SliderScale m_scale;
};

// A combo box announced by its name, with the choice shown as its value. (Qt names combo
// boxes on Linux by their current text and leaves the rest to a label beside them, which
// would make the voice rows' lists "Side Stick", "Bass Drum 1", ... with no word of what
// they choose.) Combo boxes without a name of their own keep Qt's interface.
class NamedComboAccessible final : public QAccessibleWidget {
 public:
  explicit NamedComboAccessible(QComboBox* combo)
      : QAccessibleWidget(combo, QAccessible::ComboBox) {}

  int childCount() const override { return Combo()->isEditable() ? 2 : 1; }

  // The list it drops down, and the edit field of an editable one.
  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(Combo()->view());
    if (index == 1 && Combo()->isEditable()) {
      return QAccessible::queryAccessibleInterface(Combo()->lineEdit());
    }
    return nullptr;
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    if (child->object() == Combo()->view()) return 0;
    if (Combo()->isEditable() && child->object() == Combo()->lineEdit()) return 1;
    return -1;
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    QLineEdit* edit = Combo()->isEditable() ? Combo()->lineEdit() : nullptr;
    if (edit != nullptr && QRect(edit->mapToGlobal(QPoint(0, 0)), edit->size()).contains(x, y)) {
      return child(1);
    }
    return nullptr;
  }

  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Value) {
      return Combo()->isEditable() ? Combo()->lineEdit()->text() : Combo()->currentText();
    }
    return QAccessibleWidget::text(type);
  }

  QStringList actionNames() const override {
    return {QAccessibleActionInterface::showMenuAction(),
            QAccessibleActionInterface::pressAction()};
  }

  void doAction(const QString& action) override {
    if (action != QAccessibleActionInterface::showMenuAction() &&
        action != QAccessibleActionInterface::pressAction()) {
      return;
    }
    if (Combo()->view()->isVisible()) {
      Combo()->hidePopup();
    } else {
      Combo()->showPopup();
    }
  }

  QStringList keyBindingsForAction(const QString& /*action*/) const override { return {}; }

 private:
  QComboBox* Combo() const { return static_cast<QComboBox*>(object()); }
};

QAccessibleInterface* AccessibleFactory(const QString& className, QObject* object) {
  if (object == nullptr) return nullptr;
  if (className == QLatin1String(BlinkerStatic::staticMetaObject.className())) {
    auto* blinker = qobject_cast<BlinkerStatic*>(object);
    return blinker != nullptr ? new BlinkerAccessible(blinker) : nullptr;
  }
  if (className == QLatin1String("QSlider")) {
    const int scale = object->property(kSliderScaleProperty).toInt();
    auto* slider = qobject_cast<QSlider*>(object);
    if (slider != nullptr && scale != 0) {
      return new SliderAccessible(slider, static_cast<SliderScale>(scale));
    }
  }
  if (className == QLatin1String("QComboBox")) {
    auto* combo = qobject_cast<QComboBox*>(object);
    if (combo != nullptr && !combo->accessibleName().isEmpty()) {
      return new NamedComboAccessible(combo);
    }
  }
  return nullptr;
}

// Qt keeps the first interface it made for a widget. A widget that reached a screen reader (or
// Qt's own notices) before it was named here is given a fresh one from the factory above.
void RenewInterface(QWidget* widget) {
  if (widget == nullptr) return;
  if (QAccessibleInterface* stale = QAccessible::queryAccessibleInterface(widget)) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(stale));
  }
}

// The list a combo box drops down is a part of it a screen reader walks into.
void NameComboList(QComboBox* combo) {
  if (combo == nullptr || combo->view() == nullptr) return;
  combo->view()->setAccessibleName(combo->accessibleName() + QStringLiteral(" list"));
}

void NameUpDownArrows(UpDownCtrl* upDown) {
  if (upDown == nullptr) return;
  for (QToolButton* arrow : upDown->findChildren<QToolButton*>()) {
    if (arrow->arrowType() == Qt::UpArrow) {
      arrow->setAccessibleName(QStringLiteral("More beats per measure"));
    } else if (arrow->arrowType() == Qt::DownArrow) {
      arrow->setAccessibleName(QStringLiteral("Fewer beats per measure"));
    }
  }
}

void SetSliderScale(QSlider* slider, SliderScale scale) {
  if (slider == nullptr) return;
  slider->setProperty(kSliderScaleProperty, static_cast<int>(scale));
  RenewInterface(slider);
}

void Label(QWidget* label, QWidget* control) {
  if (auto* text = qobject_cast<QLabel*>(label); text != nullptr && control != nullptr) {
    text->setBuddy(control);
  }
}

}  // namespace

void MakeMainWindowAccessible(MetronomeWindow& window) {
  InstallAccessibleInterfaces();
  for (const ControlTemplate& control : MainDialogTemplate().controls) {
    const std::string name = MainWindowAccessibleName(control.id);
    if (!name.empty()) window.Control(control.id)->setAccessibleName(QString::fromStdString(name));
  }
  for (int voice = 0; voice < kVoiceCount; ++voice) {
    auto* combo = window.Get<QComboBox>(kIdVoiceInstrument[voice]);
    NameComboList(combo);
    Label(window.Control(kIdVoiceLabel[voice]), combo);
    RenewInterface(combo);
    RenewInterface(window.Control(kIdVoiceBlinker[voice]));
    SetSliderScale(window.Get<QSlider>(kIdVoiceVolume[voice]), SliderScale::kPosition);
    SetSliderScale(window.Get<QSlider>(kIdVoiceBlinkSize[voice]), SliderScale::kPosition);
  }
  SetSliderScale(window.Get<QSlider>(kIdTempoSlider), SliderScale::kTempo);
  // "Tempo" stands at the slider's left end.
  Label(window.Control(kIdTempoLabel), window.Control(kIdTempoSlider));
  RenewInterface(window.Control(kIdMainBlinker));

  // The focus goes into the preset list's own name field, so it carries the list's name and
  // description too.
  if (auto* presets = window.Get<QComboBox>(kIdPresetCombo)) {
    NameComboList(presets);
    if (QLineEdit* name = presets->lineEdit()) {
      name->setAccessibleName(presets->accessibleName());
      name->setAccessibleDescription(presets->toolTip());
    }
    RenewInterface(presets);
  }
  NameUpDownArrows(window.Get<UpDownCtrl>(kIdBeatsUpDown));
}

void MakeAboutBoxAccessible(AboutWindow& about) {
  InstallAccessibleInterfaces();
  if (QLabel* icon = about.IconStatic()) icon->setAccessibleName(QStringLiteral("Ticktavo"));
}

void InstallAccessibleInterfaces() {
  static const bool installed = [] {
    QAccessible::installFactory(&AccessibleFactory);
    return true;
  }();
  (void)installed;
}

void NotifyDescriptionChanged(QWidget& widget) {
  // Qt does not say so itself, and a screen reader keeps what it read last, so the Play
  // button would go on describing "Start" while playing.
  if (!QAccessible::isActive() || !widget.accessibleDescription().isEmpty()) return;
  QAccessibleEvent changed(&widget, QAccessible::DescriptionChanged);
  QAccessible::updateAccessibility(&changed);
}

void NotifyBlinkerFrameChanged(BlinkerStatic& blinker) {
  // The timing thread waits while this runs: nothing to do while nothing listens.
  if (!QAccessible::isActive()) return;
  QAccessibleValueChangeEvent changed(&blinker, blinker.Frame());
  QAccessible::updateAccessibility(&changed);
}

}  // namespace ticktavo
