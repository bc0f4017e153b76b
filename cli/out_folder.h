// The virtual printer's output folder: job numbers that never reuse a name already there, and files
// written whole under a name of our own, never replacing anything.
#ifndef KV_CLI_OUT_FOLDER_H
#define KV_CLI_OUT_FOLDER_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kv::cli {

// The job number in a name the virtual printer writes: job-N.prn, job-N.png, job-N-K.png and the
// temporary .job-N….part. 0 for any other name, and for a number with a leading zero or more than
// 18 digits: such names are not ours, and numbers counted on from 10^18 cannot run past 64 bits.
std::uint64_t JobNumberOf(std::string_view name);

class OutFolder {
 public:
  enum class Written { kYes, kNameTaken, kFailed };

  // Makes the folder if needed and opens it; nullptr with `error` set when it cannot be used.
  static std::unique_ptr<OutFolder> Open(const std::string& path, std::string& error);
  ~OutFolder();
  OutFolder(const OutFolder&) = delete;
  OutFolder& operator=(const OutFolder&) = delete;

  // The next job number: above every number named in the folder when it was opened and every number
  // taken since, skipping one whose job-N.prn or job-N.png has appeared meanwhile. 0 when none is left.
  std::uint64_t TakeNumber();

  // Writes `name` through a temporary name and gives it that name only if nothing has it, so that a
  // reader sees it whole and no file or folder there is replaced. `write` fills the file and says
  // whether it could. With `keep` set, the temporary file of a name found taken is left in place and
  // its name put in `*keep`, so that its bytes are not lost.
  Written Write(const std::string& name, const std::function<bool(std::FILE*)>& write,
                std::string* keep = nullptr) const;

 private:
  OutFolder(int fd, std::uint64_t next) : fd_(fd), next_(next) {}
  bool Exists(const std::string& name) const;

  int fd_;
  std::uint64_t next_;
};

}  // namespace kv::cli

#endif
