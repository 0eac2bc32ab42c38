#include "res/string_table.h"

#include "res/resource_ids.h"

namespace ticktavo {

const char* LoadResourceString(int id) {
  switch (id) {
    case kIdStringAbout:
      return "&About Ticktavo...";
    default:
      return nullptr;
  }
}

}  // namespace ticktavo
