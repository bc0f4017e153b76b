// The reference printer of TrueType text, asked of the spooler on every call over a kept connection: a removed
// printer is missed at once and one added back found again; a stopped spooler is waited for within the bound.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "delivery_printers.h"
#include "kvtaglib.h"
#include "posix_process.h"
#include "test_env.h"

namespace {

// Runs an administration command against the test spooler; whether it succeeded.
bool Admin(const std::string& command) { return std::system((command + " >/dev/null").c_str()) == 0; }

bool QueueExists(const std::string& queue) { return Admin("lpstat -p " + queue + " 2>/dev/null"); }

// The two reference queues, taken out of the spooler by the test and put back as they were.
class ReferencePrinterTest : public kvtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    // Never the machine's own spooler: the harness names the private one, a socket in its folder.
    const char* server = std::getenv("CUPS_SERVER");
    ASSERT_TRUE(server != nullptr && server[0] == '/') << "the test spooler is not set";
    ASSERT_EQ(OpenAndClearTmpFile(kvtest::kPrinter), KV_OK);
  }

  void TearDown() override {
    for (const char* queue : {"KIRV_R5", "KIRV_R5i"})
      if (!QueueExists(queue)) PutBack(queue);
    LibraryTest::TearDown();
  }

  static void Remove(const std::string& queue) { ASSERT_TRUE(Admin("lpadmin -x " + queue) && !QueueExists(queue)); }

  // As the harness made it: to the capture printer, with the installed description (model kirv/NAME.ppd).
  static void PutBack(const std::string& queue) {
    const std::string device = kvtest::CaptureSocketUri() + "/?snmp=false";
    ASSERT_TRUE(Admin("lpadmin -p " + queue + " -v '" + device + "' -E -m kirv/" + queue + ".ppd"));
    ASSERT_TRUE(QueueExists(queue));
  }

  static int DrawLine() { return KV_DrawTextTrueTypeW(0, 0, 30, 0, "DejaVu Sans", 0, 400, 0, 0, 0, "TT", "Line"); }
};

TEST_F(ReferencePrinterTest, RemovedPrinterIsMissedAtOnceAndFoundAgainWhenBack) {
  // What the library does without a reference printer is TrueTypeTest.SecondReferencePrinterStandsInForTheFirst.
  ASSERT_EQ(DrawLine(), KV_OK);  // the spooler's connection is made and kept from here on
  Remove("KIRV_R5");
  EXPECT_EQ(DrawLine(), KV_OK) << "the second reference printer stands in";
  Remove("KIRV_R5i");
  EXPECT_EQ(DrawLine(), KV_ERR_TRUETYPE_NO_PRINTER);
  PutBack("KIRV_R5i");
  EXPECT_EQ(DrawLine(), KV_OK);
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
