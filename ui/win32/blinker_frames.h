#pragma once

#include <array>

namespace ticktavo::win32 {

// The blinkers' 18 frames as the window paints them: set 0 is 16 pixels square, set 1 32;
// frame 0 is empty and frame f a solid red disc of diameter 2f (set 0) or 4f (set 1) pixels,
// centred, so frame 8 fills the square. A pixel is red when its centre lies within the disc,
// which gives crisp edges like the small icons they stand for.
inline constexpr int kBlinkerFrames = 9;
inline constexpr int kBlinkerSets = 2;

// Side of a set's square at 96 dots per inch.
inline constexpr int BlinkerSide(int set) {
  return set == 0 ? 16 : 32;
}

// The red pixels of one row: columns [begin, end) of the square; begin == end when none.
struct Span {
  int begin = 0;
  int end = 0;
};

// Row y (0 .. side - 1) of frame `frame` in a square of `side` pixels, the disc's diameter being
// frame × side / 8 (the same proportion at every scale).
Span BlinkerRow(int side, int frame, int y);

}  // namespace ticktavo::win32
