// The kit's own device paths as PAPPL devices: "device:///dev/usb/lp0" (or any printer device file) is
// opened through the kit's platform layer, as the library opens "usb:/dev/usb/lp0", so that a terminal is
// put into raw mode and a printer that takes nothing fails in bounded time. PAPPL's socket:// and usb://
// stay as PAPPL has them.
#ifndef KV_PRINTER_DEVICES_H
#define KV_PRINTER_DEVICES_H

namespace kv::printer {

inline constexpr const char kDeviceScheme[] = "device";

void AddDeviceSchemes();

}  // namespace kv::printer

#endif
