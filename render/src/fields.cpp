#include "fields.h"

#include <algorithm>
#include <cstdio>

namespace kv::render {

std::optional<int> Number(std::string_view field) {
  std::size_t i = 0;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  if (i == field.size() || field.size() - i > 10) return std::nullopt;
  std::int64_t v = 0;
  for (; i < field.size(); ++i) {
    if (field[i] < '0' || field[i] > '9') return std::nullopt;
    v = v * 10 + (field[i] - '0');
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<int>(v);
}

bool SplitFields(std::string_view line, std::size_t count, std::vector<std::string_view>& fields,
                 std::string_view& rest) {
  fields.clear();
  std::size_t at = 0;
  while (fields.size() < count) {
    const std::size_t comma = line.find(',', at);
    if (comma == std::string_view::npos) return false;
    fields.push_back(line.substr(at, comma - at));
    at = comma + 1;
  }
  rest = line.substr(at);
  return true;
}

bool Numbers(std::string_view line, std::size_t count, std::vector<int>& out) {
  out.clear();
  std::size_t at = 0;
  while (at <= line.size()) {
    const std::size_t comma = std::min(line.find(',', at), line.size());
    const auto n = Number(line.substr(at, comma - at));
    if (!n || out.size() == count) return false;
    out.push_back(*n);
    at = comma + 1;
  }
  return out.size() == count;
}

Quoted ReadQuoted(std::string_view field) {
  Quoted q;
  std::size_t i = 1;
  for (; i < field.size(); ++i) {
    const char c = field[i];
    if (c == '\\' && i + 1 < field.size() && (field[i + 1] == '"' || field[i + 1] == '\\')) {
      q.value += field[++i];
    } else if (c == '"') {
      q.closed = true;
      q.trailing = field.substr(i + 1);
      return q;
    } else {
      q.value += c;
    }
  }
  return q;
}

bool QuotedName(std::string_view field, std::string& name, std::string_view& rest) {
  if (field.empty() || field[0] != '"') return false;
  const std::size_t close = field.find('"', 1);
  if (close == std::string_view::npos) return false;
  name.assign(field.substr(1, close - 1));
  rest = field.substr(close + 1);
  return true;
}

std::string Shown(std::string_view bytes, std::size_t max) {
  std::string s;
  for (std::size_t i = 0; i < bytes.size() && i < max; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F) {
      s += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      s += hex;
    }
  }
  if (bytes.size() > max) s += "...";
  return s;
}

}  // namespace kv::render
