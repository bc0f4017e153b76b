// Reading the fields of a command line: numbers, quoted data with its escapes, comma lists.
#ifndef KV_RENDER_FIELDS_H
#define KV_RENDER_FIELDS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::render {

// A signed decimal number of at most 32 bits, the whole field; nothing otherwise.
std::optional<int> Number(std::string_view field);

// Splits off the first `count` comma-separated fields; `rest` receives what follows the last of
// those commas (the data field). False when the line has fewer fields.
bool SplitFields(std::string_view line, std::size_t count, std::vector<std::string_view>& fields,
                 std::string_view& rest);

// All comma-separated fields of `line` as numbers; false when one is not a number or the count differs.
bool Numbers(std::string_view line, std::size_t count, std::vector<int>& out);

struct Quoted {
  std::string value;
  bool closed = false;        // the closing quote was found
  std::string_view trailing;  // what follows the closing quote
};

// Reads a field that begins with a double quote: inside, \" stands for a quote and \\ for a
// backslash; any other backslash is kept.
Quoted ReadQuoted(std::string_view field);

// A name between double quotes at the start of `field` (no escapes); `rest` receives what follows.
bool QuotedName(std::string_view field, std::string& name, std::string_view& rest);

// Shows a piece of a line in a message: printable bytes as they are, others as \xNN, cut to `max`.
std::string Shown(std::string_view bytes, std::size_t max = 40);

}  // namespace kv::render

#endif
