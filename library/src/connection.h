// The library's process-wide state, the LibraryConnection, and the helpers every export shares.
#ifndef KV_LIBRARY_CONNECTION_H
#define KV_LIBRARY_CONNECTION_H

#include <cstring>

#include "kv/platform/files.h"
#include "kv/platform/serial.h"
#include "kv/platform/spooler.h"

namespace kv {

// Size of each work buffer: the most a raw appender places in CmdBuffer at once; every command line
// a builder composes, with its terminating zero, must fit.
inline constexpr int kBufferSize = 10240;

// Size of the spool file's full name, terminating zero included.
inline constexpr int kMaxPath = 260;

// The handle value that the platform uses for "no handle": all bits set.
inline plat::SpoolHandle const kInvalidHandle = reinterpret_cast<plat::SpoolHandle>(static_cast<std::intptr_t>(-1));

struct LibraryConnection {
  plat::SpoolHandle PortHandle = kInvalidHandle;  // marks the connection open; see PortIsClosed
  plat::SpoolHandle PrinterHandle = nullptr;      // the open printer, null when none
  char* CmdBuffer = nullptr;                      // kBufferSize bytes while the connection is open
  int CmdLength = 0;                              // bytes of CmdBuffer that the next append writes
  char* ScratchBuffer = nullptr;                  // kBufferSize bytes while the connection is open
  char TmpFileName[kMaxPath] = {};                // full name of the spool file
  plat::FileHandle TmpFileHandle = plat::kInvalidFile;
  plat::SerialSettings ComSettings = {};
  int LastError = 0;
};

// The one connection of the process.
extern LibraryConnection conn;

// True when no printer has been opened: PortHandle is null or invalid.
inline bool PortIsClosed() { return conn.PortHandle == nullptr || conn.PortHandle == kInvalidHandle; }

// True when the builders and transfers cannot work: the connection is closed, or a printer was
// opened with KV_OpenPrinter alone and there are no work buffers to compose in.
inline bool CannotCompose() { return PortIsClosed() || conn.CmdBuffer == nullptr; }

// Empties both work buffers and the command length, as every transfer does before it starts.
inline void ClearWorkBuffers() {
  std::memset(conn.CmdBuffer, 0, kBufferSize);
  std::memset(conn.ScratchBuffer, 0, kBufferSize);
  conn.CmdLength = 0;
}

// Stores a code in LastError and returns it: `return SetErrState(code);` reports a failure and
// keeps it for GetErrState in one step.
inline int SetErrState(int code) {
  conn.LastError = code;
  return code;
}

// Writes the full name of the fixed work file `name` in the current directory into `path`. False
// when the current directory cannot be had or the whole name does not fit: `path` is then left
// empty, so that no file of a cut-off name is ever created or deleted.
bool WorkFilePath(char (&path)[kMaxPath], const char* name);

// A message of the library in both its languages.
struct Message {
  const char* chinese;
  const char* english;
};

// The language of the messages: the locale's (the platform's default: on Windows always Chinese), or
// one chosen by the host program.
enum class MessageLanguage { Locale, Chinese, English };
void SetMessageLanguage(MessageLanguage language);
// Whether the messages are now shown in Chinese.
bool MessagesInChinese();

// Shows a message of the library to the user, in the language of the messages: through the host's
// handler when one is installed, else the platform's message box.
void ShowMessage(const Message& message);

// Asks the caller's window to repaint itself (OurSendFileEx, after each appended piece).
void RepaintWindow(void* window);

// Installs the host's handlers (see KV_SetHostHandlers); null uninstalls.
using MessageHandler = void (*)(const char* text, void* user);
using RepaintHandler = void (*)(void* window, void* user);
void SetHostHandlers(MessageHandler on_message, RepaintHandler on_repaint, void* user);

// Appends the first CmdLength bytes of CmdBuffer to the spool file in one platform write. Returns 0
// when all of them were written (so 0 for CmdLength 0), else KV_ERR_TMP_WRITE. Stores nothing.
int WriteTmpFile();

// Resets the connection to its state at load. Tests use it between cases.
void ResetConnectionForTests();

}  // namespace kv

#endif
