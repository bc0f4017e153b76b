// Jobs through the real spooler to the capture printer: exactly the spool file's bytes, one job each.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "capture.h"
#include "connection.h"
#include "delivery_printers.h"
#include "kv/platform/fault.h"
#include "kvtaglib.h"
#include "platform.h"
#include "test_env.h"

namespace {

using kvtest::Bytes;
using kvtest::CapturedJobCount;
using kvtest::WaitForJob;

// What reached the printer: the bytes of the test's jobs in order, and how many jobs they were.
struct Delivered {
  std::string bytes;
  std::size_t jobs = 0;
};

class DeliveryTest : public kvtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    first_ = CapturedJobCount();
  }

  // Prints a marker job on `printer` and returns what the printer received before it: the test's jobs,
  // since one queue prints in order.
  Delivered DeliveredBeforeMarker(const std::string& printer) {
    kv::ResetConnectionForTests();
    EXPECT_EQ(OpenPort(printer.c_str()), KV_OK);
    EXPECT_EQ(ClearTmpFile(), KV_OK);
    EXPECT_EQ(Pulse("marker", 6, 0), KV_OK);
    EXPECT_EQ(KV_WritePrinter(), KV_OK);
    Delivered got;
    for (std::size_t i = first_;; ++i) {
      std::string job = WaitForJob(i);
      if (job == "<no job>") return got;
      got.bytes += job;
      const std::size_t end = got.bytes.size() >= 6 ? got.bytes.size() - 6 : 0;
      if (got.bytes.size() >= 6 && got.bytes.compare(end, 6, "marker") == 0) {
        got.bytes.erase(end);
        // A marker joined to the job before it (a device's stream) still ends that job.
        got.jobs = i - first_ + (job == "marker" ? 0 : 1);
        return got;
      }
    }
  }

  std::size_t first_ = 0;  // the number of the first job this test can cause
};

// The same deliveries through every kind of printer: the spooler's queue, and where printers are
// opened without the spooler, a raw TCP port and a device file.
class AnyPrinterDeliveryTest : public DeliveryTest, public ::testing::WithParamInterface<kvtest::DeliveryPrinter> {
 protected:
  const char* printer() const { return GetParam().name.c_str(); }

  // The bytes the test's jobs delivered; where jobs arrive one by one, also checks their number.
  std::string Received(std::size_t jobs) {
    Delivered got = DeliveredBeforeMarker(GetParam().name);
    if (GetParam().counts_jobs) {
      EXPECT_EQ(got.jobs, jobs);
    }
    return got.bytes;
  }
};

// Command lines, graphics with every byte value, TrueType text and a file of several pieces reach the
// printer as one job exactly as the spool file holds them. (Each builder's bytes: commands_test.cpp.)
TEST_P(AnyPrinterDeliveryTest, LabelArrivesByteForByte) {
  kvtest::WriteWhole(dir_ / "logo.pcx", Bytes(12000, 8));
  kvtest::WriteWhole(dir_ / "graphic.bin", Bytes(3 * kv::kBufferSize - 17, 3));
  ASSERT_EQ(OpenAndClearBuffer(printer()), KV_OK);
  ASSERT_EQ(KV_SetLabelWidth(812), KV_OK);
  ASSERT_EQ(KV_DrawText(40, 30, 0, 4, 1, 1, 'N', "Font 4"), KV_OK);
  ASSERT_EQ(KV_PrintPCX(10, 10, "logo.pcx"), KV_OK);
  ASSERT_EQ(KV_DrawTextTrueTypeW(40, 200, 48, 0, "DejaVu Sans", 0, 700, 0, 0, 0, "TT1", "Delivered"), KV_OK);
  const unsigned char bitmap[] = {0xF0, 0x0F, 0xAA, 0x55};
  ASSERT_EQ(KV_DrawBinGraphics(5, 5, 2, 2, bitmap), KV_OK);
  ASSERT_EQ(OurSendFile("graphic.bin", 0), KV_OK);
  const std::string job = SpoolBytes() + "W1,2\r\n";
  ASSERT_EQ(KV_PrintLabel(1, 2), KV_OK);
  EXPECT_EQ(Received(1), job);
}

// A job of no bytes is taken and prints nothing; a second delivery sends the same job again.
TEST_P(AnyPrinterDeliveryTest, EmptyJobPrintsNothingAndASecondDeliverySendsTheJobAgain) {
  ASSERT_EQ(OpenAndClearTmpFile(printer()), KV_OK);
  EXPECT_EQ(KV_WritePrinter(), KV_OK);
  const std::string label = "A10,10,0,1,1,1,N,\"twice\"\r\nW1,1\r\n";
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  ASSERT_EQ(Pulse(label.data(), static_cast<int>(label.size()), 0), KV_OK);
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  EXPECT_EQ(Received(2), label + label);
}

// Refused opens keep the printer that is open; once it is closed alone, nothing more is sent.
TEST_P(AnyPrinterDeliveryTest, RefusedOpenKeepsThePrinterAndOneClosedAloneSendsNothing) {
  ASSERT_EQ(OpenPort(printer()), KV_OK);
  void* const open = kv::conn.PrinterHandle;
  EXPECT_EQ(KV_OpenPrinter(nullptr), nullptr);
  EXPECT_EQ(KV_OpenPrinter("KIRV R9 Absent"), nullptr);
  EXPECT_EQ(TakeMessages(), (std::vector<std::string>{"打开打印机出错！", "打开打印机出错！"}));
  EXPECT_EQ(kv::conn.PrinterHandle, open);
  EXPECT_EQ(kv::conn.PortHandle, open);
  ASSERT_EQ(KV_ClearBuffer(), KV_OK);
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  ASSERT_EQ(KV_ClosePrinter(), 1);
  EXPECT_EQ(KV_WritePrinter(), KV_ERR_NO_PRINTER);
  EXPECT_EQ(Received(1), "N\r\n");
}

TEST_P(AnyPrinterDeliveryTest, RefusedDataLeavesNoDocumentBehind) {
  if (!kvtest::kAbortEndsTheDocument) {
    // The refused document stays open on the printer handle and the next cannot start. On a stopped
    // printer, so that the document ended with the printer never reaches the capture printer.
    ASSERT_EQ(OpenAndClearBuffer("KIRV R5 Stopped"), KV_OK);
    kv::plat::fault_arm(kv::plat::FaultSite::SpoolWrite, 1);
    ASSERT_EQ(KV_WritePrinter(), KV_ERR_WRITE_DATA);
    EXPECT_EQ(KV_WritePrinter(), KV_ERR_START_DOC);
    return;
  }
  ASSERT_EQ(OpenAndClearBuffer(printer()), KV_OK);
  kv::plat::fault_arm(kv::plat::FaultSite::SpoolWrite, 1);
  ASSERT_EQ(KV_WritePrinter(), KV_ERR_WRITE_DATA);
  // The abandoned document does not hold up or leak into the next job.
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  EXPECT_EQ(Received(1), "N\r\n");
}

INSTANTIATE_TEST_SUITE_P(Printers, AnyPrinterDeliveryTest, ::testing::ValuesIn(kvtest::DeliveryPrinters()),
                         [](const ::testing::TestParamInfo<kvtest::DeliveryPrinter>& printer) {
                           return printer.param.label;
                         });

}  // namespace
