// Settings files in the private-profile format of Windows: "[section]" lines, each followed by
// "key=value" lines. Sections and keys are compared without regard to case; white space around keys
// and values and a pair of quotes around a value are not part of them.
#ifndef KV_PLATFORM_PROFILE_H
#define KV_PLATFORM_PROFILE_H

#include <cstddef>

namespace kv::plat {

// The largest settings file our own reader (POSIX) takes. A larger file is not read at all: reads give
// the default and writes fail, so that it is neither loaded whole nor rewritten cut short.
inline constexpr std::size_t kProfileMaxBytes = 1u << 20;

// Reads the value of `key` in the first section named `section` of the file at `path` into buf: at
// most size - 1 characters and a terminating zero. A missing file, section or key gives `default_text`.
// Returns the number of characters placed before the zero; 0, with nothing written, when size is 0.
std::size_t profile_read(const char* path, const char* section, const char* key, const char* default_text, char* buf,
                         std::size_t size);

// Writes key=value into the section, creating the file, the section and the key as needed. An
// existing key's value is replaced where it stands; every other line of the file is kept as it was.
// False when the file cannot be written.
bool profile_write(const char* path, const char* section, const char* key, const char* value);

}  // namespace kv::plat

#endif
