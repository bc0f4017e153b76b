// The printer application's PDF pages: the demo's 4 x 6 in shipping label (made in memory) drawn as grey at
// 203 dpi, once with the document opened each time (as a job arrives) and once with the page alone.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "pdf_document.h"
#include "shipping_label.h"

namespace {

constexpr std::size_t kMaxPixels = std::size_t{1} << 24;

std::vector<std::uint8_t> ShippingLabel(benchmark::State& state) {
  std::vector<std::uint8_t> pdf;
  std::string error;
  if (!kv::examples::MakeShippingLabelPdf(&pdf, &error)) state.SkipWithError(error.c_str());
  return pdf;
}

void DrawShippingLabelPage(benchmark::State& state) {
  const std::vector<std::uint8_t> pdf = ShippingLabel(state);
  std::string error;
  const auto doc = kv::printer::PdfDocument::Open(pdf, &error);
  if (!doc) {
    state.SkipWithError(error.c_str());
    return;
  }
  kv::printer::GreyImage page;
  for (auto _ : state) {
    if (!doc->RenderPage(0, 203, kMaxPixels, &page, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    benchmark::DoNotOptimize(page.pixels.data());
  }
}

void OpenAndDrawShippingLabel(benchmark::State& state) {
  const std::vector<std::uint8_t> pdf = ShippingLabel(state);
  std::string error;
  kv::printer::GreyImage page;
  for (auto _ : state) {
    const auto doc = kv::printer::PdfDocument::Open(pdf, &error);
    if (!doc || !doc->RenderPage(0, 203, kMaxPixels, &page, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    benchmark::DoNotOptimize(page.pixels.data());
  }
}

}  // namespace

BENCHMARK(DrawShippingLabelPage)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenAndDrawShippingLabel)->Unit(benchmark::kMillisecond);
