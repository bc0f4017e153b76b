// The main dialog in memory: its controls made from the dialog layout of a language, every change the
// core makes to them kept, and every message box, question, close, relaunch and paint recorded. The
// test answers questions in advance; a question without an answer fails the test.
#ifndef KV_TESTS_TOOL_RECORDING_VIEW_H
#define KV_TESTS_TOOL_RECORDING_VIEW_H

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "resources/strings.h"
#include "test_env.h"
#include "view.h"

namespace kvtest {

struct Box {
  std::string text;
  std::string caption;
  bool operator==(const Box& other) const { return text == other.text && caption == other.caption; }
};

class RecordingView : public kv::tool::View {
 public:
  explicit RecordingView(kv::tool::Language language);

  // View.
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
  bool AskYesNo(const std::string& text, const std::string& caption, kv::tool::BoxIcon icon) override;
  void AppendSystemMenuItem(unsigned command, const std::string& text) override;
  void ShowAbout() override { ++abouts; }
  void StartTimer(unsigned timer_id, unsigned period_ms) override;
  void PostClose() override { ++posted_closes; }
  void RepaintStatusPictures() override { ++status_repaints; }
  void PaintNow() override { ++paints_; }
  void* NativeWindow() override { return recorder_.window(); }
  void Relaunch() override { ++relaunches; }
  void ExitProgram(int code) override { exit_code = code; }

  // What the user does: types into an edit or a list's edit field (no more than its limit), or picks
  // the entry of this text in a list (a test failure when there is none).
  void Type(int id, const std::string& text);
  void Pick(int id, const std::string& entry);

  bool Visible(int id) const { return Control(id).visible; }
  bool Enabled(int id) const { return Control(id).enabled; }
  int Limit(int id) const { return Control(id).limit; }
  std::vector<std::string> Entries(int id) const { return Control(id).entries; }

  // The boxes shown since the last call.
  std::vector<Box> TakeBoxes();
  // How often the dialog was painted at the library's request.
  int PaintCount() const;

  std::deque<bool> answers;    // the answers to the next questions, in order
  std::vector<Box> questions;  // the questions asked
  std::vector<kv::tool::BoxIcon> question_icons;
  std::vector<std::pair<unsigned, std::string>> menu_items;
  std::vector<std::pair<unsigned, unsigned>> timers;
  int posted_closes = 0;
  int relaunches = 0;
  int abouts = 0;
  int status_repaints = 0;
  int exit_code = -1;  // -1: the program was not ended

 private:
  struct ControlState {
    std::string text;
    bool visible = true;
    bool enabled = true;
    bool sorted = false;
    int limit = -1;  // -1: none set
    std::vector<std::string> entries;
    int selection = -1;
  };
  ControlState& Control(int id);
  const ControlState& Control(int id) const;

  std::map<int, ControlState> controls_;
  std::vector<Box> boxes_;
  int paints_ = 0;
  int paint_counter_ = 0;
  PaintRecorder recorder_{&paint_counter_};  // on Windows the window that the library paints
};

}  // namespace kvtest

#endif
