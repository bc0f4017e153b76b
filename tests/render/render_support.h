// Running the job renderer in a test: every label of a job and what the renderer said about it.
#ifndef KV_TESTS_RENDER_SUPPORT_H
#define KV_TESTS_RENDER_SUPPORT_H

#include <string>
#include <vector>

#include "kv/render/renderer.h"

namespace kvtest {

struct Rendered {
  std::vector<kv::render::Bitmap> labels;
  kv::render::JobSummary summary;

  // Every message, one per line, for failure output.
  std::string Messages() const {
    std::string s;
    for (const auto& m : summary.messages) s += kv::render::Describe(m) + "\n";
    return s;
  }
};

inline Rendered RenderJob(kv::render::Printer& printer, const std::string& job) {
  Rendered r;
  r.summary =
      printer.Run(job.data(), job.size(), [&](const kv::render::RenderedLabel& l) { r.labels.push_back(l.image); });
  return r;
}

inline Rendered RenderJob(const std::string& job, int dpi = 203, kv::render::Limits limits = {}) {
  kv::render::Printer printer(dpi, limits);
  return RenderJob(printer, job);
}

// The lines joined with CR LF after each, as the library writes them.
inline std::string Job(std::initializer_list<const char*> lines) {
  std::string s;
  for (const char* l : lines) s += std::string(l) + "\r\n";
  return s;
}

}  // namespace kvtest

#endif
