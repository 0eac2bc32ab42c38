#include "dialog_rig.h"

#include <algorithm>
#include <chrono>

#include "dialog/dialog_units.h"
#include "res/resource_ids.h"
#include "store/stored_settings.h"

namespace ticktavo::testing {

namespace {

std::string KeyPath(std::string_view preset) {
  return preset.empty() ? PresetKeyPath(std::nullopt) : PresetKeyPath(preset);
}

}  // namespace

// --- FakeControls ---

FakeControls::FakeControls(const DialogTemplate& dialogTemplate, DialogUnits units) {
  for (const ControlTemplate& t : dialogTemplate.controls) {
    Control& control = m_controls[t.id];
    control.kind = t.kind;
    control.text = t.caption;
    control.enabled = (t.style & kStyleDisabled) == 0;
    const bool combo =
        t.kind == ControlKind::kComboDropDown || t.kind == ControlKind::kComboDropList;
    control.place = units.ToPixels(t.x, t.y, t.cx, combo ? 13 : t.cy);  // combos closed
  }
}

FakeControls::Control& FakeControls::At(int id) {
  auto it = m_controls.find(id);
  if (it == m_controls.end()) {
    ADD_FAILURE() << "no control " << id;
    return m_controls[0];
  }
  return it->second;
}

const FakeControls::Control& FakeControls::At(int id) const {
  return const_cast<FakeControls*>(this)->At(id);
}

void FakeControls::SetRange(int id, int minimum, int maximum) {
  Control& control = At(id);
  control.minimum = minimum;
  control.maximum = maximum;
  control.position = std::clamp(control.position, minimum, maximum);
}

void FakeControls::SetPosition(int id, int position) {
  Control& control = At(id);
  control.position = std::clamp(position, control.minimum, control.maximum);
}

void FakeControls::InsertItem(int id, int position, std::string_view text) {
  auto& items = At(id).items;
  const auto at = position < 0 || position > static_cast<int>(items.size())
                      ? items.end()
                      : items.begin() + position;
  items.insert(at, std::string(text));
}

void FakeControls::RemoveItem(int id, int position) {
  Control& control = At(id);
  if (position < 0 || position >= static_cast<int>(control.items.size())) return;
  control.items.erase(control.items.begin() + position);
  if (control.selection == position) control.selection = -1;
  if (control.selection > position) --control.selection;
}

std::string FakeControls::ItemText(int id, int position) const {
  const auto& items = At(id).items;
  return position >= 0 && position < static_cast<int>(items.size())
             ? items[static_cast<std::size_t>(position)]
             : std::string();
}

void FakeControls::SetSelection(int id, int position) {
  Control& control = At(id);
  const bool listed = position >= 0 && position < static_cast<int>(control.items.size());
  control.selection = listed ? position : -1;
  control.text = listed ? control.items[static_cast<std::size_t>(position)] : std::string();
}

void FakeControls::SetVisible(int id, bool visible) {
  Control& control = At(id);
  if (control.visible && !visible) hidden.push_back(id);
  control.visible = visible;
}

// --- FakeHost ---

MessageResult FakeHost::Answer(std::vector<Box>& boxes, std::deque<MessageResult>& answers,
                               Box box) {
  boxes.push_back(box);
  if (box.buttons == MessageButtons::kOk) return MessageResult::kOk;
  if (answers.empty()) return MessageResult::kNo;
  const MessageResult answer = answers.front();
  answers.pop_front();
  return answer;
}

MessageResult FakeHost::ShowMessageBox(std::string_view caption, std::string_view text,
                                       MessageIcon icon, MessageButtons buttons) {
  const bool owned = shown && (m_dialog == nullptr || !m_dialog->IsWindowGone());
  return Answer(boxes, answers, {std::string(caption), std::string(text), icon, buttons, owned});
}

Size FakeHost::ClientSize() const {
  return Size{place.right - place.left - frame.width, place.bottom - place.top - frame.height};
}

void FakeHost::ResizeClient(int width, int height) {
  int outerWidth = width + frame.width;
  int outerHeight = height + frame.height;
  if (limits) {
    outerWidth = std::clamp(outerWidth, limits->minWidth, limits->maxWidth);
    outerHeight = std::clamp(outerHeight, limits->minHeight, limits->maxHeight);
  }
  if (outerWidth == place.right - place.left && outerHeight == place.bottom - place.top) return;
  place.right = place.left + outerWidth;
  place.bottom = place.top + outerHeight;
  if (m_dialog != nullptr) m_dialog->OnSize();
}

void FakeHost::MoveWindow(WindowRect rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  place = WindowRect{rect.left, rect.top, rect.left + place.right - place.left,
                     rect.top + place.bottom - place.top};
  ResizeClient(width - frame.width, height - frame.height);
}

void FakeHost::MoveWindowClient(int left, int top, Size client) {
  place = WindowRect{left, top, left + place.right - place.left, top + place.bottom - place.top};
  ResizeClient(client.width, client.height);
}

void FakeHost::SetSizeLimits(const SizeLimits& value) {
  limits = value;
  const Size client = ClientSize();
  ResizeClient(client.width, client.height);
}

bool FakeHost::FireTimer(int id) {
  if (timers.erase(id) == 0) return false;
  if (m_dialog != nullptr) m_dialog->OnTimer(id);
  return true;
}

void FakeHost::CloseWindow() {
  ++closeRequests;
  if (m_dialog != nullptr) m_dialog->OnClose();
}

// --- ClockGate ---

ClockGate::ClockGate(FakeClock& clock, std::int64_t tick) {
  clock.At(tick, [this] {
    std::unique_lock lock(m_mutex);
    m_held = true;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_released; });
  });
}

bool ClockGate::WaitUntilHeld() {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_held; });
}

void ClockGate::Release() {
  std::lock_guard lock(m_mutex);
  m_released = true;
  m_changed.notify_all();
}

// --- DialogTest ---

void DialogTest::TearDown() {
  m_dialog.reset();
}

void DialogTest::Build() {
  m_dialog = std::make_unique<MetronomeDialog>(m_controls, m_host, *m_registry, m_clock, m_midi,
                                               TimingPriority::kNormal);
  m_host.Attach(m_dialog.get());
}

void DialogTest::Open() {
  Build();
  m_dialog->OnInitDialog();
  m_host.shown = true;
}

void DialogTest::Type(int id, std::string_view text) {
  m_controls.SetText(id, text);
  m_dialog->OnCommand(id,
                      id == kIdPresetCombo ? Notification::kEditChange : Notification::kChanged);
}

void DialogTest::LeaveField(int id) {
  m_dialog->OnCommand(id, Notification::kKillFocus);
}

void DialogTest::Click(int id) {
  FakeControls::Control& control = At(id);
  if (control.kind == ControlKind::kCheckBox) control.checked = !control.checked;
  if (control.kind == ControlKind::kRadioButton) {
    for (int radio : {kIdStraight, kIdSimpleMeasure, kIdCustom}) At(radio).checked = radio == id;
  }
  m_dialog->OnCommand(id, Notification::kClicked);
}

void DialogTest::Choose(int id, int position) {
  m_controls.SetSelection(id, position);
  m_dialog->OnCommand(id, Notification::kSelChange);
}

void DialogTest::Slide(int id, int position, bool dragging) {
  m_controls.SetPosition(id, position);
  m_dialog->OnHScroll(id, dragging);
}

bool DialogTest::PlayUntilNotes(std::size_t count) {
  if (!m_midi.WaitForSent(count, std::chrono::seconds(10))) return false;
  m_dialog->OnWake();
  return true;
}

void DialogTest::StoreDwords(std::string_view preset,
                             std::vector<std::pair<std::string, int>> values) {
  OpenKey key(*m_registry);
  ASSERT_EQ(key.Create(Registry::kCurrentUser, KeyPath(preset), RegAccess::kReadWrite),
            RegResult::kSuccess);
  for (const auto& [name, value] : values) {
    EXPECT_EQ(WriteDword(*m_registry, key.Get(), name, value), RegResult::kSuccess) << name;
  }
}

int DialogTest::StoredDword(std::string_view preset, std::string_view name, int fallback) {
  OpenKey key(*m_registry);
  if (key.Open(Registry::kCurrentUser, KeyPath(preset), RegAccess::kRead) != RegResult::kSuccess) {
    return fallback;
  }
  return ReadDword(*m_registry, key.Get(), name, fallback);
}

bool DialogTest::PresetExists(std::string_view preset) {
  return OpenKey(*m_registry).Open(Registry::kCurrentUser, KeyPath(preset), RegAccess::kRead) ==
         RegResult::kSuccess;
}

}  // namespace ticktavo::testing
