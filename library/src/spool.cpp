// The spool file: one label job on disk, appended to by every command and sent whole as one raw job.
#include <cstdint>
#include <cstring>

#include "connection.h"
#include "kv/platform/files.h"
#include "kv/platform/memory.h"
#include "kv/platform/spooler.h"
#include "kvtaglib.h"

namespace kv {

namespace {

constexpr const char kSpoolFileName[] = "KIRVtemp.prn";
constexpr const char kJobName[] = "My PrintJob";
constexpr plat::SendCodes kSendCodes = {KV_ERR_NO_PRINTER, KV_ERR_START_DOC, KV_ERR_WRITE_DATA, KV_ERR_END_DOC};
void* const kNoWindow = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));

// Steps shared by ClearTmpFile and KV_ClearBuffer once the connection is known to be open.
int CreateTmpFile() {
  if (!WorkFilePath(conn.TmpFileName, kSpoolFileName)) {
    conn.TmpFileHandle = plat::kInvalidFile;
    return SetErrState(KV_ERR_TMP_CREATE);
  }
  // A job that was never delivered still holds its handle: it is replaced, not leaked.
  plat::file_close(conn.TmpFileHandle);
  conn.TmpFileHandle = plat::file_create(conn.TmpFileName);
  if (conn.TmpFileHandle == plat::kInvalidFile) return SetErrState(KV_ERR_TMP_CREATE);
  return KV_OK;
}

// Appends the file at `path` in pieces of one buffer; after each piece, reports it to the window.
int AppendFile(const char* path, void* window, int* counter) {
  if (CannotCompose()) return KV_ERR_RAW_CLOSED;
  ClearWorkBuffers();
  plat::FileHandle file = plat::file_open_read(path);
  if (file == plat::kInvalidFile) return KV_ERR_FILE_OPEN;
  int result = KV_OK;
  for (;;) {
    std::int64_t got = plat::file_read(file, conn.CmdBuffer, kBufferSize);
    if (got < 0) {
      result = KV_ERR_FILE_READ;
      SetErrState(result);
      break;
    }
    conn.CmdLength = static_cast<int>(got);
    if (got == 0) break;
    if (WriteTmpFile() != KV_OK) {
      result = KV_ERR_TMP_WRITE;
      SetErrState(result);
      break;
    }
    // The counter is only touched for a real window; a null counter is never written through.
    if (window != kNoWindow) {
      if (counter != nullptr) *counter += conn.CmdLength;
      RepaintWindow(window);
    }
  }
  plat::file_close(file);
  return result;
}

}  // namespace

int WriteTmpFile() {
  if (conn.CmdLength <= 0) return KV_OK;  // zero bytes asked, zero written
  std::int64_t written = plat::file_write(conn.TmpFileHandle, conn.CmdBuffer, static_cast<std::size_t>(conn.CmdLength));
  return written == conn.CmdLength ? KV_OK : KV_ERR_TMP_WRITE;
}

}  // namespace kv

using namespace kv;

KV_API(int) ClearTmpFile(void) {
  if (PortIsClosed()) return KV_ERR_TMP_CLOSED;
  return CreateTmpFile();
}

KV_API(int) KV_ClearBuffer(void) {
  if (CannotCompose()) return KV_ERR_TMP_CLOSED;
  int rc = CreateTmpFile();
  if (rc != KV_OK) return rc;
  std::memcpy(conn.CmdBuffer, "N\r\n", 4);
  conn.CmdLength = 3;
  return WriteTmpFile() == KV_OK ? KV_OK : SetErrState(KV_ERR_CLEAR_WRITE);
}

KV_API(int) Pulse(const char* data, int length, int) {
  if (CannotCompose()) return KV_ERR_RAW_CLOSED;
  // A negative length or missing data would make the copy read outside the caller's bytes.
  if (length > kBufferSize || length < 0 || data == nullptr) return KV_ERR_PULSE_LENGTH;
  std::memcpy(conn.CmdBuffer, data, static_cast<std::size_t>(length));
  conn.CmdLength = length;
  return SetErrState(WriteTmpFile());
}

KV_API(int) OurSendFile(const char* path, int) { return AppendFile(path, kNoWindow, nullptr); }

KV_API(int) OurSendFileEx(const char* path, int, void* window, int* counter) {
  return AppendFile(path, window, counter);
}

KV_API(int) KV_WritePrinter(void) {
  plat::file_close(conn.TmpFileHandle);
  conn.TmpFileHandle = plat::kInvalidFile;
  conn.CmdLength = 0;
  if (conn.CmdBuffer != nullptr) conn.CmdBuffer[0] = '\0';

  // The job is sent only from bytes really read back: a file that cannot be opened, measured or
  // read whole sends nothing. The spool file is opened by its name again, and only a plain file is
  // taken: a link or a FIFO put in its place would send another file's bytes or never return.
  plat::FileHandle file = plat::file_open_plain(conn.TmpFileName);
  if (file == plat::kInvalidFile) return SetErrState(KV_ERR_TMP_READ);
  const std::int64_t size = plat::file_size(file);
  if (size < 0 || static_cast<std::uint64_t>(size) > SIZE_MAX) {
    plat::file_close(file);
    return SetErrState(KV_ERR_TMP_READ);
  }
  const std::size_t length = static_cast<std::size_t>(size);
  plat::HeapBlock job(length);
  if (!job) {
    plat::file_close(file);  // closed first, so that ClosePort can delete the spool file
    ClosePort();
    return KV_ERR_JOB_MEMORY;
  }
  std::memset(job.as<char>(), 0, length);
  const std::int64_t got = plat::file_read(file, job.as<char>(), length);
  plat::file_close(file);
  if (got != size) return SetErrState(KV_ERR_TMP_READ);

  return plat::spool_send_raw(conn.PrinterHandle, kJobName, job.as<char>(), length, kSendCodes);
}
