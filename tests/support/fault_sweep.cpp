#include "fault_sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "connection.h"
#include "kv/platform/fault.h"
#include "kv/platform/memory.h"
#include "kvtaglib.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace kvtest {

namespace {

// A value no operation stores, so that a stored code shows.
constexpr int kUntouched = -77;
// More sites than any operation of the library has: a sweep that gets here never ends.
constexpr int kMostSites = 5000;

using Contents = std::map<fs::path, std::optional<std::string>>;  // nullopt: no such file

Contents Snapshot(const std::vector<fs::path>& files) {
  Contents c;
  for (const fs::path& f : files) {
    std::error_code ec;
    c[f] = fs::is_regular_file(f, ec) ? std::optional<std::string>(ReadWhole(f)) : std::nullopt;
  }
  return c;
}

std::set<std::string> Listing() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::current_path())) names.insert(entry.path().filename().string());
  return names;
}

}  // namespace

int RunSweep(const Sweep& sweep) {
  SCOPED_TRACE(sweep.name);
  kv::plat::fault_clear();

  // A run with nothing failing: its result and the files it leaves are the "whole" outcome.
  sweep.prepare();
  std::vector<fs::path> watched = sweep.files;
  watched.insert(watched.end(), sweep.appended.begin(), sweep.appended.end());
  const std::set<std::string> listing_before_clean = Listing();
  const int clean = sweep.call();
  EXPECT_EQ(clean, sweep.ok) << "the operation fails with nothing failing";
  const Contents whole = Snapshot(watched);
  std::set<std::string> allowed_names = Listing();
  allowed_names.insert(listing_before_clean.begin(), listing_before_clean.end());

  const bool failed_before = ::testing::Test::HasFailure();
  int sites = 0;
  for (int n = 1; n <= kMostSites; ++n) {
    sweep.prepare();
    const Contents before = Snapshot(watched);
    const std::size_t blocks = kv::plat::mem_blocks_in_use();
    kv::SetErrState(kUntouched);

    kv::plat::fault_arm_any(n);
    const int rc = sweep.call();
    const bool reached = kv::plat::fault_calls_checked() >= n;
    const kv::plat::FaultSite failed = kv::plat::fault_failed_site();
    kv::plat::fault_clear();

    SCOPED_TRACE("failing site " + std::to_string(n) + (reached ? "" : " (not reached)"));
    const Contents after = Snapshot(watched);
    if (!reached || rc == sweep.ok) {
      // Not reached, or a failure the operation worked around (a smaller buffer): the whole outcome.
      EXPECT_EQ(rc, sweep.ok);
      EXPECT_EQ(after, whole) << "a successful run leaves the files as a clean run does";
      if (!reached) break;
      sites = n;
      continue;
    }
    sites = n;
    EXPECT_TRUE(sweep.codes.count(rc) == 1) << "unexpected code " << rc;
    const auto site_code = sweep.site_codes.find(failed);
    if (site_code != sweep.site_codes.end()) {
      EXPECT_EQ(rc, site_code->second) << "the code of a failed call of kind " << static_cast<int>(failed);
    }
    const int stored = GetErrState();
    const bool closing = sweep.closing_codes.count(rc) == 1;
    if (closing) {
      EXPECT_EQ(stored, KV_ERR_PORT_CLOSED);
      EXPECT_TRUE(kv::PortIsClosed());
      EXPECT_LE(kv::plat::mem_blocks_in_use(), blocks);
    } else {
      EXPECT_TRUE(stored == rc || (stored == kUntouched && sweep.stored.count(rc) == 0))
          << "LastError holds " << stored << " after " << rc;
      const auto kept = sweep.kept_blocks.find(rc);
      EXPECT_EQ(kv::plat::mem_blocks_in_use(), blocks + (kept != sweep.kept_blocks.end() ? kept->second : 0))
          << "heap blocks left behind";
    }
    for (const auto& [file, bytes] : after) {
      if (closing && !bytes) continue;  // closing the connection deletes the spool file by design
      const auto& was = before.at(file);
      const auto& full = whole.at(file);
      bool sound = bytes == was || bytes == full;
      const bool appended = std::find(sweep.appended.begin(), sweep.appended.end(), file) != sweep.appended.end();
      if (!sound && appended && bytes && was && full)
        sound = bytes->compare(0, was->size(), *was) == 0 && full->compare(0, bytes->size(), *bytes) == 0 &&
                bytes->size() >= was->size() && full->size() >= bytes->size();
      EXPECT_TRUE(sound) << file << " is neither as it was nor whole after code " << rc;
    }
    for (const std::string& name : Listing()) EXPECT_TRUE(allowed_names.count(name) == 1) << "left behind: " << name;
    if (!failed_before && ::testing::Test::HasFailure()) break;  // one failing site is enough to read
  }
  EXPECT_GT(sites, 0) << "the sweep reached no site: the operation does not go through the platform layer";
  EXPECT_LT(sites, kMostSites) << "the operation never ran through";
  std::printf("[ sweep    ] %s: %d sites\n", sweep.name.c_str(), sites);
  std::fflush(stdout);
  return sites;
}

}  // namespace kvtest
