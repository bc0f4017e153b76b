// The parameter tool's main dialog as a Qt dialog: the controls of the layout data at their places,
// the View of the core over real widgets, and the widgets' signals reported to the core.
#ifndef KV_TOOL_QT_PANEL_DIALOG_H
#define KV_TOOL_QT_PANEL_DIALOG_H

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QTimer>

#include <map>
#include <memory>
#include <string>

#include "core/main_dialog.h"
#include "core/startup.h"
#include "core/view.h"
#include "resources/layouts.h"

namespace kv::tool {

// The pixels of a dialog unit: a quarter of the dialog font's average character width across, an
// eighth of its height down, as Windows reckons them.
struct DialogUnits {
  int base_x = 1, base_y = 1;
  int X(int units) const { return units * base_x / 4; }
  int Y(int units) const { return units * base_y / 8; }
};

// The dialog font of a layout (its face at its point size on a 96-dot-per-inch screen) and its units.
QFont DialogFont(const DialogLayout& layout);
DialogUnits UnitsOf(const QFont& font);

// Makes the controls of a layout as children of `parent`; returns those with an id by id.
std::map<int, QWidget*> BuildControls(QWidget* parent, const DialogLayout& layout, const DialogUnits& units);

class PanelDialog : public QDialog, public View {
 public:
  explicit PanelDialog(ToolProcess& process);
  ~PanelDialog() override;

  // Builds the controls and runs the dialog's initialisation; false when it ended the program.
  bool Initialise();

  QWidget* Control(int id) const;

  // View
  std::string Text(int id) const override;
  void SetText(int id, const std::string& text) override;
  void SetVisible(int id, bool visible) override;
  void SetEnabled(int id, bool enabled) override;
  void SetTextLimit(int id, int characters) override;
  void ResetEntries(int id) override;
  void AddEntry(int id, const std::string& text) override;
  int EntryCount(int id) const override;
  std::string EntryText(int id, int index) const override;
  int Selection(int id) const override;
  void Select(int id, int index) override;
  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption, BoxIcon icon) override;
  void AppendSystemMenuItem(unsigned command, const std::string& text) override;
  void StartTimer(unsigned timer_id, unsigned period_ms) override;
  void PostClose() override;
  void RepaintStatusPictures() override;
  void PaintNow() override;
  void* NativeWindow() override;
  void Relaunch() override;
  void ExitProgram(int code) override;
  void ShowAbout() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // Reports every list choice and button click of the controls, and the timer's ticks, to the core.
  void Forward();

  ToolProcess& process_;
  const DialogLayout& layout_;
  std::unique_ptr<MainDialog> core_;
  std::map<int, QWidget*> controls_;
  QTimer timer_;
  QImage background_;       // drawn once, at the first paint
  std::string about_item_;  // the system-menu item, offered in the context menu
  unsigned about_command_ = 0;
  bool initialised_ = false;
};

}  // namespace kv::tool

#endif
