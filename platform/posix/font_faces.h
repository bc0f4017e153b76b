// The font layer's faces, for the drawing code of this platform: the FreeType library, fontconfig
// matches and open faces, all kept for the life of the process and shared under one lock.
#ifndef KV_PLATFORM_POSIX_FONT_FACES_H
#define KV_PLATFORM_POSIX_FONT_FACES_H

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H

#include <mutex>
#include <vector>

namespace kv::plat {

// Every use of a face handed out below (sizes, glyph loading, rendering) is made while holding this.
std::unique_lock<std::mutex> font_lock();

// A face as fontconfig matched it: the open face and the weight and slant fontconfig gave the match,
// from which the caller decides what to make up (emboldening, slant).
struct MatchedFace {
  FT_Face face = nullptr;
  int weight = 0;  // fontconfig weight
  int slant = 0;   // fontconfig slant
};

// Under font_lock(): the scalable face fontconfig chooses for `family` at an OpenType `weight`
// (100 to 900) and `italic`, preferring a font that can show every code point of `chars` (empty:
// no preference). The answer is remembered per request and the face opened once per font file.
// False when FreeType cannot start or nothing matches.
bool font_match(const char* family, int weight, bool italic, const std::vector<FT_ULong>& chars, MatchedFace* out);

}  // namespace kv::plat

#endif
