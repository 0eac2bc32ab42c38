// Checks an exported click track against the beat grid, on its own terms: reads the file with
// libsndfile, finds each sounding beat's first audible sample, and compares it with the beat's
// frame on the grid, round(k × 60 × rate / BPM), worked out here in long double.
//
//   export_onsets FILE BPM MEASURE [--threshold T]
//
// MEASURE is the custom measure text ("31212012121"; '0' is a silent beat, "(12)" a chord).
// The onset of beat k is the first frame at or after its grid frame - half a period whose
// sample (either channel) exceeds T (default 0.001, -60 dBFS); the search stops half a period
// after the grid frame. A sound starts a few frames after its note-on (its own attack), the
// same for every beat of that sound: so the offsets onset - grid frame, grouped by what the
// beat sounds, must each be one number. The error is the spread of each group (0 when every
// beat lies exactly on the grid). Exits 1 when a sounding beat has no onset or an error is
// not 0.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: export_onsets FILE BPM MEASURE [--threshold T]\n");
    return 2;
  }
  const char* path = argv[1];
  const int bpm = std::atoi(argv[2]);
  const std::string text = argv[3];
  double threshold = 0.001;
  for (int i = 4; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--threshold") threshold = std::atof(argv[i + 1]);
  }
  // The beats of the measure, each as the text of what it sounds ("" for silence).
  std::vector<std::string> beats;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    if (text[i] == '(') {
      const std::size_t close = text.find(')', i);
      std::string chord = text.substr(i + 1, close - i - 1);
      chord.erase(std::remove(chord.begin(), chord.end(), '0'), chord.end());
      beats.push_back(chord.empty() ? "" : "(" + chord + ")");
      i = close;
    } else {
      beats.push_back(text[i] == '0' ? "" : std::string(1, text[i]));
    }
  }

  SF_INFO info{};
  SNDFILE* file = sf_open(path, SFM_READ, &info);
  if (file == nullptr || bpm <= 0 || beats.empty()) {
    std::fprintf(stderr, "export_onsets: cannot read %s: %s\n", path, sf_strerror(file));
    return 2;
  }
  std::vector<float> frames(static_cast<std::size_t>(info.frames) * info.channels);
  sf_readf_float(file, frames.data(), info.frames);
  sf_close(file);
  const auto loud = [&](std::int64_t f) {
    for (int c = 0; c < info.channels; ++c) {
      if (std::fabs(frames[static_cast<std::size_t>(f * info.channels + c)]) > threshold) {
        return true;
      }
    }
    return false;
  };

  const long double period = 60.0L * info.samplerate / bpm;
  std::map<std::string, std::vector<std::int64_t>> offsets;  // by sound
  int missing = 0;
  std::int64_t sounding = 0;
  for (std::int64_t k = 0;; ++k) {
    const auto grid = static_cast<std::int64_t>(std::llround(k * period));
    if (grid >= info.frames) break;
    const std::string& sound = beats[static_cast<std::size_t>(k) % beats.size()];
    if (sound.empty()) continue;
    ++sounding;
    const auto from = std::max<std::int64_t>(0, grid - static_cast<std::int64_t>(period / 2));
    const auto to =
        std::min<std::int64_t>(info.frames, grid + static_cast<std::int64_t>(period / 2));
    std::int64_t onset = from;
    while (onset < to && !loud(onset)) ++onset;
    if (onset == to) {
      std::printf("beat %lld (%s, frame %lld): no onset\n", static_cast<long long>(k),
                  sound.c_str(), static_cast<long long>(grid));
      ++missing;
      continue;
    }
    offsets[sound].push_back(onset - grid);
  }

  std::printf("%s: %lld frames at %d Hz, %d BPM, %lld sounding beats\n", path,
              static_cast<long long>(info.frames), info.samplerate, bpm,
              static_cast<long long>(sounding));
  std::int64_t error = 0;
  for (const auto& [sound, list] : offsets) {
    const auto [low, high] = std::minmax_element(list.begin(), list.end());
    error = std::max(error, *high - *low);
    std::printf("  voice %-6s %4zu beats, onset - grid frame: min %lld, max %lld\n", sound.c_str(),
                list.size(), static_cast<long long>(*low), static_cast<long long>(*high));
  }
  std::printf(
      "error: %lld frames (largest spread of one sound's offsets), %d beats without "
      "onset\n",
      static_cast<long long>(error), missing);
  return error == 0 && missing == 0 ? 0 : 1;
}
