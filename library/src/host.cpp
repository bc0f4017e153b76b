// The host's handlers for messages and repaints, and the platform's defaults behind them.
#include "connection.h"
#include "kvtaglib.h"

#include "kv/platform/language.h"
#include "kv/platform/messages.h"

namespace kv {

namespace {
MessageHandler message_handler = nullptr;
RepaintHandler repaint_handler = nullptr;
void* handler_user = nullptr;
MessageLanguage message_language = MessageLanguage::Locale;
}  // namespace

void SetMessageLanguage(MessageLanguage language) { message_language = language; }

bool MessagesInChinese() {
  if (message_language == MessageLanguage::Locale) return plat::messages_in_chinese();
  return message_language == MessageLanguage::Chinese;
}

void ShowMessage(const Message& message) {
  const char* text = MessagesInChinese() ? message.chinese : message.english;
  if (message_handler != nullptr)
    message_handler(text, handler_user);
  else
    plat::message_box(text);
}

void RepaintWindow(void* window) {
  if (repaint_handler != nullptr)
    repaint_handler(window, handler_user);
  else
    plat::window_paint(window);
}

void SetHostHandlers(MessageHandler on_message, RepaintHandler on_repaint, void* user) {
  message_handler = on_message;
  repaint_handler = on_repaint;
  handler_user = user;
}

}  // namespace kv
