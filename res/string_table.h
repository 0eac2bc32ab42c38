#pragma once

namespace ticktavo {

// The program's string resources by identifier; null for an identifier that has none.
const char* LoadResourceString(int id);

}  // namespace ticktavo
