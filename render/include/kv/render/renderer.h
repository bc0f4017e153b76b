// The job renderer: reads a label job (the bytes the library writes, or a command file a user sends)
// and draws each printed label as a one-bit image at the printer's resolution. A Printer keeps what a
// printer keeps between lines and jobs: label size, origin, direction, the image being composed,
// stored graphics, forms, variables and counters.
#ifndef KV_RENDER_RENDERER_H
#define KV_RENDER_RENDERER_H

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kv/render/bitmap.h"

namespace kv::render {

// Bounds that keep a job of any content within known time and memory.
struct Limits {
  int max_dots = 32768;                           // largest label width and length
  std::size_t max_labels = 1000;                  // labels drawn per job; later print commands are counted only
  std::size_t max_marks = std::size_t{1} << 22;   // bars, glyph runs and graphics held for one image
  std::size_t max_store = std::size_t{64} << 20;  // bytes of stored graphics and forms together
  int max_form_depth = 8;                         // forms calling forms
  const std::atomic<bool>* stop = nullptr;        // set by another thread: the job ends at the next line, an error
};

// A remark on the job: `line` is the job's line (from 1) where the command stands; an error stopped
// the job there.
struct Message {
  int line = 0;
  bool error = false;
  std::string text;
};

struct RenderedLabel {
  const Bitmap& image;
  long long sets = 1, copies = 1;  // what the print command asks for; the image is drawn once
  int line = 0;                    // the print command's line
};

struct JobSummary {
  std::vector<Message> messages;
  std::vector<std::string> notes;  // lists and the configuration label asked for
  std::size_t labels = 0;          // print commands carried out (drawn or, beyond the limit, counted)
  long long copies = 0;            // labels the print commands ask the printer for, sets x copies
  int width = 0, height = 0;       // the size of the last label printed
  bool failed = false;             // an error stopped the job
};

class Printer {
 public:
  // `dpi` is 203 (8 dots/mm) or 300 (12 dots/mm); any other value is taken as 203.
  explicit Printer(int dpi = 203, Limits limits = {});
  ~Printer();
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  // Carries out one job; `on_label` receives each printed label while the job runs.
  JobSummary Run(const void* job, std::size_t size, const std::function<void(const RenderedLabel&)>& on_label);

  int dpi() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// "line 12: text" for a message.
std::string Describe(const Message& m);

}  // namespace kv::render

#endif
