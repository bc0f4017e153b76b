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

namespace {

// Opens `path` without following a link and without waiting for a FIFO's other end, and keeps the
// descriptor only for a regular file; the descriptor then blocks as usual again.
int open_regular(const char* path, int flags) {
  int fd = open(path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  struct stat st;
  int fl = fcntl(fd, F_GETFL);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fl < 0 || fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

FileHandle sys::file_create(const char* path) {
  if (path == nullptr) return kInvalidFile;
  // Opened without O_TRUNC: the file is truncated only once it is known to be a plain file of one
  // name, so that a link, a FIFO or a second name planted at the fixed name loses nothing.
  int fd = open_regular(path, O_RDWR | O_CREAT);
  if (fd < 0) return kInvalidFile;
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_nlink > 1) {
    close(fd);
    return kInvalidFile;
  }
  if (st.st_size == 0) return fd;
  // A file with data is replaced by a new, empty one of the same name, owner and mode rather than
  // truncated: on ext4, emptying a file in place first writes out the data it drops (about a millisecond,
  // most of a small label's time), while the old file, whose only name this is, simply goes. O_EXCL
  // refuses whatever may have been planted at the name in between. Where the directory may not be
  // changed, the file is emptied in place as before.
  if (unlink(path) != 0) {
    if (ftruncate(fd, 0) == 0) return fd;
    close(fd);
    return kInvalidFile;
  }
  int fresh = open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fresh >= 0 && !file_copy_access(fd, fresh)) {
    close(fresh);
    unlink(path);
    fresh = -1;
  }
  close(fd);
  return fresh < 0 ? kInvalidFile : fresh;
}

FileHandle sys::file_open_plain(const char* path, bool* not_plain) {
  if (not_plain != nullptr) *not_plain = false;
  if (path == nullptr) return kInvalidFile;
  int fd = open_regular(path, O_RDONLY);
  if (fd < 0 && not_plain != nullptr) {
    struct stat st;
    *not_plain = lstat(path, &st) == 0 && !S_ISREG(st.st_mode);  // a link, FIFO, device or folder
  }
  return fd < 0 ? kInvalidFile : fd;
}

int file_link_count(FileHandle file) {
  struct stat st;
  if (file < 0 || file > INT32_MAX || fstat(static_cast<int>(file), &st) != 0) return 0;
  return st.st_nlink > INT32_MAX ? INT32_MAX : static_cast<int>(st.st_nlink);
}

bool file_copy_access(FileHandle from, FileHandle to) {
  struct stat st;
  if (from < 0 || from > INT32_MAX || to < 0 || to > INT32_MAX || fstat(static_cast<int>(from), &st) != 0) return false;
  // The owner first: changing it may clear the set-user and set-group bits, which the mode restores.
  // Only a privileged caller may give a file away; otherwise the copy stays the caller's own.
  if (fchown(static_cast<int>(to), st.st_uid, st.st_gid) != 0)
    (void)!fchown(static_cast<int>(to), static_cast<uid_t>(-1), st.st_gid);
  return fchmod(static_cast<int>(to), st.st_mode & 07777) == 0;
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
