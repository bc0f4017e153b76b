// Every barcode kind and PDF417, as the renderer draws them, read back by a real barcode reader in all
// four rotations.
#include <gtest/gtest.h>

// The reader gives its text as UTF-8.
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include <string>
#include <vector>

#include "render_support.h"

namespace {

struct SymbolCase {
  const char* name;
  std::string command;  // with %d where the rotation goes
  ZXing::BarcodeFormat format;
  std::string decoded;  // what the reader must find
};

std::string WithRotation(std::string command, int turns) {
  const std::size_t at = command.find("%d");
  return command.replace(at, 2, std::to_string(turns));
}

// Reads the label with the symbol's format only, as a grey image (white background).
ZXing::Result Read(const kv::render::Bitmap& label, ZXing::BarcodeFormat format) {
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(label.width()) * static_cast<std::size_t>(label.height()));
  for (int y = 0; y < label.height(); ++y)
    for (int x = 0; x < label.width(); ++x)
      grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(label.width()) + static_cast<std::size_t>(x)] =
          label.Black(x, y) ? 0 : 255;
  ZXing::DecodeHints hints;
  hints.setFormats(format);
  hints.setTryHarder(true);
  hints.setTryRotate(true);
  hints.setReturnCodabarStartEnd(true);
  return ZXing::ReadBarcode(ZXing::ImageView(grey.data(), label.width(), label.height(), ZXing::ImageFormat::Lum),
                            hints);
}

class SymbolTest : public ::testing::TestWithParam<SymbolCase> {};

TEST_P(SymbolTest, ReaderFindsTheDataInEveryRotation) {
  const SymbolCase& c = GetParam();
  for (int dpi : {203, 300}) {
    for (int turns = 0; turns < 4; ++turns) {
      // The symbol's anchor in the middle of the label, so that every turn keeps it on the label.
      const auto r =
          kvtest::RenderJob(kvtest::Job({"N", "q800", "Q800,24", WithRotation(c.command, turns).c_str(), "P1"}), dpi);
      ASSERT_EQ(r.labels.size(), 1u) << r.Messages();
      ASSERT_TRUE(r.summary.messages.empty()) << r.Messages();
      const ZXing::Result found = Read(r.labels[0], c.format);
      ASSERT_TRUE(found.isValid()) << c.name << " not read at turn " << turns << ", " << dpi << " dpi";
      EXPECT_EQ(found.text(), c.decoded) << c.name << " at turn " << turns << ", " << dpi << " dpi";
    }
  }
}

using F = ZXing::BarcodeFormat;

INSTANTIATE_TEST_SUITE_P(
    Kinds, SymbolTest,
    ::testing::Values(SymbolCase{"Code128", "B400,400,%d,1,3,6,120,N,\"KV-000042\"", F::Code128, "KV-000042"},
                      SymbolCase{"Code128A", "B400,400,%d,1A,3,6,120,N,\"CODE-A 1\"", F::Code128, "CODE-A 1"},
                      SymbolCase{"Code128B", "B400,400,%d,1B,3,6,120,B,\"Set b\"", F::Code128, "Set b"},
                      SymbolCase{"Code128C", "B400,400,%d,1C,3,6,120,N,\"12345678\"", F::Code128, "12345678"},
                      SymbolCase{"Gs1_128", "B400,400,%d,1E,2,6,120,N,\"[01]09501101530003\"", F::Code128,
                                 "0109501101530003"},
                      SymbolCase{"Interleaved2of5", "B400,400,%d,2,3,8,120,N,\"123456\"", F::ITF, "123456"},
                      SymbolCase{"Interleaved2of5Check", "B400,400,%d,2C,3,8,120,B,\"12345\"", F::ITF, "123457"},
                      SymbolCase{"Code39", "B400,400,%d,3,3,8,120,B,\"CODE39\"", F::Code39, "CODE39"},
                      SymbolCase{"Code39Check", "B400,400,%d,3C,3,8,120,N,\"KV42\"", F::Code39, "KV42E"},
                      SymbolCase{"Code93", "B400,400,%d,9,3,6,120,N,\"CODE93\"", F::Code93, "CODE93"},
                      SymbolCase{"Ean13", "B400,400,%d,E30,3,6,120,B,\"590123412345\"", F::EAN13, "5901234123457"},
                      SymbolCase{"Ean8", "B400,400,%d,E80,3,6,120,N,\"9638507\"", F::EAN8, "96385074"},
                      SymbolCase{"UpcA", "B400,400,%d,UA0,3,6,120,B,\"03600029145\"", F::UPCA, "036000291452"},
                      SymbolCase{"UpcE", "B400,400,%d,UE0,3,6,120,N,\"0123456\"", F::UPCE, "01234565"},
                      SymbolCase{"Codabar", "B400,400,%d,K,3,8,120,N,\"A40156B\"", F::Codabar, "A40156B"},
                      SymbolCase{"Pdf417", "b400,400,P,400,200,s2,c0,x3,y9,r0,l0,t0,o%d,\"KIRV PDF417 0123456789\"",
                                 F::PDF417, "KIRV PDF417 0123456789"},
                      SymbolCase{"Pdf417Truncated", "b400,400,P,400,200,s1,c0,x3,y9,r0,l0,t1,o%d,\"truncated\"",
                                 F::PDF417, "truncated"},
                      SymbolCase{"Pdf417Columns", "b400,400,P,400,200,s0,c0,x0,y8,r0,l2,t0,o%d,\"two columns\"",
                                 F::PDF417, "two columns"}),
    [](const ::testing::TestParamInfo<SymbolCase>& i) { return std::string(i.param.name); });

}  // namespace
