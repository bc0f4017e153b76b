// kvpanel: the parameter tool on Linux. The settings file and the display language are fixed at
// start-up; the main dialog runs until it is closed. Given the command line's arguments it runs as a
// command instead (command_line.h).
#include <QApplication>
#include <iostream>

#include "core/command_line.h"
#include "core/startup.h"
#include "kv/platform/language.h"
#include "panel_dialog.h"

int main(int argc, char** argv) {
  // With the command line's arguments the program is a command: it runs without a window, so it needs
  // no display.
  if (kv::tool::WantsCommandLine(argc, argv))
    return kv::tool::RunCommandLine(argc, argv, kv::plat::system_language_id(), std::cout, std::cerr);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KVPanel"));
  kv::tool::ToolProcess process = kv::tool::StartProgram(kv::plat::system_language_id());
  kv::tool::PanelDialog dialog(process);
  dialog.Initialise();
  dialog.exec();
  return 0;
}
