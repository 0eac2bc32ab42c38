#pragma once

#include "dialog/geometry.h"

namespace ticktavo {

// Dialog units as the templates were designed in: a horizontal unit is a quarter of the dialog
// font's average character width, a vertical unit an eighth of its character height. Laying
// a template out in these units makes the window grow and shrink with the user's font.
struct DialogUnits {
  int baseX = 0;  // average character width, pixels
  int baseY = 0;  // character height, pixels

  // Rounded to the nearest pixel, halves away from zero.
  int X(int units) const { return MulDivRound(units, baseX, 4); }
  int Y(int units) const { return MulDivRound(units, baseY, 8); }
  Rect ToPixels(int x, int y, int cx, int cy) const { return Rect{X(x), Y(y), X(cx), Y(cy)}; }

  static int MulDivRound(int value, int multiplier, int divisor) {
    const long long product = static_cast<long long>(value) * multiplier;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
  }
};

}  // namespace ticktavo
