// Running the job renderer in a test (its labels and what it said), and kvlabel in a process of its own.
#ifndef KV_TESTS_RENDER_SUPPORT_H
#define KV_TESTS_RENDER_SUPPORT_H

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
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

// A one-bit PCX image of `width` x `height` dots, the `dark` ones (every one when none) as 0 bits, run-length coded
// with runs that cross the rows.
inline std::string Pcx(int width, int height, bool (*dark)(int, int) = nullptr) {
  const int line = (width + 7) / 8;
  std::string pcx(128, '\0'), row;
  pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 1, pcx[65] = 1;
  for (const auto& [at, value] : {std::pair{8, width - 1}, {10, height - 1}, {66, line}})
    pcx[at] = static_cast<char>(value & 0xFF), pcx[at + 1] = static_cast<char>(value >> 8);
  std::size_t run = 0;  // bytes of `last` not yet written
  char last = 0;
  const auto flush = [&] {
    for (std::size_t n; run > 0; run -= n) {
      n = std::min<std::size_t>(run, 63);
      pcx += static_cast<char>(0xC0 | n);
      pcx += last;
    }
  };
  for (int y = 0; y < height; ++y) {
    if (dark != nullptr || y == 0) {  // without `dark`, every row is the first
      row.assign(static_cast<std::size_t>(line), '\xFF');
      for (int x = 0; x < width; ++x)
        if (dark == nullptr || dark(x, y)) row[x / 8] = static_cast<char>(row[x / 8] & ~(0x80 >> (x % 8)));
    }
    for (std::size_t b = 0, end; b < row.size(); b = end) {  // a stretch of equal bytes at a time
      end = std::min(row.find_first_not_of(row[b], b), row.size());
      if (row[b] != last) flush(), last = row[b];
      run += end - b;
    }
  }
  flush();
  return pcx;
}

// The command that stores `pcx` as the graphic `name`.
inline std::string Download(const std::string& name, const std::string& pcx) {
  return "GM\"" + name + "\"" + std::to_string(pcx.size()) + "\r\n" + pcx;
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

// A connection to `port` on the loopback address, whose sends wait 10 s at most; -1 when refused.
inline int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const timeval limit{10, 0};  // connecting waits this long at most
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
  ::close(fd);
  return -1;
}

// Runs the program `args` (its path, or a name found on PATH, first) in place of this process; 127 when it cannot.
inline int Exec(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  return 127;
}

// `run` in a process of its own, its result the exit status; standard output piped, standard error to `err_file`.
// The process is stopped when the test program ends, however that ends.
class Child {
 public:
  Child(const std::function<int()>& run, const std::filesystem::path& err_file) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      ::dup2(out[1], 1);
      ::dup2(::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), 2);
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
  pid_t pid() const { return pid_; }

  // Sends `sig` (none for 0) and waits up to `seconds` (then kills it) for the exit status, calling `meanwhile`
  // while it waits; -1 for no clean exit.
  int Wait(int sig = 0, int seconds = 30, const std::function<void()>& meanwhile = nullptr) {
    if (pid_ <= 0) return -1;
    if (sig != 0) ::kill(pid_, sig);
    int status = 0;
    const auto ended = [&] {
      if (meanwhile) meanwhile();
      return ::waitpid(pid_, &status, WNOHANG) != 0;
    };
    if (!WaitFor(ended, seconds)) {
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
