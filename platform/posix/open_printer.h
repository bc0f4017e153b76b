// What stands behind a printer handle on POSIX: a CUPS queue, or a printer reached directly (a raw
// TCP port or a device file). The spooler functions check the handle and hand each call to it.
#ifndef KV_PLATFORM_POSIX_OPEN_PRINTER_H
#define KV_PLATFORM_POSIX_OPEN_PRINTER_H

#include <chrono>
#include <cstddef>

#include "kv/platform/serial.h"
#include "kv/platform/spooler.h"

namespace kv::plat {

class OpenPrinter {
 public:
  virtual ~OpenPrinter() = default;
  // One document: started, written in any number of pieces, then ended or abandoned.
  virtual bool start_doc(const char* doc_name, bool raw) = 0;
  virtual bool write(const void* data, std::size_t len) = 0;
  virtual bool end_doc() = 0;
  virtual bool abort_doc() = 0;
  virtual bool in_doc() const = 0;
  // Applies serial-line settings; only a device that is a terminal has a line to apply them to.
  virtual bool apply_serial(const SerialSettings&) { return false; }
};

// The open printer behind a handle that spool_open returned and spool_close has not yet closed;
// null for any other value.
OpenPrinter* printer_behind(SpoolHandle handle);

// Opens a printer addressed directly; null when the name is malformed or the printer cannot be reached.
OpenPrinter* open_direct(const char* name);

// The bounds of every exchange with a spooler or printer, from the environment:
// KV_SPOOLER_TIMEOUT_MS (default 30 s) for each request or piece of data, KV_CONNECT_TIMEOUT_MS
// (default 5 s) for reaching a printer addressed directly.
std::chrono::milliseconds exchange_bound();
std::chrono::milliseconds connect_bound();

}  // namespace kv::plat

#endif
