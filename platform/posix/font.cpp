// The font layer through fontconfig and FreeType. FreeType is started on first use and kept; each
// fontconfig request is matched once and its answer remembered; each font file is opened once and
// its face kept until the process ends. Faces are shared, so every caller brings its own size object
// (FT_New_Size) and works under the one lock.
#include "kv/platform/font.h"

#include "font_faces.h"

#include <fontconfig/fontconfig.h>
#include FT_ADVANCES_H

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <utility>

namespace kv::plat {

namespace {

constexpr std::size_t kMatchesKept = 512;          // remembered fontconfig answers
constexpr std::size_t kCellBytesKept = 32u << 20;  // memory for drawn cell glyphs
constexpr int kLargestCell = 4096;

// What fontconfig answered for a request: the face, and the characters its font covers.
struct CharSetFree {
  void operator()(FcCharSet* set) const { FcCharSetDestroy(set); }
};
struct Match {
  MatchedFace face;
  std::unique_ptr<FcCharSet, CharSetFree> covers;
};

struct Fonts {
  std::mutex mutex;
  bool started = false;
  FT_Library library = nullptr;
  std::map<std::pair<std::string, int>, FT_Face> faces;  // by file and face index; null: cannot open
  std::map<std::string, Match> matches;                  // by request
  // The resident cell glyphs: one size object per face, the glyphs drawn so far.
  std::map<FT_Face, FT_Size> cell_sizes;
  std::map<std::tuple<char32_t, int, int>, std::vector<unsigned char>> cells;
  std::size_t cell_bytes = 0;

  ~Fonts() {
    // Closing a face also releases the size objects made for it.
    for (auto& entry : faces)
      if (entry.second != nullptr) FT_Done_Face(entry.second);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

Fonts& fonts() {
  static Fonts f;
  return f;
}

// The library, started on first use. Under the lock.
FT_Library Library(Fonts& f) {
  if (!f.started) {
    f.started = true;
    if (FT_Init_FreeType(&f.library) != 0) f.library = nullptr;
  }
  return f.library;
}

// The face of a font file, opened the first time it is asked for. Under the lock. FreeType keeps
// the file name it was given, so it is given the one in the map, which lives as long as the face.
FT_Face OpenFace(Fonts& f, const std::string& file, int index) {
  auto [it, added] = f.faces.emplace(std::make_pair(file, index), nullptr);
  if (added && FT_New_Face(f.library, it->first.first.c_str(), index, &it->second) != 0) it->second = nullptr;
  return it->second;
}

// The key of a request: family, weight, italic and the characters wanted, sorted and once each.
std::string RequestKey(const char* family, int weight, bool italic, const std::vector<FT_ULong>& chars) {
  std::vector<FT_ULong> wanted(chars);
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  std::string key(family);
  key.push_back('\0');
  key += std::to_string(weight);
  key.push_back(italic ? 'i' : 'r');
  for (FT_ULong cp : wanted) {
    key.push_back(',');
    key += std::to_string(cp);
  }
  return key;
}

// Asks fontconfig for the font of a request. False when it finds none.
bool AskFontconfig(const char* family, int weight, bool italic, const std::vector<FT_ULong>& chars, std::string* file,
                   int* index, int* fc_weight, int* fc_slant, FcCharSet** covers) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  FcCharSet* wanted = chars.empty() ? nullptr : FcCharSetCreate();
  if (pattern == nullptr || (!chars.empty() && wanted == nullptr)) {
    if (pattern != nullptr) FcPatternDestroy(pattern);
    if (wanted != nullptr) FcCharSetDestroy(wanted);
    return false;
  }
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  if (wanted != nullptr) {
    for (FT_ULong cp : chars) FcCharSetAddChar(wanted, static_cast<FcChar32>(cp));
    FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    FcCharSetDestroy(wanted);
  }
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* path = nullptr;
  const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
  if (found) *file = reinterpret_cast<const char*>(path);
  if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
  if (FcPatternGetInteger(match, FC_WEIGHT, 0, fc_weight) != FcResultMatch) *fc_weight = FC_WEIGHT_REGULAR;
  if (FcPatternGetInteger(match, FC_SLANT, 0, fc_slant) != FcResultMatch) *fc_slant = FC_SLANT_ROMAN;
  FcCharSet* set = nullptr;
  *covers = FcPatternGetCharSet(match, FC_CHARSET, 0, &set) == FcResultMatch ? FcCharSetCopy(set) : nullptr;
  FcPatternDestroy(match);
  return found;
}

// The dots a glyph covers, drawn into a cell: the face's height from ascender to descender fills
// the cell's height and the glyph's advance its width. Under the lock.
bool DrawCell(Fonts& f, FT_Face face, FT_UInt glyph, int cell_w, int cell_h, std::vector<unsigned char>& ink) {
  auto size = f.cell_sizes.find(face);
  if (size == f.cell_sizes.end()) {
    FT_Size made = nullptr;
    if (FT_New_Size(face, &made) != 0) return false;
    size = f.cell_sizes.emplace(face, made).first;
  }
  if (FT_Activate_Size(size->second) != 0) return false;
  FT_Fixed advance = 0;
  if (FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &advance) != 0 || advance <= 0) advance = face->max_advance_width;
  const FT_Long height = static_cast<FT_Long>(face->ascender) - face->descender;
  if (advance <= 0 || height <= 0) return false;
  FT_Size_RequestRec request = {};
  request.type = FT_SIZE_REQUEST_TYPE_SCALES;
  request.width = FT_DivFix(static_cast<FT_Long>(cell_w) * 64, advance);
  request.height = FT_DivFix(static_cast<FT_Long>(cell_h) * 64, height);
  FT_Set_Transform(face, nullptr, nullptr);
  if (FT_Request_Size(face, &request) != 0) return false;
  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) != 0 ||
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0)
    return false;
  const int baseline = static_cast<int>((FT_MulFix(face->ascender, request.height) + 32) >> 6);
  const FT_GlyphSlot g = face->glyph;
  const FT_Bitmap& b = g->bitmap;
  ink.assign(static_cast<std::size_t>(cell_w) * static_cast<std::size_t>(cell_h), 0);
  const int left = g->bitmap_left, top = baseline - g->bitmap_top;
  for (unsigned row = 0; row < b.rows; ++row) {
    const int y = top + static_cast<int>(row);
    if (y < 0 || y >= cell_h) continue;
    const unsigned char* line = b.buffer + static_cast<long>(row) * b.pitch;
    for (unsigned col = 0; col < b.width; ++col) {
      const int x = left + static_cast<int>(col);
      if (x >= 0 && x < cell_w && (line[col / 8] & (0x80u >> (col % 8))) != 0)
        ink[static_cast<std::size_t>(y) * static_cast<std::size_t>(cell_w) + static_cast<std::size_t>(x)] = 1;
    }
  }
  return true;
}

// The remembered answer to a request, asking fontconfig the first time.
const Match& Remembered(Fonts& f, const char* family, int weight, bool italic, const std::vector<FT_ULong>& chars) {
  const std::string key = RequestKey(family, weight, italic, chars);
  auto it = f.matches.find(key);
  if (it != f.matches.end()) return it->second;
  Match match;
  std::string file;
  int index = 0;
  FcCharSet* covers = nullptr;
  if (AskFontconfig(family, weight, italic, chars, &file, &index, &match.face.weight, &match.face.slant, &covers))
    match.face.face = OpenFace(f, file, index);
  match.covers.reset(covers);
  if (f.matches.size() >= kMatchesKept) f.matches.clear();
  return f.matches.emplace(key, std::move(match)).first->second;
}

// A character's cell, drawn or remembered. Under the lock.
bool CellGlyph(char32_t ch, int cell_w, int cell_h, std::vector<unsigned char>& ink) {
  Fonts& f = fonts();
  const auto key = std::make_tuple(ch, cell_w, cell_h);
  if (auto it = f.cells.find(key); it != f.cells.end()) {
    ink = it->second;
    return true;
  }
  // The monospaced face, or for a character it lacks, the font fontconfig finds that has it.
  MatchedFace matched;
  FT_UInt glyph = 0;
  if (font_match("monospace", 400, false, {}, &matched)) glyph = FT_Get_Char_Index(matched.face, ch);
  if (glyph == 0 && font_match("monospace", 400, false, {static_cast<FT_ULong>(ch)}, &matched))
    glyph = FT_Get_Char_Index(matched.face, ch);
  std::vector<unsigned char> drawn;
  if (glyph == 0 || !DrawCell(f, matched.face, glyph, cell_w, cell_h, drawn)) return false;
  if (f.cell_bytes + drawn.size() > kCellBytesKept) {
    f.cells.clear();
    f.cell_bytes = 0;
  }
  if (drawn.size() <= kCellBytesKept) {
    f.cell_bytes += drawn.size();
    f.cells.emplace(key, drawn);
  }
  ink = std::move(drawn);
  return true;
}

}  // namespace

std::unique_lock<std::mutex> font_lock() { return std::unique_lock<std::mutex>(fonts().mutex); }

bool font_match(const char* family, int weight, bool italic, const std::vector<FT_ULong>& chars, MatchedFace* out) {
  Fonts& f = fonts();
  if (family == nullptr || out == nullptr || Library(f) == nullptr) return false;
  // Fontconfig ranks the characters a font lacks above its family: when the font matched for the
  // family alone lacks none of them, the match with the characters is that same font, and no
  // question need be asked for each new text.
  const Match& plain = Remembered(f, family, weight, italic, {});
  const bool covered = plain.face.face != nullptr && plain.covers != nullptr &&
                       std::all_of(chars.begin(), chars.end(), [&](FT_ULong cp) {
                         return FcCharSetHasChar(plain.covers.get(), static_cast<FcChar32>(cp)) == FcTrue;
                       });
  *out = covered ? plain.face : Remembered(f, family, weight, italic, chars).face;
  return out->face != nullptr;
}

bool font_cell_glyph(char32_t ch, int cell_w, int cell_h, std::vector<unsigned char>& ink) {
  ink.clear();
  if (cell_w < 1 || cell_h < 1 || cell_w > kLargestCell || cell_h > kLargestCell) return false;
  auto lock = font_lock();
  try {
    return CellGlyph(ch, cell_w, cell_h, ink);
  } catch (const std::bad_alloc&) {  // no memory for the cell or the layer's records: no glyph
    ink.clear();
    ink.shrink_to_fit();
    return false;
  }
}

}  // namespace kv::plat