#include "engine/synth/output_rate.h"

#include <cstdlib>

namespace ticktavo {

double OutputRateFromMessages(const std::string& messages) {
  double rate = 0;
  if (const std::size_t at = messages.find("jackd="); at != std::string::npos) {
    rate = std::atof(messages.c_str() + at + 6);
  } else if (const std::size_t got = messages.find(", got ");
             got != std::string::npos && messages.find(" instead", got) != std::string::npos) {
    rate = std::atof(messages.c_str() + got + 6);
  }
  return rate >= 8000 && rate <= 384000 ? rate : 0;
}

}  // namespace ticktavo
