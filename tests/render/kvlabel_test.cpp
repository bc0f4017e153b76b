// kvlabel as users run it: render (files written, exit codes, messages) and print; the virtual
// printer has tests of its own (serve_test.cpp).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"
#include "kv/render/png.h"
#include "render_support.h"
#include "test_env.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using kvtest::ReadWhole;
using kvtest::WriteWhole;

// A program started by the test; standard output comes through a pipe, standard error goes to a file.
class Process {
 public:
  Process(const std::vector<std::string>& args, const fs::path& err_file) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Process() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    if (out_ >= 0) ::close(out_);
  }

  // The next line of standard output, waiting up to 10 seconds; "" when none comes.
  std::string ReadLine() {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char c;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      if (::read(out_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }

  // The exit status, waiting up to 30 seconds; -1 when the program does not end (it is then killed).
  int Wait() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        exited_ = true;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  bool started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  bool exited_ = false;
};

std::set<std::string> Files(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

kv::render::Bitmap ReadPicture(const fs::path& p, unsigned* per_metre = nullptr) {
  kv::render::Bitmap b;
  EXPECT_TRUE(kv::render::ReadPng(p.string(), b, 32768, per_metre)) << p;
  return b;
}

class KvlabelTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = kvtest::EnterFreshDirectory("kvlabel-"); }

  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), KV_KVLABEL);
    Process p(args, dir_ / "stderr.txt");
    EXPECT_TRUE(p.started());
    const int rc = p.Wait();
    err_ = ReadWhole(dir_ / "stderr.txt");
    fs::remove(dir_ / "stderr.txt");
    return rc;
  }

  fs::path dir_;
  std::string err_;
};

// --- render ----------------------------------------------------------------------------------------

struct RenderCase {
  const char* name;
  std::string job;
  std::vector<std::string> options;
  int exit_code;
  std::set<std::string> files;  // what the folder holds afterwards, besides job.prn
  const char* says;             // a piece of what goes to standard error
};

class RenderCommandTest : public KvlabelTest, public ::testing::WithParamInterface<RenderCase> {};

TEST_P(RenderCommandTest, WritesOnlyItsPicturesAndAnswers) {
  const RenderCase& c = GetParam();
  WriteWhole(dir_ / "job.prn", c.job);
  std::vector<std::string> args = {"render", "job.prn", "-o", "label.png"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  EXPECT_EQ(Run(args), c.exit_code) << err_;
  auto files = Files(dir_);
  files.erase("job.prn");
  EXPECT_EQ(files, c.files);
  EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
}

const std::string kTwoLabels = kvtest::Job({"N", "q80", "Q40,24", "LO0,0,8,8", "P1", "LO8,8,8,8", "P2,3"});

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderCommandTest,
    ::testing::Values(
        RenderCase{"FirstLabelOnly", kTwoLabels, {}, 0, {"label.png"}, "2 label(s), 80 x 40 dots at 203 dpi, 7 asked"},
        RenderCase{"EveryLabel", kTwoLabels, {"--all"}, 0, {"label.png", "label-2.png"}, "wrote label-2.png"},
        RenderCase{"Warnings",
                   kvtest::Job({"N", "q80", "Q40,24", "NONSENSE", "P1"}),
                   {},
                   0,
                   {"label.png"},
                   "line 4: warning: unknown command \"NONSENSE\""},
        RenderCase{"NoLabel", kvtest::Job({"N", "q80", "LO0,0,1,1"}), {}, 1, {}, "prints no label"},
        RenderCase{
            "TooLarge", kvtest::Job({"N", "q32769", "P1"}), {"--all"}, 1, {}, "line 2: error: label width 32769"},
        RenderCase{"GraphicBeyondTheJob", "N\r\nGM\"X\"99999\r\nP1\r\n", {}, 1, {}, "announces 99999 bytes"},
        RenderCase{"BadResolution", kTwoLabels, {"--dpi", "150"}, 2, {}, "--dpi takes 203 or 300"}),
    [](const ::testing::TestParamInfo<RenderCase>& i) { return std::string(i.param.name); });

TEST_F(KvlabelTest, PictureStatesTheResolution) {
  WriteWhole(dir_ / "job.prn", kTwoLabels);
  for (auto [dpi, per_metre] : {std::pair{"203", 8000u}, std::pair{"300", 12000u}}) {
    ASSERT_EQ(Run({"render", "job.prn", "-o", std::string("at") + dpi + ".png", "--dpi", dpi}), 0) << err_;
    unsigned got = 0;
    const auto picture = ReadPicture(dir_ / (std::string("at") + dpi + ".png"), &got);
    EXPECT_EQ(got, per_metre);
    EXPECT_EQ(picture.width(), 80);
    EXPECT_EQ(picture.BlackCount(), 64u);
  }
}

TEST_F(KvlabelTest, MissingJobFileIsAnError) {
  EXPECT_EQ(Run({"render", "absent.prn", "-o", "label.png"}), 1);
  EXPECT_NE(err_.find("cannot open absent.prn"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(dir_ / "label.png"));
}

// --- print ---------------------------------------------------------------------------------------

TEST_F(KvlabelTest, PrintSendsTheFileThroughTheLibrary) {
  const std::string file = kvtest::Bytes(30000, 9);
  WriteWhole(dir_ / "saved.prn", file);
  const std::size_t captured = kvtest::CapturedJobCount();
  ASSERT_EQ(Run({"print", "saved.prn", "--printer", kvtest::kPrinter}), 0) << err_;
  EXPECT_EQ(kvtest::WaitForJob(captured), file);
}

TEST_F(KvlabelTest, PrintReportsTheLibraryCode) {
  EXPECT_EQ(Run({"print", "absent.prn", "--printer", kvtest::kPrinter}), 1);
  EXPECT_NE(err_.find("OurSendFile failed with -2222"), std::string::npos) << err_;
  EXPECT_EQ(Run({"print", "absent.prn"}), 2);
}

}  // namespace
