// TrueType text through FreeType: every dot in place when the image's edges cut the text; at the largest
// cell, under a bounded address space, about one bit per dot of work memory, and lack of it reported.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "kv/platform/text_raster.h"
#include "kvtaglib.h"
#include "pcx_reader.h"
#include "test_env.h"
#include "truetype.h"

namespace {

using kvtest::Bitmap;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;  // it reserves more address space than any bound allows
#else
constexpr bool kAddressSanitizer = false;
#endif

constexpr int kCell = 16384;
constexpr const char kText[] = "WW";

// The bytes of the address space in use now.
std::size_t AddressSpace() {
  std::size_t pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Draws the text with `extra` bytes of address space to spare and exits with 0 drawn, 1 no memory,
// 2 no drawing surface, 3 anything else, 4 a failure that appended to the spool file.
[[noreturn]] void DrawBounded(std::size_t extra, const std::filesystem::path& spool_file) {
  const auto before = std::filesystem::file_size(spool_file);
  malloc_trim(0);  // freed memory that stays mapped would be room the bound does not count
  const rlimit limit = {AddressSpace() + extra, RLIM_INFINITY};
  if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(5);
  const int rc = KV_DrawTextTrueTypeW(0, 0, kCell, 0, "DejaVu Sans", 0, 400, 0, 0, 0, "TT", kText);
  if (rc != KV_OK && std::filesystem::file_size(spool_file) != before) _exit(4);
  _exit(rc == KV_OK ? 0 : rc == KV_ERR_TRUETYPE_NO_MEMORY ? 1 : rc == KV_ERR_TRUETYPE_NO_SURFACE ? 2 : 3);
}

class TrueTypeRasterTest : public kvtest::LibraryTest {};

// Drawn into a small image that shows only part of the text, the text's dots are exactly those of
// the same part of a large image that holds all of it: in every direction, whatever edges cut it.
TEST_F(TrueTypeRasterTest, DrawingIntoAPartOfTheTextKeepsEveryDotInPlace) {
  for (int escapement : {0, 900, 1800, 2700}) {
    SCOPED_TRACE(testing::Message() << "escapement " << escapement);
    const kv::plat::FontSpec font = {30, 0, "DejaVu Sans", escapement, 400, true, true, false};
    kv::plat::TextRaster* raster = kv::plat::raster_open("KIRV R5", font, "Clip jig");
    ASSERT_NE(raster, nullptr);
    int cx = 0, cy = 0;
    ASSERT_TRUE(kv::plat::raster_measure(raster, "Clip jig", &cx, &cy));
    const int side = kv::RoundUp32(2 * (cx + cy)), centre = side / 2;
    Bitmap whole{side, side, std::vector<std::uint8_t>(static_cast<std::size_t>(side / 8 * side), 0xFF)};
    ASSERT_EQ(kv::plat::raster_draw(raster, "Clip jig", side, side, centre, centre, whole.bits.data()),
              kv::plat::DrawResult::Drawn);
    int inked = 0;
    // Windows of 32 x 24 dots, stepped so that their edges cut the glyphs at every bit of a byte.
    for (int top = centre - cx - 20; top < centre + cx + 20; top += 7) {
      for (int left = centre - cx - 40; left < centre + cx + 40; left += 5) {
        Bitmap part{32, 24, std::vector<std::uint8_t>(4 * 24, 0xFF)};
        ASSERT_EQ(kv::plat::raster_draw(raster, "Clip jig", 32, 24, centre - left, centre - top, part.bits.data()),
                  kv::plat::DrawResult::Drawn);
        for (int y = 0; y < 24; ++y)
          for (int x = 0; x < 32; ++x)
            ASSERT_EQ(part.Dark(x, y), whole.Dark(left + x, top + y)) << "dot " << left + x << "," << top + y;
        inked += part.DarkCount();
      }
    }
    EXPECT_GT(inked, 200) << "the windows saw the text";
    kv::plat::raster_close(raster);
  }
}

TEST_F(TrueTypeRasterTest, WorkMemoryIsAboutOneBitPerDot) {
  if (kAddressSanitizer) GTEST_SKIP() << "address space cannot be bounded under AddressSanitizer";
  ASSERT_EQ(OpenAndClearTmpFile(kvtest::kPrinter), KV_OK);
  // The image the text needs, one bit a dot, from its size at a sixteenth of the cell (which
  // opens the face before any bound, and leaves no large glyph behind in this process).
  const kv::plat::FontSpec font = {kCell / 16, 0, "DejaVu Sans", 0, 400, false, false, false};
  kv::plat::TextRaster* raster = kv::plat::raster_open(kvtest::kPrinter, font, kText);
  ASSERT_NE(raster, nullptr);
  int cx = 0, cy = 0;
  ASSERT_TRUE(kv::plat::raster_measure(raster, kText, &cx, &cy));
  kv::plat::raster_close(raster);
  const kv::TextPlacement p = kv::PlaceText(1, 16 * cx, kCell);
  const std::size_t image = static_cast<std::size_t>(p.width) / 8 * static_cast<std::size_t>(p.height);
  ASSERT_GT(image, 32u << 20) << "a text large enough to tell one bit a dot from one byte";

  const struct {
    const char* room;
    std::size_t extra;
    int exit_code;
  } cases[] = {
      // One glyph at a time (a third of this image) and the encoded file fit beside the image; a
      // byte-a-dot copy of the text would need eight images more. A tenth is room for no glyph.
      {"twice the image", 2 * image, 0},
      {"the image and a tenth", image + image / 10, 1},
      {"half the image", image / 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.room);
    EXPECT_EXIT(DrawBounded(c.extra, SpoolFile()), testing::ExitedWithCode(c.exit_code), "");
  }
}

}  // namespace
