// Text in a TrueType font through fontconfig and FreeType, with the meanings that a Windows font
// request has on a printer's device context: the face is matched by name (fontconfig substitutes an
// absent one, preferring a font that can show every character of the text), a positive height is the
// character cell (ascent plus descent) in dots, a width sets the average character width, weight and
// italic pick a face or are made up (emboldened, slanted), underline and strike-out use the font's own
// position and thickness, and the escapement turns the text counter-clockwise. The reference printer
// only has to exist in the spooler: dots are the unit throughout.
//
// Faces come from the font layer, which matches and opens each font once; a raster brings its own
// size object. Each glyph is rendered once, one bit a dot, and kept for later texts; a text is
// drawn from its glyphs straight into the caller's one-bit image.
#include "kv/platform/text_raster.h"

#include "font_faces.h"
#include "open_printer.h"
#include "system.h"

#include <cups/cups.h>
#include <fontconfig/fontconfig.h>
#include <unistd.h>
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <vector>

namespace kv::plat {

namespace {

// One glyph as FreeType rendered it: its one-bit rows (`pitch` bytes each, leftmost dot in the
// most significant bit), where they lie against the pen and the baseline, and how far the pen moves.
// The rows of a large glyph are not kept (`bits` stays empty): it is rendered again as it is drawn,
// so that the work memory of a large text stays about one glyph.
struct GlyphImage {
  bool loaded = false;    // false: the face has no glyph for the character; it is left out
  int left = 0, top = 0;  // FreeType's bitmap_left and bitmap_top
  int width = 0, rows = 0, pitch = 0;
  FT_Pos advance = 0;  // 26.6
  std::vector<unsigned char> bits;
};

// A glyph of the text placed in the text's upright cell.
struct Glyph {
  int left = 0, top = 0;  // of the bitmap, in dots from the top left of the cell
  FT_ULong cp = 0;
  std::shared_ptr<const GlyphImage> image;
};

}  // namespace

struct TextRaster {
  FT_Face face = nullptr;  // the font layer's, shared with other rasters
  FT_Size size = nullptr;  // this raster's size of the face
  FontSpec font = {};
  FT_Matrix matrix = {0x10000, 0, 0, 0x10000};  // average-width scaling and made-up slant
  bool embolden = false;                        // a bold weight on a face that has none
  int ascent = 0, cell = 0;                     // dots
  int underline_top = 0, underline_rows = 0;    // rows from the top of the cell
  int strike_top = 0, strike_rows = 0;
  // The glyphs of `text`, placed by Render().
  std::string text;
  bool rendered = false;
  bool out_of_memory = false;  // a glyph could not be rendered or kept for want of memory
  FT_Pos advance = 0;          // the text's width, 26.6
  std::vector<Glyph> glyphs;
};

namespace {

constexpr int kDefaultCell = 34;      // the cell height of a height of 0: 12 points at 203 dots per inch
constexpr int kLargestCell = 16384;   // beyond this no glyph is rendered
constexpr FT_Fixed kSlant = 0x0366A;  // the shear of a made-up italic, as FreeType's oblique

// The code points of a UTF-8 text; a byte that begins no valid sequence stands for itself.
std::vector<FT_ULong> CodePoints(const char* text) {
  std::vector<FT_ULong> out;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  while (*s != 0) {
    const unsigned char c = *s;
    const int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
    FT_ULong cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
    int i = 1;
    for (; i <= extra && (s[i] & 0xC0) == 0x80; ++i) cp = (cp << 6) | (s[i] & 0x3F);
    if (i <= extra) {  // cut short: the lead byte alone
      cp = c;
      i = 1;
    }
    out.push_back(cp);
    s += i;
  }
  return out;
}

int Round26(FT_Pos v) { return static_cast<int>((v + 32) >> 6); }

// Sizes the face as the request says and works out the cell, the lines and the made-up styles.
bool SizeFace(TextRaster* r, int matched_weight, int matched_slant) {
  FT_Face face = r->face;
  const FontSpec& font = r->font;
  if (std::abs(font.height) > kLargestCell || font.width < 0 || font.width > kLargestCell) return false;
  FT_Size_RequestRec request = {};
  request.type = font.height >= 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
  request.height = static_cast<FT_Long>(font.height != 0 ? std::abs(font.height) : kDefaultCell) * 64;
  if (FT_Request_Size(face, &request) != 0) return false;

  const FT_Size_Metrics& m = face->size->metrics;
  r->ascent = Round26(m.ascender);
  r->cell = font.height > 0 ? font.height : Round26(m.ascender - m.descender);
  if (r->cell <= 0) return false;

  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  auto to_dots = [&](FT_Long units, FT_Fixed scale) { return static_cast<double>(FT_MulFix(units, scale)) / 64.0; };
  if (font.width > 0) {
    const double average = os2 != nullptr && os2->xAvgCharWidth > 0 ? to_dots(os2->xAvgCharWidth, m.x_scale)
                                                                    : to_dots(face->max_advance_width, m.x_scale) / 2;
    if (average > 0) r->matrix.xx = static_cast<FT_Fixed>(std::lround(65536.0 * font.width / average));
  }
  if (font.italic && matched_slant == FC_SLANT_ROMAN) r->matrix.xy = kSlant;
  r->embolden = font.weight >= 600 && matched_weight < FC_WEIGHT_DEMIBOLD;

  // The font's own lines: the underline's centre and thickness below the baseline, the strike-out's
  // top and thickness above it. Fonts without them get lines in the usual places.
  const double thickness =
      face->underline_thickness > 0 ? to_dots(face->underline_thickness, m.y_scale) : r->cell / 20.0;
  r->underline_rows = std::max(1, static_cast<int>(std::lround(thickness)));
  const double below = face->underline_position != 0 ? -to_dots(face->underline_position, m.y_scale) : r->cell / 10.0;
  r->underline_top = r->ascent + static_cast<int>(std::lround(below - thickness / 2));
  const double strike = os2 != nullptr && os2->yStrikeoutSize > 0 ? to_dots(os2->yStrikeoutSize, m.y_scale) : thickness;
  const double above =
      os2 != nullptr && os2->yStrikeoutPosition > 0 ? to_dots(os2->yStrikeoutPosition, m.y_scale) : r->ascent / 3.0;
  r->strike_rows = std::max(1, static_cast<int>(std::lround(strike)));
  r->strike_top = r->ascent - static_cast<int>(std::lround(above));
  return true;
}

// Rendered glyphs, kept across calls, since labels repeat their texts: everything that shapes a
// glyph is in the key (the face, the height asked for, the width and slant transformation, made-up
// bold, the character). Large glyphs are not kept, and the whole store is bounded; it is used
// under the font layer's lock.
using GlyphKey = std::tuple<FT_Face, int, FT_Fixed, FT_Fixed, bool, FT_ULong>;
constexpr std::size_t kGlyphBytesKept = 8u << 20;
constexpr std::size_t kLargestGlyphKept = 64u << 10;

struct GlyphStore {
  std::map<GlyphKey, std::shared_ptr<const GlyphImage>> glyphs;
  std::size_t bytes = 0;
};

GlyphStore& Glyphs() {
  static GlyphStore store;
  return store;
}

// Loads and renders one glyph of the raster's face at its size. Null when memory runs out.
std::shared_ptr<const GlyphImage> RenderGlyph(TextRaster* r, FT_ULong cp) {
  auto image = std::make_shared<GlyphImage>();
  FT_Error error = FT_Load_Char(r->face, cp, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO);
  if (error == 0) {
    if (r->embolden) FT_GlyphSlot_Embolden(r->face->glyph);
    const FT_GlyphSlot g = r->face->glyph;
    image->loaded = true;
    image->advance = g->advance.x;
    error = FT_Render_Glyph(g, FT_RENDER_MODE_MONO);
    if (error == 0 && g->bitmap.rows > 0 && g->bitmap.width > 0) {
      const FT_Bitmap& b = g->bitmap;
      image->left = g->bitmap_left;
      image->top = g->bitmap_top;
      image->width = static_cast<int>(b.width);
      image->rows = static_cast<int>(b.rows);
      image->pitch = static_cast<int>((b.width + 7) / 8);
      if (static_cast<std::size_t>(image->pitch) * b.rows > kLargestGlyphKept) return image;
      image->bits.resize(static_cast<std::size_t>(image->pitch) * b.rows);
      const std::size_t stride = static_cast<std::size_t>(b.pitch < 0 ? -b.pitch : b.pitch);
      for (unsigned row = 0; row < b.rows; ++row) {
        const unsigned char* from = b.buffer + (b.pitch >= 0 ? row : b.rows - 1 - row) * stride;
        std::copy(from, from + image->pitch, image->bits.begin() + static_cast<std::ptrdiff_t>(row) * image->pitch);
      }
    }
  }
  if (error == FT_Err_Out_Of_Memory) return nullptr;
  return image;
}

// Places each glyph of the text in the upright cell, rendering those not yet kept, and works out the
// text's advance. Glyphs the face cannot load are left out, as they have no width either.
void Render(TextRaster* r, const char* text) {
  if (r->rendered && r->text == text) return;
  r->rendered = false;
  r->out_of_memory = false;
  r->advance = 0;
  r->glyphs.clear();
  auto lock = font_lock();
  GlyphStore& store = Glyphs();
  bool sized = false;
  try {
    r->text = text;
    FT_Pos pen = 0;
    for (FT_ULong cp : CodePoints(text)) {
      const GlyphKey key{r->face, r->font.height, r->matrix.xx, r->matrix.xy, r->embolden, cp};
      auto kept = store.glyphs.find(key);
      std::shared_ptr<const GlyphImage> image = kept != store.glyphs.end() ? kept->second : nullptr;
      if (image == nullptr) {
        if (!sized) {
          if (FT_Activate_Size(r->size) != 0) return;
          FT_Set_Transform(r->face, &r->matrix, nullptr);
          sized = true;
        }
        image = RenderGlyph(r, cp);
        if (image == nullptr) {
          r->out_of_memory = true;
          continue;
        }
        if (!image->bits.empty() || image->rows == 0) {
          if (store.bytes + image->bits.size() > kGlyphBytesKept) {
            store.glyphs.clear();
            store.bytes = 0;
          }
          store.glyphs.emplace(key, image);
          store.bytes += image->bits.size() + sizeof(GlyphImage);
        }
      }
      if (!image->loaded) continue;
      if (image->rows > 0)
        r->glyphs.push_back(Glyph{static_cast<int>(pen >> 6) + image->left, r->ascent - image->top, cp, image});
      pen += image->advance;
    }
    r->advance = pen;
  } catch (const std::bad_alloc&) {
    r->out_of_memory = true;
    r->glyphs.clear();
    r->glyphs.shrink_to_fit();
    return;
  }
  r->rendered = true;
}

// The part of the upright text, as ranges of u (along the text) and v (down the cell), that lands
// inside an image of width x height when the text's reference point is put at (x, y) and the text
// turned by the escapement.
struct Clip {
  int u0, u1, v0, v1;
};

Clip ClipOf(int escapement, int cx, int cy, int width, int height, int x, int y) {
  Clip c;
  switch (escapement) {
    case 900:
      c = {y - height, y, -x, width - x};
      break;  // image (x + v, y - 1 - u)
    case 1800:
      c = {x - width, x, y - height, y};
      break;  // image (x - 1 - u, y - 1 - v)
    case 2700:
      c = {-y, height - y, x - width, x};
      break;  // image (x - 1 - v, y + u)
    default:
      c = {-x, width - x, -y, height - y};
      break;  // image (x + u, y + v)
  }
  return {std::max(c.u0, 0), std::min(c.u1, cx), std::max(c.v0, 0), std::min(c.v1, cy)};
}

// Clears the image's dot for the upright text's dot (u, v), which lies inside the clip.
template <int Escapement>
void Clear(unsigned char* bits, std::size_t row_bytes, int x, int y, int u, int v) {
  int ix = x + u, iy = y + v;
  if constexpr (Escapement == 900) ix = x + v, iy = y - 1 - u;       // reading upwards
  if constexpr (Escapement == 1800) ix = x - 1 - u, iy = y - 1 - v;  // upside down
  if constexpr (Escapement == 2700) ix = x - 1 - v, iy = y + u;      // reading downwards
  bits[static_cast<std::size_t>(iy) * row_bytes + static_cast<std::size_t>(ix / 8)] &=
      static_cast<unsigned char>(~(0x80u >> (ix % 8)));
}

// Clears the set bits of `byte`, eight dots of a glyph row already masked to the clip, in the image
// row `out`, the byte's leftmost bit landing on dot `x` (at least -7: no set bit lands left of 0).
inline void ClearBits(unsigned char* out, unsigned byte, int x) {
  const int at = (x + 8) / 8 - 1, shift = x - at * 8;  // at = x / 8 rounded down
  const unsigned spread = byte << (8 - shift);         // the high byte for `at`, the low for `at + 1`
  if ((spread >> 8) != 0) out[at] &= static_cast<unsigned char>(~(spread >> 8));
  if ((spread & 0xFFu) != 0) out[at + 1] &= static_cast<unsigned char>(~spread);
}

// The rows of a glyph to draw: the kept ones, or for a large glyph, FreeType's as it renders it
// again. Null when FreeType runs out of memory.
struct GlyphRows {
  const unsigned char* top = nullptr;  // the top row
  std::ptrdiff_t stride = 0;           // from one row to the next
  int width = 0, rows = 0;
};

GlyphRows RowsOf(const TextRaster* r, const Glyph& g) {
  const GlyphImage& image = *g.image;
  if (!image.bits.empty()) return {image.bits.data(), image.pitch, image.width, image.rows};
  // Under the font lock, held by the caller.
  if (FT_Activate_Size(r->size) != 0) return {};
  FT_Set_Transform(r->face, const_cast<FT_Matrix*>(&r->matrix), nullptr);
  if (FT_Load_Char(r->face, g.cp, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) != 0) return {};
  if (r->embolden) FT_GlyphSlot_Embolden(r->face->glyph);
  if (FT_Render_Glyph(r->face->glyph, FT_RENDER_MODE_MONO) != 0) return {};
  const FT_Bitmap& b = r->face->glyph->bitmap;
  const std::ptrdiff_t pitch = b.pitch;
  const unsigned char* top = pitch >= 0 ? b.buffer : b.buffer + (static_cast<std::ptrdiff_t>(b.rows) - 1) * -pitch;
  return {top, pitch, std::min(image.width, static_cast<int>(b.width)), std::min(image.rows, static_cast<int>(b.rows))};
}

// Draws the placed glyphs and the lines of the text into the image. False when a large glyph
// cannot be rendered again for want of memory.
template <int Escapement>
bool Draw(const TextRaster* r, const Clip& c, unsigned char* bits, int width, int x, int y) {
  const std::size_t row_bytes = static_cast<std::size_t>(width / 8);
  std::unique_lock<std::mutex> lock;  // taken for the first large glyph
  for (const Glyph& g : r->glyphs) {
    if (g.image->bits.empty() && !lock.owns_lock()) lock = font_lock();
    const GlyphRows rows = RowsOf(r, g);
    if (rows.top == nullptr) return false;
    const int row0 = std::max(0, c.v0 - g.top), row1 = std::min(rows.rows, c.v1 - g.top);
    const int col0 = std::max(0, c.u0 - g.left), col1 = std::min(rows.width, c.u1 - g.left);
    if (col0 >= col1) continue;
    for (int row = row0; row < row1; ++row) {
      const unsigned char* line = rows.top + row * rows.stride;
      if constexpr (Escapement == 0) {
        // Upright, a glyph row is cleared into its image row a byte at a time.
        unsigned char* out = bits + static_cast<std::size_t>(y + g.top + row) * row_bytes;
        for (int b = col0 / 8; b <= (col1 - 1) / 8; ++b) {
          unsigned byte = line[b];
          if (b * 8 < col0) byte &= 0xFFu >> (col0 - b * 8);
          if (b * 8 + 8 > col1) byte &= 0xFFu << (b * 8 + 8 - col1);
          if (byte != 0) ClearBits(out, byte & 0xFFu, x + g.left + b * 8);
        }
      } else {
        for (int col = col0; col < col1; ++col) {
          const unsigned char byte = line[col / 8];
          if (byte == 0) {
            col |= 7;  // on to the next byte
            continue;
          }
          if (byte & (0x80u >> (col % 8))) Clear<Escapement>(bits, row_bytes, x, y, g.left + col, g.top + row);
        }
      }
    }
  }
  auto rule = [&](int top, int rows) {
    for (int v = std::max(top, c.v0); v < std::min(top + rows, c.v1); ++v)
      for (int u = c.u0; u < c.u1; ++u) Clear<Escapement>(bits, row_bytes, x, y, u, v);
  };
  if (r->font.underline) rule(r->underline_top, r->underline_rows);
  if (r->font.strike_out) rule(r->strike_top, r->strike_rows);
  return true;
}

// The queue of a printer name: queue names hold "_" where printer names hold a blank.
std::string QueueOf(const char* printer) {
  std::string queue(printer);
  std::replace(queue.begin(), queue.end(), ' ', '_');
  return queue;
}

// Whether the spooler has the printer now. Asked on every call, so that a printer removed from the
// spooler is missed at once, but on one connection kept from call to call (made again after a fork,
// a change of server or a failure) and with the smallest question the spooler answers: the
// printer's name alone. Each exchange is bounded as every spooler exchange is (exchange_bound).
class SpoolerAsk {
 public:
  ~SpoolerAsk() { Drop(); }

  bool Has(const char* printer) {
    if (printer == nullptr || printer[0] == '\0') return false;
    std::lock_guard<std::mutex> hold(mutex_);
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!Connect()) return false;
      ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
      char uri[HTTP_MAX_URI];
      if (request == nullptr || httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                                                 "/printers/%s", QueueOf(printer).c_str()) != HTTP_URI_STATUS_OK) {
        ippDelete(request);
        return false;
      }
      ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
      ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-name");
      deadline_ = Clock::now() + exchange_bound();
      ipp_t* response = cupsDoRequest(http_, request, "/");
      if (response != nullptr) {
        const bool known = ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE;
        ippDelete(response);
        return known;
      }
      // No answer: the connection was stale or the server is gone; one more try on a new connection,
      // unless the server simply did not answer in time.
      Drop();
      if (Clock::now() >= deadline_) return false;
    }
    return false;
  }

 private:
  using Clock = std::chrono::steady_clock;

  // Each wait inside libcups lasts at most one slice; between slices the deadline is checked.
  static int StillInTime(http_t*, void* self) {
    return Clock::now() < static_cast<SpoolerAsk*>(self)->deadline_ ? 1 : 0;
  }

  bool Connect() {
    const char* server = cupsServer();
    const int port = ippPort();
    if (http_ != nullptr && (pid_ != getpid() || server_ != server || port_ != port)) Drop();
    if (http_ != nullptr) return true;
    const int bound_ms = static_cast<int>(exchange_bound().count());
    http_ = httpConnect2(server, port, nullptr, AF_UNSPEC, cupsEncryption(), 1, bound_ms, nullptr);
    if (http_ == nullptr) return false;
    httpSetTimeout(http_, std::min(0.25, bound_ms / 1000.0), StillInTime, this);
    pid_ = getpid();
    server_ = server;
    port_ = port;
    return true;
  }

  void Drop() {
    if (http_ != nullptr) httpClose(http_);
    http_ = nullptr;
  }

  std::mutex mutex_;
  http_t* http_ = nullptr;
  Clock::time_point deadline_{};
  pid_t pid_ = 0;
  std::string server_;
  int port_ = 0;
};

bool PrinterKnown(const char* printer) {
  static SpoolerAsk spooler;
  return spooler.Has(printer);
}

}  // namespace

TextRaster* sys::raster_open(const char* reference_printer, const FontSpec& font, const char* text) {
  if (!PrinterKnown(reference_printer)) return nullptr;
  auto* r = new (std::nothrow) TextRaster;
  if (r == nullptr) return nullptr;
  r->font = font;
  if (font.face == nullptr || text == nullptr) return r;
  // Without a face the raster exists, but measures and draws nothing: no drawing surface.
  auto lock = font_lock();
  MatchedFace matched;
  try {
    if (!font_match(font.face, font.weight, font.italic, CodePoints(text), &matched)) return r;
  } catch (const std::bad_alloc&) {
    return r;
  }
  if (FT_New_Size(matched.face, &r->size) != 0) {
    r->size = nullptr;
    return r;
  }
  r->face = matched.face;
  if (FT_Activate_Size(r->size) != 0 || !SizeFace(r, matched.weight, matched.slant)) {
    FT_Done_Size(r->size);
    r->size = nullptr;
    r->face = nullptr;
  }
  return r;
}

bool raster_measure(TextRaster* r, const char* text, int* cx, int* cy) {
  if (r == nullptr || r->face == nullptr || text == nullptr || cx == nullptr || cy == nullptr) return false;
  Render(r, text);
  *cx = static_cast<int>((r->advance + 63) >> 6);
  *cy = r->cell;
  return true;
}

DrawResult sys::raster_draw(TextRaster* r, const char* text, int width, int height, int x, int y, unsigned char* bits) {
  int cx = 0, cy = 0;
  if (bits == nullptr || width % 32 != 0 || !raster_measure(r, text, &cx, &cy)) return DrawResult::NoSurface;
  if (r->out_of_memory) return DrawResult::NoMemory;
  // Each dot of the upright text inside its cell is turned by the escapement into the image.
  const Clip clip = ClipOf(r->font.escapement, cx, cy, width, height, x, y);
  bool drawn;
  switch (r->font.escapement) {
    case 900:
      drawn = Draw<900>(r, clip, bits, width, x, y);
      break;
    case 1800:
      drawn = Draw<1800>(r, clip, bits, width, x, y);
      break;
    case 2700:
      drawn = Draw<2700>(r, clip, bits, width, x, y);
      break;
    default:
      drawn = Draw<0>(r, clip, bits, width, x, y);
      break;
  }
  return drawn ? DrawResult::Drawn : DrawResult::NoMemory;
}

void raster_close(TextRaster* r) {
  if (r == nullptr) return;
  if (r->size != nullptr) {
    auto lock = font_lock();
    FT_Done_Size(r->size);
  }
  delete r;
}

}  // namespace kv::plat
