// PCX images as the printer stores them: the run-length row code and the download of a 1-bit image.
#ifndef KV_LIBRARY_PCX_H
#define KV_LIBRARY_PCX_H

#include <cstddef>

namespace kv {

// Size of the buffer that one encoded row must fit.
inline constexpr std::size_t kPcxRowBuffer = 1024;

// Encodes one image row of `length` bytes with the PCX run-length code into `out`, which holds
// `capacity` bytes. Returns the encoded length; a result above `capacity` means the row does not fit,
// and nothing has been written past out + capacity.
std::size_t PcxEncodeRow(unsigned char* out, std::size_t capacity, const unsigned char* row, std::size_t length);

struct ImageDesc {
  int width;           // in pixels, a multiple of 32
  int height;          // in rows
  int bits_per_pixel;  // 1
};

// Writes the image as the work file "KIRV.pcx" in the current directory, appends the delete and
// download commands for `name` with it, deletes the file, and returns the delete's failure, the
// download's result or a code of its own (stored in LastError, as is the download's result, 0 included).
int DownloadBitsAsPcx(const ImageDesc& image, const unsigned char* bits, const char* name);

// Appends the download commands of the PCX file at `path` under the graphic name `name`, as
// KV_PcxGraphicsDownload does. With `fixed_name` (a work file of the library's), only a plain file
// reached without a symbolic link is read.
int DownloadGraphicFile(const char* name, const char* path, bool fixed_name);

}  // namespace kv

#endif
