// Printers reached without the spooler:
//   socket://HOST[:PORT]   a raw TCP port (9100 unless given); a document is one connection: connected
//                          when it starts, sent, half-closed at its end and closed once the printer
//                          has closed its side;
//   usb:/dev/usb/lpN       a device file (the "usb:" prefix is optional for any absolute path); a
//                          document is one open, write and close of it. A device that is a terminal
//                          is put into raw mode, with the serial settings given to it, for each job.
//
// Opening checks that the printer can be reached (a TCP connection, closed again at once, or a
// character device or FIFO that we may write to). Reaching a printer gives up after connect_bound();
// a printer that accepts no byte for exchange_bound() fails the write.
#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "open_printer.h"

namespace kv::plat {

bool apply_line_settings(int fd, const SerialSettings& settings);  // serial.cpp
bool make_line_raw(int fd);                                        // serial.cpp

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char kSocketScheme[] = "socket://";
constexpr const char kUsbScheme[] = "usb:";
constexpr const char kDefaultRawPort[] = "9100";

bool starts_with(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

int ms_until(Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Waits until `fd` is ready for `events` or the time is up. False on time-out or error.
bool wait_ready(int fd, short events, Clock::time_point end) {
  for (;;) {
    pollfd pfd{fd, events, 0};
    int n = poll(&pfd, 1, ms_until(end));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return false;
  }
}

// Writing to a FIFO or device whose reader has gone raises SIGPIPE, which would end the caller's
// process. While this lives, SIGPIPE is held back for this thread, and one raised meanwhile is taken
// away again; the write itself reports EPIPE.
class SigpipeHeld {
 public:
  SigpipeHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
  }
  ~SigpipeHeld() {
    sigset_t pending;
    sigpending(&pending);
    if (!was_pending_ && sigismember(&pending, SIGPIPE) == 1) {
      timespec none{0, 0};
      sigtimedwait(&pipe_, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  SigpipeHeld(const SigpipeHeld&) = delete;
  SigpipeHeld& operator=(const SigpipeHeld&) = delete;

 private:
  sigset_t pipe_;
  sigset_t old_;
  bool was_pending_ = false;
};

// Writes all `len` bytes to a non-blocking descriptor (a device's with SIGPIPE held back; a socket's
// send never raises it). Fails when the other side refuses them or
// takes no byte for exchange_bound().
bool send_all(int fd, const char* data, std::size_t len, bool is_socket) {
  Clock::time_point stall_end = Clock::now() + exchange_bound();
  while (len > 0) {
    ssize_t n = is_socket ? send(fd, data, len, MSG_NOSIGNAL) : ::write(fd, data, len);
    if (n > 0) {
      data += n;
      len -= static_cast<std::size_t>(n);
      stall_end = Clock::now() + exchange_bound();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (!wait_ready(fd, POLLOUT, stall_end)) return false;
  }
  return true;
}

// A direct printer whose document is one open descriptor: abandoning it is closing it.
class DescriptorPrinter : public OpenPrinter {
 public:
  ~DescriptorPrinter() override { close_fd(); }

  bool abort_doc() override {
    if (fd_ < 0) return false;
    close_fd();
    return true;
  }

  bool in_doc() const override { return fd_ >= 0; }

 protected:
  void close_fd() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  int fd_ = -1;
};

class SocketPrinter final : public DescriptorPrinter {
 public:
  SocketPrinter(const sockaddr* addr, socklen_t len) : len_(len) { std::memcpy(&addr_, addr, len); }

  // A connection within connect_bound(), or -1.
  int connect_now() const {
    int fd = socket(addr_.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const Clock::time_point end = Clock::now() + connect_bound();
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr_), len_) != 0) {
      int err = errno;
      if (err != EINPROGRESS || !wait_ready(fd, POLLOUT, end)) {
        ::close(fd);
        return -1;
      }
      socklen_t elen = sizeof err;
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &elen) != 0 || err != 0) {
        ::close(fd);
        return -1;
      }
    }
    return fd;
  }

  bool start_doc(const char*, bool) override {
    if (fd_ >= 0) return false;
    fd_ = connect_now();
    return fd_ >= 0;
  }

  bool write(const void* data, std::size_t len) override {
    return fd_ >= 0 && send_all(fd_, static_cast<const char*>(data), len, true);
  }

  // The job is done when the printer, having read our end of the stream, closes its side. A printer
  // that keeps the connection open has still taken the job once its system has acknowledged every
  // byte; only bytes it never acknowledged make the end fail.
  bool end_doc() override {
    if (fd_ < 0) return false;
    bool ok = shutdown(fd_, SHUT_WR) == 0;
    const Clock::time_point end = Clock::now() + exchange_bound();
    char sink[512];
    while (ok) {
      ssize_t n = recv(fd_, sink, sizeof sink, 0);
      if (n == 0) break;
      if (n > 0) continue;  // what a printer says back is not part of the job
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        ok = false;
      } else if (!wait_ready(fd_, POLLIN, end)) {
        int unacknowledged = 0;
        ok = ioctl(fd_, SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0;
        break;
      }
    }
    close_fd();
    return ok;
  }

 private:
  sockaddr_storage addr_{};
  socklen_t len_;
};

class DevicePrinter final : public DescriptorPrinter {
 public:
  explicit DevicePrinter(std::string path) : path_(std::move(path)) {}

  // Opens the device for writing, waiting up to connect_bound() while it is busy or (a FIFO) has no
  // reader yet. Only a character device or a FIFO is accepted.
  int open_now() const {
    const Clock::time_point end = Clock::now() + connect_bound();
    for (;;) {
      int fd = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) return fd;
        ::close(fd);
        return -1;
      }
      if (errno != EINTR && errno != ENXIO && errno != EBUSY && errno != EAGAIN) return -1;
      if (Clock::now() >= end) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  bool reachable() const {
    struct stat st;
    return stat(path_.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) &&
           access(path_.c_str(), W_OK) == 0;
  }

  bool start_doc(const char*, bool) override {
    if (fd_ >= 0) return false;
    fd_ = open_now();
    if (fd_ < 0) return false;
    // Label data passes a terminal unchanged: raw mode, and the line settings given to the printer.
    if (isatty(fd_) == 1 && !(has_settings_ ? apply_line_settings(fd_, settings_) : make_line_raw(fd_))) {
      close_fd();
      return false;
    }
    return true;
  }

  bool write(const void* data, std::size_t len) override {
    if (fd_ < 0) return false;
    SigpipeHeld held;
    return send_all(fd_, static_cast<const char*>(data), len, false);
  }

  bool end_doc() override {
    if (fd_ < 0) return false;
    bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

  // The settings are applied now, and again to every job, since a terminal may be reset between opens.
  bool apply_serial(const SerialSettings& settings) override {
    int fd = fd_ >= 0 ? fd_ : open_now();
    if (fd < 0) return false;
    bool ok = isatty(fd) == 1 && apply_line_settings(fd, settings);
    if (fd != fd_) ::close(fd);
    if (ok) {
      settings_ = settings;
      has_settings_ = true;
    }
    return ok;
  }

 private:
  std::string path_;
  SerialSettings settings_{};
  bool has_settings_ = false;
};

// Splits "HOST[:PORT][/...]" (HOST may be "[v6 address]"). False when malformed.
bool split_host_port(const std::string& rest, std::string& host, std::string& port) {
  std::string authority = rest.substr(0, rest.find_first_of("/?"));
  std::size_t colon;
  if (!authority.empty() && authority[0] == '[') {
    std::size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    host = authority.substr(1, close - 1);
    colon = close + 1 < authority.size() && authority[close + 1] == ':' ? close + 1 : std::string::npos;
    if (colon == std::string::npos && close + 1 != authority.size()) return false;
  } else {
    colon = authority.rfind(':');
    host = authority.substr(0, colon);
  }
  port = colon == std::string::npos ? kDefaultRawPort : authority.substr(colon + 1);
  if (host.empty() || port.empty() || port.size() > 5) return false;
  for (char c : port)
    if (c < '0' || c > '9') return false;
  int number = std::stoi(port);
  return number > 0 && number < 65536;
}

OpenPrinter* open_socket(const char* rest) {
  std::string host, port;
  if (!split_host_port(rest, host, port)) return nullptr;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return nullptr;
  OpenPrinter* printer = nullptr;
  for (addrinfo* a = found; a != nullptr && printer == nullptr; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    auto* candidate = new (std::nothrow) SocketPrinter(a->ai_addr, a->ai_addrlen);
    if (candidate == nullptr) break;
    int fd = candidate->connect_now();
    if (fd >= 0) {
      ::close(fd);  // reachable: each job connects again
      printer = candidate;
    } else {
      delete candidate;
    }
  }
  freeaddrinfo(found);
  return printer;
}

}  // namespace

// "socket://HOST[:PORT]", "usb:/dev/...", or an absolute device path. Queue names can hold neither
// "://" nor a leading "/", so no queue is hidden by a printer addressed directly.
bool spool_is_direct_name(const char* name) {
  if (name == nullptr) return false;
  return starts_with(name, kSocketScheme) || starts_with(name, kUsbScheme) || name[0] == '/';
}

OpenPrinter* open_direct(const char* name) {
  if (starts_with(name, kSocketScheme)) return open_socket(name + std::strlen(kSocketScheme));
  const char* path = starts_with(name, kUsbScheme) ? name + std::strlen(kUsbScheme) : name;
  if (path[0] != '/') return nullptr;
  auto* device = new (std::nothrow) DevicePrinter(path);
  if (device != nullptr && !device->reachable()) {
    delete device;
    return nullptr;
  }
  return device;
}

}  // namespace kv::plat
