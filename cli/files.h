// kvlabel's files: telling a command job from a file a label printer cannot take, and writing a picture
// so that its name never shows a half-written file and the write never goes where a link points.
#ifndef KV_CLI_FILES_H
#define KV_CLI_FILES_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>

namespace kv::cli {

// What the bytes are when their signature says they are plainly not a command job ("a PNG image", "a
// PDF document", ...); empty when they may be one.
std::string NonJobKind(const void* data, std::size_t size);

// Why `name` may not be replaced by a new file; empty when it may: it is absent, a regular file, or a
// symbolic link (the link itself is replaced; what it points to is left alone). A FIFO, a device, a
// socket or a directory is refused.
std::string WhyNotReplaceable(const std::string& name);

// A file written under a temporary name in the directory of `name` and renamed over `name` once it is
// complete and on the disk, so that a failed write (a full disk) leaves an earlier file as it was. The
// temporary file is removed when the write is not committed.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string name) : name_(std::move(name)) {}
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // The stream to write to; nullptr, with `error` set, when the temporary file cannot be made.
  std::FILE* Open(std::string& error);
  // Flushes, syncs and closes the temporary file and renames it over the name. False, with `error`
  // set and the temporary file removed, when any of it fails.
  bool Commit(std::string& error);

 private:
  std::string name_, temp_;
  std::FILE* file_ = nullptr;
};

}  // namespace kv::cli

#endif
