// The main dialog's text members and their exchange with the controls (dialog data exchange): load
// pushes the members into the controls, save pulls the controls' texts into the members.
#ifndef KV_TOOL_DIALOG_DATA_H
#define KV_TOOL_DIALOG_DATA_H

#include <string>

#include "view.h"

namespace kv::tool {

// The most characters of the four network edits.
inline constexpr int kIpAddressLimit = 15;
inline constexpr int kSubnetMaskLimit = 15;
inline constexpr int kGatewayLimit = 15;
inline constexpr int kPortNumberLimit = 6;

struct DialogData {
  std::string help_text;     // 1007
  std::string printer_name;  // 1010, the printer list's text
  std::string option_text;   // 1013, the option list's text
  std::string value_field;   // 1019
  std::string status_text;   // 1032
  std::string ip_address;    // 1023
  std::string subnet_mask;   // 1033
  std::string gateway;       // 1035
  std::string port_number;   // 1037
};

// Whether `text` begins with `prefix`, letters compared without regard to case.
bool BeginsWithIgnoringCase(const std::string& text, const std::string& prefix);

// The first entry of a combo box list that begins with `prefix` (without regard to case); -1 when none.
int FindEntryByPrefix(const View& view, int id, const std::string& prefix);

// Loads the members into the controls, in the order help, printer, option, value, status, IP address,
// subnet mask, gateway, port. A combo box selects its first entry that begins with the member's text;
// when none does, no entry is selected and its edit field shows the member. Each network edit then
// gets its text limit.
void LoadDialogData(View& view, const DialogData& data);

// Saves the controls' texts into the members, in the same order. The network texts are taken up to
// their limits (which the edits already enforce while the user types).
void SaveDialogData(const View& view, DialogData& data);

}  // namespace kv::tool

#endif
