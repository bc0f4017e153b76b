// Messages in the system's message box; texts are UTF-8 and shown through the wide API, so that the
// Chinese texts read correctly whatever the system's code page.
#include "kv/platform/messages.h"

#include <windows.h>

#include "kv/platform/wide.h"

namespace kv::plat {

void message_box(const char* text) {
  MessageBoxW(nullptr, WideFromUtf8(text != nullptr ? text : "").c_str(), nullptr, MB_OK);
}

void window_paint(void* window) { SendMessageA(static_cast<HWND>(window), WM_PAINT, 0, 0); }

}  // namespace kv::plat
