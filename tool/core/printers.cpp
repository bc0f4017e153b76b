#include "printers.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

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

// A listing under way on a thread of its own. The thread shares this record with the lister, so that
// a lister that goes away while the spooler keeps it waiting leaves the thread something to finish into.
struct PrinterLister::Background {
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
  plat::PrinterListing outcome = plat::PrinterListing::Failed;
  std::vector<plat::PrinterRecord> records;
  std::thread worker;
};

PrinterLister::~PrinterLister() {
  if (background_ == nullptr) return;
  std::unique_lock<std::mutex> hold(background_->lock);
  const bool done = background_->done;
  hold.unlock();
  // A listing still waiting for the spooler ends within the spooler's bound on its own.
  if (done) {
    background_->worker.join();
  } else {
    background_->worker.detach();
  }
}

bool PrinterLister::List(View& view, std::vector<plat::PrinterRecord>& out) {
  return Take(view, plat::printers_list(out), out);
}

bool PrinterLister::ListWithin(View& view, std::vector<plat::PrinterRecord>& out, std::chrono::milliseconds wait,
                               bool* listed) {
  bool fresh = false;
  if (background_ == nullptr) {
    auto b = std::make_shared<Background>();
    try {
      b->worker = std::thread([b] {
        std::vector<plat::PrinterRecord> records;
        const plat::PrinterListing outcome = plat::printers_list(records);
        std::lock_guard<std::mutex> hold(b->lock);
        b->outcome = outcome;
        b->records = std::move(records);
        b->done = true;
        b->ended.notify_all();
      });
    } catch (const std::system_error&) {
      *listed = List(view, out);  // no thread to be had: the listing runs here, bounded all the same
      return true;
    }
    background_ = std::move(b);
    fresh = true;
  }
  std::unique_lock<std::mutex> hold(background_->lock);
  if (!background_->ended.wait_for(hold, fresh ? wait : std::chrono::milliseconds(0),
                                   [this] { return background_->done; }))
    return false;
  const plat::PrinterListing outcome = background_->outcome;
  out = std::move(background_->records);
  hold.unlock();
  background_->worker.join();
  background_.reset();
  *listed = Take(view, outcome, out);
  return true;
}

bool PrinterLister::Take(View& view, plat::PrinterListing outcome, std::vector<plat::PrinterRecord>& out) {
  last_ = outcome;
  const char* message = kMsgNoPrinterList;
  switch (outcome) {
    case plat::PrinterListing::Listed:
      failing_ = false;
      return true;
    case plat::PrinterListing::Nothing:
    case plat::PrinterListing::Unreachable:
      // Nothing to list is no failure; an absent spooler is the command line's to report, and the dialog
      // keeps the list it has.
      failing_ = false;
      out.clear();
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
