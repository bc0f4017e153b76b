#include "out_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace kv::cli {

std::uint64_t JobNumberOf(std::string_view name) {
  if (!name.empty() && name.front() == '.') name.remove_prefix(1);
  constexpr std::string_view kPrefix = "job-";
  if (name.substr(0, kPrefix.size()) != kPrefix) return 0;
  name.remove_prefix(kPrefix.size());
  std::size_t digits = 0;
  std::uint64_t n = 0;
  while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9') {
    if (digits == 18) return 0;
    n = n * 10 + static_cast<std::uint64_t>(name[digits] - '0');
    ++digits;
  }
  if (digits == 0 || name[0] == '0' || digits == name.size()) return 0;
  return name[digits] == '.' || name[digits] == '-' ? n : 0;
}

std::unique_ptr<OutFolder> OutFolder::Open(const std::string& path, std::string& error) {
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    error = "cannot make " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open the folder " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  const int listing = ::dup(fd);
  DIR* d = listing < 0 ? nullptr : ::fdopendir(listing);
  if (d == nullptr) {
    error = "cannot list the folder " + path + ": " + std::strerror(errno);
    if (listing >= 0) ::close(listing);
    ::close(fd);
    return nullptr;
  }
  std::uint64_t highest = 0;
  while (const dirent* e = ::readdir(d)) highest = std::max(highest, JobNumberOf(e->d_name));
  ::closedir(d);
  return std::unique_ptr<OutFolder>(new OutFolder(fd, highest + 1));
}

OutFolder::~OutFolder() { ::close(fd_); }

bool OutFolder::Exists(const std::string& name) const {
  struct stat st;
  return ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

std::uint64_t OutFolder::TakeNumber() {
  while (next_ < std::numeric_limits<std::uint64_t>::max()) {
    const std::uint64_t n = next_++;
    const std::string base = "job-" + std::to_string(n);
    if (!Exists(base + ".prn") && !Exists(base + ".png") && !Exists("." + base + ".prn.part")) return n;
  }
  return 0;
}

OutFolder::Written OutFolder::Write(const std::string& name, const std::function<bool(std::FILE*)>& write,
                                    std::string* keep) const {
  const std::string part = "." + name + ".part";
  ::unlinkat(fd_, part.c_str(), 0);
  const int fd = ::openat(fd_, part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return Written::kFailed;
  std::FILE* f = ::fdopen(fd, "wb");
  if (f == nullptr) {
    ::close(fd);
    ::unlinkat(fd_, part.c_str(), 0);
    return Written::kFailed;
  }
  const bool ok = write(f);
  if (std::fclose(f) != 0 || !ok) {
    ::unlinkat(fd_, part.c_str(), 0);
    return Written::kFailed;
  }
  bool placed = ::renameat2(fd_, part.c_str(), fd_, name.c_str(), RENAME_NOREPLACE) == 0;
  if (!placed && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without the no-replace rename: a hard link refuses a taken name in the same way.
    placed = ::linkat(fd_, part.c_str(), fd_, name.c_str(), 0) == 0;
    const int err = errno;
    if (placed) ::unlinkat(fd_, part.c_str(), 0);
    errno = err;
  }
  if (placed) return Written::kYes;
  const bool taken = errno == EEXIST;
  if (taken && keep != nullptr) {
    *keep = part;
  } else {
    ::unlinkat(fd_, part.c_str(), 0);
  }
  return taken ? Written::kNameTaken : Written::kFailed;
}

}  // namespace kv::cli
