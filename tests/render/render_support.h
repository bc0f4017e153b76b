// Running the job renderer in a test (its labels and what it said), and kvlabel in a process of its own.
#ifndef KV_TESTS_RENDER_SUPPORT_H
#define KV_TESTS_RENDER_SUPPORT_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kv/render/png.h"
#include "kv/render/renderer.h"

namespace kvtest {

struct Rendered {
  std::vector<kv::render::Bitmap> labels;
  kv::render::JobSummary summary;

  // Every message, one per line, for failure output.
  std::string Messages() const {
    std::string s;
    for (const auto& m : summary.messages) s += kv::render::Describe(m) + "\n";
    return s;
  }
};

inline Rendered RenderJob(kv::render::Printer& printer, const std::string& job) {
  Rendered r;
  r.summary =
      printer.Run(job.data(), job.size(), [&](const kv::render::RenderedLabel& l) { r.labels.push_back(l.image); });
  return r;
}

inline Rendered RenderJob(const std::string& job, int dpi = 203, kv::render::Limits limits = {}) {
  kv::render::Printer printer(dpi, limits);
  return RenderJob(printer, job);
}

// The lines joined with CR LF after each, as the library writes them.
inline std::string Job(std::initializer_list<const char*> lines) {
  std::string s;
  for (const char* l : lines) s += std::string(l) + "\r\n";
  return s;
}

inline kv::render::Bitmap ReadPicture(const std::filesystem::path& p, unsigned* per_metre = nullptr) {
  kv::render::Bitmap b;
  EXPECT_TRUE(kv::render::ReadPng(p.string(), b, 32768, per_metre)) << p;
  return b;
}

inline std::set<std::string> Names(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// Waits up to `seconds`, a bound that only a hang reaches, for `done` to hold.
inline bool WaitFor(const std::function<bool()>& done, int seconds = 30) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Runs the program `args` (the first its path) in place of this process; 127 when it cannot.
inline int Exec(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  return 127;
}

// `run` in a process of its own, its result the exit status; standard output piped, standard error to `err_file`.
class Child {
 public:
  Child(const std::function<int()>& run, const std::filesystem::path& err_file) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      ::close(out[0]);
      ::_exit(run());
    }
    ::close(out[1]);
    out_ = out[0];
  }
  ~Child() {
    if (pid_ > 0) Wait(SIGKILL);
    if (out_ >= 0) ::close(out_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Sends `sig` (none for 0) and waits up to 30 s (then kills it) for the exit status; -1 for no clean exit.
  int Wait(int sig = 0) {
    if (pid_ <= 0) return -1;
    if (sig != 0) ::kill(pid_, sig);
    int status = 0;
    if (!WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) != 0; })) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      status = -1;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The next line of standard output ("" when none comes within 10 seconds).
  std::string ReadLine() {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char c;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      if (::read(out_, &c, 1) != 1 || c == '\n') break;
      line += c;
    }
    return line;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

}  // namespace kvtest

#endif
