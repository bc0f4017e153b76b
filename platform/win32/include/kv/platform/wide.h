// Texts between UTF-8, the kit's own encoding, and the wide strings of the Win32 API (Windows only).
#ifndef KV_PLATFORM_WIDE_H
#define KV_PLATFORM_WIDE_H

#include <string>

namespace kv::plat {

// The text in UTF-16; a text that is not valid UTF-8 gives what the system makes of it.
std::wstring WideFromUtf8(const std::string& utf8);

// The text in UTF-8.
std::string Utf8FromWide(const std::wstring& wide);

}  // namespace kv::plat

#endif
