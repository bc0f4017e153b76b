// What the library shows its user, and the paint request it sends the caller's window.
#ifndef KV_PLATFORM_MESSAGES_H
#define KV_PLATFORM_MESSAGES_H

namespace kv::plat {

// Shows a UTF-8 text modally with one OK button, no owner window and the system's default caption;
// returns when the user has closed it. Where there is no message box, the text is one line on
// standard error.
void message_box(const char* text);

// Sends the window a paint message and returns when the window has handled it. Where windows are
// not the platform's, this does nothing: the host installs its own repaint handler instead.
void window_paint(void* window);

}  // namespace kv::plat

#endif
