// Files through the Win32 file API.
#include "kv/platform/files.h"

#include <windows.h>

#include <cstring>

#include "system.h"

namespace kv::plat {

namespace {
HANDLE handle_of(FileHandle f) { return reinterpret_cast<HANDLE>(f); }
FileHandle file_of(HANDLE h) { return reinterpret_cast<FileHandle>(h); }

bool is_reparse_point(const char* path) {
  DWORD attrs = GetFileAttributesA(path);
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Whether the open handle is a plain disk file: not a pipe, console or device, not a directory, not
// a reparse point; with `one_name`, also not a file with other names (hard links).
bool is_plain_disk_file(HANDLE h, bool one_name) {
  if (GetFileType(h) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return false;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0)
    return false;
  return !one_name || info.nNumberOfLinks <= 1;
}
}  // namespace

const char kPathSeparator[] = "\\";
const char kPathSeparators[] = "\\/:";
const bool kNamesIgnoreCase = true;

std::size_t current_directory(char* buf, std::size_t size) {
  if (buf == nullptr || size == 0) return 0;
  DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), buf);
  if (n == 0 || n >= size) {  // n >= size: the buffer is too small and n is the size it needs
    buf[0] = '\0';
    return 0;
  }
  return n;
}

FileHandle sys::file_create(const char* path) {
  if (path == nullptr) return kInvalidFile;
  // A reparse point (a symbolic link) at the fixed name is refused rather than followed; the file is
  // opened without truncating it and emptied only once it is known to be a plain disk file of one name.
  if (is_reparse_point(path)) return kInvalidFile;
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kInvalidFile;
  if (!is_plain_disk_file(h, true) || !SetEndOfFile(h)) {
    CloseHandle(h);
    return kInvalidFile;
  }
  return file_of(h);
}

FileHandle sys::file_open_plain(const char* path, bool* not_plain) {
  if (not_plain != nullptr) *not_plain = false;
  if (path == nullptr) return kInvalidFile;
  const bool reparse = is_reparse_point(path);
  HANDLE h = reparse ? INVALID_HANDLE_VALUE
                     : CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h != INVALID_HANDLE_VALUE && is_plain_disk_file(h, false)) return file_of(h);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  if (not_plain != nullptr) {
    const DWORD attrs = reparse || h != INVALID_HANDLE_VALUE ? 0 : GetFileAttributesA(path);
    *not_plain = reparse || h != INVALID_HANDLE_VALUE ||
                 (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0);
  }
  return kInvalidFile;
}

int file_link_count(FileHandle file) {
  BY_HANDLE_FILE_INFORMATION info;
  if (file == kInvalidFile || file == 0 || !GetFileInformationByHandle(handle_of(file), &info)) return 0;
  return info.nNumberOfLinks > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(info.nNumberOfLinks);
}

bool file_copy_access(FileHandle from, FileHandle to) {
  // A file's access on Windows is its folder's, inherited by the copy made beside it as it was by
  // the original: there is nothing of the file's own to carry over.
  return from != kInvalidFile && from != 0 && to != kInvalidFile && to != 0;
}

FileHandle sys::file_open_read(const char* path) {
  if (path == nullptr) return kInvalidFile;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kInvalidFile : file_of(h);
}

std::int64_t sys::file_write(FileHandle file, const void* data, std::size_t len) {
  if (file == kInvalidFile || file == 0 || len > 0xFFFFFFFFu) return -1;
  DWORD written = 0;
  if (!WriteFile(handle_of(file), data, static_cast<DWORD>(len), &written, nullptr) && written == 0) return -1;
  return written;
}

std::int64_t sys::file_read(FileHandle file, void* buf, std::size_t len) {
  if (file == kInvalidFile || file == 0 || len > 0xFFFFFFFFu) return -1;
  char* p = static_cast<char*>(buf);
  std::size_t done = 0;
  while (done < len) {
    DWORD got = 0;
    if (!ReadFile(handle_of(file), p + done, static_cast<DWORD>(len - done), &got, nullptr)) return -1;
    if (got == 0) break;
    done += got;
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t file_size(FileHandle file) {
  LARGE_INTEGER size;
  if (file == kInvalidFile || file == 0 || !GetFileSizeEx(handle_of(file), &size)) return -1;
  return size.QuadPart;
}

void file_close(FileHandle file) {
  if (file != kInvalidFile && file != 0) CloseHandle(handle_of(file));
}

bool file_delete(const char* path) { return path != nullptr && path[0] != '\0' && DeleteFileA(path) != 0; }

bool sys::file_replace(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return false;
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool file_exists(const char* path) { return path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

}  // namespace kv::plat
