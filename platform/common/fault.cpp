#include "kv/platform/fault.h"

namespace kv::plat {

namespace {
struct Armed {
  int countdown;  // calls left up to the first failure; 0 when the site is not armed
  int failures;   // failing calls from there on
};
Armed armed[static_cast<int>(FaultSite::Count)];
int any_countdown = 0;                     // calls left up to the failure of fault_arm_any; 0 when not armed
int any_checked = 0;                       // calls checked since fault_arm_any
FaultSite any_failed = FaultSite::Count;   // the kind of the call that failed
FaultSite before_site = FaultSite::Count;  // where fault_before's action waits; Count when none does
int before_countdown = 0;
void (*before_action)() = nullptr;
}  // namespace

bool fault_now(FaultSite site) {
  if (site == before_site && --before_countdown == 0) {
    before_site = FaultSite::Count;
    before_action();
  }
  if (any_countdown > 0) {
    ++any_checked;
    if (--any_countdown == 0) {
      any_failed = site;
      return true;
    }
  }
  Armed& a = armed[static_cast<int>(site)];
  if (a.countdown == 0) return false;
  if (--a.countdown > 0) return false;
  if (--a.failures > 0) a.countdown = 1;  // the next call fails as well
  return true;
}

void fault_arm(FaultSite site, int nth, int times) {
  armed[static_cast<int>(site)] = nth > 0 && times > 0 ? Armed{nth, times} : Armed{0, 0};
}

void fault_arm_any(int nth) {
  any_countdown = nth > 0 ? nth : 0;
  any_checked = 0;
  any_failed = FaultSite::Count;
}

int fault_calls_checked() { return any_checked; }

FaultSite fault_failed_site() { return any_failed; }

void fault_before(FaultSite site, int nth, void (*action)()) {
  const bool armed_now = nth > 0 && action != nullptr && site != FaultSite::Count;
  before_site = armed_now ? site : FaultSite::Count;
  before_countdown = armed_now ? nth : 0;
  before_action = armed_now ? action : nullptr;
}

void fault_clear() {
  for (Armed& a : armed) a = Armed{0, 0};
  any_countdown = 0;
  fault_before(FaultSite::Count, 0, nullptr);
}

}  // namespace kv::plat
