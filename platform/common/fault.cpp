#include "kv/platform/fault.h"

namespace kv::plat {

namespace {
// Calls left before the armed failure at each site; 0 when the site is not armed.
int countdown[static_cast<int>(FaultSite::Count)];
}  // namespace

bool fault_now(FaultSite site) {
  int& left = countdown[static_cast<int>(site)];
  if (left == 0) return false;
  return --left == 0;
}

void fault_arm(FaultSite site, int nth) {
  countdown[static_cast<int>(site)] = nth > 0 ? nth : 0;
}

void fault_clear() {
  for (int& left : countdown) left = 0;
}

}  // namespace kv::plat
