// The main dialog as the core sees it: controls addressed by their ids (resource_ids.h) and the few
// things a dialog does besides. Each front end implements it over real windows; the tests over memory.
// Texts are UTF-8.
#ifndef KV_TOOL_VIEW_H
#define KV_TOOL_VIEW_H

#include <string>

namespace kv::tool {

enum class BoxIcon { None, Information };

class View {
 public:
  virtual ~View() = default;

  // The window text of a control: an edit's or a static's text, a combo box's edit field.
  virtual std::string Text(int id) const = 0;
  virtual void SetText(int id, const std::string& text) = 0;

  virtual void SetVisible(int id, bool visible) = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;

  // The most characters the user can type into an edit.
  virtual void SetTextLimit(int id, int characters) = 0;

  // Combo box lists. Emptying a list also empties its edit field and leaves no entry selected. A
  // list of sorted style puts a new entry in its place in the order; others append it.
  virtual void ResetEntries(int id) = 0;
  virtual void AddEntry(int id, const std::string& text) = 0;
  virtual int EntryCount(int id) const = 0;
  virtual std::string EntryText(int id, int index) const = 0;  // "" for an index without entry

  // The selected entry, -1 when none. Selecting an entry shows its text in the edit field; selecting
  // -1, or an index without entry, leaves none selected and empties the edit field.
  virtual int Selection(int id) const = 0;
  virtual void Select(int id, int index) = 0;

  // Modal message boxes. An empty caption is the system's default one.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
  // Yes and No buttons; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption, BoxIcon icon) = 0;

  // Appends a separator and an item to the window's system menu.
  virtual void AppendSystemMenuItem(unsigned command, const std::string& text) = 0;

  // Shows the About box modally.
  virtual void ShowAbout() = 0;

  // Starts a repeating timer on the dialog; each tick is reported to the core.
  virtual void StartTimer(unsigned timer_id, unsigned period_ms) = 0;

  // Queues a close request to the dialog; it is reported to the core after the running handler.
  virtual void PostClose() = 0;

  // Repaints the two status pictures at once (invalidate, erase, update).
  virtual void RepaintStatusPictures() = 0;

  // Paints the whole dialog now and returns when it is painted.
  virtual void PaintNow() = 0;

  // The dialog's window as the platform knows it (handed to the label library).
  virtual void* NativeWindow() = 0;

  // Starts a new instance of the program (after a change of display language).
  virtual void Relaunch() = 0;

  // Ends the process at once with this exit code.
  virtual void ExitProgram(int code) = 0;
};

}  // namespace kv::tool

#endif
