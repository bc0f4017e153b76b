// The connection: opening and closing it, the printer alone, the serial settings, the last error.
#include "connection.h"

#include <cstring>

#include "kv/platform/memory.h"
#include "kvtaglib.h"

namespace kv {

LibraryConnection conn;

namespace {

// The library's messages, shown in a modal box on Windows and as lines on standard error on Linux.
constexpr Message kMsgAlreadyOpen = {"请检测打印机是否正常！", "Please check that the printer works."};
constexpr Message kMsgOpenFailed = {"打开打印机出错！", "Error opening the printer."};
constexpr Message kMsgNotInstalled = {"请检查打印机是否安装正常！", "Please check that the printer is installed."};
constexpr Message kMsgCloseFailed = {"关闭打印机出错！", "Error closing the printer."};

// The size of the Windows DCB record, which the serial settings keep in their first field.
constexpr std::uint32_t kDcbLength = 28;

void FreeBuffers() {
  plat::mem_free(conn.CmdBuffer);
  conn.CmdBuffer = nullptr;
  plat::mem_free(conn.ScratchBuffer);
  conn.ScratchBuffer = nullptr;
}

// When the library is unloaded, the work buffers and the spool file handle that the connection still
// holds (an OpenPort refused by the spooler keeps its buffers until ClosePort) are released.
struct ReleaseAtUnload {
  ~ReleaseAtUnload() {
    FreeBuffers();
    plat::file_close(conn.TmpFileHandle);
    conn.TmpFileHandle = plat::kInvalidFile;
  }
} release_at_unload;

}  // namespace

bool WorkFilePath(char (&path)[kMaxPath], const char* name) {
  std::memset(path, 0, sizeof path);
  const std::size_t dir = plat::current_directory(path, sizeof path);
  const std::size_t need = dir + std::strlen(plat::kPathSeparator) + std::strlen(name) + 1;
  if (dir == 0 || need > sizeof path) {
    std::memset(path, 0, sizeof path);
    return false;
  }
  std::strcat(path, plat::kPathSeparator);
  std::strcat(path, name);
  return true;
}

void ResetConnectionForTests() {
  FreeBuffers();
  if (conn.PrinterHandle != nullptr) plat::spool_close(conn.PrinterHandle);
  plat::file_close(conn.TmpFileHandle);
  conn = LibraryConnection();
}

}  // namespace kv

using namespace kv;

KV_API(int) OpenPort(const char* printer_name) {
  if (conn.PrinterHandle != nullptr) {
    ShowMessage(kMsgAlreadyOpen);
    return KV_ERR_ALREADY_OPEN;
  }
  // After a refused printer, or a printer closed alone, the buffers of the earlier open are still
  // here: this open starts again and allocates its own, so the old ones go first.
  FreeBuffers();
  conn.CmdBuffer = static_cast<char*>(plat::mem_alloc(kBufferSize));
  if (conn.CmdBuffer == nullptr) {
    ClosePort();
    return KV_ERR_CMD_BUFFER;
  }
  std::memset(conn.CmdBuffer, 0, kBufferSize);
  conn.ScratchBuffer = static_cast<char*>(plat::mem_alloc(kBufferSize));
  if (conn.ScratchBuffer == nullptr) {
    ClosePort();
    return KV_ERR_SCRATCH_BUFFER;
  }
  std::memset(conn.ScratchBuffer, 0, kBufferSize);
  if (KV_OpenPrinter(printer_name) == nullptr) {
    ShowMessage(kMsgNotInstalled);
    return KV_ERR_OPEN_PRINTER;
  }
  conn.PortHandle = conn.PrinterHandle;
  return KV_OK;
}

KV_API(void) ClosePort(void) {
  SetErrState(KV_ERR_PORT_CLOSED);
  FreeBuffers();
  // A job that was never delivered still holds the spool file open; the file is closed before it is
  // deleted, so that neither the handle nor (on Windows, where an open file cannot go) the file stays.
  plat::file_close(conn.TmpFileHandle);
  conn.TmpFileHandle = plat::kInvalidFile;
  plat::file_delete(conn.TmpFileName);
  KV_ClosePrinter();
  conn.PortHandle = nullptr;
}

KV_API(void*) KV_OpenPrinter(const char* printer_name) {
  // A refused open leaves the printer that is open now (if any) as it is: it stays usable and can
  // still be closed.
  plat::SpoolHandle opened = plat::spool_open(printer_name);
  if (opened == nullptr) {
    ShowMessage(kMsgOpenFailed);
    return nullptr;
  }
  conn.PrinterHandle = opened;
  conn.PortHandle = conn.PrinterHandle;
  return conn.PrinterHandle;
}

KV_API(int) KV_ClosePrinter(void) {
  bool closed = plat::spool_close(conn.PrinterHandle);
  if (!closed) ShowMessage(kMsgCloseFailed);
  conn.PrinterHandle = nullptr;
  return closed ? 1 : 0;
}

KV_API(int) SetPCComPort(unsigned int baud_rate, int handshake) {
  // After KV_ClosePrinter alone, PortHandle still names the closed printer: nothing to apply to.
  if (PortIsClosed() || conn.PrinterHandle == nullptr) return KV_ERR_COM_CLOSED;
  plat::SerialSettings& s = conn.ComSettings;
  const bool hw = handshake != 0;
  s.DCBlength = kDcbLength;
  s.BaudRate = baud_rate;
  s.fBinary = 1;
  s.fParity = 1;
  s.fOutxCtsFlow = hw;
  s.fOutxDsrFlow = hw;
  s.fDtrControl = hw ? 2 : 0;  // DTR handshake, or DTR disabled
  s.fDsrSensitivity = 0;
  s.fTXContinueOnXoff = 0;
  s.fOutX = 0;
  s.fInX = 0;
  s.fErrorChar = 0;
  s.fNull = 0;
  s.fRtsControl = hw ? 2 : 0;  // RTS handshake, or RTS disabled
  s.fAbortOnError = 0;
  s.XonLim = 2048;
  s.XoffLim = 3072;
  s.ByteSize = 8;
  s.Parity = 0;     // no parity
  s.StopBits = 0;   // one stop bit
  s.XonChar = 17;   // DC1
  s.XoffChar = 19;  // DC3
  return plat::serial_apply(conn.PortHandle, s) ? KV_OK : KV_ERR_COM_STATE;
}

KV_API(int) GetErrState(void) { return conn.LastError; }
