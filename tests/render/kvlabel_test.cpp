// kvlabel as users run it: render (files written, exit codes, messages) and print; serve in serve_test.cpp.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "capture.h"
#include "render_support.h"
#include "test_env.h"

namespace {

namespace fs = std::filesystem;
using kvtest::Names;
using kvtest::ReadPicture;
using kvtest::ReadWhole;
using kvtest::WriteWhole;

class KvlabelTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = kvtest::EnterFreshDirectory("kvlabel-"); }

  // Runs kvlabel with `args`, or a shell script; the exit status, with standard error kept in err_.
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), KV_KVLABEL);
    return Finish([&] { return kvtest::Exec(args); });
  }
  int Shell(const std::string& script) {
    return Finish([&] { return kvtest::Exec({"/bin/sh", "-c", script}); });
  }

  fs::path dir_;
  std::string err_;

 private:
  int Finish(const std::function<int()>& run) {
    const int rc = kvtest::Child(run, dir_ / "err.txt").Wait();
    err_ = ReadWhole(dir_ / "err.txt");
    fs::remove(dir_ / "err.txt");
    return rc;
  }
};

struct RenderCase {
  const char* name;
  std::string job;
  std::vector<std::string> options;
  int exit_code;
  std::set<std::string> files;  // what the folder holds afterwards, besides job.prn
  const char* says;             // a piece of what goes to standard error
  const char* input = "job.prn";
};

class RenderCommandTest : public KvlabelTest, public ::testing::WithParamInterface<RenderCase> {};

TEST_P(RenderCommandTest, WritesOnlyItsPicturesAndAnswers) {
  const RenderCase& c = GetParam();
  WriteWhole(dir_ / "job.prn", c.job);
  std::vector<std::string> args = {"render", c.input, "-o", "label.png"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  EXPECT_EQ(Run(args), c.exit_code) << err_;
  auto files = Names(dir_);
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
        RenderCase{"BadResolution", kTwoLabels, {"--dpi", "150"}, 2, {}, "--dpi takes 203 or 300"},
        RenderCase{"MissingJobFile", "", {}, 1, {}, "cannot open absent.prn", "absent.prn"}),
    [](const ::testing::TestParamInfo<RenderCase>& i) { return std::string(i.param.name); });

// The picture's name: a link there is replaced (not what it points to), a FIFO or directory refused, and a failed
// write (beyond the file size limit, as on a full disk) leaves the earlier picture; no temporary file stays.
TEST_F(KvlabelTest, PictureReplacesItsNameInOneStep) {
  struct Case {
    const char* name;
    void (*plant)(const fs::path& at);
    const char* limit;  // shell commands run before kvlabel
    int exit_code;
    bool replaced;  // label.png is the new picture
  };
  const Case cases[] = {
      {"Absent", [](const fs::path&) {}, "", 0, true},
      {"LinkToAVictim", [](const fs::path& at) { fs::create_symlink("victim", at); }, "", 0, true},
      {"Fifo", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); }, "", 1, false},
      {"Directory", [](const fs::path& at) { fs::create_directory(at); }, "", 1, false},
      {"DiskFull", [](const fs::path& at) { WriteWhole(at, "earlier"); }, "trap '' XFSZ; ulimit -f 4;", 1, false},
  };
  // Random bytes as a raw bitmap: a picture of some 20 KB that does not compress.
  const std::string job =
      kvtest::Job({"N", "q400", "Q400,24"}) + "GW0,0,50,400" + kvtest::Bytes(20000, 3) + kvtest::Job({"P1"});
  WriteWhole(dir_ / "job.prn", job);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path at = dir_ / "label.png";
    WriteWhole(dir_ / "victim", "victim");
    c.plant(at);
    const auto before = fs::symlink_status(at).type();
    EXPECT_EQ(Shell(std::string(c.limit) + " exec '" + KV_KVLABEL + "' render job.prn -o label.png"), c.exit_code)
        << err_;
    EXPECT_EQ(ReadWhole(dir_ / "victim"), "victim");
    if (c.replaced) {
      EXPECT_EQ(fs::symlink_status(at).type(), fs::file_type::regular);
      EXPECT_EQ(ReadPicture(at).width(), 400);
    } else {
      EXPECT_EQ(fs::symlink_status(at).type(), before);
      if (before == fs::file_type::regular) {
        EXPECT_EQ(ReadWhole(at), "earlier");
      }
    }
    fs::remove_all(at);
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"job.prn", "victim"}));
  }
}

// "-" for standard input and output, --option=value (the picture states the resolution asked), --version and
// --help for each command (exit 0, on standard output), a flag given a value refused.
TEST_F(KvlabelTest, CommandLineConventions) {
  struct Case {
    const char* name;
    const char* args;  // after kvlabel, in the shell
    int exit_code;
    const char* out;     // the start of standard output ("" for a picture read back from it)
    unsigned per_metre;  // the picture's resolution
  };
  const Case cases[] = {
      {"StandardInputAndOutput", "render - -o - <job.prn", 0, "", 8000},
      {"ValuesAfterEquals", "render job.prn --output=- --dpi=300", 0, "", 12000},
      {"Version", "--version", 0, "kvlabel 2.", 0},
      {"RenderHelp", "render --help", 0, "usage:\n  kvlabel render", 0},
      {"ServeHelp", "serve -h", 0, "usage:\n  kvlabel serve", 0},
      {"PrintHelp", "print --printer=x --help", 0, "usage:\n  kvlabel print", 0},
      {"FlagGivenAValue", "render job.prn -o x.png --all=yes", 2, "\n", 0},
      {"EveryLabelToStandardOutput", "render job.prn -o - --all", 2, "\n", 0},
  };
  WriteWhole(dir_ / "job.prn", kvtest::Job({"N", "q80", "Q40,24", "LO0,0,8,8", "P1"}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Shell("exec '" + std::string(KV_KVLABEL) + "' " + c.args + " >out.bin"), c.exit_code) << err_;
    if (*c.out == '\0') {
      unsigned per_metre = 0;
      EXPECT_EQ(ReadPicture(dir_ / "out.bin", &per_metre).BlackCount(), 64u);
      EXPECT_EQ(per_metre, c.per_metre);
    } else {
      EXPECT_EQ(ReadWhole(dir_ / "out.bin").rfind(c.out, 0), c.exit_code == 0 ? 0u : std::string::npos);
    }
  }
}

TEST_F(KvlabelTest, PrintSendsTheFileThroughTheLibrary) {
  const std::string file = kvtest::Bytes(30000, 9);
  WriteWhole(dir_ / "saved.prn", file);
  const std::size_t captured = kvtest::CapturedJobCount();
  ASSERT_EQ(Run({"print", "saved.prn", "--printer", kvtest::kPrinter}), 0) << err_;
  EXPECT_EQ(kvtest::WaitForJob(captured), file);
}

// A file that is plainly no command job is refused, saying how to print it; --raw sends it all the same,
// and "-" sends standard input.
TEST_F(KvlabelTest, PrintRefusesImagesAndDocuments) {
  const std::string pcx = std::string("\x0A\x05\x01\x01", 4) + std::string(124, '\0');
  const std::pair<const char*, std::string> refused[] = {{"a PNG image", "\x89PNG\r\n\x1A\n...."},
                                                         {"a JPEG image", "\xFF\xD8\xFF\xE0...."},
                                                         {"a PDF document", "%PDF-1.7\n"},
                                                         {"a PostScript document", "%!PS-Adobe-3.0\n"},
                                                         {"a PCX image", pcx},
                                                         {"a ZIP archive", std::string("PK\x03\x04\x14\0", 6)}};
  const std::size_t captured = kvtest::CapturedJobCount();
  for (const auto& [kind, bytes] : refused) {
    WriteWhole(dir_ / "file", bytes);
    EXPECT_EQ(Run({"print", "file", "--printer", kvtest::kPrinter}), 1) << kind;
    EXPECT_NE(err_.find(std::string("file is ") + kind + ", not a label job"), std::string::npos) << err_;
    EXPECT_NE(err_.find("kvprinter submit file"), std::string::npos) << err_;
  }
  EXPECT_EQ(kvtest::CapturedJobCount(), captured);
  ASSERT_EQ(Run({"print", "file", "--raw", "--printer=" + std::string(kvtest::kPrinter)}), 0) << err_;
  EXPECT_EQ(kvtest::WaitForJob(captured), refused[5].second);
  const std::string job = kvtest::Job({"N", "q80", "Q40,24", "P1"});
  WriteWhole(dir_ / "job.prn", job);
  ASSERT_EQ(Shell("exec '" + std::string(KV_KVLABEL) + "' print - --printer '" + kvtest::kPrinter + "' <job.prn"), 0)
      << err_;
  EXPECT_EQ(kvtest::WaitForJob(captured + 1), job);
}

TEST_F(KvlabelTest, PrintReportsTheLibraryCode) {
  EXPECT_EQ(Run({"print", "absent.prn", "--printer", kvtest::kPrinter}), 1);
  EXPECT_NE(err_.find("OurSendFile failed with -2222"), std::string::npos) << err_;
  EXPECT_EQ(Run({"print", "absent.prn"}), 2);
}

}  // namespace
