#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rhythm/measure.h"
#include "rhythm/practice.h"
#include "store/stored_settings.h"

namespace ticktavo {

// What the settings and preset commands need from the main dialog. The dialog implements it
// over its controls. Setting a control from here behaves exactly as setting it from code
// does in the dialog: the change handlers of the fields run at once, and several of them
// end in OnSettingsChanged, which clears the preset selection. That is why SettingsStore
// calls these in a fixed order (see settings_store.h).
//
// Every call happens on the user-interface thread, inside a SettingsStore call.
class SettingsView {
 public:
  // ---- Applying loaded settings ----

  // Sets the tempo field's text. Its change handler takes the number into the tempo,
  // clamped to 4..1000 like typed text, moves the slider, hands a new tempo to a playing
  // engine and enables Save.
  virtual void SetTempoText(std::string_view text) = 0;
  // Runs the tempo field's focus-loss handler: the tempo is written back into the field
  // and OnSettingsChanged runs.
  virtual void TempoEditKillFocus() = 0;
  // Sets the beats-per-measure field's text; its change handler rebuilds the simple
  // measure.
  virtual void SetBeatsPerMeasureText(std::string_view text) = 0;
  // Sets the voice's instrument (0..46) and selects its row in the voice's list without
  // running the list's selection handler.
  virtual void ShowInstrument(int voice, int instrument) = 0;
  // Sets the voice's volume (0..127) and its slider, redrawn.
  virtual void ShowVolume(int voice, int volume) = 0;
  // Sets the voice's blinker size (0..8), its slider (redrawn) and the frame its blinker
  // shows.
  virtual void ShowBlinkSize(int voice, int size) = 0;
  // Sets the custom measure field's text; its change handler stops a playing metronome.
  virtual void SetCustomMeasureText(std::string_view text) = 0;
  // Checks the style's radio button, unchecks the other two and runs that style's command
  // (Straight, Simple Measure or Custom).
  virtual void ApplyStyle(MetronomeStyle style) = 0;
  // Sets the Blink check box and runs its click handler, which hands the flag to the engine.
  virtual void ShowBlinking(bool on) = 0;
  // Sets the practice tools (numbers within their ranges); they act from the next beat queued.
  virtual void ShowPractice(const PracticeSettings& practice) = 0;
  // Records the dialog's layout for resizing, while the window still has its created size.
  virtual void CaptureLayout() = 0;
  // Moves the window to the rectangle and repaints it. With the rows it showed when it was
  // saved, the window is given the height that shows the same rows in today's layout instead
  // of the rectangle's height.
  virtual void MoveWindowTo(WindowRect rect, std::optional<int> rows) = 0;

  // ---- The current state ----

  virtual int Bpm() const = 0;
  // The beats-per-measure field's text as shown.
  virtual std::string BeatsPerMeasureText() const = 0;
  virtual int Style() const = 0;
  virtual int Instrument(int voice) const = 0;
  virtual int Volume(int voice) const = 0;
  virtual int BlinkSize(int voice) const = 0;
  // The custom measure field's whole text.
  virtual std::string CustomMeasureText() const = 0;
  virtual bool Blinking() const = 0;
  virtual PracticeSettings Practice() const = 0;
  // The whole window, frame included, in screen pixels.
  virtual WindowRect CurrentWindowRect() const = 0;
  // The voice rows shown now (see kWindowRowsValue); nothing before the layout is known.
  virtual std::optional<int> VisibleRows() const = 0;
  // The screens' rectangles, the primary screen first.
  virtual std::vector<WindowRect> ScreenRects() const = 0;

  // ---- The preset combo box ----

  virtual int PresetCount() const = 0;
  virtual std::string PresetText(int position) const = 0;
  // Inserts a list item at this position (the caller keeps the list sorted).
  virtual void InsertPreset(int position, std::string_view name) = 0;
  virtual void RemovePreset(int position) = 0;
  // The selected item's position, -1 when none is selected.
  virtual int SelectedPreset() const = 0;
  // Selects the item, showing its text in the name field; -1 selects none and empties the
  // name field. Selecting from code does not run the selection handler.
  virtual void SelectPreset(int position) = 0;
  // The text of the name field (the combo box's edit part).
  virtual std::string PresetNameText() const = 0;

  // ---- Buttons, the dialog, message boxes ----

  virtual void EnableSave(bool enabled) = 0;
  virtual void EnableDelete(bool enabled) = 0;
  // Gives Save the default-button look.
  virtual void MakeSaveDefault() = 0;
  // The dialog's reaction to a changed setting: no preset selected, name field empty,
  // Delete disabled, no default-button look.
  virtual void OnSettingsChanged() = 0;
  // A modal Yes/No box with the question icon, owned by the main window; true for Yes.
  virtual bool AskYesNo(std::string_view caption, std::string_view text) = 0;
  // A modal box with the error icon and OK, owned by the main window.
  virtual void ShowError(std::string_view caption, std::string_view text) = 0;

 protected:
  ~SettingsView() = default;
};

}  // namespace ticktavo
