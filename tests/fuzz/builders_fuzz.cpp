// The label command builders: each input picks a builder and its arguments; the line appended is the one
// made here with printf, independently of the library's composer, or the call is refused and stores its code.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz_input.h"
#include "kvtaglib.h"

namespace {

using kvfuzz::Check;
using kvfuzz::Input;

// What a call should do: append `line`, or be refused with `code` (nullopt line).
struct Expected {
  std::optional<std::string> line;
  int code = 0;
};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return std::string(buf, n < 0 ? 0 : static_cast<std::size_t>(n));
}

char Low(int v) { return static_cast<char>(v & 0xFF); }
bool In(std::int64_t v, std::int64_t lo, std::int64_t hi) { return v >= lo && v <= hi; }
bool OneOf(int v, const char* set) {
  const char c = Low(v);
  for (; *set != '\0'; ++set)
    if (c == *set) return true;
  return false;
}
std::string Quoted(const std::string& data) { return "\"" + data + "\"\r\n"; }
// A character argument whose low byte is never zero: a zero ends the line's text where it stands.
int CharArg(Input& in) { return (in.Int() & ~0xFF) | (in.Byte() | 1); }

Expected Line(std::string line) { return Expected{std::move(line), 0}; }
Expected Refused(int code) { return Expected{std::nullopt, code}; }

// Calls one builder chosen by the input and says what it should have done.
Expected Run(Input& in, int* rc) {
  const int builder = in.Byte() % 22;
  switch (builder) {
    case 0:
    case 3:
    case 10:
    case 12: {  // a number, written as given
      const int v = in.Int();
      *rc = builder == 0    ? KV_SetDarkness(v)
            : builder == 3  ? KV_EnableBackFeed(v)
            : builder == 10 ? KV_SetLabelWidth(v)
                            : KV_SetPrintSpeed(v);
      return Line(Format("%s%d\r\n", builder == 0 ? "H" : builder == 3 ? "JF" : builder == 10 ? "q" : "S", v));
    }
    case 1: {
      const int c = CharArg(in);
      *rc = KV_SoftFontDel(c);
      return (Low(c) >= 'A' && Low(c) <= 'Z') || Low(c) == '*' ? Line(Format("EK\"%c\"\r\n", Low(c)))
                                                               : Refused(KV_ERR_SOFT_FONT_DEL_CHECK);
    }
    case 2: {
      const std::string name = in.Text(20);
      const int which = in.Byte() % 3;
      const char* word = which == 0 ? "FK" : which == 1 ? "FR" : "FS";
      const int check = which == 0   ? KV_ERR_FORM_DEL_CHECK
                        : which == 1 ? KV_ERR_EXEC_FORM_CHECK
                                     : KV_ERR_FORM_DOWNLOAD_CHECK;
      *rc = which == 0   ? KV_FormDel(name.c_str())
            : which == 1 ? KV_ExecForm(name.c_str())
                         : KV_FormDownload(name.c_str());
      return In(static_cast<std::int64_t>(name.size()), 1, 16) ? Line(std::string(word) + "\"" + name + "\"\r\n")
                                                               : Refused(check);
    }
    case 4:
    case 6: {  // four numbers, written as given
      const int a = in.Int(), b = in.Int(), c = in.Int(), d = in.Int();
      *rc = builder == 6    ? KV_DrawWhiteLine(a, b, c, d)
            : in.Byte() % 2 ? KV_DrawLineXor(a, b, c, d)
                            : KV_DrawLineOr(a, b, c, d);
      return Line(Format("%s%d,%d,%d,%d\r\n", builder == 6 ? "LW" : "LE", a, b, c, d));
    }
    case 5:
    case 13: {  // five numbers, written as given
      const int a = in.Int(), b = in.Int(), c = in.Int(), d = in.Int(), e = in.Int();
      *rc = builder == 5 ? KV_DrawDiagonal(a, b, c, d, e) : KV_DrawRectangle(a, b, c, d, e);
      return Line(Format("%s%d,%d,%d,%d,%d\r\n", builder == 5 ? "LS" : "X", a, b, c, d, e));
    }
    case 7:
    case 14: {  // a character: its low byte
      const int c = CharArg(in);
      *rc = builder == 7 ? KV_SetPrinterState(c) : KV_SetDirection(c);
      return Line(Format("%c%c\r\n", builder == 7 ? 'O' : 'Z', Low(c)));
    }
    case 8: {
      const unsigned a = static_cast<unsigned>(in.IntNear(0, 70000)), b = static_cast<unsigned>(in.IntNear(0, 70000));
      *rc = KV_PrintLabelAuto(a, b);
      return In(a, 1, 65535) ? Line(Format("WA%u,%u\r\n", a, In(b, 1, 65535) ? b : 1u))
                             : Refused(KV_ERR_PRINT_LABEL_AUTO_CHECK);
    }
    case 9: {
      const unsigned h = static_cast<unsigned>(in.IntNear(0, 70000)), g = static_cast<unsigned>(in.IntNear(0, 300));
      *rc = KV_SetLabelHeight(h, g);
      return In(h, 1, 65535) && In(g, 16, 240) ? Line(Format("Q%u,%u\r\n", h, g))
                                               : Refused(KV_ERR_SET_LABEL_HEIGHT_CHECK);
    }
    case 11: {
      const int a = in.Int(), b = in.Int();
      *rc = KV_SetCoordinateOrigin(a, b);
      return Line(Format("R%d,%d\r\n", a, b));
    }
    case 15: {
      const unsigned c = static_cast<unsigned>(in.IntNear(0, 1100));
      const bool tmp = in.Byte() % 2 != 0;
      *rc = tmp ? KV_CutPageTmp(c) : KV_CutPage(c);
      const unsigned n = c == 0 || c > 999 ? 1u : c;
      return Line(tmp ? Format("CT%u\r\n", n) : Format("#UM>CP%3u\r\n", n));
    }
    case 16:
    case 17: {
      const int x = in.Int(), y = in.Int(), rotation = in.IntNear(-1, 4), font = in.IntNear(0, 100);
      const int xf = in.IntNear(0, 25), yf = in.IntNear(0, 25), flag = CharArg(in);
      const std::string data = in.Text(100);
      *rc = KV_DrawText(x, y, rotation, font, xf, yf, flag, data.c_str());
      const bool font_ok = In(font, 1, 5) || In(font, 'A', 'Z') || font == 'a';
      if (!In(rotation, 0, 3) || !font_ok || !In(xf, 1, 24) || !In(yf, 1, 24) || !OneOf(flag, "NR") || data.size() > 95)
        return Refused(KV_ERR_DRAW_TEXT_CHECK);
      const std::string f = font < 'A' ? std::to_string(font) : std::string(1, static_cast<char>(font));
      return Line(Format("T%d,%d,%d,", x, y, rotation) + f + Format(",%d,%d,%c,", xf, yf, Low(flag)) + Quoted(data));
    }
    case 18:
    case 19: {
      const int x = in.Int(), y = in.Int(), rotation = in.IntNear(-1, 4);
      const std::string selection = in.Text(200);
      const int narrow = in.Int(), wide = in.Int(), height = in.Int(), readable = CharArg(in);
      const std::string data = in.Text(100);
      *rc = KV_DrawBarcode(x, y, rotation, selection.c_str(), narrow, wide, height, readable, data.c_str());
      if (!In(rotation, 0, 3) || !OneOf(readable, "NB") || data.size() > 95) return Refused(KV_ERR_DRAW_BARCODE_CHECK);
      return Line(Format("B%d,%d,%d,", x, y, rotation) + selection +
                  Format(",%d,%d,%d,%c,", narrow, wide, height, Low(readable)) + Quoted(data));
    }
    default: {
      const unsigned number = static_cast<unsigned>(in.IntNear(-1, 101)),
                     length = static_cast<unsigned>(in.IntNear(-1, 101));
      const int code = CharArg(in);
      const std::string text = in.Text(100);
      *rc = KV_DefineVariable(number, length, code, text.c_str());
      if (number > 99 || !In(length, 1, 99) || !OneOf(code, "LCRN") || text.size() > 95)
        return Refused(KV_ERR_DEFINE_VARIABLE_CHECK);
      return Line(Format("V%u,%u,%c\r\n", number, length, Low(code)) + Quoted(text));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kvfuzz::StartJob();
  Input in(data, size);
  // A few calls in a row, each checked against what stood in the spool file before it.
  for (int calls = 0; calls < 4 && (calls == 0 || in.Byte() % 2 == 0); ++calls) {
    const std::string before = kvfuzz::SpoolBytes();
    const int stored_before = GetErrState();
    int rc = 1;
    const Expected expected = Run(in, &rc);
    const std::string after = kvfuzz::SpoolBytes();
    if (expected.line) {
      Check(rc == KV_OK, "a builder refused arguments that its checks accept");
      Check(after == before + *expected.line, "the appended bytes differ from the line's format");
      Check(GetErrState() == stored_before, "a successful builder stored a code");
    } else {
      Check(rc == expected.code, "a refused call returned another code than its check code");
      Check(after == before, "a refused call appended bytes");
      Check(GetErrState() == expected.code, "a refused call did not store its check code");
    }
  }
  return 0;
}
