// Fuzz target of the job renderer: any bytes as a job, twice on one printer (so that stored graphics
// and forms of the first run meet the second). No crash, no leak, no read past the job, and memory
// held within the limits below.
#include <cstddef>
#include <cstdint>

#include "kv/render/renderer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kv::render::Limits limits;
  limits.max_dots = 2048;
  limits.max_labels = 4;
  limits.max_marks = 1 << 16;
  limits.max_store = 1 << 20;
  kv::render::Printer printer(size > 0 && (data[0] & 1) ? 300 : 203, limits);
  std::size_t black = 0;
  for (int run = 0; run < 2; ++run)
    printer.Run(data, size, [&](const kv::render::RenderedLabel& label) { black += label.image.BlackCount(); });
  return black > SIZE_MAX - 1 ? -1 : 0;
}
