// kvpanel: the parameter tool on Linux. The settings file and the display language are fixed at
// start-up; the main dialog runs until it is closed.
#include <QApplication>

#include "core/startup.h"
#include "kv/platform/language.h"
#include "panel_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KVPanel"));
  kv::tool::ToolProcess process = kv::tool::StartProgram(kv::plat::system_language_id());
  kv::tool::PanelDialog dialog(process);
  dialog.Initialise();
  dialog.exec();
  return 0;
}
