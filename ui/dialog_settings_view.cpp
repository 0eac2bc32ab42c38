#include "ui/dialog_settings_view.h"

#include <algorithm>
#include <cstdint>

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include "res/resource_ids.h"
#include "ui/measure_edit.h"
#include "ui/message_box.h"
#include "ui/metronome_dialog.h"

namespace ticktavo {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Sets a field's text from the program. A field's change handler runs on every text that is
// set, the same text included; Qt notifies only real changes, so an unchanged text calls
// the handler directly.
template <typename Handler>
void SetFieldText(QLineEdit* field, std::string_view text, Handler handler) {
  const QString value = FromUtf8(text);
  if (field->text() == value) {
    handler();
  } else {
    field->setText(value);
  }
}

// A stored edge pair as a size Qt can take: negative or absurd sizes from a damaged file are
// held to what a widget may have, and the window's own limits then apply.
int SizeBetween(int from, int to) {
  const std::int64_t size = static_cast<std::int64_t>(to) - from;
  return static_cast<int>(std::clamp<std::int64_t>(size, 0, QWIDGETSIZE_MAX));
}

// The frame is the window manager's, and its thickness is known only once the window is on
// screen. A rectangle applied before that (at start-up the window is placed before it is
// first shown) would otherwise count the frame into the inside, and the window would grow by
// the frame at every start. This keeps the requested outer size until the frame is known,
// then sets the inside to it once and goes away.
class OuterSizeKeeper final : public QObject {
 public:
  OuterSizeKeeper(QWidget& window, QSize outer)
      : QObject(&window), m_window(window), m_outer(outer) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                                 event->type() == QEvent::Show)) {
      const QSize frame = m_window.frameGeometry().size() - m_window.size();
      if (!frame.isNull()) {
        m_window.removeEventFilter(this);
        // Queued: the window's size limits are converted to inside sizes by their own watcher
        // of this same event, which may run after this one; resizing now would be clamped by
        // the limits of a window without a frame and come back taller by the frame.
        const QSize inside = (m_outer - frame).expandedTo(QSize(0, 0));
        QWidget* window = &m_window;
        QTimer::singleShot(0, window, [window, inside] { window->resize(inside); });
        deleteLater();
      }
    }
    return false;
  }

 private:
  QWidget& m_window;
  QSize m_outer;
};

}  // namespace

// --- Applying loaded settings ---

void DialogSettingsView::SetTempoText(std::string_view text) {
  SetFieldText(m_dialog.TempoEdit(), text, [this] { m_dialog.OnTempoEditChange(); });
}

void DialogSettingsView::TempoEditKillFocus() {
  m_dialog.OnTempoEditKillFocus();
}

void DialogSettingsView::SetBeatsPerMeasureText(std::string_view text) {
  SetFieldText(m_dialog.BeatsEdit(), text, [this] { m_dialog.OnBeatsPerMeasureChanged(); });
}

void DialogSettingsView::ShowInstrument(int voice, int instrument) {
  m_dialog.SetVoiceInstrument(voice, instrument);
}

void DialogSettingsView::ShowVolume(int voice, int volume) {
  m_dialog.SetVoiceVolume(voice, volume);
}

void DialogSettingsView::ShowBlinkSize(int voice, int size) {
  m_dialog.SetVoiceBlinkSize(voice, size);
}

void DialogSettingsView::SetCustomMeasureText(std::string_view text) {
  SetFieldText(m_dialog.CustomMeasureEdit(), text, [this] { m_dialog.OnCustomMeasureChanged(); });
}

void DialogSettingsView::ApplyStyle(MetronomeStyle style) {
  // The three buttons are one exclusive group: checking one clears the other two.
  switch (style) {
    case MetronomeStyle::Straight:
      m_dialog.StraightRadio()->setChecked(true);
      m_dialog.SetStraightStyle();
      break;
    case MetronomeStyle::SimpleMeasure:
      m_dialog.SimpleMeasureRadio()->setChecked(true);
      m_dialog.SetSimpleMeasureStyle();
      break;
    case MetronomeStyle::Custom:
      m_dialog.CustomRadio()->setChecked(true);
      m_dialog.SetCustomStyle();
      break;
  }
}

void DialogSettingsView::ShowBlinking(bool on) {
  m_dialog.BlinkCheck()->setChecked(on);
  m_dialog.OnBlinkClicked();
}

void DialogSettingsView::CaptureLayout() {
  // The window's folding layout is taken here, from the controls at their created places and
  // before the stored rectangle resizes the window.
  m_dialog.CaptureLayout();
}

void DialogSettingsView::MoveWindowTo(WindowRect rect) {
  QWidget& window = m_dialog;
  const QSize outer(SizeBetween(rect.left, rect.right), SizeBetween(rect.top, rect.bottom));
  // A window's position is its frame's corner; its size is the inside only.
  window.move(rect.left, rect.top);
  const QSize frame = window.frameGeometry().size() - window.size();
  if (frame.isNull() && !window.isVisible()) new OuterSizeKeeper(window, outer);
  window.resize((outer - frame).expandedTo(QSize(0, 0)));
  window.update();
}

// --- The current state ---

int DialogSettingsView::Bpm() const {
  return m_dialog.Bpm();
}

std::string DialogSettingsView::BeatsPerMeasureText() const {
  return ToUtf8(m_dialog.BeatsEdit()->text());
}

int DialogSettingsView::Style() const {
  return static_cast<int>(m_dialog.Style());
}

int DialogSettingsView::Instrument(int voice) const {
  return m_dialog.Voices().m_instrument.at(static_cast<std::size_t>(voice));
}

int DialogSettingsView::Volume(int voice) const {
  return m_dialog.Voices().m_volume.at(static_cast<std::size_t>(voice));
}

int DialogSettingsView::BlinkSize(int voice) const {
  return m_dialog.Voices().m_blinkSize.at(static_cast<std::size_t>(voice));
}

std::string DialogSettingsView::CustomMeasureText() const {
  return ToUtf8(m_dialog.CustomMeasureEdit()->text());
}

bool DialogSettingsView::Blinking() const {
  return m_dialog.Blinking();
}

WindowRect DialogSettingsView::CurrentWindowRect() const {
  const QRect frame = m_dialog.frameGeometry();
  return {frame.x(), frame.y(), frame.x() + frame.width(), frame.y() + frame.height()};
}

std::vector<WindowRect> DialogSettingsView::ScreenRects() const {
  std::vector<WindowRect> rects;
  const QScreen* primary = QGuiApplication::primaryScreen();
  auto add = [&rects](const QScreen* screen) {
    const QRect area = screen->geometry();
    rects.push_back({area.x(), area.y(), area.x() + area.width(), area.y() + area.height()});
  };
  if (primary != nullptr) add(primary);
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen != primary) add(screen);
  }
  return rects;
}

// --- The preset combo box ---

int DialogSettingsView::PresetCount() const {
  return m_dialog.PresetCombo()->count();
}

std::string DialogSettingsView::PresetText(int position) const {
  return ToUtf8(m_dialog.PresetCombo()->itemText(position));
}

void DialogSettingsView::InsertPreset(int position, std::string_view name) {
  m_dialog.PresetCombo()->insertItem(position, FromUtf8(name));
}

void DialogSettingsView::RemovePreset(int position) {
  m_dialog.PresetCombo()->removeItem(position);
}

int DialogSettingsView::SelectedPreset() const {
  return m_dialog.PresetCombo()->currentIndex();
}

void DialogSettingsView::SelectPreset(int position) {
  QComboBox* combo = m_dialog.PresetCombo();
  combo->setCurrentIndex(position);
  // Selecting shows the item's text in the name field (or empties it), also when the item
  // was already the current one and the user has typed over its name since.
  combo->setEditText(position >= 0 && position < combo->count() ? combo->itemText(position)
                                                                : QString());
}

std::string DialogSettingsView::PresetNameText() const {
  return ToUtf8(m_dialog.PresetCombo()->currentText());
}

// --- Buttons, the dialog, message boxes ---

void DialogSettingsView::EnableSave(bool enabled) {
  m_dialog.SaveButton()->setEnabled(enabled);
}

void DialogSettingsView::EnableDelete(bool enabled) {
  m_dialog.DeleteButton()->setEnabled(enabled);
}

void DialogSettingsView::MakeSaveDefault() {
  m_dialog.SetDefaultButton(kIdSavePreset);
}

void DialogSettingsView::OnSettingsChanged() {
  m_dialog.OnSettingsChanged();
}

bool DialogSettingsView::AskYesNo(std::string_view caption, std::string_view text) {
  return ShowMessageBox(&m_dialog, caption, text, MessageIcon::kQuestion, MessageButtons::kYesNo) ==
         MessageResult::kYes;
}

void DialogSettingsView::ShowError(std::string_view caption, std::string_view text) {
  ShowMessageBox(&m_dialog, caption, text, MessageIcon::kError, MessageButtons::kOk);
}

}  // namespace ticktavo
