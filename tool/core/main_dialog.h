// The main dialog's behaviour: every handler of the parameter tool, speaking to its controls through
// the View. A front end reports what happened to which control (Handle); the core's wiring table
// (wiring.cpp) says which handler runs.
#ifndef KV_TOOL_MAIN_DIALOG_H
#define KV_TOOL_MAIN_DIALOG_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "dialog_data.h"
#include "library_binding.h"
#include "options.h"
#include "printers.h"
#include "resources/resource_ids.h"
#include "resources/strings.h"
#include "startup.h"
#include "view.h"

namespace kv::tool {

// What a front end reports: the event, and the id it happened to.
enum class Event {
  Selected,      // the user chose an entry of a combo box's list (id: the control)
  Clicked,       // a button was clicked (id: the control)
  TimerTick,     // a timer of StartTimer fired (id: the timer)
  MenuCommand,   // a system-menu command was chosen (id: the command; its four low bits do not count)
  CloseRequest,  // the dialog is asked to close (id: kDialogMain); the default close follows
  EnterKey,      // Enter was pressed (id: the control that has the focus); unhandled, it ends the dialog
};

// The longest the timer's status update waits for the spooler's listing.
inline constexpr std::chrono::milliseconds kTimerListingWait{500};

// A printer that a front end reaches itself rather than through the spooler (the printer application's
// settings page): its name (the list's entry and the settings section), its model's resolution, and how
// a command's bytes reach it (0 when the printer has them, kErrNoPrinter when it cannot be opened, else
// kErrWriteData).
struct OwnPrinter {
  std::string name;
  Resolution resolution;
  std::function<int(const std::string& bytes)> send;
};

class MainDialog {
 public:
  // The dialog of a started program; its texts are in the display language fixed at start.
  MainDialog(View& view, ToolProcess& process);
  ~MainDialog() = default;
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // Speaks to this printer instead of the spooler's (before OnInitDialog; it must outlive the dialog):
  // start-up then lists it alone and loads no library, and status updates ask no spooler.
  void UseOwnPrinter(const OwnPrinter* printer) { own_printer_ = printer; }

  // Runs the handler that the wiring table gives this id and event. False when there is none: the
  // front end then does what its toolkit does by default.
  bool Handle(unsigned id, Event event);

  // Start-up, display language and close.
  bool OnInitDialog();
  void OnLanguageSelected();
  void OnClose();

  // Options and their commands.
  void OnOptionSelected();
  void OnSet();
  void OnForward();
  void OnReverse();
  void OnChinese();
  void OnEnglish();
  void OnEnable();
  void OnDisable();

  // Printers and their status.
  void FillPrinterList();
  void OnPrinterSelected();
  int UpdatePrinterStatus();
  // The timer's status update: it never holds the window longer than kTimerListingWaitMs; a listing
  // that takes longer shows its result at a later tick.
  void OnTimer();

  // The test command file.
  void CheckOptionalFiles();
  void OnSendTestCommand();
  void ConfirmAndSendFile(const char* file_name, const char* prompt);
  int SendFileThroughLibrary(const char* file_name);

  // Sends ConfigCommand to the printer named by the printer list as one raw job, then stores ValueText
  // under the key (or, for Advanced Reset, the defaults of the printer's class) in its section.
  // Returns kErrStartDoc, kErrWriteData or kErrEndDoc when the spooler refuses the job; otherwise the
  // result of the last settings write when something was stored (1 written, 0 not), else 0 (also
  // when the printer cannot be opened, after its message).
  int SendConfigCommand(const char* key, OptionKind kind);

  // Whether a value that a command's exchange was to store could not be written to the settings file
  // since the last call; clears it.
  bool TakeStoreFailed();

  // The About box, from the system menu.
  void OnAbout();

  // Whether the background is to be drawn at this paint; clears the request.
  bool TakeBackgroundPending();

  const DialogData& data() const { return data_; }
  double DotsPerMm() const { return dots_per_mm_; }
  int ResolutionClass() const { return resolution_class_; }
  OptionKind Kind() const { return option_kind_; }
  int SentBytes() const { return sent_bytes_; }
  const LabelLibrary& library() const { return library_; }
  // How the last listing of the spooler went.
  plat::PrinterListing LastListing() const { return lister_.last(); }

 private:
  struct Wire {
    unsigned id;
    Event event;
    void (MainDialog::*handler)();
  };
  static const Wire kWiring[];

  std::string Str(int id) const { return ToolString(language_, id); }
  void ShowOptionButtons(int first, int second);
  void ShowNetworkEdits(bool shown);
  int ReadStoredInt(const char* key) const;
  void SetNetwork();
  int SendDocument(void* printer) const;
  int StoreResetDefaults(const std::string& section);
  int SendButtonCommand(const char* command, const char* key);
  // Stores what a command that reached the printer sets (SendConfigCommand's second half).
  int StoreSent(const std::string& printer, const char* key, OptionKind kind);
  int Store(const std::string& section, const char* key, const char* value);
  bool ShowStatus(bool listed, const std::vector<plat::PrinterRecord>& records);

  static void OnLibraryMessage(const char* text, void* user);
  static void OnLibraryRepaint(void* window, void* user);

  View& view_;
  ToolProcess& process_;
  const OwnPrinter* own_printer_ = nullptr;
  const Language language_;
  DialogData data_;
  PrinterLister lister_;
  LabelLibrary library_;

  bool option_list_pending_ = true;  // the option list is filled once
  bool background_pending_ = false;
  bool store_failed_ = false;
  bool english_messages_ = false;  // the label library's messages, and the tool's like them, are in English
  int sent_bytes_ = 0;             // bytes of the test command file handed to the library

  OptionKind option_kind_ = OptionKind::TearOff;  // OptionKind: the kind of the option selected last
  bool has_value_field_ = true;
  bool value_in_mm_ = false;
  double dots_per_mm_ = kDotsPerMm200;  // DotsPerMm of the selected printer
  int resolution_class_ = kClass200;    // ResolutionClass of the selected printer

  std::string config_command_;  // ConfigCommand: the command SendConfigCommand sends
  std::string value_text_;      // ValueText: the value SendConfigCommand stores
};

}  // namespace kv::tool

#endif
