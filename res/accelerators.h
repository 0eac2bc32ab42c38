#pragma once

#include <span>

namespace ticktavo {

// One keyboard accelerator: a key that, with exactly the modifiers given (never Shift or Ctrl),
// sends a command to the main window whatever control has the focus.
struct Accelerator {
  enum class Key { kLetter, kEnter };
  Key key;
  char letter;  // upper-case letter for kLetter
  bool alt;
  int command;  // identifier of the control the key stands for
};

// Table 129: Alt+B, Alt+C, Alt+M, Alt+P, Alt+S, Enter, Alt+X.
std::span<const Accelerator> AcceleratorTable();

}  // namespace ticktavo
