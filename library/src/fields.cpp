// Commands that carry the caller's data: text, barcodes, PDF417, counters, variables, and the
// library's identification text.
#include <cstdint>
#include <cstring>

#include "compose.h"
#include "connection.h"
#include "kvtaglib.h"

namespace kv {

namespace {

// The working fields that hold a caller's text with its quotes and line end are 100 bytes: at most
// 95 characters quoted, 97 plain. Longer data is refused, never cut.
constexpr std::size_t kMaxQuoted = 95;
constexpr std::size_t kMaxPlain = 97;
constexpr std::size_t kMaxPdf417 = 2710;

bool FitsField(const char* text, std::size_t most) { return text != nullptr && strnlen(text, most + 1) <= most; }

bool InRange(std::int32_t v, std::int32_t lo, std::int32_t hi) { return v >= lo && v <= hi; }

char LowByte(std::int32_t v) { return static_cast<char>(v & 0xFF); }

bool IsOneOf(std::int32_t v, const char* chars) {
  const char c = LowByte(v);
  return c != '\0' && std::strchr(chars, c) != nullptr;
}

// The quoted data field: the data between double quotes, then the line end.
Line& Quoted(Line& line, const char* data) { return line.Quote().Text(data).Quote().End(); }

// A font of the text command: 1 to 5, a soft font A to Z, or a, by the argument's low byte.
bool IsFont(std::int32_t font) {
  const auto f = static_cast<signed char>(LowByte(font));
  return (f >= 1 && f <= 5) || (f >= 'A' && f <= 'Z') || f == 'a';
}

constexpr const char kJustify[] = "LCRN";

}  // namespace

}  // namespace kv

using namespace kv;

KV_API(int) KV_GetInfo(void) {
  if (CannotCompose()) return KV_ERR_GET_INFO_CLOSED;
  Line line = StartLine();
  line.Text("KIRV ELECTRONIC CO.LTD\r\n")
      .Text("Copyright (C) KIRV ELECTRONIC CO.LTD, label command library " KVTAGLIB_VERSION "\r\n")
      .Text("VOXNERTDLL,\r\n")
      .Text("All rights reserved.\r\n");
  return AppendLine(line, KV_ERR_GET_INFO_WRITE, KV_ERR_GET_INFO_WRITE);
}

KV_API(int)
KV_DrawText(int x, int y, int rotation, int font, int x_factor, int y_factor, int reverse, const char* data) {
  if (CannotCompose()) return KV_ERR_DRAW_TEXT_CLOSED;
  Line line = StartLine();
  if (!InRange(rotation, 0, 3) || !IsFont(font) || !InRange(x_factor, 1, 24) || !InRange(y_factor, 1, 24) ||
      !IsOneOf(reverse, "NR") || !FitsField(data, kMaxQuoted))
    return SetErrState(KV_ERR_DRAW_TEXT_CHECK);
  line.Text("T").Int(x).Comma().Int(y).Comma().Int(rotation).Comma();
  const char f = LowByte(font);
  if (f < 'A')
    line.Int(f);  // a numbered font, as its number
  else
    line.Char(f);  // a soft font, as its letter
  line.Comma().Int(x_factor).Comma().Int(y_factor).Comma().Char(reverse).Comma();
  return AppendLine(Quoted(line, data), KV_ERR_DRAW_TEXT_CHECK, KV_ERR_DRAW_TEXT_WRITE);
}

KV_API(int)
KV_DrawBarcode(int x, int y, int rotation, const char* selection, int narrow, int wide, int height, int readable,
               const char* data) {
  if (CannotCompose()) return KV_ERR_DRAW_BARCODE_CLOSED;
  Line line = StartLine();
  if (!InRange(rotation, 0, 3) || !IsOneOf(readable, "NB") || selection == nullptr || !FitsField(data, kMaxQuoted))
    return SetErrState(KV_ERR_DRAW_BARCODE_CHECK);
  line.Text("B").Int(x).Comma().Int(y).Comma().Int(rotation).Comma().Text(selection).Comma();
  line.Int(narrow).Comma().Int(wide).Comma().Int(height).Comma().Char(readable).Comma();
  // A selection text too long for the command buffer spoils the line: refused with the check code.
  return AppendLine(Quoted(line, data), KV_ERR_DRAW_BARCODE_CHECK, KV_ERR_DRAW_BARCODE_WRITE);
}

KV_API(int)
KV_DrawBar2D_Pdf417(int x, int y, int width, int height, int s, int c, int x_module, int y_module, int r, int l, int t,
                    int o, const char* data) {
  // The symbol's command has no code of its own for a closed connection; without one there is no
  // command buffer to compose in, and the check code answers.
  if (CannotCompose()) return KV_ERR_PDF417_CHECK;
  Line line = StartLine();
  if (!InRange(c, 0, 1) || !InRange(o, 0, 3) || !InRange(x_module, 0, 8) || !InRange(y_module, 4, 99) ||
      !InRange(s, 0, 8) || !InRange(t, 0, 1) || !FitsField(data, kMaxPdf417))
    return SetErrState(KV_ERR_PDF417_CHECK);
  line.Text("b").Int(x).Comma().Int(y).Text(",P,").Int(width).Comma().Int(height);
  line.Text(",s").Int(s).Text(",c").Int(c).Text(",x").Int(x_module).Text(",y").Int(y_module);
  line.Text(",r").Int(r).Text(",l").Int(l).Text(",t").Int(t).Text(",o").Int(o).Comma();
  return AppendLine(Quoted(line, data), KV_ERR_PDF417_CHECK, KV_ERR_PDF417_WRITE);
}

KV_API(int) KV_DefineCounter(int number, int digits, int justify, const char* step, const char* prompt) {
  if (CannotCompose()) return KV_ERR_DEFINE_COUNTER_CLOSED;
  Line line = StartLine();
  if (!InRange(number, 0, 9) || !InRange(digits, 1, 40) || !IsOneOf(justify, kJustify) || !FitsField(step, kMaxPlain) ||
      !FitsField(prompt, kMaxQuoted))
    return SetErrState(KV_ERR_DEFINE_COUNTER_CHECK);
  line.Text("C").Int(number).Comma().Int(digits).Comma().Char(justify).Comma();
  line.Text(step).End().Comma();
  Quoted(line, prompt).End();
  return AppendLine(line, KV_ERR_DEFINE_COUNTER_CHECK, KV_ERR_DEFINE_COUNTER_WRITE);
}

KV_API(int) KV_DefineVariable(unsigned int number, unsigned int length, int justify, const char* prompt) {
  if (CannotCompose()) return KV_ERR_DEFINE_VARIABLE_CLOSED;
  Line line = StartLine();
  if (number > 99 || length < 1 || length > 99 || !IsOneOf(justify, kJustify) || !FitsField(prompt, kMaxQuoted))
    return SetErrState(KV_ERR_DEFINE_VARIABLE_CHECK);
  line.Text("V").Int(static_cast<std::int32_t>(number)).Comma().Int(static_cast<std::int32_t>(length));
  line.Comma().Char(justify).End();
  return AppendLine(Quoted(line, prompt), KV_ERR_DEFINE_VARIABLE_CHECK, KV_ERR_DEFINE_VARIABLE_WRITE);
}
