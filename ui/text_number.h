#pragma once

#include <string_view>

namespace ticktavo {

// Reads a number the way users' typed numbers have always been read here: leading white
// space, an optional sign, then the leading digits; no digits gives 0. Unlike atoi it
// saturates instead of overflowing, so a field full of nines is simply a very large number.
int AtoiSaturated(std::string_view text);

// Whether the text starts (after white space and a sign) with a digit.
bool HasLeadingNumber(std::string_view text);

}  // namespace ticktavo
