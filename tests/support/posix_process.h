// What the Linux-only tests need to know about the test spooler's processes and their own descriptors.
#ifndef KV_TESTS_POSIX_PROCESS_H
#define KV_TESTS_POSIX_PROCESS_H

#include <sys/types.h>

#include <filesystem>

namespace kvtest {

// The folder of the test spooler (KV_HARNESS_DIR).
std::filesystem::path HarnessDir();

// The process id of the test spooler's cupsd.
pid_t SpoolerPid();

// Starts the test spooler's cupsd again, with its queues, after a test stopped or killed it.
void RestartSpooler();

int OpenSocketCount();

// Sets an environment variable for the life of the object, then removes it again.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
};

}  // namespace kvtest

#endif
