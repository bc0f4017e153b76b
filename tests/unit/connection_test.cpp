// The connection's states and transitions, its codes and LastError, its messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "connection.h"
#include "kv/platform/fault.h"
#include "kv/platform/memory.h"
#include "kvtaglib.h"
#include "test_env.h"

namespace {

using kv::conn;
using kvtest::kPrinter;
using Messages = std::vector<std::string>;

const std::string kAlreadyOpen = "请检测打印机是否正常！";
const std::string kOpenFailed = "打开打印机出错！";
const std::string kNotInstalled = "请检查打印机是否安装正常！";
const std::string kCloseFailed = "关闭打印机出错！";

class ConnectionTest : public kvtest::LibraryTest {};

TEST_F(ConnectionTest, OpenPortOpensPrinterAndZeroFilledBuffersAndASecondIsRefused) {
  // The spooler's queue KIRV_R5 is the printer "KIRV R5"; both spellings open it.
  ASSERT_EQ(OpenPort("KIRV_R5"), KV_OK);
  ClosePort();
  ASSERT_EQ(OpenPort(kPrinter), KV_OK);
  EXPECT_FALSE(kv::PortIsClosed());
  EXPECT_NE(conn.PrinterHandle, nullptr);
  EXPECT_EQ(conn.PortHandle, conn.PrinterHandle);
  ASSERT_NE(conn.CmdBuffer, nullptr);
  ASSERT_NE(conn.ScratchBuffer, nullptr);
  EXPECT_EQ(std::count(conn.CmdBuffer, conn.CmdBuffer + kv::kBufferSize, 0), kv::kBufferSize);
  EXPECT_EQ(std::count(conn.ScratchBuffer, conn.ScratchBuffer + kv::kBufferSize, 0), kv::kBufferSize);
  kv::SetErrState(-77);
  const auto before = conn;
  EXPECT_EQ(OpenPort(kPrinter), KV_ERR_ALREADY_OPEN);
  EXPECT_EQ(TakeMessages(), Messages{kAlreadyOpen});
  EXPECT_EQ(conn.PrinterHandle, before.PrinterHandle);
  EXPECT_EQ(conn.PortHandle, before.PortHandle);
  EXPECT_EQ(conn.CmdBuffer, before.CmdBuffer);
  EXPECT_EQ(conn.ScratchBuffer, before.ScratchBuffer);
  EXPECT_EQ(GetErrState(), -77) << "-4000 is returned, not stored";
  EXPECT_EQ(ClearTmpFile(), KV_OK) << "OpenPort creates no spool file; ClearTmpFile does";
}

TEST_F(ConnectionTest, UnknownNullAndEmptyPrinterNamesShowTwoMessagesAndStayClosed) {
  for (const char* name : {"No Such Printer", static_cast<const char*>(nullptr), ""}) {
    EXPECT_EQ(OpenPort(name), KV_ERR_OPEN_PRINTER) << (name != nullptr ? name : "null");
    EXPECT_EQ(TakeMessages(), (Messages{kOpenFailed, kNotInstalled}));
    EXPECT_TRUE(kv::PortIsClosed());
  }
  EXPECT_EQ(KV_OpenPrinter(nullptr), nullptr);
  EXPECT_EQ(TakeMessages(), Messages{kOpenFailed});
  EXPECT_NE(conn.CmdBuffer, nullptr) << "the buffers stay until ClosePort";
  EXPECT_EQ(Pulse("x", 1, 0), KV_ERR_RAW_CLOSED);
  EXPECT_EQ(GetErrState(), 0);
  ASSERT_EQ(kv::plat::mem_blocks_in_use(), 2u);
  ASSERT_EQ(OpenPort(kPrinter), KV_OK);
  EXPECT_EQ(kv::plat::mem_blocks_in_use(), 2u) << "the buffers of the refused open were leaked";
}

TEST_F(ConnectionTest, ClosePortEndsEverythingAndStoresMinusOne) {
  ASSERT_EQ(OpenAndClearTmpFile(kPrinter), KV_OK);
  const auto spool = SpoolFile();
  ASSERT_TRUE(std::filesystem::exists(spool));
  ClosePort();
  EXPECT_EQ(GetErrState(), KV_ERR_PORT_CLOSED);
  EXPECT_EQ(conn.PortHandle, nullptr);
  EXPECT_EQ(conn.PrinterHandle, nullptr);
  EXPECT_EQ(conn.CmdBuffer, nullptr);
  EXPECT_EQ(conn.ScratchBuffer, nullptr);
  EXPECT_EQ(conn.TmpFileHandle, kv::plat::kInvalidFile) << "the undelivered job is closed before it is deleted";
  EXPECT_FALSE(std::filesystem::exists(spool)) << "ClosePort deletes the spool file";
  EXPECT_EQ(Pulse("x", 1, 0), KV_ERR_RAW_CLOSED);
}

TEST_F(ConnectionTest, ClosingWhatIsNotOpenOnlyComplainsAboutThePrinter) {
  EXPECT_EQ(KV_ClosePrinter(), 0);
  EXPECT_EQ(TakeMessages(), Messages{kCloseFailed});
  EXPECT_EQ(GetErrState(), 0) << "KV_ClosePrinter stores nothing";
  ClosePort();
  EXPECT_EQ(TakeMessages(), Messages{kCloseFailed});
  EXPECT_EQ(GetErrState(), KV_ERR_PORT_CLOSED);
  EXPECT_EQ(conn.PortHandle, nullptr);
}

TEST_F(ConnectionTest, PrinterClosedAloneKeepsComposingButCannotDeliverUntilOpenedAgain) {
  ASSERT_EQ(OpenAndClearTmpFile(kPrinter), KV_OK);
  EXPECT_EQ(KV_ClosePrinter(), 1);
  EXPECT_EQ(conn.PrinterHandle, nullptr);
  EXPECT_FALSE(kv::PortIsClosed()) << "the connection still counts as open";
  EXPECT_EQ(Pulse("AB", 2, 0), KV_OK);
  EXPECT_EQ(SpoolBytes(), "AB");
  EXPECT_EQ(SetPCComPort(9600, 1), KV_ERR_COM_CLOSED) << "nothing may be applied to the closed handle";
  EXPECT_EQ(KV_WritePrinter(), KV_ERR_NO_PRINTER);
  void* handle = KV_OpenPrinter(kPrinter);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(conn.PrinterHandle, handle);
  EXPECT_EQ(conn.PortHandle, handle);
  EXPECT_NE(conn.CmdBuffer, nullptr);
}

TEST_F(ConnectionTest, PrinterOnlyHasNoBuffersSoComposingIsRefused) {
  void* handle = KV_OpenPrinter(kPrinter);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(conn.PortHandle, handle);
  EXPECT_FALSE(kv::PortIsClosed());
  EXPECT_EQ(conn.CmdBuffer, nullptr);
  EXPECT_EQ(KV_ClearBuffer(), KV_ERR_TMP_CLOSED);
  EXPECT_EQ(Pulse("x", 1, 0), KV_ERR_RAW_CLOSED);
  EXPECT_EQ(OurSendFile("anything", 0), KV_ERR_RAW_CLOSED) << "as OurSendFileEx, through the same steps";
  // OpenPort refuses while this printer is open.
  EXPECT_EQ(OpenPort(kPrinter), KV_ERR_ALREADY_OPEN);
  EXPECT_EQ(TakeMessages(), Messages{kAlreadyOpen});
}

// Every field of the serial settings, in order.
std::vector<std::int64_t> Fields(const kv::plat::SerialSettings& s) {
  return {s.DCBlength,    s.BaudRate,    s.fBinary,     s.fParity,         s.fOutxCtsFlow,
          s.fOutxDsrFlow, s.fDtrControl, s.fRtsControl, s.fDsrSensitivity, s.fTXContinueOnXoff,
          s.fOutX,        s.fInX,        s.fErrorChar,  s.fNull,           s.fAbortOnError,
          s.XonLim,       s.XoffLim,     s.ByteSize,    s.Parity,          s.StopBits,
          s.XonChar,      s.XoffChar,    s.ErrorChar,   s.EofChar,         s.EvtChar};
}

TEST_F(ConnectionTest, SerialSettingsFollowTheHandshakeFlag) {
  EXPECT_EQ(SetPCComPort(9600, 1), KV_ERR_COM_CLOSED);
  EXPECT_EQ(Fields(conn.ComSettings), std::vector<std::int64_t>(25, 0)) << "nothing is touched before an open";
  ASSERT_EQ(OpenPort(kPrinter), KV_OK);
  struct Case {
    unsigned baud;
    int handshake;
    unsigned flow;     // fOutxCtsFlow, fOutxDsrFlow
    unsigned control;  // fDtrControl, fRtsControl
  } cases[] = {{9600, 0, 0, 0}, {115200, 1, 1, 2}, {0, 7, 1, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.baud << "/" << c.handshake);
    // A spooler queue has no serial line behind it: the settings are kept but cannot be applied.
    EXPECT_EQ(SetPCComPort(c.baud, c.handshake), KV_ERR_COM_STATE);
    const std::vector<std::int64_t> expected = {
        28,   c.baud, 1, 1, c.flow, c.flow, c.control, c.control,         // size, rate, binary, parity, flow, control
        0,    0,      0, 0, 0,      0,      0,                            // no other flag
        2048, 3072,   8, 0, 0,      17,     19,        0,         0, 0};  // limits, 8N1, XON, XOFF, no other character
    EXPECT_EQ(Fields(conn.ComSettings), expected);
  }
  EXPECT_EQ(GetErrState(), 0) << "SetPCComPort stores nothing";
}

// After a delivery the spool file is closed: appends fail (one of no bytes still succeeds) and leave the
// delivered job as it was, until the next job.
TEST_F(ConnectionTest, WriteAfterDeliveryFailsAndSuccessDoesNotClearLastError) {
  ASSERT_EQ(OpenAndClearBuffer(kPrinter), KV_OK);
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  ASSERT_EQ(OurSendFile(nullptr, 0), KV_ERR_FILE_OPEN);
  EXPECT_EQ(Pulse("x", 0, 0), KV_OK);
  EXPECT_EQ(Pulse("x", 1, 0), KV_ERR_TMP_WRITE);
  EXPECT_EQ(SpoolBytes(), "N\r\n");
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  EXPECT_EQ(GetErrState(), KV_ERR_TMP_WRITE);
  EXPECT_EQ(SetPCComPort(9600, 0), KV_ERR_COM_STATE);
  EXPECT_EQ(GetErrState(), KV_ERR_TMP_WRITE) << "a success, or a code that is not stored, keeps it";
}

}  // namespace
