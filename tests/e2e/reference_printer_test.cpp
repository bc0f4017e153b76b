// The reference printer of TrueType text is asked of the spooler on every call, over a connection kept
// from earlier calls: a removed printer is missed at once and one added back found again; a stopped
// spooler is waited for no longer than the bound of every spooler exchange.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kvtaglib.h"
#include "posix_process.h"
#include "test_env.h"

namespace {

struct Ran {
  bool ok = false;
  std::string out;
};

// Runs an administration command against the test spooler.
Ran Shell(const std::string& command) {
  Ran ran;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return ran;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) ran.out += buffer;
  ran.ok = pclose(pipe) == 0;
  return ran;
}

bool QueueExists(const std::string& queue) { return Shell("lpstat -p " + queue).ok; }

// The two reference queues, taken out of the spooler by the test and put back as they were.
class ReferencePrinterTest : public kvtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    // Never the machine's own spooler: the harness names the private one, a socket in its folder.
    const char* server = std::getenv("CUPS_SERVER");
    ASSERT_TRUE(server != nullptr && server[0] == '/') << "the test spooler is not set";
    const Ran device = Shell("lpstat -v KIRV_R5");  // "device for KIRV_R5: socket://..."
    const auto at = device.out.find(": ");
    ASSERT_TRUE(device.ok && at != std::string::npos) << device.out;
    device_ = device.out.substr(at + 2, device.out.find_first_of("\r\n", at) - at - 2);
    ASSERT_EQ(OpenPort(kvtest::kPrinter), KV_OK);
    ASSERT_EQ(ClearTmpFile(), KV_OK);
  }

  void TearDown() override {
    for (const char* queue : {"KIRV_R5", "KIRV_R5i"})
      if (!QueueExists(queue)) PutBack(queue);
    LibraryTest::TearDown();
  }

  void Remove(const std::string& queue) {
    const Ran ran = Shell("lpadmin -x " + queue);
    ASSERT_TRUE(ran.ok && !QueueExists(queue)) << ran.out;
  }

  void PutBack(const std::string& queue) {
    // The spooler offers the printers' installed descriptions as its models kirv/NAME.ppd.
    const Ran ran = Shell("lpadmin -p " + queue + " -v '" + device_ + "' -E -m kirv/" + queue + ".ppd");
    ASSERT_TRUE(ran.ok && QueueExists(queue)) << ran.out;
  }

  static int DrawLine() { return KV_DrawTextTrueTypeW(0, 0, 30, 0, "DejaVu Sans", 0, 400, 0, 0, 0, "TT", "Line"); }

  std::string device_;
};

TEST_F(ReferencePrinterTest, RemovedPrinterIsMissedAtOnceAndFoundAgainWhenBack) {
  ASSERT_EQ(DrawLine(), KV_OK);  // the spooler's connection is made and kept from here on
  const std::string drawn = SpoolBytes();
  ASSERT_FALSE(drawn.empty());

  Remove("KIRV_R5");
  EXPECT_EQ(DrawLine(), KV_OK) << "the second reference printer stands in";
  Remove("KIRV_R5i");
  EXPECT_EQ(DrawLine(), KV_ERR_TRUETYPE_NO_PRINTER);
  EXPECT_EQ(GetErrState(), KV_ERR_TRUETYPE_NO_PRINTER);
  EXPECT_EQ(SpoolBytes(), drawn + drawn) << "nothing appended without a reference printer";

  PutBack("KIRV_R5i");
  EXPECT_EQ(DrawLine(), KV_OK);
  EXPECT_EQ(SpoolBytes(), drawn + drawn + drawn);
}

TEST_F(ReferencePrinterTest, StoppedSpoolerIsWaitedForWithinTheBound) {
  kvtest::ScopedEnv bound("KV_SPOOLER_TIMEOUT_MS", "500");
  ASSERT_EQ(DrawLine(), KV_OK);  // the kept connection is open
  const pid_t spooler = kvtest::SpoolerPid();
  ASSERT_GT(spooler, 0);
  ASSERT_EQ(kill(spooler, SIGSTOP), 0);
  const auto start = std::chrono::steady_clock::now();
  const int rc = DrawLine();
  const auto waited = std::chrono::steady_clock::now() - start;
  kill(spooler, SIGCONT);
  EXPECT_EQ(rc, KV_ERR_TRUETYPE_NO_PRINTER);
  // Both reference printers are asked, each within the bound; unbounded, each waited 30 s or more.
  // The limit here only tells the two apart.
  EXPECT_LT(waited, std::chrono::seconds(15));
  EXPECT_EQ(DrawLine(), KV_OK) << "the spooler running again is asked on a new connection";
}

}  // namespace
