// The settings page: a fourth front end of the parameter tool's core. The page shows the core's option
// list (names, help texts, stored values in the dialog's own formatting) and hands every posted form to
// the command line's rules (SetOwnPrinterOption), so that a value set here is refused, sent and stored
// exactly as `kvpanel --printer NAME --set OPTION VALUE` would refuse, send and store it. The commands go
// to the printer's device through PAPPL; the values live in the application's state folder.
#include "web_settings.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <sstream>
#include <vector>

#include "codes.h"
#include "command_line.h"
#include "driver.h"
#include "kv/models.h"
#include "preview.h"

namespace kv::printer {

namespace {

using tool::OptionView;
using tool::OwnPrinter;

std::string& SettingsFolder() {
  static std::string folder;
  return folder;
}

// One settings file for every printer: the core's exchanges run one at a time.
std::mutex& SettingsLock() {
  static std::mutex lock;
  return lock;
}

// The largest form the page takes: its fields are a few short texts.
constexpr long kMaxFormBytes = 16 * 1024;

struct Text {
  const char* english;
  const char* chinese;
};
constexpr Text kTitle = {"Label printer settings", "标签打印机设置"};
constexpr Text kStored = {"Stored value", "已保存的值"};
constexpr Text kSet = {"Set", "设置"};
constexpr Text kConfirm = {"I confirm the reset", "确认复位"};
constexpr Text kConfirmFirst = {"Confirm the reset first: tick the box beside its button.",
                                "请先勾选按钮旁的方框以确认复位。"};
constexpr Text kSent = {"Sent to the printer.", "已发送到打印机。"};
constexpr Text kBadSession = {
    "This form is not one of this page's (or it has expired): nothing was sent. Reload "
    "the page and try again.",
    "此表单不是本页面发出的（或已过期）：未发送任何内容。请重新载入页面后再试。"};
constexpr Text kNetworkParts[] = {{"Address", "IP 地址"}, {"Subnet mask", "子网掩码"}, {"Gateway", "网关"}};
constexpr Text kNone = {"(none)", "（无）"};

struct ButtonWord {
  const char* word;
  Text shown;
};
constexpr ButtonWord kButtonWords[] = {
    {"forward", {"Forward", "正向"}}, {"reverse", {"Reverse", "反向"}}, {"chinese", {"Chinese", "中文"}},
    {"english", {"English", "英文"}}, {"enable", {"Enable", "启用"}},   {"disable", {"Disable", "禁用"}},
};

const char* Say(bool english, const Text& text) { return english ? text.english : text.chinese; }

const char* ButtonShown(bool english, const std::string& word) {
  for (const ButtonWord& b : kButtonWords)
    if (word == b.word) return Say(english, b.shown);
  return word.c_str();
}

bool IsReset(const std::string& key) { return key == "factory-reset" || key == "advanced-reset"; }

// The printer's model's resolution, as the core counts it.
tool::Resolution ResolutionOf(pappl_printer_t* printer) {
  const char* driver = papplPrinterGetDriverName(printer);
  for (const Model& model : kModels)
    if (driver != nullptr && DriverName(model.name) == driver && model.dpi == 300)
      return {tool::kDotsPerMm300, tool::kClass300};
  return {tool::kDotsPerMm200, tool::kClass200};
}

// A command's bytes to the printer's device, as one exchange of its own; refused while a job has it.
int SendToDevice(pappl_printer_t* printer, const std::string& bytes) {
  pappl_device_t* device = papplPrinterOpenDevice(printer);
  if (device == nullptr) return tool::kErrNoPrinter;
  const bool written = papplDeviceWrite(device, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  papplDeviceFlush(device);
  papplPrinterCloseDevice(printer);
  return written ? 0 : tool::kErrWriteData;
}

// The page's language: the switch's choice, else the first language the browser asks for.
bool EnglishFor(pappl_client_t* client, const char* asked) {
  if (asked != nullptr) return std::strcmp(asked, "zh") != 0;
  const char* accept = httpGetField(papplClientGetHTTP(client), HTTP_FIELD_ACCEPT_LANGUAGE);
  return accept == nullptr || std::strncmp(accept, "zh", 2) != 0;
}

void Escaped(pappl_client_t* client, const std::string& text) { papplClientHTMLEscape(client, text.c_str(), 0); }

// The printer's section in the settings file: its name, with the characters that would end a section header
// or start a key (']', '[', '=', ';') and control characters read as '_', so that no printer name can break the
// file or reach another printer's values.
std::string SectionName(pappl_printer_t* printer) {
  const char* name = papplPrinterGetName(printer);
  std::string section = name != nullptr ? name : "";
  for (char& c : section)
    if (c == ']' || c == '[' || c == '=' || c == ';' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '_';
  return section;
}

// One option's form: its name, help text, stored value, value fields and buttons.
void OptionForm(pappl_client_t* client, const std::string& action, const OptionView& o, bool english) {
  papplClientHTMLPuts(client, "<div class=\"kv-option\" style=\"border-top:1px solid #ccc;padding:0.5em 0\">\n<h3>");
  Escaped(client, o.name);
  papplClientHTMLPuts(client, "</h3>\n<p>");
  Escaped(client, o.help);
  papplClientHTMLPuts(client, "</p>\n");
  papplClientHTMLStartForm(client, action.c_str(), false);
  papplClientHTMLPrintf(client, "<input type=\"hidden\" name=\"lang\" value=\"%s\">", english ? "en" : "zh");
  papplClientHTMLPuts(client, "<input type=\"hidden\" name=\"option\" value=\"");
  Escaped(client, o.key);
  papplClientHTMLPuts(client, "\">\n");
  const bool stored_shown = o.field != tool::ValueField::Off;
  if (stored_shown) {
    papplClientHTMLPrintf(client, "<p>%s: <span class=\"kv-stored\" id=\"stored-", Say(english, kStored));
    Escaped(client, o.key);
    papplClientHTMLPuts(client, "\">");
    const bool none = o.stored.find_first_not_of(',') == std::string::npos;  // network: three empty texts
    Escaped(client, none ? Say(english, kNone) : o.stored);
    papplClientHTMLPuts(client, "</span></p>\n");
  }
  if (o.field == tool::ValueField::Network) {
    std::vector<std::string> parts(1);
    for (char c : o.stored) {
      if (c == ',') {
        parts.emplace_back();
      } else {
        parts.back().push_back(c);
      }
    }
    parts.resize(3);
    const char* names[] = {"ip", "mask", "gateway"};
    for (int i = 0; i < 3; ++i) {
      papplClientHTMLPrintf(client, "<label>%s <input name=\"%s\" maxlength=\"15\" size=\"15\" value=\"",
                            Say(english, kNetworkParts[i]), names[i]);
      Escaped(client, parts[static_cast<std::size_t>(i)]);
      papplClientHTMLPuts(client, "\"></label> ");
    }
  } else if (stored_shown) {
    papplClientHTMLPrintf(client, "<input name=\"value\" maxlength=\"32\" size=\"12\" title=\"%s\" value=\"",
                          o.shape.c_str());
    Escaped(client, o.stored);
    papplClientHTMLPuts(client, "\"> ");
  }
  if (IsReset(o.key))
    papplClientHTMLPrintf(client,
                          "<label><input type=\"checkbox\" name=\"confirm\" value=\"yes\" required> %s</label> ",
                          Say(english, kConfirm));
  if (o.buttons.empty()) {
    papplClientHTMLPrintf(client, "<input type=\"submit\" value=\"%s\">", Say(english, kSet));
  } else {
    for (const std::string& word : o.buttons)
      papplClientHTMLPrintf(client, "<button type=\"submit\" name=\"button\" value=\"%s\">%s</button> ", word.c_str(),
                            ButtonShown(english, word));
  }
  papplClientHTMLPuts(client, "</form></div>\n");
}

// Sets the posted option through the core; the message the page shows, and whether it is a refusal.
std::string SetPosted(pappl_printer_t* printer, bool english, int num_form, cups_option_t* form, bool* refused) {
  const char* option = cupsGetOption("option", num_form, form);
  const std::string key = option != nullptr ? option : "";
  const bool confirmed = IsReset(key) && cupsGetOption("confirm", num_form, form) != nullptr &&
                         std::strcmp(cupsGetOption("confirm", num_form, form), "yes") == 0;
  if (IsReset(key) && !confirmed) {
    *refused = true;
    return Say(english, kConfirmFirst);
  }
  std::string value;
  bool has_value = true;
  const char* ip = cupsGetOption("ip", num_form, form);
  const char* mask = cupsGetOption("mask", num_form, form);
  const char* gateway = cupsGetOption("gateway", num_form, form);
  if (ip != nullptr || mask != nullptr || gateway != nullptr) {
    has_value = ip != nullptr && mask != nullptr && gateway != nullptr;
    if (has_value) value = std::string(ip) + ',' + mask + ',' + gateway;
  } else if (const char* button = cupsGetOption("button", num_form, form)) {
    value = button;
  } else if (const char* typed = cupsGetOption("value", num_form, form)) {
    value = typed;
  } else {
    has_value = false;
  }
  std::lock_guard<std::mutex> hold(SettingsLock());
  tool::ToolProcess process{tool::Settings(SettingsFolder()), static_cast<std::uint16_t>(english ? 1 : 0)};
  process.settings.SetReadOnly(true);
  const OwnPrinter own{SectionName(printer), ResolutionOf(printer),
                       [printer](const std::string& bytes) { return SendToDevice(printer, bytes); }};
  std::ostringstream err;
  const int code = tool::SetOwnPrinterOption(process, own, key, has_value ? &value : nullptr, confirmed, err);
  *refused = code != 0;
  return code == 0 ? Say(english, kSent) : err.str();
}

bool SettingsPage(pappl_client_t* client, void*) {
  pappl_printer_t* printer = PrinterOfPage(client);
  if (printer == nullptr) return false;
  if (!papplClientHTMLAuthorize(client)) return true;

  http_t* http = papplClientGetHTTP(client);
  const bool post = papplClientGetMethod(client) == HTTP_STATE_POST;
  if (post) {
    const off_t length = httpGetLength2(http);
    if (length < 0 || length > kMaxFormBytes) {
      papplClientRespond(client, HTTP_STATUS_REQUEST_TOO_LARGE, nullptr, nullptr, 0, 0);
      return true;
    }
  }
  cups_option_t* form = nullptr;
  const int num_form = papplClientGetForm(client, &form);
  const bool english = EnglishFor(client, cupsGetOption("lang", num_form, form));
  std::string message;
  bool refused = false;
  if (post) {
    if (!papplClientIsValidForm(client, num_form, form)) {
      message = Say(english, kBadSession);
      refused = true;
    } else {
      message = SetPosted(printer, english, num_form, form, &refused);
    }
  }
  cupsFreeOptions(num_form, form);

  std::vector<OptionView> options;
  {
    std::lock_guard<std::mutex> hold(SettingsLock());
    tool::ToolProcess process{tool::Settings(SettingsFolder()), static_cast<std::uint16_t>(english ? 1 : 0)};
    process.settings.SetReadOnly(true);
    const OwnPrinter own{SectionName(printer), ResolutionOf(printer), nullptr};
    options = tool::DescribeOwnPrinterOptions(process, own);
  }

  char path[256];
  papplPrinterGetPath(printer, "kvsettings", path, sizeof path);
  papplClientHTMLPrinterHeader(client, printer, Say(english, kTitle), 0, nullptr, nullptr);
  papplClientHTMLPrintf(client,
                        "<div class=\"row\"><div class=\"col-12\"><p lang=\"%s\">"
                        "<a href=\"%s?lang=en\">English</a> | <a href=\"%s?lang=zh\">中文</a></p>\n",
                        english ? "en" : "zh", path, path);
  if (!message.empty()) {
    papplClientHTMLPrintf(client, "<div class=\"banner\" id=\"kv-message\" data-refused=\"%s\">",
                          refused ? "yes" : "no");
    Escaped(client, message);
    papplClientHTMLPuts(client, "</div>\n");
  }
  for (const OptionView& o : options) OptionForm(client, path, o, english);
  papplClientHTMLPuts(client, "</div></div>\n");
  papplClientHTMLPrinterFooter(client);
  return true;
}

}  // namespace

void SetSettingsFolder(const std::string& folder) { SettingsFolder() = folder; }

void AddPrinterPages(pappl_printer_t* printer, void*) {
  AddPrinterPage(printer, "kvsettings", "text/html", SettingsPage);
  char path[256];
  papplPrinterGetPath(printer, "kvsettings", path, sizeof path);
  papplPrinterAddLink(printer, "Label settings", path, PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS);
  AddPreviewPages(printer);
}

}  // namespace kv::printer
