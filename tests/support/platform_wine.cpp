// The tests' platform facts for the Windows build under Wine, whose spooler delivers through the same CUPS.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include "kv/platform/wide.h"
#include "platform.h"
#include "test_env.h"

namespace kvtest {

const char kLabelLibraryFile[] = "KVTAGLIB.dll";
const char kUnwritableDirectory[] = "Z:\\proc";
const bool kStoppedQueueIsOffLine = false;  // Wine reports no work-off-line attribute
const bool kRefusalAtStartOfDocument = false;
const bool kAbortEndsTheDocument = false;
const bool kPrintersListedByNameOnly = false;
const bool kMessagesReachTheHost = false;
const bool kPaintsReachTheWindow = true;
const bool kProfileWriterKeepsLayout = false;
const double kTurnedTextMismatch = 0.25;
const int kTurnedTextSlack = 3;

std::string ChineseText(const char* utf8) {
  if (GetACP() != 936) return std::string();
  const std::wstring wide = kv::plat::WideFromUtf8(utf8);
  const int length = WideCharToMultiByte(936, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
  WideCharToMultiByte(936, 0, wide.c_str(), -1, &text[0], length, nullptr, nullptr);
  text.resize(text.size() - 1);
  return text;
}

void EnsurePrinter(const char* name, const char* queue, const char* driver) {
  HANDLE h = nullptr;
  if (OpenPrinterA(const_cast<char*>(name), &h, nullptr)) {
    ClosePrinter(h);
    return;
  }
  std::string port = std::string("CUPS:") + queue;
  PRINTER_INFO_2A info = {};
  info.pPrinterName = const_cast<char*>(name);
  info.pPortName = &port[0];
  info.pDriverName = const_cast<char*>(driver);
  info.pPrintProcessor = const_cast<char*>("WinPrint");
  info.pDatatype = const_cast<char*>("RAW");
  info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
  ASSERT_NE(h, nullptr) << "Wine refused to add the printer " << name;
  ClosePrinter(h);
}

namespace {

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    auto* recorder = reinterpret_cast<PaintRecorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (recorder != nullptr) recorder->Record();
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

void* OpenPaintWindow(PaintRecorder* recorder) {
  static ATOM window_class = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KvPaintRecorder";
    return RegisterClassA(&wc);
  }();
  HWND hwnd = CreateWindowA(MAKEINTATOM(window_class), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(recorder));
  return hwnd;
}

void ClosePaintWindow(void* window) { DestroyWindow(static_cast<HWND>(window)); }

}  // namespace kvtest
