// Files through POSIX calls.
#include "kv/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "system.h"

namespace kv::plat {

const char kPathSeparator[] = "/";
const char kPathSeparators[] = "/";
const bool kNamesIgnoreCase = false;

std::size_t current_directory(char* buf, std::size_t size) {
  if (buf == nullptr || size == 0) return 0;
  if (getcwd(buf, size) == nullptr) {
    buf[0] = '\0';
    return 0;
  }
  return std::strlen(buf);
}

FileHandle sys::file_create(const char* path) {
  if (path == nullptr) return kInvalidFile;
  // O_NOFOLLOW: a link planted at the fixed name must not redirect the truncation to another file.
  int fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  return fd < 0 ? kInvalidFile : fd;
}

FileHandle sys::file_open_read(const char* path) {
  if (path == nullptr) return kInvalidFile;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kInvalidFile;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // a directory opens, but is no file to read
    close(fd);
    return kInvalidFile;
  }
  return fd;
}

std::int64_t sys::file_write(FileHandle file, const void* data, std::size_t len) {
  if (file < 0 || file > INT32_MAX) return -1;
  const char* p = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < len) {
    ssize_t n = write(static_cast<int>(file), p + done, len - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? static_cast<std::int64_t>(done) : -1;
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t sys::file_read(FileHandle file, void* buf, std::size_t len) {
  if (file < 0 || file > INT32_MAX) return -1;
  char* p = static_cast<char*>(buf);
  std::size_t done = 0;
  while (done < len) {
    ssize_t n = read(static_cast<int>(file), p + done, len - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t file_size(FileHandle file) {
  struct stat st;
  if (file < 0 || file > INT32_MAX || fstat(static_cast<int>(file), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

void file_close(FileHandle file) {
  if (file >= 0 && file <= INT32_MAX) close(static_cast<int>(file));
}

bool file_delete(const char* path) { return path != nullptr && path[0] != '\0' && unlink(path) == 0; }

bool sys::file_replace(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return false;
  return rename(from, to) == 0;
}

bool file_exists(const char* path) {
  struct stat st;
  return path != nullptr && lstat(path, &st) == 0;
}

}  // namespace kv::plat
