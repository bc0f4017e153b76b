// Fault sweeps: an operation run once with each of its calls to the platform layer failing in turn
// (the first, then the second, ...) until it runs through without reaching the failure. After every
// failing run the sweep checks what a caller and the user would see: the code returned, LastError,
// the watched files (each unchanged or whole, never half written), no work file left behind, and
// every heap block of the run released.
#ifndef KV_TESTS_FAULT_SWEEP_H
#define KV_TESTS_FAULT_SWEEP_H

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kv/platform/fault.h"

namespace kvtest {

struct Sweep {
  Sweep(std::string name_, std::function<void()> prepare_, std::function<int()> call_)
      : name(std::move(name_)), prepare(std::move(prepare_)), call(std::move(call_)) {}

  std::string name;
  // Puts the connection and the files back as they are before the operation; runs before every run.
  std::function<void()> prepare;
  // The operation under test.
  std::function<int()> call;
  // Files that after a failure must be as before the run or as after a successful run (a spool file,
  // a print file, a settings file). Relative paths are taken in the current directory.
  std::vector<std::filesystem::path> files;
  // Files only ever appended to (the spool file, which is never rolled back): after a failure each
  // holds what it held before and the beginning of what a successful run appends, nothing else.
  std::vector<std::filesystem::path> appended;
  // The codes a failed run may answer with.
  std::set<int> codes;
  // Of those, the codes the operation also stores in LastError (others may be stored or not).
  std::set<int> stored;
  // The code a failure of one kind of call must give, where the operation has one code for it; the
  // success code where the operation works around such a failure.
  std::map<kv::plat::FaultSite, int> site_codes;
  // Failed runs after which the connection is closed on purpose (no memory for a whole job): LastError
  // then holds the closed code and the connection's blocks are gone with it.
  std::set<int> closing_codes;
  // Failed runs that keep heap blocks on purpose, and how many (a refused printer leaves OpenPort's
  // buffers to the next OpenPort or ClosePort).
  std::map<int, std::size_t> kept_blocks;
  // The result of a successful run.
  int ok = 0;
};

// Runs the sweep and returns the number of failure sites it reached (also printed, one line per
// sweep). Failures are reported through GoogleTest's expectations.
int RunSweep(const Sweep& sweep);

}  // namespace kvtest

#endif
