// TrueType text as a graphic: the text drawn at the resolution of a reference label printer into a
// one-bit image, downloaded as a PCX graphic under the caller's name and placed on the label.
#include <cstdint>
#include <cstring>

#include "compose.h"
#include "connection.h"
#include "kv/platform/memory.h"
#include "kv/platform/text_raster.h"
#include "kvtaglib.h"
#include "pcx.h"
#include "truetype.h"

namespace kv {

namespace {

// The printers whose resolution the image is made for, in the order they are tried.
constexpr const char* kReferencePrinters[] = {"KIRV R5", "KIRV R5i"};

// The PCX header holds the image's last column and row in 16 bits each.
constexpr int kLargestPcxSide = 65536;

}  // namespace

}  // namespace kv

using namespace kv;

KV_API(int)
KV_DrawTextTrueTypeW(int x, int y, int height, int width, const char* face, int orientation, int weight, int italic,
                     int underline, int strike_out, const char* name, const char* text) {
  if (CannotCompose()) return KV_ERR_TRUETYPE_CLOSED;
  // An empty text makes no image; a graphic without a usable name could be neither deleted nor placed.
  if (text == nullptr || text[0] == '\0' || face == nullptr || !IsStoredName(name))
    return SetErrState(KV_ERR_TRUETYPE_CHECK);

  const TextPlacement upright = PlaceText(orientation, 0, 0);
  const plat::FontSpec font = {
      height, width, face, upright.escapement, weight > 0 ? weight : 400, italic != 0, underline != 0, strike_out != 0};
  plat::TextRaster* raster = nullptr;
  for (const char* printer : kReferencePrinters)
    if ((raster = plat::raster_open(printer, font, text)) != nullptr) break;
  if (raster == nullptr) return SetErrState(KV_ERR_TRUETYPE_NO_PRINTER);

  int cx = 0, cy = 0;
  if (!plat::raster_measure(raster, text, &cx, &cy) || cx <= 0 || cy <= 0) {
    plat::raster_close(raster);
    return SetErrState(cx == 0 && cy > 0 ? KV_ERR_TRUETYPE_CHECK : KV_ERR_TRUETYPE_NO_SURFACE);
  }
  const TextPlacement p = PlaceText(orientation, cx, cy);
  if (p.width > kLargestPcxSide || p.height > kLargestPcxSide) {  // no header could describe the image
    plat::raster_close(raster);
    return SetErrState(KV_ERR_TRUETYPE_CHECK);
  }
  const std::uint64_t bytes = static_cast<std::uint64_t>(p.width) / 8 * static_cast<std::uint64_t>(p.height);
  unsigned char* bits =
      bytes <= SIZE_MAX ? static_cast<unsigned char*>(plat::mem_alloc(static_cast<std::size_t>(bytes))) : nullptr;
  if (bits == nullptr) {
    plat::raster_close(raster);
    return SetErrState(KV_ERR_TRUETYPE_NO_MEMORY);
  }
  std::memset(bits, 0xFF, static_cast<std::size_t>(bytes));
  int rc;
  const plat::DrawResult drawn = plat::raster_draw(raster, text, p.width, p.height, p.x, p.y, bits);
  if (drawn != plat::DrawResult::Drawn) {
    rc = SetErrState(drawn == plat::DrawResult::NoMemory ? KV_ERR_TRUETYPE_NO_MEMORY : KV_ERR_TRUETYPE_NO_SURFACE);
  } else {
    rc = DownloadBitsAsPcx(ImageDesc{p.width, p.height, 1}, bits, name);
    SetErrState(rc);
    // A placement that could not be appended leaves a label without the text: that is a failure too.
    if (rc == KV_OK) rc = KV_DrawPcxGraphics(x, y, name);
  }
  plat::mem_free(bits);
  plat::raster_close(raster);
  return rc;
}
