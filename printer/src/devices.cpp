#include "devices.h"

#include <glob.h>
#include <pappl/pappl.h>

#include <cstring>
#include <string>

#include "kv/platform/spooler.h"

namespace kv::printer {

namespace {

// The path of a "device:///PATH" URI, or null.
const char* PathOf(const char* uri) {
  const std::string prefix = std::string(kDeviceScheme) + "://";
  if (!uri || std::strncmp(uri, prefix.c_str(), prefix.size()) != 0) return nullptr;
  const char* path = uri + prefix.size();
  return *path == '/' ? path : nullptr;
}

bool Open(pappl_device_t* device, const char* uri, const char* name) {
  const char* path = PathOf(uri);
  if (!path || !plat::spool_is_direct_name(path)) {
    papplDeviceError(device, "\"%s\" names no printer device file.", uri ? uri : "");
    return false;
  }
  plat::SpoolHandle printer = plat::spool_open(path);
  if (!printer) {
    papplDeviceError(device, "Cannot open the printer device %s.", path);
    return false;
  }
  if (!plat::spool_start_doc(printer, name ? name : "kvprinter", "RAW")) {
    plat::spool_close(printer);
    papplDeviceError(device, "Cannot start a job on the printer device %s.", path);
    return false;
  }
  papplDeviceSetData(device, printer);
  return true;
}

void Close(pappl_device_t* device) {
  plat::SpoolHandle printer = papplDeviceGetData(device);
  if (!printer) return;
  plat::spool_end_doc(printer);
  plat::spool_close(printer);
  papplDeviceSetData(device, nullptr);
}

ssize_t Read(pappl_device_t*, void*, size_t) { return -1; }  // the device files carry no status back

ssize_t Write(pappl_device_t* device, const void* buffer, size_t bytes) {
  plat::SpoolHandle printer = papplDeviceGetData(device);
  if (!printer || !plat::spool_write(printer, buffer, bytes)) return -1;
  return static_cast<ssize_t>(bytes);
}

pappl_preason_t Status(pappl_device_t*) { return PAPPL_PREASON_NONE; }

// The printer device files of this machine: USB printer class devices.
bool List(pappl_device_cb_t cb, void* data, pappl_deverror_cb_t, void*) {
  glob_t found{};
  bool stop = false;
  if (glob("/dev/usb/lp*", 0, nullptr, &found) == 0) {
    for (std::size_t i = 0; i < found.gl_pathc && !stop; ++i) {
      const std::string uri = std::string(kDeviceScheme) + "://" + found.gl_pathv[i];
      const std::string info = std::string("Printer device file ") + found.gl_pathv[i];
      stop = cb(info.c_str(), uri.c_str(), "", data);
    }
  }
  globfree(&found);
  return stop;
}

}  // namespace

void AddDeviceSchemes() {
  // PAPPL adds its own schemes when it first needs its list: before ours, or they would be missing.
  papplDeviceIsSupported("socket://localhost");
  papplDeviceAddScheme(kDeviceScheme, PAPPL_DEVTYPE_CUSTOM_LOCAL, List, Open, Close, Read, Write, Status, nullptr);
}

}  // namespace kv::printer
