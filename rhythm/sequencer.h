#pragma once

#include <array>
#include <string>
#include <string_view>

#include "engine/beat_sink.h"
#include "rhythm/measure.h"
#include "rhythm/measure_parser.h"
#include "rhythm/percussion_table.h"

namespace ticktavo {

// Play button captions and tooltips; the window starts with kPlayCaption/kStartToolTip.
inline constexpr std::string_view kPlayCaption = "&Play";
inline constexpr std::string_view kStopCaption = "Sto&p";
inline constexpr std::string_view kStartToolTip = "Start the metronome (Enter)";
inline constexpr std::string_view kStopToolTip = "Stop the metronome (Enter)";

inline constexpr int kMinBpm = 4;
inline constexpr int kMaxBpm = 1000;
inline constexpr int kMaxVolume = 127;
inline constexpr int kMaxBlinkFrame = 8;

// What each voice sounds like. Read whenever a beat is queued, so a change is heard from the
// beat after the two already queued. Defaults are those of a first start.
struct VoiceSettings {
  // Instrument index 0..46 per voice.
  std::array<int, kVoiceCount> m_instrument = PercussionTable::defaultInstrument;
  // Note-on velocity 0..127 per voice.
  std::array<int, kVoiceCount> m_volume = {127, 127, 127, 127, 127, 127, 127, 127, 127};
  // Main blinker frame 0..8 per voice.
  std::array<int, kVoiceCount> m_blinkSize = {8, 8, 8, 8, 8, 8, 8, 8, 8};
};

// The window as the transport sees it. MetronomeDialog implements it; tests record it.
// Every call comes from the window's thread, from inside a Sequencer call.
class TransportView {
 public:
  // Whether the Custom radio button is selected (the parse runs only then).
  virtual bool IsCustomStyleSelected() const = 0;
  // The whole text of the custom measure field, as UTF-8.
  virtual std::string CustomMeasureText() const = 0;
  // A modal box owned by the window: error icon, only an OK button, this caption and text.
  virtual void ShowErrorBox(std::string_view caption, std::string_view text) = 0;
  // The Play button's caption; '&' marks the mnemonic.
  virtual void SetPlayButtonCaption(std::string_view caption) = 0;
  // The Play button's tooltip text.
  virtual void SetPlayButtonToolTip(std::string_view text) = 0;
  // Main blinker to frame 0.
  virtual void BlankMainBlinker() = 0;

 protected:
  ~TransportView() = default;
};

// The rhythm model of the window: the measure, the voices, the tempo, and the transport that
// turns the measure into beats in the engine's queue, two beats ahead of the sound.
//
// The window owns one Sequencer and delegates its handlers of the same names to it:
//   SetStraightStyle()          after checking the Straight radio button and setting m_style;
//   OnBeatsPerMeasureChanged(text)  on every change of the beats field, whatever the style,
//                               and from SetSimpleMeasureStyle;
//   OnCustomMeasureChanged()    on every change of the custom text (stops a running metronome);
//   TogglePlay()                command 1006 (Play, Alt+P, Enter);
//   OnBeatPlayed()              the engine's BeatPlayed notification;
//   OnTempoChanged(bpm)         whenever the tempo controls set a new tempo.
// The window itself enables and disables the fields, keeps the radio buttons, and calls its
// OnSettingsChanged after the style and field handlers.
//
// Lifetime: the sink and the view must outlive the sequencer. The engine goes last, so a
// notification still under way while the window closes must not reach the sequencer once it
// is gone (the window closes its owner channel first).
//
// Thread contract: every call comes from the window's thread, or is otherwise serialized
// with all other calls (the engine's BeatPlayed arrives synchronously and is handled on that
// thread). The sequencer never waits for the timing thread: BeatSink::AddNote takes only the
// queue lock, which the timing thread never holds while it notifies.
class Sequencer {
 public:
  Sequencer(BeatSink& sink, TransportView& view) : m_sink(sink), m_view(view) {}
  Sequencer(const Sequencer&) = delete;
  Sequencer& operator=(const Sequencer&) = delete;

  Measure& GetMeasure() { return m_measure; }
  const Measure& GetMeasure() const { return m_measure; }
  VoiceSettings& Voices() { return m_voices; }
  const VoiceSettings& Voices() const { return m_voices; }

  // --- Measure styles ---

  // Slots 0..length-1 become voice 1; the length stays.
  void SetStraightStyle() { ticktavo::SetStraightStyle(m_measure); }
  // Rebuilds the simple measure from the beats-per-measure field's text (atoi, clamped into
  // 0..1000) and returns the length used. The window calls it on every change of the field,
  // whatever the style, and from its SetSimpleMeasureStyle.
  int OnBeatsPerMeasureChanged(std::string_view beatsText);
  // Stops a running metronome, so a playing measure always matches the text parsed at its
  // start. The window calls it on every change of the custom text, then OnSettingsChanged.
  void OnCustomMeasureChanged();
  // Parses the view's custom text into the measure (see ParseCustomMeasure in
  // measure_parser.h). Called by StartMetronome in Custom style only.
  MeasureParseResult ParseCustomMeasure();

  // --- Transport ---

  // Starts unless the custom measure is refused (then an error box, nothing changes and it
  // returns false). Straight and Simple Measure styles play the measure as it is.
  bool StartMetronome();
  void StopMetronome();
  void TogglePlay();
  // A beat has been sounded: queue the next one while playing. Late notifications after a
  // stop queue nothing.
  void OnBeatPlayed();
  // The tempo controls set a new tempo (clamped into 4..1000). While playing the engine gets
  // it at once; the queue and the position in the measure stay.
  void OnTempoChanged(int bpm);

  bool IsPlaying() const { return m_playing; }
  int Bpm() const { return m_bpm; }
  // Index of the next slot to queue.
  int CurrentBeat() const { return m_currentBeat; }

  // --- Sequencing (normally driven by the transport) ---

  // Queues the slot at CurrentBeat() as one beat and advances, wrapping to 0 at the length.
  void QueueNextBeat();
  // Queues one entry of the current beat: a voice index 0..8, or kSilentVoice.
  void QueueVoice(int voice);
  // Queues every entry of the chord at CurrentBeat(), in the order written; an empty chord
  // queues one silent entry so every beat adds a note.
  void QueueChord();

 private:
  BeatSink& m_sink;
  TransportView& m_view;
  Measure m_measure;
  VoiceSettings m_voices;
  bool m_playing = false;
  int m_currentBeat = 0;
  int m_bpm = 60;
};

}  // namespace ticktavo
