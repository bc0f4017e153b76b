// The font layer: its matches agree with fontconfig's; its cell glyphs' refused sizes, and the fallback for
// characters the monospaced face lacks (the resident cells' dots: the golden text jobs, at both resolutions).
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "font_faces.h"
#include "kv/platform/font.h"

namespace {

using kv::plat::font_cell_glyph;

// The rows and columns that hold ink, as [first, last]; first > last when the cell is empty.
struct Box {
  int top = 1 << 30, bottom = -1, left = 1 << 30, right = -1;
  int dots = 0;
};

Box InkBox(const std::vector<unsigned char>& ink, int w, int h) {
  Box b;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char v =
          ink[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
      EXPECT_TRUE(v == 0 || v == 1) << "each dot is 0 or 1";
      if (v == 0) continue;
      ++b.dots;
      b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
      b.left = std::min(b.left, x), b.right = std::max(b.right, x);
    }
  return b;
}

// Fontconfig's own answer for a request with the characters of a text: the font file and index.
std::string FontconfigFile(const char* family, int weight, bool italic, const std::vector<FT_ULong>& chars) {
  FcPattern* pattern = FcPatternCreate();
  FcCharSet* set = FcCharSetCreate();
  for (FT_ULong cp : chars) FcCharSetAddChar(set, static_cast<FcChar32>(cp));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcPatternAddCharSet(pattern, FC_CHARSET, set);
  FcCharSetDestroy(set);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::string file = "(none)";
  FcChar8* path = nullptr;
  int index = 0;
  if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    file = reinterpret_cast<const char*>(path) + std::string("#") + std::to_string(index);
  }
  if (match != nullptr) FcPatternDestroy(match);
  return file;
}

// A text's characters are covered by the family's own font, or not; either way the layer's answer
// (remembered, or taken from the family's font without asking) is the one fontconfig gives.
TEST(FontMatch, AgreesWithFontconfigForEachText) {
  const struct {
    const char* family;
    int weight;
    bool italic;
    std::u32string text;
  } cases[] = {
      {"DejaVu Sans", 400, false, U"Hello"},
      {"DejaVu Sans", 400, false, U"\u4E2D\u6587 text"},
      {"DejaVu Sans", 700, true, U"Gr\u00F6\u00DFe"},
      {"Arial", 400, false, U"Label 42"},
      {"Times New Roman", 700, false, U"\u0395\u03BB\u03BB"},
      {"No Such Face", 400, false, U"abc"},
      {"monospace", 400, false, U"x"},
      {"Liberation Serif", 400, true, U"\u2603 snow"},
      {"sans-serif", 900, false, U"\u20AC 5"},
  };
  for (const auto& c : cases) {
    const std::vector<FT_ULong> chars(c.text.begin(), c.text.end());
    SCOPED_TRACE(testing::Message() << c.family << " " << c.weight << (c.italic ? " italic, " : ", ") << chars.size()
                                    << " characters");
    for (int ask = 0; ask < 2; ++ask) {  // the second time from what the layer remembers
      kv::plat::MatchedFace matched;
      std::string file = "(none)";
      {
        auto lock = kv::plat::font_lock();
        if (kv::plat::font_match(c.family, c.weight, c.italic, chars, &matched))
          file = static_cast<const char*>(matched.face->stream->pathname.pointer) + std::string("#") +
                 std::to_string(matched.face->face_index);
      }
      EXPECT_EQ(file, FontconfigFile(c.family, c.weight, c.italic, chars));
    }
  }
}

TEST(FontCellGlyph, RefusesCellsOutsideTheRange) {
  const struct {
    int w, h;
  } cases[] = {{0, 12}, {8, 0}, {-1, 12}, {8, -12}, {4097, 12}, {8, 4097}, {-2147483647 - 1, 5}};
  for (const auto& c : cases) {
    std::vector<unsigned char> ink(7, 1);
    EXPECT_FALSE(font_cell_glyph(U'A', c.w, c.h, ink)) << c.w << "x" << c.h;
    EXPECT_TRUE(ink.empty()) << c.w << "x" << c.h;
  }
  std::vector<unsigned char> ink;
  EXPECT_TRUE(font_cell_glyph(U'A', 1, 1, ink));
  EXPECT_EQ(ink.size(), 1u);
}

TEST(FontCellGlyph, FallsBackForCharactersTheFaceLacks) {
  std::vector<unsigned char> ink;
  ASSERT_TRUE(font_cell_glyph(U'\u4E2D', 24, 24, ink)) << "a Chinese character from a font that has it";
  const Box b = InkBox(ink, 24, 24);
  EXPECT_GT(b.dots, 20);
  EXPECT_GE(b.right - b.left + 1, 12) << "scaled to the cell, not a tiny or clipped glyph";
  // A noncharacter no font shows, and a value past the last code point.
  EXPECT_FALSE(font_cell_glyph(U'\U0010FFFF', 12, 20, ink));
  EXPECT_TRUE(ink.empty());
  EXPECT_FALSE(font_cell_glyph(static_cast<char32_t>(0x110000), 12, 20, ink));
}

}  // namespace
