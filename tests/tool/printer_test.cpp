// The printer list, the resolution class of the selected printer and its on-line status, through the
// test spooler's queues (KIRV_R5, KIRV_R5i, Office_KIRV_R500i, Label_1, Office_Laser, the stopped
// KIRV_R5_Stopped and the refusing Raw_Refusing).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kv/platform/fault.h"
#include "platform.h"
#include "resources/resource_ids.h"
#include "tool_test.h"

namespace {

using namespace kv::tool;
using kvtest::Box;

class PrinterTest : public kvtest::ToolTest {
 protected:
  // Where the spooler lists each queue under its queue name with the queue name as driver name, no
  // queue there has a printer name without the filter word but a driver name with it. These two
  // printers stand for Label_1 and Office_KIRV_R500i as CUPS reports them.
  static void SetUpTestSuite() {
    if (kvtest::kPrintersListedByNameOnly) return;
    kvtest::EnsurePrinter("Label 1", "Label_1", "KIRV_R5");
    kvtest::EnsurePrinter("Office KIRV R500i", "Office_KIRV_R500i", "KIRV_R5i");
  }

  bool OnLine() const {
    EXPECT_NE(view_->Visible(kIdOnLinePicture), view_->Visible(kIdOffLinePicture)) << "exactly one lamp";
    const bool online = view_->Visible(kIdOnLinePicture);
    EXPECT_EQ(view_->Text(kIdStatusText), online ? "This Printer is On Line!" : "This Printer is Off Line!");
    return online;
  }
};

TEST_F(PrinterTest, ListHoldsThePrintersWithALabelDriver) {
  Start();
  // Office_Laser ("Office Laser 9") and Raw_Refusing ("Local Raw Printer") have other drivers.
  const std::vector<std::string> by_name = {"KIRV R5", "KIRV R5 Stopped", "KIRV R5i", "Label 1", "Office KIRV R500i"};
  // Also listed: the queues under their own names, whose driver names are the queue names.
  const std::vector<std::string> with_queues = {"KIRV R5",         "KIRV R5 Stopped", "KIRV R5i", "KIRV_R5",
                                                "KIRV_R5_Stopped", "KIRV_R5i",        "Label 1",  "Office KIRV R500i"};
  EXPECT_EQ(view_->Entries(kIdPrinterList), kvtest::kPrintersListedByNameOnly ? by_name : with_queues);
  EXPECT_EQ(view_->Text(kIdPrinterList), "KIRV R5");
}

TEST_F(PrinterTest, StatusAndResolutionOfEachPrinter) {
  Start();
  const struct {
    const char* name;
    bool online;
    double dots_per_mm;
    int resolution_class;
  } rows[] = {
      {"KIRV R5", true, 8.0, 2},
      {"KIRV R5i", true, 12.0, 3},
      {"KIRV R5 Stopped", !kvtest::kStoppedQueueIsOffLine, 8.0, 2},
      {"Label 1", false, 8.0, 2},             // listed for its driver; off line, its name lacks the word
      {"Office KIRV R500i", false, 12.0, 3},  // the model name may stand anywhere in the printer's name
  };
  for (const auto& row : rows) {
    const int repaints = view_->status_repaints;
    PickPrinter(row.name);
    EXPECT_EQ(OnLine(), row.online) << row.name;
    EXPECT_EQ(dialog_->DotsPerMm(), row.dots_per_mm) << row.name;
    EXPECT_EQ(dialog_->ResolutionClass(), row.resolution_class) << row.name;
    EXPECT_EQ(view_->status_repaints, repaints + 1) << row.name;
  }
  view_->Select(kIdPrinterList, -1);  // a name typed, not chosen: no entry is selected
  view_->Type(kIdPrinterList, "KIRV R5");
  EXPECT_EQ(dialog_->UpdatePrinterStatus(), 0);
  EXPECT_FALSE(OnLine());
}

TEST_F(PrinterTest, SelectingAPrinterShowsItsOwnStoredValue) {
  StartWith("[Setting]\r\nDisplayLan=1\r\n[KIRV R5]\r\nFD=150\r\n[KIRV R5i]\r\nFD=150\r\n");
  PickOption(3);
  EXPECT_EQ(view_->Text(kIdValue), "18.750mm");
  PickPrinter("KIRV R5i");
  EXPECT_EQ(view_->Text(kIdValue), "12.500mm") << "150 dots at 12 dots per millimetre";
  PickPrinter("Label 1");
  EXPECT_EQ(view_->Text(kIdValue), "0.000mm") << "a printer without a section";
}

TEST_F(PrinterTest, FailingListingShowsItsMessageOncePerRun) {
  Start();
  EXPECT_TRUE(OnLine());
  const Box failed = {"Can't load the printer drivers!", "KVPanel"};
  kv::plat::fault_arm(kv::plat::FaultSite::PrinterList, 1);
  dialog_->OnTimer();
  EXPECT_EQ(view_->TakeBoxes(), std::vector<Box>{failed});
  EXPECT_FALSE(OnLine());
  for (int tick = 0; tick < 3; ++tick) {
    kv::plat::fault_arm(kv::plat::FaultSite::PrinterList, 1);
    dialog_->OnTimer();
  }
  kv::plat::fault_arm(kv::plat::FaultSite::PrinterBuffer, 1);
  dialog_->OnTimer();
  EXPECT_EQ(view_->TakeBoxes(), std::vector<Box>{}) << "the same run of failures";
  dialog_->OnTimer();
  EXPECT_TRUE(OnLine());
  kv::plat::fault_arm(kv::plat::FaultSite::PrinterBuffer, 1);
  dialog_->OnTimer();
  EXPECT_EQ(view_->TakeBoxes(), (std::vector<Box>{{"Can't initializing the printerInfor!", "KVPanel"}}))
      << "a new run after a listing that went through";
}

TEST_F(PrinterTest, ListKeepsItsEntriesWhenTheListingFails) {
  kv::plat::fault_arm(kv::plat::FaultSite::PrinterList, 1);
  Start();
  EXPECT_EQ(view_->TakeBoxes(), (std::vector<Box>{{"Can't load the printer drivers!", "KVPanel"}}));
  EXPECT_EQ(view_->Entries(kIdPrinterList), (std::vector<std::string>{"KIRV R5", "KIRV R5i"}));
  EXPECT_TRUE(OnLine()) << "the status listing that followed went through";
}

}  // namespace
