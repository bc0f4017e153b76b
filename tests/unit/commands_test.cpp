// Every label command builder: its exact bytes, each check at both edges, its closed code (nothing
// stored) and its write code (after a delivery, before the next job).
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "connection.h"
#include "fault_sweep.h"
#include "kvtaglib.h"
#include "test_env.h"

namespace {

using kv::SetErrState;

struct BuilderCase {
  const char* name;
  std::function<int()> call;
  std::string bytes;  // what the call appends; nothing when it refuses
  int result;         // 0, or the check code it stores and returns
  int closed;         // its code when the connection is closed
  int write;          // its code when the spool file is not open
};

void PrintTo(const BuilderCase& c, std::ostream* out) { *out << c.name; }

std::string S(const char* text, std::size_t n) { return std::string(text, n); }

const std::string k16(16, 'f'), k17(17, 'f');
const std::string k95(95, 'd'), k96(96, 'd'), k97(97, 'p'), k98(98, 'p');
const std::string k2710(2710, 'z'), k2711(2711, 'z');

// The longest selection text of KV_DrawBarcode whose line still fits the 10240-byte command buffer
// with its terminating zero, given the other fields of BarcodeWith().
const std::size_t kLongestSelection = 10239 - std::string("B10,20,0,,2,4,50,B,\"12345\"\r\n").size();
int BarcodeWith(std::size_t selection) {
  const std::string text(selection, 's');
  return KV_DrawBarcode(10, 20, 0, text.c_str(), 2, 4, 50, 'B', "12345");
}

constexpr int kSd = KV_ERR_SOFT_FONT_DEL_CLOSED, kSdW = KV_ERR_SOFT_FONT_DEL_WRITE, kSdC = KV_ERR_SOFT_FONT_DEL_CHECK;
constexpr int kFd = KV_ERR_FORM_DEL_CLOSED, kFdW = KV_ERR_FORM_DEL_WRITE, kFdC = KV_ERR_FORM_DEL_CHECK;
constexpr int kPl = KV_ERR_PRINT_LABEL_CLOSED, kPlW = KV_ERR_PRINT_LABEL_WRITE, kPlC = KV_ERR_PRINT_LABEL_CHECK;
constexpr int kPa = KV_ERR_PRINT_LABEL_AUTO_CLOSED, kPaW = KV_ERR_PRINT_LABEL_AUTO_WRITE,
              kPaC = KV_ERR_PRINT_LABEL_AUTO_CHECK;
constexpr int kLh = KV_ERR_SET_LABEL_HEIGHT_CLOSED, kLhW = KV_ERR_SET_LABEL_HEIGHT_WRITE,
              kLhC = KV_ERR_SET_LABEL_HEIGHT_CHECK;
constexpr int kCut = KV_ERR_CUT_CLOSED, kCutW = KV_ERR_CUT_WRITE;
constexpr int kTx = KV_ERR_DRAW_TEXT_CLOSED, kTxW = KV_ERR_DRAW_TEXT_WRITE, kTxC = KV_ERR_DRAW_TEXT_CHECK;
constexpr int kBc = KV_ERR_DRAW_BARCODE_CLOSED, kBcW = KV_ERR_DRAW_BARCODE_WRITE, kBcC = KV_ERR_DRAW_BARCODE_CHECK;
constexpr int kPdf = KV_ERR_PDF417_CHECK, kPdfW = KV_ERR_PDF417_WRITE;
constexpr int kCo = KV_ERR_DEFINE_COUNTER_CLOSED, kCoW = KV_ERR_DEFINE_COUNTER_WRITE,
              kCoC = KV_ERR_DEFINE_COUNTER_CHECK;
constexpr int kVa = KV_ERR_DEFINE_VARIABLE_CLOSED, kVaW = KV_ERR_DEFINE_VARIABLE_WRITE,
              kVaC = KV_ERR_DEFINE_VARIABLE_CHECK;

constexpr int kGg = KV_ERR_PCX_PLACE_CLOSED, kGgW = KV_ERR_PCX_PLACE_WRITE, kGgC = KV_ERR_PCX_PLACE_CHECK;
constexpr int kGk = KV_ERR_PCX_DEL_CLOSED, kGkW = KV_ERR_PCX_DEL_WRITE, kGkC = KV_ERR_PCX_DEL_CHECK;
constexpr int kGm = KV_ERR_PCX_DOWNLOAD_CLOSED, kGmW = KV_ERR_PCX_DOWNLOAD_WRITE, kGmC = KV_ERR_PCX_DOWNLOAD_CHECK,
              kGmO = KV_ERR_PCX_DOWNLOAD_OPEN;
constexpr int kGw = KV_ERR_BIN_GRAPHICS_CLOSED, kGwW = KV_ERR_BIN_GRAPHICS_WRITE, kGwC = KV_ERR_BIN_GRAPHICS_CHECK;
const unsigned char kSixBytes[] = {0x00, 0xFF, '\r', '\n', 0x80, 'W'};

// Downloads `content` as the file "g.pcx" of the current directory under `name`.
int Download(const char* name, const std::string& content) {
  kvtest::WriteWhole("g.pcx", content);
  return KV_PcxGraphicsDownload(name, "g.pcx");
}

int Pdf417(int y_module, int o, const char* data) {
  return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 5, 0, 6, y_module, 8, 9, 1, o, data);
}

// clang-format off
const BuilderCase kCases[] = {
  {"Darkness", [] { return KV_SetDarkness(8); }, "H8\r\n", 0, KV_ERR_SET_DARKNESS_CLOSED, KV_ERR_SET_DARKNESS_WRITE},
  {"DarknessMinimum", [] { return KV_SetDarkness(INT_MIN); }, "H-2147483648\r\n", 0, KV_ERR_SET_DARKNESS_CLOSED,
   KV_ERR_SET_DARKNESS_WRITE},
  {"SoftFontList", [] { return KV_SoftFontList(); }, "EI\r\n", 0, KV_ERR_SOFT_FONT_LIST_CLOSED,
   KV_ERR_SOFT_FONT_LIST_WRITE},
  {"SoftFontDelA", [] { return KV_SoftFontDel('A'); }, "EK\"A\"\r\n", 0, kSd, kSdW},
  {"SoftFontDelZ", [] { return KV_SoftFontDel('Z'); }, "EK\"Z\"\r\n", 0, kSd, kSdW},
  {"SoftFontDelAll", [] { return KV_SoftFontDel('*'); }, "EK\"*\"\r\n", 0, kSd, kSdW},
  {"SoftFontDelLowByte", [] { return KV_SoftFontDel(0x100 + 'B'); }, "EK\"B\"\r\n", 0, kSd, kSdW},
  {"SoftFontDelBelowA", [] { return KV_SoftFontDel('@'); }, "", kSdC, kSd, kSdC},
  {"SoftFontDelAboveZ", [] { return KV_SoftFontDel('['); }, "", kSdC, kSd, kSdC},
  {"SoftFontDelLowerCase", [] { return KV_SoftFontDel('a'); }, "", kSdC, kSd, kSdC},
  {"SoftFontDelDigit", [] { return KV_SoftFontDel('7'); }, "", kSdC, kSd, kSdC},
  {"SoftFontDelHighByte", [] { return KV_SoftFontDel(0xC1); }, "", kSdC, kSd, kSdC},
  {"SoftFontDelZeroByte", [] { return KV_SoftFontDel(0); }, "", kSdC, kSd, kSdC},
  {"FormEnd", [] { return KV_FormEnd(); }, "FE\r\n", 0, KV_ERR_FORM_END_CLOSED, KV_ERR_FORM_END_WRITE},
  {"FormList", [] { return KV_FormList(); }, "FI\r\n", 0, KV_ERR_FORM_LIST_CLOSED, KV_ERR_FORM_LIST_WRITE},
  {"FormDel16", [] { return KV_FormDel(k16.c_str()); }, "FK\"" + k16 + "\"\r\n", 0, kFd, kFdW},
  {"FormDel17", [] { return KV_FormDel(k17.c_str()); }, "", kFdC, kFd, kFdC},
  {"FormDelEmpty", [] { return KV_FormDel(""); }, "", kFdC, kFd, kFdC},
  {"FormDelNull", [] { return KV_FormDel(nullptr); }, "", kFdC, kFd, kFdC},
  {"FormDelQuoteKept", [] { return KV_FormDel("a\"b,c"); }, "FK\"a\"b,c\"\r\n", 0, kFd, kFdW},
  {"ExecForm16", [] { return KV_ExecForm(k16.c_str()); }, "FR\"" + k16 + "\"\r\n", 0, KV_ERR_EXEC_FORM_CLOSED,
   KV_ERR_EXEC_FORM_WRITE},
  {"ExecForm17", [] { return KV_ExecForm(k17.c_str()); }, "", KV_ERR_EXEC_FORM_CHECK, KV_ERR_EXEC_FORM_CLOSED,
   KV_ERR_EXEC_FORM_CHECK},
  {"ExecFormNull", [] { return KV_ExecForm(nullptr); }, "", KV_ERR_EXEC_FORM_CHECK, KV_ERR_EXEC_FORM_CLOSED,
   KV_ERR_EXEC_FORM_CHECK},
  {"FormDownload1", [] { return KV_FormDownload("L"); }, "FS\"L\"\r\n", 0, KV_ERR_FORM_DOWNLOAD_CLOSED,
   KV_ERR_FORM_DOWNLOAD_WRITE},
  {"FormDownloadEmpty", [] { return KV_FormDownload(""); }, "", KV_ERR_FORM_DOWNLOAD_CHECK,
   KV_ERR_FORM_DOWNLOAD_CLOSED, KV_ERR_FORM_DOWNLOAD_CHECK},
  {"DisableBackFeed", [] { return KV_DisableBackFeed(); }, "JB\r\n", 0, KV_ERR_DISABLE_BACK_FEED_CLOSED,
   KV_ERR_DISABLE_BACK_FEED_WRITE},
  {"EnableBackFeed", [] { return KV_EnableBackFeed(3); }, "JF3\r\n", 0, KV_ERR_ENABLE_BACK_FEED_CLOSED,
   KV_ERR_ENABLE_BACK_FEED_WRITE},
  {"LineXor", [] { return KV_DrawLineXor(10, 20, 30, -40); }, "LE10,20,30,-40\r\n", 0, KV_ERR_DRAW_LINE_XOR_CLOSED,
   KV_ERR_DRAW_LINE_XOR_WRITE},
  {"LineOrIsTheSameLine", [] { return KV_DrawLineOr(10, 20, 30, -40); }, "LE10,20,30,-40\r\n", 0,
   KV_ERR_DRAW_LINE_OR_CLOSED, KV_ERR_DRAW_LINE_OR_WRITE},
  {"Diagonal", [] { return KV_DrawDiagonal(1, 2, 3, 4, 5); }, "LS1,2,3,4,5\r\n", 0, KV_ERR_DRAW_DIAGONAL_CLOSED,
   KV_ERR_DRAW_DIAGONAL_WRITE},
  {"WhiteLine", [] { return KV_DrawWhiteLine(0, 0, 812, 4); }, "LW0,0,812,4\r\n", 0, KV_ERR_DRAW_WHITE_LINE_CLOSED,
   KV_ERR_DRAW_WHITE_LINE_WRITE},
  {"PrinterState", [] { return KV_SetPrinterState('D'); }, "OD\r\n", 0, KV_ERR_SET_PRINTER_STATE_CLOSED,
   KV_ERR_SET_PRINTER_STATE_WRITE},
  {"PrinterStateZeroByteKeepsLineEnd", [] { return KV_SetPrinterState(0x200); }, S("O\0\r\n", 4), 0,
   KV_ERR_SET_PRINTER_STATE_CLOSED, KV_ERR_SET_PRINTER_STATE_WRITE},
  {"PrintLabel", [] { return KV_PrintLabel(1, 1); }, "W1,1\r\n", 0, kPl, kPlW},
  {"PrintLabelLargest", [] { return KV_PrintLabel(65535, 65535); }, "W65535,65535\r\n", 0, kPl, kPlW},
  {"PrintLabelZero", [] { return KV_PrintLabel(0, 1); }, "", kPlC, kPl, kPlC},
  {"PrintLabelTooMany", [] { return KV_PrintLabel(1, 65536); }, "", kPlC, kPl, kPlC},
  {"PrintLabelNegative", [] { return KV_PrintLabel(static_cast<unsigned>(-1), 1); }, "", kPlC, kPl, kPlC},
  {"PrintLabelAuto", [] { return KV_PrintLabelAuto(5, 7); }, "WA5,7\r\n", 0, kPa, kPaW},
  {"PrintLabelAutoSecondZeroBecomesOne", [] { return KV_PrintLabelAuto(5, 0); }, "WA5,1\r\n", 0, kPa, kPaW},
  {"PrintLabelAutoSecondTooManyBecomesOne", [] { return KV_PrintLabelAuto(65535, 65536); }, "WA65535,1\r\n", 0, kPa,
   kPaW},
  {"PrintLabelAutoFirstZero", [] { return KV_PrintLabelAuto(0, 3); }, "", kPaC, kPa, kPaC},
  {"PrintLabelAutoFirstTooMany", [] { return KV_PrintLabelAuto(65536, 3); }, "", kPaC, kPa, kPaC},
  {"LabelHeight", [] { return KV_SetLabelHeight(300, 16); }, "Q300,16\r\n", 0, kLh, kLhW},
  {"LabelHeightLargest", [] { return KV_SetLabelHeight(65535, 240); }, "Q65535,240\r\n", 0, kLh, kLhW},
  {"LabelHeightGapTooSmall", [] { return KV_SetLabelHeight(300, 15); }, "", kLhC, kLh, kLhC},
  {"LabelHeightGapTooLarge", [] { return KV_SetLabelHeight(300, 241); }, "", kLhC, kLh, kLhC},
  {"LabelHeightZero", [] { return KV_SetLabelHeight(0, 16); }, "", kLhC, kLh, kLhC},
  {"LabelHeightTooLarge", [] { return KV_SetLabelHeight(65536, 16); }, "", kLhC, kLh, kLhC},
  {"LabelWidth", [] { return KV_SetLabelWidth(812); }, "q812\r\n", 0, KV_ERR_SET_LABEL_WIDTH_CLOSED,
   KV_ERR_SET_LABEL_WIDTH_WRITE},
  {"Origin", [] { return KV_SetCoordinateOrigin(-8, 0); }, "R-8,0\r\n", 0, KV_ERR_SET_COORDINATE_ORIGIN_CLOSED,
   KV_ERR_SET_COORDINATE_ORIGIN_WRITE},
  {"Speed", [] { return KV_SetPrintSpeed(4); }, "S4\r\n", 0, KV_ERR_SET_PRINT_SPEED_CLOSED,
   KV_ERR_SET_PRINT_SPEED_WRITE},
  {"Configuration", [] { return KV_PrintConfigunation(); }, "U\r\n", 0, KV_ERR_PRINT_CONFIGUNATION_CLOSED,
   KV_ERR_PRINT_CONFIGUNATION_WRITE},
  {"ErrorReportOff", [] { return KV_DisableErrorReport(); }, "UN\r\n", 0, KV_ERR_DISABLE_ERROR_REPORT_CLOSED,
   KV_ERR_DISABLE_ERROR_REPORT_WRITE},
  {"ErrorReportOn", [] { return KV_EnableErrorReport(); }, "US\r\n", 0, KV_ERR_ENABLE_ERROR_REPORT_CLOSED,
   KV_ERR_ENABLE_ERROR_REPORT_WRITE},
  {"Rectangle", [] { return KV_DrawRectangle(10, 10, 4, 800, 400); }, "X10,10,4,800,400\r\n", 0,
   KV_ERR_DRAW_RECTANGLE_CLOSED, KV_ERR_DRAW_RECTANGLE_WRITE},
  {"Direction", [] { return KV_SetDirection('T'); }, "ZT\r\n", 0, KV_ERR_SET_DIRECTION_CLOSED,
   KV_ERR_SET_DIRECTION_WRITE},
  {"Direction256KeepsLineEnd", [] { return KV_SetDirection(256); }, S("Z\0\r\n", 4), 0, KV_ERR_SET_DIRECTION_CLOSED,
   KV_ERR_SET_DIRECTION_WRITE},
  {"FlashOn", [] { return KV_EnableFlASH(); }, "ZN\r\n", 0, KV_ERR_ENABLE_FLASH_CLOSED, KV_ERR_ENABLE_FLASH_WRITE},
  {"FlashOff", [] { return KV_DisableFLASH(); }, "ZS\r\n", 0, KV_ERR_DISABLE_FLASH_CLOSED, KV_ERR_DISABLE_FLASH_WRITE},
  {"Download", [] { return KV_Download(); }, "?\r\n", 0, KV_ERR_DOWNLOAD_CLOSED, KV_ERR_DOWNLOAD_WRITE},
  {"Reset", [] { return KV_Reset(); }, "^@\r\n", 0, KV_ERR_RESET_CLOSED, KV_ERR_RESET_WRITE},
  {"FeedBack", [] { return KV_FeedBack(); }, "^ee\r\n", 0, KV_ERR_FEED_BACK_CLOSED, KV_ERR_FEED_BACK_WRITE},
  {"Cut42", [] { return KV_CutPage(42); }, "#UM>CP 42\r\n", 0, kCut, kCutW},
  {"Cut1", [] { return KV_CutPage(1); }, "#UM>CP  1\r\n", 0, kCut, kCutW},
  {"Cut999", [] { return KV_CutPage(999); }, "#UM>CP999\r\n", 0, kCut, kCutW},
  {"Cut0BecomesOne", [] { return KV_CutPage(0); }, "#UM>CP  1\r\n", 0, kCut, kCutW},
  {"Cut1000BecomesOne", [] { return KV_CutPage(1000); }, "#UM>CP  1\r\n", 0, kCut, kCutW},
  {"CutNegativeBecomesOne", [] { return KV_CutPage(static_cast<unsigned>(-5)); }, "#UM>CP  1\r\n", 0, kCut, kCutW},
  {"CutTmp0BecomesOne", [] { return KV_CutPageTmp(0); }, "CT1\r\n", 0, kCut, kCutW},
  {"CutTmp999", [] { return KV_CutPageTmp(999); }, "CT999\r\n", 0, kCut, kCutW},
  {"CutTmp1000BecomesOne", [] { return KV_CutPageTmp(1000); }, "CT1\r\n", 0, kCut, kCutW},

  {"PlaceGraphic", [] { return KV_DrawPcxGraphics(10, 20, "LOGO"); }, "GG10,20,\"LOGO\"\r\n", 0, kGg, kGgW},
  {"PlaceGraphic16", [] { return KV_DrawPcxGraphics(-1, 0, k16.c_str()); }, "GG-1,0,\"" + k16 + "\"\r\n", 0, kGg, kGgW},
  {"PlaceGraphic17", [] { return KV_DrawPcxGraphics(10, 20, k17.c_str()); }, "", kGgC, kGg, kGgC},
  {"PlaceGraphicEmpty", [] { return KV_DrawPcxGraphics(10, 20, ""); }, "", kGgC, kGg, kGgC},
  {"PlaceGraphicNull", [] { return KV_DrawPcxGraphics(10, 20, nullptr); }, "", kGgC, kGg, kGgC},
  {"ListGraphics", [] { return KV_PcxGraphicsList(); }, "GI\r\n", 0, KV_ERR_PCX_LIST_CLOSED, KV_ERR_PCX_LIST_WRITE},
  {"DeleteGraphic16", [] { return KV_PcxGraphicsDel(k16.c_str()); }, "GK\"" + k16 + "\"\r\n", 0, kGk, kGkW},
  {"DeleteGraphic17", [] { return KV_PcxGraphicsDel(k17.c_str()); }, "", kGkC, kGk, kGkC},
  {"DeleteGraphicEmpty", [] { return KV_PcxGraphicsDel(""); }, "", kGkC, kGk, kGkC},
  {"DeleteGraphicNull", [] { return KV_PcxGraphicsDel(nullptr); }, "", kGkC, kGk, kGkC},
  {"Download16", [] { return Download(k16.c_str(), "PCX\r\ndata"); }, "GM\"" + k16 + "\"9\r\nPCX\r\ndata", 0, kGm,
   kGmW},
  {"DownloadEmptyFile", [] { return Download("EMPTY", ""); }, "GM\"EMPTY\"0\r\n", 0, kGm, kGmW},
  {"DownloadName17", [] { return Download(k17.c_str(), "x"); }, "", kGmC, kGm, kGmC},
  {"DownloadNameEmpty", [] { return Download("", "x"); }, "", kGmC, kGm, kGmC},
  {"DownloadNameNull", [] { return Download(nullptr, "x"); }, "", kGmC, kGm, kGmC},
  {"DownloadMissingFile", [] { return KV_PcxGraphicsDownload("LOGO", "missing.pcx"); }, "", kGmO, kGm, kGmO},
  {"DownloadNullPath", [] { return KV_PcxGraphicsDownload("LOGO", nullptr); }, "", kGmO, kGm, kGmO},
  {"Bitmap", [] { return KV_DrawBinGraphics(0, 0, 2, 3, kSixBytes); }, "GW0,0,2,3" + S("\0\xFF\r\n\x80W", 6), 0, kGw,
   KV_ERR_BIN_GRAPHICS_DATA_WRITE},
  {"BitmapNoRows", [] { return KV_DrawBinGraphics(5, 6, 2, 0, kSixBytes); }, "GW5,6,2,0", 0, kGw, kGwW},
  {"BitmapNegativeRows", [] { return KV_DrawBinGraphics(0, 0, 2, -3, kSixBytes); }, "", kGwC, kGw, kGwC},
  {"BitmapNegativeRowBytes", [] { return KV_DrawBinGraphics(0, 0, -2, 3, kSixBytes); }, "", kGwC, kGw, kGwC},
  {"BitmapSizeOverflows", [] { return KV_DrawBinGraphics(0, 0, 65536, 65536, kSixBytes); }, "", kGwC, kGw, kGwC},
  {"BitmapNoData", [] { return KV_DrawBinGraphics(0, 0, 2, 3, nullptr); }, "", kGwC, kGw, kGwC},

  {"Info", [] { return KV_GetInfo(); },
   "KIRV ELECTRONIC CO.LTD\r\nCopyright (C) KIRV ELECTRONIC CO.LTD, label command library 2.0.0.1\r\n"
   "VOXNERTDLL,\r\nAll rights reserved.\r\n", 0, KV_ERR_GET_INFO_CLOSED, KV_ERR_GET_INFO_WRITE},
  {"TextNumberedFont", [] { return KV_DrawText(10, 20, 0, 3, 1, 1, 'N', "ABC"); }, "T10,20,0,3,1,1,N,\"ABC\"\r\n", 0,
   kTx, kTxW},
  {"TextSoftFont", [] { return KV_DrawText(10, 20, 1, 'A', 2, 2, 'R', "ABC"); }, "T10,20,1,A,2,2,R,\"ABC\"\r\n", 0,
   kTx, kTxW},
  {"TextFontZ", [] { return KV_DrawText(0, 0, 3, 'Z', 24, 24, 'N', "x"); }, "T0,0,3,Z,24,24,N,\"x\"\r\n", 0, kTx, kTxW},
  {"TextFontLowerA", [] { return KV_DrawText(0, 0, 0, 97, 1, 1, 'N', "x"); }, "T0,0,0,a,1,1,N,\"x\"\r\n", 0, kTx, kTxW},
  {"TextFontFromLowByte", [] { return KV_DrawText(0, 0, 0, 0x100 + 5, 1, 1, 'N', "x"); }, "T0,0,0,5,1,1,N,\"x\"\r\n",
   0, kTx, kTxW},
  {"TextEmptyData", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', ""); }, "T1,2,0,1,1,1,N,\"\"\r\n", 0, kTx, kTxW},
  {"TextDataUnescaped", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', "a\"b,c"); }, "T1,2,0,1,1,1,N,\"a\"b,c\"\r\n",
   0, kTx, kTxW},
  {"TextData95", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', k95.c_str()); }, "T1,2,0,1,1,1,N,\"" + k95 + "\"\r\n",
   0, kTx, kTxW},
  {"TextData96", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', k96.c_str()); }, "", kTxC, kTx, kTxC},
  {"TextDataNull", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', nullptr); }, "", kTxC, kTx, kTxC},
  {"TextFont6", [] { return KV_DrawText(1, 2, 0, 6, 1, 1, 'N', "x"); }, "", kTxC, kTx, kTxC},
  {"TextFont0", [] { return KV_DrawText(1, 2, 0, 0, 1, 1, 'N', "x"); }, "", kTxC, kTx, kTxC},
  {"TextFontLowerB", [] { return KV_DrawText(1, 2, 0, 98, 1, 1, 'N', "x"); }, "", kTxC, kTx, kTxC},
  {"TextFontBracket", [] { return KV_DrawText(1, 2, 0, 91, 1, 1, 'N', "x"); }, "", kTxC, kTx, kTxC},
  {"TextFactor0", [] { return KV_DrawText(1, 2, 0, 1, 0, 1, 'N', "x"); }, "", kTxC, kTx, kTxC},
  {"TextFactor25", [] { return KV_DrawText(1, 2, 0, 1, 1, 25, 'N', "x"); }, "", kTxC, kTx, kTxC},
  {"TextRotation4", [] { return KV_DrawText(1, 2, 4, 1, 1, 1, 'N', "x"); }, "", kTxC, kTx, kTxC},
  {"TextRotationNegative", [] { return KV_DrawText(1, 2, -1, 1, 1, 1, 'N', "x"); }, "", kTxC, kTx, kTxC},
  {"TextFlagLowerN", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'n', "x"); }, "", kTxC, kTx, kTxC},
  {"Barcode", [] { return KV_DrawBarcode(10, 20, 0, "3", 2, 4, 50, 'B', "12345"); },
   "B10,20,0,3,2,4,50,B,\"12345\"\r\n", 0, kBc, kBcW},
  {"BarcodeEmptySelection", [] { return KV_DrawBarcode(10, 20, 3, "", 2, 4, 50, 'N', "1"); },
   "B10,20,3,,2,4,50,N,\"1\"\r\n", 0, kBc, kBcW},
  {"BarcodeLongestSelection", [] { return BarcodeWith(kLongestSelection); },
   "B10,20,0," + std::string(kLongestSelection, 's') + ",2,4,50,B,\"12345\"\r\n", 0, kBc, kBcW},
  {"BarcodeSelectionTooLong", [] { return BarcodeWith(kLongestSelection + 1); }, "", kBcC, kBc, kBcC},
  {"BarcodeSelectionNull", [] { return KV_DrawBarcode(10, 20, 0, nullptr, 2, 4, 50, 'B', "1"); }, "", kBcC, kBc, kBcC},
  {"BarcodeData95", [] { return KV_DrawBarcode(0, 0, 0, "3", 2, 4, 50, 'B', k95.c_str()); },
   "B0,0,0,3,2,4,50,B,\"" + k95 + "\"\r\n", 0, kBc, kBcW},
  {"BarcodeData96", [] { return KV_DrawBarcode(0, 0, 0, "3", 2, 4, 50, 'B', k96.c_str()); }, "", kBcC, kBc, kBcC},
  {"BarcodeRotation4", [] { return KV_DrawBarcode(0, 0, 4, "3", 2, 4, 50, 'B', "1"); }, "", kBcC, kBc, kBcC},
  {"BarcodeFlagR", [] { return KV_DrawBarcode(0, 0, 0, "3", 2, 4, 50, 'R', "1"); }, "", kBcC, kBc, kBcC},
  {"Pdf417", [] { return Pdf417(10, 2, "XYZ"); }, "b1,2,P,3,4,s5,c0,x6,y10,r8,l9,t1,o2,\"XYZ\"\r\n", 0, kPdf, kPdfW},
  {"Pdf417Y4O3", [] { return Pdf417(4, 3, "1"); }, "b1,2,P,3,4,s5,c0,x6,y4,r8,l9,t1,o3,\"1\"\r\n", 0, kPdf, kPdfW},
  {"Pdf417Y99", [] { return Pdf417(99, 0, "1"); }, "b1,2,P,3,4,s5,c0,x6,y99,r8,l9,t1,o0,\"1\"\r\n", 0, kPdf, kPdfW},
  {"Pdf417Y3", [] { return Pdf417(3, 0, "1"); }, "", kPdf, kPdf, kPdf},
  {"Pdf417Y100", [] { return Pdf417(100, 0, "1"); }, "", kPdf, kPdf, kPdf},
  {"Pdf417O4", [] { return Pdf417(10, 4, "1"); }, "", kPdf, kPdf, kPdf},
  {"Pdf417S9", [] { return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 9, 0, 6, 10, 8, 9, 1, 2, "1"); }, "", kPdf, kPdf, kPdf},
  {"Pdf417C2", [] { return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 5, 2, 6, 10, 8, 9, 1, 2, "1"); }, "", kPdf, kPdf, kPdf},
  {"Pdf417X9", [] { return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 5, 0, 9, 10, 8, 9, 1, 2, "1"); }, "", kPdf, kPdf, kPdf},
  {"Pdf417T2", [] { return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 5, 0, 6, 10, 8, 9, 2, 2, "1"); }, "", kPdf, kPdf, kPdf},
  {"Pdf417Data2710", [] { return Pdf417(10, 2, k2710.c_str()); },
   "b1,2,P,3,4,s5,c0,x6,y10,r8,l9,t1,o2,\"" + k2710 + "\"\r\n", 0, kPdf, kPdfW},
  {"Pdf417Data2711", [] { return Pdf417(10, 2, k2711.c_str()); }, "", kPdf, kPdf, kPdf},
  {"Pdf417DataNull", [] { return Pdf417(10, 2, nullptr); }, "", kPdf, kPdf, kPdf},
  {"Counter", [] { return KV_DefineCounter(0, 5, 'R', "+1", "Count"); }, "C0,5,R,+1\r\n,\"Count\"\r\n\r\n", 0, kCo,
   kCoW},
  {"CounterEdges", [] { return KV_DefineCounter(9, 40, 'N', k97.c_str(), k95.c_str()); },
   "C9,40,N," + k97 + "\r\n,\"" + k95 + "\"\r\n\r\n", 0, kCo, kCoW},
  {"CounterNumber10", [] { return KV_DefineCounter(10, 5, 'R', "+1", "Count"); }, "", kCoC, kCo, kCoC},
  {"CounterDigits41", [] { return KV_DefineCounter(0, 41, 'R', "+1", "Count"); }, "", kCoC, kCo, kCoC},
  {"CounterDigits0", [] { return KV_DefineCounter(0, 0, 'R', "+1", "Count"); }, "", kCoC, kCo, kCoC},
  {"CounterJustifyX", [] { return KV_DefineCounter(0, 5, 'X', "+1", "Count"); }, "", kCoC, kCo, kCoC},
  {"CounterStep98", [] { return KV_DefineCounter(0, 5, 'L', k98.c_str(), "Count"); }, "", kCoC, kCo, kCoC},
  {"CounterPrompt96", [] { return KV_DefineCounter(0, 5, 'L', "+1", k96.c_str()); }, "", kCoC, kCo, kCoC},
  {"CounterStepNull", [] { return KV_DefineCounter(0, 5, 'L', nullptr, "Count"); }, "", kCoC, kCo, kCoC},
  {"Variable", [] { return KV_DefineVariable(0, 5, 'L', "Name"); }, "V0,5,L\r\n\"Name\"\r\n", 0, kVa, kVaW},
  {"VariableEdges", [] { return KV_DefineVariable(99, 99, 'C', k95.c_str()); }, "V99,99,C\r\n\"" + k95 + "\"\r\n", 0,
   kVa, kVaW},
  {"VariableLength0", [] { return KV_DefineVariable(0, 0, 'L', "Name"); }, "", kVaC, kVa, kVaC},
  {"VariableLength100", [] { return KV_DefineVariable(0, 100, 'L', "Name"); }, "", kVaC, kVa, kVaC},
  {"VariableNumber100", [] { return KV_DefineVariable(100, 5, 'L', "Name"); }, "", kVaC, kVa, kVaC},
  {"VariableNumberNegative", [] { return KV_DefineVariable(static_cast<unsigned>(-1), 5, 'L', "Name"); }, "", kVaC,
   kVa, kVaC},
  {"VariablePrompt96", [] { return KV_DefineVariable(0, 5, 'R', k96.c_str()); }, "", kVaC, kVa, kVaC},
  {"VariablePromptNull", [] { return KV_DefineVariable(0, 5, 'R', nullptr); }, "", kVaC, kVa, kVaC},
};
// clang-format on

// A stopped printer takes the deliveries that KV_PrintLabel and the write-code checks make, and keeps
// them from the capture printer.
constexpr const char kHoldingPrinter[] = "KIRV R5 Stopped";

class BuilderTest : public kvtest::LibraryTest, public ::testing::WithParamInterface<BuilderCase> {};

TEST_P(BuilderTest, ComposesItsLineOrRefuses) {
  const BuilderCase& c = GetParam();
  ASSERT_EQ(OpenPort(kHoldingPrinter), KV_OK);
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  SetErrState(-77);
  EXPECT_EQ(c.call(), c.result);
  EXPECT_EQ(SpoolBytes(), c.bytes);
  EXPECT_EQ(GetErrState(), c.result != 0 ? c.result : -77) << "a check code is stored; success stores nothing";
}

TEST_P(BuilderTest, ClosedConnectionGivesItsCodeAndStoresNothing) {
  const BuilderCase& c = GetParam();
  SetErrState(-77);
  EXPECT_EQ(c.call(), c.closed);
  EXPECT_EQ(GetErrState(), -77);
  // A printer opened alone has no command buffer to compose in: the same answer.
  ASSERT_NE(KV_OpenPrinter(kHoldingPrinter), nullptr);
  EXPECT_EQ(c.call(), c.closed);
  EXPECT_EQ(GetErrState(), -77);
}

TEST_P(BuilderTest, WriteAfterDeliveryGivesItsWriteCode) {
  const BuilderCase& c = GetParam();
  ASSERT_EQ(OpenPort(kHoldingPrinter), KV_OK);
  ASSERT_EQ(KV_ClearBuffer(), KV_OK);
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  SetErrState(-77);
  EXPECT_EQ(c.call(), c.write);
  EXPECT_EQ(GetErrState(), c.write);
  EXPECT_EQ(SpoolBytes(), "N\r\n") << "the delivered job is left as it was";
}

// Every builder that appends: each of its calls to the platform layer fails in turn.
class BuilderSweepTest : public BuilderTest {};

std::vector<BuilderCase> AppendingCases() {
  std::vector<BuilderCase> appending;
  // A bitmap's data follows even a command line that failed, so its spool file is swept on its own
  // terms in sweep_test.cpp.
  for (const BuilderCase& c : kCases)
    if (c.result == 0 && c.closed != KV_ERR_BIN_GRAPHICS_CLOSED) appending.push_back(c);
  return appending;
}

TEST_P(BuilderSweepTest, FailureAtEverySiteIsReportedAndLeavesTheJobWhole) {
  const BuilderCase& c = GetParam();
  // A fresh printer for every run: Wine cannot abandon a document that a failed delivery left open.
  kvtest::Sweep sweep(
      c.name,
      [] {
        if (!kv::PortIsClosed()) ClosePort();
        ASSERT_EQ(OpenPort(kHoldingPrinter), KV_OK);
        ASSERT_EQ(KV_ClearBuffer(), KV_OK);
      },
      c.call);
  sweep.appended = {"KIRVtemp.prn"};
  // Its own write code; a download also reads its file; KV_PrintLabel also delivers.
  sweep.codes = {c.write,          KV_ERR_PCX_DOWNLOAD_OPEN, KV_ERR_TMP_READ, KV_ERR_JOB_MEMORY,
                 KV_ERR_START_DOC, KV_ERR_WRITE_DATA,        KV_ERR_END_DOC};
  sweep.closing_codes = {KV_ERR_JOB_MEMORY};
  kvtest::RunSweep(sweep);
}

INSTANTIATE_TEST_SUITE_P(Builders, BuilderTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<BuilderCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(Builders, BuilderSweepTest, ::testing::ValuesIn(AppendingCases()),
                         [](const ::testing::TestParamInfo<BuilderCase>& row) { return std::string(row.param.name); });

using PrintLabelTest = kvtest::LibraryTest;

// A bad count still delivers what the job holds; a failed delivery is the code returned, the bad count
// the one stored.
TEST_F(PrintLabelTest, BadCountStillDeliversAndAFailedDeliveryIsReportedFirst) {
  ASSERT_EQ(OpenPort(kHoldingPrinter), KV_OK);
  ASSERT_EQ(KV_ClearBuffer(), KV_OK);
  EXPECT_EQ(KV_PrintLabel(1, 65536), KV_ERR_PRINT_LABEL_CHECK);
  // Delivered: the spool file is closed, so the next append fails.
  EXPECT_EQ(KV_SetDarkness(5), KV_ERR_SET_DARKNESS_WRITE);
  EXPECT_EQ(SpoolBytes(), "N\r\n");
  ASSERT_EQ(KV_ClearBuffer(), KV_OK);
  ASSERT_EQ(KV_ClosePrinter(), 1);
  EXPECT_EQ(KV_PrintLabel(0, 1), KV_ERR_NO_PRINTER);
  EXPECT_EQ(GetErrState(), KV_ERR_PRINT_LABEL_CHECK);
}

}  // namespace
