// Golden labels: each job in golden/ rendered at 203 and 300 dpi and compared dot for dot with the committed
// pictures (NAME.png, NAME-2.png ...; NAME-300.png, NAME-300-2.png ...), each looked at by a person when made.
// KV_UPDATE_GOLDEN=1 writes them anew; look at every changed picture before committing it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>

#include "kv/render/png.h"
#include "render_support.h"
#include "test_env.h"

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
  const auto r = kvtest::RenderJob(kvtest::ReadWhole(kGolden / (c.job + ".prn")), c.dpi);
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
    unsigned per_metre = 0;
    EXPECT_TRUE(kvtest::ReadPicture(picture, &per_metre) == r.labels[i]) << picture << " differs";
    EXPECT_EQ(per_metre, c.dpi == 300 ? 12000u : 8000u) << picture;
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
