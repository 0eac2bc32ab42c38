#include "export/click_track.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <vector>

#include "engine/synth/note_mixer.h"
#include "engine/synth/note_renderer.h"
#include "rhythm/measure_parser.h"
#include "store/store_test_support.h"

namespace ticktavo {
namespace {

constexpr const char* kSoundfont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// --- The grid ---

TEST(BeatFrame, RoundsTheExactTimeOfEachBeat) {
  struct Case {
    std::int64_t beat;
    int rate;
    int bpm;
    std::int64_t frame;
  };
  const Case cases[] = {
      {0, 48000, 120, 0},
      {1, 48000, 120, 24000},
      {3, 44100, 7, 1134000},  // 3 × 60 × 44100 / 7 = 1 134 000 exactly
      {1, 48000, 997, 2889},   // 2888.67
      {2, 48000, 997, 5777},   // 5777.33
      {1, 44100, 32, 82688},   // 82687.5: a half rounds up
      {3, 44100, 32, 248063},  // 248062.5
      {1, 44100, 1000, 2646},
      // The longest export: 9999 measures of 1000 beats at 4 BPM, 4.6 years at 48 kHz.
      {9'999'000, 48000, 4, 7'199'280'000'000},
      {9'999'000, 44100, 999, 26'483'837'838},  // 26 483 837 837.84
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BeatFrame(c.beat, c.rate, c.bpm), c.frame)
        << "beat " << c.beat << " at " << c.rate << " Hz, " << c.bpm << " BPM";
  }
}

// 10 000 measures of 11 beats at the fastest tempos: every beat is within half a frame of its
// exact time, so nothing drifts, and the gaps between beats are the period rounded either way.
TEST(BeatFrame, DoesNotDriftOverTenThousandMeasures) {
  constexpr std::int64_t kBeats = 10'000 * 11;
  for (const int rate : {44100, 48000}) {
    for (const int bpm : {1000, 999, 997}) {
      const std::int64_t exact = 60LL * rate;  // frames per minute; a beat is exact / bpm
      std::int64_t previous = BeatFrame(0, rate, bpm);
      for (std::int64_t k = 1; k <= kBeats; ++k) {
        const std::int64_t frame = BeatFrame(k, rate, bpm);
        // |frame - k × exact / bpm| <= 1/2, in integers.
        ASSERT_LE(std::llabs(2 * (frame * bpm - k * exact)), bpm) << k << " at " << bpm;
        const std::int64_t gap = frame - previous;
        ASSERT_TRUE(gap == exact / bpm || gap == exact / bpm + 1) << k << " at " << bpm;
        previous = frame;
      }
      if (bpm == 1000) {
        EXPECT_EQ(BeatFrame(kBeats, rate, bpm), kBeats * exact / 1000);
      }
    }
  }
}

// --- Rendered files ---

struct Track {
  int rate = 0;
  int format = 0;
  std::vector<float> left, right;
};

Track ReadBack(const std::filesystem::path& file) {
  Track track;
  SF_INFO info{};
  SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
  EXPECT_NE(sound, nullptr) << sf_strerror(nullptr);
  if (sound == nullptr) return track;
  EXPECT_EQ(info.channels, 2);
  track.rate = info.samplerate;
  track.format = info.format;
  std::vector<float> frames(static_cast<std::size_t>(info.frames) * 2);
  EXPECT_EQ(sf_readf_float(sound, frames.data(), info.frames), info.frames);
  sf_close(sound);
  for (std::size_t i = 0; i < frames.size(); i += 2) {
    track.left.push_back(frames[i]);
    track.right.push_back(frames[i + 1]);
  }
  return track;
}

// A custom measure with these instruments for voices 1, 2, 3.
ClickProgram Program(std::string_view text, int bpm, std::array<int, 3> instruments = {2, 1, 42}) {
  ClickProgram program;
  EXPECT_EQ(ParseCustomMeasure(text, program.measure), MeasureParseResult::Ok);
  for (std::size_t v = 0; v < 3; ++v) program.voices.m_instrument[v] = instruments[v];
  program.voices.m_volume[1] = 90;
  program.bpm = bpm;
  return program;
}

ExportOptions Options(int measures, int rate, ClickFileFormat format = ClickFileFormat::kWav16) {
  ExportOptions options;
  options.measures = measures;
  options.sampleRate = rate;
  options.format = format;
  options.soundfont = kSoundfont;
  return options;
}

// What the file should hold, built by hand from single notes rendered by the device's renderer:
// each note's sound added at its beat's frame, clipped. No mute group in these measures.
struct Expected {
  std::vector<float> left, right;
  std::vector<std::int64_t> starts;  // the frames of the beats that sound
};

Expected Build(const std::vector<std::vector<std::pair<int, int>>>& measureNotes, int measures,
               int rate, int bpm) {
  NoteRenderer renderer(kSoundfont, rate);
  std::map<std::pair<int, int>, NoteSound> sounds;
  for (const auto& beat : measureNotes) {
    for (const auto& note : beat) {
      if (!sounds.contains(note)) sounds[note] = renderer.Render(note.first, note.second);
    }
  }
  Expected expected;
  const auto beatsPerMeasure = static_cast<std::int64_t>(measureNotes.size());
  const std::int64_t beats = beatsPerMeasure * measures;
  std::size_t length = static_cast<std::size_t>(BeatFrame(beats, rate, bpm));
  std::vector<std::pair<std::size_t, const NoteSound*>> placed;
  for (std::int64_t k = 0; k < beats; ++k) {
    const auto frame = static_cast<std::size_t>(BeatFrame(k, rate, bpm));
    const auto& notes = measureNotes[static_cast<std::size_t>(k % beatsPerMeasure)];
    if (!notes.empty()) expected.starts.push_back(static_cast<std::int64_t>(frame));
    for (const auto& note : notes) {
      const NoteSound& sound = sounds[note];
      length = std::max(length, frame + sound.Frames());
      placed.emplace_back(frame, &sound);
    }
  }
  expected.left.assign(length, 0.0f);
  expected.right.assign(length, 0.0f);
  for (const auto& [frame, sound] : placed) {
    for (std::size_t i = 0; i < sound->Frames(); ++i) {
      expected.left[frame + i] += sound->left[i];
      expected.right[frame + i] += sound->right[i];
    }
  }
  for (float& s : expected.left) s = std::clamp(s, -1.0f, 1.0f);
  for (float& s : expected.right) s = std::clamp(s, -1.0f, 1.0f);
  return expected;
}

// The file holds the expected samples to within the format's rounding, and no more frames.
void ExpectSamples(const Track& track, const Expected& expected, float tolerance) {
  ASSERT_EQ(track.left.size(), expected.left.size());
  std::size_t mismatches = 0;
  for (std::size_t i = 0; i < track.left.size(); ++i) {
    if (std::fabs(track.left[i] - expected.left[i]) > tolerance ||
        std::fabs(track.right[i] - expected.right[i]) > tolerance) {
      if (++mismatches <= 5)
        ADD_FAILURE() << "frame " << i << ": " << track.left[i] << " vs " << expected.left[i];
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

class ClickFileTest : public ::testing::TestWithParam<int> {
 protected:
  test::TempFolder m_folder;
};

// Voice 3, voices 1 and 2 together, silence, voice 1: every beat's first audible sample lands
// exactly on its frame of the grid (after the sound's own lead-in), the chord is the sum of its
// two notes, and the file ends with the last sound's tail.
TEST_P(ClickFileTest, EveryBeatSoundsAtItsExactFrame) {
  const int rate = GetParam();
  const ClickProgram program = Program("3(12)01", 97);
  const std::filesystem::path file = m_folder.path() / "click.wav";
  const ExportResult result = ExportClickTrack(file, program, Options(3, rate));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.beats, 12);

  // Side stick (37), bass drum (36) at velocity 90, low wood block (77).
  const Expected expected =
      Build({{{77, 127}}, {{37, 127}, {36, 90}}, {}, {{37, 127}}}, 3, rate, 97);
  const Track track = ReadBack(file);
  EXPECT_EQ(track.rate, rate);
  EXPECT_EQ(track.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);  // plain WAV below 4 GiB
  EXPECT_EQ(static_cast<std::int64_t>(track.left.size()), result.frames);
  ExpectSamples(track, expected, 1.0f / 32767);

  // At 97 BPM every sound has died away before the next beat: the file is silent up to each
  // beat's frame and sounds within the first few frames after it.
  ASSERT_EQ(expected.starts.size(), 9u);
  for (const std::int64_t start : expected.starts) {
    const auto at = static_cast<std::size_t>(start);
    for (std::size_t i = at - 1000; i < at; ++i) {
      ASSERT_EQ(track.left[i], 0.0f) << "sound before the beat at " << start;
      ASSERT_EQ(track.right[i], 0.0f) << "sound before the beat at " << start;
    }
    std::size_t first = at;
    while (track.left[first] == 0.0f && track.right[first] == 0.0f) ++first;
    EXPECT_LT(first, at + 16) << "beat at " << start;
  }
}

// The same track at 24 bits, in WAV and FLAC: only the rounding differs.
TEST_P(ClickFileTest, TwentyFourBitFilesHoldTheSameTrack) {
  const int rate = GetParam();
  const ClickProgram program = Program("(123)1", 300);
  const Expected expected = Build({{{37, 127}, {36, 90}, {77, 127}}, {{37, 127}}}, 2, rate, 300);
  for (const auto& [name, format, major] :
       {std::tuple{"click.wav", ClickFileFormat::kWav24, SF_FORMAT_WAV},
        std::tuple{"click.flac", ClickFileFormat::kFlac24, SF_FORMAT_FLAC}}) {
    const std::filesystem::path file = m_folder.path() / name;
    const ExportResult result = ExportClickTrack(file, program, Options(2, rate, format));
    ASSERT_TRUE(result.ok) << result.error;
    const Track track = ReadBack(file);
    EXPECT_EQ(track.format, major | SF_FORMAT_PCM_24) << name;
    ExpectSamples(track, expected, 1.0f / 8388607);
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, ClickFileTest, ::testing::Values(44100, 48000));

// Renders into memory.
class MemorySink final : public ClickSink {
 public:
  bool Write(const float* interleaved, std::size_t frames) override {
    for (std::size_t i = 0; i < frames; ++i) {
      left.push_back(interleaved[2 * i]);
      right.push_back(interleaved[2 * i + 1]);
    }
    return true;
  }
  std::string Error() const override { return {}; }
  std::vector<float> left, right;
};

// An open hi-hat followed by a closed one, as the device plays them: the closed hat cuts the
// open one within the mixer's fade, while a bass drum lets it ring on.
TEST(ClickTrack, HiHatsCutEachOtherAsLive) {
  NoteRenderer renderer(kSoundfont, 48000);
  const NoteSound open = renderer.Render(46, 127);
  const NoteSound closed = renderer.Render(42, 90);  // voice 2 plays at 90
  const NoteSound drum = renderer.Render(36, 127);
  const std::int64_t second = BeatFrame(1, 48000, 600);  // 4800
  ASSERT_GT(open.Frames(), static_cast<std::size_t>(second + NoteMixer::kFadeFrames + 1000))
      << "the open hi-hat must still ring at the second beat";

  // Instruments 11 (open hi-hat, note 46), 7 (closed, 42), 1 (bass drum, 36).
  MemorySink cut;
  ASSERT_TRUE(RenderClickTrack(Program("12", 600, {11, 7, 1}), Options(1, 48000), cut).ok);
  const auto s = static_cast<std::size_t>(second);
  for (std::size_t i = 0; i < s; ++i) ASSERT_EQ(cut.left[i], open.left[i]) << i;
  // From the end of the fade on, only the closed hat sounds.
  for (std::size_t i = s + NoteMixer::kFadeFrames; i < s + closed.Frames(); ++i) {
    ASSERT_EQ(cut.left[i], closed.left[i - s]) << i;
  }
  // The file ends with the closed hat: the open one's cut tail leaves no silence behind.
  EXPECT_EQ(cut.left.size(), std::max(s + closed.Frames(), s * 2));

  MemorySink rings;
  ASSERT_TRUE(RenderClickTrack(Program("13", 600, {11, 7, 1}), Options(1, 48000), rings).ok);
  for (std::size_t i = s; i < s + 1000; ++i) {
    ASSERT_EQ(rings.left[i], open.left[i] + drum.left[i - s]) << i;
  }
}

// The speed trainer and muted measures as the player has them: a beat that changes the tempo
// keeps the old period before it and starts the new grid; a muted measure keeps its time.
TEST(ClickTrack, PracticeToolsAsLive) {
  ClickProgram program = Program("1", 100);
  program.practice.trainer = true;  // every measure 100 BPM closer to 300
  program.practice.trainerEvery = 1;
  program.practice.trainerStep = 100;
  program.practice.trainerTarget = 300;
  program.practice.mute = true;  // 2 measures sound, 1 is silent
  program.practice.mutePlayed = 2;
  program.practice.muteSilent = 1;
  MemorySink sink;
  const ExportResult result = RenderClickTrack(program, Options(6, 48000), sink);
  ASSERT_TRUE(result.ok) << result.error;
  // Beats at 100, 100 (changes to 200), 200 (changes to 300, muted), 300, 300, 300 (muted):
  // 0, 28 800, 43 200, 52 800, 62 400, 72 000; the next would start at 81 600.
  EXPECT_EQ(result.frames, 81'600);
  std::vector<std::size_t> onsets;
  for (std::size_t i = 0, quiet = 100'000; i < sink.left.size(); ++i) {
    if (sink.left[i] == 0.0f && sink.right[i] == 0.0f) {
      ++quiet;
      continue;
    }
    if (quiet >= 1000) onsets.push_back(i);
    quiet = 0;
  }
  NoteRenderer renderer(kSoundfont, 48000);
  const NoteSound stick = renderer.Render(37, 127);
  std::size_t lead = 0;
  while (stick.left[lead] == 0.0f && stick.right[lead] == 0.0f) ++lead;
  EXPECT_EQ(onsets, (std::vector<std::size_t>{lead, 28'800 + lead, 52'800 + lead, 62'400 + lead}));
}

// --- No file behind a cancelled or failed export ---

class NoFileLeftTest : public ::testing::Test {
 protected:
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  test::TempFolder m_folder;
};

TEST_F(NoFileLeftTest, CancellingKeepsTheOldFileAndLeavesNothingElse) {
  const std::filesystem::path file = m_folder.path() / "click.wav";
  std::ofstream(file) << "an older take";
  int calls = 0;
  std::int64_t total = 0;
  const ExportResult result = ExportClickTrack(file, Program("1", 120), Options(100, 48000),
                                               [&](std::int64_t done, std::int64_t most) {
                                                 EXPECT_LE(done, most);
                                                 total = most;
                                                 return ++calls < 3;
                                               });
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(calls, 3);
  EXPECT_GE(total, BeatFrame(100, 48000, 120));
  EXPECT_EQ(Names(), std::vector<std::string>{"click.wav"});
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an older take");
}

// A write that fails halfway (here the process's file size limit, as a full disk would) gives
// the system's reason, and removes what was written.
TEST_F(NoFileLeftTest, AFailedWriteLeavesNoFile) {
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 200'000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const ExportResult wav = ExportClickTrack(m_folder.path() / "click.wav", Program("1", 120),
                                            Options(50, 48000, ClickFileFormat::kWav24));
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(wav.ok);
  EXPECT_FALSE(wav.cancelled);
  EXPECT_EQ(wav.error,
            "cannot write " + (m_folder.path() / "click.wav").string() + ": File too large");
  EXPECT_TRUE(Names().empty());
}

TEST_F(NoFileLeftTest, AFolderThatCannotBeWrittenIsReportedAtOnce) {
  const ExportResult result = ExportClickTrack(m_folder.path() / "missing" / "click.wav",
                                               Program("1", 120), Options(1, 48000));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "cannot write " + (m_folder.path() / "missing" / "click.wav").string() +
                              ": No such file or directory");
  EXPECT_TRUE(Names().empty());
}

}  // namespace
}  // namespace ticktavo
