// kvlabel: see a label without a printer, or print a prepared command file.
//
//   kvlabel render JOB.prn|- -o label.png|- [--dpi 203|300] [--all]
//   kvlabel serve --port 9100 --out DIR [--dpi 203|300] [--bind ADDR] [--max-job BYTES]
//   kvlabel print FILE|- --printer NAME [--raw]
//   kvlabel --version; kvlabel [COMMAND] --help
// Every option that takes a value takes it as the next argument or after "=" (--dpi=300).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files.h"
#include "kv/render/png.h"
#include "kv/render/renderer.h"
#include "kvtaglib.h"
#include "serve.h"

namespace {

constexpr const char kRenderUsage[] =
    "  kvlabel render JOB.prn -o|--output label.png [--dpi 203|300] [--all]\n"
    "      draws the job's first printed label as label.png; with --all every label\n"
    "      (label.png, label-2.png, ...); warnings and a summary go to standard error;\n"
    "      JOB.prn \"-\" reads the job from standard input, -o - writes the PNG to standard output\n";
constexpr const char kServeUsage[] =
    "  kvlabel serve --port 9100 --out DIR [--dpi 203|300] [--bind 127.0.0.1] [--max-job BYTES]\n"
    "      a virtual printer: each connection is one job, kept as DIR/job-N.prn and drawn as\n"
    "      DIR/job-N.png, DIR/job-N-2.png, ...; stops on SIGINT or SIGTERM\n";
constexpr const char kPrintUsage[] =
    "  kvlabel print FILE --printer NAME [--raw]\n"
    "      sends a prepared command file (\"-\": standard input) to a printer through the label\n"
    "      command library; an image or document is refused (--raw sends anything)\n";
constexpr const char kMoreUsage[] =
    "  kvlabel --version\n"
    "  kvlabel COMMAND --help\n"
    "an option's value follows it or an \"=\": --dpi 300, --dpi=300\n";

constexpr std::size_t kMaxJob = std::size_t{64} << 20;

// The usage of one command ("" for all) on `to`.
void PrintUsage(std::FILE* to, std::string command) {
  if (command != "render" && command != "serve" && command != "print") command.clear();
  std::fputs("usage:\n", to);
  if (command.empty() || command == "render") std::fputs(kRenderUsage, to);
  if (command.empty() || command == "serve") std::fputs(kServeUsage, to);
  if (command.empty() || command == "print") std::fputs(kPrintUsage, to);
  if (command.empty()) std::fputs(kMoreUsage, to);
}

std::string g_command;  // the command being run, for its usage

int Usage(const std::string& why) {
  if (!why.empty()) std::fprintf(stderr, "kvlabel: %s\n", why.c_str());
  PrintUsage(stderr, g_command);
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

// Reads a whole job file of at most kMaxJob bytes; "-" is standard input.
bool ReadJobFile(const std::string& path, std::string& job) {
  const bool standard_input = path == "-";
  std::FILE* f = standard_input ? stdin : std::fopen(path.c_str(), "rb");
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
    std::fprintf(stderr, "kvlabel: cannot read %s\n", standard_input ? "standard input" : path.c_str());
    ok = false;
  }
  if (!standard_input) std::fclose(f);
  return ok;
}

// Writes one picture to `name` ("-": standard output) by way of a temporary file renamed over it.
bool WritePicture(const std::string& name, const kv::render::Bitmap& image, int dpi) {
  std::string error;
  bool ok;
  if (name == "-") {
    ok = kv::render::WritePng(stdout, image, dpi, error);
  } else {
    kv::cli::ReplacingFile file(name);
    std::FILE* f = file.Open(error);
    ok = f != nullptr && kv::render::WritePng(f, image, dpi, error) && file.Commit(error);
  }
  if (!ok) {
    std::fprintf(stderr, "kvlabel: cannot write %s: %s\n", name == "-" ? "standard output" : name.c_str(),
                 error.c_str());
    return false;
  }
  std::fprintf(stderr, "kvlabel: wrote %s\n", name == "-" ? "the picture to standard output" : name.c_str());
  return true;
}

int Render(int argc, char** argv) {
  std::string job_path, out;
  int dpi = 203;
  bool all = false;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "-o" || a == "--output") && i + 1 < argc)
      out = argv[++i];
    else if (a == "--dpi" && i + 1 < argc) {
      if (!ParseDpi(argv[++i], dpi)) return Usage("--dpi takes 203 or 300");
    } else if (a == "--all")
      all = true;
    else if ((a == "-" || (!a.empty() && a[0] != '-')) && job_path.empty())
      job_path = a;
    else
      return Usage("unexpected argument \"" + a + "\"");
  }
  if (job_path.empty() || out.empty()) return Usage("render needs JOB.prn and -o label.png");
  if (out == "-" && all) return Usage("-o - writes one picture; --all needs a file name");
  // A FIFO or device at the name is refused before the job is read (the write would block or go
  // astray); the check is made again for each picture.
  if (out != "-") {
    const std::string why = kv::cli::WhyNotReplaceable(out);
    if (!why.empty()) {
      std::fprintf(stderr, "kvlabel: cannot write %s: %s\n", out.c_str(), why.c_str());
      return 1;
    }
  }
  std::string job;
  if (!ReadJobFile(job_path, job)) return 1;

  kv::render::Printer printer(dpi);
  std::size_t written = 0;
  bool write_failed = false;
  const auto summary = printer.Run(job.data(), job.size(), [&](const kv::render::RenderedLabel& label) {
    if (write_failed || (written > 0 && !all)) return;
    if (!WritePicture(out == "-" ? out : NthName(out, written + 1), label.image, dpi)) {
      write_failed = true;
      return;
    }
    ++written;
  });
  for (const auto& m : summary.messages) std::fprintf(stderr, "kvlabel: %s\n", kv::render::Describe(m).c_str());
  if (summary.messages_not_kept > 0)
    std::fprintf(stderr, "kvlabel: %zu more warning(s) not shown\n", summary.messages_not_kept);
  for (const auto& note : summary.notes) std::fprintf(stderr, "kvlabel: %s\n", note.c_str());
  if (summary.notes_not_kept > 0) std::fprintf(stderr, "kvlabel: %zu more note(s) not shown\n", summary.notes_not_kept);
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

// The first bytes of a file, to tell what it is; empty when it cannot be read (the library then says why).
std::string Head(const std::string& path) {
  std::string head(128, '\0');
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "";
  head.resize(std::fread(head.data(), 1, head.size(), f));
  std::fclose(f);
  return head;
}

// Standard input kept in a temporary file for the library to send; "" when it fails (said on stderr).
std::string SaveStandardInput(const std::string& job) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/kvlabel-print-XXXXXX";
  const int fd = ::mkstemp(path.data());
  bool ok = fd >= 0;
  for (std::size_t done = 0; ok && done < job.size();) {
    const ssize_t n = ::write(fd, job.data() + done, job.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    done += ok ? static_cast<std::size_t>(n) : 0;
  }
  const int cause = errno;
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "kvlabel: cannot keep standard input in %s: %s\n", path.c_str(), std::strerror(cause));
    if (fd >= 0) ::unlink(path.c_str());
    return "";
  }
  return path;
}

int Print(int argc, char** argv) {
  std::string file, printer;
  bool raw = false;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--printer" && i + 1 < argc)
      printer = argv[++i];
    else if (a == "--raw")
      raw = true;
    else if ((a == "-" || (!a.empty() && a[0] != '-')) && file.empty())
      file = a;
    else
      return Usage("unexpected argument \"" + a + "\"");
  }
  if (file.empty() || printer.empty()) return Usage("print needs FILE and --printer NAME");
  std::string job;
  if (file == "-" && !ReadJobFile(file, job)) return 1;
  const std::string shown = file == "-" ? "standard input" : file;
  if (!raw) {
    const std::string head = file == "-" ? job.substr(0, 128) : Head(file);
    const std::string kind = kv::cli::NonJobKind(head.data(), head.size());
    if (!kind.empty()) {
      std::fprintf(stderr,
                   "kvlabel: %s is %s, not a label job: the printer would draw nothing. Print it through the\n"
                   "kvlabel: printer application (kvprinter submit %s, or lp -d QUEUE to one of its queues);\n"
                   "kvlabel: --raw sends it as it is.\n",
                   shown.c_str(), kind.c_str(), file == "-" ? "FILE" : file.c_str());
      return 1;
    }
  }
  std::string path = file;
  if (file == "-" && (path = SaveStandardInput(job)).empty()) return 1;
  int rc = OpenPort(printer.c_str());
  const char* failed = nullptr;
  if (rc != KV_OK) {
    std::fprintf(stderr, "kvlabel: OpenPort(\"%s\") failed with %d\n", printer.c_str(), rc);
  } else {
    if ((rc = ClearTmpFile()) != KV_OK)
      failed = "ClearTmpFile";
    else if ((rc = OurSendFile(path.c_str(), 0)) != KV_OK)
      failed = "OurSendFile";
    else if ((rc = KV_WritePrinter()) != KV_OK)
      failed = "KV_WritePrinter";
    ClosePort();
  }
  if (file == "-") ::unlink(path.c_str());
  if (rc != KV_OK) {
    if (failed != nullptr) std::fprintf(stderr, "kvlabel: %s failed with %d\n", failed, rc);
    return 1;
  }
  std::fprintf(stderr, "kvlabel: %s sent to \"%s\"\n", shown.c_str(), printer.c_str());
  return 0;
}

// Arguments with "--option=value" split in two; flags that take no value refuse one.
bool SplitValues(int argc, char** argv, std::vector<std::string>& out) {
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    const std::size_t eq = a.find('=');
    if (a.rfind("--", 0) != 0 || eq == std::string::npos) {
      out.push_back(a);
      continue;
    }
    const std::string name = a.substr(0, eq);
    if (name == "--all" || name == "--raw" || name == "--help" || name == "--version") {
      Usage(name + " takes no value");
      return false;
    }
    out.push_back(name);
    out.push_back(a.substr(eq + 1));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("");
  const std::string command = argv[1];
  if (command == "--version") {
    std::printf("kvlabel %s\n", KVTAGLIB_VERSION);
    return 0;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage(stdout, argc > 2 && command == "help" ? argv[2] : "");
    return 0;
  }
  if (command != "render" && command != "serve" && command != "print")
    return Usage("unknown command \"" + command + "\"");
  g_command = command;
  std::vector<std::string> args;
  if (!SplitValues(argc - 2, argv + 2, args)) return 2;
  for (std::size_t i = 0; i < args.size(); ++i) {
    // A value that follows -o or --out may be anything; elsewhere --help and -h ask for the usage.
    if (args[i] == "-o" || args[i] == "--output" || args[i] == "--out" || args[i] == "--printer" ||
        args[i] == "--bind") {
      ++i;
    } else if (args[i] == "--help" || args[i] == "-h") {
      PrintUsage(stdout, command);
      return 0;
    } else if (args[i] == "--version") {
      std::printf("kvlabel %s\n", KVTAGLIB_VERSION);
      return 0;
    }
  }
  std::vector<char*> list;
  for (auto& a : args) list.push_back(a.data());
  list.push_back(nullptr);
  const int n = static_cast<int>(args.size());
  if (command == "render") return Render(n, list.data());
  if (command == "serve") return ServeCommand(n, list.data());
  return Print(n, list.data());
}
