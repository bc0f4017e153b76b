// Messages in the system's message box; texts are UTF-8 and shown through the wide API, so that the
// Chinese texts read correctly whatever the system's code page.
#include "kv/platform/messages.h"

#include <windows.h>

#include <string>

namespace kv::plat {

void message_box(const char* text) {
  if (text == nullptr) text = "";
  int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(n > 0 ? static_cast<std::size_t>(n) : 1u, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], n);
  MessageBoxW(nullptr, wide.c_str(), nullptr, MB_OK);
}

void window_paint(void* window) { SendMessageA(static_cast<HWND>(window), WM_PAINT, 0, 0); }

}  // namespace kv::plat
