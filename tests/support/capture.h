// The capture printer of the test spooler: every job it received, as the bytes that reached it.
#ifndef KV_TESTS_CAPTURE_H
#define KV_TESTS_CAPTURE_H

#include <cstddef>
#include <string>

namespace kvtest {

// How many jobs the capture printer has received so far.
std::size_t CapturedJobCount();

// The bytes of job number `index` (0 is the first ever received), waiting up to 30 seconds for it
// to arrive. Records a test failure and returns "<no job>" when it does not.
std::string WaitForJob(std::size_t index);

}  // namespace kvtest

#endif
