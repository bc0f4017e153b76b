#include "value_checks.h"

namespace kv::tool {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digits from `at` on; returns how many.
std::size_t Digits(const std::string& text, std::size_t at) {
  std::size_t n = 0;
  while (at + n < text.size() && IsDigit(text[at + n])) ++n;
  return n;
}

std::size_t SignLength(const std::string& text) { return !text.empty() && (text[0] == '+' || text[0] == '-'); }

// The text without a final "mm" (the unit the value field shows).
std::string WithoutUnit(const std::string& text) {
  const std::size_t n = text.size();
  return n >= 2 && text.compare(n - 2, 2, "mm") == 0 ? text.substr(0, n - 2) : text;
}

}  // namespace

const ValueCheck kValueChecks[4] = {
    {ValueField::Mm, "millimetres", &IsMillimetres},
    {ValueField::Integer, "integer", &IsWholeNumber},
    {ValueField::IntegerMm, "whole millimetres", &IsWholeMillimetres},
    {ValueField::Network, "IP,MASK,GATEWAY", &IsNetworkTriple},
};

const ValueCheck* CheckOf(ValueField field) {
  for (const ValueCheck& check : kValueChecks)
    if (check.field == field) return &check;
  return nullptr;
}

bool IsWholeNumber(const std::string& text) {
  const std::size_t sign = SignLength(text);
  const std::size_t digits = Digits(text, sign);
  return digits > 0 && sign + digits == text.size();
}

bool IsWholeMillimetres(const std::string& text) { return IsWholeNumber(WithoutUnit(text)); }

bool IsMillimetres(const std::string& text) {
  const std::string number = WithoutUnit(text);
  std::size_t at = SignLength(number);
  const std::size_t whole = Digits(number, at);
  at += whole;
  std::size_t fraction = 0;
  if (at < number.size() && number[at] == '.') {
    fraction = Digits(number, at + 1);
    at += 1 + fraction;
  }
  return whole + fraction > 0 && at == number.size();
}

bool IsIpv4Address(const std::string& text) {
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return false;
      ++at;
    }
    const std::size_t digits = Digits(text, at);
    if (digits == 0 || digits > 3 || (digits > 1 && text[at] == '0')) return false;
    if (std::stoi(text.substr(at, digits)) > 255) return false;
    at += digits;
  }
  return at == text.size();
}

bool IsNetworkTriple(const std::string& text) {
  const std::size_t first = text.find(',');
  const std::size_t second = first == std::string::npos ? first : text.find(',', first + 1);
  if (second == std::string::npos) return false;
  return IsIpv4Address(text.substr(0, first)) && IsIpv4Address(text.substr(first + 1, second - first - 1)) &&
         IsIpv4Address(text.substr(second + 1));
}

bool HoldsControlCharacter(const std::string& text) {
  for (char c : text)
    if (IsControlCharacter(c)) return true;
  return false;
}

}  // namespace kv::tool
