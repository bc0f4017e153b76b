#include "symbols.h"

#include <zint.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace kv::render {

namespace {

struct SymbolDeleter {
  void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};
using Symbol = std::unique_ptr<zint_symbol, SymbolDeleter>;

bool ModuleSet(const zint_symbol& s, int row, int col) {
  return ((s.encoded_data[row][col >> 3] >> (col & 7)) & 1) != 0;
}

bool AllDigits(std::string_view d) {
  return !d.empty() && std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// How a selection is encoded: zint's symbology and option, whether its bars have two widths, and a
// test of the data (an empty answer accepts it).
struct Kind {
  int symbology = 0;
  int option_2 = 0;
  int input_mode = DATA_MODE;
  bool two_widths = false;
  std::string refusal;
};

std::string LengthRefusal(std::string_view what, std::string_view lengths) {
  return std::string(what) + " takes " + std::string(lengths) + " digits";
}

// Picks the zint encoding for a selection and its data. zint has no fixed code set A or C for Code 128:
// those selections check that the data belongs to the code set, and zint's automatic choice draws it
// (all-digit data of even length in code set C, as the fixed set would).
Kind Choose(std::string_view sel, std::string_view data) {
  Kind k;
  const std::size_t n = data.size();
  if (sel == "1") {
    k.symbology = BARCODE_CODE128;
  } else if (sel == "1A") {
    k.symbology = BARCODE_CODE128;
    if (std::any_of(data.begin(), data.end(), [](char c) { return static_cast<unsigned char>(c) > 95; }))
      k.refusal = "code set A takes capitals, digits, signs and control characters only";
  } else if (sel == "1B") {
    k.symbology = BARCODE_CODE128B;
  } else if (sel == "1C") {
    k.symbology = BARCODE_CODE128;
    if (!AllDigits(data) || n % 2 != 0) k.refusal = "code set C takes an even number of digits";
  } else if (sel == "1E") {
    k.symbology = BARCODE_GS1_128;
    k.input_mode = GS1_MODE | (data.find('(') != std::string_view::npos ? GS1PARENS_MODE : 0);
  } else if (sel == "2" || sel == "2C") {
    k.symbology = BARCODE_C25INTER;
    k.option_2 = sel == "2C" ? 1 : 0;
    k.two_widths = true;
  } else if (sel == "3" || sel == "3C") {
    k.symbology = BARCODE_CODE39;
    k.option_2 = sel == "3C" ? 1 : 0;
    k.two_widths = true;
  } else if (sel == "9") {
    k.symbology = BARCODE_CODE93;
  } else if (sel == "E30") {
    k.symbology = n == 13 ? BARCODE_EANX_CHK : BARCODE_EANX;
    if (!AllDigits(data) || (n != 12 && n != 13)) k.refusal = LengthRefusal("EAN-13", "12 or 13");
  } else if (sel == "E80") {
    k.symbology = n == 8 ? BARCODE_EANX_CHK : BARCODE_EANX;
    if (!AllDigits(data) || (n != 7 && n != 8)) k.refusal = LengthRefusal("EAN-8", "7 or 8");
  } else if (sel == "UA0") {
    k.symbology = n == 12 ? BARCODE_UPCA_CHK : BARCODE_UPCA;
    if (!AllDigits(data) || (n != 11 && n != 12)) k.refusal = LengthRefusal("UPC-A", "11 or 12");
  } else if (sel == "UE0") {
    k.symbology = n == 8 ? BARCODE_UPCE_CHK : BARCODE_UPCE;
    if (!AllDigits(data) || n < 6 || n > 8) k.refusal = LengthRefusal("UPC-E", "6 to 8");
  } else if (sel == "K") {
    k.symbology = BARCODE_CODABAR;
    k.two_widths = true;
  } else {
    k.refusal = "unknown barcode selection \"" + std::string(sel) + "\"";
  }
  return k;
}

// Encodes `data` into `s`; "" or zint's reason.
std::string Encode(zint_symbol& s, std::string_view data) {
  if (data.empty()) return "no data to encode";
  if (data.size() > 4096) return "data too long for a symbol";
  const int rc =
      ZBarcode_Encode(&s, reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
  if (rc >= ZINT_ERROR) return std::string("the symbology refuses the data: ") + s.errtxt;
  if (s.rows < 1 || s.width < 1) return "the symbology produced no symbol";
  return "";
}

}  // namespace

std::string DrawBarcode(const Frame& frame, const BarcodeStyle& style, std::string_view data, Marks& marks) {
  if (style.narrow < 1 || style.narrow > 100 || style.height < 1 || style.height > 32768)
    return "narrow bar or bar height out of range";
  const Kind kind = Choose(style.selection, data);
  if (!kind.refusal.empty()) return kind.refusal;
  const int wide = kind.two_widths ? style.wide : style.narrow;
  if (wide < 1 || wide > 100) return "wide bar out of range";
  Symbol s(ZBarcode_Create());
  if (!s) return "no memory for the symbol";
  s->symbology = kind.symbology;
  s->option_2 = kind.option_2;
  s->input_mode = kind.input_mode;
  // Codabar data without its start and stop characters gets A at both ends, as printers add them.
  std::string framed;
  if (kind.symbology == BARCODE_CODABAR && !data.empty() && std::strchr("ABCDabcd", data.front()) == nullptr) {
    framed = "A" + std::string(data) + "A";
    data = framed;
  }
  if (std::string why = Encode(*s, data); !why.empty()) return why;

  // One row of modules: each run of equal modules is one bar or space. The two-width codes draw a
  // one-module run narrow and a longer run wide; the others draw every module `narrow` dots wide.
  std::int64_t u = 0;
  for (int col = 0; col < s->width;) {
    const bool bar = ModuleSet(*s, 0, col);
    int run = 1;
    while (col + run < s->width && ModuleSet(*s, 0, col + run) == bar) ++run;
    const std::int64_t w =
        kind.two_widths ? (run == 1 ? style.narrow : wide) : static_cast<std::int64_t>(run) * style.narrow;
    if (bar) frame.Fill(marks, u, 0, w, style.height, Ink::kBlack);
    u += w;
    col += run;
  }
  if (style.readable) {
    const std::string_view text(reinterpret_cast<const char*>(s->text),
                                ::strnlen(reinterpret_cast<const char*>(s->text), sizeof s->text));
    const std::int64_t text_w = static_cast<std::int64_t>(text.size()) * style.text_cell.w;
    Frame below = frame;
    const std::int64_t du = (u - text_w) / 2, dv = style.height + style.text_cell.h / 4;
    // The text's own origin, moved inside the barcode's frame.
    switch (frame.quarter_turns & 3) {
      case 0:
        below.x += du;
        below.y += dv;
        break;
      case 1:
        below.x -= dv;
        below.y += du;
        break;
      case 2:
        below.x -= du;
        below.y -= dv;
        break;
      default:
        below.x += dv;
        below.y -= du;
        break;
    }
    TextStyle ts;
    ts.cell = style.text_cell;
    DrawText(below, ts, text, marks);
  }
  return "";
}

std::string DrawPdf417(const Frame& frame, const Pdf417Style& style, std::string_view data, Marks& marks) {
  if (style.module < 1 || style.module > 100 || style.row_height < 1 || style.row_height > 1000)
    return "module width or row height out of range";
  if (style.security < 0 || style.security > 8) return "security level out of range";
  Symbol s(ZBarcode_Create());
  if (!s) return "no memory for the symbol";
  s->symbology = style.truncated ? BARCODE_PDF417COMP : BARCODE_PDF417;
  s->input_mode = DATA_MODE;
  s->option_1 = style.security;
  s->option_2 = std::clamp(style.columns, 0, 30);
  s->option_3 = style.rows >= 3 && style.rows <= 90 ? style.rows : 0;
  if (std::string why = Encode(*s, data); !why.empty()) return why;
  if (style.rows > 0 && s->rows > style.rows)
    return "the data needs " + std::to_string(s->rows) + " rows, more than the " + std::to_string(style.rows) +
           " allowed";
  for (int row = 0; row < s->rows; ++row) {
    for (int col = 0; col < s->width;) {
      const bool dark = ModuleSet(*s, row, col);
      int run = 1;
      while (col + run < s->width && ModuleSet(*s, row, col + run) == dark) ++run;
      if (dark)
        frame.Fill(marks, static_cast<std::int64_t>(col) * style.module,
                   static_cast<std::int64_t>(row) * style.row_height, static_cast<std::int64_t>(run) * style.module,
                   style.row_height, Ink::kBlack);
      col += run;
    }
  }
  return "";
}

}  // namespace kv::render
