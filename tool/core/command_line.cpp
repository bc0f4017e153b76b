#include "command_line.h"

#include <cstring>
#include <string>
#include <vector>

#include "headless_view.h"
#include "kv/platform/spooler.h"
#include "kvtaglib.h"
#include "main_dialog.h"
#include "resources/layouts.h"
#include "value_checks.h"

namespace kv::tool {

namespace {

enum Exit { kDone = 0, kFailed = 1, kBadArgument = 2 };

struct Text {
  const char* english;
  const char* chinese;
};

constexpr Text kUsage = {
    "Usage: kvpanel [--language en|zh] COMMAND\n"
    "  --list                          the label printers: name, on-line or off-line, resolution\n"
    "  --status NAME                   one printer: exit 0 on line, 1 off line, 2 unknown\n"
    "  --options                       the options and the keys --set takes\n"
    "  --printer NAME --set OPTION [VALUE]\n"
    "                                  sends one option's command and stores its value, as Set does\n"
    "  --printer NAME --reset --yes    Advanced Reset\n"
    "  --printer NAME --test-file      sends TestCmd.txt of the current directory\n"
    "  --help (-h), --version\n"
    "NAME may also be socket://HOST[:PORT] or a device path. Without these arguments the dialog opens.\n",
    "用法：kvpanel [--language en|zh] 命令\n"
    "  --list                          标签打印机：名称、联机或脱机、分辨率\n"
    "  --status 名称                   一台打印机：联机退出码 0，脱机 1，未知 2\n"
    "  --options                       选项及 --set 所用的键\n"
    "  --printer 名称 --set 选项 [数值]\n"
    "                                  与“设置”按钮相同：发送该选项的指令并保存其数值\n"
    "  --printer 名称 --reset --yes    高级复位\n"
    "  --printer 名称 --test-file      发送当前目录中的 TestCmd.txt\n"
    "  --help (-h), --version\n"
    "名称也可以是 socket://主机[:端口] 或设备路径。不带这些参数时打开对话框。\n"};
constexpr Text kMsgBadArgument = {"Unknown or incomplete arguments: %s (see --help).",
                                  "无法识别或不完整的参数：%s（见 --help）。"};
constexpr Text kMsgNoPrinter = {"Name the printer with --printer.", "请用 --printer 指定打印机。"};
constexpr Text kMsgUnknownPrinter = {"Not a label printer of this machine: %s", "不是本机的标签打印机：%s"};
constexpr Text kMsgUnknownOption = {"Unknown option: %s (see --options).", "未知的选项：%s（见 --options）。"};
constexpr Text kMsgBadValue = {"Not a value this option takes: %s (see --options).",
                               "该选项不接受此数值：%s（见 --options）。"};
constexpr Text kMsgNeedsYes = {"Advanced Reset restores the printer's defaults: confirm it with --yes.",
                               "高级复位将恢复打印机的默认值：请加 --yes 确认。"};
constexpr Text kMsgNoTestFile = {"There is no TestCmd.txt in the current directory.", "当前目录中没有 TestCmd.txt。"};
constexpr Text kMsgNoSpooler = {"The print spooler cannot be reached: it is not running or does not answer.",
                                "无法连接打印后台程序：它未运行或没有响应。"};
constexpr Text kMsgNotStored = {"The command was sent, but the value could not be stored in %s.",
                                "指令已发送，但数值无法保存到 %s。"};

// The command line's names of the options.
struct ShortKey {
  OptionKind kind;
  const char* name;
};
constexpr ShortKey kShortKeys[] = {
    {OptionKind::FactoryReset, "factory-reset"},
    {OptionKind::Calibration, "calibration"},
    {OptionKind::SelfTest, "self-test"},
    {OptionKind::TearOff, "tear-off"},
    {OptionKind::Sensitivity, "sensitivity"},
    {OptionKind::ErrorRange, "error-range"},
    {OptionKind::Refractive, "refractive"},
    {OptionKind::Transmissive, "transmissive"},
    {OptionKind::Direction, "direction"},
    {OptionKind::InternalLanguage, "internal-language"},
    {OptionKind::LabelLength, "label-length"},
    {OptionKind::Peeler, "peeler"},
    {OptionKind::AdvancedReset, "advanced-reset"},
    {OptionKind::AutoCalibration, "auto-calibration"},
    {OptionKind::XOffset, "x-offset"},
    {OptionKind::YOffset, "y-offset"},
    {OptionKind::Darkness, "darkness"},
    {OptionKind::Speed, "speed"},
    {OptionKind::LengthMode, "length-mode"},
    {OptionKind::Network, "network"},
};

// The options that act through two buttons of their own: the word that names each button.
struct Button {
  OptionKind kind;
  const char* word;
  void (MainDialog::*handler)();
};
constexpr Button kButtons[] = {
    {OptionKind::Direction, "forward", &MainDialog::OnForward},
    {OptionKind::Direction, "reverse", &MainDialog::OnReverse},
    {OptionKind::InternalLanguage, "chinese", &MainDialog::OnChinese},
    {OptionKind::InternalLanguage, "english", &MainDialog::OnEnglish},
    {OptionKind::AutoCalibration, "enable", &MainDialog::OnEnable},
    {OptionKind::AutoCalibration, "disable", &MainDialog::OnDisable},
    {OptionKind::LengthMode, "enable", &MainDialog::OnEnable},
    {OptionKind::LengthMode, "disable", &MainDialog::OnDisable},
};

enum class Command { None, List, Status, Options, Set, Reset, TestFile, Help, Version };

// The arguments that Qt takes for itself (with one dash or two): those the dialog hands on to Qt, and
// the command line passes over. `value`: the next argument is the option's value (also "-name=value").
struct QtArgument {
  const char* name;
  bool value;
};
constexpr QtArgument kQtArguments[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"qwindowicon", true},
    {"qwindowtitle", true},
    {"session", true},
    {"display", true},
    {"geometry", true},
    {"name", true},
    {"visual", true},
    {"style", true},
    {"stylesheet", true},
    {"qmljsdebugger", true},
    {"reverse", false},
    {"widgetcount", false},
    {"sync", false},
    {"nograb", false},
    {"dograb", false},
};

// The Qt argument that `arg` is, or null. `joined` reports a value given after "=".
const QtArgument* QtArgumentOf(const char* arg, bool* joined) {
  if (arg == nullptr || arg[0] != '-') return nullptr;
  const char* name = arg[1] == '-' ? arg + 2 : arg + 1;
  const char* equals = std::strchr(name, '=');
  const std::size_t length = equals != nullptr ? static_cast<std::size_t>(equals - name) : std::strlen(name);
  for (const QtArgument& q : kQtArguments) {
    if (std::strlen(q.name) == length && std::strncmp(name, q.name, length) == 0 && (equals == nullptr || q.value)) {
      *joined = equals != nullptr;
      return &q;
    }
  }
  return nullptr;
}

struct Arguments {
  Command command = Command::None;
  std::string printer, status_name, option, value;
  bool has_value = false;
  bool yes = false;
  int language = -1;  // -1 as stored; 0 Chinese; 1 English
  std::string bad;    // the first argument that could not be read
};

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

Arguments Parse(int argc, const char* const* argv) {
  Arguments a;
  auto command = [&a](Command c, const std::string& arg) {
    if (a.command != Command::None && a.bad.empty()) a.bad = arg;
    a.command = c;
  };
  auto refuse = [&a](const std::string& arg) {
    if (a.bad.empty()) a.bad = arg;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] != nullptr ? argv[i] : "";
    const bool has_next = i + 1 < argc && argv[i + 1] != nullptr;
    const std::string next = has_next ? argv[i + 1] : "";
    bool joined = false;
    if (HoldsControlCharacter(arg)) {
      refuse(arg);  // no name, option or value of ours holds one
    } else if (const QtArgument* qt = QtArgumentOf(argv[i], &joined)) {
      if (qt->value && !joined) ++i;  // Qt's own, with its value: not the command line's
    } else if (arg == "--list") {
      command(Command::List, arg);
    } else if (arg == "--options") {
      command(Command::Options, arg);
    } else if (arg == "--reset") {
      command(Command::Reset, arg);
    } else if (arg == "--test-file") {
      command(Command::TestFile, arg);
    } else if (arg == "--help" || arg == "-h") {
      command(Command::Help, arg);
    } else if (arg == "--version") {
      command(Command::Version, arg);
    } else if (arg == "--yes") {
      a.yes = true;
    } else if (arg == "--status" && has_next) {
      command(Command::Status, arg);
      a.status_name = argv[++i];
    } else if (arg == "--printer" && has_next) {
      a.printer = argv[++i];
    } else if (arg == "--language" && (next == "en" || next == "zh")) {
      a.language = next == "en" ? 1 : 0;
      ++i;
    } else if (arg == "--set" && has_next) {
      command(Command::Set, arg);
      a.option = argv[++i];
      // A value is any next argument that is not one of ours (a negative number is a value).
      if (i + 1 < argc && argv[i + 1] != nullptr && std::strncmp(argv[i + 1], "--", 2) != 0) {
        a.value = argv[++i];
        a.has_value = true;
      }
    } else {
      refuse(arg);
    }
  }
  for (const std::string* text : {&a.printer, &a.status_name, &a.option, &a.value})
    if (HoldsControlCharacter(*text)) refuse(*text);
  if (a.command == Command::None && a.bad.empty()) a.bad = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  return a;
}

// A text of the command line in the language.
std::string Say(Language language, const Text& text, const std::string& detail) {
  std::string line = language == Language::English ? text.english : text.chinese;
  const std::size_t at = line.find("%s");
  if (at != std::string::npos) line.replace(at, 2, detail);
  return line;
}

// An argument as a message shows it: control characters as "?", so that it cannot rewrite the terminal.
std::string Shown(std::string text) {
  for (char& c : text)
    if (IsControlCharacter(c)) c = '?';
  return text;
}

// Writes a message of the command line, in the language, to `err`; returns kBadArgument.
int Refuse(std::ostream& err, Language language, const Text& text, const std::string& detail) {
  err << Say(language, text, Shown(detail)) << '\n';
  return kBadArgument;
}

class Runner {
 public:
  Runner(ToolProcess& process, Language language, bool yes, std::ostream& out, std::ostream& err,
         const OwnPrinter* own_printer = nullptr)
      : language_(language),
        process_(process),
        view_(MainDialogLayout(language), yes),
        dialog_(view_, process),
        out_(out),
        err_(err),
        own_printer_(own_printer) {
    dialog_.UseOwnPrinter(own_printer);
  }

  bool Start() {
    const bool started = dialog_.OnInitDialog() && !view_.exited();
    ReportMessages();
    return started;
  }

  // False, with its message, when the last listing found no spooler: the printer list then holds
  // only the entries the dialog starts with, which are no printers of this machine.
  bool SpoolerReached() {
    if (dialog_.LastListing() != plat::PrinterListing::Unreachable) return true;
    ReportMessages();
    Refuse(kMsgNoSpooler, "");
    return false;
  }

  int List() {
    std::string lines;
    for (int i = 0; i < view_.EntryCount(kIdPrinterList); ++i) {
      const std::string name = view_.EntryText(kIdPrinterList, i);
      view_.Select(kIdPrinterList, i);
      const bool online = dialog_.UpdatePrinterStatus() == 1;
      if (!SpoolerReached()) return kBadArgument;
      lines += name + '\t' + (online ? "on-line" : "off-line") + '\t' + std::to_string(DotsPerInch(name)) + " dpi\n";
    }
    out_ << lines;
    return ReportMessages() ? kFailed : kDone;
  }

  int Status(const std::string& name) {
    const int index = FindPrinter(name);
    if (index < 0) {
      out_ << "unknown\n";
      return kBadArgument;
    }
    view_.Select(kIdPrinterList, index);
    const bool online = dialog_.UpdatePrinterStatus() == 1;
    if (!SpoolerReached()) return kBadArgument;
    out_ << (online ? "on-line" : "off-line") << '\n';
    ReportMessages();
    return online ? 0 : 1;
  }

  void Options() {
    for (int i = 0; i < kOptionCount; ++i) {
      const OptionInfo* option = OptionAt(i);
      out_ << ShortKeyOf(option->kind) << '\t' << (option->key[0] != '\0' ? option->key : "-") << '\t'
           << ToolString(Language::English, kStrOptionFirst + i) << '\t' << ValuesOf(*option) << '\n';
    }
  }

  // Selects the printer as the user would in the list; a printer addressed directly joins the list.
  bool SelectPrinter(const std::string& name) {
    const bool direct = plat::spool_is_direct_name(name.c_str());
    if (!direct && own_printer_ == nullptr && !SpoolerReached()) return false;
    int index = FindPrinter(name);
    if (index < 0 && direct) {
      view_.AddEntry(kIdPrinterList, name);
      index = view_.FindEntry(kIdPrinterList, name);
    }
    if (index < 0) return Refuse(kMsgUnknownPrinter, name) == kDone;
    view_.Select(kIdPrinterList, index);
    dialog_.OnPrinterSelected();
    ReportMessages();
    return true;
  }

  int Set(const Arguments& a) {
    const int index = FindOption(a.option);
    if (index < 0) return Refuse(kMsgUnknownOption, a.option);
    const OptionInfo& option = *OptionAt(index);
    view_.Select(kIdOptionList, index);
    dialog_.OnOptionSelected();
    const std::string shown_value = a.has_value ? a.value : "(none)";

    switch (option.field) {
      case ValueField::Mm:
      case ValueField::Integer:
      case ValueField::IntegerMm: {
        if (!a.has_value || !AcceptsValue(a.value, option)) return Refuse(kMsgBadValue, shown_value);
        view_.SetText(kIdValue, a.value);
        process_.settings.SetReadOnly(false);
        dialog_.OnSet();
        break;
      }
      case ValueField::Network: {
        if (!a.has_value || !CheckOf(option.field)->accepts(a.value)) return Refuse(kMsgBadValue, shown_value);
        std::vector<std::string> parts = Split(a.value, ',');
        view_.SetText(kIdIpAddress, parts[0]);
        view_.SetText(kIdSubnetMask, parts[1]);
        view_.SetText(kIdGateway, parts[2]);
        process_.settings.SetReadOnly(false);
        dialog_.OnSet();
        break;
      }
      case ValueField::Off: {
        const Button* button = a.has_value && !a.value.empty() ? FindButton(option.kind, a.value) : nullptr;
        const bool has_buttons = FindButton(option.kind, "") != nullptr;
        if (has_buttons != (button != nullptr) || (!has_buttons && a.has_value))
          return Refuse(kMsgBadValue, shown_value);
        if (option.kind == OptionKind::AdvancedReset && !a.yes) return Refuse(kMsgNeedsYes, "");
        process_.settings.SetReadOnly(false);
        if (button != nullptr) {
          (dialog_.*(button->handler))();
        } else {
          dialog_.OnSet();
        }
        break;
      }
    }
    const bool failed = ReportMessages();
    if (dialog_.TakeStoreFailed()) {
      // The printer has the command; the settings file does not have the value.
      err_ << Say(language_, kMsgNotStored, process_.settings.SettingsPath()) << '\n';
      return kFailed;
    }
    return failed ? kFailed : kDone;
  }

  int SendTestFile() {
    if (!view_.Enabled(kIdSendCommand)) return Refuse(kMsgNoTestFile, "");
    dialog_.OnSendTestCommand();
    return ReportMessages() ? kFailed : kDone;
  }

  int Refuse(const Text& text, const std::string& detail) { return tool::Refuse(err_, language_, text, detail); }

  // The options as a page shows them, each with the value the dialog's field shows as stored.
  std::vector<OptionView> Describe() {
    std::vector<OptionView> views;
    for (int i = 0; i < kOptionCount; ++i) {
      const OptionInfo* option = OptionAt(i);
      OptionView v;
      v.key = ShortKeyOf(option->kind);
      v.name = ToolString(language_, kStrOptionFirst + i);
      v.help = ToolString(language_, HelpString(option->kind));
      v.field = option->field;
      if (const ValueCheck* check = CheckOf(option->field)) v.shape = check->shape;
      for (const Button& b : kButtons)
        if (b.kind == option->kind) v.buttons.push_back(b.word);
      view_.Select(kIdOptionList, i);
      dialog_.OnOptionSelected();
      v.stored = option->field == ValueField::Network
                     ? view_.Text(kIdIpAddress) + ',' + view_.Text(kIdSubnetMask) + ',' + view_.Text(kIdGateway)
                     : view_.Text(kIdValue);
      views.push_back(std::move(v));
    }
    return views;
  }

 private:
  // The messages the dialog showed, on standard error; true when there have been any in this run
  // (a message is the dialog's way of saying that the printer or the spooler failed).
  bool ReportMessages() {
    const std::vector<std::string> messages = view_.TakeMessages();
    for (const std::string& m : messages) err_ << m << '\n';
    reported_ = reported_ || !messages.empty();
    return reported_;
  }

  // The printer list's entry of this name, also in its queue spelling ("_" for a space).
  int FindPrinter(const std::string& name) const {
    std::string spaced = name;
    for (char& c : spaced)
      if (c == '_') c = ' ';
    const int index = view_.FindEntry(kIdPrinterList, name);
    return index >= 0 ? index : view_.FindEntry(kIdPrinterList, spaced);
  }

  static int DotsPerInch(const std::string& printer) {
    return ResolutionOf(printer).resolution_class == kClass300 ? 300 : 200;
  }

  static const char* ShortKeyOf(OptionKind kind) {
    for (const ShortKey& k : kShortKeys)
      if (k.kind == kind) return k.name;
    return "";
  }

  // An option by its short key, its stored key or its name in either language.
  static int FindOption(const std::string& word) {
    for (int i = 0; i < kOptionCount; ++i) {
      const OptionInfo* option = OptionAt(i);
      if (EqualIgnoringCase(word, ShortKeyOf(option->kind)) ||
          (option->key[0] != '\0' && EqualIgnoringCase(word, option->key)) ||
          EqualIgnoringCase(word, ToolString(Language::English, kStrOptionFirst + i)) ||
          word == ToolString(Language::Chinese, kStrOptionFirst + i))
        return i;
    }
    return -1;
  }

  // The button of the option that the word names; with an empty word, any button of the option.
  static const Button* FindButton(OptionKind kind, const std::string& word) {
    for (const Button& b : kButtons)
      if (b.kind == kind && (word.empty() || EqualIgnoringCase(word, b.word))) return &b;
    return nullptr;
  }

  static std::string ValuesOf(const OptionInfo& option) {
    if (const ValueCheck* check = CheckOf(option.field)) return check->shape;
    std::string words;
    for (const Button& b : kButtons)
      if (b.kind == option.kind) words += (words.empty() ? "" : "|") + std::string(b.word);
    return words.empty() ? "-" : words;
  }

  // A value of the option's shape that the value field takes without a range rule clearing it: no
  // more characters than it holds, and a number within the option's range.
  bool AcceptsValue(const std::string& text, const OptionInfo& option) const {
    if (text.size() > kValueChars || !CheckOf(option.field)->accepts(text)) return false;
    const bool in_mm = option.field != ValueField::Integer;
    return ReadSetValue(text, in_mm, option.kind, dialog_.DotsPerMm(), dialog_.ResolutionClass()).in_range;
  }

  static std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) {
      if (c == separator) {
        parts.emplace_back();
      } else {
        parts.back() += c;
      }
    }
    return parts;
  }

  const Language language_;
  ToolProcess& process_;
  HeadlessView view_;
  MainDialog dialog_;
  std::ostream& out_;
  std::ostream& err_;
  const OwnPrinter* own_printer_;
  bool reported_ = false;
};

}  // namespace

int SetOwnPrinterOption(ToolProcess& process, const OwnPrinter& printer, const std::string& option,
                        const std::string* value, bool confirmed, std::ostream& err) {
  const Language language = LanguageOf(process.display_language);
  for (const std::string* text : {&printer.name, &option, value})
    if (text != nullptr && HoldsControlCharacter(*text)) return Refuse(err, language, kMsgBadArgument, *text);
  std::ostream null_out(nullptr);
  Runner runner(process, language, confirmed, null_out, err, &printer);
  if (!runner.Start()) return kFailed;
  if (!runner.SelectPrinter(printer.name)) return kBadArgument;
  Arguments set;
  set.command = Command::Set;
  set.printer = printer.name;
  set.option = option;
  set.has_value = value != nullptr;
  if (value != nullptr) set.value = *value;
  set.yes = confirmed;
  return runner.Set(set);
}

std::vector<OptionView> DescribeOwnPrinterOptions(ToolProcess& process, const OwnPrinter& printer) {
  std::ostream null_out(nullptr);
  Runner runner(process, LanguageOf(process.display_language), false, null_out, null_out, &printer);
  if (!runner.Start() || !runner.SelectPrinter(printer.name)) return {};
  return runner.Describe();
}

bool WantsCommandLine(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr || argv[i][0] != '-') continue;
    bool joined = false;
    if (const QtArgument* qt = QtArgumentOf(argv[i], &joined)) {
      if (qt->value && !joined) ++i;
      continue;
    }
    return true;  // one of ours, or an argument that neither we nor Qt take: the command line refuses it
  }
  return false;
}

int RunCommandLine(int argc, const char* const* argv, unsigned system_language_id, std::ostream& out,
                   std::ostream& err) {
  const Arguments a = Parse(argc, argv);
  // Help, the version and a refusal of the arguments touch no file: their language is the one asked
  // for, else the system's.
  const Language asked = a.language >= 0 ? LanguageOf(static_cast<std::uint16_t>(a.language))
                                         : (system_language_id == 2052 ? Language::Chinese : Language::English);
  if (!a.bad.empty()) {
    Refuse(err, asked, kMsgBadArgument, a.bad);
    err << (asked == Language::English ? kUsage.english : kUsage.chinese);
    return kBadArgument;
  }
  if (a.command == Command::Help) {
    out << (asked == Language::English ? kUsage.english : kUsage.chinese);
    return kDone;
  }
  if (a.command == Command::Version) {
    out << "kvpanel " << KVTAGLIB_VERSION << '\n';
    return kDone;
  }

  // Everything else starts the program as the dialog does (the settings file, the display language).
  // The settings only read until a value is about to be stored (Runner::Set): a command that stores
  // nothing, or is refused, never creates or writes the file.
  ToolProcess process = StartProgram(system_language_id, true);
  if (a.language >= 0) process.display_language = static_cast<std::uint16_t>(a.language);
  Runner runner(process, LanguageOf(process.display_language), a.yes || a.command == Command::TestFile, out, err);
  if (a.command == Command::Options) {
    runner.Options();
    return kDone;
  }
  // A spooler that cannot be reached is said after one bounded wait, not after each of the dialog's
  // listings in turn.
  const bool needs_spooler = a.command == Command::List || a.command == Command::Status ||
                             (!a.printer.empty() && !plat::spool_is_direct_name(a.printer.c_str()));
  std::vector<plat::PrinterRecord> records;
  if (needs_spooler && plat::printers_list(records) == plat::PrinterListing::Unreachable)
    return runner.Refuse(kMsgNoSpooler, "");
  if (!runner.Start()) return kFailed;
  if (a.command == Command::List) return runner.List();
  if (a.command == Command::Status) return runner.Status(a.status_name);
  if (a.printer.empty()) return runner.Refuse(kMsgNoPrinter, "");
  if (!runner.SelectPrinter(a.printer)) return kBadArgument;
  if (a.command == Command::TestFile) return runner.SendTestFile();
  Arguments set = a;
  if (a.command == Command::Reset) {
    set.option = "advanced-reset";
    set.has_value = false;
  }
  return runner.Set(set);
}

}  // namespace kv::tool
