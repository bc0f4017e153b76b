// The main dialog in memory: its controls made from the dialog layout of a language, every change the
// core makes to them kept, and every message box, question, close, relaunch and paint recorded. The
// test answers questions in advance; a question without an answer fails the test.
#ifndef KV_TESTS_TOOL_RECORDING_VIEW_H
#define KV_TESTS_TOOL_RECORDING_VIEW_H

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform.h"
#include "resources/layouts.h"
#include "resources/resource_ids.h"
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
  explicit RecordingView(kv::tool::Language language) {
    const kv::tool::DialogLayout& layout = kv::tool::MainDialogLayout(language);
    for (std::size_t i = 0; i < layout.control_count; ++i) {
      const kv::tool::ControlLayout& c = layout.controls[i];
      if (c.id == kv::tool::kIdUnaddressed) continue;
      ControlState& state = controls_[c.id];
      state.text = c.caption;
      state.visible = (c.style & kv::tool::kStyleHidden) == 0;
      state.sorted = (c.style & kv::tool::kStyleSorted) != 0;
      for (const char* entry : c.entries)
        if (entry != nullptr) state.entries.push_back(entry);
    }
  }

  // View.
  std::string Text(int id) const override { return Control(id).text; }
  void SetText(int id, const std::string& text) override { Control(id).text = text; }
  void SetVisible(int id, bool visible) override { Control(id).visible = visible; }
  void SetEnabled(int id, bool enabled) override { Control(id).enabled = enabled; }
  void SetTextLimit(int id, int characters) override { Control(id).limit = characters; }
  void ResetEntries(int id) override {
    ControlState& c = Control(id);
    c.entries.clear();
    c.selection = -1;
    c.text.clear();
  }
  void AddEntry(int id, const std::string& text) override {
    ControlState& c = Control(id);
    const auto at =
        c.sorted ? std::upper_bound(c.entries.begin(), c.entries.end(), text, SortsBefore) : c.entries.end();
    const int index = static_cast<int>(at - c.entries.begin());
    c.entries.insert(at, text);
    if (c.selection >= index) ++c.selection;
  }
  int EntryCount(int id) const override { return static_cast<int>(Control(id).entries.size()); }
  std::string EntryText(int id, int index) const override {
    return index >= 0 && index < EntryCount(id) ? Control(id).entries[static_cast<std::size_t>(index)] : "";
  }
  int Selection(int id) const override { return Control(id).selection; }
  void Select(int id, int index) override {
    ControlState& c = Control(id);
    c.selection = index >= 0 && index < EntryCount(id) ? index : -1;
    c.text = EntryText(id, c.selection);
  }
  void ShowMessage(const std::string& text, const std::string& caption) override { boxes_.push_back({text, caption}); }
  bool AskYesNo(const std::string& text, const std::string& caption, kv::tool::BoxIcon icon) override {
    questions.push_back(Box{text, caption});
    question_icons.push_back(icon);
    if (answers.empty()) {
      ADD_FAILURE() << "a question no one expected: " << text;
      return false;
    }
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void AppendSystemMenuItem(unsigned command, const std::string& text) override {
    menu_items.emplace_back(command, text);
  }
  void ShowAbout() override { ++abouts; }
  void StartTimer(unsigned timer_id, unsigned period_ms) override { timers.emplace_back(timer_id, period_ms); }
  void PostClose() override { ++posted_closes; }
  void RepaintStatusPictures() override { ++status_repaints; }
  void PaintNow() override { ++paints_; }
  void* NativeWindow() override { return recorder_.window(); }
  void Relaunch() override { ++relaunches; }
  void ExitProgram(int code) override { exit_code = code; }

  // What the user does: types into an edit or a list's edit field (no more than its limit), or picks
  // the entry of this text in a list (a test failure when there is none).
  void Type(int id, const std::string& text) {
    const int limit = Limit(id);
    Control(id).text = limit >= 0 ? text.substr(0, static_cast<std::size_t>(limit)) : text;
  }
  void Pick(int id, const std::string& entry) {
    const std::vector<std::string>& entries = Control(id).entries;
    const auto it = std::find(entries.begin(), entries.end(), entry);
    if (it == entries.end()) {
      ADD_FAILURE() << "the list " << id << " has no entry " << entry;
    } else {
      Select(id, static_cast<int>(it - entries.begin()));
    }
  }

  bool Visible(int id) const { return Control(id).visible; }
  bool Enabled(int id) const { return Control(id).enabled; }
  int Limit(int id) const { return Control(id).limit; }
  std::vector<std::string> Entries(int id) const { return Control(id).entries; }

  // The boxes shown since the last call.
  std::vector<Box> TakeBoxes() { return std::exchange(boxes_, {}); }
  // How often the dialog was painted at the library's request: the window's paint messages, or the
  // library's repaint handler that the tool installs.
  int PaintCount() const { return kPaintsReachTheWindow ? static_cast<int>(recorder_.paints().size()) : paints_; }

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
  // The order of a sorted list: letters without regard to case, as the system's sorted lists compare.
  static bool SortsBefore(std::string a, std::string b) {
    for (std::string* s : {&a, &b})
      for (char& c : *s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return a < b;  // as unsigned characters
  }
  ControlState& Control(int id) const {
    auto it = controls_.find(id);
    if (it != controls_.end()) return it->second;
    ADD_FAILURE() << "the dialog has no control " << id;
    return controls_[id];
  }

  mutable std::map<int, ControlState> controls_;
  std::vector<Box> boxes_;
  int paints_ = 0;
  int paint_counter_ = 0;
  PaintRecorder recorder_{&paint_counter_};  // on Windows the window that the library paints
};

}  // namespace kvtest

#endif
