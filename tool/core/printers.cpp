#include "printers.h"

#include "codes.h"
#include "kv/models.h"
#include "options.h"

namespace kv::tool {

bool BeginsWithFilterWord(const std::string& text) {
  for (const char* word : kFilterWords)
    if (text.compare(0, std::char_traits<char>::length(word), word) == 0) return true;
  return false;
}

Resolution ResolutionOf(const std::string& printer_name) {
  for (const Model& model : kModels)
    if (model.dpi == 300 && printer_name.find(model.name) != std::string::npos)
      return Resolution{kDotsPerMm300, kClass300};
  return Resolution{kDotsPerMm200, kClass200};
}

bool PrinterLister::List(View& view, std::vector<plat::PrinterRecord>& out) {
  const char* message = kMsgNoPrinterList;
  switch (plat::printers_list(out)) {
    case plat::PrinterListing::Listed:
      failing_ = false;
      return true;
    case plat::PrinterListing::Nothing:
      failing_ = false;  // nothing to list is no failure
      return false;
    case plat::PrinterListing::NoMemory:
      message = kMsgNoPrinterMemory;
      break;
    case plat::PrinterListing::Failed:
      message = kMsgNoPrinterList;
      break;
  }
  out.clear();
  // Marked before the box is shown: the timer keeps firing while it is open.
  if (!failing_) {
    failing_ = true;
    view.ShowMessage(message, kProgramName);
  }
  return false;
}

}  // namespace kv::tool
