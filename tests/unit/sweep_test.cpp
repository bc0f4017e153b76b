// Fault sweeps (tests/support/fault_sweep.h) over the exports that allocate, open, read, write or talk
// to the spooler, where no other sweep fails the same calls; the builders are swept in commands_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "connection.h"
#include "fault_sweep.h"
#include "kvtaglib.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

using kv::plat::FaultSite;
using kvtest::Bytes;
using kvtest::kPrinter;
using kvtest::RunSweep;
using kvtest::Sweep;
using kvtest::WriteWhole;

// Jobs of the delivery sweeps go to a stopped queue: held there, they never reach the capture printer
// that the end-to-end tests read (Wine ends an abandoned document instead of dropping it).
constexpr const char kHeldPrinter[] = "KIRV R5 Stopped";

class SweepTest : public kvtest::LibraryTest {
 protected:
  // An open connection with a job of a few bytes under way. The held printer, which takes deliveries,
  // is opened afresh every time: Wine cannot abandon a document that a failed delivery left open.
  static void OpenWithJob(const char* printer = kPrinter) {
    if (!kv::PortIsClosed() && std::string(printer) != kPrinter) ClosePort();
    if (kv::PortIsClosed()) {
      ASSERT_EQ(OpenPort(printer), KV_OK);
    }
    ASSERT_EQ(KV_ClearBuffer(), KV_OK);
    ASSERT_EQ(Pulse("A10,10,0,1,1,1,N,\"x\"\r\n", 22, 0), KV_OK);
  }
  // Messages of failed opens are expected here; any other is not.
  void TakeOpenMessages() {
    for (const std::string& m : TakeMessages())
      EXPECT_TRUE(m == "打开打印机出错！" || m == "请检查打印机是否安装正常！" || m == "关闭打印机出错！") << m;
  }
};

TEST_F(SweepTest, Connection) {
  Sweep open(
      "OpenPort", [] { ClosePort(); }, [] { return OpenPort(kPrinter); });
  open.codes = {KV_ERR_CMD_BUFFER, KV_ERR_SCRATCH_BUFFER, KV_ERR_OPEN_PRINTER};
  open.closing_codes = {KV_ERR_CMD_BUFFER, KV_ERR_SCRATCH_BUFFER};
  open.kept_blocks = {{KV_ERR_OPEN_PRINTER, 2}};
  open.site_codes = {{FaultSite::SpoolOpen, KV_ERR_OPEN_PRINTER}};
  RunSweep(open);
  TakeOpenMessages();

  Sweep printer(
      "KV_OpenPrinter", [] { ClosePort(); }, [] { return KV_OpenPrinter(kPrinter) != nullptr ? 0 : 1; });
  printer.codes = {1};
  RunSweep(printer);
  TakeOpenMessages();
}

TEST_F(SweepTest, SpoolFileAndRawAppenders) {
  const std::string payload = Bytes(3 * kv::kBufferSize + 17, 3);
  WriteWhole(dir_ / "payload.bin", payload);
  const auto job = [] { OpenWithJob(); };
  const fs::path spool = "KIRVtemp.prn";

  // ClearTmpFile makes the spool file as KV_ClearBuffer does, whose first line is then written to a file
  // just emptied: a failure leaves an empty job, never the old one.
  Sweep buffer(
      "KV_ClearBuffer",
      [] {
        OpenWithJob();
        ASSERT_EQ(ClearTmpFile(), KV_OK);
      },
      [] { return KV_ClearBuffer(); });
  buffer.files = {spool};
  buffer.codes = {KV_ERR_TMP_CREATE, KV_ERR_CLEAR_WRITE};
  buffer.stored = buffer.codes;
  buffer.site_codes = {{FaultSite::FileCreate, KV_ERR_TMP_CREATE}, {FaultSite::FileWrite, KV_ERR_CLEAR_WRITE}};
  RunSweep(buffer);

  // Pulse makes one platform call, the append that fails in ConnectionTest.WriteAfterDeliveryFails...
  Sweep send("OurSendFile", job, [] { return OurSendFile("payload.bin", 0); });
  send.files = {"payload.bin"};
  send.appended = {spool};
  send.codes = {KV_ERR_FILE_OPEN, KV_ERR_FILE_READ, KV_ERR_TMP_WRITE};
  send.site_codes = {{FaultSite::FileOpenRead, KV_ERR_FILE_OPEN},
                     {FaultSite::FileRead, KV_ERR_FILE_READ},
                     {FaultSite::FileWrite, KV_ERR_TMP_WRITE}};
  // OurSendFileEx appends through the same steps; its window and counter call no platform service.
  EXPECT_EQ(RunSweep(send), 1 + 5 + 4) << "the open, a read and an append for each of 4 pieces, the read at the end";
}

TEST_F(SweepTest, Delivery) {
  const fs::path spool = "KIRVtemp.prn";
  Sweep write(
      "KV_WritePrinter", [] { OpenWithJob(kHeldPrinter); }, [] { return KV_WritePrinter(); });
  write.files = {spool};
  write.codes = {KV_ERR_TMP_READ, KV_ERR_JOB_MEMORY, KV_ERR_START_DOC, KV_ERR_WRITE_DATA, KV_ERR_END_DOC};
  write.closing_codes = {KV_ERR_JOB_MEMORY};
  write.site_codes = {{FaultSite::FileOpenRead, KV_ERR_TMP_READ}, {FaultSite::FileRead, KV_ERR_TMP_READ},
                      {FaultSite::Alloc, KV_ERR_JOB_MEMORY},      {FaultSite::SpoolStartDoc, KV_ERR_START_DOC},
                      {FaultSite::SpoolWrite, KV_ERR_WRITE_DATA}, {FaultSite::SpoolEndDoc, KV_ERR_END_DOC}};
  // KV_PrintLabel delivers through KV_WritePrinter: it is swept with the builders (commands_test.cpp).
  RunSweep(write);
  ClosePort();
}

TEST_F(SweepTest, Graphics) {
  const std::string pcx = Bytes(25000, 5);
  WriteWhole(dir_ / "logo.pcx", pcx);
  const auto job = [] { OpenWithJob(); };
  const fs::path spool = "KIRVtemp.prn";

  Sweep download("KV_PcxGraphicsDownload", job, [] { return KV_PcxGraphicsDownload("LOGO", "logo.pcx"); });
  download.files = {"logo.pcx"};
  download.appended = {spool};
  download.codes = {KV_ERR_PCX_DOWNLOAD_OPEN, KV_ERR_PCX_DOWNLOAD_WRITE};
  download.site_codes = {{FaultSite::FileOpenRead, KV_ERR_PCX_DOWNLOAD_OPEN},
                         {FaultSite::FileRead, KV_ERR_PCX_DOWNLOAD_OPEN},
                         {FaultSite::FileWrite, KV_ERR_PCX_DOWNLOAD_WRITE}};
  RunSweep(download);

  // A failed command line is still followed by the image data, so the spool file is not watched here:
  // the code, LastError and the heap are.
  const std::string image = Bytes(250 * 100, 6);
  Sweep bin("KV_DrawBinGraphics", job,
            [&] { return KV_DrawBinGraphics(3, 4, 250, 100, reinterpret_cast<const unsigned char*>(image.data())); });
  bin.codes = {KV_ERR_BIN_GRAPHICS_WRITE, KV_ERR_BIN_GRAPHICS_DATA_WRITE};
  RunSweep(bin);

  Sweep truetype("KV_DrawTextTrueTypeW", job,
                 [] { return KV_DrawTextTrueTypeW(10, 20, 48, 0, "DejaVu Sans", 0, 400, 0, 0, 0, "TT", "Sweep 123"); });
  truetype.appended = {spool};
  truetype.codes = {KV_ERR_TRUETYPE_NO_PRINTER, KV_ERR_TRUETYPE_NO_MEMORY, KV_ERR_TRUETYPE_NO_SURFACE,
                    KV_ERR_PCX_HEADER_MEMORY,   KV_ERR_PCX_ROW_MEMORY,     KV_ERR_PCX_FILE,
                    KV_ERR_PCX_DOWNLOAD_OPEN,   KV_ERR_PCX_DOWNLOAD_WRITE, KV_ERR_PCX_PLACE_WRITE,
                    KV_ERR_PCX_DEL_WRITE};
  truetype.stored = {KV_ERR_TRUETYPE_NO_PRINTER, KV_ERR_TRUETYPE_NO_MEMORY, KV_ERR_TRUETYPE_NO_SURFACE};
  truetype.site_codes = {{FaultSite::RasterDraw, KV_ERR_TRUETYPE_NO_SURFACE},
                         {FaultSite::FileCreate, KV_ERR_PCX_FILE},
                         {FaultSite::FileOpenRead, KV_ERR_PCX_DOWNLOAD_OPEN}};
  RunSweep(truetype);
}

TEST_F(SweepTest, ChangeCopies) {
  const std::string original = "#BD##CP#1\r\n" + Bytes(3 * 1024 * 1024 / 2, 4);
  const auto fresh = [&] {
    if (kv::PortIsClosed()) {
      ASSERT_EQ(OpenPort(kPrinter), KV_OK);
    }
    WriteWhole("label.prn", original);
  };
  Sweep copies("ChangeCopies", fresh, [] { return ChangeCopies("label.prn", 7); });
  copies.files = {"label.prn"};
  copies.codes = {KV_ERR_COPIES_OPEN, KV_ERR_COPIES_WORK_FILE, KV_ERR_COPIES_READ, KV_ERR_COPIES_WRITE,
                  KV_ERR_COPIES_REPLACE};
  // Memory for the large block is optional: without it the rest goes through the command buffer, and
  // the file is rewritten whole all the same (a failed allocation must give no code but success).
  copies.site_codes = {{FaultSite::Alloc, KV_OK},
                       {FaultSite::FileOpenRead, KV_ERR_COPIES_OPEN},
                       {FaultSite::FileCreate, KV_ERR_COPIES_WORK_FILE},
                       {FaultSite::FileRead, KV_ERR_COPIES_READ},
                       {FaultSite::FileWrite, KV_ERR_COPIES_WRITE},
                       {FaultSite::FileReplace, KV_ERR_COPIES_REPLACE}};
  RunSweep(copies);
}

}  // namespace
