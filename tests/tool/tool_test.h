// What every test of the tool's dialog stands on: its own current directory (where the settings file
// lives), the dialog driven through a RecordingView, and the test spooler's capture printer.
#ifndef KV_TESTS_TOOL_TOOL_TEST_H
#define KV_TESTS_TOOL_TOOL_TEST_H

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

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
  void StartWith(const std::string& ini);

  // The settings file, whole; and one value of it ("" when missing).
  std::string Ini() const;
  std::string Stored(const std::string& section, const std::string& key) const;
  void WriteIni(const std::string& text) const;

  // The user picks an option (by index) or a printer (by name) in their lists.
  void PickOption(int index);
  void PickPrinter(const std::string& name);
  // The user types a value and presses Set.
  void SetValue(const std::string& typed);

  // The next job the capture printer receives.
  std::string NextJob();
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
