// The job renderer's logic: the image surface, element frames, and what each command draws or says.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "kv/render/bitmap.h"
#include "kv/render/png.h"
#include "marks.h"
#include "pcx.h"
#include "render_support.h"

namespace {

using kv::render::Bitmap;
using kv::render::Ink;
using kvtest::Download;
using kvtest::Job;
using kvtest::RenderJob;

using Box = std::array<int, 4>;  // left, top, right, bottom: right and bottom exclusive; all 0 for a white image

Box BlackBox(const Bitmap& b) {
  Box box{b.width(), b.height(), 0, 0};
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x)
      if (b.Black(x, y))
        box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x + 1), std::max(box[3], y + 1)};
  return box[2] == 0 ? Box{0, 0, 0, 0} : box;
}

TEST(BitmapTest, FillMatchesDotByDotReference) {
  struct Rect {
    int x, y, w, h;
    Ink ink;
  };
  const Rect rects[] = {{0, 0, 37, 5, Ink::kBlack}, {3, 1, 5, 2, Ink::kWhite},      {7, 0, 10, 5, Ink::kXor},
                        {-4, -2, 6, 3, Ink::kXor},  {35, 4, 100, 100, Ink::kBlack}, {8, 0, 8, 5, Ink::kWhite},
                        {9, 2, 0, 3, Ink::kBlack},  {20, 3, 1, 1, Ink::kXor}};
  for (int width : {1, 8, 13, 37}) {
    Bitmap image;
    ASSERT_TRUE(image.Reset(width, 5, 64));
    std::vector<bool> want(static_cast<std::size_t>(5 * width));
    const auto dot = [&](int x, int y) { return want[static_cast<std::size_t>(y * width + x)]; };
    for (const Rect& r : rects) {
      image.Fill(r.x, r.y, r.w, r.h, r.ink);
      for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, 5); ++y)
        for (int x = std::max(r.x, 0); x < std::min(r.x + r.w, width); ++x)
          dot(x, y) = r.ink == Ink::kXor ? !dot(x, y) : r.ink == Ink::kBlack;
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(image.Black(x, y), static_cast<bool>(dot(x, y)))
              << "width " << width << " at " << x << "," << y << " after rect " << r.x << "," << r.y;
      // Nothing is ever set in the padding after the last dot of a row.
      if (width % 8 != 0) {
        for (int y = 0; y < 5; ++y) ASSERT_EQ(image.row(y)[image.stride() - 1] & (0xFF >> (width % 8)), 0);
      }
    }
  }
}

TEST(BitmapTest, HalfTurnMovesEveryDotToItsOppositePlace) {
  for (int width : {1, 7, 8, 13, 37}) {
    Bitmap image, turned;
    ASSERT_TRUE(image.Reset(width, 3, 64));
    for (int x = 0; x < width; x += 3) image.SetBlack(x, x % 3);
    image.SetBlack(width - 1, 2);
    turned = image;
    turned.Rotate180();
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < width; ++x)
        ASSERT_EQ(turned.Black(x, y), image.Black(width - 1 - x, 2 - y))
            << "width " << width << " at " << x << "," << y;
  }
}

// Stamping copies whole bytes shifted into place: every offset within a byte, both edges, a band of rows.
TEST(BitmapTest, StampMatchesDotByDotReference) {
  Bitmap src;
  ASSERT_TRUE(src.Reset(141, 3, 256));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 141; ++x)
      if ((x * 7 + y * 3) % 5 < 2 || x == 140) src.SetBlack(x, y);
  for (int x = -150; x <= 165; x += (x > -142 && x < 20) ? 1 : 7) {
    for (auto [from, to] : {std::pair{0, 5}, std::pair{2, 3}}) {
      Bitmap image;
      ASSERT_TRUE(image.Reset(165, 5, 256));
      image.Stamp(src, x, 1, from, to);
      for (int yy = 0; yy < 5; ++yy)
        for (int xx = 0; xx < 165; ++xx) {
          const bool inside = yy >= std::max(1, from) && yy < std::min(4, to) && xx - x >= 0 && xx - x < 141;
          ASSERT_EQ(image.Black(xx, yy), inside && src.Black(xx - x, yy - 1)) << "at " << x << ": " << xx << "," << yy;
        }
      ASSERT_EQ(image.row(2)[20] & 0x07, 0) << "padding after the last dot, at " << x;
    }
  }
}

TEST(BitmapTest, RefusesSizesOutsideTheBound) {
  Bitmap image;
  EXPECT_FALSE(image.Reset(0, 10, 100));
  EXPECT_FALSE(image.Reset(10, -1, 100));
  EXPECT_FALSE(image.Reset(101, 10, 100));
  EXPECT_TRUE(image.empty());
  EXPECT_TRUE(image.Reset(100, 100, 100));
}

struct DrawCase {
  const char* name;
  std::string job;
  Box box;     // where the black dots of the first label lie
  long count;  // how many there are (-1: not checked)
};

class DrawTest : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawTest, DrawsWhereTheCommandSays) {
  const DrawCase& c = GetParam();
  const auto r = RenderJob(c.job);
  ASSERT_EQ(r.labels.size(), 1u) << r.Messages();
  EXPECT_EQ(BlackBox(r.labels[0]), c.box) << r.Messages();
  if (c.count >= 0) {
    EXPECT_EQ(static_cast<long>(r.labels[0].BlackCount()), c.count);
  }
}

const std::string kSmall = "N\r\nq100\r\nQ50,24\r\n";
std::string Small(std::initializer_list<const char*> lines) { return kSmall + Job(lines); }
const std::string kPcx8 = kvtest::Pcx(8, 1);  // one row of eight black dots

// `pcx` with the bytes at the given places changed.
std::string Patched(std::string pcx, std::initializer_list<std::pair<std::size_t, char>> bytes) {
  for (const auto& [at, value] : bytes) pcx[at] = value;
  return pcx;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DrawTest,
    ::testing::Values(
        DrawCase{"BlackBar", Small({"LO10,5,20,3", "P1"}), {10, 5, 30, 8}, 60},
        DrawCase{"WhiteBarCuts", Small({"LO0,0,40,10", "LW10,0,10,10", "P1"}), {0, 0, 40, 10}, 300},
        DrawCase{"XorBar", Small({"LO0,0,20,10", "LE10,0,20,10", "P1"}), {0, 0, 30, 10}, 200},
        DrawCase{"BoxOutline", Small({"X10,10,2,30,20", "P1"}), {10, 10, 30, 20}, 200 - 96},
        DrawCase{"BoxCornersGivenBackwards", Small({"X30,20,2,10,10", "P1"}), {10, 10, 30, 20}, 200 - 96},
        DrawCase{"FlatLine", Small({"LS0,0,1,9,0", "P1"}), {0, 0, 10, 1}, 10},
        DrawCase{"Diagonal", Small({"LS0,0,2,9,9", "P1"}), {0, 0, 10, 11}, 20},
        DrawCase{"SteepLine", Small({"LS5,0,3,5,9", "P1"}), {5, 0, 8, 10}, 30},
        DrawCase{"OriginShifts", Small({"R5,7", "LO0,0,1,1", "P1"}), {5, 7, 6, 8}, 1},
        DrawCase{"BottomFirst", Small({"ZB", "LO0,0,10,5", "P1"}), {90, 45, 100, 50}, 50},
        DrawCase{"OffTheLabelClipped", Small({"LO-5,-5,10,10", "LO95,45,100,100", "P1"}), {0, 0, 100, 50}, 50},
        // Reversed text fills exactly its cells (font 1: 8 x 12 dots); the golden text job shows every font.
        DrawCase{"VariableShowsPrompt", Small({"V00,5,R", "\"ab\"", "T0,0,0,1,1,1,R,V00", "P1"}), {0, 0, 40, 12}, -1},
        DrawCase{
            "CounterShowsStart", Small({"C1,3,L,+1", ",\"n\"", "", "T0,0,0,1,1,1,R,C1", "P1"}), {0, 0, 24, 12}, -1},
        // 0 bits are ink, the most significant bit leftmost; the next command follows the data directly.
        DrawCase{"RawBitmap", kSmall + "GW3,4,1,2\x0F\xF0" + Job({"P1"}), {3, 4, 11, 6}, 8},
        DrawCase{"RawBitmapThenCommand",
                 kSmall + "GW0,0,1,1" + std::string(1, '\0') + Job({"LO20,20,1,1", "P1"}),
                 {0, 0, 21, 21},
                 9},
        // A stored graphic's 0 bits are ink, placed at its position shifted by the origin.
        DrawCase{"StoredGraphic",
                 kSmall + Download("G", kvtest::Pcx(12, 3, [](int x, int y) { return x == y || x == 11; })) +
                     Job({"R1,1", "GG10,20,\"G\"", "P1"}),
                 {11, 21, 23, 24},
                 6},
        DrawCase{"FormDrawnWhereCalled",
                 Small({"FS\"F\"", "LO0,0,2,2", "FE", "R10,10", "FR\"F\"", "P1"}),
                 {10, 10, 12, 12},
                 4}),
    [](const ::testing::TestParamInfo<DrawCase>& i) { return std::string(i.param.name); });

TEST(GraphicsTest, GraphicsAndFormsStayBetweenJobsUntilDeleted) {
  kv::render::Printer printer;
  auto first = RenderJob(printer, kSmall + Download("G", kPcx8) + Job({"FS\"F\"", "GG0,0,\"G\"", "FE"}));
  EXPECT_TRUE(first.summary.messages.empty()) << first.Messages();
  auto second = RenderJob(printer, Small({"FR\"F\"", "P1"}));
  ASSERT_EQ(second.labels.size(), 1u) << second.Messages();
  EXPECT_EQ(second.labels[0].BlackCount(), 8u);
  auto third = RenderJob(printer, Small({"GK\"*\"", "FK\"F\"", "FR\"F\"", "GG0,0,\"G\"", "P1"}));
  ASSERT_EQ(third.labels.size(), 1u);
  EXPECT_EQ(third.labels[0].BlackCount(), 0u);
  EXPECT_EQ(third.summary.messages.size(), 2u) << third.Messages();
}

TEST(PrintTest, ImageStaysForTheNextPrintUntilCleared) {
  const auto r = RenderJob(Small({"LO0,0,5,5", "P1", "LO10,0,5,5", "W2,3", "N", "LO0,0,1,1", "WA1,1"}));
  ASSERT_EQ(r.labels.size(), 3u) << r.Messages();
  EXPECT_EQ(r.labels[0].BlackCount(), 25u);
  EXPECT_EQ(r.labels[1].BlackCount(), 50u);
  EXPECT_EQ(r.labels[2].BlackCount(), 1u);
  EXPECT_EQ(r.summary.labels, 3u);
  EXPECT_EQ(r.summary.copies, 1 + 6 + 1);
  EXPECT_EQ(r.labels[2].width(), 100);
  EXPECT_EQ(r.labels[2].height(), 50);
}

TEST(PrintTest, CountOfLabelsAskedStopsAtTheLargest) {
  const auto r = RenderJob(Small({"P2147483647,2147483647", "P2147483647,2147483647", "P2147483647,2147483647"}));
  EXPECT_EQ(r.summary.copies, LLONG_MAX);
  EXPECT_EQ(r.labels.size(), 3u);
}

TEST(PrintTest, LabelsBeyondTheLimitAreCountedNotDrawn) {
  kv::render::Limits limits;
  limits.max_labels = 2;
  const auto r = RenderJob(Small({"P1", "P1", "P1", "P2"}), 203, limits);
  EXPECT_EQ(r.labels.size(), 2u);
  EXPECT_EQ(r.summary.labels, 4u);
  EXPECT_EQ(r.summary.copies, 5);
  EXPECT_EQ(r.summary.messages.size(), 1u) << r.Messages();
}

TEST(PrintTest, ConfigurationLabelAndListsAreNoted) {
  const auto r =
      RenderJob(Small({"U", "GI", "FI", "EI", "H10", "S4", "D8", "ZN", "JB", "OD", "^@", "#UM>CP  1", "CT1",
                       "KIRV ELECTRONIC CO.LTD", "Copyright (C) KIRV ELECTRONIC CO.LTD, label command library 2.0.0.1",
                       "VOXNERTDLL,", "All rights reserved.", "P1"}));
  EXPECT_TRUE(r.summary.messages.empty()) << r.Messages();
  ASSERT_EQ(r.summary.notes.size(), 5u);
  EXPECT_EQ(r.summary.notes[0], "line 4: configuration label asked (U)");
}

struct BadCase {
  const char* name;
  std::string job;
  int line;            // line of the first message
  bool error;          // it is an error (the job stops)
  const char* says;    // a piece of its text
  std::size_t labels;  // labels drawn all the same
};

class BadInputTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInputTest, WarnsWithTheLineOrStops) {
  const BadCase& c = GetParam();
  kv::render::Limits limits;
  limits.max_marks = 4;
  const auto r = RenderJob(c.job, 203, limits);
  ASSERT_FALSE(r.summary.messages.empty());
  const auto& m = r.summary.messages[0];
  EXPECT_EQ(m.line, c.line) << r.Messages();
  EXPECT_EQ(m.error, c.error) << r.Messages();
  EXPECT_NE(m.text.find(c.says), std::string::npos) << r.Messages();
  EXPECT_EQ(r.summary.failed, c.error);
  EXPECT_EQ(r.labels.size(), c.labels);
}

// Forms F0 ... F<depth - 1>, each calling the next `wide` times, the last one holding `leaf`; then F0 is run.
std::string FormTree(int wide, int depth, const std::string& leaf) {
  std::string job;
  for (int level = 0; level < depth; ++level) {
    job += "FS\"F" + std::to_string(level) + "\"\r\n";
    for (int i = 0; i < wide; ++i) job += "FR\"F" + std::to_string(level + 1) + "\"\r\n";
    job += "FE\r\n";
  }
  return job + "FS\"F" + std::to_string(depth) + "\"\r\n" + leaf + "FE\r\nFR\"F0\"\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, BadInputTest,
    ::testing::Values(
        BadCase{"UnknownCommand", Job({"N", "q100", "HELLO", "P1"}), 3, false, "unknown command \"HELLO\"", 1},
        BadCase{"UnclosedQuote", Small({"T0,0,0,1,1,1,N,\"abc", "P1"}), 4, false, "no closing quote", 1},
        BadCase{"TextAfterQuote", Small({"T0,0,0,1,1,1,N,\"a\"b", "P1"}), 4, false, "after the closing quote", 1},
        BadCase{"UnquotedData", Small({"T0,0,0,1,1,1,N,abc", "P1"}), 4, false, "must be quoted", 1},
        BadCase{"UndefinedVariable", Small({"T0,0,0,1,1,1,N,V99", "P1"}), 4, false, "V99 is not defined", 1},
        BadCase{"BadFont", Small({"T0,0,0,6,1,1,N,\"a\"", "P1"}), 4, false, "unknown font", 1},
        BadCase{"BadRotation", Small({"T0,0,4,1,1,1,N,\"a\"", "P1"}), 4, false, "rotation must be 0 to 3", 1},
        BadCase{"WidthTooLarge", Job({"N", "q40000", "P1"}), 2, true, "label width 40000 dots is outside 1 to 32768",
                0},
        BadCase{"LengthOverflows", Job({"N", "Q99999999999999,24", "P1"}), 2, true, "label length 99999999999999", 0},
        BadCase{"LengthZero", Job({"N", "Q0,24", "P1"}), 2, true, "outside 1 to 32768", 0},
        BadCase{"DownloadBeyondTheJob", Job({"N"}) + "GM\"X\"100\r\n" + std::string(10, 'x') + Job({"P1"}), 2, false,
                "announces 100 bytes but the job holds only 14", 0},
        BadCase{"DownloadNotPcx", Job({"N"}) + Download("X", std::string(200, 'x')) + Job({"P1"}), 2, false,
                "not a PCX image", 1},
        BadCase{"DownloadNotOneBit", Job({"N"}) + Download("X", Patched(kPcx8, {{3, 8}})) + Job({"P1"}), 2, false,
                "one bit per dot", 1},
        // 32640 x 32640 dots in rows of 4080 bytes: 127 MiB, above the 64 MiB of room.
        BadCase{
            "DownloadLargerThanTheRoom",
            Job({"N"}) +
                Download("X",
                         Patched(kPcx8,
                                 {{8, '\x7F'}, {9, '\x7F'}, {10, '\x7F'}, {11, '\x7F'}, {66, '\xF0'}, {67, '\x0F'}})) +
                Job({"P1"}),
            2, false, "no room left to store a PCX image of 32640 x 32640 dots", 1},
        BadCase{"DownloadCutShort", Job({"N"}) + Download("X", kPcx8.substr(0, 129)) + Job({"P1"}), 2, false,
                "ends after 0 of 1 rows", 1},
        BadCase{"BitmapCutShort", Job({"N"}) + "GW0,0,10,10" + std::string(5, '\0'), 2, false, "announces 100 bytes",
                0},
        BadCase{"BitmapSizeOverflows", Job({"N"}) + "GW0,0,2147483647,2147483647" + std::string(5, '\0'), 2, false,
                "announces", 0},
        BadCase{"BitmapNegative", Job({"N", "GW0,0,-1,5", "P1"}), 2, false, "no image", 1},
        BadCase{"BitmapNoNumbers", Job({"N", "GWx", "P1"}), 2, false, "GW needs", 1},
        BadCase{"MissingGraphic", Job({"N", "GG0,0,\"NONE\"", "P1"}), 2, false, "no stored graphic \"NONE\"", 1},
        BadCase{"FormCallsItself", Job({"N", "FS\"L\"", "LO0,0,1,1", "FR\"L\"", "FE", "FR\"L\"", "P1"}), 6, false,
                "form \"L\" line 2: form \"L\" calls itself", 1},
        BadCase{"FormsCallEachOther",
                Job({"N", "FS\"A\"", "FR\"B\"", "FE", "FS\"B\"", "FR\"A\"", "FE", "FR\"A\"", "P1"}), 8, false,
                "calls itself", 1},
        // F0 calls F1 ... F8 calls F9: forms ten deep, more than may nest.
        BadCase{"FormsTooDeep", FormTree(1, 9, "") + Job({"P1"}), 30, false, "nested too deep", 1},
        BadCase{"FormNeverEnds", Job({"N", "FS\"L\"", "LO0,0,1,1"}), 2, false, "has no FE", 0},
        BadCase{"EndWithoutForm", Job({"N", "FE", "P1"}), 2, false, "FE without FS", 1},
        BadCase{"UnknownSelection", Small({"B0,0,0,ZZ,2,4,50,N,\"1\"", "P1"}), 4, false,
                "unknown barcode selection \"ZZ\"", 1},
        BadCase{"RefusedData", Small({"B0,0,0,E30,2,4,50,N,\"abc\"", "P1"}), 4, false, "EAN-13 takes 12 or 13 digits",
                1},
        BadCase{"RefusedByZint", Small({"B0,0,0,3,2,4,50,N,\"A@B\"", "P1"}), 4, false, "refuses the data", 1},
        BadCase{"Pdf417BadField", Small({"b0,0,P,1,1,s0,c0,xx,y6,r0,l0,t0,o0,\"a\"", "P1"}), 4, false, "field x", 1},
        BadCase{"PrintsNothing", Small({"P0", "P1"}), 4, false, "asks for no label", 1},
        BadCase{"TooManyMarks", Small({"LO0,0,1,1", "LO2,0,1,1", "LO4,0,1,1", "LO6,0,1,1", "LO8,0,1,1", "P1"}), 8,
                false, "too many marks", 1},
        // The PCX header begins with a line feed: lines are counted through the data as an editor counts them.
        BadCase{"LineNumbersCountThroughData", Job({"N"}) + Download("X", kPcx8) + Job({"MYSTERY", "P1"}), 4, false,
                "unknown command", 1},
        BadCase{"BinaryWithoutLineEnd", std::string("\x01\x02\xFF\x00zz", 6), 1, false,
                "unknown command \"\\x01\\x02\\xFF\\x00zz\"", 0}),
    [](const ::testing::TestParamInfo<BadCase>& i) { return std::string(i.param.name); });

// Another thread's stop flag ends the job at the next line, inside a form too, or while a label is painted.
TEST(StopTest, FlagEndsTheJobWithAnError) {
  struct Case {
    const char* name;
    int set_after_labels;  // the flag is set when this many labels are out (0: before the job)
    std::string job;
    int line;  // where the job stops
    std::size_t labels;
  };
  const Case cases[] = {
      {"BeforeTheJob", 0, Small({"P1"}), 1, 0},
      {"AfterALabel", 1, Small({"P1", "LO0,0,1,1", "P1"}), 5, 1},
      {"InsideAForm", 1, Small({"FS\"F\"", "P1", "P1", "FE", "FR\"F\""}), 8, 1},
  };
  for (const Case& c : cases) {
    std::atomic<bool> stop{c.set_after_labels == 0};
    kv::render::Limits limits;
    limits.stop = &stop;
    kv::render::Printer printer(203, limits);
    std::size_t labels = 0;
    const auto summary = printer.Run(c.job.data(), c.job.size(), [&](const kv::render::RenderedLabel&) {
      if (++labels == static_cast<std::size_t>(c.set_after_labels)) stop = true;
    });
    ASSERT_FALSE(summary.messages.empty()) << c.name;
    const auto& last = summary.messages.back();
    EXPECT_TRUE(summary.failed && last.error) << c.name;
    EXPECT_NE(last.text.find("stopped"), std::string::npos) << c.name << ": " << last.text;
    EXPECT_EQ(last.line, c.line) << c.name;
    EXPECT_EQ(labels, c.labels) << c.name;
  }
  // The long steps within a line look at the flag too: painting, turning, decoding, writing the picture.
  kv::render::Marks marks(16, 32768);
  marks.Fill(0, 0, 32768, 4096, Ink::kBlack);
  std::atomic<bool> stop{true};
  Bitmap image;
  ASSERT_TRUE(image.Reset(32768, 4096, 32768));
  EXPECT_EQ(marks.Paint(image, &stop), kv::render::PaintEnd::kStopped);
  EXPECT_EQ(image.BlackCount(), 0u);
  EXPECT_FALSE(image.Rotate180(&stop));
  std::string notice, error;
  const std::string pcx = kvtest::Pcx(16, 2);
  EXPECT_EQ(kv::render::DecodePcx(reinterpret_cast<const unsigned char*>(pcx.data()), pcx.size(), 32768, 1 << 20, image,
                                  notice, &stop),
            "stopped");
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(kv::render::WritePng(f, image, 203, error, &stop));
  EXPECT_EQ(error, "stopped");
  std::fclose(f);
}

std::string Repeated(const std::string& line, std::size_t times) {
  std::string s;
  s.reserve(line.size() * times);
  for (std::size_t i = 0; i < times; ++i) s += line;
  return s;
}

// The jobs that once cost without limit stop at (or keep within) the bound their last message names, and every
// count of what they cost stays within the bounds; `cost` is the count that met its bound.
TEST(CostTest, EveryJobStaysWithinTheBounds) {
  struct Ran {
    const kv::render::JobSummary& s;
    const kv::render::Printer& printer;
    std::size_t labels;
  };
  struct Case {
    const char* name;
    std::string (*job)(int run);  // the job of each run on one printer
    int runs;
    const char* says;
    bool error;
    std::uint64_t (*cost)(const Ran&);
    std::uint64_t low, high;  // where `cost` lies
  };
  constexpr std::uint64_t kMiB = 1 << 20, k4G = std::uint64_t{1} << 32;
  const Case cases[] = {
      // The last level is too deep to run: each of its calls is a warning, kept or counted.
      {"FormsTenWideEightDeepWithWarnings", [](int) { return FormTree(10, 8, "??\r\n"); }, 1, "200000 form lines", true,
       [](const Ran& r) -> std::uint64_t {
         return r.s.messages.size() == 1001 && r.s.messages_not_kept > 150000 ? r.s.form_lines : 0;
       },
       199990, 200000},
      {"FormsThirtyWideSevenDeep", [](int) { return FormTree(30, 7, "LO0,0,1,1\r\n"); }, 1, "100000 form calls", true,
       [](const Ran& r) -> std::uint64_t { return r.s.form_calls; }, 100000, 100000},
      {"FormOfLongLinesCalledOften",
       [](int) {
         return "FS\"L\"\r\n" + Repeated("LO0,0,1,1" + std::string(1000, ' ') + "\r\n", 1000) + "FE\r\n" +
                Repeated("FR\"L\"\r\n", 100);
       },
       1, "67108864 bytes of form lines", true, [](const Ran& r) -> std::uint64_t { return r.s.form_bytes; },
       64 * kMiB - 1011000, 64 * kMiB},
      {"HundredFillsOfHalfTheLargestLabel",
       [](int) {
         return Job({"N", "q32768", "Q16384,0"}) + Repeated("LO0,0,32768,16384\r\n", 100) + "P1\r\n";
       },
       1, "4294967296 dots painted", true,
       [](const Ran& r) -> std::uint64_t { return r.labels == 0 ? r.s.painted : 0; }, k4G - 16 * kMiB, k4G},
      {"LargeStoredGraphicPlacedTenTimes",
       [](int) {
         return Job({"N", "q32768", "Q16000,0"}) + Download("G", kvtest::Pcx(32768, 16000)) +
                Repeated("GG0,0,\"G\"\r\n", 10) + "P1\r\n";
       },
       1, "4294967296 dots painted", true,
       [](const Ran& r) -> std::uint64_t {
         return r.labels == 0 && r.printer.stored() == std::size_t{4096} * 16000 + 1 ? r.s.painted : 0;
       },
       k4G - 16 * kMiB, k4G},
      {"TwentyLabelsOfTheLargestSize",
       [](int) {
         return Job({"N", "q32768", "Q32768,0"}) + Repeated("P1\r\n", 20);
       },
       1, "4294967296 dots painted", true,
       [](const Ran& r) -> std::uint64_t { return r.labels == 4 ? r.s.painted : 0; }, k4G, k4G},
      // Warnings kept, the rest counted; the text kept is what 1000 short messages take.
      {"SixtyFourMiBOfUnknownCommands",
       [](int) { return Repeated("UNKNOWN-COMMAND\r\n", (std::size_t{64} << 20) / 17); }, 1, "unknown command", false,
       [](const Ran& r) -> std::uint64_t {
         std::size_t kept = 0;
         for (const auto& m : r.s.messages) kept += m.text.size();
         return r.s.messages.size() + r.s.messages_not_kept == (std::size_t{64} << 20) / 17 && kept < 100000
                    ? r.s.messages.size()
                    : 0;
       },
       1000, 1000},
      // Five jobs of sixteen empty forms with names of 1 MiB: the names fill the store, and no more.
      {"FormsWithNamesOfOneMiB",
       [](int run) {
         std::string job;
         for (int i = 0; i < 16; ++i)
           job += "FS\"" + std::to_string(run * 16 + i) + std::string(1 << 20, 'n') + "\"\r\nFE\r\n";
         return job;
       },
       5, "no room left in the 67108864 bytes", false, [](const Ran& r) -> std::uint64_t { return r.printer.stored(); },
       63 * kMiB, 64 * kMiB},
  };
  const kv::render::Limits bounds;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kv::render::Printer printer(203, bounds);
    kv::render::JobSummary s;
    std::size_t labels = 0;
    std::string said;
    for (int run = 0; run < c.runs; ++run) {
      const std::string job = c.job(run);
      s = printer.Run(job.data(), job.size(), [&](const kv::render::RenderedLabel&) { ++labels; });
      if (!s.messages.empty()) said = s.messages.back().text;
    }
    EXPECT_EQ(s.failed, c.error) << said;
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
    const std::uint64_t cost = c.cost({s, printer, labels});
    EXPECT_GE(cost, c.low);
    EXPECT_LE(cost, c.high);
    EXPECT_TRUE(s.form_calls <= bounds.max_form_calls && s.form_lines <= bounds.max_form_lines &&
                s.form_bytes <= bounds.max_form_bytes && s.painted <= bounds.max_painted &&
                s.messages.size() <= bounds.max_messages + 1 && printer.stored() <= bounds.max_store);
  }
}

TEST(BadInputTest, EmptyJobSaysNothing) {
  const auto r = RenderJob("");
  EXPECT_TRUE(r.labels.empty());
  EXPECT_TRUE(r.summary.messages.empty());
  kv::render::Printer printer;
  EXPECT_EQ(printer.Run(nullptr, 100, nullptr).labels, 0u);
}

}  // namespace
