// The resources as data: every string in both languages, the two layouts of each dialog agreeing on
// their controls, and the background gradient's shape.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "resources/gradient.h"
#include "resources/layouts.h"
#include "resources/resource_ids.h"
#include "resources/strings.h"

namespace {

using namespace kv::tool;

// Whether the text is well-formed UTF-8 holding at least one character beyond ASCII.
bool IsUtf8WithNonAscii(const std::string& s) {
  bool non_ascii = false;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
    if (extra == 9 || i + extra >= s.size()) return false;  // not a lead byte, or cut short
    for (std::size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    non_ascii |= extra > 0;
    i += extra + 1;
  }
  return non_ascii;
}

std::vector<int> Range(int first, int last) {
  std::vector<int> ids;
  for (int id = first; id <= last; ++id) ids.push_back(id);
  return ids;
}

TEST(Strings, EveryTextInBothLanguages) {
  EXPECT_STREQ(ToolString(Language::English, 9999), "");
  // The texts that are the same in both languages: default values.
  for (int id : Range(kStrDefaultsFirst, kStrDefaultsLast)) {
    EXPECT_STRNE(ToolString(Language::English, id), "") << id;
    EXPECT_STREQ(ToolString(Language::English, id), ToolString(Language::Chinese, id)) << id;
  }
  // Every other text is there in English, and in Chinese stored in UTF-8.
  for (const auto& range : {Range(kStrHelpFirst, kStrHelpLast), Range(kStrOptionFirst, kStrOptionLast),
                            std::vector<int>{kStrAboutMenu, kStrAskAdvancedReset, kStrAskSendTestFile, kStrOnLine,
                                             kStrOffLine, kStrCommandRefused}})
    for (int id : range) {
      EXPECT_STRNE(ToolString(Language::English, id), "") << id;
      EXPECT_TRUE(IsUtf8WithNonAscii(ToolString(Language::Chinese, id))) << id;
    }
  // No option name begins another one: the option list finds its entry by the beginning of its text.
  for (Language language : {Language::English, Language::Chinese})
    for (int a = kStrOptionFirst; a <= kStrOptionLast; ++a)
      for (int b = kStrOptionFirst; b <= kStrOptionLast; ++b)
        if (a != b) {
          EXPECT_NE(std::string(ToolString(language, b)).rfind(ToolString(language, a), 0), 0u) << a << " " << b;
        }
}

std::vector<int> Ids(const DialogLayout& layout) {
  std::vector<int> ids;
  for (std::size_t i = 0; i < layout.control_count; ++i) ids.push_back(layout.controls[i].id);
  return ids;
}

TEST(Layouts, BothLanguagesHoldTheSameControls) {
  const DialogLayout& en = MainDialogLayout(Language::English);
  const DialogLayout& zh = MainDialogLayout(Language::Chinese);
  std::vector<int> en_ids = Ids(en);
  std::vector<int> zh_ids = Ids(zh);
  ASSERT_EQ(en_ids.size(), zh_ids.size());
  for (std::size_t i = 0; i < en_ids.size(); ++i) {
    if (en_ids[i] == kIdLanguageFrameEn) {
      EXPECT_EQ(zh_ids[i], kIdLanguageFrameZh);
      continue;
    }
    EXPECT_EQ(en_ids[i], zh_ids[i]) << "control " << i;
    EXPECT_EQ(en.controls[i].kind, zh.controls[i].kind) << en_ids[i];
    EXPECT_EQ(en.controls[i].style, zh.controls[i].style) << en_ids[i];
    EXPECT_EQ(en.controls[i].picture, zh.controls[i].picture) << en_ids[i];
    EXPECT_EQ(std::string(en.controls[i].caption).empty(), std::string(zh.controls[i].caption).empty()) << en_ids[i];
  }
  // Each addressed id once; the six option buttons alone hidden at first.
  std::set<int> hidden;
  std::set<int> seen;
  for (int id : en_ids) {
    if (id == kIdUnaddressed) continue;
    EXPECT_TRUE(seen.insert(id).second) << id;
    if (en.Find(id)->style & kStyleHidden) hidden.insert(id);
  }
  EXPECT_EQ(hidden, (std::set<int>{kIdForward, kIdReverse, kIdChinese, kIdEnglish, kIdEnable, kIdDisable}));
  EXPECT_EQ(en.Find(kIdUnaddressed), nullptr);
  EXPECT_STREQ(zh.Find(kIdLanguageList)->entries[0], "中文");
  EXPECT_STREQ(en.Find(kIdLanguageList)->entries[1], "English");
  EXPECT_TRUE(en.Find(kIdPrinterList)->style & kStyleSorted);

  const DialogLayout& about_en = AboutDialogLayout(Language::English);
  const DialogLayout& about_zh = AboutDialogLayout(Language::Chinese);
  EXPECT_EQ(Ids(about_en), Ids(about_zh));
  EXPECT_EQ(about_en.Find(kIdAboutOk)->kind, ControlKind::DefPushButton);
}

// The colours themselves: QtPanelTest.WindowIsRenderedToAPicture.
TEST(Gradient, LightUpperHalfThenFallingRowByRow) {
  for (int y = 1; y < 400; ++y) {
    EXPECT_LE(GradientChannel(173, 221, y, 400), GradientChannel(173, 221, y - 1, 400));
    EXPECT_EQ(GradientChannel(173, 221, y, 400) == 221, y <= 200) << y;
    EXPECT_GE(GradientChannel(173, 221, y, 400), 173);
  }
  EXPECT_EQ(GradientChannel(173, 221, 0, 0), 221) << "no rows";
  EXPECT_EQ(GradientChannel(173, 221, 0, 1), 221);
  EXPECT_EQ(GradientChannel(173, 221, -5, 400), 221) << "rows outside take the nearest row's colour";
  EXPECT_EQ(GradientChannel(173, 221, 100000, 400), 173);
}

}  // namespace
