// The PCX row code: any row, encoded into a buffer of any size, never writes past the buffer; when
// the result fits it decodes back to the row, byte for byte, with no run longer than 63 and no single
// byte that a decoder would take for a run's count.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "pcx.h"

using kvfuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kvfuzz::Input in(data, size);
  // The capacity is often smaller than the code, so that the bound is tried.
  const std::size_t capacity = static_cast<std::size_t>(in.Byte()) << 4 | in.Byte() % 16;
  const std::string row = in.Rest();
  // Exactly `capacity` bytes, so that the address sanitizer sees any write past them.
  std::unique_ptr<unsigned char[]> out(new unsigned char[capacity == 0 ? 1 : capacity]);
  const std::size_t n = kv::PcxEncodeRow(capacity == 0 ? nullptr : out.get(), capacity,
                                         reinterpret_cast<const unsigned char*>(row.data()), row.size());
  // Every byte takes at most two; every run of up to 63 equal bytes at most two.
  Check(n <= 2 * row.size(), "the code is longer than two bytes per row byte");
  if (n > capacity) return 0;
  std::string decoded;
  Check(kvfuzz::DecodePcx(std::string(reinterpret_cast<const char*>(out.get()), n), &decoded),
        "the code cannot be decoded");
  Check(decoded == row, "the code does not decode back to the row");
  return 0;
}
