// A sample label through the library: size, darkness and speed, a text line in a numbered font and
// one in a soft font, a barcode, a PDF417 symbol, a box and a line, a counter and a variable, two lines
// of TrueType text (one Latin, one Chinese), a downloaded PCX logo and a prepared command file,
// printed with KV_PrintLabel.
//
//   sample_label [printer] [command file] [logo.pcx]
//
// The printer defaults to "KIRV R5"; the command file and the logo are used when given.
#include <cstdio>

#include "kvtaglib.h"

namespace {

// Runs one step of the label; after the first failure the later steps are skipped.
class Label {
 public:
  void Step(const char* what, int rc) {
    if (rc_ != KV_OK) return;
    rc_ = rc;
    if (rc != KV_OK) std::fprintf(stderr, "sample_label: %s failed with %d\n", what, rc);
  }
  int result() const { return rc_; }

 private:
  int rc_ = KV_OK;
};

}  // namespace

int main(int argc, char** argv) {
  const char* printer = argc > 1 ? argv[1] : "KIRV R5";
  const char* command_file = argc > 2 ? argv[2] : nullptr;
  const char* logo = argc > 3 ? argv[3] : nullptr;

  Label label;
  label.Step("OpenPort", OpenPort(printer));
  label.Step("KV_ClearBuffer", KV_ClearBuffer());
  label.Step("KV_SetLabelWidth", KV_SetLabelWidth(812));        // 4 inches at 203 dpi
  label.Step("KV_SetLabelHeight", KV_SetLabelHeight(406, 24));  // 2 inches, 3 mm gap
  label.Step("KV_SetDarkness", KV_SetDarkness(10));
  label.Step("KV_SetPrintSpeed", KV_SetPrintSpeed(4));
  label.Step("KV_SetDirection", KV_SetDirection('T'));
  label.Step("KV_DrawRectangle", KV_DrawRectangle(20, 20, 3, 790, 390));
  label.Step("KV_DrawText", KV_DrawText(40, 34, 0, 4, 1, 1, 'N', "KIRV label kit"));
  label.Step("KV_DrawText", KV_DrawText(40, 80, 0, 'A', 1, 1, 'N', "Soft font A"));
  label.Step("KV_DrawLineOr", KV_DrawLineOr(20, 120, 770, 2));
  label.Step("KV_DrawBarcode", KV_DrawBarcode(40, 140, 0, "1", 2, 4, 80, 'B', "KV-000042"));
  label.Step("KV_DrawBar2D_Pdf417", KV_DrawBar2D_Pdf417(460, 140, 300, 120, 0, 0, 2, 6, 0, 0, 0, 0, "KIRV KV-000042"));
  label.Step("KV_DefineCounter", KV_DefineCounter(0, 6, 'R', "+1", "Serial number"));
  label.Step("KV_DefineVariable", KV_DefineVariable(1, 20, 'L', "Batch"));
  label.Step("KV_DrawTextTrueTypeW", KV_DrawTextTrueTypeW(40, 280, 40, 0, "Liberation Sans", 0, 700, 0, 0, 0, "TTLATIN",
                                                          "TrueType: Liberation Sans, bold"));
  label.Step("KV_DrawTextTrueTypeW", KV_DrawTextTrueTypeW(40, 330, 40, 0, "SimSun", 0, 400, 0, 1, 0, "TTCHINESE",
                                                          "中文标签 (SimSun, underlined)"));
  if (logo != nullptr) {
    label.Step("KV_PcxGraphicsDownload", KV_PcxGraphicsDownload("LOGO", logo));
    label.Step("KV_DrawPcxGraphics", KV_DrawPcxGraphics(690, 270, "LOGO"));
  }
  if (command_file != nullptr) label.Step("OurSendFile", OurSendFile(command_file, 0));
  label.Step("KV_PrintLabel", KV_PrintLabel(1, 1));
  ClosePort();
  if (label.result() == KV_OK) std::printf("sample_label: label sent to \"%s\"\n", printer);
  return label.result() == KV_OK ? 0 : 1;
}
