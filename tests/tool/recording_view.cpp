#include "recording_view.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform.h"
#include "resources/layouts.h"
#include "resources/resource_ids.h"

namespace kvtest {

namespace {

// The order of a sorted list: letters without regard to case, as the system's sorted lists compare.
bool SortsBefore(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return static_cast<unsigned char>(fold(x)) < static_cast<unsigned char>(fold(y));
  });
}

}  // namespace

RecordingView::RecordingView(kv::tool::Language language) {
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

RecordingView::ControlState& RecordingView::Control(int id) {
  auto it = controls_.find(id);
  if (it == controls_.end()) {
    ADD_FAILURE() << "the dialog has no control " << id;
    return controls_[id];
  }
  return it->second;
}

const RecordingView::ControlState& RecordingView::Control(int id) const {
  static const ControlState none;
  auto it = controls_.find(id);
  if (it == controls_.end()) {
    ADD_FAILURE() << "the dialog has no control " << id;
    return none;
  }
  return it->second;
}

std::string RecordingView::Text(int id) const { return Control(id).text; }
void RecordingView::SetText(int id, const std::string& text) { Control(id).text = text; }
void RecordingView::SetVisible(int id, bool visible) { Control(id).visible = visible; }
void RecordingView::SetEnabled(int id, bool enabled) { Control(id).enabled = enabled; }
void RecordingView::SetTextLimit(int id, int characters) { Control(id).limit = characters; }

void RecordingView::ResetEntries(int id) {
  ControlState& c = Control(id);
  c.entries.clear();
  c.selection = -1;
  c.text.clear();
}

void RecordingView::AddEntry(int id, const std::string& text) {
  ControlState& c = Control(id);
  auto at = c.sorted ? std::upper_bound(c.entries.begin(), c.entries.end(), text, SortsBefore) : c.entries.end();
  const int index = static_cast<int>(at - c.entries.begin());
  c.entries.insert(at, text);
  if (c.selection >= index) ++c.selection;
}

int RecordingView::EntryCount(int id) const { return static_cast<int>(Control(id).entries.size()); }

std::string RecordingView::EntryText(int id, int index) const {
  const ControlState& c = Control(id);
  return index >= 0 && index < static_cast<int>(c.entries.size()) ? c.entries[static_cast<std::size_t>(index)]
                                                                  : std::string();
}

int RecordingView::Selection(int id) const { return Control(id).selection; }

void RecordingView::Select(int id, int index) {
  ControlState& c = Control(id);
  if (index >= 0 && index < static_cast<int>(c.entries.size())) {
    c.selection = index;
    c.text = c.entries[static_cast<std::size_t>(index)];
  } else {
    c.selection = -1;
    c.text.clear();
  }
}

void RecordingView::ShowMessage(const std::string& text, const std::string& caption) {
  boxes_.push_back(Box{text, caption});
}

bool RecordingView::AskYesNo(const std::string& text, const std::string& caption, kv::tool::BoxIcon icon) {
  questions.push_back(Box{text, caption});
  question_icons.push_back(icon);
  if (answers.empty()) {
    ADD_FAILURE() << "a question no one expected: " << text;
    return false;
  }
  bool yes = answers.front();
  answers.pop_front();
  return yes;
}

void RecordingView::AppendSystemMenuItem(unsigned command, const std::string& text) {
  menu_items.emplace_back(command, text);
}

void RecordingView::StartTimer(unsigned timer_id, unsigned period_ms) { timers.emplace_back(timer_id, period_ms); }

void RecordingView::Type(int id, const std::string& text) {
  ControlState& c = Control(id);
  c.text = (c.limit >= 0 && text.size() > static_cast<std::size_t>(c.limit)) ? text.substr(0, c.limit) : text;
}

void RecordingView::Pick(int id, const std::string& entry) {
  ControlState& c = Control(id);
  auto it = std::find(c.entries.begin(), c.entries.end(), entry);
  if (it == c.entries.end()) {
    ADD_FAILURE() << "the list " << id << " has no entry " << entry;
    return;
  }
  Select(id, static_cast<int>(it - c.entries.begin()));
}

std::vector<Box> RecordingView::TakeBoxes() {
  std::vector<Box> taken;
  taken.swap(boxes_);
  return taken;
}

int RecordingView::PaintCount() const {
  // The window's paint messages, or the library's repaint handler that the tool installs.
  return kPaintsReachTheWindow ? static_cast<int>(recorder_.paints().size()) : paints_;
}

}  // namespace kvtest
