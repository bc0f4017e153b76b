// kvlabel: see a label without a printer, or print a prepared command file.
//
//   kvlabel render JOB.prn -o label.png [--dpi 203|300] [--all]
//   kvlabel serve --port 9100 --out DIR [--dpi 203|300] [--bind ADDR] [--max-job BYTES]
//   kvlabel print FILE --printer NAME
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kv/render/png.h"
#include "kv/render/renderer.h"
#include "kvtaglib.h"
#include "serve.h"

namespace {

constexpr const char kUsage[] =
    "usage:\n"
    "  kvlabel render JOB.prn -o label.png [--dpi 203|300] [--all]\n"
    "      draws the job's first printed label as label.png; with --all every label\n"
    "      (label.png, label-2.png, ...); warnings and a summary go to standard error\n"
    "  kvlabel serve --port 9100 --out DIR [--dpi 203|300] [--bind 127.0.0.1] [--max-job BYTES]\n"
    "      a virtual printer: each connection is one job, kept as DIR/job-N.prn and drawn as\n"
    "      DIR/job-N.png, DIR/job-N-2.png, ...; stops on SIGINT or SIGTERM\n"
    "  kvlabel print FILE --printer NAME\n"
    "      sends a prepared command file to a printer through the label command library\n";

constexpr std::size_t kMaxJob = std::size_t{64} << 20;

int Usage(const std::string& why) {
  if (!why.empty()) std::fprintf(stderr, "kvlabel: %s\n", why.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

bool ParseDpi(const char* text, int& dpi) {
  if (std::strcmp(text, "203") == 0)
    dpi = 203;
  else if (std::strcmp(text, "300") == 0)
    dpi = 300;
  else
    return false;
  return true;
}

bool ParseCount(const char* text, long long low, long long high, long long& out) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return false;
  out = v;
  return true;
}

// label.png -> label-2.png; a name without the extension gets "-2" at its end.
std::string NthName(const std::string& first, std::size_t n) {
  if (n == 1) return first;
  const std::string suffix = "-" + std::to_string(n);
  const std::size_t slash = first.find_last_of('/');
  const std::size_t dot = first.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
    return first + suffix;
  return first.substr(0, dot) + suffix + first.substr(dot);
}

// Reads a whole job file of at most kMaxJob bytes.
bool ReadJobFile(const std::string& path, std::string& job) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "kvlabel: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  char buf[65536];
  std::size_t n;
  bool ok = true;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (job.size() + n > kMaxJob) {
      std::fprintf(stderr, "kvlabel: %s is larger than %zu bytes\n", path.c_str(), kMaxJob);
      ok = false;
      break;
    }
    job.append(buf, n);
  }
  if (ok && std::ferror(f)) {
    std::fprintf(stderr, "kvlabel: cannot read %s\n", path.c_str());
    ok = false;
  }
  std::fclose(f);
  return ok;
}

int Render(int argc, char** argv) {
  std::string job_path, out;
  int dpi = 203;
  bool all = false;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-o" && i + 1 < argc)
      out = argv[++i];
    else if (a == "--dpi" && i + 1 < argc) {
      if (!ParseDpi(argv[++i], dpi)) return Usage("--dpi takes 203 or 300");
    } else if (a == "--all")
      all = true;
    else if (!a.empty() && a[0] != '-' && job_path.empty())
      job_path = a;
    else
      return Usage("unexpected argument \"" + a + "\"");
  }
  if (job_path.empty() || out.empty()) return Usage("render needs JOB.prn and -o label.png");
  std::string job;
  if (!ReadJobFile(job_path, job)) return 1;

  kv::render::Printer printer(dpi);
  std::size_t written = 0;
  bool write_failed = false;
  const auto summary = printer.Run(job.data(), job.size(), [&](const kv::render::RenderedLabel& label) {
    if (write_failed || (written > 0 && !all)) return;
    const std::string name = NthName(out, written + 1);
    std::FILE* f = std::fopen(name.c_str(), "wb");
    std::string error = f == nullptr ? std::strerror(errno) : "";
    const bool ok = f != nullptr && kv::render::WritePng(f, label.image, dpi, error);
    if (f != nullptr && std::fclose(f) != 0 && ok) error = "close failed";
    if (!ok || !error.empty()) {
      std::fprintf(stderr, "kvlabel: cannot write %s: %s\n", name.c_str(), error.c_str());
      write_failed = true;
      return;
    }
    std::fprintf(stderr, "kvlabel: wrote %s\n", name.c_str());
    ++written;
  });
  for (const auto& m : summary.messages) std::fprintf(stderr, "kvlabel: %s\n", kv::render::Describe(m).c_str());
  for (const auto& note : summary.notes) std::fprintf(stderr, "kvlabel: %s\n", note.c_str());
  std::fprintf(stderr, "kvlabel: %zu label(s)", summary.labels);
  if (summary.labels > 0) std::fprintf(stderr, ", %d x %d dots at %d dpi", summary.width, summary.height, dpi);
  std::fprintf(stderr, ", %lld asked (sets x copies)", summary.copies);
  if (summary.labels > written && !all && written > 0) std::fprintf(stderr, "; --all writes every label");
  std::fprintf(stderr, "\n");
  if (summary.labels == 0) std::fprintf(stderr, "kvlabel: the job prints no label (no P, W or WA command)\n");
  return summary.failed || write_failed || written == 0 ? 1 : 0;
}

int ServeCommand(int argc, char** argv) {
  kv::cli::ServeOptions o;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    long long v = 0;
    if (i + 1 >= argc) return Usage("unexpected argument \"" + a + "\"");
    const char* value = argv[++i];
    if (a == "--port") {
      if (!ParseCount(value, 0, 65535, v)) return Usage("--port takes 0 to 65535");
      o.port = static_cast<int>(v);
    } else if (a == "--out") {
      o.out = value;
    } else if (a == "--dpi") {
      if (!ParseDpi(value, o.dpi)) return Usage("--dpi takes 203 or 300");
    } else if (a == "--bind") {
      o.bind = value;
    } else if (a == "--max-job") {
      if (!ParseCount(value, 1, static_cast<long long>(kMaxJob), v)) return Usage("--max-job takes 1 to 64 MiB");
      o.max_job = static_cast<std::size_t>(v);
    } else {
      return Usage("unexpected argument \"" + a + "\"");
    }
  }
  if (o.out.empty()) return Usage("serve needs --out DIR");
  return kv::cli::Serve(o);
}

int Print(int argc, char** argv) {
  std::string file, printer;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--printer" && i + 1 < argc)
      printer = argv[++i];
    else if (!a.empty() && a[0] != '-' && file.empty())
      file = a;
    else
      return Usage("unexpected argument \"" + a + "\"");
  }
  if (file.empty() || printer.empty()) return Usage("print needs FILE and --printer NAME");
  int rc = OpenPort(printer.c_str());
  if (rc != KV_OK) {
    std::fprintf(stderr, "kvlabel: OpenPort(\"%s\") failed with %d\n", printer.c_str(), rc);
    return 1;
  }
  const char* failed = nullptr;
  if ((rc = ClearTmpFile()) != KV_OK)
    failed = "ClearTmpFile";
  else if ((rc = OurSendFile(file.c_str(), 0)) != KV_OK)
    failed = "OurSendFile";
  else if ((rc = KV_WritePrinter()) != KV_OK)
    failed = "KV_WritePrinter";
  ClosePort();
  if (failed != nullptr) {
    std::fprintf(stderr, "kvlabel: %s failed with %d\n", failed, rc);
    return 1;
  }
  std::fprintf(stderr, "kvlabel: %s sent to \"%s\"\n", file.c_str(), printer.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("");
  const std::string command = argv[1];
  if (command == "render") return Render(argc - 2, argv + 2);
  if (command == "serve") return ServeCommand(argc - 2, argv + 2);
  if (command == "print") return Print(argc - 2, argv + 2);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return Usage("unknown command \"" + command + "\"");
}
