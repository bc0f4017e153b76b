// kvpanel's dialog in real Qt widgets (Qt's offscreen platform), in both display languages; the window
// is rendered to PNG for a person to look at.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "capture.h"
#include "core/startup.h"
#include "kv/platform/language.h"
#include "panel_dialog.h"
#include "resources/layouts.h"
#include "resources/resource_ids.h"
#include "resources/strings.h"
#include "test_env.h"
#include "tool_test.h"

namespace fs = std::filesystem;
using namespace kv::tool;

namespace {

// One application for the whole program, made before the first test and ended after the last one
// (before Qt's own globals go at exit).
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "kvpanel-test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

::testing::Environment* const qt_environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class QtPanelTest : public ::testing::TestWithParam<Language> {
 protected:
  void SetUp() override {
    dir_ = kvtest::EnterDirectoryStartingIn(GetParam());
    process_ = std::make_unique<ToolProcess>(StartProgram(kv::plat::kLangEnglishUs));
    dialog_ = std::make_unique<PanelDialog>(*process_);
    dialog_->Initialise();
    dialog_->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    dialog_->hide();
    dialog_.reset();
    kvtest::LeaveDirectory(dir_);
  }

  const DialogLayout& Layout() const { return MainDialogLayout(GetParam()); }
  std::string Str(int id) const { return ToolString(GetParam(), id); }
  template <typename W>
  W* Get(int id) const {
    W* w = qobject_cast<W*>(dialog_->Control(id));
    EXPECT_NE(w, nullptr) << "control " << id;
    return w;
  }

  // The user opens a list and clicks the entry with this text.
  void Choose(int id, const QString& text) {
    auto* box = Get<QComboBox>(id);
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    box->showPopup();
    QApplication::processEvents();
    QAbstractItemView* view = box->view();
    const QRect item = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    QApplication::processEvents();
    ASSERT_EQ(box->currentIndex(), index);
  }

  fs::path dir_;
  std::unique_ptr<ToolProcess> process_;
  std::unique_ptr<PanelDialog> dialog_;
};

TEST_P(QtPanelTest, EveryControlStandsWhereTheLayoutPutsIt) {
  const DialogLayout& layout = Layout();
  EXPECT_EQ(dialog_->windowTitle().toStdString(), layout.title);
  const DialogUnits units = UnitsOf(DialogFont(layout));
  EXPECT_EQ(dialog_->width(), units.X(layout.width));
  EXPECT_EQ(dialog_->height(), units.Y(layout.height));
  EXPECT_EQ(dialog_->minimumSize(), dialog_->maximumSize()) << "the dialog has a fixed size";

  for (std::size_t i = 0; i < layout.control_count; ++i) {
    const ControlLayout& c = layout.controls[i];
    if (c.id == kIdUnaddressed) continue;
    SCOPED_TRACE(c.id);
    QWidget* w = dialog_->Control(c.id);
    ASSERT_NE(w, nullptr);
    const char* widget = c.kind == ControlKind::ComboBox                                             ? "QComboBox"
                         : c.kind == ControlKind::Edit                                               ? "QLineEdit"
                         : c.kind == ControlKind::GroupBox                                           ? "QGroupBox"
                         : c.kind == ControlKind::PushButton || c.kind == ControlKind::DefPushButton ? "QPushButton"
                                                                                                     : "QLabel";
    ASSERT_TRUE(w->inherits(widget)) << widget;
    if (c.kind == ControlKind::Bitmap || c.kind == ControlKind::Icon) {
      EXPECT_NE(qobject_cast<QLabel*>(w)->pixmap().width(), 0);
    }
    EXPECT_EQ(w->x(), units.X(c.rect.x));
    EXPECT_EQ(w->y(), units.Y(c.rect.y));
    if (c.kind == ControlKind::Bitmap) {
      EXPECT_EQ(w->size(), QSize(31, 31)) << "a picture control takes its picture's size";
    } else {
      EXPECT_EQ(w->width(), units.X(c.rect.width));
      if (c.kind != ControlKind::ComboBox) {  // a closed list is one line high
        EXPECT_EQ(w->height(), units.Y(c.rect.height));
      }
    }
    // Which controls show for each option: DialogTest.EveryOptionShowsItsControls (the lamps switching here:
    // ListsAreFilledAndTheStatusLampShows). Disabled: the test file's button (no TestCmd.txt here), the value
    // field (the first option takes no value) and the port number (shown for reference only).
    const bool disabled = c.id == kIdSendCommand || c.id == kIdValue || c.id == kIdPortNumber;
    EXPECT_EQ(w->isEnabled(), !disabled);
    if (c.kind == ControlKind::PushButton || c.kind == ControlKind::GroupBox) {
      EXPECT_EQ(dialog_->Text(c.id), c.caption);
    }
  }
}

TEST_P(QtPanelTest, ListsAreFilledAndTheStatusLampShows) {
  auto* options = Get<QComboBox>(kIdOptionList);
  ASSERT_EQ(options->count(), 20);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(options->itemText(i).toStdString(), Str(kStrOptionFirst + i));
  EXPECT_EQ(options->currentIndex(), 0);

  // The printers whose driver begins with a filter word, in the order of a sorted list.
  auto* printers = Get<QComboBox>(kIdPrinterList);
  QStringList names;
  for (int i = 0; i < printers->count(); ++i) names << printers->itemText(i);
  EXPECT_EQ(names.join(", ").toStdString(), "KIRV R5, KIRV R5 Stopped, KIRV R5i, Label 1, Office KIRV R500i");
  EXPECT_EQ(printers->currentText(), "KIRV R5");

  auto* languages = Get<QComboBox>(kIdLanguageList);
  EXPECT_EQ(languages->currentIndex(), GetParam() == Language::English ? 1 : 0);

  EXPECT_TRUE(dialog_->Control(kIdOnLinePicture)->isVisible());
  EXPECT_FALSE(dialog_->Control(kIdOffLinePicture)->isVisible());
  EXPECT_EQ(dialog_->Text(kIdStatusText), Str(kStrOnLine));

  Choose(kIdPrinterList, "KIRV R5 Stopped");
  EXPECT_FALSE(dialog_->Control(kIdOnLinePicture)->isVisible());
  EXPECT_TRUE(dialog_->Control(kIdOffLinePicture)->isVisible());
  EXPECT_EQ(dialog_->Text(kIdStatusText), Str(kStrOffLine));
}

TEST_P(QtPanelTest, WindowIsRenderedToAPicture) {
  QApplication::processEvents();
  const QImage shot = dialog_->grab().toImage();
  const char* artefacts = std::getenv("KV_ARTEFACT_DIR");
  const fs::path out = fs::path(artefacts != nullptr ? artefacts : ".") /
                       (std::string("kvpanel-") + (GetParam() == Language::English ? "english" : "chinese") + ".png");
  fs::create_directories(out.parent_path());
  ASSERT_TRUE(shot.save(QString::fromStdString(out.string())));
  // The background's gradient: the top half in its lightest colour, the bottom row darkest.
  const QColor top = shot.pixelColor(2, 2), bottom = shot.pixelColor(2, shot.height() - 1);
  EXPECT_EQ(top, QColor(221, 235, 245));
  EXPECT_LT(bottom.red(), 180);
  EXPECT_GT(bottom.blue(), bottom.red());
}

// A click on Set and Enter in the value field send the option's command and the dialog stays; Escape
// there, and Enter elsewhere, end the dialog as Cancel and OK.
TEST_P(QtPanelTest, SetAndEnterInTheValueFieldSendElsewhereEnterEndsTheDialog) {
  const std::size_t first = kvtest::CapturedJobCount();
  Choose(kIdOptionList, QString::fromStdString(Str(kStrOptionFirst + 2)));  // "Print Self-Test Label"
  EXPECT_EQ(dialog_->Text(kIdHelpText), Str(HelpString(OptionKind::SelfTest)));
  QTest::mouseClick(Get<QPushButton>(kIdSet), Qt::LeftButton);
  EXPECT_EQ(kvtest::WaitForJob(first), "U\r\n");
  auto* options = Get<QComboBox>(kIdOptionList);
  options->setCurrentIndex(16);  // the darkness, far down the list
  emit options->activated(16);
  auto* value = Get<QLineEdit>(kIdValue);
  value->setFocus();
  value->setText(QStringLiteral("7"));
  QTest::keyClick(value, Qt::Key_Return);
  EXPECT_EQ(kvtest::WaitForJob(first + 1), "#UM>OD07\r\n");
  EXPECT_TRUE(dialog_->isVisible());
  QTest::keyClick(value, Qt::Key_Escape);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->result(), QDialog::Rejected);
  dialog_->show();
  Get<QComboBox>(kIdOptionList)->setFocus();
  QTest::keyClick(dialog_.get(), Qt::Key_Enter);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->result(), QDialog::Accepted);
}

INSTANTIATE_TEST_SUITE_P(Languages, QtPanelTest, ::testing::Values(Language::English, Language::Chinese),
                         kvtest::LanguageName);

}  // namespace
