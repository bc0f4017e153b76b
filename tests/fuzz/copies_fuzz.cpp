// ChangeCopies on any file: either the copy count is rewritten exactly (the digits after "#BD##CP#"
// replaced by the new count, every other byte kept), or the call is refused with the code that the
// file's shape calls for and the file is byte for byte what it was. No work file is left behind.
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz_input.h"
#include "kvtaglib.h"

namespace {

using kvfuzz::Check;

// The longest old count that is accepted, in digits.
constexpr std::size_t kLongestCount = 10239;

// What ChangeCopies should make of `file`: the rewritten bytes, or the refusal's code.
int Expect(const std::string& file, int copies, std::string* rewritten) {
  if (file.compare(0, 4, "#BD#") != 0 || file.size() < 4) return KV_ERR_COPIES_NO_BD;
  if (file.size() < 8 || file.compare(4, 4, "#CP#") != 0) return KV_ERR_COPIES_NO_CP;
  std::size_t end = 8;
  while (end < file.size() && file[end] >= '0' && file[end] <= '9') ++end;
  if (end - 8 > kLongestCount) return KV_ERR_COPIES_COUNT_TOO_LONG;
  if (end == file.size()) return KV_ERR_COPIES_TRUNCATED;
  *rewritten = "#BD##CP#" + std::to_string(copies) + file.substr(end);
  return KV_OK;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kvfuzz::StartJob();
  kvfuzz::Input in(data, size);
  const int copies = in.Int();
  // Most inputs begin as a print file does, so that the count and what follows it are explored.
  std::string file = in.Byte() % 4 != 0 ? "#BD##CP#" : "";
  file += in.Rest();
  kvfuzz::WriteFile("label.prn", file);
  std::string rewritten;
  const int expected = Expect(file, copies, &rewritten);
  const int rc = ChangeCopies("label.prn", copies);
  Check(rc == expected, "ChangeCopies returned another code than the file's shape calls for");
  Check(kvfuzz::ReadFile("label.prn") == (rc == KV_OK ? rewritten : file),
        rc == KV_OK ? "the rewritten file is not exact" : "a refused call changed the file");
  Check(!std::filesystem::exists("PrnTmp"), "the work file was left behind");
  return 0;
}
