// The library against a spooler that misbehaves, stopped or killed in the middle of a job; and printer
// handles that hold no spooler connection between jobs.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"
#include "connection.h"
#include "kv/platform/fault.h"
#include "kv/platform/spooler.h"
#include "kvtaglib.h"
#include "posix_process.h"
#include "test_env.h"

namespace {

using Clock = std::chrono::steady_clock;
using kvtest::kPrinter;
using kvtest::ScopedEnv;
using kvtest::WaitForJob;

class SpoolerFaultTest : public kvtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    first_ = kvtest::CapturedJobCount();
  }
  std::size_t first_ = 0;
};

TEST_F(SpoolerFaultTest, AnyNumberOfPrinterHandlesHoldNoSpoolerConnection) {
  const int sockets = kvtest::OpenSocketCount();
  std::vector<void*> handles;
  for (int i = 0; i < 50; ++i) {
    void* h = KV_OpenPrinter(kPrinter);
    ASSERT_NE(h, nullptr);
    handles.push_back(h);
  }
  EXPECT_EQ(kvtest::OpenSocketCount(), sockets);
  // Each earlier handle is still the caller's to use and to close; the connection has the last one.
  EXPECT_EQ(kv::conn.PrinterHandle, handles.back());
  ASSERT_EQ(KV_ClosePrinter(), 1);
  handles.pop_back();
  for (void* h : handles) EXPECT_TRUE(kv::plat::spool_close(h));

  ASSERT_EQ(OpenAndClearBuffer(kPrinter), KV_OK);
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  EXPECT_EQ(kvtest::OpenSocketCount(), sockets) << "a delivery leaves no connection behind";
  EXPECT_EQ(WaitForJob(first_), "N\r\n");
}

TEST_F(SpoolerFaultTest, StoppedSpoolerFailsTheDeliveryWithinTheBound) {
  ScopedEnv bound("KV_SPOOLER_TIMEOUT_MS", "1000");
  ASSERT_EQ(OpenAndClearBuffer(kPrinter), KV_OK);
  const int sockets = kvtest::OpenSocketCount();
  const pid_t spooler = kvtest::SpoolerPid();
  ASSERT_GT(spooler, 0);
  {
    // Lets the stopped spooler run again however the test ends (the deleter runs for the null pointer too).
    const std::shared_ptr<void> resume(nullptr, [spooler](void*) { kill(spooler, SIGCONT); });
    ASSERT_EQ(kill(spooler, SIGSTOP), 0);
    auto start = Clock::now();
    EXPECT_EQ(KV_WritePrinter(), KV_ERR_START_DOC);
    // Without a bound the call waited minutes; with one it gives up after about a second. The limit
    // here only tells the two apart.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(kvtest::OpenSocketCount(), sockets) << "nothing stays open after the failed exchange";
    // Opening a printer asks the spooler too, within the same bound.
    ClosePort();
    start = Clock::now();
    EXPECT_EQ(OpenPort(kPrinter), KV_ERR_OPEN_PRINTER);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{"打开打印机出错！", "请检查打印机是否安装正常！"}));
    EXPECT_EQ(kvtest::OpenSocketCount(), sockets);
  }
  kv::ResetConnectionForTests();
  ASSERT_EQ(OpenAndClearBuffer(kPrinter), KV_OK);
  // Running again, the spooler takes the same job.
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  EXPECT_EQ(WaitForJob(first_), "N\r\n");
}

// The spooler of the running test, killed from inside a delivery; 0 when none is to be killed.
pid_t spooler_to_kill = 0;

// Kills the spooler and waits until it is gone, so that its end of the job's connection is closed.
void KillSpooler() {
  kill(spooler_to_kill, SIGKILL);
  const auto give_up = Clock::now() + std::chrono::seconds(10);
  const std::string stat = "/proc/" + std::to_string(spooler_to_kill) + "/stat";
  while (Clock::now() < give_up) {
    const std::string state = kvtest::ReadWhole(stat);
    if (state.empty() || state.find(") Z ") != std::string::npos) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST_F(SpoolerFaultTest, SpoolerKilledMidJobRefusesTheDataAndTheJobCanBeSentAgain) {
  ScopedEnv bound("KV_SPOOLER_TIMEOUT_MS", "5000");
  const std::string job = "N\r\n" + kvtest::Bytes(64u << 20, 12) + "W1,1\r\n";
  ASSERT_EQ(OpenAndClearTmpFile(kPrinter), KV_OK);
  kvtest::WriteWhole(SpoolFile(), job);  // a caller may fill the spool file itself
  spooler_to_kill = kvtest::SpoolerPid();
  ASSERT_GT(spooler_to_kill, 0);
  // The spooler has taken the job (its document is started) and dies before the job's data goes.
  kv::plat::fault_before(kv::plat::FaultSite::SpoolWrite, 1, KillSpooler);
  const int result = KV_WritePrinter();
  kv::plat::fault_clear();
  kvtest::RestartSpooler();

  EXPECT_EQ(result, KV_ERR_WRITE_DATA);
  ASSERT_EQ(SpoolBytes(), job) << "the spool file survives a refused delivery";
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  EXPECT_TRUE(WaitForJob(first_) == job) << "the job sent again arrives whole";
}

}  // namespace
