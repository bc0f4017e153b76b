#include "headless_view.h"

#include <algorithm>

#include "resources/resource_ids.h"

namespace kv::tool {

namespace {

// A sorted list orders its entries as the system's sorted lists do: regardless of case.
bool BeforeIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return static_cast<unsigned char>(lower(x)) < static_cast<unsigned char>(lower(y));
  });
}

}  // namespace

HeadlessView::HeadlessView(const DialogLayout& layout, bool answer_yes) : answer_yes_(answer_yes) {
  for (std::size_t i = 0; i < layout.control_count; ++i) {
    const ControlLayout& c = layout.controls[i];
    if (c.id == kIdUnaddressed) continue;
    if (c.caption != nullptr && c.caption[0] != '\0') texts_[c.id] = c.caption;
    if (c.kind != ControlKind::ComboBox) continue;
    List& list = lists_[c.id];
    list.sorted = (c.style & kStyleSorted) != 0;
    for (const char* entry : c.entries)
      if (entry != nullptr) AddEntry(c.id, entry);
  }
}

std::string HeadlessView::Text(int id) const {
  auto it = texts_.find(id);
  return it != texts_.end() ? it->second : std::string();
}

void HeadlessView::ResetEntries(int id) {
  List& list = lists_[id];
  list.entries.clear();
  list.selection = -1;
  texts_[id].clear();
}

void HeadlessView::AddEntry(int id, const std::string& text) {
  List& list = lists_[id];
  auto at = list.sorted ? std::upper_bound(list.entries.begin(), list.entries.end(), text, BeforeIgnoringCase)
                        : list.entries.end();
  list.entries.insert(at, text);
}

int HeadlessView::EntryCount(int id) const {
  auto it = lists_.find(id);
  return it != lists_.end() ? static_cast<int>(it->second.entries.size()) : 0;
}

std::string HeadlessView::EntryText(int id, int index) const {
  auto it = lists_.find(id);
  if (it == lists_.end() || index < 0 || index >= static_cast<int>(it->second.entries.size())) return "";
  return it->second.entries[static_cast<std::size_t>(index)];
}

int HeadlessView::Selection(int id) const {
  auto it = lists_.find(id);
  return it != lists_.end() ? it->second.selection : -1;
}

void HeadlessView::Select(int id, int index) {
  List& list = lists_[id];
  const bool valid = index >= 0 && index < static_cast<int>(list.entries.size());
  list.selection = valid ? index : -1;
  texts_[id] = valid ? list.entries[static_cast<std::size_t>(index)] : std::string();
}

void HeadlessView::ShowMessage(const std::string& text, const std::string&) { messages_.push_back(text); }

bool HeadlessView::AskYesNo(const std::string&, const std::string&, BoxIcon) { return answer_yes_; }

void HeadlessView::ExitProgram(int code) {
  exited_ = true;
  exit_code_ = code;
}

bool HeadlessView::Enabled(int id) const {
  auto it = disabled_.find(id);
  return it == disabled_.end() || !it->second;
}

int HeadlessView::FindEntry(int id, const std::string& text) const {
  for (int i = 0; i < EntryCount(id); ++i)
    if (EntryText(id, i) == text) return i;
  return -1;
}

std::vector<std::string> HeadlessView::TakeMessages() {
  std::vector<std::string> taken;
  taken.swap(messages_);
  return taken;
}

}  // namespace kv::tool
