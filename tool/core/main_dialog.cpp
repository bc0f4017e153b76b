#include "main_dialog.h"

#include <iterator>
#include <vector>

#include "codes.h"
#include "kv/platform/files.h"
#include "kv/platform/spooler.h"
#include "value_checks.h"

namespace kv::tool {

namespace {

// The printer that start-up selects when the list has it.
constexpr char kDefaultPrinter[] = "KIRV R5";
// Most characters of the printer list's text that name the printer to send to.
constexpr std::size_t kPrinterNameChars = 254;
// Most characters of a stored network text that the option shows.
constexpr int kStoredTextChars = 99;
constexpr std::size_t kDirectoryRoom = 260;

constexpr int kNetworkEdits[] = {kIdIpAddress, kIdSubnetMask, kIdGateway, kIdPortNumber};
constexpr int kNetworkCaptions[] = {kIdIpCaption, kIdMaskCaption, kIdGatewayCaption, kIdPortCaption};
constexpr int kOptionButtons[] = {kIdForward, kIdReverse, kIdChinese, kIdEnglish, kIdEnable, kIdDisable};

std::string WithoutControlCharacters(const std::string& text) {
  std::string kept;
  for (char c : text)
    if (!IsControlCharacter(c)) kept += c;
  return kept;
}

}  // namespace

MainDialog::MainDialog(View& view, ToolProcess& process)
    : view_(view), process_(process), language_(LanguageOf(process.display_language)) {}

// ---- start-up, display language, close --------------------------------------------------------

bool MainDialog::OnInitDialog() {
  const std::string about = Str(kStrAboutMenu);
  if (!about.empty()) view_.AppendSystemMenuItem(kCommandAbout, about);

  if (option_list_pending_) {
    for (int id = kStrOptionFirst; id <= kStrOptionLast; ++id) view_.AddEntry(kIdOptionList, Str(id));
    option_list_pending_ = false;
  }
  data_.printer_name = kDefaultPrinter;
  view_.Select(kIdOptionList, 0);
  data_.option_text = view_.EntryText(kIdOptionList, 0);
  OnOptionSelected();
  OnLanguageSelected();
  if (own_printer_ != nullptr) {
    view_.ResetEntries(kIdPrinterList);
    view_.AddEntry(kIdPrinterList, own_printer_->name);
    view_.Select(kIdPrinterList, 0);
    LoadDialogData(view_, data_);
    SaveDialogData(view_, data_);
    OnPrinterSelected();
    english_messages_ = language_ == Language::English;
    return true;  // the front end sends the commands: no library, no test file, no status timer
  }
  FillPrinterList();
  CheckOptionalFiles();
  LoadDialogData(view_, data_);
  SaveDialogData(view_, data_);
  view_.SetVisible(kIdOffLinePicture, false);
  view_.SetVisible(kIdOnLinePicture, false);
  OnPrinterSelected();

  if (!library_.Load(kLabelLibraryFile)) {
    view_.ShowMessage(kMsgLibraryMissing, kProgramName);
    view_.ExitProgram(0);
    return false;
  }
  library_.InstallHostHandlers(&MainDialog::OnLibraryMessage, &MainDialog::OnLibraryRepaint, this);
  // The library's messages speak the dialog's language where the library lets them (Linux).
  const bool english = language_ == Language::English;
  english_messages_ =
      library_.SetMessageLanguage(english ? LabelLibrary::kMessagesEnglish : LabelLibrary::kMessagesChinese) && english;

  background_pending_ = true;
  view_.StartTimer(kTimerStatus, kTimerStatusPeriodMs);
  return true;
}

void MainDialog::OnLanguageSelected() {
  int sel = view_.Selection(kIdLanguageList);
  if (sel == -1) {
    int stored = 0;
    sel =
        process_.settings.ReadSettingInt(kSectionSetting, kKeyDisplayLan, kSettingsFileName, &stored) > 0 ? stored : 0;
  }
  view_.Select(kIdLanguageList, sel);
  process_.settings.WriteSetting(kSectionSetting, kKeyDisplayLan, std::to_string(sel).c_str());
  SaveDialogData(view_, data_);
  // DisplayLanguage holds the value's low 16 bits, as start-up took them: compared in full, a stored
  // value beyond them would differ at every start and relaunch the program without end.
  const auto chosen = static_cast<std::uint16_t>(sel);
  if (chosen != process_.display_language) {
    process_.display_language = chosen;
    process_.restart_pending = true;
    view_.PostClose();
  }
}

void MainDialog::OnClose() {
  library_.Unload();
  if (process_.restart_pending) {
    process_.restart_pending = false;
    view_.Relaunch();
  }
}

void MainDialog::OnAbout() { view_.ShowAbout(); }

bool MainDialog::TakeBackgroundPending() {
  const bool pending = background_pending_;
  background_pending_ = false;
  return pending;
}

// ---- options ----------------------------------------------------------------------------------

void MainDialog::ShowOptionButtons(int first, int second) {
  view_.SetVisible(first, true);
  view_.SetVisible(second, true);
  view_.SetVisible(kIdSet, false);
}

void MainDialog::ShowNetworkEdits(bool shown) {
  for (int id : kNetworkEdits) view_.SetVisible(id, shown);
  for (int id : kNetworkCaptions) view_.SetVisible(id, shown);
  view_.SetEnabled(kIdPortNumber, false);  // the port is shown for reference only
}

int MainDialog::ReadStoredInt(const char* key) const {
  int stored = 0;  // a missing key shows 0
  process_.settings.ReadSettingInt(data_.printer_name.c_str(), key, kSettingsFileName, &stored);
  return stored;
}

void MainDialog::OnOptionSelected() {
  value_in_mm_ = false;
  has_value_field_ = true;
  view_.SetVisible(kIdSet, true);
  view_.SetVisible(kIdValue, true);
  view_.SetEnabled(kIdValue, true);
  view_.SetVisible(kIdValueCaption, true);
  ShowNetworkEdits(false);
  for (int id : kOptionButtons) view_.SetVisible(id, false);

  const int index = view_.Selection(kIdOptionList);
  const OptionInfo* option = OptionAt(index);
  if (option == nullptr) {
    // A text typed into the option list selects no option: Set then sends nothing.
    option_kind_ = OptionKind::None;
    view_.SetText(kIdValue, "");
    SaveDialogData(view_, data_);
    return;
  }
  data_.option_text = view_.EntryText(kIdOptionList, index);
  data_.help_text = Str(HelpString(option->kind));
  LoadDialogData(view_, data_);

  switch (option->field) {
    case ValueField::Mm: {
      int stored = ReadStoredInt(option->key);
      if (option->kind == OptionKind::XOffset) stored = DisplayXOffset(stored, resolution_class_);
      view_.SetText(kIdValue, FormatFixed3(stored / dots_per_mm_));
      value_in_mm_ = true;
      break;
    }
    case ValueField::Integer:
      view_.SetText(kIdValue, std::to_string(ReadStoredInt(option->key)));
      break;
    case ValueField::IntegerMm:
      view_.SetText(kIdValue, std::to_string(ReadStoredInt(option->key)));
      value_in_mm_ = true;
      break;
    case ValueField::Off:
      view_.SetEnabled(kIdValue, false);
      view_.SetText(kIdValue, "");
      has_value_field_ = false;
      if (option->kind == OptionKind::Direction) ShowOptionButtons(kIdForward, kIdReverse);
      if (option->kind == OptionKind::InternalLanguage) ShowOptionButtons(kIdChinese, kIdEnglish);
      if (option->kind == OptionKind::AutoCalibration || option->kind == OptionKind::LengthMode)
        ShowOptionButtons(kIdEnable, kIdDisable);
      break;
    case ValueField::Network: {
      view_.SetEnabled(kIdValue, false);
      view_.SetVisible(kIdValue, false);
      view_.SetVisible(kIdValueCaption, false);
      ShowNetworkEdits(true);
      const char* section = data_.printer_name.c_str();
      process_.settings.ReadSettingText(section, kNetworkCommands[0].key, kStoredTextChars, &data_.ip_address);
      process_.settings.ReadSettingText(section, kNetworkCommands[1].key, kStoredTextChars, &data_.subnet_mask);
      process_.settings.ReadSettingText(section, kNetworkCommands[2].key, kStoredTextChars, &data_.gateway);
      process_.settings.ReadSettingText(section, kKeyPortNumber, kStoredTextChars, &data_.port_number);
      LoadDialogData(view_, data_);
      view_.SetText(kIdValue, "");
      break;
    }
  }
  option_kind_ = option->kind;
  if (value_in_mm_) view_.SetText(kIdValue, view_.Text(kIdValue) + "mm");
  SaveDialogData(view_, data_);
}

void MainDialog::OnSet() {
  if (option_kind_ == OptionKind::Network) {
    SetNetwork();
    return;
  }
  const OptionInfo* option = OptionOfKind(option_kind_);
  if (option == nullptr) return;
  const SetValue v = ReadSetValue(view_.Text(kIdValue), value_in_mm_, option_kind_, dots_per_mm_, resolution_class_);
  value_text_ = std::to_string(v.value);

  std::string command;
  if (option_kind_ == OptionKind::AdvancedReset) {
    if (!view_.AskYesNo(Str(kStrAskAdvancedReset), kProgramName, BoxIcon::Information)) return;
    command = option->command.text;
  } else {
    command = ComposeSetCommand(option_kind_, v.value);
    if (command.empty()) return;  // the option acts through its own buttons
  }
  if (has_value_field_) view_.SetText(kIdValue, EchoText(v, value_in_mm_, option_kind_, dots_per_mm_));
  config_command_ = command;
  if (SendConfigCommand(option->key, option_kind_) < 0) {
    // The spooler refused the command: nothing was sent and nothing stored, so the user is told and
    // the field shows the stored value again instead of the echo of a value never set.
    view_.ShowMessage(Str(kStrCommandRefused), kProgramName);
    SaveDialogData(view_, data_);  // the value is read back for the printer the command was meant for
    OnOptionSelected();
  }
}

void MainDialog::SetNetwork() {
  SaveDialogData(view_, data_);
  const std::string* texts[] = {&data_.ip_address, &data_.subnet_mask, &data_.gateway};
  const std::size_t limits[] = {kIpAddressLimit, kSubnetMaskLimit, kGatewayLimit};
  for (std::size_t i = 0; i < 3; ++i) {
    // The edits' texts go into the command as they are, save control characters: a line break pasted
    // into an edit would end the command early and make the rest a command of its own.
    value_text_ = WithoutControlCharacters(texts[i]->substr(0, limits[i]));
    config_command_ = std::string(kNetworkCommands[i].text) + value_text_ + "\r\n";
    SendConfigCommand(kNetworkCommands[i].key, OptionKind::Network);
  }
  // The port number is stored only: the printer is opened, and nothing is sent.
  value_text_ = WithoutControlCharacters(data_.port_number.substr(0, kPortNumberLimit));
  config_command_.clear();
  SendConfigCommand(kKeyPortNumber, OptionKind::Network);
}

int MainDialog::SendButtonCommand(const char* command, const char* key) {
  config_command_ = command;
  return SendConfigCommand(key, option_kind_);
}

void MainDialog::OnForward() {
  value_text_ = "1";
  SendButtonCommand(kCmdForward, kKeyDirection);
}

void MainDialog::OnReverse() {
  value_text_ = "0";
  SendButtonCommand(kCmdReverse, kKeyDirection);
}

void MainDialog::OnChinese() { SendButtonCommand(kCmdPrinterChinese, ""); }

void MainDialog::OnEnglish() { SendButtonCommand(kCmdPrinterEnglish, ""); }

void MainDialog::OnEnable() {
  if (option_kind_ == OptionKind::AutoCalibration) SendButtonCommand(kCmdAutoCalibrationOn, "");
  if (option_kind_ == OptionKind::LengthMode) SendButtonCommand(kCmdLengthModeOn, "");
}

void MainDialog::OnDisable() {
  if (option_kind_ == OptionKind::AutoCalibration) SendButtonCommand(kCmdAutoCalibrationOff, "");
  if (option_kind_ == OptionKind::LengthMode) SendButtonCommand(kCmdLengthModeOff, "");
}

// ---- the configuration sender -----------------------------------------------------------------

int MainDialog::SendDocument(void* printer) const {
  static constexpr plat::SendCodes kCodes = {kErrNoPrinter, kErrStartDoc, kErrWriteData, kErrEndDoc};
  return plat::spool_send_raw(printer, kConfigJobName, config_command_.data(), config_command_.size(), kCodes);
}

int MainDialog::Store(const std::string& section, const char* key, const char* value) {
  const int written = process_.settings.WriteSetting(section.c_str(), key, value);
  if (written == 0) store_failed_ = true;
  return written;
}

bool MainDialog::TakeStoreFailed() {
  const bool failed = store_failed_;
  store_failed_ = false;
  return failed;
}

int MainDialog::StoreResetDefaults(const std::string& section) {
  const bool known_class = resolution_class_ == kClass200 || resolution_class_ == kClass300;
  int result = 0;
  for (std::size_t i = known_class ? 0 : kFirstClasslessDefault; i < std::size(kResetDefaults); ++i) {
    const ResetDefault& d = kResetDefaults[i];
    const int id = resolution_class_ == kClass300 ? d.string_300 : d.string_200;
    result = Store(section, d.key, Str(id).c_str());
  }
  return result;
}

int MainDialog::SendConfigCommand(const char* key, OptionKind kind) {
  if (key == nullptr) key = "";
  const std::string printer = view_.Text(kIdPrinterList).substr(0, kPrinterNameChars);
  if (own_printer_ != nullptr) {
    const int sent = config_command_.empty() ? 0 : own_printer_->send(config_command_);
    if (sent == kErrNoPrinter) {
      view_.ShowMessage(english_messages_ ? kMsgOpenPrinterFailedEnglish : kMsgOpenPrinterFailed, kProgramName);
      return 0;
    }
    if (sent != 0) return sent;
    return StoreSent(printer, key, kind);
  }
  plat::SpoolHandle handle = plat::spool_open(printer.c_str());
  if (handle == nullptr) {
    view_.ShowMessage(english_messages_ ? kMsgOpenPrinterFailedEnglish : kMsgOpenPrinterFailed, kProgramName);
    return 0;
  }
  const int sent = config_command_.empty() ? 0 : SendDocument(handle);
  // Every exchange closes the printer it opened, whatever became of the document.
  plat::spool_close(handle);
  if (sent != 0) return sent;
  return StoreSent(printer, key, kind);
}

int MainDialog::StoreSent(const std::string& printer, const char* key, OptionKind kind) {
  if (kind == OptionKind::FactoryReset) return 0;
  if (kind == OptionKind::AdvancedReset) return StoreResetDefaults(printer);
  if (key[0] == '\0') return 0;
  return Store(printer, key, value_text_.c_str());
}

// ---- printers and their status ----------------------------------------------------------------

void MainDialog::FillPrinterList() {
  std::vector<plat::PrinterRecord> records;
  if (!lister_.List(view_, records)) return;  // the list keeps what it had
  view_.ResetEntries(kIdPrinterList);
  for (const plat::PrinterRecord& record : records)
    if (BeginsWithFilterWord(record.driver)) view_.AddEntry(kIdPrinterList, record.name);
}

void MainDialog::OnPrinterSelected() {
  const int sel = view_.Selection(kIdPrinterList);
  if (sel >= 0) data_.printer_name = view_.EntryText(kIdPrinterList, sel);
  const Resolution resolution = own_printer_ != nullptr ? own_printer_->resolution : ResolutionOf(data_.printer_name);
  dots_per_mm_ = resolution.dots_per_mm;
  resolution_class_ = resolution.resolution_class;
  OnOptionSelected();
  LoadDialogData(view_, data_);
  if (own_printer_ == nullptr) UpdatePrinterStatus();
}

int MainDialog::UpdatePrinterStatus() {
  std::vector<plat::PrinterRecord> records;
  const bool listed = lister_.List(view_, records);
  return ShowStatus(listed, records) ? 1 : 0;
}

bool MainDialog::ShowStatus(bool listed, const std::vector<plat::PrinterRecord>& records) {
  const int sel = view_.Selection(kIdPrinterList);
  const std::string selected = sel >= 0 ? view_.EntryText(kIdPrinterList, sel) : std::string();
  bool online = false;
  if (listed) {
    for (const plat::PrinterRecord& record : records) {
      if (BeginsWithFilterWord(record.name) && record.name == selected && !record.offline) {
        online = true;
        break;
      }
    }
  }
  data_.status_text = Str(online ? kStrOnLine : kStrOffLine);
  view_.SetText(kIdStatusText, data_.status_text);
  view_.SetVisible(kIdOnLinePicture, online);
  view_.SetVisible(kIdOffLinePicture, !online);
  view_.RepaintStatusPictures();
  return online;
}

void MainDialog::OnTimer() {
  std::vector<plat::PrinterRecord> records;
  bool listed = false;
  // While the spooler has not answered, the status shows what it showed.
  if (lister_.ListWithin(view_, records, kTimerListingWait, &listed)) ShowStatus(listed, records);
}

// ---- the test command file --------------------------------------------------------------------

void MainDialog::CheckOptionalFiles() {
  char directory[kDirectoryRoom];
  const std::size_t n = plat::current_directory(directory, sizeof directory);
  const std::string working_directory(directory, n);
  view_.SetEnabled(kIdSendCommand, false);
  // The file that will be sent, by the name it is sent under; where the file system ignores case
  // (Windows) that is any spelling of it.
  const std::string path = working_directory + plat::kPathSeparator + kTestCommandFile;
  if (n > 0 && plat::file_exists(path.c_str())) view_.SetEnabled(kIdSendCommand, true);
}

void MainDialog::OnSendTestCommand() {
  const std::string prompt = Str(kStrAskSendTestFile);
  ConfirmAndSendFile(kTestCommandFile, prompt.c_str());
}

void MainDialog::ConfirmAndSendFile(const char* file_name, const char* prompt) {
  sent_bytes_ = 0;
  SaveDialogData(view_, data_);
  if (file_name == nullptr || prompt == nullptr) return;
  if (view_.AskYesNo(prompt, kProgramName, BoxIcon::None)) SendFileThroughLibrary(file_name);
}

int MainDialog::SendFileThroughLibrary(const char* file_name) {
  if (file_name == nullptr || !library_.complete()) return 0;
  // A printer that is already open or cannot be opened: the library has shown its message.
  if (library_.OpenPort(data_.printer_name.c_str()) != 0) return 0;
  library_.ClearTmpFile();
  if (library_.OurSendFileEx(file_name, 0, view_.NativeWindow(), &sent_bytes_) == 0) library_.KV_WritePrinter();
  library_.ClosePort();
  return 0;
}

void MainDialog::OnLibraryMessage(const char* text, void* user) {
  static_cast<MainDialog*>(user)->view_.ShowMessage(text != nullptr ? text : "", "");
}

void MainDialog::OnLibraryRepaint(void*, void* user) { static_cast<MainDialog*>(user)->view_.PaintNow(); }

}  // namespace kv::tool
