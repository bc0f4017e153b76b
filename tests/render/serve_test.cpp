// The virtual printer as its clients meet it: jobs through the real spooler, state kept between jobs, clients
// silent or slow, its bounds, stopping, and the names it writes in a folder that already holds files.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"
#include "render_support.h"
#include "serve.h"
#include "test_env.h"

namespace {

namespace fs = std::filesystem;
using kvtest::Names;
using kvtest::ReadPicture;
using kvtest::ReadWhole;
using kvtest::WaitFor;
using kvtest::WriteWhole;

// The names in a folder and what each holds: a job's bytes, a picture's size and hash, "<other>" for the rest.
std::map<std::string, std::string> Contents(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string& held = files[e.path().filename().string()];
    if (e.is_symlink() || e.is_directory()) {
      held = "<other>";
    } else {
      held = ReadWhole(e.path());
      if (e.path().extension() == ".png")
        held = std::to_string(held.size()) + " bytes, hash " + std::to_string(std::hash<std::string>()(held));
    }
  }
  return files;
}

// A virtual printer on a free port in its own process: standard error to serve.log beside its folder.
class Server : public kvtest::Child {
 public:
  // `kvlabel serve --port 0 --out DIR` with `extra` options, as users run it.
  Server(const fs::path& dir, std::vector<std::string> extra = {})
      : Server(dir, [&] {
          std::vector<std::string> args = {KV_KVLABEL, "serve", "--port", "0", "--out", (dir / "out").string()};
          args.insert(args.end(), extra.begin(), extra.end());
          return kvtest::Exec(args);
        }) {}
  // The same server with bounds of the test's own, short enough to meet in a test.
  Server(const fs::path& dir, kv::cli::ServeOptions o)
      : Server(dir, [&] {
          o.port = 0;
          o.out = (dir / "out").string();
          return kv::cli::Serve(o);
        }) {}

  int port() const { return port_; }
  std::string Log() const { return ReadWhole(dir_ / "serve.log"); }

 private:
  Server(const fs::path& dir, const std::function<int()>& run) : Child(run, dir / "serve.log"), dir_(dir) {
    const std::string line = ReadLine(), prefix = "kvlabel serve: listening on 127.0.0.1:";
    if (line.rfind(prefix, 0) == 0) port_ = std::atoi(line.c_str() + prefix.size());
  }

  fs::path dir_;
  int port_ = 0;
};

// A client connection; sends fail quietly once the printer has closed it.
struct Client {
  explicit Client(int port) : fd(kvtest::ConnectLoopback(port)), connected(fd >= 0) {}
  ~Client() {
    if (connected) ::close(fd);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // True when every byte went out.
  bool Send(const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
      const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  int fd;
  bool connected;
};

void SendJob(int port, const std::string& bytes) {
  Client c(port);
  ASSERT_TRUE(c.connected);
  c.Send(bytes);
}

const std::string kSmallJob = kvtest::Job({"N", "q8", "Q8,24", "LO0,0,4,4", "P1"});

// `labels` labels of 2048 x 2048 dots, a few milliseconds each: a job that keeps the printer busy.
std::string BusyJob(int labels) {
  std::string job = kvtest::Job({"N", "q2048", "Q2048,24", "LO0,0,8,8"});
  for (int i = 0; i < labels; ++i) job += "P1\r\n";
  return job;
}
const std::string kStopLine = "kvlabel serve: stopped";

class ServeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kvtest::EnterFreshDirectory("serve-");
    out_ = dir_ / "out";
    fs::create_directory(out_);
  }
  void TearDown() override { kvtest::LeaveDirectory(dir_); }

  // The jobs kept in the folder, whatever their numbers.
  std::multiset<std::string> KeptJobs() const {
    std::multiset<std::string> kept;
    for (const auto& [name, bytes] : Contents(out_))
      if (name.size() > 4 && name.substr(name.size() - 4) == ".prn") kept.insert(bytes);
    return kept;
  }

  fs::path dir_, out_;
};

// The sample label through the library and the spooler to the virtual printer is drawn exactly as the
// renderer draws the same job taken from the capture printer.
TEST_F(ServeTest, SampleLabelThroughTheSpoolerEqualsTheRenderedJob) {
  Server server(dir_);
  ASSERT_GT(server.port(), 0);
  const std::string uri = "socket://127.0.0.1:" + std::to_string(server.port()) + "/?snmp=false";
  const std::string queue = std::string(KV_PYTHON) + " " + KV_HARNESS + " queue " + std::getenv("KV_HARNESS_DIR") +
                            " KIRV_Virtual " + uri + " >queue.log 2>&1";
  ASSERT_EQ(std::system(queue.c_str()), 0) << ReadWhole("queue.log");
  // The queue goes again at the end: the other tests see the spooler's own printers only.
  struct RemoveQueue {
    ~RemoveQueue() { std::system("/usr/sbin/lpadmin -x KIRV_Virtual >/dev/null 2>&1"); }
  } remove_queue;

  WriteWhole("footer.prn", "A40,250,0,2,1,1,N,\"Packed 2026-12-06\"\r\n");
  const std::size_t captured = kvtest::CapturedJobCount();
  for (const char* printer : {"KIRV Virtual", "KIRV R5"}) {
    const std::string sample = std::string(KV_SAMPLE_LABEL) + " '" + printer + "' footer.prn >sample.log 2>&1";
    ASSERT_EQ(std::system(sample.c_str()), 0) << ReadWhole("sample.log");
  }
  ASSERT_TRUE(WaitFor([&] { return fs::exists(out_ / "job-1.prn"); })) << server.Log();
  const std::string spooled = kvtest::WaitForJob(captured);
  EXPECT_EQ(ReadWhole(out_ / "job-1.prn"), spooled);
  const auto rendered = kvtest::RenderJob(spooled);
  ASSERT_EQ(rendered.labels.size(), 1u) << rendered.Messages();
  EXPECT_TRUE(ReadPicture(out_ / "job-1.png") == rendered.labels[0]);
  EXPECT_EQ(server.Wait(SIGTERM), 0);
  EXPECT_EQ(Names(out_), (std::set<std::string>{"job-1.prn", "job-1.png"}));
}

// Stored graphics and forms stay for the next job, as in a printer.
TEST_F(ServeTest, KeepsGraphicsAndFormsBetweenJobs) {
  Server server(dir_);
  ASSERT_GT(server.port(), 0);
  SendJob(server.port(), kvtest::Download("DOT", kvtest::Pcx(8, 1)) + kvtest::Job({"FS\"F\"", "GG0,0,\"DOT\"", "FE"}));
  ASSERT_TRUE(WaitFor([&] { return fs::exists(out_ / "job-1.prn"); })) << server.Log();
  SendJob(server.port(), kvtest::Job({"N", "q16", "Q8,24", "FR\"F\"", "P1"}));
  ASSERT_TRUE(WaitFor([&] { return fs::exists(out_ / "job-2.prn"); })) << server.Log();
  EXPECT_EQ(ReadPicture(out_ / "job-2.png").BlackCount(), 8u);
}

// A silent and a slow client do not hold back a third one's job; on stopping, the slow one's bytes so
// far are kept as a job, and the printer says it stopped on the stream where it said it started.
TEST_F(ServeTest, SilentAndSlowClientsDoNotHoldBackAnother) {
  Server server(dir_);
  ASSERT_GT(server.port(), 0);
  Client silent(server.port()), slow(server.port());
  std::string trickled = "N\r\nq8\r\n";
  ASSERT_TRUE(slow.Send(trickled));
  SendJob(server.port(), kSmallJob);
  EXPECT_TRUE(WaitFor([&] {
    trickled += 'x';
    slow.Send("x");
    return fs::exists(out_ / "job-1.prn");
  })) << server.Log();
  EXPECT_EQ(server.Wait(SIGINT), 0);
  EXPECT_EQ(server.ReadLine(), kStopLine);
  auto files = Contents(out_);
  EXPECT_EQ(files.erase("job-1.png"), 1u);
  EXPECT_EQ(files, (std::map<std::string, std::string>{{"job-1.prn", kSmallJob}, {"job-2.prn", trickled}}));
  const std::string log = server.Log();
  EXPECT_NE(log.find("job-2: warning: the printer stopped while receiving"), std::string::npos) << log;
  EXPECT_NE(log.find("a connection ended without data; no job"), std::string::npos) << log;
}

// The bounds made short: a silent client's job ends after its idle time, a slow one's at its total time, clients
// past the bound of connections wait, jobs larger than the bytes held come through whole, and one too long is cut.
TEST_F(ServeTest, BoundsEndJobsAndKeepWhatCame) {
  kv::cli::ServeOptions o;
  o.idle_seconds = 1;
  o.total_seconds = 3;
  o.max_connections = 2;
  o.max_held = 4096;
  o.max_job = 20000;
  Server server(dir_, o);
  ASSERT_GT(server.port(), 0);
  Client quiet(server.port()), slow(server.port());
  const std::string started = "N\r\nq80\r\n";
  ASSERT_TRUE(quiet.Send(started));
  std::string trickled;
  const std::string large = kSmallJob + std::string(10000, ';'), longest = kSmallJob + std::string(30000, ';');
  SendJob(server.port(), large);
  SendJob(server.port(), large);
  SendJob(server.port(), longest);
  EXPECT_TRUE(WaitFor([&] {
    if (slow.Send("x")) trickled += 'x';
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return fs::exists(out_ / "job-5.prn");
  })) << server.Log();
  EXPECT_EQ(server.Wait(SIGTERM), 0);
  // The slow client's job is what the printer read before its time was up: a beginning of what was sent.
  auto kept = KeptJobs();
  const auto slow_job = std::find_if(kept.begin(), kept.end(), [](const std::string& j) { return j[0] == 'x'; });
  ASSERT_NE(slow_job, kept.end()) << server.Log();
  EXPECT_EQ(trickled.rfind(*slow_job, 0), 0u);
  kept.erase(slow_job);
  EXPECT_EQ(kept, (std::multiset<std::string>{started, large, large, longest.substr(0, 20000)})) << server.Log();
  const std::string log = server.Log();
  for (const char* said : {"warning: the connection was silent for 1 s; the job ends here",
                           "warning: the connection was open for 3 s; the job was cut off after",
                           "warning: the job was cut off after 20000 bytes"})
    EXPECT_NE(log.find(said), std::string::npos) << said << "\n" << log;
}

// SIGTERM while a long job is drawn ends it at once; it and the jobs waiting are kept.
TEST_F(ServeTest, StopWhileDrawingKeepsEveryJob) {
  Server server(dir_);
  ASSERT_GT(server.port(), 0);
  const std::string heavy = BusyJob(1000);
  for (int i = 0; i < 3; ++i) SendJob(server.port(), heavy);
  ASSERT_TRUE(WaitFor([&] { return fs::exists(out_ / "job-1.png"); })) << server.Log();
  EXPECT_EQ(server.Wait(SIGTERM), 0);
  EXPECT_EQ(server.ReadLine(), kStopLine);
  auto files = Contents(out_);
  for (auto it = files.begin(); it != files.end();) it = it->first.rfind("job-1", 0) == 0 ? files.erase(it) : ++it;
  EXPECT_EQ(files, (std::map<std::string, std::string>{{"job-2.prn", heavy}, {"job-3.prn", heavy}}));
  EXPECT_EQ(ReadWhole(out_ / "job-1.prn"), heavy);
  EXPECT_FALSE(fs::exists(out_ / "job-1-1000.png"));
  const std::string log = server.Log();
  for (const char* said : {": error: stopped", "job-2: not drawn", "job-3: not drawn"})
    EXPECT_NE(log.find(said), std::string::npos) << said << "\n" << log;
}

// What a folder holds already (earlier runs, or planted before or while the printer runs) is never replaced or
// written through. The names planted: "name" a file holding "earlier", "name/" a folder, "name@" a link to ../victim.
using Planted = std::vector<std::string>;

void Plant(const fs::path& dir, const Planted& names) {
  for (const std::string& name : names) {
    const fs::path at = dir / name.substr(0, name.find_first_of("/@"));
    if (name.back() == '/') {
      fs::create_directory(at);
    } else if (name.back() == '@') {
      fs::create_symlink("../victim", at);
    } else {
      WriteWhole(at, "earlier");
    }
  }
}

struct PlantedCase {
  const char* name;
  Planted before, meanwhile;
  std::set<std::string> written;  // the new job (three labels)
};

class PlantedNamesTest : public ServeTest, public ::testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedNamesTest, NewJobTakesFreeNamesOnly) {
  const PlantedCase& c = GetParam();
  WriteWhole(dir_ / "victim", "victim");
  Plant(out_, c.before);
  Server server(dir_);
  ASSERT_GT(server.port(), 0);
  Plant(out_, c.meanwhile);
  const auto earlier = Contents(out_);
  SendJob(server.port(), kvtest::Job({"N", "q8", "Q8,24", "P1", "P1", "P1"}));
  const std::string prn = *std::find_if(c.written.begin(), c.written.end(),
                                        [](const std::string& n) { return n.find(".prn") != std::string::npos; });
  ASSERT_TRUE(WaitFor([&] { return fs::exists(out_ / prn); })) << server.Log();
  EXPECT_EQ(server.Wait(SIGTERM), 0);
  auto now = Contents(out_);
  for (const auto& name : c.written) EXPECT_EQ(now.erase(name), 1u) << name << "\n" << server.Log();
  EXPECT_EQ(now, earlier);
  EXPECT_EQ(ReadWhole(dir_ / "victim"), "victim");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlantedNamesTest,
    ::testing::Values(
        PlantedCase{"EmptyFolder", {}, {}, {"job-1.prn", "job-1.png", "job-1-2.png", "job-1-3.png"}},
        // An earlier run stopped before job-2.prn: its pictures are never drawn over.
        PlantedCase{"EarlierRunWithoutItsLastPrn",
                    {"job-1.prn", "job-1.png", "job-2.png", "job-2-2.png"},
                    {},
                    {"job-3.prn", "job-3.png", "job-3-2.png", "job-3-3.png"}},
        // Numbers beyond any that the printer writes are no names of its own; they neither overflow nor count.
        PlantedCase{"NumbersAtTheEndOf64Bits",
                    {"job-9223372036854775807.prn", "job-18446744073709551615.png", "job-007.prn"},
                    {},
                    {"job-1.prn", "job-1.png", "job-1-2.png", "job-1-3.png"}},
        PlantedCase{"FolderAtAJobName", {"job-4.png/"}, {}, {"job-5.prn", "job-5.png", "job-5-2.png", "job-5-3.png"}},
        // Planted once the printer counts: the next number, a label whose name is taken left out.
        PlantedCase{"NamesPlantedWhileRunning",
                    {},
                    {"job-1.prn", "job-2.png/", "job-3-2.png/", "job-3-3.png@"},
                    {"job-3.prn", "job-3.png"}}),
    [](const ::testing::TestParamInfo<PlantedCase>& i) { return std::string(i.param.name); });

TEST_F(ServeTest, RefusesWhatItCannotUse) {
  Server bad_address(dir_, {"--bind", "256.0.0.1"});
  EXPECT_EQ(bad_address.port(), 0);
  EXPECT_EQ(bad_address.Wait(0), 1);
  EXPECT_NE(bad_address.Log().find("cannot use the address 256.0.0.1"), std::string::npos) << bad_address.Log();
}

}  // namespace
