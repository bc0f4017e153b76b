// The label command library, loaded at run time by its file name, with the five functions that the
// test command file needs bound by name. On Linux the library also offers an installer of the host's
// message and repaint handlers, through which its messages reach the tool's window, and a choice of
// the language of its messages.
#ifndef KV_TOOL_LIBRARY_BINDING_H
#define KV_TOOL_LIBRARY_BINDING_H

#include "kv/platform/modules.h"
#include "kvtaglib.h"

namespace kv::tool {

// The library's file name on this platform ("KVTAGLIB.dll", "libkvtaglib.so.1"), fixed by the build.
inline constexpr char kLabelLibraryFile[] = KV_LABEL_LIBRARY_FILE;

class LabelLibrary {
 public:
  using OpenPortFn = int(KV_CALL*)(const char* printer_name);
  using ClosePortFn = void(KV_CALL*)();
  using ClearTmpFileFn = int(KV_CALL*)();
  using OurSendFileExFn = int(KV_CALL*)(const char* path, int unused, void* window, int* counter);
  using WritePrinterFn = int(KV_CALL*)();
  using MessageHandler = void (*)(const char* text, void* user);
  using RepaintHandler = void (*)(void* window, void* user);
  using SetHostHandlersFn = void(KV_CALL*)(MessageHandler on_message, RepaintHandler on_repaint, void* user);
  using SetMessageLanguageFn = int(KV_CALL*)(int language);

  // The message languages of KV_SetMessageLanguage (declared by the Linux header only).
  static constexpr int kMessagesChinese = 1;
  static constexpr int kMessagesEnglish = 2;

  LabelLibrary() = default;
  ~LabelLibrary() { Unload(); }
  LabelLibrary(const LabelLibrary&) = delete;
  LabelLibrary& operator=(const LabelLibrary&) = delete;

  // Loads the library and binds its functions. False when it cannot be loaded.
  bool Load(const char* file_name);

  // Takes the host's handlers out of the library, then unloads it.
  void Unload();

  bool loaded() const { return module_ != nullptr; }
  // Whether every function the test command file needs was found.
  bool complete() const;

  // Installs the host's handlers; false when the library has no installer (the Windows library,
  // whose messages are the system's own boxes).
  bool InstallHostHandlers(MessageHandler on_message, RepaintHandler on_repaint, void* user);

  // Chooses the language of the library's messages (kMessagesChinese or kMessagesEnglish); false when
  // the library has no such choice (the Windows library, whose messages stay in Chinese).
  bool SetMessageLanguage(int language);

  OpenPortFn OpenPort = nullptr;
  ClosePortFn ClosePort = nullptr;
  ClearTmpFileFn ClearTmpFile = nullptr;
  OurSendFileExFn OurSendFileEx = nullptr;
  WritePrinterFn KV_WritePrinter = nullptr;

 private:
  plat::ModuleHandle module_ = nullptr;
  SetHostHandlersFn set_host_handlers_ = nullptr;
  SetMessageLanguageFn set_message_language_ = nullptr;
  bool handlers_installed_ = false;
};

}  // namespace kv::tool

#endif
