#pragma once

namespace ticktavo {

// Pixel geometry as the front ends report it: a control's place in the window's client area,
// or a size. Right() and Bottom() are exclusive (x + width, y + height).
struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
  bool operator==(const Rect&) const = default;
};

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

}  // namespace ticktavo
