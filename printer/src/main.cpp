// kvprinter: the printer application of the KIRV label printers (PAPPL). `kvprinter server` serves the
// printers over IPP and the web on loopback; the other sub-commands of PAPPL's main loop (add, delete,
// modify, printers, drivers, devices, jobs, submit, cancel, status, options, default, shutdown) talk to it.
#include <pappl/pappl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "devices.h"
#include "driver.h"
#include "filters.h"
#include "kvtaglib.h"
#include "web_settings.h"

namespace {

using kv::printer::Drivers;

// The port it serves on unless told otherwise: IPP's 631 in the range of user services.
constexpr int kDefaultPort = 8631;

const char* Option(int num_options, cups_option_t* options, const char* name) {
  return cupsGetOption(name, num_options, options);
}

// A folder of ours: made when missing (and its parents), readable by us alone.
bool MakeFolder(const std::string& path) {
  if (path.empty()) return false;
  std::string made;
  std::size_t from = 0;
  while (from != std::string::npos) {
    const std::size_t slash = path.find('/', from + 1);
    made = path.substr(0, slash);
    from = slash;
    if (made.empty()) continue;
    if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Where a user service keeps its state: the folder systemd gives the service (StateDirectory=), else
// $XDG_STATE_HOME/kvprinter, else ~/.local/state/kvprinter.
std::string StateFolder(int num_options, cups_option_t* options) {
  if (const char* given = Option(num_options, options, "state-directory")) return given;
  if (const char* systemd = getenv("STATE_DIRECTORY"); systemd && *systemd) {
    std::string first = systemd;  // systemd lists one folder per StateDirectory= entry, ':' between
    return first.substr(0, first.find(':'));
  }
  if (const char* xdg = getenv("XDG_STATE_HOME"); xdg && *xdg == '/') return std::string(xdg) + "/kvprinter";
  const char* home = getenv("HOME");
  return std::string(home && *home == '/' ? home : "/tmp") + "/.local/state/kvprinter";
}

pappl_loglevel_t LogLevel(const char* name) {
  if (!name) return PAPPL_LOGLEVEL_WARN;
  const std::string level = name;
  if (level == "debug") return PAPPL_LOGLEVEL_DEBUG;
  if (level == "info") return PAPPL_LOGLEVEL_INFO;
  if (level == "error") return PAPPL_LOGLEVEL_ERROR;
  if (level == "fatal") return PAPPL_LOGLEVEL_FATAL;
  return PAPPL_LOGLEVEL_WARN;
}

bool SaveState(pappl_system_t* system, void* file);

pappl_system_t* MakeSystem(int num_options, cups_option_t* options, void* /*data*/) {
  const std::string state = StateFolder(num_options, options);
  if (!MakeFolder(state)) {
    std::fprintf(stderr, "kvprinter: cannot make the state folder %s: %s\n", state.c_str(), std::strerror(errno));
    return nullptr;
  }
  const char* spool_option = Option(num_options, options, "spool-directory");
  const std::string spool = spool_option ? spool_option : state + "/spool";
  if (!MakeFolder(spool)) {
    std::fprintf(stderr, "kvprinter: cannot make the spool folder %s: %s\n", spool.c_str(), std::strerror(errno));
    return nullptr;
  }
  int port = kDefaultPort;
  if (const char* value = Option(num_options, options, "server-port")) {
    char* end = nullptr;
    const long p = std::strtol(value, &end, 10);
    if (!end || *end || p < 0 || p > 65535) {
      std::fprintf(stderr, "kvprinter: bad server-port \"%s\"\n", value);
      return nullptr;
    }
    port = static_cast<int>(p);
  }
  const char* log_option = Option(num_options, options, "log-file");
  const std::string log = log_option ? log_option : state + "/kvprinter.log";
  // Loopback unless told otherwise: a printer application that anyone on the network can reach is a
  // choice its user makes (listen-hostname=* or a host name).
  const char* listen = Option(num_options, options, "listen-hostname");
  const bool loopback = !listen || std::strcmp(listen, "localhost") == 0;

  pappl_soptions_t soptions = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG |
                              PAPPL_SOPTIONS_WEB_SECURITY | PAPPL_SOPTIONS_NO_TLS;
  if (!loopback) soptions |= PAPPL_SOPTIONS_WEB_REMOTE;
  pappl_system_t* system = papplSystemCreate(soptions, "KIRV Label Printers", port, "_print,_universal", spool.c_str(),
                                             log.c_str(), LogLevel(Option(num_options, options, "log-level")),
                                             Option(num_options, options, "auth-service"), false);
  if (!system) return nullptr;
  if (const char* host = Option(num_options, options, "server-hostname")) papplSystemSetHostName(system, host);
  if (!papplSystemAddListeners(system, loopback ? "localhost" : (std::strcmp(listen, "*") == 0 ? nullptr : listen))) {
    std::fprintf(stderr, "kvprinter: cannot listen on port %d\n", port);
    papplSystemDelete(system);
    return nullptr;
  }
  if (const char* group = Option(num_options, options, "admin-group")) papplSystemSetAdminGroup(system, group);

  papplSystemSetPrinterDrivers(system, static_cast<int>(Drivers().size()), Drivers().data(),
                               kv::printer::AutoAddCallback, kv::printer::AddPrinterPages, kv::printer::DriverCallback,
                               nullptr);
  papplSystemSetMIMECallback(system, kv::printer::DetectFormat, nullptr);
  kv::printer::AddFilters(system);
  kv::printer::AddDeviceSchemes();
  papplSystemSetFooterHTML(system, "KIRV label kit " KVTAGLIB_VERSION);
  // Bounded memory for pictures: PAPPL refuses larger ones before it decodes them.
  papplSystemSetMaxImageSize(system, 64 * 1024 * 1024, 16384, 16384);

  kv::printer::SetSettingsFolder(state);
  static std::string state_file;  // one system a process
  state_file = state + "/kvprinter.state";
  papplSystemLoadState(system, state_file.c_str());
  papplSystemSetSaveCallback(system, SaveState, &state_file);
  return system;
}

bool SaveState(pappl_system_t* system, void* file) {
  return papplSystemSaveState(system, static_cast<std::string*>(file)->c_str());
}

void Usage(void*) {
  std::puts(
      "Usage: kvprinter SUB-COMMAND [OPTIONS] [FILES]\n"
      "The printer application of the KIRV label printers.\n\n"
      "Sub-commands: add, autoadd, cancel, default, delete, devices, drivers, jobs, modify, options,\n"
      "printers, server, shutdown, status, submit (kvprinter(1) describes them).\n\n"
      "Options: -d PRINTER, -u URI (ipp://localhost:8631/ipp/print/NAME), -m DRIVER, -v DEVICE-URI\n"
      "(socket://HOST:PORT, usb://..., device:///dev/usb/lp0), -j JOB-ID, -a (all jobs), -n COPIES,\n"
      "-o NAME=VALUE (job options for submit, printer options for add and modify).\n\n"
      "Server options (-o NAME=VALUE): server-port (8631), listen-hostname (localhost; * for every\n"
      "address), server-hostname, state-directory, spool-directory, log-file, log-level\n"
      "(debug, info, warn, error, fatal), admin-group, auth-service.");
}

}  // namespace

int main(int argc, char* argv[]) {
  return papplMainloop(argc, argv, KVTAGLIB_VERSION, nullptr, static_cast<int>(Drivers().size()), Drivers().data(),
                       kv::printer::AutoAddCallback, kv::printer::DriverCallback, nullptr, nullptr, MakeSystem, Usage,
                       nullptr);
}
