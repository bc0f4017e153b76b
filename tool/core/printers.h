// The label printers of this machine: which the printer list offers, their resolution class, and the
// spooler's listing with its failure messages.
#ifndef KV_TOOL_PRINTERS_H
#define KV_TOOL_PRINTERS_H

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "kv/platform/printers.h"
#include "view.h"

namespace kv::tool {

// Words with which the driver name (printer list) or the printer name (on-line test) of a label
// printer begins, compared with regard to case.
inline constexpr const char* kFilterWords[] = {"KIRV", "QNB", "pilto", "ORVANEX", "Tallmir"};

// Whether the text begins with one of the filter words.
bool BeginsWithFilterWord(const std::string& text);

struct Resolution {
  double dots_per_mm;    // DotsPerMm
  int resolution_class;  // ResolutionClass
};

// The resolution of a printer: the 300-DPI class when its name holds the name of one of the 300 dpi
// models of the table of models (kv/models.h) anywhere (with regard to case), else the 200-DPI class.
Resolution ResolutionOf(const std::string& printer_name);

// The spooler's listing, shared by the printer list and the on-line test. A failure shows its message
// once per run of failures: not again until a listing has gone through in between, so that a spooler
// that keeps failing does not pile up a box on every timer tick. A spooler that cannot be reached (or
// does not answer in time) shows no message: the list keeps what it had and the printer reads off line.
class PrinterLister {
 public:
  PrinterLister() = default;
  ~PrinterLister();
  PrinterLister(const PrinterLister&) = delete;
  PrinterLister& operator=(const PrinterLister&) = delete;

  // Lists the printers into `out`; true when the listing went through (`out` may then be empty).
  // False when there was nothing to list or the listing failed.
  bool List(View& view, std::vector<plat::PrinterRecord>& out);

  // The listing of a timer tick, which must not hold the window: the listing runs beside the caller,
  // who waits for it at most `wait` (not at all while the listing of an earlier tick is still under
  // way). False while it has not ended; true when it has, with List's result in *listed.
  bool ListWithin(View& view, std::vector<plat::PrinterRecord>& out, std::chrono::milliseconds wait, bool* listed);

  // How the last listing that ended went.
  plat::PrinterListing last() const { return last_; }

 private:
  struct Background;
  bool Take(View& view, plat::PrinterListing outcome, std::vector<plat::PrinterRecord>& out);

  bool failing_ = false;  // the last listing failed and its message has been shown
  plat::PrinterListing last_ = plat::PrinterListing::Nothing;
  std::shared_ptr<Background> background_;  // the listing under way beside the dialog; null when none
};

}  // namespace kv::tool

#endif
