// The job renderer drawing the sample label (the library's own job for examples/sample_label.cpp),
// in-process, at 203 and 300 dpi. Goals: under 5 ms and under 10 ms.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "kv/render/renderer.h"

namespace {

std::string SampleJob() {
  std::ifstream in(KV_SAMPLE_JOB, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void RenderSampleLabel(benchmark::State& state) {
  const std::string job = SampleJob();
  if (job.empty()) {
    state.SkipWithError("the sample job is missing");
    return;
  }
  kv::render::Printer printer(static_cast<int>(state.range(0)));
  std::size_t labels = 0;
  for (auto _ : state) {
    const auto summary = printer.Run(job.data(), job.size(), [&](const kv::render::RenderedLabel& label) {
      benchmark::DoNotOptimize(label.image.row(0));
      ++labels;
    });
    benchmark::DoNotOptimize(summary.labels);
  }
  if (labels != static_cast<std::size_t>(state.iterations())) state.SkipWithError("the sample job printed no label");
}

}  // namespace

BENCHMARK(RenderSampleLabel)->Arg(203)->Arg(300)->Unit(benchmark::kMillisecond);
