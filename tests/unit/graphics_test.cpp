// Graphics: image data in pieces of one buffer, the PCX row code, the download of a drawn image, and
// TrueType text drawn, decoded back and looked at.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "connection.h"
#include "kv/platform/fault.h"
#include "kv/platform/text_raster.h"
#include "kvtaglib.h"
#include "pcx.h"
#include "pcx_reader.h"
#include "platform.h"
#include "test_env.h"
#include "truetype.h"

namespace fs = std::filesystem;

namespace {

using kv::plat::FaultSite;
using kvtest::Bitmap;
using kvtest::Bytes;
using kvtest::WriteWhole;

class GraphicsTest : public kvtest::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    ASSERT_EQ(OpenAndClearTmpFile(kvtest::kPrinter), KV_OK);
  }
  void TearDown() override {
    EXPECT_FALSE(fs::exists(dir_ / "KIRV.pcx")) << "the work file is gone after every call";
    LibraryTest::TearDown();
  }
};

TEST_F(GraphicsTest, DownloadGoesInPiecesOfOneBuffer) {
  const std::string pcx = Bytes(25000, 5);
  WriteWhole(dir_ / "logo.pcx", pcx);
  const std::string header = "GM\"LOGO\"25000\r\n";
  // The spool file's writes: the header, then the pieces. Failing the Nth shows where each ended.
  const struct {
    int failing_write;
    std::size_t kept;
  } cases[] = {{2, 0}, {3, 10240}, {4, 20480}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing_write);
    ASSERT_EQ(ClearTmpFile(), KV_OK);
    kv::plat::fault_arm(FaultSite::FileWrite, c.failing_write);
    EXPECT_EQ(KV_PcxGraphicsDownload("LOGO", "logo.pcx"), KV_ERR_PCX_DOWNLOAD_WRITE);
    EXPECT_EQ(SpoolBytes(), header + pcx.substr(0, c.kept));
  }
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  EXPECT_EQ(KV_PcxGraphicsDownload("LOGO", "logo.pcx"), KV_OK);
  EXPECT_EQ(SpoolBytes(), header + pcx);
}

TEST_F(GraphicsTest, BitmapGoesInPiecesAndItsLineFailureStillSendsTheData) {
  const std::string image = Bytes(250 * 100, 6);
  const auto* data = reinterpret_cast<const unsigned char*>(image.data());
  ASSERT_EQ(KV_DrawBinGraphics(3, 4, 250, 100, data), KV_OK);
  EXPECT_EQ(SpoolBytes(), "GW3,4,250,100" + image);

  ASSERT_EQ(ClearTmpFile(), KV_OK);
  kv::plat::fault_arm(FaultSite::FileWrite, 3);  // the line, the first piece, then the second
  EXPECT_EQ(KV_DrawBinGraphics(3, 4, 250, 100, data), KV_ERR_BIN_GRAPHICS_DATA_WRITE);
  EXPECT_EQ(SpoolBytes(), "GW3,4,250,100" + image.substr(0, 10240));

  ASSERT_EQ(ClearTmpFile(), KV_OK);
  kv::plat::fault_arm(FaultSite::FileWrite, 1);
  EXPECT_EQ(KV_DrawBinGraphics(3, 4, 250, 100, data), KV_ERR_BIN_GRAPHICS_WRITE);
  EXPECT_EQ(SpoolBytes(), image) << "the data follows a line that could not be written";
}

// ---- the PCX row code ------------------------------------------------------------------------

using Row = std::vector<unsigned char>;

// The row encoded into a buffer of 1024 bytes, and the length reported: what fits, and nothing past it.
Row Encode(const Row& row, std::size_t* length) {
  constexpr std::size_t kCapacity = 1024;
  Row out(kCapacity + 16, 0xEE);  // fill bytes after the buffer catch an overrun
  *length = kv::PcxEncodeRow(out.data(), kCapacity, row.data(), row.size());
  for (std::size_t i = kCapacity; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "written past the buffer";
  out.resize(std::min(*length, kCapacity));
  return out;
}

Row Repeat(std::size_t n, unsigned char b) { return Row(n, b); }

TEST(PcxEncodeRow, RunsAndSingles) {
  Row singles, runs;
  for (int i = 0; i < 600; ++i) singles.push_back(i % 2 ? 0x55 : 0xAA);  // no runs, every byte marked
  for (int i = 0; i < 8; ++i) runs.insert(runs.end(), {0xFF, 0x41});
  runs.insert(runs.end(), {0xC8, 0x41});
  const struct {
    const char* name;
    Row row;
    Row encoded;  // none: the row does not fit, and only the length it reports is checked
    std::size_t length;
  } cases[] = {
      {"empty row", {}, {}, 0},
      {"run of 63", Repeat(63, 0x00), {0xFF, 0x00}, 2},
      {"run of 64 splits", Repeat(64, 0x00), {0xFF, 0x00, 0x00}, 3},
      {"single 0x40 is marked", {0x40}, {0xC1, 0x40}, 2},
      {"single 0x3F is itself", {0x3F}, {0x3F}, 1},
      {"two 0x3F are a run", {0x3F, 0x3F}, {0xC2, 0x3F}, 2},
      {"mixed", {0x01, 0x02, 0x02, 0x80, 0x00}, {0x01, 0xC2, 0x02, 0xC1, 0x80, 0x00}, 6},
      {"512 in runs of 63", Repeat(512, 0x41), runs, 18},
      {"600 marked singles do not fit", singles, {}, 1200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t length = 0;
    const Row encoded = Encode(c.row, &length);
    EXPECT_EQ(length, c.length);
    if (!c.encoded.empty() || c.length == 0) {
      EXPECT_EQ(encoded, c.encoded);
    }
  }
}

// ---- the download of a drawn image -------------------------------------------------------------

TEST_F(GraphicsTest, DrawnImageIsDownloadedAsAPcxThatReadsBack) {
  std::vector<unsigned char> bits(8 * 3, 0xFF);  // 64 by 3
  bits[0] = 0x7F;                                // the top left pixel
  bits[8 + 3] = 0x00;                            // a dark run in the middle row
  bits[23] = 0xFE;                               // the bottom right pixel
  kv::SetErrState(-77);
  ASSERT_EQ(kv::DownloadBitsAsPcx({64, 3, 1}, bits.data(), "IMG"), KV_OK);
  EXPECT_EQ(GetErrState(), 0);
  const auto commands = kvtest::ReadGraphicsCommands(SpoolBytes());
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].kind, "GK");
  EXPECT_EQ(commands[1].kind, "GM");
  EXPECT_EQ(commands[1].name, "IMG");
  const Bitmap image = kvtest::DecodePcx(commands[1].file);
  EXPECT_EQ(image.width, 64);
  EXPECT_EQ(image.height, 3);
  EXPECT_EQ(image.bits, bits);
  EXPECT_EQ(static_cast<unsigned char>(commands[1].file[1]), 5) << "version";
  EXPECT_EQ(static_cast<unsigned char>(commands[1].file[68]), 1) << "palette information";
}

TEST_F(GraphicsTest, RowTooLongForItsBufferIsRefused) {
  std::vector<unsigned char> wide(1024 * 1, 0);
  for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = i % 2 ? 0x55 : 0xAA;  // 8192 dots, encodes to 2048
  EXPECT_EQ(kv::DownloadBitsAsPcx({8192, 1, 1}, wide.data(), "WIDE"), KV_ERR_PCX_ROW_TOO_LONG);
  EXPECT_EQ(GetErrState(), KV_ERR_PCX_ROW_TOO_LONG);
  EXPECT_EQ(SpoolBytes(), "") << "nothing is appended for an image that failed";
}

// ---- TrueType text -----------------------------------------------------------------------------

struct Drawn {
  int rc;
  Bitmap image;
  std::string placed;  // the numbers of the placement command
};

class TrueTypeTest : public GraphicsTest {
 protected:
  // Draws a text and reads its image back from the spool file.
  Drawn Draw(const char* text, int height, int orientation = 0, int weight = 400, int underline = 0,
             const char* face = "DejaVu Sans") {
    EXPECT_EQ(ClearTmpFile(), KV_OK);
    Drawn d;
    d.rc = KV_DrawTextTrueTypeW(10, 20, height, 0, face, orientation, weight, 0, underline, 0, "TT", text);
    if (d.rc != KV_OK) return d;
    const auto commands = kvtest::ReadGraphicsCommands(SpoolBytes());
    EXPECT_EQ(commands.size(), 3u);
    if (commands.size() != 3) return d;
    EXPECT_EQ(commands[0].kind + commands[0].name, "GKTT");
    EXPECT_EQ(commands[1].kind + commands[1].name, "GMTT");
    EXPECT_EQ(commands[2].kind + commands[2].name, "GGTT");
    d.image = kvtest::DecodePcx(commands[1].file);
    d.placed = commands[2].args;
    return d;
  }

  // The text's size as the reference printer measures it.
  void Measure(const char* text, int height, int weight, int* cx, int* cy) {
    const kv::plat::FontSpec font = {height, 0, "DejaVu Sans", 0, weight, false, false, false};
    kv::plat::TextRaster* raster = kv::plat::raster_open("KIRV R5", font, text);
    ASSERT_NE(raster, nullptr);
    ASSERT_TRUE(kv::plat::raster_measure(raster, text, cx, cy));
    kv::plat::raster_close(raster);
  }
};

TEST_F(TrueTypeTest, UprightTextLiesInItsCellAndTheMarginStaysClear) {
  int cx = 0, cy = 0;
  Measure("Label 42", 40, 400, &cx, &cy);
  kv::SetErrState(-77);
  const Drawn d = Draw("Label 42", 40);
  ASSERT_EQ(d.rc, KV_OK);
  EXPECT_EQ(GetErrState(), 0) << "a successful call stores 0";
  EXPECT_EQ(d.placed, "10,20");
  for (const auto& [side, text] : {std::pair(d.image.width, cx), std::pair(d.image.height, cy)}) {
    EXPECT_EQ(side % 32, 0) << "the image is the text's size rounded up to 32 dots";
    EXPECT_GE(side, text);
    EXPECT_LT(side, text + 32);
  }
  int left, top, right, bottom;
  d.image.DarkBox(&left, &top, &right, &bottom);
  EXPECT_GT(d.image.DarkCount(), 100);
  EXPECT_LE(right, cx) << "ink in the rounding margin on the right";
  EXPECT_LE(bottom, cy) << "ink in the rounding margin at the bottom";
  EXPECT_LT(left, 8) << "the text starts at the left edge";
}

// The image of `upright` turned by an orientation, cropped to its ink, as the ink of `turned` is.
double Mismatch(const Bitmap& upright, const Bitmap& turned, int orientation) {
  int l, t, r, b, l2, t2, r2, b2;
  upright.DarkBox(&l, &t, &r, &b);
  turned.DarkBox(&l2, &t2, &r2, &b2);
  const int w = r - l, h = b - t;
  int differing = 0;
  for (int v = 0; v < h; ++v)
    for (int u = 0; u < w; ++u) {
      int x = 0, y = 0;
      switch (orientation) {
        case 2:
          x = l2 + v, y = b2 - 1 - u;
          break;
        case 3:
          x = r2 - 1 - u, y = b2 - 1 - v;
          break;
        case 4:
          x = r2 - 1 - v, y = t2 + u;
          break;
      }
      const bool inside = x >= 0 && y >= 0 && x < turned.width && y < turned.height;
      if (upright.Dark(l + u, t + v) != (inside && turned.Dark(x, y))) ++differing;
    }
  return static_cast<double>(differing) / upright.DarkCount();
}

TEST_F(TrueTypeTest, TurnedTextIsTheUprightImageTurned) {
  const Drawn upright = Draw("Kit", 48, 1);  // 1 is no turning orientation: upright
  ASSERT_EQ(upright.rc, KV_OK);
  for (int orientation : {2, 3, 4}) {
    SCOPED_TRACE(orientation);
    const Drawn turned = Draw("Kit", 48, orientation);
    ASSERT_EQ(turned.rc, KV_OK);
    const bool sideways = orientation != 3;
    EXPECT_EQ(turned.image.width, sideways ? upright.image.height : upright.image.width);
    EXPECT_EQ(turned.image.height, sideways ? upright.image.width : upright.image.height);
    EXPECT_LE(Mismatch(upright.image, turned.image, orientation), kvtest::kTurnedTextMismatch);
    // The ink sits where turning the upright image about its origin puts it: the text against two
    // edges, the rounding margin on the other two.
    int l, t, r, b, l2, t2, r2, b2;
    upright.image.DarkBox(&l, &t, &r, &b);
    turned.image.DarkBox(&l2, &t2, &r2, &b2);
    const int w = upright.image.width, h = upright.image.height;
    const int expected[3][4] = {{t, w - r, b, w - l}, {w - r, h - b, w - l, h - t}, {h - b, l, h - t, r}};
    const int* e = expected[orientation - 2];
    const int slack = kvtest::kTurnedTextSlack;
    EXPECT_NEAR(l2, e[0], slack);
    EXPECT_NEAR(t2, e[1], slack);
    EXPECT_NEAR(r2, e[2], slack);
    EXPECT_NEAR(b2, e[3], slack);
  }
}

TEST_F(TrueTypeTest, BoldIsDarkerAndUnderlineAddsARow) {
  const Drawn regular = Draw("Weight", 40, 0, 0);  // weight 0 means normal
  const Drawn normal = Draw("Weight", 40, 0, 400);
  const Drawn bold = Draw("Weight", 40, 0, 700);
  const Drawn underlined = Draw("Weight", 40, 0, 400, 1);
  ASSERT_EQ(regular.rc, KV_OK);
  EXPECT_EQ(regular.image.bits, normal.image.bits);
  EXPECT_GT(bold.image.DarkCount(), normal.image.DarkCount() * 11 / 10);
  int cx = 0, cy = 0;
  Measure("Weight", 40, 400, &cx, &cy);
  auto full_rows = [&](const Bitmap& image) {
    int rows = 0;
    for (int y = 0; y < image.height; ++y) {
      int dark = 0;
      for (int x = 0; x < cx; ++x) dark += image.Dark(x, y) ? 1 : 0;
      rows += dark >= cx * 9 / 10 ? 1 : 0;
    }
    return rows;
  };
  EXPECT_EQ(full_rows(normal.image), 0);
  EXPECT_GE(full_rows(underlined.image), 1);
}

TEST_F(TrueTypeTest, ChineseTextIsDrawnWithAFontThatHasIt) {
  // Two different characters draw two different images: a font without them would draw the same
  // empty box twice.
  const std::string first = kvtest::ChineseText("中");
  const std::string second = kvtest::ChineseText("文");
  if (first.empty()) GTEST_SKIP() << "the platform's text functions cannot take Chinese text here";
  const Drawn a = Draw(first.c_str(), 48, 0, 400, 0, "SimSun");
  const Drawn b = Draw(second.c_str(), 48, 0, 400, 0, "SimSun");
  ASSERT_EQ(a.rc, KV_OK);
  ASSERT_EQ(b.rc, KV_OK);
  EXPECT_GT(a.image.DarkCount(), 40);
  EXPECT_NE(a.image.bits, b.image.bits);
}

TEST_F(TrueTypeTest, SecondReferencePrinterStandsInForTheFirst) {
  kv::plat::fault_arm(FaultSite::RasterOpen, 1);  // no "KIRV R5"
  EXPECT_EQ(Draw("Second", 30).rc, KV_OK);
  kv::plat::fault_arm(FaultSite::RasterOpen, 1, 2);  // neither "KIRV R5" nor "KIRV R5i"
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  EXPECT_EQ(KV_DrawTextTrueTypeW(0, 0, 30, 0, "DejaVu Sans", 0, 400, 0, 0, 0, "TT", "x"), KV_ERR_TRUETYPE_NO_PRINTER);
  EXPECT_EQ(GetErrState(), KV_ERR_TRUETYPE_NO_PRINTER);
  EXPECT_EQ(SpoolBytes(), "");
}

// The PCX header holds the last column and row in 16 bits: a text that runs down as far as it allows
// is drawn. (A longer one is refused in commands_test.cpp.)
TEST_F(TrueTypeTest, ImageAsLongAsAPcxHeaderCanHoldIsDrawn) {
  const std::string text(1500, 'W');  // capital Ws of about 34 dots each at a cell of 40
  const Drawn d = Draw(text.c_str(), 40, 2);
  ASSERT_EQ(d.rc, KV_OK);
  EXPECT_GT(d.image.height, 32768) << "the text runs down the image";
  EXPECT_LE(d.image.height, 65536);
  EXPECT_GT(d.image.DarkCount(), 1500 * 100);
}

}  // namespace
