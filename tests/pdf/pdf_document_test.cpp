// The printer application's PDF pages: the shipping label drawn as poppler draws one bit, its barcode read back;
// documents refused with a sentence for the client, and pages beyond their bounds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "documents.h"
#include "label_check.h"
#include "pdf_document.h"
#include "test_env.h"

namespace {

using kv::printer::GreyImage;
using kv::printer::PdfDocument;
using Bytes = std::vector<std::uint8_t>;

// The test's files, removed when it ends.
const std::filesystem::path& Folder() {
  static const kvtest::TempFolder folder;
  return folder.path();
}

const Bytes& ShippingLabel() { return kvtest::ShippingLabelPdf(); }

std::filesystem::path Save(const Bytes& bytes, const std::string& name) {
  kvtest::WriteWhole(Folder() / name, std::string(bytes.begin(), bytes.end()));
  return Folder() / name;
}

// The shipping label passed through qpdf with `options` (turned, encrypted); empty when qpdf fails.
Bytes ThroughQpdf(const std::string& name, std::vector<std::string> options) {
  const std::filesystem::path in = Save(ShippingLabel(), name + "-in.pdf"), out = Folder() / (name + ".pdf");
  std::vector<std::string> args = {"qpdf", in.string(), out.string()};
  args.insert(args.end() - 1, options.begin(), options.end());
  const std::string pdf = kvtest::RunProgram(args) == 0 ? kvtest::ReadWhole(out) : "";
  return Bytes(pdf.begin(), pdf.end());
}

// A PDF of the objects given (numbered from 1, the first the catalog), with a correct cross-reference table.
Bytes PdfOf(const std::vector<std::string>& objects) {
  std::string pdf = "%PDF-1.4\n", xref = "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t i = 0; i < objects.size(); ++i) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
    xref += entry;
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::string start = std::to_string(pdf.size());
  pdf += xref + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" + start +
         "\n%%EOF\n";
  return Bytes(pdf.begin(), pdf.end());
}

std::string Stream(const std::string& dict, const std::string& body) {
  return "<< " + dict + " /Length " + std::to_string(body.size()) + " >>\nstream\n" + body + "\nendstream";
}

// The objects of a one-page PDF of 4 x 6 in whose page draws `content` with `resources`.
std::vector<std::string> OnePage(const std::string& content, const std::string& resources = "") {
  return {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
          "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 288 432] /Contents 4 0 R " + resources + ">>",
          Stream("", content)};
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

// The shipping label drawn at the printer's resolution, turned by its own rotation, or fitted to a smaller label.
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
  Bytes (*make)();      // none: the shipping label through qpdf with `qpdf`
  const char* refusal;  // part of the error sentence; "" when the document opens
  int messages = -1;    // poppler's remarks passed on while it opens and draws; -1: any number
  std::vector<std::string> qpdf = {};
};

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string Repeated(const std::string& s, int times) {
  std::string r;
  while (times-- > 0) r += s;
  return r;
}

const OpenCase kOpenCases[] = {
    {"Empty", [] { return Bytes(); }, "empty"},
    {"NotAPdf", [] { return Text("Dear customer,\nyour parcel is on its way.\n"); }, "not a PDF"},
    {"HeaderOnly", [] { return Text("%PDF-1.7\n"); }, "damaged"},
    {"Truncated", [] { return Bytes(ShippingLabel().begin(), ShippingLabel().begin() + ShippingLabel().size() / 2); },
     "damaged"},
    {"Garbage", [] { return Text("%PDF-1.4\n" + std::string(4000, '(') + "\ntrailer<</Root 1 0 R>>\n%%EOF\n"); },
     "damaged"},
    {"NeedsPassword", nullptr, "password", -1, {"--encrypt", "user", "owner", "256", "--"}},
    {"PrintingForbidden", nullptr, "permit printing", -1, {"--encrypt", "", "owner", "256", "--print=none", "--"}},
    {"OwnerPasswordOnly", nullptr, "", -1, {"--encrypt", "", "owner", "256", "--"}},
    // A hundred remarks on unknown operators: sixteen are passed on, and a line that counts the rest.
    {"HundredUnknownOperators", [] { return PdfOf(OnePage(Repeated("kv ", 100))); }, "", 17},
    {"ThreeUnknownOperators", [] { return PdfOf(OnePage("0 0 100 100 re f\nkv kv kv\n")); }, "", 3},
};

class OpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenTest, OpensOrSaysWhy) {
  const OpenCase& c = GetParam();
  const Bytes bytes = c.make != nullptr ? c.make() : ThroughQpdf(c.name, c.qpdf);
  int messages = 0;
  kv::printer::SetPdfMessageHandler([&](const std::string&) { ++messages; });
  std::string error;
  const auto doc = PdfDocument::Open(bytes, &error);
  GreyImage grey;
  const bool drawn = doc && doc->RenderPage(0, 203, std::size_t{1} << 24, &grey, &error);
  kv::printer::SetPdfMessageHandler(nullptr);
  if (*c.refusal == '\0') {
    ASSERT_TRUE(doc) << error;
    EXPECT_TRUE(drawn) << error;
    if (c.messages >= 0) {
      EXPECT_EQ(messages, c.messages);
    }
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
  double side_in = 0;   // a square page of this many inches instead of the shipping label
};

const DrawCase kDrawCases[] = {
    {"IndexBelow", -1, 203, 1 << 24, "no page 0"},
    {"IndexAbove", 1, 203, 1 << 24, "no page 2; it has 1"},
    {"DpiZero", 0, 0, 1 << 24, "resolution"},
    {"DpiNotANumber", 0, std::numeric_limits<double>::quiet_NaN(), 1 << 24, "resolution"},
    {"DpiAboveRange", 0, 2401, std::numeric_limits<std::size_t>::max(), "resolution"},
    {"ExactlyTheBound", 0, 203, 812 * 1218, ""},
    {"OneDotBeyondTheBound", 0, 203, 812 * 1218 - 1, "too large"},
    // The largest page a PDF may have: 3.6 G dots at 300 dpi.
    {"HugePage", 0, 300, std::size_t{1} << 26, "60000 x 60000 dots", 200},
};

class DrawTest : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawTest, DrawsOrSaysWhy) {
  const DrawCase& c = GetParam();
  std::string error;
  const auto doc =
      PdfDocument::Open(c.side_in > 0 ? kvtest::PagesPdf(1, c.side_in * 72, c.side_in * 72) : ShippingLabel(), &error);
  ASSERT_TRUE(doc) << error;
  const long before = PeakKib();
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
  EXPECT_LT(PeakKib() - before, 64 * 1024);
  EXPECT_FALSE(doc->RenderPage(c.index, c.dpi, c.max_pixels, nullptr, nullptr));
  EXPECT_EQ(doc->PageSize(c.index, nullptr, nullptr), c.index == 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, DrawTest, ::testing::ValuesIn(kDrawCases),
                         [](const auto& row) { return std::string(row.param.name); });

// A small PDF whose page draws form 5, each form drawing the next twice, `depth` deep: hours of drawing.
Bytes FormsDrawingForms(int depth) {
  std::vector<std::string> objects = OnePage("/F Do", "/Resources << /XObject << /F 5 0 R >> >> ");
  for (int level = 0; level < depth; ++level) {
    const bool leaf = level + 1 == depth;
    objects.push_back(
        Stream("/Type /XObject /Subtype /Form /BBox [0 0 288 432]" +
                   (leaf ? "" : " /Resources << /XObject << /F " + std::to_string(6 + level) + " 0 R >> >>"),
               leaf ? "0 0 1 1 re f" : "/F Do /F Do"));
  }
  return PdfOf(objects);
}

// A page that would draw for hours is stopped at its time bound, and the next page draws as before.
TEST(PdfDocumentTest, PageBeyondItsTimeIsStopped) {
  std::string error;
  const auto bomb = PdfDocument::Open(FormsDrawingForms(40), &error);
  ASSERT_TRUE(bomb) << error;
  GreyImage grey;
  kv::printer::DrawBounds bounds;
  bounds.seconds = 0.5;
  EXPECT_FALSE(bomb->RenderPage(0, 203, std::size_t{1} << 24, &grey, &error, bounds));
  EXPECT_EQ(error, "Page 1 of the PDF document takes more than 0.5 s to draw; it was stopped.");
  EXPECT_EQ(grey.width, 0);
  const auto label = PdfDocument::Open(ShippingLabel(), &error);
  ASSERT_TRUE(label) << error;
  EXPECT_TRUE(label->RenderPage(0, 203, std::size_t{1} << 24, &grey, &error, bounds)) << error;
}

// The drawing processes of this program: the children of each of its threads.
std::vector<pid_t> Drawers() {
  std::vector<pid_t> pids;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream children(task.path() / "children");
    for (pid_t pid = 0; children >> pid;) pids.push_back(pid);
  }
  return pids;
}

// A drawer killed while it draws ends only that page; one killed between pages is replaced for the next.
TEST(PdfDocumentTest, KilledDrawerEndsOnlyItsPage) {
  std::string error;
  const auto bomb = PdfDocument::Open(FormsDrawingForms(40), &error);
  ASSERT_TRUE(bomb) << error;
  GreyImage grey;
  std::thread killer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (const pid_t pid : Drawers()) kill(pid, SIGKILL);
  });
  EXPECT_FALSE(bomb->RenderPage(0, 203, std::size_t{1} << 24, &grey, &error));
  killer.join();
  EXPECT_NE(error.find("ended early"), std::string::npos) << error;
  const auto label = PdfDocument::Open(ShippingLabel(), &error);
  ASSERT_TRUE(label) << error;
  ASSERT_TRUE(label->RenderPage(0, 203, std::size_t{1} << 24, &grey, &error)) << error;
  const std::vector<pid_t> first = Drawers();
  ASSERT_EQ(first.size(), 1u);
  kill(first[0], SIGKILL);
  // Until the system has ended it (a zombie's state is Z).
  for (std::string stat = "("; stat.find(") Z ") == std::string::npos && !stat.empty();) {
    std::ifstream in("/proc/" + std::to_string(first[0]) + "/stat");
    stat.clear();
    std::getline(in, stat);
  }
  EXPECT_TRUE(label->RenderPage(0, 203, std::size_t{1} << 24, &grey, &error)) << error;
  EXPECT_NE(Drawers(), first);
}

// A program whose standard input is closed (a daemon's may be) still hands its drawer the right descriptors.
TEST(PdfDocumentTest, DrawsWithStandardInputClosed) {
  const int saved = dup(STDIN_FILENO);
  close(STDIN_FILENO);
  std::string error;
  GreyImage grey;
  const auto label = PdfDocument::Open(ShippingLabel(), &error);
  const bool drawn = label && label->RenderPage(0, 203, std::size_t{1} << 24, &grey, &error);
  dup2(saved, STDIN_FILENO);
  close(saved);
  EXPECT_TRUE(drawn) << error;
}

// Pages drawn on several threads at once while another thread allocates and opens documents: a drawing
// process that began as a copy of this one could wait for ever on a lock another thread held at that moment.
TEST(PdfDocumentTest, DocumentsDrawnOnManyThreadsAtOnce) {
  std::atomic<bool> done{false};
  std::thread churn([&] {
    std::string error;
    while (!done) {
      std::vector<std::unique_ptr<char[]>> blocks;
      for (int i = 0; i < 64; ++i) blocks.emplace_back(new char[40960]);
      PdfDocument::Open(ShippingLabel(), &error);
    }
  });
  std::atomic<int> drawn{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      std::string error;
      kv::printer::DrawBounds bounds;
      bounds.seconds = 10;
      for (int i = 0; i < 5; ++i) {
        const auto doc = PdfDocument::Open(ShippingLabel(), &error);
        GreyImage grey;
        for (int page = 0; page < 2; ++page)
          drawn += doc && doc->RenderPage(0, 203, std::size_t{1} << 24, &grey, &error, bounds) ? 1 : 0;
      }
    });
  for (std::thread& t : threads) t.join();
  done = true;
  churn.join();
  EXPECT_EQ(drawn, 40);
}

#if !defined(__SANITIZE_ADDRESS__)
// poppler's own memory while it draws is bounded too (not where the address sanitizer reserves its shadow).
TEST(PdfDocumentTest, PageBeyondItsMemoryIsRefused) {
  std::string error;
  const auto label = PdfDocument::Open(ShippingLabel(), &error);
  ASSERT_TRUE(label) << error;
  GreyImage grey;
  kv::printer::DrawBounds bounds;
  bounds.memory = std::size_t{1} << 20;  // less than the page's own drawing surface at 600 dpi
  EXPECT_FALSE(label->RenderPage(0, 600, std::size_t{1} << 26, &grey, &error, bounds));
  EXPECT_NE(error.find("memory"), std::string::npos) << error;
}
#endif

}  // namespace
