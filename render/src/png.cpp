#include "kv/render/png.h"

#include <png.h>

#include <vector>

namespace kv::render {

namespace {

void OnPngError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error != nullptr) *error = message;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// The libpng part of writing: only plain values live in this frame, so that a long jump out of libpng
// cannot leave one half-changed. `row` holds one row of the image.
bool WriteRows(std::FILE* out, const Bitmap& image, int dpi, png_byte* row, std::string* error,
               const std::atomic<bool>* stop) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, OnPngError, OnPngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, out);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()), 1,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const png_uint_32 per_metre = dpi == 300 ? 12000 : 8000;  // 12 and 8 dots per millimetre
  png_set_pHYs(png, info, per_metre, per_metre, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < image.height(); ++y) {
    if (stop != nullptr && y % 64 == 0 && stop->load(std::memory_order_relaxed)) {
      *error = "stopped";
      png_destroy_write_struct(&png, &info);
      return false;
    }
    // PNG's grey 0 is black; the image's set bit is a black dot, so each row goes out inverted.
    const std::uint8_t* src = image.row(y);
    for (std::size_t i = 0; i < image.stride(); ++i) row[i] = static_cast<png_byte>(~src[i]);
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Reads the horizontal pHYs value of a PNG file in dots per metre; 0 when there is none.
png_uint_32 ReadDotsPerMetre(std::FILE* f) {
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = p != nullptr ? png_create_info_struct(p) : nullptr;
  png_uint_32 xr = 0, yr = 0;
  int unit = 0;
  if (info != nullptr && !setjmp(png_jmpbuf(p))) {
    png_init_io(p, f);
    png_read_info(p, info);
    if (png_get_pHYs(p, info, &xr, &yr, &unit) == 0 || unit != PNG_RESOLUTION_METER) xr = 0;
  }
  png_destroy_read_struct(&p, &info, nullptr);
  return xr;
}

}  // namespace

bool WritePng(std::FILE* out, const Bitmap& image, int dpi, std::string& error, const std::atomic<bool>* stop) {
  error.clear();
  if (out == nullptr || image.empty()) {
    error = "nothing to write";
    return false;
  }
  std::vector<png_byte> row(image.stride());
  if (!WriteRows(out, image, dpi, row.data(), &error, stop)) {
    if (error.empty()) error = "PNG writer failed";
    return false;
  }
  if (std::fflush(out) != 0 || std::ferror(out)) {
    error = "the PNG file could not be written";
    return false;
  }
  return true;
}

bool ReadPng(const std::string& path, Bitmap& image, int max_side, unsigned* dots_per_metre) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  if (png.width < 1 || png.height < 1 || png.width > static_cast<png_uint_32>(max_side) ||
      png.height > static_cast<png_uint_32>(max_side)) {
    png_image_free(&png);
    return false;
  }
  png.format = PNG_FORMAT_GRAY;
  std::vector<png_byte> grey(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, grey.data(), 0, nullptr)) return false;
  if (!image.Reset(static_cast<int>(png.width), static_cast<int>(png.height), max_side)) return false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (grey[static_cast<std::size_t>(y) * png.width + static_cast<std::size_t>(x)] < 128) image.SetBlack(x, y);
  if (dots_per_metre != nullptr) {
    // The simplified reader does not give pHYs; the full reader does.
    *dots_per_metre = 0;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
      *dots_per_metre = ReadDotsPerMetre(f);
      std::fclose(f);
    }
  }
  return true;
}

}  // namespace kv::render
