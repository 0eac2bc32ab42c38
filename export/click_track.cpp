#include "export/click_track.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "engine/synth/fluid_setup.h"
#include "engine/synth/note_mixer.h"
#include "engine/synth/note_renderer.h"
#include "engine/synth/soundfont_path.h"
#include "export/sound_file_writer.h"
#include "rhythm/beat_feed.h"
#include "rhythm/sequencer.h"

namespace ticktavo {

namespace {

// Frames mixed at a time; also how often the progress callback hears from the export.
constexpr std::int64_t kBlockFrames = 4096;

// One beat's notes as the feed hands them to the player.
class BeatNotes final : public BeatBuilder {
 public:
  struct Note {
    int note;
    int velocity;
  };
  void BeginBeat() override {
    m_count = 0;
    m_tempo = 0;
  }
  bool AddNote(int note, int velocity, int /*blinkFrame*/) override {
    if (m_count == m_notes.size()) return false;
    m_notes[m_count++] = {note, velocity};
    return true;
  }
  void SetBeatTempo(int bpm) override { m_tempo = bpm; }
  const Note* begin() const { return m_notes.data(); }
  const Note* end() const { return m_notes.data() + m_count; }
  // The tempo this beat changes to, 0 for none.
  int Tempo() const { return m_tempo; }

 private:
  std::array<Note, kMaxChordVoices> m_notes{};
  std::size_t m_count = 0;
  int m_tempo = 0;
};

// The frames of the beats, one after the other. The player keeps the period before a beat that
// changes the tempo and takes the new one after it; the grid starts anew at that beat's frame.
class BeatGrid {
 public:
  BeatGrid(int rate, int bpm) : m_rate(rate), m_bpm(bpm) {}
  // The frame of the next beat, which changes the tempo to `tempo` (0: it does not).
  std::int64_t Next(int tempo) {
    const std::int64_t frame = End();
    if (tempo > 0 && tempo != m_bpm) {
      m_startFrame = frame;
      m_startBeat = m_beat;
      m_bpm = tempo;
    }
    ++m_beat;
    return frame;
  }
  // Where the beat after the last one would start.
  std::int64_t End() const { return m_startFrame + BeatFrame(m_beat - m_startBeat, m_rate, m_bpm); }

 private:
  const int m_rate;
  int m_bpm;
  std::int64_t m_beat = 0;
  std::int64_t m_startBeat = 0;
  std::int64_t m_startFrame = 0;
};

// The sounds of the notes a track uses, rendered once each by the device's own renderer. A
// silent entry, and a note at velocity 0 (a note-off), have none.
class SoundBank {
 public:
  explicit SoundBank(NoteRenderer& renderer) : m_renderer(renderer) {}

  MixerSound* Get(int note, int velocity) {
    if (note < 0 || note > 127 || velocity <= 0 || velocity > 127) return nullptr;
    std::unique_ptr<MixerSound>& sound = m_sounds[{note, velocity}];
    if (!sound) {
      sound = std::make_unique<MixerSound>(m_renderer.Render(note, velocity));
      m_longest = std::max(m_longest, static_cast<std::int64_t>(sound->sound.Frames()));
    }
    return sound.get();
  }
  std::int64_t LongestFrames() const { return m_longest; }

 private:
  NoteRenderer& m_renderer;
  std::map<std::pair<int, int>, std::unique_ptr<MixerSound>> m_sounds;
  std::int64_t m_longest = 0;
};

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

ExportResult Failed(std::string error) {
  ExportResult result;
  result.error = std::move(error);
  return result;
}

std::string CheckOptions(const ClickProgram& program, const ExportOptions& options) {
  if (options.measures < kMinExportMeasures || options.measures > kMaxExportMeasures) {
    return "the number of measures must be 1 to 9999";
  }
  if (!IsExportRate(options.sampleRate)) return "the sample rate must be 44100 or 48000";
  if (program.bpm < kMinBpm || program.bpm > kMaxBpm) return "the tempo must be 4 to 1000 BPM";
  return {};
}

}  // namespace

int ExportedBeatsPerMeasure(const ClickProgram& program) {
  if (program.straightCount > 0) return program.straightCount;
  return std::max(1, program.measure.BeatsPerMeasure());
}

std::string_view FormatName(ClickFileFormat format) {
  switch (format) {
    case ClickFileFormat::kWav16:
      return "WAV 16-bit";
    case ClickFileFormat::kWav24:
      return "WAV 24-bit";
    case ClickFileFormat::kFlac16:
      return "FLAC 16-bit";
    case ClickFileFormat::kFlac24:
      return "FLAC 24-bit";
  }
  return {};
}

std::optional<ClickFileFormat> FormatForFile(const std::filesystem::path& file, int bits) {
  if (bits != 16 && bits != 24) return std::nullopt;
  const std::string extension = Lowercase(file.extension().string());
  if (extension == ".wav") return bits == 16 ? ClickFileFormat::kWav16 : ClickFileFormat::kWav24;
  if (extension == ".flac") return bits == 16 ? ClickFileFormat::kFlac16 : ClickFileFormat::kFlac24;
  return std::nullopt;
}

ExportResult RenderClickTrack(const ClickProgram& program, const ExportOptions& options,
                              ClickSink& sink, const ExportProgress& progress) {
  if (std::string problem = CheckOptions(program, options); !problem.empty()) {
    return Failed(std::move(problem));
  }
  const std::string soundfont = FindSoundfont(options.soundfont);
  if (soundfont.empty()) {
    return Failed(
        "no soundfont to play the clicks with (install timgm6mb-soundfont, or name one "
        "in TICKTAVO_SOUNDFONT)");
  }
  // FluidSynth's complaints about a bad soundfont end up in the one-line message instead of
  // being printed on their own.
  FluidErrorCollector fluidErrors;
  NoteRenderer renderer(soundfont, options.sampleRate);
  if (!renderer.Ok()) {
    const std::string& text = fluidErrors.Text();
    return Failed("cannot load the soundfont " + soundfont +
                  (text.empty() ? "" : ": " + text.substr(0, text.find('\n'))));
  }

  const int rate = options.sampleRate;
  BeatFeed feed;
  feed.Publish(program);
  const std::int64_t beats =
      static_cast<std::int64_t>(options.measures) * ExportedBeatsPerMeasure(program);

  // A first pass through the beats renders every sound the track uses before the first frame
  // and finds where the grid ends (the trainer's tempo changes move it), so that the most the
  // track can hold is known.
  SoundBank bank(renderer);
  BeatNotes notes;
  feed.Restart();
  BeatGrid plan(rate, program.bpm);
  for (std::int64_t k = 0; k < beats; ++k) {
    feed.QueueNextBeat(notes);
    plan.Next(notes.Tempo());
    for (const BeatNotes::Note& n : notes) bank.Get(n.note, n.velocity);
  }
  const std::int64_t gridEnd = plan.End();
  const std::int64_t most = gridEnd + bank.LongestFrames();
  std::int64_t soundEnd = gridEnd;  // where the last sound started so far stops ringing

  feed.Restart();
  BeatGrid grid(rate, program.bpm);
  std::int64_t queued = 0;
  // Takes the next beat into `notes` and gives its frame; -1 once every beat has been taken.
  const auto nextBeat = [&]() -> std::int64_t {
    if (queued == beats) return -1;
    feed.QueueNextBeat(notes);
    ++queued;
    return grid.Next(notes.Tempo());
  };
  std::int64_t nextFrame = nextBeat();  // the frame of the beat in `notes`

  NoteMixer mixer;  // after the bank: its voices point into the bank's sounds
  std::vector<float> left(kBlockFrames), right(kBlockFrames), interleaved(2 * kBlockFrames);
  std::vector<float> tail;  // the frames after the grid, held back to cut the silence at its end
  std::int64_t position = 0;
  while (position < gridEnd || position < soundEnd) {
    // The grid's end falls on a block boundary, so a block is either all grid or all tail.
    const std::int64_t end = position < gridEnd ? std::min(position + kBlockFrames, gridEnd)
                                                : std::min(position + kBlockFrames, soundEnd);
    // As the device does at each of its periods: start every note that falls in the block, at
    // its own frame, before mixing the block.
    for (; nextFrame >= 0 && nextFrame < end; nextFrame = nextBeat()) {
      for (const BeatNotes::Note& n : notes) {
        MixerSound* sound = bank.Get(n.note, n.velocity);
        if (sound == nullptr) continue;
        mixer.Start(sound, nextFrame, MuteGroup(n.note));
        soundEnd = std::max(soundEnd, nextFrame + static_cast<std::int64_t>(sound->sound.Frames()));
      }
    }
    const auto count = static_cast<std::size_t>(end - position);
    std::fill_n(left.begin(), count, 0.0f);
    std::fill_n(right.begin(), count, 0.0f);
    mixer.Render(position, static_cast<int>(count), left.data(), right.data());
    for (std::size_t i = 0; i < count; ++i) {
      interleaved[2 * i] = std::clamp(left[i], -1.0f, 1.0f);
      interleaved[2 * i + 1] = std::clamp(right[i], -1.0f, 1.0f);
    }
    if (position < gridEnd) {
      if (!sink.Write(interleaved.data(), count)) return Failed(sink.Error());
    } else {
      tail.insert(tail.end(), interleaved.begin(),
                  interleaved.begin() + static_cast<std::ptrdiff_t>(2 * count));
    }
    position = end;
    if (progress && !progress(std::min(position, gridEnd), most)) {
      ExportResult cancelled;
      cancelled.cancelled = true;
      return cancelled;
    }
  }
  // A sound cut short by its mute group leaves silence up to where it would have ended.
  std::size_t tailFrames = tail.size() / 2;
  while (tailFrames > 0 && tail[2 * tailFrames - 2] == 0.0f && tail[2 * tailFrames - 1] == 0.0f) {
    --tailFrames;
  }
  if (tailFrames > 0 && !sink.Write(tail.data(), tailFrames)) return Failed(sink.Error());

  ExportResult result;
  result.ok = true;
  result.frames = gridEnd + static_cast<std::int64_t>(tailFrames);
  result.beats = beats;
  result.sampleRate = rate;
  if (progress) progress(result.frames, result.frames);
  return result;
}

ExportResult ExportClickTrack(const std::filesystem::path& file, const ClickProgram& program,
                              const ExportOptions& options, const ExportProgress& progress) {
  if (std::string problem = CheckOptions(program, options); !problem.empty()) {
    return Failed(std::move(problem));
  }
  const std::int64_t beats =
      static_cast<std::int64_t>(options.measures) * ExportedBeatsPerMeasure(program);
  // The longest the file can be: every beat at the slowest tempo the trainer can reach, and the
  // longest sound after the last.
  const int slowest = program.practice.trainer
                          ? std::min(program.bpm, program.practice.Clamped().trainerTarget)
                          : program.bpm;
  const auto longestSound = static_cast<std::int64_t>(kMaxSoundSeconds * options.sampleRate);
  SoundFileWriter writer;
  if (!writer.Open(file, options.format, options.sampleRate,
                   BeatFrame(beats, options.sampleRate, slowest) + longestSound)) {
    return Failed(writer.Error());
  }
  ExportResult result = RenderClickTrack(program, options, writer, progress);
  if (result.ok && !writer.Commit()) return Failed(writer.Error());
  return result;  // anything but success: the writer removes its temporary file
}

}  // namespace ticktavo
