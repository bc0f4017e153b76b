// Messages as lines on standard error: Linux has no system message box for a library to raise.
#include "kv/platform/messages.h"

#include <cstdio>

namespace kv::plat {

void message_box(const char* text) {
  std::fprintf(stderr, "%s\n", text != nullptr ? text : "");
  std::fflush(stderr);
}

void window_paint(void*) {}

}  // namespace kv::plat
