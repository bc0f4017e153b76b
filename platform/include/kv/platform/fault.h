// Fault injection: a seam through which tests make the Nth call of one kind of platform service fail,
// so that a failure path runs exactly the code it runs in real life. The services of the seam's table
// (platform/common/seam.cpp) check their site on every call; nothing is armed in normal use, and then
// each check is a few loads and compares.
#ifndef KV_PLATFORM_FAULT_H
#define KV_PLATFORM_FAULT_H

namespace kv::plat {

enum class FaultSite {
  Alloc,          // mem_alloc
  FileCreate,     // file_create
  FileOpenRead,   // file_open_read
  FileWrite,      // file_write
  FileRead,       // file_read
  FileReplace,    // file_replace
  SpoolOpen,      // spool_open
  SpoolStartDoc,  // spool_start_doc
  SpoolWrite,     // spool_write
  SpoolEndDoc,    // spool_end_doc
  RasterOpen,     // raster_open: as if the reference printer were not there
  RasterDraw,     // raster_draw: as if no drawing surface could be made
  PrinterList,    // printers_list: the spooler's listing of its printers
  PrinterBuffer,  // printers_list: the block that holds the listed records
  ModuleLoad,     // module_load
  Count
};

// True when this call at `site` is to fail; counts the call down when armed.
bool fault_now(FaultSite site);

// Makes the `nth` next call at `site` fail (1: the very next), and the `times` - 1 calls after it;
// nth 0 disarms the site.
void fault_arm(FaultSite site, int nth, int times = 1);

// Makes the `nth` next call at any site fail, whatever its kind (1: the very next); nth 0 disarms.
// A fault sweep fails each call of an operation in turn this way.
void fault_arm_any(int nth);

// How many calls at any site were checked since the last fault_arm_any: when fewer than its `nth`,
// the failure was never reached and the operation ran as in normal use.
int fault_calls_checked();

// The kind of the call that fault_arm_any made fail; Count while none has.
FaultSite fault_failed_site();

// Runs `action` once, just before the `nth` next call at `site` goes on (1: the very next), so that a test
// can make something happen outside at an exact point of an operation: a spooler killed after it took a job
// and before the job's data. The call itself goes on as usual; nth 0 removes the action.
void fault_before(FaultSite site, int nth, void (*action)());

// Disarms every site and removes the action of fault_before.
void fault_clear();

}  // namespace kv::plat

#endif
