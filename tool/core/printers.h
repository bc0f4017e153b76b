// The label printers of this machine: which the printer list offers, their resolution class, and the
// spooler's listing with its failure messages.
#ifndef KV_TOOL_PRINTERS_H
#define KV_TOOL_PRINTERS_H

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
// that keeps failing does not pile up a box on every timer tick.
class PrinterLister {
 public:
  // Lists the printers into `out`; true when the listing went through (`out` may then be empty).
  // False when there was nothing to list or the listing failed.
  bool List(View& view, std::vector<plat::PrinterRecord>& out);

 private:
  bool failing_ = false;  // the last listing failed and its message has been shown
};

}  // namespace kv::tool

#endif
