// The virtual printer: a TCP listener that takes each connection as one job, keeps its bytes and
// writes the labels it draws, with stored graphics and forms kept between jobs as a printer keeps them.
#ifndef KV_CLI_SERVE_H
#define KV_CLI_SERVE_H

#include <cstddef>
#include <string>

namespace kv::cli {

struct ServeOptions {
  std::string bind = "127.0.0.1";
  int port = 9100;  // 0: any free port (the one taken is printed)
  std::string out;  // the only folder written to
  int dpi = 203;
  std::size_t max_job = std::size_t{64} << 20;    // a longer job is cut off here
  int idle_seconds = 60;                          // a connection silent this long ends its job
  int total_seconds = 300;                        // a connection open this long ends its job
  int max_connections = 32;                       // jobs received at once; more wait to be taken
  std::size_t max_held = std::size_t{256} << 20;  // bytes held for jobs being received or drawn (soft)
};

// Runs until SIGINT or SIGTERM; returns the exit status (0 after a clean stop). The line that says
// where it listens and the line that says it stopped go to standard output, everything else to
// standard error.
int Serve(const ServeOptions& options);

}  // namespace kv::cli

#endif
