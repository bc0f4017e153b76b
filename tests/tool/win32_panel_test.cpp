// KVPanel.exe as a program in a real window (Wine on the tree's own X server), in both display
// languages, driven through the dialog's own controls.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "capture.h"
#include "kv/platform/wide.h"
#include "resources/layouts.h"
#include "resources/resource_ids.h"
#include "test_env.h"
#include "tool_test.h"

namespace fs = std::filesystem;
using namespace kv::tool;

namespace {

// A Unix path as Wine's programs see it.
std::string WinePath(const char* unix_path) {
  std::string p = std::string("Z:") + unix_path;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// The dialog's base units as Windows reckons them for a template with its own font: the font's average
// width of the 52 letters, halved and rounded, and its height.
SIZE BaseUnits(const DialogLayout& layout) {
  HDC screen = GetDC(nullptr);
  HFONT font = CreateFontW(-MulDiv(layout.point_size, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0, 0,
                           0, DEFAULT_CHARSET, 0, 0, 0, 0, kv::plat::WideFromUtf8(layout.font).c_str());
  HGDIOBJ old = SelectObject(screen, font);
  SIZE letters = {};
  GetTextExtentPoint32W(screen, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &letters);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(screen, &metrics);
  SelectObject(screen, old);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
  return SIZE{(letters.cx / 26 + 1) / 2, metrics.tmHeight};
}

class Win32PanelTest : public ::testing::TestWithParam<Language> {
 protected:
  void SetUp() override {
    const char* program = std::getenv("KV_PANEL");
    ASSERT_NE(program, nullptr) << "run through ctest";
    dir_ = kvtest::EnterDirectoryStartingIn(GetParam());
    std::string command = "\"" + WinePath(program) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    const std::string cwd = dir_.string();
    ASSERT_TRUE(
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &startup, &process_));
    const std::wstring title = kv::plat::WideFromUtf8(Layout().title);
    for (int i = 0; i < 400 && dialog_ == nullptr; ++i) {
      dialog_ = FindWindowW(nullptr, title.c_str());
      if (dialog_ == nullptr) Sleep(50);
    }
    ASSERT_NE(dialog_, nullptr) << "KVPanel showed no window";
    WaitForInputIdle(process_.hProcess, 10000);  // initialised, and painted once
    Sleep(500);
  }
  void TearDown() override {
    if (dialog_ != nullptr) PostMessageW(dialog_, WM_CLOSE, 0, 0);
    if (process_.hProcess != nullptr) {
      if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    kvtest::LeaveDirectory(dir_);
  }

  const DialogLayout& Layout() const { return MainDialogLayout(GetParam()); }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }

  fs::path dir_;
  PROCESS_INFORMATION process_ = {};
  HWND dialog_ = nullptr;
};

TEST_P(Win32PanelTest, ControlsStandWhereTheLayoutPutsThem) {
  const DialogLayout& layout = Layout();
  const SIZE base = BaseUnits(layout);
  for (std::size_t i = 0; i < layout.control_count; ++i) {
    const ControlLayout& c = layout.controls[i];
    if (c.id == kIdUnaddressed) continue;
    SCOPED_TRACE(c.id);
    HWND item = Item(c.id);
    ASSERT_NE(item, nullptr);
    char cls[32] = {};
    GetClassNameA(item, cls, sizeof cls);
    const char* expected = c.kind == ControlKind::ComboBox ? "ComboBox"
                           : c.kind == ControlKind::Edit   ? "Edit"
                           : c.kind == ControlKind::Text || c.kind == ControlKind::Bitmap || c.kind == ControlKind::Icon
                               ? "Static"
                               : "Button";
    EXPECT_STREQ(cls, expected);
    // Windows maps the position and the size each on its own.
    const int left = MulDiv(c.rect.x, base.cx, 4), top = MulDiv(c.rect.y, base.cy, 8);
    const RECT want = {left, top, left + MulDiv(c.rect.width, base.cx, 4), top + MulDiv(c.rect.height, base.cy, 8)};
    RECT got;
    GetWindowRect(item, &got);
    MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    if (c.kind != ControlKind::Bitmap) {  // a picture takes its bitmap's size
      EXPECT_EQ(got.right, want.right);
    }
  }
  EXPECT_EQ(SendMessageW(Item(kIdOptionList), CB_GETCOUNT, 0, 0), 20);
  EXPECT_NE(IsWindowVisible(Item(kIdOnLinePicture)), IsWindowVisible(Item(kIdOffLinePicture)))
      << "exactly one lamp shows";
  EXPECT_FALSE(IsWindowVisible(Item(kIdForward)));
}

// Set, and Enter in the value field, send the option's command; after Enter the dialog stays.
TEST_P(Win32PanelTest, SetAndEnterInTheValueFieldSendTheCommand) {
  const std::size_t first = kvtest::CapturedJobCount();
  HWND options = Item(kIdOptionList);
  // The user's choice of "Print Self-Test Label": the list's selection and its notification.
  SendMessageW(options, CB_SETCURSEL, 2, 0);
  SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(kIdOptionList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(options));
  SendMessageW(Item(kIdSet), BM_CLICK, 0, 0);
  EXPECT_EQ(kvtest::WaitForJob(first), "U\r\n");
  SendMessageW(options, CB_SETCURSEL, 16, 0);  // the darkness
  SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(kIdOptionList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(options));
  SendMessageW(Item(kIdValue), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"7"));
  SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(kIdValue)), TRUE);
  PostMessageW(Item(kIdValue), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(kvtest::WaitForJob(first + 1), "#UM>OD07\r\n");
  EXPECT_TRUE(IsWindowVisible(dialog_)) << "Enter there does not end the dialog";
}

INSTANTIATE_TEST_SUITE_P(Languages, Win32PanelTest, ::testing::Values(Language::English, Language::Chinese),
                         kvtest::LanguageName);

}  // namespace
