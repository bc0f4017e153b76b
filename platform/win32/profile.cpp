// Settings files through the profile functions of Windows.
#include "kv/platform/profile.h"

#include <windows.h>

namespace kv::plat {

std::size_t profile_read(const char* path, const char* section, const char* key, const char* default_text, char* buf,
                         std::size_t size) {
  if (buf == nullptr || size == 0) return 0;
  if (path == nullptr || section == nullptr || key == nullptr) {
    buf[0] = '\0';
    return 0;
  }
  // The profile functions take a 32-bit size; a larger buffer is simply not filled beyond that.
  DWORD room = size > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(size);
  return GetPrivateProfileStringA(section, key, default_text != nullptr ? default_text : "", buf, room, path);
}

bool profile_write(const char* path, const char* section, const char* key, const char* value) {
  if (path == nullptr || section == nullptr || key == nullptr || value == nullptr) return false;
  return WritePrivateProfileStringA(section, key, value, path) != 0;
}

}  // namespace kv::plat
