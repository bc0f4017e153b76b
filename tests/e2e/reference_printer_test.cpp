// The reference printer of TrueType text is asked of the spooler on every call: a printer removed
// from the spooler gives the no-printer code at once, although the question goes over a connection
// kept from earlier calls, and a printer added back is found again.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "kvtaglib.h"
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

}  // namespace
