// The numbers by which the tool's dialogs, controls, strings and pictures are known. Both front ends
// and the core use these names; the numbers are those of the program's resources.
#ifndef KV_TOOL_RESOURCE_IDS_H
#define KV_TOOL_RESOURCE_IDS_H

namespace kv::tool {

// Dialog templates.
inline constexpr int kDialogAbout = 100;
inline constexpr int kDialogMain = 102;

// Icon and pictures.
inline constexpr int kIconMain = 128;
inline constexpr int kBitmapOnLine = 141;   // green lamp
inline constexpr int kBitmapOffLine = 142;  // red lamp

// The id of controls that no code addresses.
inline constexpr int kIdUnaddressed = -1;

// Controls of the main dialog.
inline constexpr int kIdHelpText = 1007;         // help text of the option
inline constexpr int kIdOptionFrame = 1005;      // group box around the option controls
inline constexpr int kIdHelpFrame = 1006;        // group box around the help text
inline constexpr int kIdPrinterList = 1010;      // printer list (sorted drop-down combo box)
inline constexpr int kIdPrinterFrame = 1011;     // "Select Printer" group box
inline constexpr int kIdLanguageFrameZh = 1012;  // "语言" group box of the Chinese template
inline constexpr int kIdOptionList = 1013;       // option list (drop-down combo box)
inline constexpr int kIdLanguageList = 1014;     // display-language list
inline constexpr int kIdChinese = 1015;          // printer's internal language: Chinese
inline constexpr int kIdEnglish = 1016;          // printer's internal language: English
inline constexpr int kIdSendCommand = 1017;      // send the test command file
inline constexpr int kIdForward = 1018;
inline constexpr int kIdValue = 1019;  // value field
inline constexpr int kIdReverse = 1020;
inline constexpr int kIdSet = 1021;
inline constexpr int kIdIpAddress = 1023;
inline constexpr int kIdValueCaption = 1024;
inline constexpr int kIdIpCaption = 1025;
inline constexpr int kIdEnable = 1026;
inline constexpr int kIdDisable = 1027;
inline constexpr int kIdLanguageFrameEn = 1028;  // "Language" group box of the English template
inline constexpr int kIdMaskCaption = 1029;
inline constexpr int kIdOffLinePicture = 1030;  // red lamp, bitmap 142
inline constexpr int kIdOnLinePicture = 1031;   // green lamp, bitmap 141
inline constexpr int kIdStatusText = 1032;
inline constexpr int kIdSubnetMask = 1033;
inline constexpr int kIdGatewayCaption = 1034;
inline constexpr int kIdGateway = 1035;
inline constexpr int kIdPortCaption = 1036;
inline constexpr int kIdPortNumber = 1037;

// Controls of the About box.
inline constexpr int kIdAboutOk = 1;

// The About item that start-up appends to the system menu, and the status timer.
inline constexpr unsigned kCommandAbout = 16;
inline constexpr unsigned kTimerStatus = 1;
inline constexpr unsigned kTimerStatusPeriodMs = 1000;

// Strings.
inline constexpr int kStrAboutMenu = 101;  // "About KVPanel(&A)..."
inline constexpr int kStrAskAdvancedReset = 102;
inline constexpr int kStrAskSendTestFile = 104;
inline constexpr int kStrOnLine = 106;
inline constexpr int kStrOffLine = 107;
inline constexpr int kStrCommandRefused = 108;  // the spooler did not take a configuration command
inline constexpr int kStrDefaultsFirst = 2020;  // Advanced Reset defaults, 2020 to 2047
inline constexpr int kStrDefaultsLast = 2047;
inline constexpr int kStrHelpFirst = 2105;  // help texts of the options, 2105 to 2124
inline constexpr int kStrHelpLast = 2124;
inline constexpr int kStrOptionFirst = 3001;  // option names, 3001 + index
inline constexpr int kStrOptionLast = 3020;

// Advanced Reset defaults: the value of each stored key for the 200-DPI and the 300-DPI class.
inline constexpr int kStrResetTearOff200 = 2020;
inline constexpr int kStrResetSensitivity200 = 2021;
inline constexpr int kStrResetErrorRange200 = 2022;
inline constexpr int kStrResetRefractive200 = 2023;
inline constexpr int kStrResetTransmissive200 = 2024;
inline constexpr int kStrResetDirection200 = 2025;
inline constexpr int kStrResetPeeler200 = 2026;
inline constexpr int kStrResetLabelLength200 = 2027;
inline constexpr int kStrResetTearOff300 = 2028;
inline constexpr int kStrResetSensitivity300 = 2029;
inline constexpr int kStrResetErrorRange300 = 2030;
inline constexpr int kStrResetRefractive300 = 2031;
inline constexpr int kStrResetTransmissive300 = 2032;
inline constexpr int kStrResetDirection300 = 2033;
inline constexpr int kStrResetPeeler300 = 2034;
inline constexpr int kStrResetLabelLength300 = 2035;
inline constexpr int kStrResetXOffset200 = 2036;
inline constexpr int kStrResetXOffset300 = 2037;
inline constexpr int kStrResetYOffset200 = 2038;
inline constexpr int kStrResetYOffset300 = 2039;
inline constexpr int kStrResetDarkness200 = 2040;
inline constexpr int kStrResetDarkness300 = 2041;
inline constexpr int kStrResetSpeed200 = 2042;
inline constexpr int kStrResetSpeed300 = 2043;
inline constexpr int kStrResetIpAddress = 2044;   // either class
inline constexpr int kStrResetSubnetMask = 2045;  // either class
inline constexpr int kStrResetGateway = 2046;     // either class
inline constexpr int kStrResetPortNumber = 2047;  // either class

}  // namespace kv::tool

#endif
