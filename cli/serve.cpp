// Two threads: the receiving thread (the caller's) waits in ppoll() on the listener and every open
// connection, takes connections as soon as they come and reads the jobs side by side, each within its
// own bounds of time and size; the drawing thread takes the jobs in the order their receiving ended and
// draws them one at a time with the one Printer, which keeps stored graphics and forms between jobs.
#include "serve.h"

#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "kv/render/png.h"
#include "kv/render/renderer.h"
#include "out_folder.h"

namespace kv::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Set by SIGINT or SIGTERM. Both signals are blocked in every thread except while the receiving
// thread waits in ppoll(), so a signal always ends that wait; the drawing thread reads the flag.
std::atomic<bool> g_stop{false};

void OnStopSignal(int) { g_stop.store(true); }

void Log(const std::string& line) { std::fprintf(stderr, "kvlabel serve: %s\n", line.c_str()); }

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

struct Job {
  std::uint64_t number = 0;
  std::string bytes;
};

// The jobs whose receiving has ended, in that order, from the receiving thread to the drawing thread.
// It counts their bytes until each is drawn and kept, and wakes the receiving thread (through an
// eventfd) when bytes are let go, so that connections held back for memory read on.
class Queue {
 public:
  explicit Queue(int wake) : wake_(wake) {}

  void Push(Job job) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pending_ += job.bytes.size();
      jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
  }

  // No more jobs come; Pop answers false once the last is taken.
  void Close() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    ready_.notify_one();
  }

  bool Pop(Job& job) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return closed_ || !jobs_.empty(); });
    if (jobs_.empty()) return false;
    job = std::move(jobs_.front());
    jobs_.pop_front();
    return true;
  }

  // A popped job of `size` bytes is done with.
  void Release(std::size_t size) {
    pending_ -= size;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
  }

  // Bytes of jobs waiting or being drawn.
  std::size_t pending() const { return pending_.load(); }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Job> jobs_;
  bool closed_ = false;
  std::atomic<std::size_t> pending_{0};
  int wake_;
};

// Draws one job; each label gets the name of its place in the job, whether or not an earlier one
// could be written.
void Draw(const Job& job, const std::string& base, kv::render::Printer& printer, const OutFolder& out, int dpi) {
  std::size_t index = 0, written = 0;
  const auto summary = printer.Run(job.bytes.data(), job.bytes.size(), [&](const kv::render::RenderedLabel& label) {
    ++index;
    const std::string name = base + (index == 1 ? "" : "-" + std::to_string(index)) + ".png";
    std::string error;
    const auto result =
        out.Write(name, [&](std::FILE* f) { return kv::render::WritePng(f, label.image, dpi, error, &g_stop); });
    if (result == OutFolder::Written::kYes)
      ++written;
    else if (result == OutFolder::Written::kNameTaken)
      Log(base + ": " + name + " is taken by another file, which is left alone; this label is not written");
    else
      Log(base + ": " + name + " could not be written" + (error.empty() ? "" : ": " + error));
  });
  for (const auto& m : summary.messages) Log(base + ": " + kv::render::Describe(m));
  for (const auto& note : summary.notes) Log(base + ": " + note);
  std::string line =
      base + ": " + std::to_string(job.bytes.size()) + " bytes, " + std::to_string(summary.labels) + " label(s)";
  if (summary.labels > 0)
    line += ", " + std::to_string(summary.width) + " x " + std::to_string(summary.height) + " dots";
  line += ", " + std::to_string(summary.copies) + " asked, " + std::to_string(written) + " PNG written";
  if (written < index) line += " (some failed)";
  Log(line);
}

// The drawing thread: every job is drawn, then its bytes kept as job-N.prn (last, so that once it is
// there the job's pictures and messages are complete). Once the printer is stopping, the job being
// drawn ends at once and the jobs still waiting are kept without drawing.
void DrawJobs(Queue& queue, kv::render::Printer& printer, const OutFolder& out, int dpi) {
  Job job;
  while (queue.Pop(job)) {
    const std::string base = "job-" + std::to_string(job.number);
    if (g_stop.load()) {
      Log(base + ": not drawn: the printer is stopping; the bytes received are kept");
    } else {
      try {
        Draw(job, base, printer, out, dpi);
      } catch (const std::exception& e) {
        Log(base + ": error: the job could not be drawn (" + e.what() + "); the bytes received are kept");
      }
    }
    std::string kept;
    const auto result = out.Write(
        base + ".prn",
        [&](std::FILE* f) { return std::fwrite(job.bytes.data(), 1, job.bytes.size(), f) == job.bytes.size(); }, &kept);
    if (result == OutFolder::Written::kNameTaken)
      Log(base + ": " + base + ".prn is taken by another file, which is left alone; the bytes are kept as " + kept);
    else if (result == OutFolder::Written::kFailed)
      Log(base + ": error: " + base + ".prn could not be written");
    const std::size_t size = job.bytes.size();
    std::string().swap(job.bytes);
    queue.Release(size);
  }
}

struct Connection {
  Connection(int socket, Clock::time_point now) : fd(socket), opened(now), last(now) {}
  Fd fd;
  std::string bytes;
  Clock::time_point opened, last;  // both moved on by the time reading was held back
  bool held_back = false;
  Clock::time_point held_since;
};

// The receiving side: the listener and the connections being read.
class Receiver {
 public:
  Receiver(const ServeOptions& o, int listener, int wake, const sigset_t& wait_mask, Queue& queue, OutFolder& out)
      : o_(o), listener_(listener), wake_(wake), wait_mask_(wait_mask), queue_(queue), out_(out) {}

  // Receives until the printer is told to stop, then ends every job as it stands.
  void Run();

 private:
  void EndTimedOut(Clock::time_point now);
  void HoldBack(Clock::time_point now);
  void Accept(Clock::time_point now);
  bool Receive(Connection& c, bool until_empty);
  void End(Connection& c, const std::string& why);
  void Drain();

  const ServeOptions& o_;
  const int listener_, wake_;
  const sigset_t& wait_mask_;
  Queue& queue_;
  OutFolder& out_;
  std::vector<std::unique_ptr<Connection>> conns_;
  std::size_t receiving_ = 0;              // bytes held by the connections
  Clock::time_point accept_paused_until_;  // after running out of descriptors
};

void Receiver::Run() {
  std::vector<pollfd> fds;
  while (!g_stop.load()) {
    const auto now = Clock::now();
    EndTimedOut(now);
    HoldBack(now);
    const bool accepting = conns_.size() < static_cast<std::size_t>(o_.max_connections) && now >= accept_paused_until_;
    auto wait = std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1));
    if (!accepting && now < accept_paused_until_) wait = std::min(wait, accept_paused_until_ - now);
    fds.assign({{wake_, POLLIN, 0}, {accepting ? listener_ : -1, POLLIN, 0}});
    for (const auto& c : conns_) {
      fds.push_back({c->held_back ? -1 : c->fd.get(), POLLIN, 0});
      if (c->held_back) continue;
      wait = std::min({wait, c->last + std::chrono::seconds(o_.idle_seconds) - now,
                       c->opened + std::chrono::seconds(o_.total_seconds) - now});
    }
    wait = std::max(wait, Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    const timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    if (::ppoll(fds.data(), fds.size(), &timeout, &wait_mask_) <= 0) continue;  // a signal, or a bound's time
    if (fds[0].revents != 0) {
      std::uint64_t count;
      [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
    }
    // Connections in the order they were taken, so that jobs whose senders closed in one round keep it.
    std::size_t open = 0;
    for (std::size_t i = 0; i < conns_.size(); ++i)
      if (fds[i + 2].revents == 0 || !Receive(*conns_[i], false)) conns_[open++] = std::move(conns_[i]);
    conns_.resize(open);
    if (fds[1].revents != 0) Accept(Clock::now());
  }
  Drain();
}

void Receiver::EndTimedOut(Clock::time_point now) {
  const auto idle = std::chrono::seconds(o_.idle_seconds), total = std::chrono::seconds(o_.total_seconds);
  for (auto it = conns_.begin(); it != conns_.end();) {
    Connection& c = **it;
    std::string why;
    if (c.held_back) {
      ++it;  // its time does not run while it is held back
      continue;
    }
    if (now - c.last >= idle)
      why = "warning: the connection was silent for " + std::to_string(o_.idle_seconds) + " s; the job ends here";
    else if (now - c.opened >= total)
      why = "warning: the connection was open for " + std::to_string(o_.total_seconds) +
            " s; the job was cut off after " + std::to_string(c.bytes.size()) + " bytes";
    if (why.empty()) {
      ++it;
    } else {
      End(c, why);
      it = conns_.erase(it);
    }
  }
}

// Past the bound of bytes held, connections stop being read (their senders wait, as on a busy printer)
// until drawing lets bytes go; the time held back does not count against them. When every byte held
// belongs to connections, nothing would let bytes go, so the one furthest along reads on: its job is
// bounded by the job size, and so the bytes held stay below the bound plus one job.
void Receiver::HoldBack(Clock::time_point now) {
  const bool over = receiving_ + queue_.pending() >= o_.max_held;
  const Connection* lead = nullptr;
  if (over && queue_.pending() == 0)
    for (const auto& c : conns_)
      if (lead == nullptr || c->bytes.size() > lead->bytes.size()) lead = c.get();
  for (const auto& c : conns_) {
    const bool hold = over && c.get() != lead;
    if (hold && !c->held_back) {
      c->held_back = true;
      c->held_since = now;
    } else if (!hold && c->held_back) {
      c->held_back = false;
      c->opened += now - c->held_since;
      c->last += now - c->held_since;
    }
  }
}

void Receiver::Accept(Clock::time_point now) {
  while (conns_.size() < static_cast<std::size_t>(o_.max_connections)) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
      conns_.push_back(std::make_unique<Connection>(fd, now));
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      // Out of descriptors or memory: the connection waits in the system's queue; try again shortly.
      Log(std::string("cannot take a connection yet: ") + std::strerror(errno));
      accept_paused_until_ = now + std::chrono::milliseconds(100);
    }
    return;
  }
}

// Reads what the connection has sent (once, or until nothing is left); true when its job has ended:
// the sender closed, the connection failed or the job reached its size bound.
bool Receiver::Receive(Connection& c, bool until_empty) {
  char buf[65536];
  do {
    const ssize_t n = ::recv(c.fd.get(), buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    if (n < 0) {
      End(c, std::string("warning: the connection failed (") + std::strerror(errno) + "); the job ends here");
      return true;
    }
    if (n == 0) {
      End(c, "");
      return true;
    }
    c.last = Clock::now();
    const std::size_t room = o_.max_job - c.bytes.size();
    const std::size_t take = std::min(room, static_cast<std::size_t>(n));
    try {
      c.bytes.append(buf, take);
    } catch (const std::bad_alloc&) {
      End(c, "warning: no memory to receive more; the job ends after " + std::to_string(c.bytes.size()) + " bytes");
      return true;
    }
    receiving_ += take;
    if (static_cast<std::size_t>(n) > room) {
      End(c, "warning: the job was cut off after " + std::to_string(c.bytes.size()) + " bytes");
      return true;
    }
  } while (until_empty);
  return false;
}

// Hands the connection's job to the drawing thread; the caller then closes the connection.
void Receiver::End(Connection& c, const std::string& why) {
  const std::size_t size = c.bytes.size();
  receiving_ -= size;
  if (size == 0) {
    Log("a connection ended without data; no job");
    return;
  }
  const std::uint64_t number = out_.TakeNumber();
  if (number == 0) {
    Log("error: no job number is left in the folder; a job of " + std::to_string(size) + " bytes is not kept");
    return;
  }
  if (!why.empty()) Log("job-" + std::to_string(number) + ": " + why);
  queue_.Push(Job{number, std::move(c.bytes)});
}

// On stopping: every open connection, and every one the system has completed but not yet handed
// over, ends with what its sender has sent so far, one at a time so that no descriptor bound is met.
void Receiver::Drain() {
  const std::string why = "warning: the printer stopped while receiving; the job is kept as it stands";
  for (const auto& c : conns_)
    if (!Receive(*c, true)) End(*c, why);
  conns_.clear();
  for (;;) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0 && errno == EINTR) continue;
    if (fd < 0) break;
    Connection c(fd, Clock::now());
    if (!Receive(c, true)) End(c, why);
  }
}

}  // namespace

int Serve(const ServeOptions& options) {
  // Bounds below one would take no connection or end every job at once.
  ServeOptions o = options;
  o.idle_seconds = std::max(o.idle_seconds, 1);
  o.total_seconds = std::max(o.total_seconds, 1);
  o.max_connections = std::max(o.max_connections, 1);
  o.max_job = std::max<std::size_t>(o.max_job, 1);
  o.max_held = std::max<std::size_t>(o.max_held, 1);
  if (o.out.empty()) {
    Log("--out DIR is required");
    return 2;
  }
  std::string error;
  const auto out = OutFolder::Open(o.out, error);
  if (out == nullptr) {
    Log(error);
    return 1;
  }

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
    listener = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (listener < 0) continue;
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    // The system's longest queue of completed connections: connections past the bound of those read at
    // once wait there, whole, instead of being half-completed and reset after their sender wrote.
    if (::bind(listener, a->ai_addr, a->ai_addrlen) != 0 || ::listen(listener, SOMAXCONN) != 0) {
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
  Fd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (wake.get() < 0) {
    Log(std::string("cannot make an event descriptor: ") + std::strerror(errno));
    return 1;
  }

  g_stop.store(false);
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  ::sigemptyset(&stop.sa_mask);
  ::sigaction(SIGINT, &stop, nullptr);
  ::sigaction(SIGTERM, &stop, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  sigset_t stops, before;
  ::sigemptyset(&stops);
  ::sigaddset(&stops, SIGINT);
  ::sigaddset(&stops, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &stops, &before);
  sigset_t wait_mask = before;
  ::sigdelset(&wait_mask, SIGINT);
  ::sigdelset(&wait_mask, SIGTERM);

  std::printf("kvlabel serve: listening on %s:%s, %d dpi, writing to %s\n", host, serv, o.dpi, o.out.c_str());
  std::fflush(stdout);

  kv::render::Limits limits;
  limits.stop = &g_stop;  // a stop signal ends the job being drawn within milliseconds
  kv::render::Printer printer(o.dpi, limits);
  Queue queue(wake.get());
  std::thread drawer;
  try {
    drawer = std::thread(DrawJobs, std::ref(queue), std::ref(printer), std::cref(*out), o.dpi);
  } catch (const std::system_error& e) {
    Log(std::string("cannot start drawing: ") + e.what());
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return 1;
  }
  Receiver(o, listener, wake.get(), wait_mask, queue, *out).Run();
  queue.Close();
  drawer.join();
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  std::printf("kvlabel serve: stopped\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace kv::cli
