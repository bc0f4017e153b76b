// The Linux-only exports through which a host program shows the library's messages and handles its
// repaint requests itself (Windows has message boxes and window messages for both), and chooses the
// language of the messages (on Windows they stay in Chinese).
#include "connection.h"
#include "kvtaglib.h"

KV_API(void) KV_SetHostHandlers(KV_MessageHandler on_message, KV_RepaintHandler on_repaint, void* user) {
  kv::SetHostHandlers(on_message, on_repaint, user);
}

KV_API(int) KV_SetMessageLanguage(int language) {
  switch (language) {
    case KV_MESSAGES_LOCALE:
      kv::SetMessageLanguage(kv::MessageLanguage::Locale);
      break;
    case KV_MESSAGES_CHINESE:
      kv::SetMessageLanguage(kv::MessageLanguage::Chinese);
      break;
    case KV_MESSAGES_ENGLISH:
      kv::SetMessageLanguage(kv::MessageLanguage::English);
      break;
    default:
      break;
  }
  return kv::MessagesInChinese() ? KV_MESSAGES_CHINESE : KV_MESSAGES_ENGLISH;
}
