// Golden labels: each job in golden/ rendered at 203 and 300 dpi and compared dot for dot with the committed
// pictures (NAME.png, NAME-2.png ...; NAME-300.png, NAME-300-2.png ...), each looked at by a person when made.
// KV_UPDATE_GOLDEN=1 writes them anew; look at every changed picture before committing it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "kv/render/png.h"
#include "render_support.h"

namespace {

const std::filesystem::path kGolden = KV_GOLDEN_DIR;

struct GoldenCase {
  std::string job;
  int dpi;
  std::string PictureName(std::size_t n) const {
    return job + (dpi == 300 ? "-300" : "") + (n > 1 ? "-" + std::to_string(n) : "") + ".png";
  }
};

class GoldenTest : public ::testing::TestWithParam<std::tuple<const char*, int>> {};

TEST_P(GoldenTest, RendersAsCommitted) {
  const GoldenCase c{std::get<0>(GetParam()), std::get<1>(GetParam())};
  std::ifstream in(kGolden / (c.job + ".prn"), std::ios::binary);
  ASSERT_TRUE(in) << c.job;
  std::stringstream job;
  job << in.rdbuf();
  const auto r = kvtest::RenderJob(job.str(), c.dpi);
  ASSERT_FALSE(r.labels.empty()) << r.Messages();
  EXPECT_FALSE(r.summary.failed);
  const bool update = std::getenv("KV_UPDATE_GOLDEN") != nullptr;
  for (std::size_t i = 0; i < r.labels.size(); ++i) {
    const std::filesystem::path picture = kGolden / c.PictureName(i + 1);
    if (update) {
      std::FILE* f = std::fopen(picture.c_str(), "wb");
      ASSERT_NE(f, nullptr);
      std::string error;
      EXPECT_TRUE(kv::render::WritePng(f, r.labels[i], c.dpi, error)) << error;
      std::fclose(f);
      continue;
    }
    kv::render::Bitmap want;
    unsigned per_metre = 0;
    ASSERT_TRUE(kv::render::ReadPng(picture.string(), want, 32768, &per_metre)) << picture;
    EXPECT_EQ(per_metre, c.dpi == 300 ? 12000u : 8000u) << picture;
    ASSERT_EQ(r.labels[i].width(), want.width()) << picture;
    ASSERT_EQ(r.labels[i].height(), want.height()) << picture;
    std::size_t differ = 0;
    for (int y = 0; y < want.height(); ++y)
      for (int x = 0; x < want.width(); ++x) differ += r.labels[i].Black(x, y) != want.Black(x, y);
    EXPECT_EQ(differ, 0u) << picture << ": dots that differ";
  }
  // No picture is left over from a label the job no longer prints.
  EXPECT_FALSE(std::filesystem::exists(kGolden / c.PictureName(r.labels.size() + 1)))
      << c.PictureName(r.labels.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, GoldenTest,
    ::testing::Combine(::testing::Values("sample_label", "text", "lines", "barcodes", "pdf417", "forms"),
                       ::testing::Values(203, 300)),
    [](const auto& i) { return std::string(std::get<0>(i.param)) + "_" + std::to_string(std::get<1>(i.param)); });

}  // namespace
