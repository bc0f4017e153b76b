#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace kv::cli {

namespace {

bool Begins(std::string_view bytes, std::string_view signature) {
  return bytes.substr(0, signature.size()) == signature;
}

}  // namespace

std::string NonJobKind(const void* data, std::size_t size) {
  if (data == nullptr) return "";
  const std::string_view b(static_cast<const char*>(data), size);
  if (Begins(b, "\x89PNG\r\n\x1A\n")) return "a PNG image";
  if (Begins(b, "\xFF\xD8\xFF")) return "a JPEG image";
  if (Begins(b, "%PDF-")) return "a PDF document";
  if (Begins(b, "%!")) return "a PostScript document";
  if (Begins(b, "PK\x03\x04") || Begins(b, "PK\x05\x06") || Begins(b, "PK\x07\x08")) return "a ZIP archive";
  // PCX: the maker byte, a version (0, 2 to 5), no or run-length coding, 1, 2, 4 or 8 bits per dot.
  // A job beginning with an empty line has a printable byte second, never one of these.
  if (b.size() >= 128 && b[0] == 0x0A &&
      std::string_view("\x00\x02\x03\x04\x05", 5).find(b[1]) != std::string_view::npos && (b[2] == 0 || b[2] == 1) &&
      (b[3] == 1 || b[3] == 2 || b[3] == 4 || b[3] == 8))
    return "a PCX image";
  return "";
}

std::string WhyNotReplaceable(const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) != 0) return errno == ENOENT ? "" : std::string(std::strerror(errno));
  if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return "";
  if (S_ISFIFO(st.st_mode)) return "it is a FIFO, not a regular file";
  if (S_ISDIR(st.st_mode)) return "it is a directory";
  return "it is a device or socket, not a regular file";
}

ReplacingFile::~ReplacingFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

std::FILE* ReplacingFile::Open(std::string& error) {
  error = WhyNotReplaceable(name_);
  if (!error.empty()) return nullptr;
  const std::size_t slash = name_.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : name_.substr(0, slash);
  std::string pattern = dir + "/.kvlabel-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  temp_ = pattern;
  // The file gets the permissions of the one it replaces, or those a new file gets.
  struct stat st {};
  mode_t mode;
  if (::lstat(name_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0 || (file_ = ::fdopen(fd, "wb")) == nullptr) {
    error = std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return file_;
}

bool ReplacingFile::Commit(std::string& error) {
  if (file_ == nullptr) {
    if (error.empty()) error = "the file was not opened";
    return false;
  }
  errno = 0;
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && ::fsync(::fileno(file_)) == 0;
  int cause = ok ? 0 : errno;
  if (std::fclose(file_) != 0 && ok) {
    ok = false;
    cause = errno;
  }
  file_ = nullptr;
  if (!ok) {
    error = cause != 0 ? std::strerror(cause) : "the file could not be written";
    return false;
  }
  // The name may have become something else meanwhile: a FIFO or a directory is still not replaced.
  error = WhyNotReplaceable(name_);
  if (!error.empty()) return false;
  if (::rename(temp_.c_str(), name_.c_str()) != 0) {
    error = std::strerror(errno);
    return false;
  }
  temp_.clear();
  return true;
}

}  // namespace kv::cli
