// Fault sweeps: an operation run with each of its calls to the platform layer failing in turn until it runs
// through without reaching the failure. After every failing run the sweep checks the code returned, LastError,
// the watched files (unchanged or whole, never half written), no work file left behind, every heap block freed.
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
  // Files that after a failure must be as before the run or as after a successful one (relative to the
  // current directory).
  std::vector<std::filesystem::path> files;
  // Files only ever appended to (the spool file): after a failure each holds what it held before and the
  // beginning of what a successful run appends.
  std::vector<std::filesystem::path> appended;
  // The codes a failed run may answer with.
  std::set<int> codes;
  // Of those, the codes the operation also stores in LastError (others may be stored or not).
  std::set<int> stored;
  // The code a failure of one kind of call must give (the success code where the operation works around it).
  std::map<kv::plat::FaultSite, int> site_codes;
  // Codes after which the connection is closed on purpose (no memory for a whole job): LastError holds the
  // closed code and the connection's blocks are gone.
  std::set<int> closing_codes;
  // Codes after which heap blocks stay on purpose, and how many (a refused printer leaves OpenPort's buffers).
  std::map<int, std::size_t> kept_blocks;
  // The result of a successful run.
  int ok = 0;
};

// Runs the sweep, reporting failures through GoogleTest; the number of failure sites reached (also printed).
int RunSweep(const Sweep& sweep);

}  // namespace kvtest

#endif
