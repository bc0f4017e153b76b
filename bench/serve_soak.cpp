// Soak run of the virtual printer: starts `kvlabel serve` on a free loopback port with a fresh folder and
// sends it N jobs (default 5,000) from eight clients at once, every 50th connection silent or slow, each
// job a small label of its own. Everything goes to 127.0.0.1 only; the run ends by itself once every job
// is sent or the time bound (default 300 s) is up. Prints jobs per second and the server's resident memory
// and open descriptors after the first jobs and at the end, so that a leak shows as growth; checks that
// every job sent is kept whole, then stops the server and checks its clean stop. Exits non-zero on a loss.
//
//   kv_serve_soak KVLABEL [JOBS] [SECONDS]
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ReadFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// The server's resident memory (KiB) and open descriptors.
void Usage(pid_t pid, long& rss_kib, long& descriptors) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  rss_kib = descriptors = 0;
  while (status >> key) {
    if (key == "VmRSS:") status >> rss_kib;
    status.ignore(4096, '\n');
  }
  std::error_code ec;
  for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec), end; !ec && it != end; it.increment(ec))
    ++descriptors;
}

int Connect(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return s;
  if (s >= 0) ::close(s);
  return -1;
}

bool SendAll(int s, const std::string& bytes) {
  for (std::size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = ::send(s, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::string LabelJob(int serial) {
  const std::string n = std::to_string(serial);
  return "N\r\nq400\r\nQ200,24\r\nA20,20,0,3,1,1,N,\"Job " + n + "\"\r\nB20,60,0,1,2,4,50,B,\"" + n +
         "\"\r\nX10,10,2,390,190\r\nP1\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kv_serve_soak KVLABEL [JOBS] [SECONDS]\n");
    return 2;
  }
  const int jobs = argc > 2 ? std::atoi(argv[2]) : 5000;
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 300;
  if (jobs < 1 || seconds < 1) {
    std::fprintf(stderr, "usage: kv_serve_soak KVLABEL [JOBS] [SECONDS]\n");
    return 2;
  }
  char folder_template[] = "/tmp/kvlabel-serve-soak-XXXXXX";
  const char* made = ::mkdtemp(folder_template);
  if (made == nullptr) return 1;
  const fs::path folder = made, out = folder / "out";

  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return 1;
  const pid_t server = ::fork();
  if (server == 0) {
    ::dup2(pipe_fds[1], 1);
    ::close(pipe_fds[0]);
    std::freopen((folder / "serve.log").c_str(), "w", stderr);
    ::execl(argv[1], argv[1], "serve", "--port", "0", "--out", out.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  std::FILE* server_out = ::fdopen(pipe_fds[0], "r");
  char line[512] = "";
  int port = 0;
  if (std::fgets(line, sizeof line, server_out) != nullptr)
    std::sscanf(line, "kvlabel serve: listening on 127.0.0.1:%d", &port);
  if (port <= 0) {
    std::fprintf(stderr, "the virtual printer did not start: %s\n", line);
    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    return 1;
  }

  const Clock::time_point begin = Clock::now(), deadline = begin + std::chrono::seconds(seconds);
  std::atomic<int> next{0}, failures{0};
  std::mutex sent_mutex;
  std::multiset<std::string> sent;
  long rss_start = 0, fds_start = 0;
  std::atomic<bool> sampled{false};
  auto client = [&] {
    for (int i; (i = next++) < jobs && Clock::now() < deadline;) {
      const int s = Connect(port);
      if (s < 0) {
        ++failures;
        continue;
      }
      const std::string job = LabelJob(i);
      bool ok = true;
      if (i % 50 == 17) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // silent for a while, then the job
        ok = SendAll(s, job);
      } else if (i % 50 == 33) {
        for (std::size_t at = 0; ok && at < job.size(); at += 8) {  // slow: eight bytes at a time
          ok = SendAll(s, job.substr(at, 8));
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      } else {
        ok = SendAll(s, job);
      }
      ::close(s);
      if (!ok) {
        ++failures;
        continue;
      }
      std::lock_guard<std::mutex> lock(sent_mutex);
      sent.insert(job);
      if (sent.size() == 100 && !sampled.exchange(true)) Usage(server, rss_start, fds_start);
    }
  };
  std::vector<std::thread> clients;
  for (int c = 0; c < 8; ++c) clients.emplace_back(client);
  for (auto& t : clients) t.join();
  const double send_seconds = std::chrono::duration<double>(Clock::now() - begin).count();

  // Every job sent is kept: wait (bounded) until as many job-N.prn files as jobs sent are there.
  auto kept_count = [&] {
    std::size_t n = 0;
    std::error_code ec;
    for (fs::directory_iterator it(out, ec), end; !ec && it != end; it.increment(ec))
      if (it->path().extension() == ".prn") ++n;
    return n;
  };
  const Clock::time_point wait_until = Clock::now() + std::chrono::seconds(120);
  while (kept_count() < sent.size() && Clock::now() < wait_until)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const double seconds_all = std::chrono::duration<double>(Clock::now() - begin).count();
  long rss_end = 0, fds_end = 0;
  Usage(server, rss_end, fds_end);

  ::kill(server, SIGTERM);
  int status = 0;
  ::waitpid(server, &status, 0);
  const bool stop_line =
      std::fgets(line, sizeof line, server_out) != nullptr && std::string(line).rfind("kvlabel serve: stopped", 0) == 0;
  std::fclose(server_out);

  std::multiset<std::string> kept;
  for (const auto& e : fs::directory_iterator(out))
    if (e.path().extension() == ".prn") kept.insert(ReadFile(e.path()));
  std::printf("sent %zu of %d jobs in %.1f s (%.0f jobs/s sent, %.0f jobs/s drawn and kept)\n", sent.size(), jobs,
              send_seconds, sent.size() / send_seconds, kept.size() / seconds_all);
  std::printf("server after 100 jobs: RSS %ld KiB, descriptors %ld; at the end: RSS %ld KiB, descriptors %ld\n",
              rss_start, fds_start, rss_end, fds_end);
  std::printf("kept %zu jobs, %s; connections that failed: %d; stopped cleanly: %s\n", kept.size(),
              kept == sent ? "each whole" : "NOT the jobs sent", failures.load(),
              WIFEXITED(status) && WEXITSTATUS(status) == 0 && stop_line ? "yes" : "NO");
  const bool ok = kept == sent && failures == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && stop_line;
  if (ok) {
    fs::remove_all(folder);
  } else {
    std::printf("the folder and the server's log stay in %s\n", folder.c_str());
  }
  return ok ? 0 : 1;
}
