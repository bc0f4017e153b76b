// What every fuzz target shares: the input taken apart into numbers and texts, a folder of the
// target's own (entered before the first input, so that spool and work files of one run never meet
// those of another), a connection to the test spooler's held queue, and a reader of PCX row code.
#ifndef KV_TESTS_FUZZ_INPUT_H
#define KV_TESTS_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvfuzz {

// Takes numbers and texts from the front of the fuzzer's bytes; past the end everything is zero.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}
  std::uint8_t Byte() { return n_ > 0 ? (--n_, *p_++) : 0; }
  std::int32_t Int() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    return static_cast<std::int32_t>(v);
  }
  // A number in [lo, hi], most of the time; now and then any number, so that bounds are crossed.
  std::int32_t IntNear(std::int32_t lo, std::int32_t hi) {
    const std::uint8_t how = Byte();
    const std::int32_t any = Int();
    if (how < 32) return any;
    const std::int64_t span = static_cast<std::int64_t>(hi) - lo + 1;
    return static_cast<std::int32_t>(lo + static_cast<std::int64_t>(static_cast<std::uint32_t>(any) % span));
  }
  // A text of at most `max` bytes, none of them zero (a zero-terminated argument).
  std::string Text(std::size_t max) {
    std::size_t len = Byte();
    if (max < 256) len %= max + 1;
    std::string s;
    for (std::size_t i = 0; i < len && n_ > 0; ++i) {
      const std::uint8_t b = Byte();
      s.push_back(static_cast<char>(b == 0 ? 'z' : b));
    }
    return s;
  }
  // Everything left.
  std::string Rest() {
    std::string s(reinterpret_cast<const char*>(p_), n_);
    p_ += n_;
    n_ = 0;
    return s;
  }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
};

// Opens the connection to the held queue of the test spooler (once) and starts a fresh job.
void StartJob();

// The spool file's bytes as they stand.
std::string SpoolBytes();

// Reads a whole file; "" when it cannot be read.
std::string ReadFile(const char* path);
void WriteFile(const char* path, const std::string& bytes);

// Decodes PCX run-length code into its bytes; false on a count without its byte or a run of none.
bool DecodePcx(const std::string& code, std::string* bytes);

// Stops the run with a message when `ok` is false (a finding: libFuzzer keeps the input).
void Check(bool ok, const char* what);

}  // namespace kvfuzz

#endif
