// TrueType text of bounded size (at most 160 dots high, a short text): the call either appends the
// delete, the download of a PCX image whose header agrees with its rows, and the placement, all
// under the caller's graphic name, or is refused and appends nothing.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "kvtaglib.h"

namespace {

using kvfuzz::Check;

const char* const kFaces[] = {"DejaVu Sans", "Liberation Serif", "WenQuanYi Zen Hei", "No Such Face", ""};

// Reads a number written in decimal at `pos`; moves `pos` past it.
long long Number(const std::string& s, std::size_t* pos) {
  long long v = 0;
  while (*pos < s.size() && s[*pos] >= '0' && s[*pos] <= '9') v = v * 10 + (s[(*pos)++] - '0');
  return v;
}

// The rows of a PCX image decode to exactly Ymax + 1 rows of the header's bytes per line.
bool PcxAgreesWithItsHeader(const std::string& pcx) {
  if (pcx.size() < 128) return false;
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(pcx[at]) | static_cast<unsigned char>(pcx[at + 1]) << 8);
  };
  std::string rows;
  return u16(66) * 8 == u16(8) + 1 && kvfuzz::DecodePcx(pcx.substr(128), &rows) &&
         rows.size() == u16(66) * (u16(10) + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kvfuzz::StartJob();
  kvfuzz::Input in(data, size);
  const int x = in.Int(), y = in.Int();
  const int height = in.IntNear(-2, 160), width = in.IntNear(-2, 80);
  const int orientation = in.IntNear(0, 5), weight = in.IntNear(-1, 1000);
  const int italic = in.Byte() % 2, underline = in.Byte() % 2, strike_out = in.Byte() % 2;
  const std::string face = in.Byte() % 4 != 0 ? kFaces[in.Byte() % 5] : in.Text(40);
  const std::string name = in.Text(20);
  const std::string text = in.Text(24);
  // Bounded both ways: a negative height asks for the character height, as the Windows font does.
  const auto bound = [](int v, int most) { return v > most ? most : v < -most ? -most : v; };
  const int bounded_height = bound(height, 160), bounded_width = bound(width, 80);

  const int rc = KV_DrawTextTrueTypeW(x, y, bounded_height, bounded_width, face.c_str(), orientation, weight, italic,
                                      underline, strike_out, name.c_str(), text.c_str());
  const std::string job = kvfuzz::SpoolBytes();
  if (rc != KV_OK) {
    Check(job.empty(), "a refused text appended bytes");
    Check(GetErrState() == rc, "a refused text did not store its code");
    return 0;
  }
  const std::string del = "GK\"" + name + "\"\r\n", down = "GM\"" + name + "\"";
  Check(job.compare(0, del.size(), del) == 0, "the delete does not come first");
  Check(job.compare(del.size(), down.size(), down) == 0, "the download does not follow the delete");
  std::size_t pos = del.size() + down.size();
  const long long length = Number(job, &pos);
  Check(job.compare(pos, 2, "\r\n") == 0, "the download line does not end after its length");
  pos += 2;
  Check(pos + static_cast<std::size_t>(length) <= job.size(), "the image is shorter than its announced length");
  Check(PcxAgreesWithItsHeader(job.substr(pos, static_cast<std::size_t>(length))),
        "the image's header disagrees with its rows");
  pos += static_cast<std::size_t>(length);
  const std::string place = "GG" + std::to_string(x) + "," + std::to_string(y) + ",\"" + name + "\"\r\n";
  Check(job.substr(pos) == place, "the placement is not the last line");
  return 0;
}
