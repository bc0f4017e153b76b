// Stored graphics as the printer receives them: one-bit PCX images with run-length coded rows.
#ifndef KV_RENDER_PCX_H
#define KV_RENDER_PCX_H

#include <atomic>
#include <cstddef>
#include <string>

#include "kv/render/bitmap.h"

namespace kv::render {

// Decodes a one-bit, one-plane, run-length coded PCX image; the file's 0 bits become black dots.
// Returns "" or the reason it was refused (also an image of more than `max_side` dots on a side or
// more than `max_bytes` bytes, refused before any memory is taken); `notice` receives a remark on an
// image that was kept although its data ended early (the missing rows stay white). It ends with
// "stopped" as soon as `stop` (when given) is set.
std::string DecodePcx(const unsigned char* data, std::size_t size, int max_side, std::size_t max_bytes, Bitmap& out,
                      std::string& notice, const std::atomic<bool>* stop = nullptr);

}  // namespace kv::render

#endif
