#pragma once

#include <array>
#include <string>
#include <string_view>

#include "engine/beat_sink.h"
#include "rhythm/beat_feed.h"
#include "rhythm/measure.h"
#include "rhythm/measure_parser.h"
#include "rhythm/percussion_table.h"
#include "rhythm/voice_settings.h"

namespace ticktavo {

// Play button captions and tooltips; the window starts with kPlayCaption/kStartToolTip.
inline constexpr std::string_view kPlayCaption = "&Play";
inline constexpr std::string_view kStopCaption = "Sto&p";
inline constexpr std::string_view kStartToolTip = "Start the metronome (Enter)";
inline constexpr std::string_view kStopToolTip = "Stop the metronome (Enter)";

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
  // The tempo in force changed without the user setting it (a speed trainer step, or Stop
  // putting back the tempo the run started from): the tempo field and slider show it.
  virtual void ShowTempo(int bpm) = 0;

 protected:
  ~TransportView() = default;
};

// The rhythm model of the window: the measure, the voices, the tempo, and the transport that
// starts and stops the engine. The engine plays the measure from the sequencer's BeatFeed,
// two beats ahead of the sound; every change of the measure or the voices is published to the
// feed at once.
//
// The window owns one Sequencer and delegates its handlers of the same names to it:
//   SetStraightStyle()          after checking the Straight radio button and setting m_style;
//   OnBeatsPerMeasureChanged(text)  on every change of the beats field, whatever the style,
//                               and from SetSimpleMeasureStyle;
//   OnCustomMeasureChanged()    on every change of the custom text (stops a running metronome);
//   TogglePlay()                command 1006 (Play, Alt+P, Enter);
//   OnBeatPlayed(run)           the engine's notification of a sounded beat;
//   OnTempoChanged(bpm)         whenever the tempo controls set a new tempo;
//   OnTrainerTempo(run, bpm)    the engine's notification of a trainer step it has sounded;
//   SetVoice...(voice, value)   when a voice's control changes or a setting is loaded.
// The window itself enables and disables the fields, keeps the radio buttons, and calls its
// OnSettingsChanged after the style and field handlers.
//
// Lifetime: the sink and the view must outlive the sequencer. The engine outlives it too (it
// goes last) and may still be playing: the sequencer releases its feed when it goes, or
// earlier with ReleaseFeed when the window closes, and the engine then only plays out what is
// already queued.
//
// Thread contract: every call comes from the window's thread. The sequencer never waits for
// the timing thread, and the timing thread never waits for it.
class Sequencer {
 public:
  Sequencer(BeatSink& sink, TransportView& view);
  ~Sequencer();
  Sequencer(const Sequencer&) = delete;
  Sequencer& operator=(const Sequencer&) = delete;

  const Measure& GetMeasure() const { return m_measure; }
  const VoiceSettings& Voices() const { return m_voices; }
  // Voice settings, held to their ranges: an instrument outside 0..46 becomes the voice's
  // default, volumes are kept to 0..127 and blinker sizes to 0..8. Heard from the beat after
  // the two already queued.
  void SetVoiceInstrument(int voice, int instrument);
  void SetVoiceVolume(int voice, int volume);
  void SetVoiceBlinkSize(int voice, int blinkSize);
  // The speed trainer and muted measures, held to their ranges; they act from the next beat
  // queued (the trainer counts measures from Play).
  void SetPractice(const PracticeSettings& practice);
  const PracticeSettings& Practice() const { return m_practice; }

  // --- Measure styles ---

  // Slots 0..length-1 become voice 1; the length stays.
  void SetStraightStyle();
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
  // Replaces the measure (for callers that build one themselves, like tests).
  void SetMeasure(const Measure& measure);

  // What the feed plays: the measure as it stands, the voices, the practice tools, the tempo.
  BeatFeed::Program Program() const;
  // What Play would play now, without starting or changing anything: Program(), with the
  // view's custom text parsed into the measure when the Custom style is selected. On a parse
  // error returns it and leaves `program` alone.
  MeasureParseResult ProgramToPlay(BeatFeed::Program& program) const;

  // --- Transport ---

  // Starts unless the custom measure is refused (then an error box, nothing changes and it
  // returns false). Straight and Simple Measure styles play the measure as it is.
  bool StartMetronome();
  void StopMetronome();
  void TogglePlay();
  // A beat of this run has been sounded. Whether it belongs to the run now playing: a
  // notification of an earlier run (a quick Stop and Play) is stale and must be ignored.
  bool OnBeatPlayed(std::uint64_t run);
  bool IsCurrentRun(std::uint64_t run) const { return m_playing && run == m_run; }
  // The tempo controls set a new tempo (clamped into 4..1000). While playing the engine gets
  // it at once; the queue and the position in the measure stay, and the speed trainer goes
  // on from it (it is also the tempo Stop comes back to). The tempo already in force changes
  // nothing: the field showing a trainer step and then losing the focus is not a new tempo.
  void OnTempoChanged(int bpm);
  // A trainer step of this run has been sounded: bpm is the tempo in force, shown by the
  // view. False (and nothing shown) for an earlier run.
  bool OnTrainerTempo(std::uint64_t run, int bpm);
  // The tempo the user set: where the run started, or what they chose while it played. Stop
  // puts it back, and it is the one stored.
  int UserBpm() const { return m_userBpm; }
  // Measures finished since Play before the beat sounded last (0 in the first measure), as
  // far as the beats of this run reported so far tell; -1 before the first beat.
  int MeasuresPlayed() const;
  // The window is gone: the engine queues no further beat (what is queued still plays).
  void ReleaseFeed();

  bool IsPlaying() const { return m_playing; }
  int Bpm() const { return m_bpm; }
  // Index of the next slot to queue.
  int CurrentBeat() const { return m_feed.CurrentBeat(); }
  // The run of the last start (0 before the first).
  std::uint64_t Run() const { return m_run; }
  BeatFeed& Feed() { return m_feed; }

 private:
  // Hands the measure and the voices to the feed, and the sounds they need to the engine.
  void Publish();

  BeatSink& m_sink;
  TransportView& m_view;
  Measure m_measure;
  VoiceSettings m_voices;
  BeatFeed m_feed;
  PracticeSettings m_practice;
  // Straight style counts measures of the beats field's length, not passes through the slots.
  bool m_straight = false;
  int m_beatsField = 0;
  bool m_playing = false;
  std::uint64_t m_run = 0;
  int m_bpm = 60;      // the tempo in force, the trainer's steps included
  int m_userBpm = 60;  // the tempo the user set
  std::uint32_t m_tempoChanges = 0;
  int m_beatsPlayed = 0;  // beats of this run reported sounded
};

}  // namespace ticktavo
