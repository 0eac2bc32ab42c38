#include "engine/synth/output_rate.h"

#include <gtest/gtest.h>

namespace ticktavo {
namespace {

TEST(OutputRateFromMessages, ReadsTheRateFluidSynthReports) {
  struct Case {
    const char* messages;
    double rate;
  };
  const Case cases[] = {
      // JACK, with a synthesizer FluidSynth could adjust, and without.
      {"Jack sample rate mismatch, adjusting. (synth.sample-rate=48000, jackd=44100)", 44100},
      {"Using JACK\nJack sample rate mismatch (synth.sample-rate=48000, jackd=96000) impossible "
       "to adjust, because ...",
       96000},
      // ALSA card without 48 kHz.
      {"Requested sample rate of 48000, got 44100 instead, synthesizer likely out of tune!", 44100},
      // Nothing said about the rate: the one asked for is in force.
      {"Using PulseAudio driver", 0},
      {"", 0},
      // Garbled or absurd numbers are not believed.
      {"(synth.sample-rate=48000, jackd=)", 0},
      {"(synth.sample-rate=48000, jackd=12)", 0},
      {"Requested sample rate of 48000, got 99999999 instead", 0},
      {"we got 44100 but not the word after it", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OutputRateFromMessages(c.messages), c.rate) << c.messages;
  }
}

}  // namespace
}  // namespace ticktavo
