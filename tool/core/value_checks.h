// The shapes that a value typed as text must have before it reaches an option's command: the command
// line checks every value against the check of its option's field before anything is sent or stored,
// and any other front end that takes values as text uses the same table. The dialog keeps its own,
// more lenient reading of the value field (ReadSetValue).
#ifndef KV_TOOL_VALUE_CHECKS_H
#define KV_TOOL_VALUE_CHECKS_H

#include <string>

#include "options.h"

namespace kv::tool {

struct ValueCheck {
  ValueField field;                          // the options whose values it checks
  const char* shape;                         // what it takes, as --options shows it
  bool (*accepts)(const std::string& text);  // true when the whole text has the shape
};

// Every check, one per field that takes a value (the fields Off take none).
extern const ValueCheck kValueChecks[4];

// The check of a field; null for a field that takes no value.
const ValueCheck* CheckOf(ValueField field);

// A decimal number of millimetres: an optional sign, digits with an optional point (at least one
// digit), and an optional "mm". No exponent, no other base, nothing else.
bool IsMillimetres(const std::string& text);

// A whole decimal number: an optional sign and digits.
bool IsWholeNumber(const std::string& text);

// A whole decimal number of millimetres: a whole number with an optional "mm".
bool IsWholeMillimetres(const std::string& text);

// A dotted IPv4 address: four decimal numbers of 0 to 255, without leading zeros, parted by points.
bool IsIpv4Address(const std::string& text);

// Three dotted IPv4 addresses parted by commas: the address, the subnet mask and the gateway.
bool IsNetworkTriple(const std::string& text);

// The bytes below a space and DEL.
constexpr bool IsControlCharacter(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Whether a text holds a control character.
bool HoldsControlCharacter(const std::string& text);

}  // namespace kv::tool

#endif
