// kv_render_icon SIZE FILE: writes the tool's icon, drawn by the artwork code at SIZE pixels square, as a PNG
// file, so that the icons the packages install are the very pixels the dialog shows.
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/artwork.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kv_render_icon SIZE FILE.png\n");
    return 2;
  }
  char* end = nullptr;
  const long size = std::strtol(argv[1], &end, 10);
  if (end == argv[1] || *end != '\0' || size < 1 || size > 1024) {
    std::fprintf(stderr, "kv_render_icon: the size must be 1 to 1024 pixels, not \"%s\"\n", argv[1]);
    return 2;
  }
  const kv::tool::Picture picture = kv::tool::IconPicture(static_cast<int>(size));
  // Qt's ARGB32 pixel is the artwork's: one 32-bit 0xAARRGGBB value per pixel, rows top first.
  const QImage image(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width, picture.height,
                     picture.width * 4, QImage::Format_ARGB32);
  if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "kv_render_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
