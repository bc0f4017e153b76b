#include "options.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "settings.h"

namespace kv::tool {

namespace {

constexpr const char kCrLf[] = "\r\n";
constexpr const char kCrLfReset[] = "\r\n^@\r\n";  // the line, then the printer's reset line

constexpr SetCommand kNoCommand = {nullptr, 0, false, ""};

// Index in the option list -> the option. Entry i of the list is string kStrOptionFirst + i.
constexpr OptionInfo kOptions[kOptionCount] = {
    {OptionKind::FactoryReset, ValueField::Off, {"^@\r\n", 0, false, ""}, ""},
    {OptionKind::Calibration, ValueField::Off, {"MD\r\n", 0, false, ""}, ""},
    {OptionKind::SelfTest, ValueField::Off, {"U\r\n", 0, false, ""}, ""},
    {OptionKind::TearOff, ValueField::Mm, {"#UM>FD", 3, false, kCrLf}, "FD"},
    {OptionKind::Sensitivity, ValueField::Integer, {"#UM>DL", 2, false, kCrLf}, "DL"},
    {OptionKind::ErrorRange, ValueField::Integer, {"#UM>SP", 2, false, kCrLf}, "SP"},
    {OptionKind::Refractive, ValueField::Mm, {"#UM>SD", 4, false, kCrLfReset}, "SD"},
    {OptionKind::Transmissive, ValueField::Mm, {"#UM>ST", 4, false, kCrLfReset}, "ST"},
    {OptionKind::Direction, ValueField::Off, kNoCommand, kKeyDirection},  // Forward and Reverse
    {OptionKind::InternalLanguage, ValueField::Off, kNoCommand, ""},      // Chinese and English
    {OptionKind::LabelLength, ValueField::IntegerMm, {"#UM>DM", 4, false, kCrLf}, "DM"},
    {OptionKind::Peeler, ValueField::Mm, {"#UM>PD", 3, false, kCrLf}, "PD"},
    {OptionKind::AdvancedReset, ValueField::Off, {"#UM>IF\r\n", 0, false, ""}, ""},  // stores the defaults
    {OptionKind::AutoCalibration, ValueField::Off, kNoCommand, ""},                  // Enable and Disable
    {OptionKind::XOffset, ValueField::Mm, {"#UM>MX", 5, true, kCrLf}, "MX"},
    {OptionKind::YOffset, ValueField::Mm, {"#UM>MY", 5, true, kCrLf}, "MY"},
    {OptionKind::Darkness, ValueField::Integer, {"#UM>OD", 2, false, kCrLf}, "OD"},
    {OptionKind::Speed, ValueField::Integer, {"#UM>OS", 2, false, kCrLf}, "OS"},
    {OptionKind::LengthMode, ValueField::Off, kNoCommand, ""},   // Enable and Disable
    {OptionKind::Network, ValueField::Network, kNoCommand, ""},  // IA, MK, GT and NP
};

// Ranges of the X offset (either way of 0) and what a negative offset is sent as, by class.
constexpr int kXRange200 = 432;
constexpr int kXWrap200 = 864;
constexpr int kXRange300 = 624;
constexpr int kXWrap300 = 1248;
// Range of the Y offset.
constexpr int kYLowest = -200;
constexpr int kYHighest = 2000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number in `width` characters with zeros after its sign, as printf's "%0*d" ("%+0*d" with plus).
std::string FormatPadded(int value, int width, bool plus) {
  long long magnitude = value < 0 ? -static_cast<long long>(value) : value;
  std::string digits = std::to_string(magnitude);
  std::string sign = value < 0 ? "-" : (plus ? "+" : "");
  if (sign.size() + digits.size() < static_cast<std::size_t>(width))
    digits.insert(0, static_cast<std::size_t>(width) - sign.size() - digits.size(), '0');
  return sign + digits;
}

}  // namespace

const OptionInfo* OptionAt(int index) { return index >= 0 && index < kOptionCount ? &kOptions[index] : nullptr; }

const OptionInfo* OptionOfKind(OptionKind kind) {
  for (const OptionInfo& option : kOptions)
    if (option.kind == kind) return &option;
  return nullptr;
}

double LeadingDecimal(const char* text) {
  if (text == nullptr) return 0.0;
  bool negative = false;
  const char* p = NumberStart(text, &negative);
  // Only the decimal form counts: digits, a point, digits, and an exponent with digits.
  const char* start = p;
  int digits = 0;
  while (IsDigit(*p)) ++p, ++digits;
  if (*p == '.') {
    ++p;
    while (IsDigit(*p)) ++p, ++digits;
  }
  if (digits == 0) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '+' || *q == '-') ++q;
    if (IsDigit(*q)) {
      while (IsDigit(*q)) ++q;
      p = q;
    }
  }
  double value = 0.0;
  std::from_chars_result r = std::from_chars(start, p, value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large for a double, or too small to be anything but 0: which, the exponent's sign tells.
    const char* e = std::strpbrk(start, "eE");
    value = (e != nullptr && e < p && e[1] == '-') ? 0.0 : HUGE_VAL;
  }
  return negative ? -value : value;
}

std::string FormatFixed3(double value) {
  char buf[400];
  std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 3);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.000");
}

SetValue ReadSetValue(const std::string& field_text, bool value_in_mm, OptionKind kind, double dots_per_mm,
                      int resolution_class) {
  const std::string text = field_text.substr(0, kValueChars);
  SetValue v{0, 0.0};
  if (value_in_mm && kind != OptionKind::LabelLength) {
    v.mm = LeadingDecimal(text.c_str());
    const double dots = std::trunc(dots_per_mm * v.mm);
    if (dots >= -kValueLimit && dots <= kValueLimit) {
      v.value = static_cast<int>(dots);
    } else {
      v.mm = 0.0;  // beyond the range (infinity included): 0 is sent and stored
      v.in_range = false;
    }
  } else {
    v.value = LeadingInt(text.c_str());
    if (v.value > kValueLimit || v.value < -kValueLimit) {
      v.value = 0;
      v.in_range = false;
    }
  }

  if (kind == OptionKind::XOffset && (resolution_class == kClass200 || resolution_class == kClass300)) {
    const int range = resolution_class == kClass200 ? kXRange200 : kXRange300;
    const int wrap = resolution_class == kClass200 ? kXWrap200 : kXWrap300;
    if (v.value >= -range && v.value <= range) {
      if (v.value < 0) v.value += wrap;
    } else {
      v.value = 0;
      v.mm = 0.0;
      v.in_range = false;
    }
  } else if (kind == OptionKind::YOffset && (resolution_class == kClass200 || resolution_class == kClass300)) {
    if (v.value < kYLowest || v.value > kYHighest) {
      v.value = 0;
      v.mm = 0.0;
      v.in_range = false;
    }
  }
  return v;
}

bool BeginsWithNumber(const std::string& text) {
  bool negative = false;
  const char* p = NumberStart(text.c_str(), &negative);
  if (*p == '.') ++p;
  return IsDigit(*p);
}

int DisplayXOffset(int stored, int resolution_class) {
  if (resolution_class == kClass200 && stored > kXRange200) return stored - kXWrap200;
  if (resolution_class == kClass300 && stored > kXRange300) return stored - kXWrap300;
  return stored;
}

std::string ComposeSetCommand(OptionKind kind, int value) {
  const OptionInfo* option = OptionOfKind(kind);
  if (option == nullptr || option->command.text == nullptr) return "";
  const SetCommand& c = option->command;
  if (c.width == 0) return c.text;
  return c.text + FormatPadded(value, c.width, c.plus) + c.suffix;
}

std::string EchoText(const SetValue& v, bool value_in_mm, OptionKind kind, double dots_per_mm) {
  if (!value_in_mm) return std::to_string(v.value);
  if (kind == OptionKind::LabelLength) return std::to_string(v.value) + "mm";
  if (kind == OptionKind::XOffset || kind == OptionKind::YOffset) return FormatFixed3(v.mm) + "mm";
  return FormatFixed3(v.value / dots_per_mm) + "mm";
}

}  // namespace kv::tool
