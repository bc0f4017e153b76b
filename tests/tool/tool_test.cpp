#include "tool_test.h"

#include "kv/platform/fault.h"
#include "kv/platform/language.h"
#include "kv/platform/profile.h"
#include "kv/platform/spooler.h"

namespace fs = std::filesystem;
using kv::tool::Language;

namespace kvtest {

fs::path EnterDirectoryStartingIn(Language language) {
  fs::path dir = EnterFreshDirectory(language == Language::English ? "kvpanel-en-" : "kvpanel-zh-");
  WriteWhole(dir / "KV_setting.ini",
             std::string("[Setting]\r\nDisplayLan=") + (language == Language::English ? "1" : "0") + "\r\n");
  return dir;
}

std::string LanguageName(const ::testing::TestParamInfo<Language>& row) {
  return row.param == Language::English ? "English" : "Chinese";
}

void ToolTest::SetUp() {
  kv::plat::fault_clear();
  dir_ = EnterFreshDirectory("kvtool-");
  next_job_ = CapturedJobCount();
}

void ToolTest::TearDown() {
  if (dialog_ != nullptr) dialog_->OnClose();
  if (view_ != nullptr) {
    EXPECT_EQ(view_->TakeBoxes(), std::vector<Box>{}) << "boxes shown that no one expected";
    EXPECT_TRUE(view_->answers.empty()) << "questions expected that were never asked";
  }
  dialog_.reset();
  view_.reset();
  process_.reset();
  kv::plat::fault_clear();
  LeaveDirectory(dir_);
}

void ToolTest::Start(Language language) {
  process_ = std::make_unique<kv::tool::ToolProcess>(
      kv::tool::StartProgram(language == Language::English ? kv::plat::kLangEnglishUs : kv::plat::kLangChinesePrc));
  view_ = std::make_unique<RecordingView>(kv::tool::LanguageOf(process_->display_language));
  dialog_ = std::make_unique<kv::tool::MainDialog>(*view_, *process_);
  ASSERT_TRUE(dialog_->OnInitDialog());
}

std::string ToolTest::Stored(const std::string& section, const std::string& key) const {
  char buf[256];
  const std::string path = (dir_ / "KV_setting.ini").string();
  kv::plat::profile_read(path.c_str(), section.c_str(), key.c_str(), "", buf, sizeof buf);
  return buf;
}

std::size_t ToolTest::JobsBeforeMarker(const std::string& printer) {
  kv::plat::SpoolHandle h = kv::plat::spool_open(printer.c_str());
  EXPECT_NE(h, nullptr);
  if (h == nullptr) return 0;
  EXPECT_TRUE(kv::plat::spool_start_doc(h, "marker", "RAW"));
  kv::plat::spool_write(h, "marker", 6);
  EXPECT_TRUE(kv::plat::spool_end_doc(h));
  kv::plat::spool_close(h);
  for (std::size_t n = 0;; ++n) {
    const std::string job = NextJob();
    if (job == "marker" || job == "<no job>") return n;
  }
}

}  // namespace kvtest
