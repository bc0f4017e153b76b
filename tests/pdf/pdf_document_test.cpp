// The printer application's PDF pages: the demo's shipping label drawn as poppler's one-bit drawing has it
// and with a barcode that still reads, documents that cannot be printed refused with a sentence for the
// client, pictures beyond the caller's bound refused before they are drawn, and a thousand pages.
#include <cairo-pdf.h>
#include <cairo.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "label_check.h"
#include "pdf_document.h"
#include "shipping_label.h"

namespace {

using kv::printer::GreyImage;
using kv::printer::PdfDocument;
using Bytes = std::vector<std::uint8_t>;

std::filesystem::path Folder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvpdf-test-XXXXXX").string();
    return std::filesystem::path(mkdtemp(pattern.data()) != nullptr ? pattern : "");
  }();
  return folder;
}

const Bytes& ShippingLabel() {
  static const Bytes pdf = [] {
    Bytes b;
    std::string error;
    if (!kv::examples::MakeShippingLabelPdf(&b, &error)) ADD_FAILURE() << error;
    return b;
  }();
  return pdf;
}

std::filesystem::path Save(const Bytes& bytes, const std::string& name) {
  const std::filesystem::path path = Folder() / name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  return path;
}

Bytes Load(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The shipping label passed through qpdf with `options` (turned, encrypted); empty when qpdf fails.
Bytes ThroughQpdf(const std::string& name, std::vector<std::string> options) {
  const std::filesystem::path in = Save(ShippingLabel(), name + "-in.pdf"), out = Folder() / (name + ".pdf");
  std::vector<std::string> args = {"qpdf", in.string(), out.string()};
  args.insert(args.end() - 1, options.begin(), options.end());
  if (kvtest::RunProgram(args) != 0) return {};
  return Load(out);
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<Bytes*>(closure)->insert(static_cast<Bytes*>(closure)->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

// A PDF of `pages` pages of `width` x `height` points, each with its number in large type.
Bytes NumberedPages(int pages, double width, double height) {
  Bytes pdf;
  cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(Append, &pdf, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 48);
  for (int i = 1; i <= pages; ++i) {
    cairo_move_to(cr, 20, 80);
    cairo_show_text(cr, std::to_string(i).c_str());
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return pdf;
}

// The grey picture thresholded at mid-grey onto a white label of `width` x `height` dots, centred.
kv::render::Bitmap OnLabel(const GreyImage& grey, int width, int height) {
  kv::render::Bitmap page, label;
  page.Reset(grey.width, grey.height, 1 << 15);
  for (int y = 0; y < grey.height; ++y)
    for (int x = 0; x < grey.width; ++x)
      if (grey.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(grey.width) +
                      static_cast<std::size_t>(x)] < 128)
        page.SetBlack(x, y);
  label.Reset(width, height, 1 << 15);
  label.Stamp(page, (width - grey.width) / 2, (height - grey.height) / 2);
  return label;
}

long PeakKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The shipping label drawn onto labels of the printer's resolution and size: the page at the printer's
// resolution, turned by its own rotation, or scaled to fit a smaller label.
struct LabelCase {
  const char* name;
  int dpi;
  std::vector<std::string> qpdf;  // what is done to the label's PDF first; none: as made
  double label_w_in, label_h_in;
};

class ShippingLabelTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(ShippingLabelTest, AgreesWithPopplersOneBitDrawingAndTheBarcodeReads) {
  const LabelCase& c = GetParam();
  const Bytes pdf = c.qpdf.empty() ? ShippingLabel() : ThroughQpdf(c.name, c.qpdf);
  ASSERT_FALSE(pdf.empty());
  std::string error;
  const auto doc = PdfDocument::Open(pdf, &error);
  ASSERT_TRUE(doc) << error;
  EXPECT_EQ(doc->PageCount(), 1);
  double w_pt = 0, h_pt = 0;
  ASSERT_TRUE(doc->PageSize(0, &w_pt, &h_pt));
  const int label_w = static_cast<int>(std::lround(c.label_w_in * c.dpi));
  const int label_h = static_cast<int>(std::lround(c.label_h_in * c.dpi));
  EXPECT_DOUBLE_EQ(w_pt / h_pt, c.label_w_in > c.label_h_in ? 1.5 : 2.0 / 3.0);

  // Scaled to fit the label, as the printer application places a page of another size.
  const double dpi = c.dpi * std::min(label_w / (w_pt * c.dpi / 72), label_h / (h_pt * c.dpi / 72));
  GreyImage grey;
  ASSERT_TRUE(doc->RenderPage(0, dpi, std::size_t{1} << 24, &grey, &error)) << error;
  EXPECT_NEAR(grey.width, w_pt * dpi / 72, 1);
  EXPECT_NEAR(grey.height, h_pt * dpi / 72, 1);
  const kv::render::Bitmap label = OnLabel(grey, label_w, label_h);

  const kvtest::Agreement a = kvtest::CompareWithPdftoppm(Save(pdf, std::string(c.name) + ".pdf"), 0, c.dpi, label);
  ASSERT_EQ(a.error, "");
  // Smoothed edges (antialiasing) fall below these at 203 dpi: the page must be drawn as poppler draws one bit.
  EXPECT_GE(a.share, 0.99) << "shift " << a.dx << "," << a.dy;
  EXPECT_GE(a.black_share, 0.97) << "shift " << a.dx << "," << a.dy;

  const auto found = kvtest::ReadBarcodes(label);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].format, "Code128");
  EXPECT_EQ(found[0].text, kv::examples::kShippingBarcode);
}

INSTANTIATE_TEST_SUITE_P(Labels, ShippingLabelTest,
                         ::testing::Values(LabelCase{"At203", 203, {}, 4, 6}, LabelCase{"At300", 300, {}, 4, 6},
                                           LabelCase{"TurnedPageAt203", 203, {"--rotate=+90"}, 6, 4},
                                           LabelCase{"FittedOn4x4At300", 300, {}, 4, 4}),
                         [](const auto& row) { return std::string(row.param.name); });

// Documents that open, and those refused with a sentence for the client.
struct OpenCase {
  const char* name;
  Bytes (*make)();
  const char* refusal;  // part of the error sentence; "" when the document opens
};

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const OpenCase kOpenCases[] = {
    {"Empty", [] { return Bytes(); }, "empty"},
    {"NotAPdf", [] { return Text("Dear customer,\nyour parcel is on its way.\n"); }, "not a PDF"},
    {"HeaderOnly", [] { return Text("%PDF-1.7\n"); }, "damaged"},
    {"Truncated", [] { return Bytes(ShippingLabel().begin(), ShippingLabel().begin() + ShippingLabel().size() / 2); },
     "damaged"},
    {"Garbage", [] { return Text("%PDF-1.4\n" + std::string(4000, '(') + "\ntrailer<</Root 1 0 R>>\n%%EOF\n"); },
     "damaged"},
    {"NeedsPassword", [] { return ThroughQpdf("password", {"--encrypt", "user", "owner", "256", "--"}); },
     "password"},
    {"PrintingForbidden", [] { return ThroughQpdf("noprint", {"--encrypt", "", "owner", "256", "--print=none", "--"}); },
     "does not permit printing"},
    {"OwnerPasswordOnly", [] { return ThroughQpdf("owner", {"--encrypt", "", "owner", "256", "--"}); }, ""},
};

class OpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenTest, OpensOrSaysWhy) {
  const OpenCase& c = GetParam();
  const Bytes bytes = c.make();
  int messages = 0;
  kv::printer::SetPdfMessageHandler([&](const std::string&) { ++messages; });
  std::string error;
  const auto doc = PdfDocument::Open(bytes, &error);
  kv::printer::SetPdfMessageHandler(nullptr);
  EXPECT_LE(messages, 17) << "poppler's remarks are bounded per document";
  if (*c.refusal == '\0') {
    ASSERT_TRUE(doc) << error;
    GreyImage grey;
    EXPECT_TRUE(doc->RenderPage(0, 203, std::size_t{1} << 24, &grey, &error)) << error;
    return;
  }
  EXPECT_FALSE(doc);
  EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
  EXPECT_FALSE(PdfDocument::Open(bytes, nullptr)) << "no error sentence asked for";
}

INSTANTIATE_TEST_SUITE_P(Documents, OpenTest, ::testing::ValuesIn(kOpenCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Pages and pictures refused before anything is drawn; the edge pair of the picture bound side by side.
struct DrawCase {
  const char* name;
  int index;
  double dpi;
  std::size_t max_pixels;
  const char* refusal;  // part of the error sentence; "" when the page is drawn
};

const DrawCase kDrawCases[] = {
    {"IndexBelow", -1, 203, 1 << 24, "no page 0"},
    {"IndexAbove", 1, 203, 1 << 24, "no page 2; it has 1"},
    {"DpiZero", 0, 0, 1 << 24, "resolution"},
    {"DpiNotANumber", 0, std::numeric_limits<double>::quiet_NaN(), 1 << 24, "resolution"},
    {"DpiAboveRange", 0, 2401, std::numeric_limits<std::size_t>::max(), "resolution"},
    {"ExactlyTheBound", 0, 203, 812 * 1218, ""},
    {"OneDotBeyondTheBound", 0, 203, 812 * 1218 - 1, "too large"},
};

class DrawTest : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawTest, DrawsOrSaysWhy) {
  const DrawCase& c = GetParam();
  std::string error;
  const auto doc = PdfDocument::Open(ShippingLabel(), &error);
  ASSERT_TRUE(doc) << error;
  GreyImage grey;
  grey.width = 7;  // what a failure must clear
  const bool drawn = doc->RenderPage(c.index, c.dpi, c.max_pixels, &grey, &error);
  if (*c.refusal == '\0') {
    ASSERT_TRUE(drawn) << error;
    EXPECT_EQ(grey.width, 812);
    EXPECT_EQ(grey.height, 1218);
    EXPECT_EQ(grey.pixels.size(), 812u * 1218u);
    return;
  }
  EXPECT_FALSE(drawn);
  EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
  EXPECT_EQ(grey.width, 0);
  EXPECT_TRUE(grey.pixels.empty());
  EXPECT_FALSE(doc->RenderPage(c.index, c.dpi, c.max_pixels, nullptr, nullptr));
  EXPECT_EQ(doc->PageSize(c.index, nullptr, nullptr), c.index == 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, DrawTest, ::testing::ValuesIn(kDrawCases),
                         [](const auto& row) { return std::string(row.param.name); });

// A page of 200 x 200 in (the largest a PDF page may be) at 300 dpi would take 3.6 G dots: refused at once.
TEST(PdfDocumentTest, HugePageIsRefusedBeforeItIsDrawn) {
  std::string error;
  const auto doc = PdfDocument::Open(NumberedPages(1, 14400, 14400), &error);
  ASSERT_TRUE(doc) << error;
  const long before = PeakKib();
  GreyImage grey;
  EXPECT_FALSE(doc->RenderPage(0, 300, std::size_t{1} << 26, &grey, &error));
  EXPECT_NE(error.find("60000 x 60000 dots"), std::string::npos) << error;
  EXPECT_LT(PeakKib() - before, 64 * 1024);
}

// A thousand pages open without drawing any; the first and the last are drawn, one at a time.
TEST(PdfDocumentTest, ThousandPagesDrawnOneAtATime) {
  const Bytes pdf = NumberedPages(1000, 288, 432);
  const long before = PeakKib();
  std::string error;
  const auto doc = PdfDocument::Open(pdf, &error);
  ASSERT_TRUE(doc) << error;
  ASSERT_EQ(doc->PageCount(), 1000);
  for (int index : {0, 999}) {
    GreyImage grey;
    ASSERT_TRUE(doc->RenderPage(index, 203, std::size_t{1} << 24, &grey, &error)) << error;
    ASSERT_EQ(grey.width, 812);
    EXPECT_LT(*std::min_element(grey.pixels.begin(), grey.pixels.end()), 128) << "page " << index << " is blank";
  }
  EXPECT_FALSE(doc->RenderPage(1000, 203, std::size_t{1} << 24, nullptr, &error));
  EXPECT_LT(PeakKib() - before, 100 * 1024) << "memory beyond a page or two";
}

}  // namespace
