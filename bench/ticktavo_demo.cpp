// A console metronome: a straight beat for a few seconds through the MIDI device that
// TICKTAVO_MIDI chooses (the embedded synthesizer by default).
//
//   ticktavo_demo [--bpm N] [--seconds S]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include "engine/beat_player.h"
#include "engine/midi_out_factory.h"

namespace ticktavo {
namespace {

// Stands in for the window: error boxes go to standard error.
class ConsoleOwner final : public PlayerOwner {
 public:
  void ShowError(std::string_view text) override { PostError(text); }
  void PostError(std::string_view text) override {
    std::fprintf(stderr, "Midi Error: %.*s\n", static_cast<int>(text.size()), text.data());
  }
  void PostMainBlinkerFrame(std::uint64_t, int) override {}
  void PostBeatPlayed(std::uint64_t, int, int) override {}
};

// A straight beat of Hi Wood Blocks.
class StraightBeat final : public BeatSource {
 public:
  void Restart() override {}
  void QueueNextBeat(BeatBuilder& builder) override {
    builder.BeginBeat();
    builder.AddNote(76, 110, 4);
  }
};

}  // namespace
}  // namespace ticktavo

int main(int argc, char** argv) {
  using namespace ticktavo;
  int bpm = 120;
  double seconds = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--bpm") == 0 && i + 1 < argc) {
      bpm = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: ticktavo_demo [--bpm 4..1000] [--seconds S]\n");
      return 2;
    }
  }
  if (bpm < 4 || bpm > 1000 || !(seconds > 0 && seconds <= 3600)) {
    std::fprintf(stderr, "ticktavo_demo: the tempo must be 4..1000 and the time 0..3600 s\n");
    return 2;
  }

  // The device opens (and its audio starts) before the player exists, as at the program's start.
  std::unique_ptr<MidiOut> device = CreateMidiOutFromEnvironment(std::cerr);
  MonotonicClock clock;
  ConsoleOwner owner;
  StraightBeat beat;
  BeatPlayer player(owner, clock, *device);
  if (!player.DeviceOpen()) {
    std::fprintf(stderr,
                 "No sound device. TICKTAVO_MIDI=log:/tmp/ticktavo.log shows the beats in a file "
                 "instead.\n");
    return 1;
  }

  // A fresh audio stream may swallow its first moments; give it a second, as a user would
  // before pressing Play.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  std::printf("Playing a straight beat at %d BPM for %.1f s...\n", bpm, seconds);
  std::fflush(stdout);
  player.SetTempo(bpm);
  player.Play(beat);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  player.Stop();
  // Let the last note ring out before the device closes.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  std::printf("Done.\n");
  return 0;
}
