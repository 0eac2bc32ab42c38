#include "ui/text_number.h"

#include <climits>
#include <cstdint>

namespace ticktavo {

namespace {

std::size_t SkipToDigits(std::string_view text, bool* negative) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  return i;
}

}  // namespace

int AtoiSaturated(std::string_view text) {
  bool negative = false;
  std::size_t i = SkipToDigits(text, &negative);
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<std::int64_t>(INT_MAX) + 1)
      value = static_cast<std::int64_t>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool HasLeadingNumber(std::string_view text) {
  bool negative = false;
  const std::size_t i = SkipToDigits(text, &negative);
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

}  // namespace ticktavo
