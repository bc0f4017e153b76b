// How the library's costs compare with the plainest way of doing the same work:
//   (a) one builder call against a bare write() of the same bytes to the same kind of file;
//   (b) composing and delivering a 1,000-line label through CUPS against `lp -o raw` of the same file;
//   (c) ChangeCopies on a 100 MB print file against copying the file with `cp`;
//   (d) a 40-character line of TrueType text at 48 dots against ImageMagick making the same PCX, and
//       against FreeType alone rendering the same glyphs from a face opened beforehand;
//   (e) the PCX row code against memcpy of the same rows.
// Each pair is printed as a ratio after the runs. Needs the private spooler (CUPS_SERVER), as
// scripts/bench provides, and runs in the current directory.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "kvtaglib.h"
#include "pcx.h"

namespace {

constexpr const char kPrinter[] = "KIRV R5";
constexpr const char kLine[] = "H10\r\n";  // what KV_SetDarkness(10) appends

void BuilderCall(benchmark::State& state) {
  if (OpenPort(kPrinter) != KV_OK || ClearTmpFile() != KV_OK) {
    state.SkipWithError("the printer \"KIRV R5\" cannot be opened: is the spooler running?");
    return;
  }
  int n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(KV_SetDarkness(10));
    if (++n == 1 << 20) {  // keep the spool file from growing without end
      state.PauseTiming();
      ClearTmpFile();
      n = 0;
      state.ResumeTiming();
    }
  }
  ClosePort();
}

void BareWrite(benchmark::State& state) {
  int fd = open("bare-write.prn", O_RDWR | O_CREAT | O_TRUNC, 0644);
  int n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(write(fd, kLine, sizeof kLine - 1));
    if (++n == 1 << 20) {
      state.PauseTiming();
      if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) state.SkipWithError("cannot truncate");
      n = 0;
      state.ResumeTiming();
    }
  }
  close(fd);
  unlink("bare-write.prn");
}

// The 1,000 lines of the label, as the builders compose them.
void ComposeLabel() {
  KV_ClearBuffer();
  for (int i = 0; i < 997; ++i) KV_DrawText(10, 10 + i, 0, 3, 1, 1, 'N', "One line of a long label");
  KV_SetLabelWidth(812);
  KV_PrintLabelAuto(1, 1);
}

void LabelThroughLibrary(benchmark::State& state) {
  if (OpenPort(kPrinter) != KV_OK) {
    state.SkipWithError("the printer \"KIRV R5\" cannot be opened: is the spooler running?");
    return;
  }
  for (auto _ : state) {
    ComposeLabel();
    if (KV_WritePrinter() != KV_OK) state.SkipWithError("delivery failed");
  }
  ClosePort();
}

void LabelThroughLp(benchmark::State& state) {
  // The same bytes, composed once beforehand and kept in a file of their own.
  if (OpenPort(kPrinter) != KV_OK) {
    state.SkipWithError("the printer \"KIRV R5\" cannot be opened: is the spooler running?");
    return;
  }
  ComposeLabel();
  ClosePort();  // deletes the spool file: compose again into a kept copy
  OpenPort(kPrinter);
  ComposeLabel();
  std::ifstream in("KIRVtemp.prn", std::ios::binary);
  std::ofstream("label-1000.prn", std::ios::binary) << in.rdbuf();
  ClosePort();
  for (auto _ : state) {
    if (std::system("lp -d KIRV_R5 -o raw label-1000.prn >/dev/null") != 0) state.SkipWithError("lp failed");
  }
  unlink("label-1000.prn");
}

constexpr const char kBigFile[] = "big-100mb.prn";

void MakeBigFile() {
  std::ofstream out(kBigFile, std::ios::binary | std::ios::trunc);
  out << "#BD##CP#1\r\n";
  std::mt19937 random(7);
  std::string block(1 << 20, '\0');
  for (char& c : block) c = static_cast<char>(random());
  for (int i = 0; i < 100; ++i) out << block;
}

void ChangeCopiesBig(benchmark::State& state) {
  if (OpenPort(kPrinter) != KV_OK) {
    state.SkipWithError("the printer \"KIRV R5\" cannot be opened: is the spooler running?");
    return;
  }
  MakeBigFile();
  int copies = 1;
  for (auto _ : state) {
    if (ChangeCopies(kBigFile, ++copies % 1000) != KV_OK) state.SkipWithError("ChangeCopies failed");
  }
  ClosePort();
}

void CopyBig(benchmark::State& state) {
  MakeBigFile();
  for (auto _ : state) {
    if (std::system("cp big-100mb.prn big-copy.prn") != 0) state.SkipWithError("cp failed");
  }
  unlink("big-copy.prn");
  unlink(kBigFile);
}

constexpr const char kFortyCharacters[] = "The quick brown fox jumps over a lazy 12";
static_assert(sizeof kFortyCharacters - 1 == 40);

void TrueTypeLine(benchmark::State& state) {
  if (OpenPort(kPrinter) != KV_OK) {
    state.SkipWithError("the printer \"KIRV R5\" cannot be opened: is the spooler running?");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    ClearTmpFile();
    state.ResumeTiming();
    if (KV_DrawTextTrueTypeW(0, 0, 48, 0, "DejaVu Sans", 0, 400, 0, 0, 0, "LINE", kFortyCharacters) != KV_OK)
      state.SkipWithError("KV_DrawTextTrueTypeW failed");
  }
  ClosePort();
}

// A line whose text changes with every call, as serial numbers and names do.
void TrueTypeLineVaryingText(benchmark::State& state) {
  if (OpenPort(kPrinter) != KV_OK) {
    state.SkipWithError("the printer \"KIRV R5\" cannot be opened: is the spooler running?");
    return;
  }
  char text[41];
  unsigned serial = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearTmpFile();
    ++serial;
    std::snprintf(text, sizeof text, "Order %08u for Ms Example, lot %05u", serial * 7919u, serial % 100000u);
    state.ResumeTiming();
    if (KV_DrawTextTrueTypeW(0, 0, 48, 0, "DejaVu Sans", 0, 400, 0, 0, 0, "LINE", text) != KV_OK)
      state.SkipWithError("KV_DrawTextTrueTypeW failed");
  }
  ClosePort();
}

void TrueTypeLineImageMagick(benchmark::State& state) {
  const std::string command = std::string("convert -font DejaVu-Sans -density 72 -pointsize 48 -monochrome label:'") +
                              kFortyCharacters + "' pcx:line.pcx";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("convert failed (is ImageMagick installed?)");
  }
  unlink("line.pcx");
}

// The least any TrueType text costs: FreeType rendering the line's glyphs, one bit a dot, at the same
// cell height, with the library started and the face opened and sized before the clock runs.
void TrueTypeLineBareFreeType(benchmark::State& state) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* file = nullptr;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FT_Size_RequestRec cell = {FT_SIZE_REQUEST_TYPE_CELL, 0, 48 * 64, 0, 0};
  if (match == nullptr || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch ||
      FT_Init_FreeType(&library) != 0 || FT_New_Face(library, reinterpret_cast<const char*>(file), 0, &face) != 0 ||
      FT_Request_Size(face, &cell) != 0) {
    state.SkipWithError("DejaVu Sans cannot be opened");
  } else {
    for (auto _ : state)
      for (const char* c = kFortyCharacters; *c != 0; ++c)
        if (FT_Load_Char(face, static_cast<FT_ULong>(*c), FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) != 0 ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0)
          state.SkipWithError("a glyph cannot be rendered");
  }
  if (face != nullptr) FT_Done_Face(face);
  if (library != nullptr) FT_Done_FreeType(library);
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
}

// Rows of a typical text image: long white runs with some ink.
std::vector<unsigned char> TextRows(std::size_t rows, std::size_t row_bytes) {
  std::vector<unsigned char> image(rows * row_bytes, 0xFF);
  std::mt19937 random(3);
  for (std::size_t i = 0; i < image.size(); ++i)
    if (random() % 5 == 0) image[i] = static_cast<unsigned char>(random());
  return image;
}

void PcxRows(benchmark::State& state) {
  const std::size_t row_bytes = 128, rows = 1024;
  const auto image = TextRows(rows, row_bytes);
  std::vector<unsigned char> out(kv::kPcxRowBuffer);
  for (auto _ : state)
    for (std::size_t r = 0; r < rows; ++r)
      benchmark::DoNotOptimize(kv::PcxEncodeRow(out.data(), out.size(), &image[r * row_bytes], row_bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rows * row_bytes));
}

void MemcpyRows(benchmark::State& state) {
  const std::size_t row_bytes = 128, rows = 1024;
  const auto image = TextRows(rows, row_bytes);
  std::vector<unsigned char> out(kv::kPcxRowBuffer);
  for (auto _ : state)
    for (std::size_t r = 0; r < rows; ++r) {
      std::memcpy(out.data(), &image[r * row_bytes], row_bytes);
      benchmark::ClobberMemory();
    }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rows * row_bytes));
}

BENCHMARK(BuilderCall);
BENCHMARK(BareWrite);
BENCHMARK(LabelThroughLibrary)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(LabelThroughLp)->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(ChangeCopiesBig)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(CopyBig)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(TrueTypeLine)->Unit(benchmark::kMillisecond);
BENCHMARK(TrueTypeLineVaryingText)->Unit(benchmark::kMillisecond);
BENCHMARK(TrueTypeLineImageMagick)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(TrueTypeLineBareFreeType)->Unit(benchmark::kMillisecond);
BENCHMARK(PcxRows);
BENCHMARK(MemcpyRows);

// Keeps each benchmark's real time per iteration, in nanoseconds, to print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred && run.iterations > 0)
        seconds_[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatio(const char* what, const std::string& ours, const std::string& theirs) const {
    auto a = seconds_.find(ours), b = seconds_.find(theirs);
    if (a == seconds_.end() || b == seconds_.end() || b->second <= 0) {
      std::printf("%-66s   (not measured)\n", what);
      return;
    }
    std::printf("%-66s %8.2f\n", what, a->second / b->second);
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios (the library's time over the plain way's time):\n");
  reporter.PrintRatio("(a) one builder call / bare write() of the same bytes", "BuilderCall", "BareWrite");
  reporter.PrintRatio("(b) 1,000-line label composed and delivered / lp -o raw of it",
                      "LabelThroughLibrary/iterations:40", "LabelThroughLp/iterations:40");
  reporter.PrintRatio("(c) ChangeCopies on 100 MB / cp of the file", "ChangeCopiesBig/iterations:5",
                      "CopyBig/iterations:5");
  reporter.PrintRatio("(d) 40-character TrueType line at 48 dots / ImageMagick convert", "TrueTypeLine",
                      "TrueTypeLineImageMagick/iterations:20");
  reporter.PrintRatio("(d) 40-character TrueType line at 48 dots / FreeType alone", "TrueTypeLine",
                      "TrueTypeLineBareFreeType");
  reporter.PrintRatio("(d) 40-character TrueType line, new text each call / FreeType alone", "TrueTypeLineVaryingText",
                      "TrueTypeLineBareFreeType");
  reporter.PrintRatio("(e) PCX row code / memcpy of the same rows", "PcxRows", "MemcpyRows");
  return 0;
}
