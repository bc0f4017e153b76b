// Every label command builder: its exact bytes, each check at both edges, its closed code (nothing
// stored) and its write code (after a delivery, before the next job).
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
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
  int result;              // 0, or the check code it stores and returns
  int closed;              // its code when the connection is closed
  int write;               // its code when the spool file is not open
  std::string bytes = "";  // what the call appends; nothing when it refuses
};

void PrintTo(const BuilderCase& c, std::ostream* out) { *out << c.name; }

// The codes of builder B when it takes its arguments, and when its check (or its file) refuses them.
#define ACCEPTS(B)         0, KV_ERR_##B##_CLOSED, KV_ERR_##B##_WRITE
#define REFUSES_AS(B, WHY) KV_ERR_##B##_##WHY, KV_ERR_##B##_CLOSED, KV_ERR_##B##_##WHY
#define REFUSES(B)         REFUSES_AS(B, CHECK)
// KV_DrawBar2D_Pdf417 answers a closed connection with its check code.
constexpr int kPdf = KV_ERR_PDF417_CHECK, kPdfW = KV_ERR_PDF417_WRITE;

std::string S(const char* text, std::size_t n) { return std::string(text, n); }

const std::string k16(16, 'f'), k17(17, 'f');
const std::string k95(95, 'd'), k96(96, 'd'), k97(97, 'p'), k98(98, 'p');
const std::string k2710(2710, 'z'), k2711(2711, 'z');

// The longest barcode selection whose line of BarcodeWith() and its zero fit the 10240-byte command buffer.
const std::size_t kLongestSelection = 10239 - std::string("B10,20,0,,2,4,50,B,\"12345\"\r\n").size();
int BarcodeWith(std::size_t selection) {
  const std::string text(selection, 's');
  return KV_DrawBarcode(10, 20, 0, text.c_str(), 2, 4, 50, 'B', "12345");
}

const unsigned char kSixBytes[] = {0x00, 0xFF, '\r', '\n', 0x80, 'W'};

// Downloads `content` as the file "g.pcx" of the current directory under `name`.
int Download(const char* name, const std::string& content) {
  kvtest::WriteWhole("g.pcx", content);
  return KV_PcxGraphicsDownload(name, "g.pcx");
}

// Prints the file `path` (in this folder or "images"), made with `content`, as a graphic at 5,6.
int PrintPcx(const char* path, const char* content) {
  std::filesystem::create_directories("images");
  kvtest::WriteWhole(path, content);
  return KV_PrintPCX(5, 6, path);
}

// TrueType text 40 dots high; 2500 capital Ws make an image longer than a PCX header can hold.
const std::string kWs(2500, 'W');
int TrueType(const char* text, int orientation = 0, const char* face = "DejaVu Sans", const char* name = "TT") {
  return KV_DrawTextTrueTypeW(0, 0, 40, 0, face, orientation, 400, 0, 0, 0, name, text);
}

int Pdf417(int y_module, int o, const char* data) {
  return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 5, 0, 6, y_module, 8, 9, 1, o, data);
}

// clang-format off
const BuilderCase kCases[] = {
  {"Darkness", [] { return KV_SetDarkness(8); }, ACCEPTS(SET_DARKNESS), "H8\r\n"},
  {"DarknessMinimum", [] { return KV_SetDarkness(INT_MIN); }, ACCEPTS(SET_DARKNESS), "H-2147483648\r\n"},
  {"SoftFontList", [] { return KV_SoftFontList(); }, ACCEPTS(SOFT_FONT_LIST), "EI\r\n"},
  {"SoftFontDelA", [] { return KV_SoftFontDel('A'); }, ACCEPTS(SOFT_FONT_DEL), "EK\"A\"\r\n"},
  {"SoftFontDelZ", [] { return KV_SoftFontDel('Z'); }, ACCEPTS(SOFT_FONT_DEL), "EK\"Z\"\r\n"},
  {"SoftFontDelAll", [] { return KV_SoftFontDel('*'); }, ACCEPTS(SOFT_FONT_DEL), "EK\"*\"\r\n"},
  {"SoftFontDelLowByte", [] { return KV_SoftFontDel(0x100 + 'B'); }, ACCEPTS(SOFT_FONT_DEL), "EK\"B\"\r\n"},
  {"SoftFontDelBelowA", [] { return KV_SoftFontDel('@'); }, REFUSES(SOFT_FONT_DEL)},
  {"SoftFontDelAboveZ", [] { return KV_SoftFontDel('['); }, REFUSES(SOFT_FONT_DEL)},
  {"SoftFontDelHighByte", [] { return KV_SoftFontDel(0xC1); }, REFUSES(SOFT_FONT_DEL)},
  {"SoftFontDelZeroByte", [] { return KV_SoftFontDel(0); }, REFUSES(SOFT_FONT_DEL)},
  {"FormEnd", [] { return KV_FormEnd(); }, ACCEPTS(FORM_END), "FE\r\n"},
  {"FormList", [] { return KV_FormList(); }, ACCEPTS(FORM_LIST), "FI\r\n"},
  // A stored name at its edges and null; the other builders that take a name show that they check it too.
  {"FormDel16", [] { return KV_FormDel(k16.c_str()); }, ACCEPTS(FORM_DEL), "FK\"" + k16 + "\"\r\n"},
  {"FormDel17", [] { return KV_FormDel(k17.c_str()); }, REFUSES(FORM_DEL)},
  {"FormDelEmpty", [] { return KV_FormDel(""); }, REFUSES(FORM_DEL)},
  {"FormDelNull", [] { return KV_FormDel(nullptr); }, REFUSES(FORM_DEL)},
  {"FormDelQuoteKept", [] { return KV_FormDel("a\"b,c"); }, ACCEPTS(FORM_DEL), "FK\"a\"b,c\"\r\n"},
  {"ExecForm16", [] { return KV_ExecForm(k16.c_str()); }, ACCEPTS(EXEC_FORM), "FR\"" + k16 + "\"\r\n"},
  {"ExecForm17", [] { return KV_ExecForm(k17.c_str()); }, REFUSES(EXEC_FORM)},
  {"FormDownload1", [] { return KV_FormDownload("L"); }, ACCEPTS(FORM_DOWNLOAD), "FS\"L\"\r\n"},
  {"FormDownloadEmpty", [] { return KV_FormDownload(""); }, REFUSES(FORM_DOWNLOAD)},
  {"DisableBackFeed", [] { return KV_DisableBackFeed(); }, ACCEPTS(DISABLE_BACK_FEED), "JB\r\n"},
  {"EnableBackFeed", [] { return KV_EnableBackFeed(3); }, ACCEPTS(ENABLE_BACK_FEED), "JF3\r\n"},
  {"LineXor", [] { return KV_DrawLineXor(10, 20, 30, -40); }, ACCEPTS(DRAW_LINE_XOR), "LE10,20,30,-40\r\n"},
  {"LineOrIsTheSameLine", [] { return KV_DrawLineOr(10, 20, 30, -40); }, ACCEPTS(DRAW_LINE_OR), "LE10,20,30,-40\r\n"},
  {"Diagonal", [] { return KV_DrawDiagonal(1, 2, 3, 4, 5); }, ACCEPTS(DRAW_DIAGONAL), "LS1,2,3,4,5\r\n"},
  {"WhiteLine", [] { return KV_DrawWhiteLine(0, 0, 812, 4); }, ACCEPTS(DRAW_WHITE_LINE), "LW0,0,812,4\r\n"},
  {"PrinterState", [] { return KV_SetPrinterState('D'); }, ACCEPTS(SET_PRINTER_STATE), "OD\r\n"},
  {"PrinterStateZeroByteKeepsLineEnd", [] { return KV_SetPrinterState(0x200); }, ACCEPTS(SET_PRINTER_STATE),
   S("O\0\r\n", 4)},
  {"PrintLabel", [] { return KV_PrintLabel(1, 1); }, ACCEPTS(PRINT_LABEL), "W1,1\r\n"},
  {"PrintLabelLargest", [] { return KV_PrintLabel(65535, 65535); }, ACCEPTS(PRINT_LABEL), "W65535,65535\r\n"},
  {"PrintLabelZero", [] { return KV_PrintLabel(0, 1); }, REFUSES(PRINT_LABEL)},
  {"PrintLabelTooMany", [] { return KV_PrintLabel(1, 65536); }, REFUSES(PRINT_LABEL)},
  {"PrintLabelAuto", [] { return KV_PrintLabelAuto(5, 7); }, ACCEPTS(PRINT_LABEL_AUTO), "WA5,7\r\n"},
  {"PrintLabelAutoSecondZeroBecomesOne", [] { return KV_PrintLabelAuto(5, 0); }, ACCEPTS(PRINT_LABEL_AUTO),
   "WA5,1\r\n"},
  {"PrintLabelAutoSecondTooManyBecomesOne", [] { return KV_PrintLabelAuto(65535, 65536); }, ACCEPTS(PRINT_LABEL_AUTO),
   "WA65535,1\r\n"},
  {"PrintLabelAutoFirstZero", [] { return KV_PrintLabelAuto(0, 3); }, REFUSES(PRINT_LABEL_AUTO)},
  {"PrintLabelAutoFirstTooMany", [] { return KV_PrintLabelAuto(65536, 3); }, REFUSES(PRINT_LABEL_AUTO)},
  {"LabelHeight", [] { return KV_SetLabelHeight(300, 16); }, ACCEPTS(SET_LABEL_HEIGHT), "Q300,16\r\n"},
  {"LabelHeightLargest", [] { return KV_SetLabelHeight(65535, 240); }, ACCEPTS(SET_LABEL_HEIGHT), "Q65535,240\r\n"},
  {"LabelHeightGapTooSmall", [] { return KV_SetLabelHeight(300, 15); }, REFUSES(SET_LABEL_HEIGHT)},
  {"LabelHeightGapTooLarge", [] { return KV_SetLabelHeight(300, 241); }, REFUSES(SET_LABEL_HEIGHT)},
  {"LabelHeightZero", [] { return KV_SetLabelHeight(0, 16); }, REFUSES(SET_LABEL_HEIGHT)},
  {"LabelHeightTooLarge", [] { return KV_SetLabelHeight(65536, 16); }, REFUSES(SET_LABEL_HEIGHT)},
  {"LabelWidth", [] { return KV_SetLabelWidth(812); }, ACCEPTS(SET_LABEL_WIDTH), "q812\r\n"},
  {"Origin", [] { return KV_SetCoordinateOrigin(-8, 0); }, ACCEPTS(SET_COORDINATE_ORIGIN), "R-8,0\r\n"},
  {"Speed", [] { return KV_SetPrintSpeed(4); }, ACCEPTS(SET_PRINT_SPEED), "S4\r\n"},
  {"Configuration", [] { return KV_PrintConfigunation(); }, ACCEPTS(PRINT_CONFIGUNATION), "U\r\n"},
  {"ErrorReportOff", [] { return KV_DisableErrorReport(); }, ACCEPTS(DISABLE_ERROR_REPORT), "UN\r\n"},
  {"ErrorReportOn", [] { return KV_EnableErrorReport(); }, ACCEPTS(ENABLE_ERROR_REPORT), "US\r\n"},
  {"Rectangle", [] { return KV_DrawRectangle(10, 10, 4, 800, 400); }, ACCEPTS(DRAW_RECTANGLE), "X10,10,4,800,400\r\n"},
  {"Direction", [] { return KV_SetDirection('T'); }, ACCEPTS(SET_DIRECTION), "ZT\r\n"},
  {"Direction256KeepsLineEnd", [] { return KV_SetDirection(256); }, ACCEPTS(SET_DIRECTION), S("Z\0\r\n", 4)},
  {"FlashOn", [] { return KV_EnableFlASH(); }, ACCEPTS(ENABLE_FLASH), "ZN\r\n"},
  {"FlashOff", [] { return KV_DisableFLASH(); }, ACCEPTS(DISABLE_FLASH), "ZS\r\n"},
  {"Download", [] { return KV_Download(); }, ACCEPTS(DOWNLOAD), "?\r\n"},
  {"Reset", [] { return KV_Reset(); }, ACCEPTS(RESET), "^@\r\n"},
  {"FeedBack", [] { return KV_FeedBack(); }, ACCEPTS(FEED_BACK), "^ee\r\n"},
  {"Cut42", [] { return KV_CutPage(42); }, ACCEPTS(CUT), "#UM>CP 42\r\n"},
  {"Cut1", [] { return KV_CutPage(1); }, ACCEPTS(CUT), "#UM>CP  1\r\n"},
  {"Cut999", [] { return KV_CutPage(999); }, ACCEPTS(CUT), "#UM>CP999\r\n"},
  {"Cut0BecomesOne", [] { return KV_CutPage(0); }, ACCEPTS(CUT), "#UM>CP  1\r\n"},
  {"Cut1000BecomesOne", [] { return KV_CutPage(1000); }, ACCEPTS(CUT), "#UM>CP  1\r\n"},
  {"CutTmp0BecomesOne", [] { return KV_CutPageTmp(0); }, ACCEPTS(CUT), "CT1\r\n"},
  {"CutTmp999", [] { return KV_CutPageTmp(999); }, ACCEPTS(CUT), "CT999\r\n"},
  {"CutTmp1000BecomesOne", [] { return KV_CutPageTmp(1000); }, ACCEPTS(CUT), "CT1\r\n"},

  {"PlaceGraphic16", [] { return KV_DrawPcxGraphics(-1, 0, k16.c_str()); }, ACCEPTS(PCX_PLACE),
   "GG-1,0,\"" + k16 + "\"\r\n"},
  {"PlaceGraphic17", [] { return KV_DrawPcxGraphics(10, 20, k17.c_str()); }, REFUSES(PCX_PLACE)},
  {"PlaceGraphicEmpty", [] { return KV_DrawPcxGraphics(10, 20, ""); }, REFUSES(PCX_PLACE)},
  {"ListGraphics", [] { return KV_PcxGraphicsList(); }, ACCEPTS(PCX_LIST), "GI\r\n"},
  {"DeleteGraphic16", [] { return KV_PcxGraphicsDel(k16.c_str()); }, ACCEPTS(PCX_DEL), "GK\"" + k16 + "\"\r\n"},
  {"DeleteGraphic17", [] { return KV_PcxGraphicsDel(k17.c_str()); }, REFUSES(PCX_DEL)},
  {"DeleteGraphicEmpty", [] { return KV_PcxGraphicsDel(""); }, REFUSES(PCX_DEL)},
  {"Download16", [] { return Download(k16.c_str(), "PCX\r\ndata"); }, ACCEPTS(PCX_DOWNLOAD),
   "GM\"" + k16 + "\"9\r\nPCX\r\ndata"},
  {"DownloadEmptyFile", [] { return Download("EMPTY", ""); }, ACCEPTS(PCX_DOWNLOAD), "GM\"EMPTY\"0\r\n"},
  {"DownloadName17", [] { return Download(k17.c_str(), "x"); }, REFUSES(PCX_DOWNLOAD)},
  {"DownloadNameEmpty", [] { return Download("", "x"); }, REFUSES(PCX_DOWNLOAD)},
  {"DownloadMissingFile", [] { return KV_PcxGraphicsDownload("LOGO", "missing.pcx"); }, REFUSES_AS(PCX_DOWNLOAD, OPEN)},
  {"DownloadNullPath", [] { return KV_PcxGraphicsDownload("LOGO", nullptr); }, REFUSES_AS(PCX_DOWNLOAD, OPEN)},
  {"Bitmap", [] { return KV_DrawBinGraphics(0, 0, 2, 3, kSixBytes); }, 0, KV_ERR_BIN_GRAPHICS_CLOSED,
   KV_ERR_BIN_GRAPHICS_DATA_WRITE, "GW0,0,2,3" + S("\0\xFF\r\n\x80W", 6)},
  {"BitmapNoRows", [] { return KV_DrawBinGraphics(5, 6, 2, 0, kSixBytes); }, ACCEPTS(BIN_GRAPHICS), "GW5,6,2,0"},
  {"BitmapNegativeRows", [] { return KV_DrawBinGraphics(0, 0, 2, -3, kSixBytes); }, REFUSES(BIN_GRAPHICS)},
  {"BitmapNegativeRowBytes", [] { return KV_DrawBinGraphics(0, 0, -2, 3, kSixBytes); }, REFUSES(BIN_GRAPHICS)},
  {"BitmapSizeOverflows", [] { return KV_DrawBinGraphics(0, 0, 65536, 65536, kSixBytes); }, REFUSES(BIN_GRAPHICS)},
  {"BitmapNoData", [] { return KV_DrawBinGraphics(0, 0, 2, 3, nullptr); }, REFUSES(BIN_GRAPHICS)},
  {"PrintPcxNamedByTheEndOfItsPath", [] { return PrintPcx("images/logo123.pcx", "P1"); }, 0, KV_ERR_PRINT_PCX_CLOSED,
   KV_ERR_PRINT_PCX_FAILED, "GK\"ges/logo123.pcx\"\r\nGM\"ges/logo123.pcx\"2\r\nP1GG5,6,\"ges/logo123.pcx\"\r\n"},
  {"PrintPcxPathOf15", [] { return PrintPcx("logo-000001.pcx", "P2"); }, 0, KV_ERR_PRINT_PCX_CLOSED,
   KV_ERR_PRINT_PCX_FAILED, "GK\"logo-000001.pcx\"\r\nGM\"logo-000001.pcx\"2\r\nP2GG5,6,\"logo-000001.pcx\"\r\n"},
  {"PrintPcxOfAMissingFileKeepsTheDeleteItAppended", [] { return KV_PrintPCX(1, 2, "C:\\labels\\logo.pcx"); },
   REFUSES_AS(PRINT_PCX, FAILED), "GK\"labels\\logo.pcx\"\r\n"},
  {"PrintPcxNoPath", [] { return KV_PrintPCX(5, 6, nullptr); }, REFUSES_AS(PRINT_PCX, FAILED)},
  {"TrueTypeEmptyText", [] { return TrueType(""); }, REFUSES(TRUETYPE)},
  {"TrueTypeNoText", [] { return TrueType(nullptr); }, REFUSES(TRUETYPE)},
  {"TrueTypeNoFace", [] { return TrueType("x", 0, nullptr); }, REFUSES(TRUETYPE)},
  {"TrueTypeGraphicName17", [] { return TrueType("x", 0, "DejaVu Sans", k17.c_str()); }, REFUSES(TRUETYPE)},
  {"TrueTypeTooLongUpright", [] { return TrueType(kWs.c_str(), 1); }, REFUSES(TRUETYPE)},
  {"TrueTypeTooLongTurned", [] { return TrueType(kWs.c_str(), 2); }, REFUSES(TRUETYPE)},

  {"Info", [] { return KV_GetInfo(); }, ACCEPTS(GET_INFO),
   "KIRV ELECTRONIC CO.LTD\r\nCopyright (C) KIRV ELECTRONIC CO.LTD, label command library 2.0.0.1\r\n"
   "VOXNERTDLL,\r\nAll rights reserved.\r\n"},
  {"TextSoftFont", [] { return KV_DrawText(10, 20, 1, 'A', 2, 2, 'R', "ABC"); }, ACCEPTS(DRAW_TEXT),
   "T10,20,1,A,2,2,R,\"ABC\"\r\n"},
  {"TextFontZ", [] { return KV_DrawText(0, 0, 3, 'Z', 24, 24, 'N', "x"); }, ACCEPTS(DRAW_TEXT),
   "T0,0,3,Z,24,24,N,\"x\"\r\n"},
  {"TextFontLowerA", [] { return KV_DrawText(0, 0, 0, 97, 1, 1, 'N', "x"); }, ACCEPTS(DRAW_TEXT),
   "T0,0,0,a,1,1,N,\"x\"\r\n"},
  {"TextFontFromLowByte", [] { return KV_DrawText(0, 0, 0, 0x100 + 5, 1, 1, 'N', "x"); }, ACCEPTS(DRAW_TEXT),
   "T0,0,0,5,1,1,N,\"x\"\r\n"},
  {"TextEmptyData", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', ""); }, ACCEPTS(DRAW_TEXT),
   "T1,2,0,1,1,1,N,\"\"\r\n"},
  {"TextDataUnescaped", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', "a\"b,c"); }, ACCEPTS(DRAW_TEXT),
   "T1,2,0,1,1,1,N,\"a\"b,c\"\r\n"},
  {"TextData95", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', k95.c_str()); }, ACCEPTS(DRAW_TEXT),
   "T1,2,0,1,1,1,N,\"" + k95 + "\"\r\n"},
  {"TextData96", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', k96.c_str()); }, REFUSES(DRAW_TEXT)},
  {"TextDataNull", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'N', nullptr); }, REFUSES(DRAW_TEXT)},
  {"TextFont6", [] { return KV_DrawText(1, 2, 0, 6, 1, 1, 'N', "x"); }, REFUSES(DRAW_TEXT)},
  {"TextFont0", [] { return KV_DrawText(1, 2, 0, 0, 1, 1, 'N', "x"); }, REFUSES(DRAW_TEXT)},
  {"TextFontLowerB", [] { return KV_DrawText(1, 2, 0, 98, 1, 1, 'N', "x"); }, REFUSES(DRAW_TEXT)},
  {"TextFontBracket", [] { return KV_DrawText(1, 2, 0, 91, 1, 1, 'N', "x"); }, REFUSES(DRAW_TEXT)},
  {"TextFactor0", [] { return KV_DrawText(1, 2, 0, 1, 0, 1, 'N', "x"); }, REFUSES(DRAW_TEXT)},
  {"TextFactor25", [] { return KV_DrawText(1, 2, 0, 1, 1, 25, 'N', "x"); }, REFUSES(DRAW_TEXT)},
  {"TextRotation4", [] { return KV_DrawText(1, 2, 4, 1, 1, 1, 'N', "x"); }, REFUSES(DRAW_TEXT)},
  {"TextRotationNegative", [] { return KV_DrawText(1, 2, -1, 1, 1, 1, 'N', "x"); }, REFUSES(DRAW_TEXT)},
  {"TextFlagLowerN", [] { return KV_DrawText(1, 2, 0, 1, 1, 1, 'n', "x"); }, REFUSES(DRAW_TEXT)},
  {"Barcode", [] { return KV_DrawBarcode(10, 20, 0, "3", 2, 4, 50, 'B', "12345"); }, ACCEPTS(DRAW_BARCODE),
   "B10,20,0,3,2,4,50,B,\"12345\"\r\n"},
  {"BarcodeEmptySelection", [] { return KV_DrawBarcode(10, 20, 3, "", 2, 4, 50, 'N', "1"); }, ACCEPTS(DRAW_BARCODE),
   "B10,20,3,,2,4,50,N,\"1\"\r\n"},
  {"BarcodeLongestSelection", [] { return BarcodeWith(kLongestSelection); }, ACCEPTS(DRAW_BARCODE),
   "B10,20,0," + std::string(kLongestSelection, 's') + ",2,4,50,B,\"12345\"\r\n"},
  {"BarcodeSelectionTooLong", [] { return BarcodeWith(kLongestSelection + 1); }, REFUSES(DRAW_BARCODE)},
  {"BarcodeSelectionNull", [] { return KV_DrawBarcode(10, 20, 0, nullptr, 2, 4, 50, 'B', "1"); }, REFUSES(DRAW_BARCODE),
   },
  {"BarcodeData95", [] { return KV_DrawBarcode(0, 0, 0, "3", 2, 4, 50, 'B', k95.c_str()); }, ACCEPTS(DRAW_BARCODE),
   "B0,0,0,3,2,4,50,B,\"" + k95 + "\"\r\n"},
  {"BarcodeData96", [] { return KV_DrawBarcode(0, 0, 0, "3", 2, 4, 50, 'B', k96.c_str()); }, REFUSES(DRAW_BARCODE)},
  {"BarcodeRotation4", [] { return KV_DrawBarcode(0, 0, 4, "3", 2, 4, 50, 'B', "1"); }, REFUSES(DRAW_BARCODE)},
  {"BarcodeFlagR", [] { return KV_DrawBarcode(0, 0, 0, "3", 2, 4, 50, 'R', "1"); }, REFUSES(DRAW_BARCODE)},
  {"Pdf417Y4O3", [] { return Pdf417(4, 3, "1"); }, 0, kPdf, kPdfW, "b1,2,P,3,4,s5,c0,x6,y4,r8,l9,t1,o3,\"1\"\r\n"},
  {"Pdf417Y99", [] { return Pdf417(99, 0, "1"); }, 0, kPdf, kPdfW, "b1,2,P,3,4,s5,c0,x6,y99,r8,l9,t1,o0,\"1\"\r\n"},
  {"Pdf417Y3", [] { return Pdf417(3, 0, "1"); }, kPdf, kPdf, kPdf},
  {"Pdf417Y100", [] { return Pdf417(100, 0, "1"); }, kPdf, kPdf, kPdf},
  {"Pdf417O4", [] { return Pdf417(10, 4, "1"); }, kPdf, kPdf, kPdf},
  {"Pdf417S9", [] { return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 9, 0, 6, 10, 8, 9, 1, 2, "1"); }, kPdf, kPdf, kPdf},
  {"Pdf417C2", [] { return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 5, 2, 6, 10, 8, 9, 1, 2, "1"); }, kPdf, kPdf, kPdf},
  {"Pdf417X9", [] { return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 5, 0, 9, 10, 8, 9, 1, 2, "1"); }, kPdf, kPdf, kPdf},
  {"Pdf417T2", [] { return KV_DrawBar2D_Pdf417(1, 2, 3, 4, 5, 0, 6, 10, 8, 9, 2, 2, "1"); }, kPdf, kPdf, kPdf},
  {"Pdf417Data2710", [] { return Pdf417(10, 2, k2710.c_str()); }, 0, kPdf, kPdfW,
   "b1,2,P,3,4,s5,c0,x6,y10,r8,l9,t1,o2,\"" + k2710 + "\"\r\n"},
  {"Pdf417Data2711", [] { return Pdf417(10, 2, k2711.c_str()); }, kPdf, kPdf, kPdf},
  {"Pdf417DataNull", [] { return Pdf417(10, 2, nullptr); }, kPdf, kPdf, kPdf},
  {"Counter", [] { return KV_DefineCounter(0, 5, 'R', "+1", "Count"); }, ACCEPTS(DEFINE_COUNTER),
   "C0,5,R,+1\r\n,\"Count\"\r\n\r\n"},
  {"CounterEdges", [] { return KV_DefineCounter(9, 40, 'N', k97.c_str(), k95.c_str()); }, ACCEPTS(DEFINE_COUNTER),
   "C9,40,N," + k97 + "\r\n,\"" + k95 + "\"\r\n\r\n"},
  {"CounterNumber10", [] { return KV_DefineCounter(10, 5, 'R', "+1", "Count"); }, REFUSES(DEFINE_COUNTER)},
  {"CounterDigits41", [] { return KV_DefineCounter(0, 41, 'R', "+1", "Count"); }, REFUSES(DEFINE_COUNTER)},
  {"CounterDigits0", [] { return KV_DefineCounter(0, 0, 'R', "+1", "Count"); }, REFUSES(DEFINE_COUNTER)},
  {"CounterJustifyX", [] { return KV_DefineCounter(0, 5, 'X', "+1", "Count"); }, REFUSES(DEFINE_COUNTER)},
  {"CounterStep98", [] { return KV_DefineCounter(0, 5, 'L', k98.c_str(), "Count"); }, REFUSES(DEFINE_COUNTER)},
  {"CounterPrompt96", [] { return KV_DefineCounter(0, 5, 'L', "+1", k96.c_str()); }, REFUSES(DEFINE_COUNTER)},
  {"Variable", [] { return KV_DefineVariable(0, 5, 'L', "Name"); }, ACCEPTS(DEFINE_VARIABLE), "V0,5,L\r\n\"Name\"\r\n"},
  {"VariableEdges", [] { return KV_DefineVariable(99, 99, 'C', k95.c_str()); }, ACCEPTS(DEFINE_VARIABLE),
   "V99,99,C\r\n\"" + k95 + "\"\r\n"},
  {"VariableLength0", [] { return KV_DefineVariable(0, 0, 'L', "Name"); }, REFUSES(DEFINE_VARIABLE)},
  {"VariableLength100", [] { return KV_DefineVariable(0, 100, 'L', "Name"); }, REFUSES(DEFINE_VARIABLE)},
  {"VariableNumber100", [] { return KV_DefineVariable(100, 5, 'L', "Name"); }, REFUSES(DEFINE_VARIABLE)},
  {"VariableNumberNegative", [] { return KV_DefineVariable(static_cast<unsigned>(-1), 5, 'L', "Name"); },
   REFUSES(DEFINE_VARIABLE)},
  {"VariablePrompt96", [] { return KV_DefineVariable(0, 5, 'R', k96.c_str()); }, REFUSES(DEFINE_VARIABLE)},
};
// clang-format on

// A stopped printer: the deliveries of KV_PrintLabel and the write-code checks never reach the capture printer.
constexpr const char kHoldingPrinter[] = "KIRV R5 Stopped";

class BuilderTest : public kvtest::LibraryTest, public ::testing::WithParamInterface<BuilderCase> {};

// Its line, or its check code returned and stored, on an open job; its write code after a delivery; its
// closed code, not stored, with the connection closed or a printer opened alone (no command buffer).
TEST_P(BuilderTest, ComposesItsLineOrRefusesAndAnswersEachState) {
  const BuilderCase& c = GetParam();
  ASSERT_EQ(OpenAndClearTmpFile(kHoldingPrinter), KV_OK);
  SetErrState(-77);
  EXPECT_EQ(c.call(), c.result);
  EXPECT_EQ(SpoolBytes(), c.bytes);
  EXPECT_EQ(GetErrState(), c.result != 0 ? c.result : -77) << "a check code is stored; success stores nothing";

  ASSERT_EQ(KV_ClearBuffer(), KV_OK);
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  SetErrState(-77);
  EXPECT_EQ(c.call(), c.write) << "after a delivery";
  EXPECT_EQ(GetErrState(), c.write);
  EXPECT_EQ(SpoolBytes(), "N\r\n") << "the delivered job is left as it was";

  ClosePort();
  SetErrState(-77);
  EXPECT_EQ(c.call(), c.closed) << "closed";
  ASSERT_NE(KV_OpenPrinter(kHoldingPrinter), nullptr);
  EXPECT_EQ(c.call(), c.closed) << "printer alone";
  EXPECT_EQ(GetErrState(), -77);
}

// Every builder that appends: each of its calls to the platform layer fails in turn.
class BuilderSweepTest : public BuilderTest {};

std::vector<BuilderCase> AppendingCases() {
  std::vector<BuilderCase> appending;
  // A bitmap's data follows even a failed line: sweep_test.cpp sweeps it on its own terms.
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
        ASSERT_EQ(OpenAndClearBuffer(kHoldingPrinter), KV_OK);
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
  ASSERT_EQ(OpenAndClearBuffer(kHoldingPrinter), KV_OK);
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
