// The job renderer: reads a label job (the bytes the library writes, or a command file a user sends)
// and draws each printed label as a one-bit image at the printer's resolution. A Printer keeps what a
// printer keeps between lines and jobs: label size, origin, direction, the image being composed,
// stored graphics, forms, variables and counters.
#ifndef KV_RENDER_RENDERER_H
#define KV_RENDER_RENDERER_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kv/render/bitmap.h"

namespace kv::render {

// Bounds that keep a job of any content within known time and memory. A job's work grows with its
// bytes and the forms it calls, and stops at these ceilings: reading at most its own bytes plus
// `max_form_lines` lines and `max_form_bytes` bytes of forms, painting at most `max_painted` dots, keeping at most
// `max_messages` messages. The values are far above what a normal job needs (1000 labels of 812 x 1218 dots may each
// call forms and paint their whole area three times over). Passing a bound is an error that names it; the job stops
// there. Raw bitmaps held on one label are bounded by `max_store` (more are not drawn: a warning).
struct Limits {
  int max_dots = 32768;                                // largest label width and length
  std::size_t max_labels = 1000;                       // labels drawn per job; later print commands are counted only
  std::size_t max_marks = std::size_t{1} << 22;        // bars, glyph runs and graphics on one image: 96 MiB
  std::size_t max_store = std::size_t{64} << 20;       // bytes of stored graphics and forms together, names included
  int max_form_depth = 8;                              // forms calling forms
  std::size_t max_form_calls = 100000;                 // forms carried out per job, nested ones included
  std::size_t max_form_lines = 200000;                 // lines of forms carried out per job
  std::size_t max_form_bytes = std::size_t{64} << 20;  // bytes of form lines carried out per job
  std::uint64_t max_painted = std::uint64_t{1} << 32;  // dots per job: each label's area and each mark's
  std::size_t max_messages = 1000;                     // warnings and notes kept per job; the rest are counted
  const std::atomic<bool>* stop = nullptr;             // set by another thread: the job ends at the next line, an error
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
  std::size_t messages_not_kept = 0, notes_not_kept = 0;  // beyond Limits::max_messages: counted only
  std::size_t form_calls = 0;                             // forms carried out
  std::size_t form_lines = 0;                             // lines of forms carried out
  std::size_t form_bytes = 0;                             // bytes of form lines carried out
  std::uint64_t painted = 0;                              // dots painted: label areas and marks
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
  // Bytes held by stored graphics and forms, their names included (at most Limits::max_store).
  std::size_t stored() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// "line 12: text" for a message.
std::string Describe(const Message& m);

}  // namespace kv::render

#endif
