// The printer application's label pipeline without a server: grey rows to label commands, checked byte for byte
// where the bytes are the point and through the job renderer (what the printer draws) where the picture is.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "label_writer.h"
#include "page.h"
#include "render_support.h"

namespace {

using kv::printer::GreyView;
using kv::printer::Halftone;
using kv::printer::LabelSettings;
using kv::printer::LabelWriter;
using kv::printer::Placement;
using kv::printer::Scaling;
using kv::printer::Tracking;

// A writer that keeps what it is given.
struct Collected {
  std::string bytes;
  LabelWriter writer{[this](const void* data, std::size_t size) {
    bytes.append(static_cast<const char*>(data), size);
    return true;
  }};
};

// A grey picture: a black frame 3 dots thick, a black square in the top-left quarter, the rest white.
std::vector<std::uint8_t> Picture(int width, int height) {
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * height, 255);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (x < 3 || y < 3 || x >= width - 3 || y >= height - 3 || (x > width / 8 && x < width / 3 && y > 10 && y < 60))
        grey[static_cast<std::size_t>(y) * width + x] = 0;
  return grey;
}

// The one label the job renderer draws from the bytes, without a word.
kv::render::Bitmap Drawn(const std::string& job, int dpi) {
  const kvtest::Rendered r = kvtest::RenderJob(job, dpi);
  EXPECT_EQ(r.Messages(), "");
  EXPECT_EQ(r.labels.size(), 1u);
  return r.labels.empty() ? kv::render::Bitmap() : r.labels[0];
}

TEST(LabelWriter, TheHeadLinesFollowTheSettings) {
  struct Case {
    const char* name;
    LabelSettings settings;
    std::string head, tail;
  };
  LabelSettings gap;
  LabelSettings mark;
  mark.dpi = 300, mark.width = 1200, mark.length = 600, mark.tracking = Tracking::kMark, mark.darkness = 20;
  mark.speed = 6, mark.copies = 3;
  LabelSettings web;
  web.width = 406, web.length = 203, web.tracking = Tracking::kContinuous, web.darkness = 0;
  const Case cases[] = {
      {"gaps, the printer's darkness and speed", gap, "N\r\nq812\r\nQ1218,24\r\n", "W1,1\r\n"},
      {"black marks, darkest, 6 ips, 3 copies", mark, "N\r\nq1200\r\nQ600,B35\r\nH20\r\nS6\r\n", "W1,3\r\n"},
      {"continuous, lightest", web, "N\r\nq406\r\nQ203,0\r\nH0\r\n", "W1,1\r\n"},
  };
  for (const Case& c : cases) {
    Collected out;
    ASSERT_TRUE(out.writer.Begin(c.settings)) << c.name;
    ASSERT_TRUE(out.writer.End()) << c.name;
    EXPECT_EQ(out.bytes, c.head + c.tail) << c.name;  // a blank label: no bitmap at all
  }
}

TEST(LabelWriter, ThePrinterDrawsThePictureDotForDotInBoundedBands) {
  for (int dpi : {203, 300}) {
    LabelSettings s;
    s.dpi = dpi, s.width = dpi == 300 ? 1248 : 812, s.length = dpi == 300 ? 1800 : 1218;
    const std::vector<std::uint8_t> grey = Picture(s.width, s.length);
    Collected out;
    ASSERT_TRUE(out.writer.Begin(s));
    for (int y = 0; y < s.length; ++y)
      ASSERT_TRUE(out.writer.AddRow(grey.data() + static_cast<std::size_t>(y) * s.width));
    ASSERT_TRUE(out.writer.End());
    const kv::render::Bitmap drawn = Drawn(out.bytes, dpi);
    ASSERT_EQ(drawn.width(), s.width);
    ASSERT_EQ(drawn.height(), s.length);
    for (int y = 0; y < s.length; ++y)
      for (int x = 0; x < s.width; ++x)
        ASSERT_EQ(drawn.Black(x, y), grey[static_cast<std::size_t>(y) * s.width + x] == 0)
            << dpi << " " << x << "," << y;
    // Every band within its bound; the white rows between the frame's sides cost one band each side.
    std::size_t at = 0;
    int bands = 0;
    while ((at = out.bytes.find("GW0,", at)) != std::string::npos) {
      int top = 0, bytes = 0, rows = 0;
      ASSERT_EQ(std::sscanf(out.bytes.c_str() + at, "GW0,%d,%d,%d", &top, &bytes, &rows), 3);
      EXPECT_LE(static_cast<std::size_t>(bytes) * rows, kv::printer::kBandBytes);
      ++bands, ++at;
    }
    EXPECT_GE(bands, 1 + s.length * ((s.width + 7) / 8) / static_cast<int>(kv::printer::kBandBytes)) << dpi;
  }
}

TEST(LabelWriter, GreyBecomesOneBitByThresholdOrDiffusion) {
  LabelSettings s;
  s.width = 200, s.length = 200;
  const std::vector<std::uint8_t> mid(200, 100), light(200, 200);
  for (Halftone halftone : {Halftone::kThreshold, Halftone::kDiffusion}) {
    s.halftone = halftone;
    Collected out;
    ASSERT_TRUE(out.writer.Begin(s));
    for (int y = 0; y < 200; ++y) ASSERT_TRUE(out.writer.AddRow((y < 100 ? mid : light).data()));
    ASSERT_TRUE(out.writer.End());
    const kv::render::Bitmap drawn = Drawn(out.bytes, 203);
    int dark = 0, pale = 0;
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 200; ++x) (y < 100 ? dark : pale) += drawn.Black(x, y);
    if (halftone == Halftone::kThreshold) {
      EXPECT_EQ(dark, 20000);  // darker than half: all black
      EXPECT_EQ(pale, 0);
    } else {
      EXPECT_NEAR(dark / 20000.0, 155 / 255.0, 0.02);  // the share of black follows the grey
      EXPECT_NEAR(pale / 20000.0, 55 / 255.0, 0.02);
    }
  }
}

TEST(Place, TurnsScalesAndCentres) {
  struct Case {
    const char* name;
    int width, height, label_width, label_length;
    Scaling scaling;
    Placement want;
  };
  const Case cases[] = {
      {"same size", 812, 1218, 812, 1218, Scaling::kAuto, {false, 1, 0, 0, 812, 1218}},
      {"smaller: centred as it is", 400, 200, 812, 1218, Scaling::kAuto, {true, 1, 306, 409, 200, 400}},
      {"larger: fitted", 1624, 2436, 812, 1218, Scaling::kAuto, {false, 0.5, 0, 0, 812, 1218}},
      {"landscape page on a portrait label", 1218, 812, 812, 1218, Scaling::kFit, {true, 1, 0, 0, 812, 1218}},
      {"fit enlarges", 203, 203, 812, 1218, Scaling::kFit, {false, 4, 0, 203, 812, 812}},
      {"fill covers and overhangs", 203, 203, 812, 1218, Scaling::kFill, {false, 6, -203, 0, 1218, 1218}},
      {"none cuts", 1000, 1500, 812, 1218, Scaling::kNone, {false, 1, -94, -141, 1000, 1500}},
  };
  const auto fields = [](const Placement& p) { return std::tuple(p.turn, p.scale, p.x, p.y, p.width, p.height); };
  for (const Case& c : cases) {
    EXPECT_EQ(fields(kv::printer::Place(c.width, c.height, c.label_width, c.label_length, c.scaling)), fields(c.want))
        << c.name;
  }
}

TEST(Place, ATurnedAndHalvedPictureLandsWhereItShould) {
  // A landscape picture twice the label's size, black in its top-left corner: turned counter-clockwise and
  // halved, that corner lands at the label's bottom-left.
  const int w = 2436, h = 1624;
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(w) * h, 255);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) grey[static_cast<std::size_t>(y) * w + x] = 0;
  LabelSettings s;
  const Placement p = kv::printer::Place(w, h, s.width, s.length, Scaling::kAuto);
  Collected out;
  ASSERT_TRUE(kv::printer::WriteImage(out.writer, s, GreyView{w, h, grey.data()}, p));
  const kv::render::Bitmap drawn = Drawn(out.bytes, 203);
  EXPECT_EQ(drawn.BlackCount(), 50u * 100u);
  EXPECT_TRUE(drawn.Black(0, 1217));
  EXPECT_TRUE(drawn.Black(49, 1118));
  EXPECT_FALSE(drawn.Black(50, 1217));
  EXPECT_FALSE(drawn.Black(0, 1117));
}

}  // namespace
