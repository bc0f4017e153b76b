// The twenty options of the option list: what each shows, how its value is read and converted
// between millimetres and printer dots, the range rules, and the command text each sends.
#ifndef KV_TOOL_OPTIONS_H
#define KV_TOOL_OPTIONS_H

#include <string>

#include "resources/resource_ids.h"

namespace kv::tool {

// The kind of an option (OptionKind): the option table's column "Kind". An option's help text is the
// string kStrHelpFirst + its kind.
enum class OptionKind {
  None = -1,  // no option is selected in the option list: Set sends nothing
  TearOff = 0,
  Sensitivity = 1,
  ErrorRange = 2,
  Refractive = 3,
  Transmissive = 4,
  Direction = 5,
  InternalLanguage = 6,
  Peeler = 7,
  FactoryReset = 8,
  AdvancedReset = 9,
  Calibration = 10,
  SelfTest = 11,
  LabelLength = 12,
  AutoCalibration = 13,
  XOffset = 14,
  YOffset = 15,
  Darkness = 16,
  Speed = 17,
  LengthMode = 18,
  Network = 19,
};

inline constexpr int kOptionCount = 20;

// How the value field behaves for an option.
enum class ValueField {
  Off,        // disabled and empty; the option's buttons (or Set alone) act
  Mm,         // shown and read in millimetres, sent and stored in printer dots
  Integer,    // a plain integer
  IntegerMm,  // a plain integer of millimetres, shown with "mm"
  Network,    // hidden: the four network edits take its place
};

// The command that Set sends: `text`, then the value in `width` digits filled with zeros (with its
// sign always when `plus`), then `suffix`. A width of 0 sends `text` alone.
struct SetCommand {
  const char* text;  // null: Set sends nothing for this option
  int width;
  bool plus;
  const char* suffix;
};

struct OptionInfo {
  OptionKind kind;
  ValueField field;
  SetCommand command;
  const char* key;  // key of the stored value in the printer's section; "" when none
};

// The option at this index of the option list; null outside 0 to 19.
const OptionInfo* OptionAt(int index);

// The string of the option's help text.
constexpr int HelpString(OptionKind kind) { return kStrHelpFirst + static_cast<int>(kind); }

// The option of this kind; null for an unknown kind.
const OptionInfo* OptionOfKind(OptionKind kind);

// Printer resolution: 8 dots per millimetre in class 2 (200 DPI), 12 in class 3 (300 DPI).
inline constexpr double kDotsPerMm200 = 8.0;
inline constexpr double kDotsPerMm300 = 12.0;
inline constexpr int kClass200 = 2;
inline constexpr int kClass300 = 3;

// The most characters of the value field that Set reads, and the largest value it takes.
inline constexpr std::size_t kValueChars = 9;
inline constexpr int kValueLimit = 9999;

// The leading decimal number of a text (white space skipped; digits with an optional sign, point and
// exponent; what follows, such as "mm", ignored); 0.0 when the text does not begin with one. A number
// beyond the range of double gives infinity with its sign.
double LeadingDecimal(const char* text);

// "%.3f" in every locale: a point, three decimals.
std::string FormatFixed3(double value);

// The value Set takes from the value field's text, with the millimetre number it was typed as.
struct SetValue {
  int value;             // printer dots, or the plain integer
  double mm;             // the number as typed (options read in millimetres); 0 when a range rule cleared it
  bool in_range = true;  // false when a range rule cleared the value to 0
};

// Whether the text begins with a number (white space skipped, then an optional sign, then a digit,
// or a point and a digit): what LeadingDecimal reads as more than an absent number.
bool BeginsWithNumber(const std::string& text);

// Reads the value field on Set: its first 9 characters, a millimetre number converted with
// dots_per_mm (options read in millimetres, except the label length), else the leading integer;
// beyond -9999..9999 the value is 0. Then the rules of the offsets: the X offset keeps -432..432
// (200 DPI) or -624..624 (300 DPI) and adds 864 or 1248 to a negative value, else 0; the Y offset
// keeps -200..2000, else 0.
SetValue ReadSetValue(const std::string& field_text, bool value_in_mm, OptionKind kind, double dots_per_mm,
                      int resolution_class);

// The stored X offset as shown: above 432 (200 DPI) or 624 (300 DPI) it is a negative offset.
int DisplayXOffset(int stored, int resolution_class);

// The command that Set sends for the option of this kind with this value; "" when Set sends none.
std::string ComposeSetCommand(OptionKind kind, int value);

// The text shown in the value field after Set.
std::string EchoText(const SetValue& v, bool value_in_mm, OptionKind kind, double dots_per_mm);

// Commands of the option buttons.
inline constexpr char kCmdForward[] = "#UM>DI1\r\n^@\r\n";
inline constexpr char kCmdReverse[] = "#UM>DI0\r\n^@\r\n";
inline constexpr char kCmdPrinterChinese[] = "#UM>PLC\r\n^@\r\n";
inline constexpr char kCmdPrinterEnglish[] = "#UM>PLE\r\n^@\r\n";
inline constexpr char kCmdAutoCalibrationOn[] = "#UM>DA1\r\n";
inline constexpr char kCmdAutoCalibrationOff[] = "#UM>DA0\r\n";
inline constexpr char kCmdLengthModeOn[] = "#UM>AG1\r\n";
inline constexpr char kCmdLengthModeOff[] = "#UM>AG0\r\n";
inline constexpr char kKeyDirection[] = "DI";

// The network commands, each followed by the text of its edit and CR LF, and their keys.
struct NetworkCommand {
  const char* text;
  const char* key;
};
inline constexpr NetworkCommand kNetworkCommands[] = {{"#UM>IA", "IA"}, {"#UM>MK", "MK"}, {"#UM>GT", "GT"}};
inline constexpr char kKeyPortNumber[] = "NP";

// The values that Advanced Reset stores, in this order: the string holding each for the 200-DPI and
// the 300-DPI class.
struct ResetDefault {
  const char* key;
  int string_200;
  int string_300;
};
inline constexpr ResetDefault kResetDefaults[] = {
    {"FD", kStrResetTearOff200, kStrResetTearOff300},
    {"DL", kStrResetSensitivity200, kStrResetSensitivity300},
    {"SP", kStrResetErrorRange200, kStrResetErrorRange300},
    {"SD", kStrResetRefractive200, kStrResetRefractive300},
    {"ST", kStrResetTransmissive200, kStrResetTransmissive300},
    {"DI", kStrResetDirection200, kStrResetDirection300},
    {"PD", kStrResetPeeler200, kStrResetPeeler300},
    {"DM", kStrResetLabelLength200, kStrResetLabelLength300},
    {"MX", kStrResetXOffset200, kStrResetXOffset300},
    {"MY", kStrResetYOffset200, kStrResetYOffset300},
    {"OD", kStrResetDarkness200, kStrResetDarkness300},
    {"OS", kStrResetSpeed200, kStrResetSpeed300},
    {"IA", kStrResetIpAddress, kStrResetIpAddress},
    {"MK", kStrResetSubnetMask, kStrResetSubnetMask},
    {"GT", kStrResetGateway, kStrResetGateway},
    {"NP", kStrResetPortNumber, kStrResetPortNumber},
};
// The first entries that hold values of either class alike: with a class other than 2 or 3 only these
// (IA, MK, GT, NP) are stored.
inline constexpr int kFirstClasslessDefault = 12;

}  // namespace kv::tool

#endif
