#include "pcx.h"

#include <cstdint>
#include <cstring>

#include "connection.h"
#include "kv/platform/files.h"
#include "kv/platform/memory.h"
#include "kvtaglib.h"

namespace kv {

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kLongestRun = 63;
constexpr const char kWorkFileName[] = "KIRV.pcx";
constexpr std::size_t kPcxWriteBuffer = 64 * kPcxRowBuffer;  // encoded rows written at a time

void Put16(unsigned char* at, int value) {
  at[0] = static_cast<unsigned char>(value & 0xFF);
  at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void FillHeader(unsigned char* h, const ImageDesc& image) {
  std::memset(h, 0, kHeaderSize);
  h[0] = 0x0A;  // PCX
  h[1] = 5;     // version
  h[2] = 1;     // run-length encoded
  h[3] = static_cast<unsigned char>(image.bits_per_pixel);
  Put16(h + 8, image.width - 1);    // Xmax
  Put16(h + 10, image.height - 1);  // Ymax
  h[65] = 1;                        // colour planes
  Put16(h + 66, image.width / 8);   // bytes per line
  Put16(h + 68, 1);                 // palette information
}

}  // namespace

std::size_t PcxEncodeRow(unsigned char* out, std::size_t capacity, const unsigned char* row, std::size_t length) {
  std::size_t n = 0;
  auto put = [&](unsigned char b) {
    if (n < capacity) out[n] = b;
    ++n;
  };
  for (std::size_t i = 0; i < length;) {
    const unsigned char b = row[i];
    std::size_t run = 1;
    while (run < kLongestRun && i + run < length && row[i + run] == b) ++run;
    if (run > 1 || b >= 0x40) {  // a run, or a single byte that could be taken for a run's count
      put(static_cast<unsigned char>(0xC0 | run));
      put(b);
    } else {
      put(b);
    }
    i += run;
  }
  return n;
}

int DownloadBitsAsPcx(const ImageDesc& image, const unsigned char* bits, const char* name) {
  plat::HeapBlock header(kHeaderSize);
  if (!header) return SetErrState(KV_ERR_PCX_HEADER_MEMORY);
  FillHeader(header.as<unsigned char>(), image);
  char path[kMaxPath];
  plat::FileHandle file = WorkFilePath(path, kWorkFileName) ? plat::file_create(path) : plat::kInvalidFile;
  if (file == plat::kInvalidFile) return SetErrState(KV_ERR_PCX_FILE);
  const bool header_written =
      plat::file_write(file, header.as<unsigned char>(), kHeaderSize) == static_cast<std::int64_t>(kHeaderSize);
  header.reset();
  // Encoded rows are gathered and written in large pieces: one write per row would cost a system
  // call each.
  plat::HeapBlock rows;
  if (header_written) rows = plat::HeapBlock(kPcxWriteBuffer);
  unsigned char* encoded = rows.as<unsigned char>();
  int rc = !header_written ? KV_ERR_PCX_FILE : encoded == nullptr ? KV_ERR_PCX_ROW_MEMORY : KV_OK;
  const std::size_t row_bytes = static_cast<std::size_t>(image.width / 8);
  std::size_t held = 0;
  auto flush = [&] {
    if (held > 0 && plat::file_write(file, encoded, held) != static_cast<std::int64_t>(held)) rc = KV_ERR_PCX_FILE;
    held = 0;
  };
  for (int y = 0; rc == KV_OK && y < image.height; ++y) {
    if (kPcxWriteBuffer - held < kPcxRowBuffer) flush();
    if (rc != KV_OK) break;
    const std::size_t n =
        PcxEncodeRow(encoded + held, kPcxRowBuffer, bits + static_cast<std::size_t>(y) * row_bytes, row_bytes);
    if (n > kPcxRowBuffer)
      rc = KV_ERR_PCX_ROW_TOO_LONG;
    else
      held += n;
  }
  if (rc == KV_OK) flush();
  rows.reset();
  plat::file_close(file);
  if (rc != KV_OK) {
    plat::file_delete(path);
    return SetErrState(rc);
  }
  // The delete goes first; when it cannot be appended, the download is not appended either.
  rc = KV_PcxGraphicsDel(name);
  if (rc == KV_OK) rc = DownloadGraphicFile(name, path, true);
  SetErrState(rc);
  plat::file_delete(path);
  return rc;
}

}  // namespace kv
