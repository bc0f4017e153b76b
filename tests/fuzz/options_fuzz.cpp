// Option values as typed into the value field: whatever the text, the value Set takes stays within
// the printer's range, the command it composes carries that value in its number field and nothing
// that would end its line early, and the echo shown afterwards is a plain number.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "options.h"

namespace {

using kvfuzz::Check;

bool PlainNumberText(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789-.m") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv::tool;
  kvfuzz::Input in(data, size);
  const OptionKind kind = static_cast<OptionKind>(static_cast<int>(in.Byte() % (kOptionCount + 2)) - 1);
  const bool in_mm = in.Byte() % 2 != 0;
  const int resolution_class = in.Byte() % 5;
  const double dots_per_mm = resolution_class == kClass300 ? kDotsPerMm300 : kDotsPerMm200;
  const int raw = in.Int();
  const std::string typed = in.Text(24);

  const SetValue v = ReadSetValue(typed, in_mm, kind, dots_per_mm, resolution_class);
  Check(v.value >= -kValueLimit && v.value <= kValueLimit + 1248, "the value is beyond every range");
  Check(std::isfinite(v.mm), "the millimetre number is not finite");

  const OptionInfo* option = OptionOfKind(kind);
  for (const int value : {v.value, raw}) {
    const std::string command = ComposeSetCommand(kind, value);
    if (option == nullptr || option->command.text == nullptr) {
      Check(command.empty(), "a command for an option that sends none");
      continue;
    }
    const SetCommand& c = option->command;
    const std::size_t head = std::strlen(c.text), tail = c.width == 0 ? 0 : std::strlen(c.suffix);
    Check(command.size() >= head + tail && command.compare(0, head, c.text) == 0, "the command lost its text");
    if (c.width == 0) {
      Check(command.size() == head, "a command without a number got one");
      continue;
    }
    const std::string number = command.substr(head, command.size() - head - tail);
    Check(number.find_first_of("\r\n") == std::string::npos, "the number field ends the line");
    Check(static_cast<int>(number.size()) >= c.width, "the number is narrower than its field");
    Check(number == std::to_string(value) || std::stoll(number) == value, "the number field does not hold the value");
  }
  const std::string echo = EchoText(v, in_mm, kind, dots_per_mm);
  Check(PlainNumberText(echo), "the echo is not a plain number");
  return 0;
}
