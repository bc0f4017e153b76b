// What every test of the tool's dialog stands on: its own current directory (where the settings file
// lives), the dialog driven through a RecordingView, and the test spooler's capture printer.
#ifndef KV_TESTS_TOOL_TOOL_TEST_H
#define KV_TESTS_TOOL_TOOL_TEST_H

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "capture.h"
#include "main_dialog.h"
#include "recording_view.h"

namespace kvtest {

// A fresh current directory for the running test whose settings file starts the program in `language`.
std::filesystem::path EnterDirectoryStartingIn(kv::tool::Language language);

// The name of a test row of a display language.
std::string LanguageName(const ::testing::TestParamInfo<kv::tool::Language>& row);

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the program as on a system of this language (a first start: DisplayLan follows the system)
  // and initialises its dialog.
  void Start(kv::tool::Language language = kv::tool::Language::English);
  // Starts the program on the settings file it finds, written first.
  void StartWith(const std::string& ini) {
    WriteIni(ini);
    Start();
  }

  // The settings file, whole; and one value of it ("" when missing).
  std::string Ini() const { return ReadWhole(dir_ / "KV_setting.ini"); }
  std::string Stored(const std::string& section, const std::string& key) const;
  void WriteIni(const std::string& text) const { WriteWhole(dir_ / "KV_setting.ini", text); }

  // The user picks an option (by index) or a printer (by name) in their lists, or types a value and
  // presses Set.
  void PickOption(int index) {
    view_->Select(kv::tool::kIdOptionList, index);
    dialog_->OnOptionSelected();
  }
  void PickPrinter(const std::string& name) {
    view_->Pick(kv::tool::kIdPrinterList, name);
    dialog_->OnPrinterSelected();
  }
  void SetValue(const std::string& typed) {
    view_->Type(kv::tool::kIdValue, typed);
    dialog_->OnSet();
  }

  // The next job the capture printer receives.
  std::string NextJob() { return WaitForJob(next_job_++); }
  // The number of jobs that reach the capture printer through this printer's queue before a marker
  // job sent now; those jobs are taken.
  std::size_t JobsBeforeMarker(const std::string& printer = "KIRV R5");

  std::filesystem::path dir_;
  std::unique_ptr<RecordingView> view_;
  std::unique_ptr<kv::tool::ToolProcess> process_;
  std::unique_ptr<kv::tool::MainDialog> dialog_;
  std::size_t next_job_ = 0;
};

}  // namespace kvtest

#endif
