#include "res/string_table.h"

#include "res/resource_ids.h"

namespace ticktavo {

const char* LoadResourceString(int id) {
  switch (id) {
    case kIdStringAbout:
      return "&About Ticktavo...";
    case kIdStringPractice:
      return "&Practice...";
    case kIdStringExport:
      return "&Export Click Track...";
    default:
      return nullptr;
  }
}

}  // namespace ticktavo
