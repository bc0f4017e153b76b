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
  view.SetText(kIdHelpText, data.HelpText);
  LoadCombo(view, kIdPrinterList, data.PrinterName);
  LoadCombo(view, kIdOptionList, data.OptionText);
  view.SetText(kIdValue, data.ValueField);
  view.SetText(kIdStatusText, data.StatusText);
  LoadLimited(view, kIdIpAddress, data.IpAddress, kIpAddressLimit);
  LoadLimited(view, kIdSubnetMask, data.SubnetMask, kSubnetMaskLimit);
  LoadLimited(view, kIdGateway, data.Gateway, kGatewayLimit);
  LoadLimited(view, kIdPortNumber, data.PortNumber, kPortNumberLimit);
}

void SaveDialogData(const View& view, DialogData& data) {
  data.HelpText = view.Text(kIdHelpText);
  data.PrinterName = view.Text(kIdPrinterList);
  data.OptionText = view.Text(kIdOptionList);
  data.ValueField = view.Text(kIdValue);
  data.StatusText = view.Text(kIdStatusText);
  data.IpAddress = SaveLimited(view, kIdIpAddress, kIpAddressLimit);
  data.SubnetMask = SaveLimited(view, kIdSubnetMask, kSubnetMaskLimit);
  data.Gateway = SaveLimited(view, kIdGateway, kGatewayLimit);
  data.PortNumber = SaveLimited(view, kIdPortNumber, kPortNumberLimit);
}

}  // namespace kv::tool
