// Every barcode kind and PDF417, as the renderer draws them, read back by a barcode reader in all four rotations.
#include <gtest/gtest.h>

#include <string>

#include "label_check.h"
#include "render_support.h"

namespace {

struct SymbolCase {
  const char* name;
  std::string command;  // with %d where the rotation goes
  const char* format;   // zxing-cpp's name
  std::string decoded;  // what the reader must find
};

std::string WithRotation(std::string command, int turns) {
  const std::size_t at = command.find("%d");
  return command.replace(at, 2, std::to_string(turns));
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
      EXPECT_EQ(kvtest::ReadBarcode(r.labels[0], c.format).text, c.decoded)
          << c.name << " at turn " << turns << ", " << dpi << " dpi";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SymbolTest,
    ::testing::Values(SymbolCase{"Code128", "B400,400,%d,1,3,6,120,N,\"KV-000042\"", "Code128", "KV-000042"},
                      SymbolCase{"Code128A", "B400,400,%d,1A,3,6,120,N,\"CODE-A 1\"", "Code128", "CODE-A 1"},
                      SymbolCase{"Code128B", "B400,400,%d,1B,3,6,120,B,\"Set b\"", "Code128", "Set b"},
                      SymbolCase{"Code128C", "B400,400,%d,1C,3,6,120,N,\"12345678\"", "Code128", "12345678"},
                      SymbolCase{"Gs1_128", "B400,400,%d,1E,2,6,120,N,\"[01]09501101530003\"", "Code128",
                                 "0109501101530003"},
                      SymbolCase{"Interleaved2of5", "B400,400,%d,2,3,8,120,N,\"123456\"", "ITF", "123456"},
                      SymbolCase{"Interleaved2of5Check", "B400,400,%d,2C,3,8,120,B,\"12345\"", "ITF", "123457"},
                      SymbolCase{"Code39", "B400,400,%d,3,3,8,120,B,\"CODE39\"", "Code39", "CODE39"},
                      SymbolCase{"Code39Check", "B400,400,%d,3C,3,8,120,N,\"KV42\"", "Code39", "KV42E"},
                      SymbolCase{"Code93", "B400,400,%d,9,3,6,120,N,\"CODE93\"", "Code93", "CODE93"},
                      SymbolCase{"Ean13", "B400,400,%d,E30,3,6,120,B,\"590123412345\"", "EAN13", "5901234123457"},
                      SymbolCase{"Ean8", "B400,400,%d,E80,3,6,120,N,\"9638507\"", "EAN8", "96385074"},
                      SymbolCase{"UpcA", "B400,400,%d,UA0,3,6,120,B,\"03600029145\"", "UPCA", "036000291452"},
                      SymbolCase{"UpcE", "B400,400,%d,UE0,3,6,120,N,\"0123456\"", "UPCE", "01234565"},
                      SymbolCase{"Codabar", "B400,400,%d,K,3,8,120,N,\"A40156B\"", "Codabar", "A40156B"},
                      SymbolCase{"Pdf417", "b400,400,P,400,200,s2,c0,x3,y9,r0,l0,t0,o%d,\"KIRV PDF417 0123456789\"",
                                 "PDF417", "KIRV PDF417 0123456789"},
                      SymbolCase{"Pdf417Truncated", "b400,400,P,400,200,s1,c0,x3,y9,r0,l0,t1,o%d,\"truncated\"",
                                 "PDF417", "truncated"},
                      SymbolCase{"Pdf417Columns", "b400,400,P,400,200,s0,c0,x0,y8,r0,l2,t0,o%d,\"two columns\"",
                                 "PDF417", "two columns"}),
    [](const ::testing::TestParamInfo<SymbolCase>& i) { return std::string(i.param.name); });

}  // namespace
