#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "rhythm/beat_feed.h"

namespace ticktavo {

// What the metronome plays, exactly as the window hands it to the player: the measure as the
// style made it, the voices, the tempo, the practice tools and (Straight style) the beats of a
// counted measure.
using ClickProgram = BeatFeed::Program;

inline constexpr int kMinExportMeasures = 1;
inline constexpr int kMaxExportMeasures = 9999;
inline constexpr int kDefaultExportMeasures = 16;
inline constexpr int kDefaultExportRate = 48000;

// The two rates a click track is written at.
constexpr bool IsExportRate(int rate) {
  return rate == 44100 || rate == 48000;
}

// The first frame of beat `beat` on the grid that starts at frame 0: round(beat × 60 × rate /
// bpm), halves rounded up. Computed from the beat's number alone, in 64-bit integers, so hours
// of beats carry no accumulated error. Exact for beat < 2^63 / (120 × rate). A tempo change
// (the speed trainer's) starts a new grid at the frame of the beat that carries it.
constexpr std::int64_t BeatFrame(std::int64_t beat, int sampleRate, int bpm) {
  const std::int64_t twice = 2 * beat * 60 * sampleRate;
  return (twice + bpm) / (2 * static_cast<std::int64_t>(bpm));
}

// Beats in one exported measure: as the practice tools count them (Straight style: the beats
// field's number), else the measure's length. A measure of length 0 plays its slot 0 on every
// beat, so each beat counts as a measure of its own.
int ExportedBeatsPerMeasure(const ClickProgram& program);

enum class ClickFileFormat { kWav16, kWav24, kFlac16, kFlac24 };

// "WAV 16-bit", "WAV 24-bit", "FLAC 16-bit", "FLAC 24-bit".
std::string_view FormatName(ClickFileFormat format);

// The format for a file name: ".wav" or ".flac" (any case) with `bits` 16 or 24; nothing for
// another extension or depth.
std::optional<ClickFileFormat> FormatForFile(const std::filesystem::path& file, int bits = 16);

struct ExportOptions {
  int measures = kDefaultExportMeasures;
  int sampleRate = kDefaultExportRate;
  ClickFileFormat format = ClickFileFormat::kWav16;
  // The soundfont the default device plays; empty means the one it finds itself
  // (TICKTAVO_SOUNDFONT, then the system's General MIDI soundfont).
  std::string soundfont;
};

// Called on the exporting thread every few thousand frames with the frames written so far and
// the most the file can hold; returning false cancels the export.
using ExportProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

struct ExportResult {
  bool ok = false;
  bool cancelled = false;
  // One line for the user when !ok and not cancelled.
  std::string error;
  std::int64_t frames = 0;
  std::int64_t beats = 0;
  int sampleRate = 0;
  double Seconds() const { return sampleRate > 0 ? static_cast<double>(frames) / sampleRate : 0.0; }
};

// Where rendered frames go: stereo, interleaved (left, right), in order. False stops the render
// with the sink's own error.
class ClickSink {
 public:
  virtual bool Write(const float* interleaved, std::size_t frames) = 0;
  virtual std::string Error() const = 0;

 protected:
  ~ClickSink() = default;
};

// Renders `options.measures` measures of `program` into `sink` (the format is ignored here):
// beat k at BeatFrame(k) (from the last tempo change on), muted measures silent, each note with the
// pre-rendered sound the default device plays for that note and velocity (same soundfont, gain and
// rate), mixed and cut by mute group exactly as the device mixes them, clipped to full scale as it
// is. The track ends where the next measure would start, or after the last sound's tail when that
// rings on longer. Beats come from the same feed the player queues from, so the two cannot
// disagree.
ExportResult RenderClickTrack(const ClickProgram& program, const ExportOptions& options,
                              ClickSink& sink, const ExportProgress& progress = {});

// Renders into `file` in `options.format`. The file appears only when the whole track has been
// written: the frames go to a temporary file in the same folder, which is renamed at the end and
// removed when the export fails or is cancelled. An existing file of that name is replaced.
ExportResult ExportClickTrack(const std::filesystem::path& file, const ClickProgram& program,
                              const ExportOptions& options, const ExportProgress& progress = {});

}  // namespace ticktavo
