// The label commands of fixed form: a command word alone, or followed by up to five numbers, one
// character or one quoted name. Each is a row of data; one routine composes them all.
#include <array>
#include <cstdint>
#include <cstring>

#include "compose.h"
#include "connection.h"
#include "kvtaglib.h"

namespace kv {

namespace {

// What follows the command word.
enum class Field : std::uint8_t {
  None,        // nothing
  Numbers,     // `count` numbers in signed decimal, separated by commas
  Number3,     // one number right-aligned in three characters
  Char,        // one byte, the low 8 bits of the argument
  QuotedChar,  // one byte between double quotes; only the bytes of `chars` are accepted
  QuotedName,  // a name of 1 to 16 characters between double quotes
};

// What becomes of one of the first two numbers when it lies outside its bounds (compared unsigned,
// so that a negative value is out of bounds too).
enum class Bad : std::uint8_t {
  Pass,    // no bounds
  Refuse,  // the check code is stored and returned, nothing is written
  UseOne,  // the number is replaced by 1
};

struct Bounds {
  std::uint32_t lo, hi;
  Bad bad;
};

struct FixedCommand {
  const char* word;
  Field field;
  int count;          // numbers of a Numbers field
  Bounds bounds[2];   // bounds of the first two numbers
  const char* chars;  // the bytes that a QuotedChar field accepts
  int closed;         // returned when the connection is closed
  int write;          // stored and returned when the spool-file write fails
  int check;          // stored and returned when an argument is refused; 0: nothing is checked
};

constexpr Bounds kAny = {0, 0, Bad::Pass};
constexpr Bounds kCount = {1, 65535, Bad::Refuse};
constexpr Bounds kCountOrOne = {1, 65535, Bad::UseOne};
constexpr Bounds kCutCount = {1, 999, Bad::UseOne};
constexpr Bounds kGap = {16, 240, Bad::Refuse};
constexpr const char kSoftFonts[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ*";

// clang-format off
constexpr FixedCommand
  kSetDarkness         {"H",      Field::Numbers,    1, {kAny, kAny},          nullptr,
                        KV_ERR_SET_DARKNESS_CLOSED, KV_ERR_SET_DARKNESS_WRITE, 0},
  kSoftFontList        {"EI",     Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_SOFT_FONT_LIST_CLOSED, KV_ERR_SOFT_FONT_LIST_WRITE, 0},
  kSoftFontDel         {"EK",     Field::QuotedChar, 1, {kAny, kAny},          kSoftFonts,
                        KV_ERR_SOFT_FONT_DEL_CLOSED, KV_ERR_SOFT_FONT_DEL_WRITE, KV_ERR_SOFT_FONT_DEL_CHECK},
  kFormEnd             {"FE",     Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_FORM_END_CLOSED, KV_ERR_FORM_END_WRITE, 0},
  kFormList            {"FI",     Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_FORM_LIST_CLOSED, KV_ERR_FORM_LIST_WRITE, 0},
  kFormDel             {"FK",     Field::QuotedName, 0, {kAny, kAny},          nullptr,
                        KV_ERR_FORM_DEL_CLOSED, KV_ERR_FORM_DEL_WRITE, KV_ERR_FORM_DEL_CHECK},
  kExecForm            {"FR",     Field::QuotedName, 0, {kAny, kAny},          nullptr,
                        KV_ERR_EXEC_FORM_CLOSED, KV_ERR_EXEC_FORM_WRITE, KV_ERR_EXEC_FORM_CHECK},
  kFormDownload        {"FS",     Field::QuotedName, 0, {kAny, kAny},          nullptr,
                        KV_ERR_FORM_DOWNLOAD_CLOSED, KV_ERR_FORM_DOWNLOAD_WRITE, KV_ERR_FORM_DOWNLOAD_CHECK},
  kDisableBackFeed     {"JB",     Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_DISABLE_BACK_FEED_CLOSED, KV_ERR_DISABLE_BACK_FEED_WRITE, 0},
  kEnableBackFeed      {"JF",     Field::Numbers,    1, {kAny, kAny},          nullptr,
                        KV_ERR_ENABLE_BACK_FEED_CLOSED, KV_ERR_ENABLE_BACK_FEED_WRITE, 0},
  kDrawLineXor         {"LE",     Field::Numbers,    4, {kAny, kAny},          nullptr,
                        KV_ERR_DRAW_LINE_XOR_CLOSED, KV_ERR_DRAW_LINE_XOR_WRITE, 0},
  kDrawLineOr          {"LE",     Field::Numbers,    4, {kAny, kAny},          nullptr,
                        KV_ERR_DRAW_LINE_OR_CLOSED, KV_ERR_DRAW_LINE_OR_WRITE, 0},
  kDrawDiagonal        {"LS",     Field::Numbers,    5, {kAny, kAny},          nullptr,
                        KV_ERR_DRAW_DIAGONAL_CLOSED, KV_ERR_DRAW_DIAGONAL_WRITE, 0},
  kDrawWhiteLine       {"LW",     Field::Numbers,    4, {kAny, kAny},          nullptr,
                        KV_ERR_DRAW_WHITE_LINE_CLOSED, KV_ERR_DRAW_WHITE_LINE_WRITE, 0},
  kSetPrinterState     {"O",      Field::Char,       1, {kAny, kAny},          nullptr,
                        KV_ERR_SET_PRINTER_STATE_CLOSED, KV_ERR_SET_PRINTER_STATE_WRITE, 0},
  kPrintLabel          {"W",      Field::Numbers,    2, {kCount, kCount},      nullptr,
                        KV_ERR_PRINT_LABEL_CLOSED, KV_ERR_PRINT_LABEL_WRITE, KV_ERR_PRINT_LABEL_CHECK},
  kPrintLabelAuto      {"WA",     Field::Numbers,    2, {kCount, kCountOrOne}, nullptr,
                        KV_ERR_PRINT_LABEL_AUTO_CLOSED, KV_ERR_PRINT_LABEL_AUTO_WRITE, KV_ERR_PRINT_LABEL_AUTO_CHECK},
  kSetLabelHeight      {"Q",      Field::Numbers,    2, {kCount, kGap},        nullptr,
                        KV_ERR_SET_LABEL_HEIGHT_CLOSED, KV_ERR_SET_LABEL_HEIGHT_WRITE, KV_ERR_SET_LABEL_HEIGHT_CHECK},
  kSetLabelWidth       {"q",      Field::Numbers,    1, {kAny, kAny},          nullptr,
                        KV_ERR_SET_LABEL_WIDTH_CLOSED, KV_ERR_SET_LABEL_WIDTH_WRITE, 0},
  kSetCoordinateOrigin {"R",      Field::Numbers,    2, {kAny, kAny},          nullptr,
                        KV_ERR_SET_COORDINATE_ORIGIN_CLOSED, KV_ERR_SET_COORDINATE_ORIGIN_WRITE, 0},
  kSetPrintSpeed       {"S",      Field::Numbers,    1, {kAny, kAny},          nullptr,
                        KV_ERR_SET_PRINT_SPEED_CLOSED, KV_ERR_SET_PRINT_SPEED_WRITE, 0},
  kPrintConfiguration  {"U",      Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_PRINT_CONFIGUNATION_CLOSED, KV_ERR_PRINT_CONFIGUNATION_WRITE, 0},
  kDisableErrorReport  {"UN",     Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_DISABLE_ERROR_REPORT_CLOSED, KV_ERR_DISABLE_ERROR_REPORT_WRITE, 0},
  kEnableErrorReport   {"US",     Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_ENABLE_ERROR_REPORT_CLOSED, KV_ERR_ENABLE_ERROR_REPORT_WRITE, 0},
  kDrawRectangle       {"X",      Field::Numbers,    5, {kAny, kAny},          nullptr,
                        KV_ERR_DRAW_RECTANGLE_CLOSED, KV_ERR_DRAW_RECTANGLE_WRITE, 0},
  kSetDirection        {"Z",      Field::Char,       1, {kAny, kAny},          nullptr,
                        KV_ERR_SET_DIRECTION_CLOSED, KV_ERR_SET_DIRECTION_WRITE, 0},
  kEnableFlash         {"ZN",     Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_ENABLE_FLASH_CLOSED, KV_ERR_ENABLE_FLASH_WRITE, 0},
  kDisableFlash        {"ZS",     Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_DISABLE_FLASH_CLOSED, KV_ERR_DISABLE_FLASH_WRITE, 0},
  kDownload            {"?",      Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_DOWNLOAD_CLOSED, KV_ERR_DOWNLOAD_WRITE, 0},
  kReset               {"^@",     Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_RESET_CLOSED, KV_ERR_RESET_WRITE, 0},
  kFeedBack            {"^ee",    Field::None,       0, {kAny, kAny},          nullptr,
                        KV_ERR_FEED_BACK_CLOSED, KV_ERR_FEED_BACK_WRITE, 0},
  kCutPage             {"#UM>CP", Field::Number3,    1, {kCutCount, kAny},     nullptr,
                        KV_ERR_CUT_CLOSED, KV_ERR_CUT_WRITE, 0},
  kCutPageTmp          {"CT",     Field::Numbers,    1, {kCutCount, kAny},     nullptr,
                        KV_ERR_CUT_CLOSED, KV_ERR_CUT_WRITE, 0};
// clang-format on

using Numbers = std::array<std::int32_t, 5>;

// The numbers of a call, as the 32-bit values the caller passed (unsigned ones reinterpreted).
template <typename... T>
Numbers Args(T... v) {
  return Numbers{static_cast<std::int32_t>(v)...};
}

bool AcceptsChar(const char* chars, std::int32_t value) {
  const char c = static_cast<char>(value & 0xFF);
  return c != '\0' && std::strchr(chars, c) != nullptr;
}

// Composes the command of row `c` from the numbers `v` (or the name) and appends it.
int Compose(const FixedCommand& c, Numbers v, const char* name = nullptr) {
  if (CannotCompose()) return c.closed;
  Line line = StartLine();
  for (int i = 0; i < 2; ++i) {
    const Bounds& b = c.bounds[i];
    const auto u = static_cast<std::uint32_t>(v[static_cast<std::size_t>(i)]);
    if (b.bad == Bad::Pass || (u >= b.lo && u <= b.hi)) continue;
    if (b.bad == Bad::Refuse) return SetErrState(c.check);
    v[static_cast<std::size_t>(i)] = 1;
  }
  line.Text(c.word);
  switch (c.field) {
    case Field::None:
      break;
    case Field::Numbers:
      for (int i = 0; i < c.count; ++i) {
        if (i > 0) line.Comma();
        line.Int(v[static_cast<std::size_t>(i)]);
      }
      break;
    case Field::Number3:
      line.Int(v[0], 3);
      break;
    case Field::Char:
      line.Char(v[0]);
      break;
    case Field::QuotedChar:
      if (!AcceptsChar(c.chars, v[0])) return SetErrState(c.check);
      line.Quote().Char(v[0]).Quote();
      break;
    case Field::QuotedName:
      if (!IsStoredName(name)) return SetErrState(c.check);
      line.Quote().Text(name).Quote();
      break;
  }
  line.End();
  // A line of fixed form always fits the command buffer: the write code stands in for an unlikely
  // overflow rather than a check code that the command does not have.
  return AppendLine(line, c.check != 0 ? c.check : c.write, c.write);
}

}  // namespace

}  // namespace kv

using kv::Args;
using kv::Compose;

KV_API(int) KV_SetDarkness(int darkness) { return Compose(kv::kSetDarkness, Args(darkness)); }
KV_API(int) KV_SoftFontList(void) { return Compose(kv::kSoftFontList, Args()); }
KV_API(int) KV_SoftFontDel(int font) { return Compose(kv::kSoftFontDel, Args(font)); }
KV_API(int) KV_FormEnd(void) { return Compose(kv::kFormEnd, Args()); }
KV_API(int) KV_FormList(void) { return Compose(kv::kFormList, Args()); }
KV_API(int) KV_FormDel(const char* name) { return Compose(kv::kFormDel, Args(), name); }
KV_API(int) KV_ExecForm(const char* name) { return Compose(kv::kExecForm, Args(), name); }
KV_API(int) KV_FormDownload(const char* name) { return Compose(kv::kFormDownload, Args(), name); }
KV_API(int) KV_DisableBackFeed(void) { return Compose(kv::kDisableBackFeed, Args()); }
KV_API(int) KV_EnableBackFeed(int value) { return Compose(kv::kEnableBackFeed, Args(value)); }
KV_API(int) KV_DrawLineXor(int x, int y, int w, int h) { return Compose(kv::kDrawLineXor, Args(x, y, w, h)); }
KV_API(int) KV_DrawLineOr(int x, int y, int w, int h) { return Compose(kv::kDrawLineOr, Args(x, y, w, h)); }
KV_API(int) KV_DrawDiagonal(int x1, int y1, int t, int x2, int y2) {
  return Compose(kv::kDrawDiagonal, Args(x1, y1, t, x2, y2));
}
KV_API(int) KV_DrawWhiteLine(int x, int y, int w, int h) { return Compose(kv::kDrawWhiteLine, Args(x, y, w, h)); }
KV_API(int) KV_SetPrinterState(int state) { return Compose(kv::kSetPrinterState, Args(state)); }
KV_API(int) KV_PrintLabelAuto(unsigned int sets, unsigned int copies) {
  return Compose(kv::kPrintLabelAuto, Args(sets, copies));
}
KV_API(int) KV_SetLabelHeight(unsigned int height, unsigned int gap) {
  return Compose(kv::kSetLabelHeight, Args(height, gap));
}
KV_API(int) KV_SetLabelWidth(int width) { return Compose(kv::kSetLabelWidth, Args(width)); }
KV_API(int) KV_SetCoordinateOrigin(int x, int y) { return Compose(kv::kSetCoordinateOrigin, Args(x, y)); }
KV_API(int) KV_SetPrintSpeed(int speed) { return Compose(kv::kSetPrintSpeed, Args(speed)); }
KV_API(int) KV_PrintConfigunation(void) { return Compose(kv::kPrintConfiguration, Args()); }
KV_API(int) KV_DisableErrorReport(void) { return Compose(kv::kDisableErrorReport, Args()); }
KV_API(int) KV_EnableErrorReport(void) { return Compose(kv::kEnableErrorReport, Args()); }
KV_API(int) KV_DrawRectangle(int x, int y, int t, int x2, int y2) {
  return Compose(kv::kDrawRectangle, Args(x, y, t, x2, y2));
}
KV_API(int) KV_SetDirection(int direction) { return Compose(kv::kSetDirection, Args(direction)); }
KV_API(int) KV_EnableFlASH(void) { return Compose(kv::kEnableFlash, Args()); }
KV_API(int) KV_DisableFLASH(void) { return Compose(kv::kDisableFlash, Args()); }
KV_API(int) KV_Download(void) { return Compose(kv::kDownload, Args()); }
KV_API(int) KV_Reset(void) { return Compose(kv::kReset, Args()); }
KV_API(int) KV_FeedBack(void) { return Compose(kv::kFeedBack, Args()); }
KV_API(int) KV_CutPage(unsigned int count) { return Compose(kv::kCutPage, Args(count)); }
KV_API(int) KV_CutPageTmp(unsigned int count) { return Compose(kv::kCutPageTmp, Args(count)); }

// Appends the print command and sends the job. The job goes out even when the print command was
// refused or could not be written; the caller then learns of the line's failure from the result
// (when the delivery itself succeeded) as well as from LastError.
KV_API(int) KV_PrintLabel(unsigned int sets, unsigned int copies) {
  if (kv::CannotCompose()) return KV_ERR_PRINT_LABEL_CLOSED;
  const int line = Compose(kv::kPrintLabel, Args(sets, copies));
  const int delivered = KV_WritePrinter();
  return delivered != KV_OK ? delivered : line;
}
