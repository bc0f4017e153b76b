// The settings file, read and written by the profile rules: whatever the file holds, a value written
// under a section and key reads back (without the blanks around it and one pair of quotes), and
// every other key that could be read before reads the same after.
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "kv/platform/profile.h"

namespace {

using kvfuzz::Check;
using kvfuzz::Input;

constexpr const char kFile[] = "KV_setting.ini";

std::string Read(const std::string& section, const std::string& key) {
  char buf[4096];
  kv::plat::profile_read(kFile, section.c_str(), key.c_str(), "\x01missing", buf, sizeof buf);
  return buf;
}

// A section or key name: letters, digits, blanks and a few signs; never "=", brackets or line breaks.
std::string Name(Input& in) {
  static const char kChars[] = "abcXYZ019 _.-";
  std::string s;
  for (std::size_t n = in.Byte() % 8 + 1; n > 0; --n) s.push_back(kChars[in.Byte() % (sizeof kChars - 1)]);
  return s;
}

std::string Trim(const std::string& s) {
  const char* blanks = " \t\v\f\r";
  const std::size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

// Names compare without the blanks around them and without regard to case.
std::string Folded(const std::string& s) {
  std::string t = Trim(s);
  for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t;
}

// Every (section, key) the file might hold: each "[...]" line names a section, each "k=" a key.
std::vector<std::pair<std::string, std::string>> Candidates(const std::string& file) {
  std::vector<std::string> sections = {""}, keys;
  std::size_t pos = 0;
  while (pos < file.size()) {
    std::size_t nl = file.find('\n', pos);
    if (nl == std::string::npos) nl = file.size();
    const std::string line = file.substr(pos, nl - pos);
    const std::size_t open = line.find('['), close = line.rfind(']');
    if (open != std::string::npos && close != std::string::npos && close > open)
      sections.push_back(line.substr(open + 1, close - open - 1));
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && eq > 0) keys.push_back(line.substr(0, eq));
    pos = nl + 1;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const std::string& s : sections)
    for (const std::string& k : keys)
      if (pairs.size() < 64 && !Trim(k).empty()) pairs.emplace_back(s, k);
  return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  const std::string section = Name(in), key = Name(in);
  std::string value = in.Text(40);
  for (char& c : value)
    if (c == '\r' || c == '\n') c = ' ';  // a line break in a value is refused before it gets here
  std::string file = in.Rest();
  for (char& c : file)
    if (c == '\0') c = ' ';  // a settings file is text
  kvfuzz::WriteFile(kFile, file);
  if (Trim(section).empty() || Trim(key).empty()) return 0;

  const auto others = Candidates(file);
  std::vector<std::string> before;
  for (const auto& [s, k] : others) before.push_back(Read(s, k));

  Check(kv::plat::profile_write(kFile, section.c_str(), key.c_str(), value.c_str()), "the write failed");
  std::string expected = Trim(value);
  if (expected.size() >= 2 && expected.front() == expected.back() &&
      (expected.front() == '"' || expected.front() == '\''))
    expected = expected.substr(1, expected.size() - 2);
  Check(Read(section, key) == expected, "the written value does not read back");
  for (std::size_t i = 0; i < others.size(); ++i) {
    const auto& [s, k] = others[i];
    if (Folded(s) == Folded(section) && Folded(k) == Folded(key)) continue;
    Check(Read(s, k) == before[i], "another key reads differently after the write");
  }
  return 0;
}
