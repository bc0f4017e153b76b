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

namespace kv::tool {

// True when an argument is one of the command line's (the dialog's own arguments, Qt's such as
// -platform, open the dialog as before).
bool WantsCommandLine(int argc, const char* const* argv);

// Runs the command the arguments give; returns the process's exit code.
int RunCommandLine(int argc, const char* const* argv, unsigned system_language_id, std::ostream& out,
                   std::ostream& err);

}  // namespace kv::tool

#endif
