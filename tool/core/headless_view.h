// The main dialog without a window: its controls are texts and lists in memory, made from the same
// layout as the windows (the same initial entries, the same sorted lists). The command line runs the
// dialog's handlers on it. Message boxes are collected; a question is answered with the answer given
// beforehand.
#ifndef KV_TOOL_HEADLESS_VIEW_H
#define KV_TOOL_HEADLESS_VIEW_H

#include <map>
#include <string>
#include <vector>

#include "resources/layouts.h"
#include "view.h"

namespace kv::tool {

class HeadlessView final : public View {
 public:
  HeadlessView(const DialogLayout& layout, bool answer_yes);

  std::string Text(int id) const override;
  void SetText(int id, const std::string& text) override { texts_[id] = text; }
  void SetVisible(int, bool) override {}
  void SetEnabled(int id, bool enabled) override { disabled_[id] = !enabled; }
  void SetTextLimit(int, int) override {}
  void ResetEntries(int id) override;
  void AddEntry(int id, const std::string& text) override;
  int EntryCount(int id) const override;
  std::string EntryText(int id, int index) const override;
  int Selection(int id) const override;
  void Select(int id, int index) override;
  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption, BoxIcon icon) override;
  void AppendSystemMenuItem(unsigned, const std::string&) override {}
  void ShowAbout() override {}
  void StartTimer(unsigned, unsigned) override {}
  void PostClose() override {}
  void RepaintStatusPictures() override {}
  void PaintNow() override {}
  void* NativeWindow() override { return nullptr; }
  void Relaunch() override {}
  void ExitProgram(int code) override;

  bool Enabled(int id) const;
  // The index of the entry with this text, -1 when the list has none.
  int FindEntry(int id, const std::string& text) const;
  // The messages shown since the last call.
  std::vector<std::string> TakeMessages();
  bool exited() const { return exited_; }
  int exit_code() const { return exit_code_; }

 private:
  struct List {
    std::vector<std::string> entries;
    int selection = -1;
    bool sorted = false;
  };

  const bool answer_yes_;
  std::map<int, std::string> texts_;
  std::map<int, bool> disabled_;
  std::map<int, List> lists_;
  std::vector<std::string> messages_;
  bool exited_ = false;
  int exit_code_ = 0;
};

}  // namespace kv::tool

#endif
