#pragma once

#include <string>

namespace ticktavo {

// The rate the audio output really runs at when FluidSynth's driver had to take another than
// the one asked for; 0 when it took the one asked for or the messages do not say. FluidSynth
// says so only in its log messages: the JACK driver names the server's rate ("Jack sample rate
// mismatch, adjusting. (synth.sample-rate=48000, jackd=44100)"), the ALSA driver the card's
// ("Requested sample rate of 48000, got 44100 instead, synthesizer likely out of tune!").
double OutputRateFromMessages(const std::string& messages);

}  // namespace ticktavo
