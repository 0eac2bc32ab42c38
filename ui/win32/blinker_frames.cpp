#include "ui/win32/blinker_frames.h"

#include <algorithm>
#include <cmath>

namespace ticktavo::win32 {

Span BlinkerRow(int side, int frame, int y) {
  frame = std::clamp(frame, 0, kBlinkerFrames - 1);
  if (frame == 0 || side <= 0 || y < 0 || y >= side) return {};
  const double radius = frame * side / 16.0;  // diameter = frame × side / 8
  const double centre = side / 2.0;
  const double dy = y + 0.5 - centre;
  const double reach2 = radius * radius - dy * dy;
  if (reach2 < 0) return {};
  // Pixels x with |x + 0.5 - centre| <= reach.
  const double reach = std::sqrt(reach2);
  const int begin = std::max(0, static_cast<int>(std::ceil(centre - reach - 0.5)));
  const int end = std::min(side, static_cast<int>(std::floor(centre + reach - 0.5)) + 1);
  return begin < end ? Span{begin, end} : Span{};
}

}  // namespace ticktavo::win32
