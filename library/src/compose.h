// The steps every command builder shares: start a line in the command buffer, check, append.
#ifndef KV_LIBRARY_COMPOSE_H
#define KV_LIBRARY_COMPOSE_H

#include "connection.h"
#include "line.h"

namespace kv {

// Empties the command buffer and returns a line composed into it. The connection must be usable.
inline Line StartLine() {
  conn.CmdLength = 0;
  return Line(conn.CmdBuffer, kBufferSize);
}

// Whether `name` can name something the printer stores (a form, a graphic): 1 to 16 characters.
inline bool IsStoredName(const char* name) {
  if (name == nullptr) return false;
  std::size_t n = 0;
  while (n <= 16 && name[n] != '\0') ++n;
  return n >= 1 && n <= 16;
}

// Appends the composed line to the spool file. A line that did not fit is refused with `check`,
// a failed write with `write`; both are stored.
inline int AppendLine(const Line& line, int check, int write) {
  if (!line.ok()) return SetErrState(check);
  conn.CmdLength = line.length();
  return WriteTmpFile() == 0 ? 0 : SetErrState(write);
}

}  // namespace kv

#endif
