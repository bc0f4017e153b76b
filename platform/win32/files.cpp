// Files through the Win32 file API.
#include "kv/platform/files.h"

#include <windows.h>

#include <cstring>

#include "system.h"

namespace kv::plat {

namespace {
HANDLE handle_of(FileHandle f) { return reinterpret_cast<HANDLE>(f); }
FileHandle file_of(HANDLE h) { return reinterpret_cast<FileHandle>(h); }
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
  // A reparse point (a symbolic link) at the fixed name is refused rather than followed.
  DWORD attrs = GetFileAttributesA(path);
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return kInvalidFile;
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return h == INVALID_HANDLE_VALUE ? kInvalidFile : file_of(h);
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
