// Both dialogs in both languages. The Chinese main dialog holds the same controls as the English one,
// in the same order, with its own captions and rectangles; its language frame has the id 1012.
#include "layouts.h"

#include "resource_ids.h"

namespace kv::tool {

namespace {

using K = ControlKind;
constexpr unsigned kHidden = kStyleHidden;
constexpr unsigned kSorted = kStyleSorted;
constexpr unsigned kScroll = kStyleAutoHScroll;

constexpr ControlLayout kMainEnglish[] = {
    {kIdPrinterList, K::ComboBox, "", {14, 20, 152, 37}, kSorted, 0, {"KIRV R5", "KIRV R5i"}},
    {kIdHelpText, K::Text, "", {13, 206, 257, 44}, 0, 0, {}},
    {kIdOptionFrame, K::GroupBox, "", {4, 68, 276, 95}, 0, 0, {}},
    {kIdHelpFrame, K::GroupBox, "", {4, 195, 276, 61}, 0, 0, {}},
    {kIdPrinterFrame, K::GroupBox, "Select Printer", {4, 7, 173, 57}, 0, 0, {}},
    {kIdSendCommand, K::PushButton, "Send Command", {209, 176, 60, 14}, 0, 0, {}},
    {kIdOptionList, K::ComboBox, "", {62, 82, 139, 77}, 0, 0, {}},
    {kIdUnaddressed, K::Text, "Options", {17, 84, 34, 13}, 0, 0, {}},
    {kIdUnaddressed, K::GroupBox, "", {4, 164, 276, 32}, 0, 0, {}},
    {kIdDisable, K::PushButton, "Disable", {219, 101, 47, 13}, kHidden, 0, {}},
    {kIdEnglish, K::PushButton, "English", {219, 101, 47, 13}, kHidden, 0, {}},
    {kIdReverse, K::PushButton, "Reverse", {219, 101, 46, 13}, kHidden, 0, {}},
    {kIdForward, K::PushButton, "Forward", {219, 80, 47, 13}, kHidden, 0, {}},
    {kIdEnable, K::PushButton, "Enable", {219, 80, 47, 13}, kHidden, 0, {}},
    {kIdChinese, K::PushButton, "Chiese", {219, 80, 47, 13}, kHidden, 0, {}},
    {kIdSet, K::PushButton, "Set", {219, 80, 47, 14}, 0, 0, {}},
    {kIdLanguageFrameEn, K::GroupBox, "Language", {187, 7, 93, 33}, 0, 0, {}},
    {kIdLanguageList, K::ComboBox, "", {194, 21, 73, 37}, 0, 0, {"Chinese", "English"}},
    {kIdOffLinePicture, K::Bitmap, "", {22, 38, 20, 20}, 0, kBitmapOffLine, {}},
    {kIdStatusText, K::Text, "", {49, 43, 112, 8}, 0, 0, {}},
    {kIdOnLinePicture, K::Bitmap, "", {22, 38, 20, 20}, 0, kBitmapOnLine, {}},
    {kIdValue, K::Edit, "", {62, 106, 63, 15}, kScroll, 0, {}},
    {kIdValueCaption, K::Text, "Parameter Value", {16, 104, 39, 17}, 0, 0, {}},
    {kIdIpCaption, K::Text, "IP Address", {16, 109, 39, 10}, 0, 0, {}},
    {kIdIpAddress, K::Edit, "", {62, 106, 63, 15}, kScroll, 0, {}},
    {kIdSubnetMask, K::Edit, "", {62, 125, 63, 15}, kScroll, 0, {}},
    {kIdMaskCaption, K::Text, "Subnet Mask", {16, 123, 39, 17}, 0, 0, {}},
    {kIdGateway, K::Edit, "", {62, 144, 63, 15}, kScroll, 0, {}},
    {kIdGatewayCaption, K::Text, "Gateway", {16, 147, 39, 17}, 0, 0, {}},
    {kIdPortNumber, K::Edit, "", {200, 126, 63, 15}, kScroll, 0, {}},
    {kIdPortCaption, K::Text, "Port Number", {154, 124, 39, 17}, 0, 0, {}},
};

constexpr ControlLayout kMainChinese[] = {
    {kIdPrinterList, K::ComboBox, "", {14, 20, 152, 37}, kSorted, 0, {"KIRV R5", "KIRV R5i"}},
    {kIdHelpText, K::Text, "", {11, 213, 238, 44}, 0, 0, {}},
    {kIdOptionFrame, K::GroupBox, "", {4, 69, 256, 99}, 0, 0, {}},
    {kIdHelpFrame, K::GroupBox, "", {4, 203, 256, 61}, 0, 0, {}},
    {kIdPrinterFrame, K::GroupBox, "请选择打印机", {4, 7, 167, 60}, 0, 0, {}},
    {kIdSendCommand, K::PushButton, "测试指令", {203, 182, 48, 14}, 0, 0, {}},
    {kIdOptionList, K::ComboBox, "", {62, 83, 112, 37}, 0, 0, {}},
    {kIdUnaddressed, K::Text, "参数选项", {17, 85, 34, 13}, 0, 0, {}},
    {kIdUnaddressed, K::GroupBox, "", {4, 170, 256, 32}, 0, 0, {}},
    {kIdDisable, K::PushButton, "无效", {201, 102, 47, 13}, kHidden, 0, {}},
    {kIdEnglish, K::PushButton, "英文", {201, 103, 47, 13}, kHidden, 0, {}},
    {kIdReverse, K::PushButton, "反向", {201, 102, 46, 13}, kHidden, 0, {}},
    {kIdForward, K::PushButton, "正向", {201, 81, 47, 13}, kHidden, 0, {}},
    {kIdEnable, K::PushButton, "有效", {201, 82, 47, 13}, kHidden, 0, {}},
    {kIdChinese, K::PushButton, "中文", {201, 82, 47, 13}, kHidden, 0, {}},
    {kIdSet, K::PushButton, "设定", {201, 81, 47, 14}, 0, 0, {}},
    {kIdLanguageFrameZh, K::GroupBox, "语言", {179, 7, 81, 33}, 0, 0, {}},
    {kIdLanguageList, K::ComboBox, "", {187, 21, 64, 37}, 0, 0, {"中文", "英文"}},
    {kIdOffLinePicture, K::Bitmap, "", {19, 38, 20, 20}, 0, kBitmapOffLine, {}},
    {kIdStatusText, K::Text, "", {44, 42, 106, 8}, 0, 0, {}},
    {kIdOnLinePicture, K::Bitmap, "", {19, 38, 20, 20}, 0, kBitmapOnLine, {}},
    {kIdValue, K::Edit, "", {62, 107, 71, 15}, kScroll, 0, {}},
    {kIdValueCaption, K::Text, "参数数值", {16, 110, 34, 13}, 0, 0, {}},
    {kIdIpCaption, K::Text, "IP地址", {16, 109, 34, 13}, 0, 0, {}},
    {kIdIpAddress, K::Edit, "", {62, 108, 71, 15}, kScroll, 0, {}},
    {kIdSubnetMask, K::Edit, "", {62, 127, 71, 15}, kScroll, 0, {}},
    {kIdMaskCaption, K::Text, "子网掩码", {16, 131, 34, 13}, 0, 0, {}},
    {kIdGateway, K::Edit, "", {62, 146, 71, 15}, kScroll, 0, {}},
    {kIdGatewayCaption, K::Text, "网关", {17, 149, 35, 13}, 0, 0, {}},
    {kIdPortNumber, K::Edit, "", {181, 128, 60, 15}, kScroll, 0, {}},
    {kIdPortCaption, K::Text, "端口号", {146, 131, 34, 13}, 0, 0, {}},
};

constexpr ControlLayout kAboutEnglish[] = {
    {kIdUnaddressed, K::Icon, "", {11, 17, 20, 20}, 0, kIconMain, {}},
    {kIdUnaddressed, K::Text, "KVPanel 1.328", {40, 15, 119, 8}, 0, 0, {}},
    {kIdUnaddressed, K::Text, "Copyright (C) KIRV. All rights reserved.", {40, 30, 119, 8}, 0, 0, {}},
    {kIdAboutOk, K::DefPushButton, "OK", {178, 6, 50, 14}, 0, 0, {}},
};

constexpr ControlLayout kAboutChinese[] = {
    {kIdUnaddressed, K::Icon, "", {11, 17, 20, 20}, 0, kIconMain, {}},
    {kIdUnaddressed, K::Text, "KVPanel 1.328 版", {40, 15, 119, 8}, 0, 0, {}},
    {kIdUnaddressed, K::Text, "版权所有 (C) KIRV，保留所有权利。", {40, 30, 119, 8}, 0, 0, {}},
    {kIdAboutOk, K::DefPushButton, "确定", {178, 6, 50, 14}, 0, 0, {}},
};

template <std::size_t N>
constexpr std::size_t CountOf(const ControlLayout (&)[N]) {
  return N;
}

const DialogLayout kMainDialogEnglish = {kDialogMain,
                                         "KIRV Parameter Adjust Program",
                                         287,
                                         263,
                                         "Arial",
                                         10,
                                         kDialogVisible | kDialogAppWindow,
                                         kMainEnglish,
                                         CountOf(kMainEnglish)};
const DialogLayout kMainDialogChinese = {
    kDialogMain,  "KIRV打印机参数调整程序", 267, 271, "宋体", 12, kDialogVisible | kDialogAppWindow,
    kMainChinese, CountOf(kMainChinese)};
// The Chinese About box has the English one's size: only its texts and font differ.
const DialogLayout kAboutDialogEnglish = {kDialogAbout,  "About KVPanel",       235, 55, "Arial", 9, 0,
                                          kAboutEnglish, CountOf(kAboutEnglish)};
const DialogLayout kAboutDialogChinese = {kDialogAbout,  "关于 KVPanel",        235, 55, "宋体", 9, 0,
                                          kAboutChinese, CountOf(kAboutChinese)};

}  // namespace

const ControlLayout* DialogLayout::Find(int control_id) const {
  if (control_id == kIdUnaddressed) return nullptr;
  for (std::size_t i = 0; i < control_count; ++i)
    if (controls[i].id == control_id) return &controls[i];
  return nullptr;
}

const DialogLayout& MainDialogLayout(Language language) {
  return language == Language::English ? kMainDialogEnglish : kMainDialogChinese;
}

const DialogLayout& AboutDialogLayout(Language language) {
  return language == Language::English ? kAboutDialogEnglish : kAboutDialogChinese;
}

}  // namespace kv::tool
