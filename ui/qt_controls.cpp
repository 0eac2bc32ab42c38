#include "ui/qt_controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include "ui/accessibility.h"
#include "ui/blinker_static.h"
#include "ui/up_down_ctrl.h"

namespace ticktavo {

namespace {

std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Marks the setters' widget changes as the program's own.
class ProgramChange {
 public:
  explicit ProgramChange(bool& flag) : m_flag(flag), m_was(flag) { flag = true; }
  ~ProgramChange() { m_flag = m_was; }

 private:
  bool& m_flag;
  bool m_was;
};

}  // namespace

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <class T>
T* QtControls::As(int id) const {
  return qobject_cast<T*>(Control(id));
}

std::string QtControls::Text(int id) const {
  if (auto* edit = As<QLineEdit>(id)) return ToUtf8(edit->text());
  if (auto* combo = As<QComboBox>(id)) return ToUtf8(combo->currentText());
  if (auto* button = As<QAbstractButton>(id)) return ToUtf8(button->text());
  if (auto* label = As<QLabel>(id)) return ToUtf8(label->text());
  if (auto* box = As<QGroupBox>(id)) return ToUtf8(box->title());
  return {};
}

void QtControls::SetText(int id, std::string_view text) {
  ProgramChange change(m_fromProgram);
  if (auto* edit = As<QLineEdit>(id)) edit->setText(FromUtf8(text));
  if (auto* combo = As<QComboBox>(id)) combo->setEditText(FromUtf8(text));
  if (auto* button = As<QAbstractButton>(id)) button->setText(FromUtf8(text));
  if (auto* label = As<QLabel>(id)) label->setText(FromUtf8(text));
  if (auto* box = As<QGroupBox>(id)) box->setTitle(FromUtf8(text));
}

bool QtControls::IsChecked(int id) const {
  return As<QAbstractButton>(id) != nullptr && As<QAbstractButton>(id)->isChecked();
}

void QtControls::SetChecked(int id, bool checked) {
  ProgramChange change(m_fromProgram);
  auto* button = As<QAbstractButton>(id);
  if (button == nullptr) return;
  // Radio buttons keep one of their group checked by themselves; this interface clears one
  // on its own.
  const bool exclusive = button->autoExclusive();
  if (!checked) button->setAutoExclusive(false);
  button->setChecked(checked);
  button->setAutoExclusive(exclusive);
}

void QtControls::SetRange(int id, int minimum, int maximum) {
  if (auto* slider = As<QSlider>(id)) slider->setRange(minimum, maximum);
  if (auto* bar = As<QProgressBar>(id)) bar->setRange(minimum, maximum);
}

int QtControls::Position(int id) const {
  // While the user moves a slider its value is still the old one: the thumb's place counts.
  if (auto* slider = As<QSlider>(id)) return slider->sliderPosition();
  if (auto* upDown = As<UpDownCtrl>(id)) return upDown->Position();
  if (auto* bar = As<QProgressBar>(id)) return bar->value();
  return 0;
}

void QtControls::SetPosition(int id, int position) {
  ProgramChange change(m_fromProgram);
  if (auto* slider = As<QSlider>(id)) slider->setValue(position);
  if (auto* upDown = As<UpDownCtrl>(id)) upDown->SetPosition(position);
  if (auto* bar = As<QProgressBar>(id)) bar->setValue(position);
}

void QtControls::InsertItem(int id, int position, std::string_view text) {
  ProgramChange change(m_fromProgram);
  if (auto* combo = As<QComboBox>(id)) {
    combo->insertItem(position < 0 ? combo->count() : position, FromUtf8(text));
  }
}

void QtControls::RemoveItem(int id, int position) {
  ProgramChange change(m_fromProgram);
  if (auto* combo = As<QComboBox>(id)) combo->removeItem(position);
}

int QtControls::ItemCount(int id) const {
  return As<QComboBox>(id) != nullptr ? As<QComboBox>(id)->count() : 0;
}

std::string QtControls::ItemText(int id, int position) const {
  return As<QComboBox>(id) != nullptr ? ToUtf8(As<QComboBox>(id)->itemText(position)) : "";
}

int QtControls::Selection(int id) const {
  return As<QComboBox>(id) != nullptr ? As<QComboBox>(id)->currentIndex() : -1;
}

void QtControls::SetSelection(int id, int position) {
  ProgramChange change(m_fromProgram);
  auto* combo = As<QComboBox>(id);
  if (combo == nullptr) return;
  const bool listed = position >= 0 && position < combo->count();
  combo->setCurrentIndex(listed ? position : -1);
  // The edit part shows the item's text (or nothing), also when the item was already the
  // current one and the user has typed over its name since.
  if (combo->isEditable()) combo->setEditText(listed ? combo->itemText(position) : QString());
}

bool QtControls::IsEnabled(int id) const {
  return Control(id) != nullptr && Control(id)->isEnabled();
}

void QtControls::SetEnabled(int id, bool enabled) {
  if (QWidget* widget = Control(id)) widget->setEnabled(enabled);
}

bool QtControls::IsVisible(int id) const {
  return Control(id) != nullptr && !Control(id)->isHidden();
}

void QtControls::SetVisible(int id, bool visible) {
  if (QWidget* widget = Control(id)) widget->setVisible(visible);
}

Rect QtControls::Place(int id) const {
  const QRect r = Control(id) != nullptr ? Control(id)->geometry() : QRect();
  return Rect{r.x(), r.y(), r.width(), r.height()};
}

void QtControls::SetPlace(int id, Rect place) {
  if (QWidget* widget = Control(id))
    widget->setGeometry(place.x, place.y, place.width, place.height);
}

void QtControls::SetToolTip(int id, std::string_view text) {
  if (QWidget* widget = Control(id)) {
    widget->setToolTip(FromUtf8(text));
    NotifyDescriptionChanged(*widget);  // the tooltip is its description
  }
}

void QtControls::SetFocus(int id) {
  if (QWidget* widget = Control(id)) widget->setFocus(Qt::OtherFocusReason);
}

void QtControls::SetDefaultButton(int id) {
  for (QWidget* widget : m_built.InTemplateOrder()) {
    if (auto* button = qobject_cast<QPushButton*>(widget))
      button->setDefault(widget == Control(id));
  }
}

void QtControls::SetFrame(int id, int frame) {
  if (auto* blinker = As<BlinkerStatic>(id)) blinker->SetFrame(frame);
}

}  // namespace ticktavo
