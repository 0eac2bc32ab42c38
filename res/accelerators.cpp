#include "res/accelerators.h"

#include <array>

#include "res/resource_ids.h"

namespace ticktavo {

namespace {

using Key = Accelerator::Key;

constexpr std::array<Accelerator, 7> kAccelerators = {{
    {Key::kLetter, 'B', true, kIdBlink},
    {Key::kLetter, 'C', true, kIdCustom},
    {Key::kLetter, 'M', true, kIdSimpleMeasure},
    {Key::kLetter, 'P', true, kIdPlay},
    {Key::kLetter, 'S', true, kIdStraight},
    {Key::kEnter, 0, false, kIdPlay},
    {Key::kLetter, 'X', true, kIdExit},
}};

}  // namespace

std::span<const Accelerator> AcceleratorTable() {
  return kAccelerators;
}

}  // namespace ticktavo
