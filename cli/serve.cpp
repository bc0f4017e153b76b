#include "serve.h"

#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "kv/render/png.h"
#include "kv/render/renderer.h"

namespace kv::cli {

namespace {

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

void Log(const std::string& line) { std::fprintf(stderr, "kvlabel serve: %s\n", line.c_str()); }

// A line about job `job` ("job-N").
void Log(const std::string& job, const std::string& text) {
  std::fprintf(stderr, "kvlabel serve: %s: %s\n", job.c_str(), text.c_str());
}

// A descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The output folder, opened once; every file is made inside it by a name of our own, never following
// a link and never replacing a file it did not just write.
class OutDir {
 public:
  explicit OutDir(int fd) : fd_(fd) {}

  // The next job number: one above the highest job-N.prn already there.
  long NextJob() const {
    long highest = 0;
    const int dup = ::dup(fd_.get());
    if (dup < 0) return 1;
    DIR* d = ::fdopendir(dup);
    if (d == nullptr) {
      ::close(dup);
      return 1;
    }
    while (const dirent* e = ::readdir(d)) {
      long n = 0;
      char tail[8] = {};
      if (std::sscanf(e->d_name, "job-%ld.%7s", &n, tail) == 2 && std::strcmp(tail, "prn") == 0 && n > highest)
        highest = n;
    }
    ::closedir(d);
    return highest + 1;
  }

  // Writes a file through a temporary name and renames it into place, so that a reader sees it whole.
  template <class WriteFn>
  bool Write(const std::string& name, WriteFn&& write) const {
    const std::string part = "." + name + ".part";
    ::unlinkat(fd_.get(), part.c_str(), 0);
    const int fd = ::openat(fd_.get(), part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::FILE* f = ::fdopen(fd, "wb");
    if (f == nullptr) {
      ::close(fd);
      ::unlinkat(fd_.get(), part.c_str(), 0);
      return false;
    }
    const bool ok = write(f);
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed || ::renameat(fd_.get(), part.c_str(), fd_.get(), name.c_str()) != 0) {
      ::unlinkat(fd_.get(), part.c_str(), 0);
      return false;
    }
    return true;
  }

 private:
  Fd fd_;
};

// Reads one job from a connection: everything until the sender closes, at most `max` bytes.
std::string ReadJob(int conn, const ServeOptions& o, bool& cut, bool& stopped) {
  std::string job;
  cut = stopped = false;
  char buf[65536];
  auto last = std::chrono::steady_clock::now();
  for (;;) {
    if (g_stop) {
      stopped = true;
      return job;
    }
    pollfd p{conn, POLLIN, 0};
    const int ready = ::poll(&p, 1, 250);
    if (ready < 0 && errno != EINTR) return job;
    if (ready <= 0) {
      if (std::chrono::steady_clock::now() - last > std::chrono::seconds(o.idle_seconds)) return job;
      continue;
    }
    const ssize_t n = ::recv(conn, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return job;
    last = std::chrono::steady_clock::now();
    const std::size_t room = o.max_job - job.size();
    job.append(buf, std::min(room, static_cast<std::size_t>(n)));
    if (static_cast<std::size_t>(n) > room) {
      cut = true;
      return job;
    }
  }
}

void RunJob(long number, const std::string& job, bool cut, kv::render::Printer& printer, const OutDir& out, int dpi) {
  const std::string base = "job-" + std::to_string(number);
  std::size_t written = 0;
  bool write_failed = false;
  const auto summary = printer.Run(job.data(), job.size(), [&](const kv::render::RenderedLabel& label) {
    const std::string name = base + (written == 0 ? "" : "-" + std::to_string(written + 1)) + ".png";
    std::string error;
    if (out.Write(name, [&](std::FILE* f) { return kv::render::WritePng(f, label.image, dpi, error); })) {
      ++written;
    } else {
      write_failed = true;
      Log(base + ": " + name + " could not be written" + (error.empty() ? "" : ": " + error));
    }
  });
  if (cut) Log(base + ": warning: the job was cut off after " + std::to_string(job.size()) + " bytes");
  for (const auto& m : summary.messages) Log(base, kv::render::Describe(m));
  for (const auto& note : summary.notes) Log(base, note);
  std::string line =
      base + ": " + std::to_string(job.size()) + " bytes, " + std::to_string(summary.labels) + " label(s)";
  if (summary.labels > 0)
    line += ", " + std::to_string(summary.width) + " x " + std::to_string(summary.height) + " dots";
  line += ", " + std::to_string(summary.copies) + " asked, " + std::to_string(written) + " PNG written";
  if (write_failed) line += " (some failed)";
  Log(line);
  // The raw bytes come last: once job-N.prn is there, the job's pictures and messages are complete.
  const bool raw_ok =
      out.Write(base + ".prn", [&](std::FILE* f) { return std::fwrite(job.data(), 1, job.size(), f) == job.size(); });
  if (!raw_ok) Log(base + ": " + base + ".prn could not be written");
}

}  // namespace

int Serve(const ServeOptions& o) {
  if (o.out.empty()) {
    Log("--out DIR is required");
    return 2;
  }
  if (::mkdir(o.out.c_str(), 0755) != 0 && errno != EEXIST) {
    Log("cannot make " + o.out + ": " + std::strerror(errno));
    return 1;
  }
  const int dir = ::open(o.out.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    Log("cannot open the folder " + o.out + ": " + std::strerror(errno));
    return 1;
  }
  OutDir out(dir);

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(o.port);
  if (const int rc = ::getaddrinfo(o.bind.c_str(), port.c_str(), &hints, &found); rc != 0) {
    Log("cannot use the address " + o.bind + ": " + ::gai_strerror(rc));
    return 1;
  }
  int listener = -1;
  for (addrinfo* a = found; a != nullptr && listener < 0; a = a->ai_next) {
    listener = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (listener < 0) continue;
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(listener, a->ai_addr, a->ai_addrlen) != 0 || ::listen(listener, 16) != 0) {
      ::close(listener);
      listener = -1;
    }
  }
  ::freeaddrinfo(found);
  if (listener < 0) {
    Log("cannot listen on " + o.bind + ":" + port + ": " + std::strerror(errno));
    return 1;
  }
  Fd listening(listener);
  sockaddr_storage bound{};
  socklen_t len = sizeof bound;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &len);
  char host[NI_MAXHOST] = "?", serv[NI_MAXSERV] = "?";
  ::getnameinfo(reinterpret_cast<sockaddr*>(&bound), len, host, sizeof host, serv, sizeof serv,
                NI_NUMERICHOST | NI_NUMERICSERV);

  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  ::sigemptyset(&stop.sa_mask);
  ::sigaction(SIGINT, &stop, nullptr);
  ::sigaction(SIGTERM, &stop, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  std::printf("kvlabel serve: listening on %s:%s, %d dpi, writing to %s\n", host, serv, o.dpi, o.out.c_str());
  std::fflush(stdout);

  kv::render::Printer printer(o.dpi);
  long number = out.NextJob();
  while (!g_stop) {
    pollfd p{listener, POLLIN, 0};
    const int ready = ::poll(&p, 1, 250);
    if (ready <= 0) continue;
    const int conn = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn < 0) continue;
    Fd connection(conn);
    bool cut = false, stopped = false;
    const std::string job = ReadJob(conn, o, cut, stopped);
    if (job.empty()) {
      if (stopped) break;
      Log("a connection ended without data; no job");
      continue;
    }
    if (stopped) Log("stopping: the job being received is kept as it stands");
    RunJob(number++, job, cut, printer, out, o.dpi);
  }
  Log("stopped");
  return 0;
}

}  // namespace kv::cli
