#include "dialog_data.h"

#include "resources/resource_ids.h"

namespace kv::tool {

namespace {

char Folded(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void LoadCombo(View& view, int id, const std::string& text) {
  int index = FindEntryByPrefix(view, id, text);
  view.Select(id, index);
  if (index < 0) view.SetText(id, text);
}

void LoadLimited(View& view, int id, const std::string& text, int limit) {
  view.SetText(id, text);
  view.SetTextLimit(id, limit);
}

std::string SaveLimited(const View& view, int id, int limit) {
  std::string text = view.Text(id);
  if (text.size() > static_cast<std::size_t>(limit)) text.resize(static_cast<std::size_t>(limit));
  return text;
}

}  // namespace

bool BeginsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (Folded(text[i]) != Folded(prefix[i])) return false;
  return true;
}

int FindEntryByPrefix(const View& view, int id, const std::string& prefix) {
  const int count = view.EntryCount(id);
  for (int i = 0; i < count; ++i)
    if (BeginsWithIgnoringCase(view.EntryText(id, i), prefix)) return i;
  return -1;
}

void LoadDialogData(View& view, const DialogData& data) {
  view.SetText(kIdHelpText, data.help_text);
  LoadCombo(view, kIdPrinterList, data.printer_name);
  LoadCombo(view, kIdOptionList, data.option_text);
  view.SetText(kIdValue, data.value_field);
  view.SetText(kIdStatusText, data.status_text);
  LoadLimited(view, kIdIpAddress, data.ip_address, kIpAddressLimit);
  LoadLimited(view, kIdSubnetMask, data.subnet_mask, kSubnetMaskLimit);
  LoadLimited(view, kIdGateway, data.gateway, kGatewayLimit);
  LoadLimited(view, kIdPortNumber, data.port_number, kPortNumberLimit);
}

void SaveDialogData(const View& view, DialogData& data) {
  data.help_text = view.Text(kIdHelpText);
  data.printer_name = view.Text(kIdPrinterList);
  data.option_text = view.Text(kIdOptionList);
  data.value_field = view.Text(kIdValue);
  data.status_text = view.Text(kIdStatusText);
  data.ip_address = SaveLimited(view, kIdIpAddress, kIpAddressLimit);
  data.subnet_mask = SaveLimited(view, kIdSubnetMask, kSubnetMaskLimit);
  data.gateway = SaveLimited(view, kIdGateway, kGatewayLimit);
  data.port_number = SaveLimited(view, kIdPortNumber, kPortNumberLimit);
}

}  // namespace kv::tool
