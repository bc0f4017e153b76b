// Graphics: stored graphics placed, listed, deleted and downloaded by name, bitmaps drawn from memory,
// and a PCX file printed in one call. Image data follows its command line in pieces of one buffer.
#include <cstdint>
#include <cstring>

#include "compose.h"
#include "connection.h"
#include "kv/platform/files.h"
#include "kvtaglib.h"
#include "pcx.h"

namespace kv {

namespace {

// The graphic name that KV_PrintPCX gives a file: its path, or the path's last 15 characters.
constexpr std::size_t kPrintPcxName = 15;

}  // namespace

}  // namespace kv

using namespace kv;

KV_API(int) KV_DrawPcxGraphics(int x, int y, const char* name) {
  if (CannotCompose()) return KV_ERR_PCX_PLACE_CLOSED;
  Line line = StartLine();
  if (!IsStoredName(name)) return SetErrState(KV_ERR_PCX_PLACE_CHECK);
  line.Text("GG").Int(x).Comma().Int(y).Comma().Quote().Text(name).Quote().End();
  return AppendLine(line, KV_ERR_PCX_PLACE_CHECK, KV_ERR_PCX_PLACE_WRITE);
}

KV_API(int) KV_PcxGraphicsList(void) {
  if (CannotCompose()) return KV_ERR_PCX_LIST_CLOSED;
  Line line = StartLine();
  line.Text("GI").End();
  return AppendLine(line, KV_ERR_PCX_LIST_WRITE, KV_ERR_PCX_LIST_WRITE);
}

KV_API(int) KV_PcxGraphicsDel(const char* name) {
  if (CannotCompose()) return KV_ERR_PCX_DEL_CLOSED;
  Line line = StartLine();
  if (!IsStoredName(name)) return SetErrState(KV_ERR_PCX_DEL_CHECK);
  line.Text("GK").Quote().Text(name).Quote().End();
  return AppendLine(line, KV_ERR_PCX_DEL_CHECK, KV_ERR_PCX_DEL_WRITE);
}

KV_API(int) KV_PcxGraphicsDownload(const char* name, const char* path) {
  return DownloadGraphicFile(name, path, false);
}

int kv::DownloadGraphicFile(const char* name, const char* path, bool fixed_name) {
  if (CannotCompose()) return KV_ERR_PCX_DOWNLOAD_CLOSED;
  Line line = StartLine();
  // A name that cannot be stored would give a header without a name: refused, nothing appended.
  if (!IsStoredName(name)) return SetErrState(KV_ERR_PCX_DOWNLOAD_CHECK);
  // A work file of fixed name is opened again only as the plain file that was written, never through
  // a link or a FIFO put in its place; the caller's own file is opened as the caller named it.
  plat::FileHandle file = fixed_name ? plat::file_open_plain(path) : plat::file_open_read(path);
  if (file == plat::kInvalidFile) return SetErrState(KV_ERR_PCX_DOWNLOAD_OPEN);
  // The line states the length as a 32-bit number: a larger file cannot be announced.
  const std::int64_t length = plat::file_size(file);
  if (length < 0 || length > INT32_MAX) {
    plat::file_close(file);
    return SetErrState(KV_ERR_PCX_DOWNLOAD_OPEN);
  }
  line.Text("GM").Quote().Text(name).Quote().Int(static_cast<std::int32_t>(length)).End();
  int rc = AppendLine(line, KV_ERR_PCX_DOWNLOAD_WRITE, KV_ERR_PCX_DOWNLOAD_WRITE);
  // The data: exactly the announced number of bytes, in pieces of one buffer. A file that cannot be
  // read to its announced end fails rather than leave the printer waiting for missing bytes.
  for (std::int64_t left = length; rc == KV_OK && left > 0;) {
    const std::size_t piece = left < kBufferSize ? static_cast<std::size_t>(left) : kBufferSize;
    const std::int64_t got = plat::file_read(file, conn.CmdBuffer, piece);
    if (got != static_cast<std::int64_t>(piece)) {
      rc = SetErrState(KV_ERR_PCX_DOWNLOAD_OPEN);
      break;
    }
    conn.CmdLength = static_cast<int>(piece);
    if (WriteTmpFile() != KV_OK) rc = SetErrState(KV_ERR_PCX_DOWNLOAD_WRITE);
    left -= static_cast<std::int64_t>(piece);
  }
  plat::file_close(file);
  return rc;
}

KV_API(int) KV_DrawBinGraphics(int x, int y, int row_bytes, int rows, const unsigned char* data) {
  if (CannotCompose()) return KV_ERR_BIN_GRAPHICS_CLOSED;
  Line line = StartLine();
  // The image is row_bytes × rows bytes of the caller's: negative sizes, a size beyond what a 32-bit
  // count holds, or no data at all would make the copy read what is not the caller's image.
  const std::int64_t total = static_cast<std::int64_t>(row_bytes) * rows;
  if (row_bytes < 0 || rows < 0 || total > INT32_MAX || data == nullptr) return SetErrState(KV_ERR_BIN_GRAPHICS_CHECK);
  line.Text("GW").Int(x).Comma().Int(y).Comma().Int(row_bytes).Comma().Int(rows);
  // A failed command line is reported, but the data still follows it, as the printer expects it.
  const int rc = AppendLine(line, KV_ERR_BIN_GRAPHICS_WRITE, KV_ERR_BIN_GRAPHICS_WRITE);
  for (std::int64_t left = total; left > 0;) {
    const std::size_t piece = left < kBufferSize ? static_cast<std::size_t>(left) : kBufferSize;
    std::memcpy(conn.CmdBuffer, data, piece);
    conn.CmdLength = static_cast<int>(piece);
    if (WriteTmpFile() != KV_OK) return SetErrState(KV_ERR_BIN_GRAPHICS_DATA_WRITE);
    data += piece;
    left -= static_cast<std::int64_t>(piece);
  }
  return rc;
}

KV_API(int) KV_PrintPCX(int x, int y, const char* path) {
  if (CannotCompose()) return KV_ERR_PRINT_PCX_CLOSED;
  if (path == nullptr) return SetErrState(KV_ERR_PRINT_PCX_FAILED);
  const std::size_t length = std::strlen(path);
  const char* name = length > kPrintPcxName ? path + (length - kPrintPcxName) : path;
  if (KV_PcxGraphicsDel(name) < 0 || KV_PcxGraphicsDownload(name, path) < 0 || KV_DrawPcxGraphics(x, y, name) < 0)
    return SetErrState(KV_ERR_PRINT_PCX_FAILED);
  return KV_OK;
}
