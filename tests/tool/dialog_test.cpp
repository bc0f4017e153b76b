// The main dialog's handlers through the in-memory view, with the settings file on disk, the test
// spooler's capture printer and the shipped label library: what each option shows, the command the
// printer receives for a typed value, and what is stored.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "capture.h"
#include "codes.h"
#include "kv/platform/fault.h"
#include "options.h"
#include "platform.h"
#include "resources/resource_ids.h"
#include "set_cases.h"
#include "tool_test.h"

namespace {

using namespace kv::tool;
using kvtest::Box;
using kvtest::ToolTest;

using DialogTest = ToolTest;

// The option list's entries and selection in both languages: QtPanelTest.ListsAreFilledAndTheStatusLampShows;
// the disabled controls: QtPanelTest.EveryControlStandsWhereTheLayoutPutsIt; the printer list and its lamps:
// PrinterTest.
TEST_F(DialogTest, Initialisation) {
  const struct {
    Language language;
    const char* about;
    int language_entry;
  } rows[] = {{Language::Chinese, "关于 KVPanel(&A)...", 0}, {Language::English, "About KVPanel(&A)...", 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.about);
    std::filesystem::remove(dir_ / "KV_setting.ini");
    Start(row.language);
    EXPECT_EQ(view_->menu_items, (std::vector<std::pair<unsigned, std::string>>{{16, row.about}}));
    EXPECT_EQ(view_->Selection(kIdLanguageList), row.language_entry);
    EXPECT_EQ(Ini(), "[Setting]\r\nDisplayLan=" + std::to_string(row.language_entry) + "\r\n")
        << "the first start's 0000000x, rewritten as a plain number";
    EXPECT_EQ(view_->posted_closes, 0);
  }
  EXPECT_TRUE(dialog_->Handle(view_->menu_items[0].first | 0x5, Event::MenuCommand)) << "low bits do not count";
  EXPECT_EQ(view_->abouts, 1);
  EXPECT_EQ(view_->timers, (std::vector<std::pair<unsigned, unsigned>>{{1, 1000}}));
  EXPECT_EQ(view_->Text(kIdHelpText), ToolString(Language::English, HelpString(OptionKind::FactoryReset)));
  EXPECT_TRUE(dialog_->library().complete());
  EXPECT_TRUE(dialog_->TakeBackgroundPending());
  EXPECT_FALSE(dialog_->TakeBackgroundPending()) << "the background is drawn once";
}

TEST_F(DialogTest, EveryOptionShowsItsControls) {
  Start();
  const int switchable[] = {kIdSet,         kIdValue,   kIdValueCaption,   kIdForward,    kIdReverse,    kIdChinese,
                            kIdEnglish,     kIdEnable,  kIdDisable,        kIdIpAddress,  kIdIpCaption,  kIdSubnetMask,
                            kIdMaskCaption, kIdGateway, kIdGatewayCaption, kIdPortNumber, kIdPortCaption};
  const std::set<int> value = {kIdSet, kIdValue, kIdValueCaption};
  const std::set<int> network = {kIdSet,     kIdIpAddress,      kIdIpCaption,  kIdSubnetMask, kIdMaskCaption,
                                 kIdGateway, kIdGatewayCaption, kIdPortNumber, kIdPortCaption};
  // The value field with two buttons in place of Set.
  auto buttons = [](int first, int second) { return std::set<int>{kIdValue, kIdValueCaption, first, second}; };
  const std::set<int> direction = buttons(kIdForward, kIdReverse), language = buttons(kIdChinese, kIdEnglish),
                      enable = buttons(kIdEnable, kIdDisable);
  const struct {
    std::set<int> shown;
    bool value_enabled;
  } rows[kOptionCount] = {{value, false}, {value, false}, {value, false}, {value, true},      {value, true},
                          {value, true},  {value, true},  {value, true},  {direction, false}, {language, false},
                          {value, true},  {value, true},  {value, false}, {enable, false},    {value, true},
                          {value, true},  {value, true},  {value, true},  {enable, false},    {network, false}};
  for (int index = 0; index < kOptionCount; ++index) {
    PickOption(index);
    std::set<int> shown;
    for (int id : switchable)
      if (view_->Visible(id)) shown.insert(id);
    EXPECT_EQ(shown, rows[index].shown) << "option " << index;
    EXPECT_EQ(view_->Enabled(kIdValue), rows[index].value_enabled) << "option " << index;
    EXPECT_FALSE(view_->Enabled(kIdPortNumber)) << "the port is for reference only";
    EXPECT_EQ(view_->Text(kIdHelpText), ToolString(Language::English, HelpString(OptionAt(index)->kind)));
    EXPECT_EQ(dialog_->data().option_text, view_->EntryText(kIdOptionList, index));
    if (!rows[index].value_enabled) {
      EXPECT_EQ(view_->Text(kIdValue), "") << "option " << index;
    }
  }
}

using kvtest::SetCase;

class OptionSetTest : public ToolTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(OptionSetTest, ShowSendStore) {
  const SetCase& c = GetParam();
  const OptionInfo* option = OptionAt(c.index);
  std::string ini = "[Setting]\r\nDisplayLan=1\r\n";
  if (c.stored != nullptr) ini += std::string("[") + c.printer + "]\r\n" + option->key + "=" + c.stored + "\r\n";
  StartWith(ini);
  PickPrinter(c.printer);
  PickOption(c.index);
  EXPECT_EQ(view_->Text(kIdValue), c.shown);
  const std::string before = Ini();
  SetValue(c.typed);
  EXPECT_EQ(view_->Text(kIdValue), c.echo);
  EXPECT_EQ(NextJob(), c.command);
  if (c.kept != nullptr) {
    EXPECT_EQ(Stored(c.printer, option->key), c.kept);
  } else {
    EXPECT_EQ(Ini(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryOption, OptionSetTest, ::testing::ValuesIn(kvtest::kSetCases),
                         [](const ::testing::TestParamInfo<SetCase>& row) { return std::string(row.param.name); });

TEST_F(DialogTest, OptionButtons) {
  Start();
  for (const kvtest::ButtonCase& row : kvtest::kButtonCases) {
    PickOption(row.index);
    const std::string before = Ini();
    (dialog_.get()->*row.press)();
    EXPECT_EQ(NextJob(), row.command);
    if (row.stored_di != nullptr) {
      EXPECT_EQ(Stored("KIRV R5", "DI"), row.stored_di);
    } else {
      EXPECT_EQ(Ini(), before);
    }
  }
  PickOption(3);
  dialog_->OnEnable();
  dialog_->OnDisable();
  EXPECT_EQ(JobsBeforeMarker(), 0u) << "Enable and Disable belong to two options only";
}

// Declined, nothing is sent or stored; confirmed, the printer's defaults by its resolution are stored
// over the values there and before the others.
TEST_F(DialogTest, AdvancedResetAsksThenSendsAndStoresTheDefaults) {
  const struct {
    const char* printer;
    const char* before;
    const char* after;
  } rows[] = {
      {"KIRV R5i", "FD=1\r\nIA=10.0.0.1\r\n",
       "FD=220\r\nIA=192.168.8.180\r\nDL=12\r\nSP=10\r\nSD=177\r\nST=926\r\nDI=0\r\nPD=160\r\nDM=200\r\nMX=0\r\n"
       "MY=0\r\nOD=0\r\nOS=0\r\nMK=255.255.255.0\r\nGT=0.0.0.0\r\nNP=9100\r\n"},
      {"KIRV R5", "",
       "FD=150\r\nDL=12\r\nSP=10\r\nSD=120\r\nST=628\r\nDI=0\r\nPD=108\r\nDM=200\r\nMX=0\r\nMY=0\r\nOD=0\r\nOS=0\r\n"
       "IA=192.168.8.180\r\nMK=255.255.255.0\r\nGT=0.0.0.0\r\nNP=9100\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.printer);
    const std::string ini = std::string("[Setting]\r\nDisplayLan=1\r\n[") + row.printer + "]\r\n" + row.before;
    StartWith(ini);
    PickPrinter(row.printer);
    PickOption(12);
    view_->answers = {false, true};
    dialog_->OnSet();
    EXPECT_EQ(Ini(), ini) << "declined: nothing stored";
    EXPECT_EQ(JobsBeforeMarker(row.printer), 0u) << "declined: nothing sent";
    dialog_->OnSet();
    EXPECT_EQ(view_->questions, (std::vector<Box>(2, {"Set \"Advanced Reset\"?", "KVPanel"})));
    EXPECT_EQ(view_->question_icons, (std::vector<BoxIcon>(2, BoxIcon::Information)));
    EXPECT_EQ(NextJob(), "#UM>IF\r\n");
    EXPECT_EQ(Ini(), std::string("[Setting]\r\nDisplayLan=1\r\n[") + row.printer + "]\r\n" + row.after);
  }
}

TEST_F(DialogTest, NetworkSetSendsThreeJobsAndStoresThePort) {
  StartWith(
      "[Setting]\r\nDisplayLan=1\r\n[KIRV R5]\r\nIA=192.168.8.180\r\nMK=255.255.255.0\r\nGT=0.0.0.0\r\n"
      "NP=9100\r\n");
  PickOption(19);
  EXPECT_EQ(view_->Text(kIdIpAddress), "192.168.8.180");
  EXPECT_EQ(view_->Text(kIdPortNumber), "9100");
  for (int id : {kIdIpAddress, kIdSubnetMask, kIdGateway}) EXPECT_EQ(view_->Limit(id), 15) << id;
  EXPECT_EQ(view_->Limit(kIdPortNumber), 6);
  view_->Type(kIdIpAddress, "192.168.100.200.7");  // the edit takes 15 characters
  // The edits go into their commands as typed, save control characters: a line break pasted there does
  // not make a command of its own.
  view_->Type(kIdSubnetMask, "255.255.0.0\r\nP9");
  view_->Type(kIdGateway, "");
  EXPECT_TRUE(dialog_->Handle(kIdGateway, Event::EnterKey)) << "Enter in a network field sets";
  EXPECT_EQ(NextJob(), "#UM>IA192.168.100.200\r\n");
  EXPECT_EQ(NextJob(), "#UM>MK255.255.0.0P9\r\n");
  EXPECT_EQ(NextJob(), "#UM>GT\r\n");
  EXPECT_EQ(JobsBeforeMarker(), 0u) << "the port number is not sent";
  EXPECT_EQ(Ini(),
            "[Setting]\r\nDisplayLan=1\r\n[KIRV R5]\r\nIA=192.168.100.200\r\nMK=255.255.0.0P9\r\nGT=\r\n"
            "NP=9100\r\n");
}

TEST_F(DialogTest, PrinterThatCannotBeOpened) {
  Start();
  PickOption(3);
  view_->Type(kIdPrinterList, "KIRV R9 Absent");
  const std::string before = Ini();
  SetValue("18.76");
  // The box speaks the language of the library's messages: the dialog's where the library lets it choose
  // (Linux), else Chinese.
  const char* text = kvtest::kMessagesReachTheHost ? "Error opening the printer." : "打开打印机出错！";
  EXPECT_EQ(view_->TakeBoxes(), (std::vector<Box>{{text, "KVPanel"}}));
  EXPECT_EQ(view_->Text(kIdValue), "18.750mm") << "the echo stays";
  PickOption(19);  // shows the printer of the last save again: the name is typed anew
  view_->Type(kIdPrinterList, "KIRV R9 Absent");
  dialog_->OnSet();
  EXPECT_EQ(view_->TakeBoxes().size(), 4u) << "one box for each exchange of the network Set";
  EXPECT_EQ(Ini(), before) << "nothing stored";
  EXPECT_EQ(JobsBeforeMarker(), 0u);
}

TEST_F(DialogTest, RefusedSetIsReportedAndTheFieldShowsTheStoredValue) {
  const struct {
    const char* display_language;
    const char* message;
  } cases[] = {{"1", "The printer did not accept the command."}, {"0", "打印机未接受该指令。"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const std::string ini =
        std::string("[Setting]\r\nDisplayLan=") + c.display_language + "\r\n[Raw Refusing]\r\nOD=9\r\n";
    StartWith(ini);
    PickOption(16);
    view_->Type(kIdPrinterList, "Raw Refusing");
    SetValue("5");
    EXPECT_EQ(view_->TakeBoxes(), (std::vector<Box>{{c.message, "KVPanel"}}));
    EXPECT_EQ(view_->Text(kIdValue), "9") << "not the echo of a value that was never set";
    EXPECT_EQ(view_->Text(kIdPrinterList), "Raw Refusing");
    EXPECT_EQ(Ini(), ini) << "nothing stored";
  }
}

TEST_F(DialogTest, SpoolerRefusals) {
  Start();
  PickOption(16);
  const std::string before = Ini();
  view_->Type(kIdPrinterList, "Raw Refusing");
  SetValue("5");
  EXPECT_EQ(view_->TakeBoxes(), (std::vector<Box>{{"The printer did not accept the command.", "KVPanel"}}));
  EXPECT_EQ(dialog_->SendConfigCommand("OD", OptionKind::Darkness),
            kvtest::kRefusalAtStartOfDocument ? kErrStartDoc : kErrEndDoc);
  // On a stopped printer, so that no refused document can reach the capture printer, whatever the
  // spooler makes of it (Wine's AbortPrinter does nothing, and Wine prints a document left open
  // when its printer is closed).
  view_->Type(kIdPrinterList, "KIRV R5 Stopped");
  kv::plat::fault_arm(kv::plat::FaultSite::SpoolWrite, 1);
  EXPECT_EQ(dialog_->SendConfigCommand("OD", OptionKind::Darkness), kErrWriteData);
  kv::plat::fault_arm(kv::plat::FaultSite::SpoolStartDoc, 1);
  EXPECT_EQ(dialog_->SendConfigCommand("OD", OptionKind::Darkness), kErrStartDoc);
  kv::plat::fault_arm(kv::plat::FaultSite::SpoolEndDoc, 1);
  EXPECT_EQ(dialog_->SendConfigCommand("OD", OptionKind::Darkness), kErrEndDoc);
  EXPECT_EQ(Ini(), before) << "nothing stored after a refusal";
  EXPECT_EQ(view_->TakeBoxes(), std::vector<Box>{}) << "the exchange itself answers by code alone";
  // Each refused exchange closed its printer: the next one goes through as ever.
  view_->Type(kIdPrinterList, "KIRV R5");
  SetValue("7");
  EXPECT_EQ(NextJob(), "#UM>OD07\r\n");
  EXPECT_EQ(Stored("KIRV R5", "OD"), "7");
  EXPECT_EQ(JobsBeforeMarker(), 0u);
}

// Started where no settings file can be made (nothing can be created in /proc, even by root): the
// tool runs in Chinese, shows 0 for every value, and sends its commands without storing them.
TEST_F(DialogTest, StartedWhereNothingCanBeStored) {
  std::filesystem::current_path(kvtest::kUnwritableDirectory);
  Start(Language::English);
  EXPECT_EQ(process_->display_language, 0);
  EXPECT_EQ(view_->Selection(kIdLanguageList), 0);
  EXPECT_EQ(view_->posted_closes, 0) << "the failed read agrees with the start-up language";
  PickOption(3);
  EXPECT_EQ(view_->Text(kIdValue), "0.000mm");
  SetValue("18.76");
  EXPECT_EQ(NextJob(), "#UM>FD150\r\n");
  EXPECT_EQ(view_->TakeBoxes(), std::vector<Box>{}) << "a failed write shows nothing";
}

TEST_F(DialogTest, LanguageChangeRelaunches) {
  Start(Language::English);
  view_->Select(kIdLanguageList, 1);
  dialog_->OnLanguageSelected();
  EXPECT_EQ(view_->posted_closes, 0) << "the language in force: nothing more happens";
  EXPECT_EQ(Stored("Setting", "DisplayLan"), "1");
  view_->Select(kIdLanguageList, 0);
  dialog_->OnLanguageSelected();
  EXPECT_EQ(Stored("Setting", "DisplayLan"), "0");
  EXPECT_EQ(view_->posted_closes, 1);
  EXPECT_TRUE(process_->restart_pending);
  dialog_->OnClose();
  EXPECT_EQ(view_->relaunches, 1);
  EXPECT_FALSE(process_->restart_pending);
  EXPECT_FALSE(dialog_->library().loaded());
  dialog_.reset();
}

// A stored language the list has no entry for is kept and selects no entry. 2 starts in English;
// 65536 starts in Chinese (its low 16 bits are 0: SettingsTest.StoredLanguageIsKeptWhateverTheSystem),
// and the language list must agree with that, or every start would relaunch the program at once,
// without end.
TEST_F(DialogTest, DisplayLanguageBeyondTheListDoesNotRelaunch) {
  for (const char* stored : {"2", "65536"}) {
    SCOPED_TRACE(stored);
    StartWith(std::string("[Setting]\r\nDisplayLan=") + stored + "\r\n");
    EXPECT_EQ(view_->Selection(kIdLanguageList), -1);
    EXPECT_EQ(Stored("Setting", "DisplayLan"), stored);
    EXPECT_EQ(view_->posted_closes, 0);
    EXPECT_FALSE(process_->restart_pending);
  }
}

TEST_F(DialogTest, LibraryThatCannotBeLoaded) {
  process_ = std::make_unique<ToolProcess>(StartProgram(1033));
  view_ = std::make_unique<kvtest::RecordingView>(Language::English);
  dialog_ = std::make_unique<MainDialog>(*view_, *process_);
  kv::plat::fault_arm(kv::plat::FaultSite::ModuleLoad, 1);
  EXPECT_FALSE(dialog_->OnInitDialog());
  EXPECT_EQ(view_->TakeBoxes(), (std::vector<Box>{{"Can't load the \"dllfile\", exit!", "KVPanel"}}));
  EXPECT_EQ(view_->exit_code, 0);
  EXPECT_TRUE(view_->timers.empty());
}

TEST_F(DialogTest, TestCommandFile) {
  const std::string bytes = kvtest::Bytes(2 * 10240 + 4520);
  kvtest::WriteWhole(dir_ / "TestCmd.txt", bytes);
  Start();
  EXPECT_TRUE(view_->Enabled(kIdSendCommand));
  view_->answers = {false, true};
  dialog_->OnSendTestCommand();
  EXPECT_EQ(view_->questions, (std::vector<Box>{{"Send TestCmd.txt?", "KVPanel"}}));
  EXPECT_EQ(JobsBeforeMarker(), 0u) << "No: nothing sent";
  dialog_->OnSendTestCommand();
  EXPECT_EQ(NextJob(), bytes);
  EXPECT_EQ(dialog_->SentBytes(), static_cast<int>(bytes.size()));
  EXPECT_EQ(view_->PaintCount(), 3) << "one paint after each piece";
  EXPECT_FALSE(std::filesystem::exists(dir_ / "KIRVtemp.prn")) << "the library's port was closed";
}

// The library's own messages reach the user through the tool's window where the library hands them
// to its host (Linux), in the dialog's language.
TEST_F(DialogTest, LibraryMessagesShownThroughTheDialogInItsLanguage) {
  if (!kvtest::kMessagesReachTheHost) GTEST_SKIP() << "the library shows its messages in the system's box";
  const struct {
    Language language;
    std::vector<Box> boxes;
  } rows[] = {
      {Language::Chinese, {{"打开打印机出错！", ""}, {"请检查打印机是否安装正常！", ""}}},
      {Language::English, {{"Error opening the printer.", ""}, {"Please check that the printer is installed.", ""}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.boxes[0].text);
    kvtest::WriteWhole(dir_ / "TestCmd.txt", "N\r\n");
    StartWith(std::string("[Setting]\r\nDisplayLan=") + (row.language == Language::English ? "1" : "0") + "\r\n");
    view_->Type(kIdPrinterList, "KIRV R9 Absent");
    view_->answers = {true, true};
    dialog_->OnSendTestCommand();
    EXPECT_EQ(view_->TakeBoxes(), row.boxes);
    // The name typed into the list is the one the library is given; the next send reaches the printer.
    view_->Type(kIdPrinterList, "KIRV R5");
    dialog_->OnSendTestCommand();
    EXPECT_EQ(NextJob(), "N\r\n");
  }
}

// Enter in a field of the value does what Set does (the network's: NetworkSetSendsThreeJobsAndStoresThePort);
// elsewhere it is not the dialog's to handle.
TEST_F(DialogTest, EnterInAValueFieldSets) {
  Start();
  PickOption(16);
  view_->SetText(kIdValue, "7");
  EXPECT_TRUE(dialog_->Handle(kIdValue, Event::EnterKey));
  EXPECT_EQ(NextJob(), "#UM>OD07\r\n");
  EXPECT_EQ(Stored("KIRV R5", "OD"), "7");
  for (int id : {kIdOptionList, kIdPrinterList, kIdLanguageList, kIdSet}) {
    EXPECT_FALSE(dialog_->Handle(static_cast<unsigned>(id), Event::EnterKey)) << id;
  }
}

}  // namespace
