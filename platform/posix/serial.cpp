// A CUPS queue has no serial line behind it: there is nothing to apply the settings to.
#include "kv/platform/serial.h"

namespace kv::plat {

bool serial_apply(SpoolHandle, const SerialSettings&) { return false; }

}  // namespace kv::plat
