// Which handler runs when a control of the main dialog (or the dialog itself) gets an event: the one
// place where an id meets a handler. Front ends only report what happened.
#include "main_dialog.h"

namespace kv::tool {

const MainDialog::Wire MainDialog::kWiring[] = {
    {kIdPrinterList, Event::Selected, &MainDialog::OnPrinterSelected},
    {kIdOptionList, Event::Selected, &MainDialog::OnOptionSelected},
    {kIdLanguageList, Event::Selected, &MainDialog::OnLanguageSelected},
    {kIdChinese, Event::Clicked, &MainDialog::OnChinese},
    {kIdEnglish, Event::Clicked, &MainDialog::OnEnglish},
    {kIdSendCommand, Event::Clicked, &MainDialog::OnSendTestCommand},
    {kIdSet, Event::Clicked, &MainDialog::OnSet},
    // Enter in a field of the value does what Set does; elsewhere it keeps ending the dialog.
    {kIdValue, Event::EnterKey, &MainDialog::OnSet},
    {kIdIpAddress, Event::EnterKey, &MainDialog::OnSet},
    {kIdSubnetMask, Event::EnterKey, &MainDialog::OnSet},
    {kIdGateway, Event::EnterKey, &MainDialog::OnSet},
    {kIdForward, Event::Clicked, &MainDialog::OnForward},
    {kIdReverse, Event::Clicked, &MainDialog::OnReverse},
    {kIdEnable, Event::Clicked, &MainDialog::OnEnable},
    {kIdDisable, Event::Clicked, &MainDialog::OnDisable},
    {kTimerStatus, Event::TimerTick, &MainDialog::OnTimer},
    {kCommandAbout, Event::MenuCommand, &MainDialog::OnAbout},
    {kDialogMain, Event::CloseRequest, &MainDialog::OnClose},
};

bool MainDialog::Handle(unsigned id, Event event) {
  // The system keeps the four low bits of a menu command for itself.
  if (event == Event::MenuCommand) id &= ~0xFu;
  for (const Wire& wire : kWiring) {
    if (wire.id == id && wire.event == event) {
      (this->*wire.handler)();
      return true;
    }
  }
  return false;
}

}  // namespace kv::tool
