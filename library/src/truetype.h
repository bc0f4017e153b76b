// Where TrueType text goes in its image.
#ifndef KV_LIBRARY_TRUETYPE_H
#define KV_LIBRARY_TRUETYPE_H

#include <cstdint>

namespace kv {

// The image for a text measured cx by cy dots, turned by an orientation (2, 3, 4: 90, 180, 270
// degrees counter-clockwise; anything else upright): both sizes rounded up to multiples of 32, the
// text against two edges and the rounding margin on the opposite sides.
struct TextPlacement {
  int escapement;     // tenths of a degree
  int width, height;  // of the image
  int x, y;           // the text's reference point in the image
};

inline int RoundUp32(int v) { return static_cast<int>((static_cast<std::int64_t>(v) + 31) / 32 * 32); }

inline TextPlacement PlaceText(int orientation, int cx, int cy) {
  const int w = RoundUp32(cx), h = RoundUp32(cy);
  switch (orientation) {
    case 2:
      return {900, h, w, 0, w};
    case 3:
      return {1800, w, h, w, h};
    case 4:
      return {2700, h, w, h, 0};
    default:
      return {0, w, h, 0, 0};
  }
}

}  // namespace kv

#endif
