// The Linux-only export through which a host program shows the library's messages and handles its
// repaint requests itself (Windows has message boxes and window messages for both).
#include "connection.h"
#include "kvtaglib.h"

KV_API(void) KV_SetHostHandlers(KV_MessageHandler on_message, KV_RepaintHandler on_repaint, void* user) {
  kv::SetHostHandlers(on_message, on_repaint, user);
}
