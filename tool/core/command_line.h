// kvpanel from scripts: the same dialog, run without a window (HeadlessView), driven by arguments.
//   --list                          the label printers the dialog lists: name, on-line/off-line, resolution
//   --status NAME                   one printer's state; exit 0 on line, 1 off line, 2 unknown
//   --options                       the options, with the short keys --set takes
//   --printer NAME --set OPTION [VALUE]   one option, as the dialog's Set (or its buttons) would send and store it
//   --printer NAME --reset --yes    Advanced Reset, which the dialog asks about
//   --printer NAME --test-file      sends TestCmd.txt of the current directory
//   --language en|zh, --help, --version
// Exit codes: 0 done, 1 the printer or spooler failed (its message on standard error), 2 a bad
// argument or value (nothing sent).
#ifndef KV_TOOL_COMMAND_LINE_H
#define KV_TOOL_COMMAND_LINE_H

#include <ostream>
#include <string>
#include <vector>

#include "main_dialog.h"

namespace kv::tool {

// True when an argument is one of the command line's (the dialog's own arguments, Qt's such as
// -platform, open the dialog as before).
bool WantsCommandLine(int argc, const char* const* argv);

// Runs the command the arguments give; returns the process's exit code.
int RunCommandLine(int argc, const char* const* argv, unsigned system_language_id, std::ostream& out,
                   std::ostream& err);

// A front end with a printer of its own (the printer application's settings page) sets one option by the
// command line's rules, as `kvpanel --printer NAME --set OPTION [VALUE]` does (`value` null: none given;
// `confirmed` as --yes): the same refusals, the same command, the same stored value. Messages, in the
// process's display language, go to `err`; returns the command line's exit code (0 done, 1 the printer
// failed, 2 refused and nothing sent).
int SetOwnPrinterOption(ToolProcess& process, const OwnPrinter& printer, const std::string& option,
                        const std::string* value, bool confirmed, std::ostream& err);

// One option as such a front end shows it, in the process's display language.
struct OptionView {
  std::string key;                     // the command line's name of the option (--set's OPTION)
  std::string name, help;              // the dialog's option text and help text
  ValueField field = ValueField::Off;  // what value it takes
  std::string shape;                   // the value's shape as --options shows it; empty without a value
  std::vector<std::string> buttons;    // the words of its own buttons, if it has any
  std::string stored;                  // the value field's text for the stored value (network: three, by commas)
};

// Every option of the option list, with its stored value for the printer.
std::vector<OptionView> DescribeOwnPrinterOptions(ToolProcess& process, const OwnPrinter& printer);

}  // namespace kv::tool

#endif
