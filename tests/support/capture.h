// The capture printer of the test spooler: every job it received, as the bytes that reached it.
#ifndef KV_TESTS_CAPTURE_H
#define KV_TESTS_CAPTURE_H

#include <cstddef>
#include <string>

namespace kvtest {

std::size_t CapturedJobCount();

// The bytes of job number `index` (from 0), waited for up to 30 seconds; "<no job>" and a failure when none.
std::string WaitForJob(std::size_t index);

}  // namespace kvtest

#endif
