// Labels per second for many small labels in one process, each one job:
//   kv_volume PRINTER [N]   N labels (default 10,000) to PRINTER, a spooler queue or a direct printer;
//   kv_volume --sink [N]    N labels to a raw TCP port of this program's own that reads every job
//                           (socket://127.0.0.1:PORT), so that only the library's cost is measured;
//                           then the same N jobs sent with bare socket calls, for comparison.
// Prints the rate of every tenth of the run, so that a rate that falls as the run goes on shows.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "kvtaglib.h"

namespace {

using Clock = std::chrono::steady_clock;

// A printer on a loopback port: accepts each job, reads it to its end, closes. Counts the jobs.
class Sink {
 public:
  Sink() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd_, 128) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      std::perror("sink");
      std::exit(1);
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~Sink() {
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    thread_.join();
  }
  std::string uri() const { return "socket://127.0.0.1:" + std::to_string(port_); }
  long jobs() const { return jobs_; }
  int port() const { return port_; }

 private:
  void Serve() {
    char buf[65536];
    for (;;) {
      int c = accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      long got = 0;
      for (ssize_t n; (n = read(c, buf, sizeof buf)) > 0;) got += n;
      close(c);
      if (got > 0) ++jobs_;
    }
  }

  int fd_ = -1;
  int port_ = 0;
  std::atomic<long> jobs_{0};
  std::thread thread_;
};

// One job the plainest way: connect, send the label's bytes, half-close, wait for the printer to close.
bool SendBare(const sockaddr_in& to, const std::string& job) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool ok = fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
            send(fd, job.data(), job.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(job.size()) &&
            shutdown(fd, SHUT_WR) == 0;
  char buf[64];
  while (ok && read(fd, buf, sizeof buf) > 0) {
  }
  if (fd >= 0) close(fd);
  return ok;
}

void BareRun(const Sink& sink, long total) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<uint16_t>(sink.port()));
  const std::string job = "N\r\nT40,30,0,3,1,1,N,\"000001\"\r\nW1,1\r\n";
  const auto start = Clock::now();
  for (long i = 0; i < total; ++i) {
    if (!SendBare(to, job)) {
      std::fprintf(stderr, "bare job %ld failed\n", i);
      return;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("  the same %ld jobs with bare socket calls: %.1f s, %.0f jobs/s\n", total, seconds,
              static_cast<double>(total) / seconds);
}

bool PrintOne(int n) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "%06d", n);
  return KV_ClearBuffer() == KV_OK && KV_DrawText(40, 30, 0, 3, 1, 1, 'N', serial) == KV_OK &&
         KV_PrintLabel(1, 1) == KV_OK;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kv_volume PRINTER|--sink [N]\n");
    return 2;
  }
  const bool to_sink = std::strcmp(argv[1], "--sink") == 0;
  const long total = argc > 2 ? std::atol(argv[2]) : 10000;
  if (total <= 0) return 2;
  Sink* sink = to_sink ? new Sink : nullptr;
  const std::string printer = to_sink ? sink->uri() : argv[1];
  if (OpenPort(printer.c_str()) != KV_OK) {
    std::fprintf(stderr, "cannot open %s\n", printer.c_str());
    return 1;
  }
  std::printf("%ld labels to %s\n", total, to_sink ? "a direct socket printer" : printer.c_str());
  const long step = total >= 10 ? total / 10 : total;
  const auto start = Clock::now();
  auto mark = start;
  for (long i = 1; i <= total; ++i) {
    if (!PrintOne(static_cast<int>(i))) {
      std::fprintf(stderr, "label %ld failed\n", i);
      return 1;
    }
    if (i % step == 0) {
      const auto now = Clock::now();
      std::printf("  labels %6ld-%6ld: %8.0f labels/s\n", i - step + 1, i,
                  static_cast<double>(step) / std::chrono::duration<double>(now - mark).count());
      std::fflush(stdout);
      mark = now;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ClosePort();
  std::printf("  all %ld labels: %.1f s, %.0f labels/s\n", total, seconds, static_cast<double>(total) / seconds);
  if (sink != nullptr) {
    for (int i = 0; i < 100 && sink->jobs() < total; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::printf("  jobs received by the printer: %ld\n", sink->jobs());
    BareRun(*sink, total);
    delete sink;
  }
  return 0;
}
