// The printer: its state across lines and jobs, the reading of commands from a job, and what each
// command does to the label image.
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fields.h"
#include "kv/models.h"
#include "kv/render/renderer.h"
#include "marks.h"
#include "pcx.h"
#include "symbols.h"
#include "text.h"

namespace kv::render {

namespace {

// A variable's or counter's definition; what a text or barcode shows for it.
struct Field {
  int length = 0;
  char justify = 'N';
  std::string shown;  // the variable's prompt, the counter's start value
};

// One command as read from a job: its line (without CR LF) and, for the graphics downloads, the data
// that follows it.
struct Command {
  std::string_view line;
  std::string_view data;
  int number = 0;  // line number of its first byte
};

// Reads commands from a piece of a job, never past its end.
class Reader {
 public:
  Reader(std::string_view text, int first_line) : text_(text), line_(first_line) {}

  bool done() const { return pos_ >= text_.size(); }

  // The next line, without its CR LF.
  Command Line() {
    Command c;
    c.number = line_;
    const std::size_t start = pos_;
    const std::size_t lf = text_.find('\n', pos_);
    const std::size_t end = lf == std::string_view::npos ? text_.size() : lf;
    pos_ = lf == std::string_view::npos ? text_.size() : lf + 1;
    if (lf != std::string_view::npos) ++line_;
    c.line = text_.substr(start, end - start);
    if (!c.line.empty() && c.line.back() == '\r') c.line.remove_suffix(1);
    return c;
  }

  // Takes up to `n` data bytes from here on; fewer when the job ends first.
  std::string_view Take(std::size_t n) {
    const std::size_t k = std::min(n, text_.size() - pos_);
    const std::string_view d = text_.substr(pos_, k);
    pos_ += k;
    line_ += static_cast<int>(std::count(d.begin(), d.end(), '\n'));
    return d;
  }

  std::size_t pos() const { return pos_; }
  int line() const { return line_; }
  std::size_t left() const { return text_.size() - pos_; }
  std::string_view Span(std::size_t from) const { return text_.substr(from, pos_ - from); }

  // The raw-bitmap command carries its data straight after its fourth number, with no line end; its
  // fields are read here byte by byte. False (nothing taken) when the four numbers are not there.
  bool BitmapFields(std::vector<int>& numbers, Command& c) {
    std::size_t at = pos_ + 2;
    numbers.clear();
    while (numbers.size() < 4) {
      std::size_t begin = at;
      if (at < text_.size() && text_[at] == '-') ++at;
      const std::size_t digits = at;
      while (at < text_.size() && at - digits < 10 && text_[at] >= '0' && text_[at] <= '9') ++at;
      const auto n = Number(text_.substr(begin, at - begin));
      if (!n) return false;
      numbers.push_back(*n);
      if (numbers.size() < 4) {
        if (at >= text_.size() || text_[at] != ',') return false;
        ++at;
      }
    }
    c.number = line_;
    c.line = text_.substr(pos_, at - pos_);
    pos_ = at;
    return true;
  }

  bool StartsWith(std::string_view word) const { return text_.substr(pos_, word.size()) == word; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int line_;
};

bool IsLetter(char c) { return c >= 'A' && c <= 'Z'; }

std::string Justified(std::string s, int length, char justify) {
  if (length > 0 && s.size() > static_cast<std::size_t>(length)) s.resize(static_cast<std::size_t>(length));
  const std::size_t pad = length > 0 ? static_cast<std::size_t>(length) - s.size() : 0;
  switch (justify) {
    case 'R':
      return std::string(pad, ' ') + s;
    case 'C':
      return std::string(pad / 2, ' ') + s + std::string(pad - pad / 2, ' ');
    case 'L':
      return s + std::string(pad, ' ');
    default:
      return s;
  }
}

}  // namespace

struct Printer::State {
  int dpi;
  Limits limits;
  int width, height;
  std::int64_t origin_x = 0, origin_y = 0;
  bool upside_down = false;
  Marks marks;
  std::map<std::string, std::shared_ptr<const Bitmap>> graphics;
  std::map<std::string, std::shared_ptr<const std::string>> forms;
  std::map<int, Field> variables;
  std::map<int, Field> counters;
  std::size_t stored = 0;  // bytes held by stored graphics and forms

  State(int d, Limits l)
      : dpi(d == 300 ? 300 : 203),
        limits(l),
        // Until the job sets a size: 4 x 6 inches, the common shipping label.
        width(std::min(DefaultLabelWidth(dpi), l.max_dots)),
        height(std::min(DefaultLabelLength(dpi), l.max_dots)),
        marks(l.max_marks, l.max_dots) {}
};

namespace {

// One job being carried out on a printer's state.
class Job {
 public:
  Job(Printer::State& s, JobSummary& summary, const std::function<void(const RenderedLabel&)>& on_label)
      : s_(s), summary_(summary), on_label_(on_label) {}

  void Run(std::string_view text) {
    Reader reader(text, 1);
    Execute(reader, 0);
    // A form the job leaves open is kept as it stands, unless the job was stopped or refused meanwhile.
    if (storing_ && !summary_.failed) {
      Warn(form_line_, "form \"" + Shown(form_name_) + "\" has no FE; stored as it stands");
      StoreForm();
    }
  }

 private:
  // Carries out every command the reader holds; `depth` counts the forms being replayed.
  void Execute(Reader& r, int depth) {
    while (!r.done() && !summary_.failed) {
      if (Stopped(r.line())) return;
      const std::size_t start = r.pos();
      Command c;
      if (r.StartsWith("GW")) {
        std::vector<int> n;
        if (!r.BitmapFields(n, c)) {
          c = r.Line();
          Warn(c.number, "GW needs x,y,bytes per row,rows followed by the image bytes: \"" + Shown(c.line) + "\"");
          continue;
        }
        RawBitmap(r, c, n, start);
        continue;
      }
      c = r.Line();
      if (storing_ && c.line != "FE") {
        if (c.line.rfind("GM", 0) == 0) TakeDownload(r, c);
        Store(r.Span(start), c.number);
        continue;
      }
      Dispatch(r, c, depth);
    }
  }

  void Dispatch(Reader& r, const Command& c, int depth) {
    const std::string_view l = c.line;
    const int n = c.number;
    if (l.empty()) return;  // empty lines end a counter's definition and separate jobs
    auto is = [&](std::string_view w) { return l.rfind(w, 0) == 0; };
    auto rest = [&](std::size_t k) { return l.substr(k); };

    if (l == "N") {
      s_.marks.Clear();
      marks_full_ = false;
    } else if (is("q")) {
      Size(n, rest(1), true);
    } else if (is("Q")) {
      Size(n, rest(1), false);
    } else if (is("R")) {
      std::vector<int> v;
      if (!Numbers(rest(1), 2, v)) return Warn(n, "R needs x,y: \"" + Shown(l) + "\"");
      s_.origin_x = v[0];
      s_.origin_y = v[1];
    } else if (l == "ZT" || l == "ZB") {
      s_.upside_down = l == "ZB";
    } else if (l == "ZN" || l == "ZS" || l == "JB" || l == "UN" || l == "US" || l == "?" || l == "^@" || l == "^ee" ||
               is("#UM>") || is("O") || is("JF") || is("CT") || is("EK")) {
      // Settings, the cutter, reset and back feed: they change no dot.
    } else if (is("H") || is("S") || is("D")) {
      if (!Number(rest(1))) Warn(n, "unknown command \"" + Shown(l) + "\"");
    } else if (l == "U") {
      Note(n, "configuration label asked (U)");
    } else if (l == "KIRV ELECTRONIC CO.LTD") {
      // The library's identification text (KV_GetInfo): four lines that draw nothing.
      for (const char* next : {"Copyright (C) KIRV ELECTRONIC CO.LTD", "VOXNERTDLL,", "All rights reserved."})
        if (!r.done() && r.StartsWith(next)) r.Line();
      Note(n, "identification text of the library");
    } else if (l == "EI" || l == "FI" || l == "GI") {
      Note(n, std::string(l == "EI"   ? "soft font"
                          : l == "FI" ? "form"
                                      : "graphics") +
                  " list asked (" + std::string(l) + ")");
    } else if (is("T") || is("A")) {
      Text(n, rest(1));
    } else if (is("B")) {
      Barcode(n, rest(1));
    } else if (is("b")) {
      Pdf417(n, rest(1));
    } else if (is("LO") || is("LE") || is("LW")) {
      std::vector<int> v;
      if (!Numbers(rest(2), 4, v))
        return Warn(n, std::string(l.substr(0, 2)) + " needs x,y,width,height: \"" + Shown(l) + "\"");
      const Ink ink = l[1] == 'O' ? Ink::kBlack : l[1] == 'E' ? Ink::kXor : Ink::kWhite;
      Mark(n, s_.marks.Fill(s_.origin_x + v[0], s_.origin_y + v[1], v[2], v[3], ink));
    } else if (is("LS")) {
      std::vector<int> v;
      if (!Numbers(rest(2), 5, v)) return Warn(n, "LS needs x1,y1,thickness,x2,y2: \"" + Shown(l) + "\"");
      Diagonal(n, s_.origin_x + v[0], s_.origin_y + v[1], v[2], s_.origin_x + v[3], s_.origin_y + v[4]);
    } else if (is("X")) {
      std::vector<int> v;
      if (!Numbers(rest(1), 5, v)) return Warn(n, "X needs x1,y1,thickness,x2,y2: \"" + Shown(l) + "\"");
      Box(n, s_.origin_x + v[0], s_.origin_y + v[1], v[2], s_.origin_x + v[3], s_.origin_y + v[4]);
    } else if (is("GM")) {
      Command full = c;
      TakeDownload(r, full);
      StoreGraphic(full);
    } else if (is("GG")) {
      PlaceGraphic(n, rest(2));
    } else if (is("GK")) {
      std::string name;
      if (NameOnly(n, l, name)) Delete(s_.graphics, name);
    } else if (is("FS")) {
      std::string name;
      if (!NameOnly(n, l, name)) return;
      if (depth > 0) return Warn(n, "FS inside a form is ignored");
      storing_ = true;
      form_name_ = name;
      form_body_.clear();
      form_line_ = n;
    } else if (l == "FE") {
      if (!storing_) return Warn(n, "FE without FS");
      StoreForm();
    } else if (is("FR")) {
      RunForm(n, rest(2), depth);
    } else if (is("FK")) {
      std::string name;
      if (NameOnly(n, l, name)) Delete(s_.forms, name);
    } else if (is("V")) {
      Variable(r, n, rest(1));
    } else if (is("C")) {
      Counter(r, n, rest(1));
    } else if (is("WA") || is("W") || is("P")) {
      Print(n, rest(is("WA") ? 2 : 1), std::string(l.substr(0, is("WA") ? 2 : 1)));
    } else {
      Warn(n, "unknown command \"" + Shown(l) + "\"; skipped");
    }
  }

  // A two-letter command whose only field is a quoted, non-empty name (GK"name", FS"name", FK"name").
  bool NameOnly(int n, std::string_view l, std::string& name) {
    std::string_view after;
    if (QuotedName(l.substr(2), name, after) && !name.empty() && after.empty()) return true;
    Warn(n, std::string(l.substr(0, 2)) + " needs a quoted name: \"" + Shown(l) + "\"");
    return false;
  }

  // --- label settings -------------------------------------------------------------------------

  void Size(int n, std::string_view args, bool width) {
    std::vector<int> v;
    const bool ok = width ? Numbers(args, 1, v) : Numbers(args, 2, v);
    const std::string_view first = args.substr(0, args.find(','));
    const bool digits = !first.empty() && first.find_first_not_of("+-0123456789") == std::string_view::npos;
    const auto size = Number(first);
    if ((size && (*size < 1 || *size > s_.limits.max_dots)) || (!size && digits)) {
      // A size beyond the largest label (or beyond any number) is refused, and the job with it.
      Error(n, std::string(width ? "label width " : "label length ") + Shown(first) + " dots is outside 1 to " +
                   std::to_string(s_.limits.max_dots));
      return;
    }
    if (!ok) return Warn(n, width ? "q needs the label width" : "Q needs the label length and gap");
    (width ? s_.width : s_.height) = v[0];
  }

  // --- text, barcodes, PDF417 ------------------------------------------------------------------

  // The data field of a text or barcode: quoted data, or the name of a variable (Vnn) or counter (Cn).
  bool Data(int n, std::string_view field, std::string& out) {
    if (!field.empty() && field[0] == '"') {
      Quoted q = ReadQuoted(field);
      if (!q.closed)
        Warn(n, "data has no closing quote; drawn to the end of the line");
      else if (!q.trailing.empty())
        Warn(n, "text after the closing quote ignored: \"" + Shown(q.trailing) + "\"");
      out = std::move(q.value);
      return true;
    }
    const bool variable = !field.empty() && field[0] == 'V' && field.size() >= 2 && field.size() <= 3;
    const bool counter = !field.empty() && field[0] == 'C' && field.size() == 2;
    const auto number = (variable || counter) ? Number(field.substr(1)) : std::nullopt;
    if (number && field[1] != '-' && field[1] != '+') {
      const auto& table = variable ? s_.variables : s_.counters;
      const auto it = table.find(*number);
      if (it == table.end()) {
        Warn(n, std::string(variable ? "variable " : "counter ") + std::string(field) + " is not defined");
        return false;
      }
      out = it->second.shown;
      return true;
    }
    Warn(n, "data must be quoted or name a variable (Vnn) or counter (Cn): \"" + Shown(field) + "\"");
    return false;
  }

  bool Turns(int n, std::string_view field, int& turns) {
    const auto v = Number(field);
    if (!v || *v < 0 || *v > 3) {
      Warn(n, "rotation must be 0 to 3, not \"" + Shown(field) + "\"");
      return false;
    }
    turns = *v;
    return true;
  }

  void Text(int n, std::string_view args) {
    std::vector<std::string_view> f;
    std::string_view data_field;
    if (!SplitFields(args, 7, f, data_field)) return Warn(n, "text needs x,y,rotation,font,hm,vm,N|R,\"data\"");
    const auto x = Number(f[0]), y = Number(f[1]), hm = Number(f[4]), vm = Number(f[5]);
    Frame frame;
    if (!x || !y) return Warn(n, "text position is not a number");
    if (!Turns(n, f[2], frame.quarter_turns)) return;
    if (!hm || !vm || *hm < 1 || *hm > 24 || *vm < 1 || *vm > 24) return Warn(n, "text multipliers must be 1 to 24");
    if (f[6] != "N" && f[6] != "R") return Warn(n, "text needs N or R, not \"" + Shown(f[6]) + "\"");
    TextStyle style;
    const auto font = Number(f[3]);
    if (font && *font >= 1 && *font <= 5) {
      style.cell = ResidentCell(*font, s_.dpi);
      style.capitals = *font == 5;
    } else if (f[3].size() == 1 && (IsLetter(f[3][0]) || f[3][0] == 'a')) {
      style.cell = ResidentCell(3, s_.dpi);
      Warn(n, "soft font " + std::string(f[3]) + " is not in the printer's memory here; drawn with font 3's cell");
    } else {
      return Warn(n, "unknown font \"" + Shown(f[3]) + "\"");
    }
    style.x_factor = *hm;
    style.y_factor = *vm;
    style.reverse = f[6] == "R";
    std::string data;
    if (!Data(n, data_field, data)) return;
    frame.x = s_.origin_x + *x;
    frame.y = s_.origin_y + *y;
    const int missing = DrawText(frame, style, data, s_.marks);
    if (missing < 0)
      Warn(n, "no monospaced face to draw text with");
    else if (missing > 0)
      Warn(n, std::to_string(missing) + " character(s) without a glyph left blank");
    Mark(n, !s_.marks.full());
  }

  void Barcode(int n, std::string_view args) {
    std::vector<std::string_view> f;
    std::string_view data_field;
    if (!SplitFields(args, 8, f, data_field))
      return Warn(n, "barcode needs x,y,rotation,selection,narrow,wide,height,B|N,\"data\"");
    const auto x = Number(f[0]), y = Number(f[1]), narrow = Number(f[4]), wide = Number(f[5]), h = Number(f[6]);
    Frame frame;
    if (!x || !y || !narrow || !wide || !h) return Warn(n, "barcode fields must be numbers");
    if (!Turns(n, f[2], frame.quarter_turns)) return;
    if (f[7] != "B" && f[7] != "N") return Warn(n, "barcode needs B or N, not \"" + Shown(f[7]) + "\"");
    std::string data;
    if (!Data(n, data_field, data)) return;
    BarcodeStyle style;
    style.selection = f[3];
    style.narrow = *narrow;
    style.wide = *wide;
    style.height = *h;
    style.readable = f[7] == "B";
    style.text_cell = ResidentCell(2, s_.dpi);
    frame.x = s_.origin_x + *x;
    frame.y = s_.origin_y + *y;
    const std::string why = DrawBarcode(frame, style, data, s_.marks);
    if (!why.empty()) return Warn(n, "barcode not drawn: " + why);
    Mark(n, !s_.marks.full());
  }

  void Pdf417(int n, std::string_view args) {
    std::vector<std::string_view> f;
    std::string_view data_field;
    if (!SplitFields(args, 13, f, data_field) || f[2] != "P")
      return Warn(n, "PDF417 needs x,y,P,width,height,sS,cC,xX,yY,rR,lL,tT,oO,\"data\"");
    const char prefixes[] = "scxyrlto";
    int v[8];
    for (int i = 0; i < 8; ++i) {
      const std::string_view field = f[5 + static_cast<std::size_t>(i)];
      const auto num = field.empty() || field[0] != prefixes[i] ? std::nullopt : Number(field.substr(1));
      if (!num)
        return Warn(n, std::string("PDF417 field ") + prefixes[i] + " is not a number: \"" + Shown(field) + "\"");
      v[i] = *num;
    }
    const auto x = Number(f[0]), y = Number(f[1]);
    if (!x || !y) return Warn(n, "PDF417 position is not a number");
    if (v[6] < 0 || v[6] > 1) return Warn(n, "PDF417 t must be 0 or 1");
    if (v[7] < 0 || v[7] > 3) return Warn(n, "PDF417 rotation must be 0 to 3");
    if (data_field.empty() || data_field[0] != '"') return Warn(n, "PDF417 data must be quoted");
    // The data goes up to the last quote of the line: the library writes it unchanged.
    const std::size_t close = data_field.rfind('"');
    if (close == 0) Warn(n, "data has no closing quote; taken to the end of the line");
    const std::string_view data = close == 0 ? data_field.substr(1) : data_field.substr(1, close - 1);
    Pdf417Style style;
    style.security = v[0];
    style.module = v[2] == 0 ? 2 : v[2];
    style.row_height = v[3];
    style.rows = v[4];
    style.columns = v[5];
    style.truncated = v[6] == 1;
    Frame frame{s_.origin_x + *x, s_.origin_y + *y, v[7]};
    const std::string why = DrawPdf417(frame, style, data, s_.marks);
    if (!why.empty()) return Warn(n, "PDF417 not drawn: " + why);
    Mark(n, !s_.marks.full());
  }

  // --- lines and boxes -------------------------------------------------------------------------

  // A line from (x1, y1) to (x2, y2), `t` dots thick across its main direction; only the part over
  // the largest label is walked.
  void Diagonal(int n, std::int64_t x1, std::int64_t y1, std::int64_t t, std::int64_t x2, std::int64_t y2) {
    if (t < 1) return Warn(n, "LS thickness must be at least 1");
    const bool flat = std::llabs(x2 - x1) >= std::llabs(y2 - y1);
    if (!flat) {
      std::swap(x1, y1);
      std::swap(x2, y2);
    }
    if (x2 < x1) {
      std::swap(x1, x2);
      std::swap(y1, y2);
    }
    const std::int64_t dx = x2 - x1, dy = y2 - y1, limit = s_.limits.max_dots;
    const std::int64_t from = std::max<std::int64_t>(x1, 0), to = std::min<std::int64_t>(x2, limit - 1);
    bool ok = true;
    for (std::int64_t a = from; a <= to && ok;) {
      // Walk along the main direction, one mark per run of equal cross position.
      auto cross = [&](std::int64_t at) {
        if (dx == 0) return y1;
        const __int128 num = static_cast<__int128>(at - x1) * dy * 2 + (dy >= 0 ? dx : -dx);
        return static_cast<std::int64_t>(y1 + num / (2 * dx));
      };
      const std::int64_t b0 = cross(a);
      std::int64_t end = a + 1;
      while (end <= to && cross(end) == b0) ++end;
      ok = flat ? s_.marks.Fill(a, b0, end - a, t, Ink::kBlack) : s_.marks.Fill(b0, a, t, end - a, Ink::kBlack);
      a = end;
    }
    Mark(n, ok);
  }

  void Box(int n, std::int64_t x1, std::int64_t y1, std::int64_t t, std::int64_t x2, std::int64_t y2) {
    if (t < 1) return Warn(n, "X thickness must be at least 1");
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    const std::int64_t w = x2 - x1, h = y2 - y1;
    Marks& m = s_.marks;
    Mark(n, m.Fill(x1, y1, w, std::min(t, h), Ink::kBlack) &&
                m.Fill(x1, y2 - std::min(t, h), w, std::min(t, h), Ink::kBlack) &&
                m.Fill(x1, y1, std::min(t, w), h, Ink::kBlack) &&
                m.Fill(x2 - std::min(t, w), y1, std::min(t, w), h, Ink::kBlack));
  }

  // --- graphics ----------------------------------------------------------------------------------

  // Reads the data of a download line GM"name"length: `c.data` receives the bytes that follow the line.
  void TakeDownload(Reader& r, Command& c) {
    std::string name;
    std::string_view after;
    c.data = {};
    if (!QuotedName(c.line.substr(2), name, after)) return;
    const auto length = Number(after);
    if (!length || *length < 0) return;
    c.data = r.Take(static_cast<std::size_t>(*length));
  }

  void StoreGraphic(const Command& c) {
    const int n = c.number;
    std::string name;
    std::string_view after;
    if (!QuotedName(c.line.substr(2), name, after))
      return Warn(n, "GM needs \"name\" and a length: \"" + Shown(c.line) + "\"");
    const auto length = Number(after);
    if (!length || *length < 0) return Warn(n, "GM length is not a number: \"" + Shown(after) + "\"");
    if (c.data.size() < static_cast<std::size_t>(*length)) {
      Warn(n, "GM announces " + std::to_string(*length) + " bytes but the job holds only " +
                  std::to_string(c.data.size()) + "; graphic \"" + Shown(name) + "\" not stored");
      return;
    }
    // A graphic of the same name gives its room to the new one; the name takes room too.
    ReleaseGraphic(name);
    const std::size_t room = s_.limits.max_store - std::min(s_.stored + name.size(), s_.limits.max_store);
    if (room == 0) return Warn(n, "graphic \"" + Shown(name) + "\" not stored: no room left in " + StoreBound());
    auto image = std::make_shared<Bitmap>();
    std::string notice;
    const std::string why = DecodePcx(reinterpret_cast<const unsigned char*>(c.data.data()), c.data.size(),
                                      s_.limits.max_dots, room, *image, notice, s_.limits.stop);
    if (Stopped(n)) return;
    if (!why.empty()) return Warn(n, "graphic \"" + Shown(name) + "\" not stored: " + why);
    if (!notice.empty()) Warn(n, "graphic \"" + Shown(name) + "\": " + notice);
    s_.stored += Size(*image) + name.size();
    s_.graphics[name] = std::move(image);
  }

  void ReleaseGraphic(const std::string& name) {
    const auto it = s_.graphics.find(name);
    if (it == s_.graphics.end()) return;
    s_.stored -= Size(*it->second) + it->first.size();
    s_.graphics.erase(it);
  }

  void PlaceGraphic(int n, std::string_view args) {
    std::vector<std::string_view> f;
    std::string_view name_field;
    std::string name;
    std::string_view after;
    if (!SplitFields(args, 2, f, name_field) || !QuotedName(name_field, name, after) || !after.empty())
      return Warn(n, "GG needs x,y,\"name\"");
    const auto x = Number(f[0]), y = Number(f[1]);
    if (!x || !y) return Warn(n, "GG position is not a number");
    const auto it = s_.graphics.find(name);
    if (it == s_.graphics.end()) return Warn(n, "no stored graphic \"" + Shown(name) + "\"");
    Mark(n, s_.marks.Stamp(it->second, s_.origin_x + *x, s_.origin_y + *y));
  }

  void RawBitmap(Reader& r, const Command& c, const std::vector<int>& v, std::size_t start) {
    const int n = c.number;
    const std::int64_t total = static_cast<std::int64_t>(v[2]) * v[3];
    if (v[2] < 1 || v[3] < 1) {
      if (storing_) Store(r.Span(start), n);
      return Warn(n, "GW with no image (bytes per row and rows must be at least 1)");
    }
    const std::string_view data = r.Take(static_cast<std::size_t>(total));
    if (storing_) return Store(r.Span(start), n);
    if (data.size() < static_cast<std::size_t>(total))
      return Warn(n, "GW announces " + std::to_string(total) + " bytes but the job holds only " +
                         std::to_string(data.size()) + "; not drawn");
    if (static_cast<std::int64_t>(v[2]) * 8 > s_.limits.max_dots || v[3] > s_.limits.max_dots)
      return Warn(n, "GW image larger than a label; not drawn");
    // The label keeps each image until N: together they are held to the store's bound.
    if (s_.marks.held() + static_cast<std::size_t>(total) > s_.limits.max_store)
      return Warn(n, "GW images on one label beyond " + std::to_string(s_.limits.max_store) + " bytes; not drawn");
    auto image = std::make_shared<Bitmap>();
    if (!image->Reset(v[2] * 8, v[3], s_.limits.max_dots)) return Warn(n, "no memory for the GW image; not drawn");
    for (int y = 0; y < v[3]; ++y) {
      const unsigned char* src = reinterpret_cast<const unsigned char*>(data.data()) +
                                 static_cast<std::size_t>(y) * static_cast<std::size_t>(v[2]);
      for (int b = 0; b < v[2]; ++b) image->row(y)[b] = static_cast<std::uint8_t>(~src[b]);  // 0 bits are ink
    }
    Mark(n, s_.marks.Stamp(std::move(image), s_.origin_x + v[0], s_.origin_y + v[1], static_cast<std::size_t>(total)));
  }

  template <class Table>
  void Delete(Table& table, const std::string& name) {
    if (name == "*") {
      for (auto it = table.begin(); it != table.end();) Forget(table, it++);
      return;
    }
    // Deleting what is not stored changes nothing: the library deletes before every download.
    const auto it = table.find(name);
    if (it != table.end()) Forget(table, it);
  }

  void Forget(std::map<std::string, std::shared_ptr<const Bitmap>>& t,
              std::map<std::string, std::shared_ptr<const Bitmap>>::iterator it) {
    s_.stored -= Size(*it->second) + it->first.size();
    t.erase(it);
  }
  void Forget(std::map<std::string, std::shared_ptr<const std::string>>& t,
              std::map<std::string, std::shared_ptr<const std::string>>::iterator it) {
    s_.stored -= it->second->size() + it->first.size();
    t.erase(it);
  }

  // --- forms -------------------------------------------------------------------------------------

  void Store(std::string_view raw, int n) {
    if (form_too_big_) return;
    if (s_.stored + form_name_.size() + form_body_.size() + raw.size() > s_.limits.max_store) {
      form_too_big_ = true;
      return Warn(n,
                  "form \"" + Shown(form_name_) + "\" too large to store in " + StoreBound() + "; the rest is dropped");
    }
    form_body_.append(raw);
  }

  void StoreForm() {
    storing_ = false;
    form_too_big_ = false;
    const auto old = s_.forms.find(form_name_);
    if (old != s_.forms.end()) Forget(s_.forms, old);
    if (s_.stored + form_name_.size() + form_body_.size() > s_.limits.max_store) {
      // Only a name too long for the room left comes here: the lines were held to the room already.
      Warn(form_line_, "form \"" + Shown(form_name_) + "\" not stored: no room left in " + StoreBound());
      form_body_.clear();
      return;
    }
    s_.stored += form_name_.size() + form_body_.size();
    s_.forms[form_name_] = std::make_shared<const std::string>(std::move(form_body_));
    form_body_.clear();
  }

  void RunForm(int n, std::string_view args, int depth) {
    std::string name;
    std::string_view after;
    if (!QuotedName(args, name, after) || !after.empty()) return Warn(n, "FR needs a quoted name");
    const auto it = s_.forms.find(name);
    if (it == s_.forms.end()) return Warn(n, "no stored form \"" + Shown(name) + "\"");
    if (std::find(running_.begin(), running_.end(), name) != running_.end())
      return Warn(n, "form \"" + Shown(name) + "\" calls itself; not run again");
    if (depth >= s_.limits.max_form_depth) return Warn(n, "forms nested too deep; \"" + Shown(name) + "\" not run");
    const std::shared_ptr<const std::string> body = it->second;  // kept alive even if the form deletes itself
    // What forms may cost one job: the calls, and the lines and bytes read again (a form of 1 KiB
    // called a thousand times is read as a job of 1 MiB would be).
    if (summary_.form_calls >= s_.limits.max_form_calls)
      return Error(n, "more than " + std::to_string(s_.limits.max_form_calls) + " form calls in one job");
    const std::size_t lines = static_cast<std::size_t>(std::count(body->begin(), body->end(), '\n')) +
                              (body->empty() || body->back() == '\n' ? 0 : 1);
    if (lines > s_.limits.max_form_lines - std::min(summary_.form_lines, s_.limits.max_form_lines))
      return Error(n, "more than " + std::to_string(s_.limits.max_form_lines) + " form lines carried out in one job");
    if (body->size() > s_.limits.max_form_bytes - std::min(summary_.form_bytes, s_.limits.max_form_bytes))
      return Error(
          n, "more than " + std::to_string(s_.limits.max_form_bytes) + " bytes of form lines carried out in one job");
    ++summary_.form_calls;
    summary_.form_lines += lines;
    summary_.form_bytes += body->size();
    running_.push_back(name);
    const int saved_line = outer_line_;
    if (depth == 0) outer_line_ = n;
    Reader inner(*body, 1);
    Execute(inner, depth + 1);
    outer_line_ = saved_line;
    running_.pop_back();
  }

  // --- variables and counters --------------------------------------------------------------------

  void Variable(Reader& r, int n, std::string_view args) {
    std::vector<std::string_view> f;
    std::string_view just;
    const Command prompt = r.done() ? Command{} : r.Line();
    if (!SplitFields(args, 2, f, just)) return Warn(n, "V needs number,length,L|C|R|N");
    const auto number = Number(f[0]), length = Number(f[1]);
    if (!number || *number < 0 || *number > 99 || !length || *length < 1 || *length > 99 ||
        (just != "L" && just != "C" && just != "R" && just != "N"))
      return Warn(n, "V needs number 0-99,length 1-99,L|C|R|N: \"" + Shown(args) + "\"");
    if (prompt.line.empty() || prompt.line[0] != '"') return Warn(n, "V must be followed by its quoted prompt");
    const Quoted q = ReadQuoted(prompt.line);
    if (!q.closed) Warn(prompt.number, "prompt has no closing quote");
    s_.variables[*number] = Field{*length, just[0], Justified(q.value, *length, just[0])};
  }

  void Counter(Reader& r, int n, std::string_view args) {
    std::vector<std::string_view> f;
    std::string_view step;
    if (!SplitFields(args, 3, f, step)) return Warn(n, "C needs number,length,L|C|R|N,step");
    const auto number = Number(f[0]), length = Number(f[1]);
    if (!number || *number < 0 || *number > 9 || !length || *length < 1 || *length > 40 || f[2].size() != 1 ||
        std::strchr("LCRN", f[2][0]) == nullptr)
      return Warn(n, "C needs number 0-9,length 1-40,L|C|R|N,step: \"" + Shown(args) + "\"");
    // The prompt follows on a line of its own that begins with a comma.
    if (!r.done() && r.StartsWith(",")) {
      const Command prompt = r.Line();
      if (prompt.line.size() < 2 || prompt.line[1] != '"') Warn(prompt.number, "counter prompt must be quoted");
    }
    // A counter shows its start value, 1, until values are entered at the printer.
    s_.counters[*number] = Field{*length, f[2][0], Justified("1", *length, f[2][0])};
  }

  // --- printing ----------------------------------------------------------------------------------

  void Print(int n, std::string_view args, const std::string& word) {
    std::vector<int> v;
    const bool ok = word == "P" ? (Numbers(args, 1, v) || Numbers(args, 2, v)) : Numbers(args, 2, v);
    if (!ok) return Warn(n, word + (word == "P" ? " needs sets[,copies]" : " needs sets,copies"));
    const long long sets = v[0], copies = v.size() > 1 ? v[1] : 1;
    if (sets < 1 || copies < 1) return Warn(n, word + " asks for no label");
    ++summary_.labels;
    // Sets and copies are each below 2^31; the sum over many print commands stops at the largest count.
    const long long asked = sets * copies;
    summary_.copies = summary_.copies > LLONG_MAX - asked ? LLONG_MAX : summary_.copies + asked;
    summary_.width = s_.width;
    summary_.height = s_.height;
    if (summary_.labels > s_.limits.max_labels) {
      if (summary_.labels == s_.limits.max_labels + 1)
        Warn(n, "more than " + std::to_string(s_.limits.max_labels) +
                    " labels in one job; the rest are counted, not drawn");
      return;
    }
    // The label's whole area is charged once: it is cleared, maybe turned, and written out.
    const std::uint64_t area = static_cast<std::uint64_t>(s_.width) * static_cast<std::uint64_t>(s_.height);
    std::uint64_t budget = s_.limits.max_painted - std::min(summary_.painted, s_.limits.max_painted);
    if (area > budget) return Error(n, PaintBound());
    budget -= area;
    if (!image_.Reset(s_.width, s_.height, s_.limits.max_dots)) {
      Error(n, "no memory for a label of " + std::to_string(s_.width) + " x " + std::to_string(s_.height) + " dots");
      return;
    }
    const PaintEnd end = s_.marks.Paint(image_, s_.limits.stop, &budget);
    summary_.painted = s_.limits.max_painted - budget;
    if (end == PaintEnd::kStopped) {
      Stopped(n);
      return;
    }
    if (end == PaintEnd::kOverBudget) return Error(n, PaintBound());
    if (s_.upside_down && !image_.Rotate180(s_.limits.stop)) {
      Stopped(n);
      return;
    }
    if (on_label_) on_label_(RenderedLabel{image_, sets, copies, Line(n)});
  }

  // --- messages ----------------------------------------------------------------------------------

  int Line(int n) const { return running_.empty() ? n : outer_line_; }

  // The forms being replayed, for a message from inside them: made only for the messages kept.
  std::string Where() const {
    std::string where;
    for (const std::string& name : running_) where += "form \"" + Shown(name) + "\" ";
    return where;
  }

  void Warn(int n, const std::string& text) {
    if (summary_.messages.size() >= s_.limits.max_messages) {
      ++summary_.messages_not_kept;
      return;
    }
    summary_.messages.push_back(
        Message{Line(n), false, running_.empty() ? text : Where() + "line " + std::to_string(n) + ": " + text});
  }
  void Error(int n, const std::string& text) {
    summary_.messages.push_back(
        Message{Line(n), true, running_.empty() ? text : Where() + "line " + std::to_string(n) + ": " + text});
    summary_.failed = true;
  }
  void Note(int n, const std::string& text) {
    if (summary_.notes.size() >= s_.limits.max_messages) {
      ++summary_.notes_not_kept;
      return;
    }
    summary_.notes.push_back("line " + std::to_string(Line(n)) + ": " + text);
  }

  std::string StoreBound() const {
    return "the " + std::to_string(s_.limits.max_store) + " bytes of stored graphics and forms";
  }
  std::string PaintBound() const {
    return "more than " + std::to_string(s_.limits.max_painted) + " dots painted in one job";
  }
  static std::size_t Size(const Bitmap& b) { return b.stride() * static_cast<std::size_t>(b.height()); }

  // True when another thread has asked the job to end; the job then fails with "stopped" at line `n`.
  bool Stopped(int n) {
    if (summary_.failed) return true;
    if (s_.limits.stop == nullptr || !s_.limits.stop->load(std::memory_order_relaxed)) return false;
    Error(n, "stopped");
    return true;
  }

  // Reports, once per job, that the image holds as many marks as it may.
  void Mark(int n, bool kept) {
    if (kept || marks_full_) return;
    marks_full_ = true;
    Warn(n, "the label holds too many marks; later ones are not drawn");
  }

  Printer::State& s_;
  JobSummary& summary_;
  const std::function<void(const RenderedLabel&)>& on_label_;
  Bitmap image_;
  bool marks_full_ = false;
  bool storing_ = false;
  bool form_too_big_ = false;
  std::string form_name_, form_body_;
  int form_line_ = 0;
  std::vector<std::string> running_;  // forms being replayed, outermost first
  int outer_line_ = 0;
};

}  // namespace

Printer::Printer(int dpi, Limits limits) : state_(std::make_unique<State>(dpi, limits)) {}
Printer::~Printer() = default;

int Printer::dpi() const { return state_->dpi; }
std::size_t Printer::stored() const { return state_->stored; }

JobSummary Printer::Run(const void* job, std::size_t size, const std::function<void(const RenderedLabel&)>& on_label) {
  JobSummary summary;
  if (job == nullptr) size = 0;
  Job(*state_, summary, on_label).Run(std::string_view(static_cast<const char*>(job), size));
  return summary;
}

std::string Describe(const Message& m) {
  return "line " + std::to_string(m.line) + ": " + (m.error ? "error: " : "warning: ") + m.text;
}

}  // namespace kv::render
