// The job renderer: any bytes as a job, twice on one printer (stored graphics and forms of the first run
// meet the second); what the job says it cost stays within the bounds the virtual printer runs with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kv/render/renderer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kv::render::Limits limits;
  kv::render::Printer printer(size > 0 && (data[0] & 1) ? 300 : 203, limits);
  std::size_t black = 0;
  for (int run = 0; run < 2; ++run) {
    const kv::render::JobSummary s =
        printer.Run(data, size, [&](const kv::render::RenderedLabel& label) { black += label.image.BlackCount(); });
    if (s.form_calls > limits.max_form_calls || s.form_lines > limits.max_form_lines ||
        s.form_bytes > limits.max_form_bytes || s.painted > limits.max_painted ||
        s.messages.size() > limits.max_messages + 1 || s.notes.size() > limits.max_messages ||
        printer.stored() > limits.max_store)
      std::abort();
  }
  return black > SIZE_MAX - 1 ? -1 : 0;
}
