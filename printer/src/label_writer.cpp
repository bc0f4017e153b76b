#include "label_writer.h"

#include <algorithm>

#include "kv/models.h"

namespace kv::printer {

namespace {

// The widest print head of the table of models: no label is wider than that.
constexpr int WidestHead() {
  int widest = 0;
  for (const Model& model : kModels) widest = std::max(widest, model.print_width);
  return widest;
}

}  // namespace

int GapDots(int dpi) { return (dpi * 3 * 100 + 1270) / 2540; }  // 3 mm, rounded

bool LabelWriter::Put(const void* data, std::size_t size) {
  if (!sink_(data, size)) {
    error_ = "the printer took no more data";
    return false;
  }
  return true;
}

bool LabelWriter::Begin(const LabelSettings& s) {
  error_.clear();
  open_ = false;
  if (s.dpi != 203 && s.dpi != 300) {
    error_ = "resolution " + std::to_string(s.dpi) + " dpi is neither 203 nor 300";
  } else if (s.width < 1 || s.width > WidestHead()) {
    error_ = "label width " + std::to_string(s.width) + " dots is outside 1 to " + std::to_string(WidestHead());
  } else if (s.length < 1 || s.length > 65535) {
    error_ = "label length " + std::to_string(s.length) + " dots is outside 1 to 65535";
  } else if (s.darkness < -1 || s.darkness > kMaxDarkness || s.speed < 0 || s.speed > kMaxSpeed) {
    error_ = "darkness or speed out of range";
  } else if (s.copies < 1 || s.copies > kMaxCopies) {
    error_ = "copies " + std::to_string(s.copies) + " is outside 1 to " + std::to_string(kMaxCopies);
  }
  if (!error_.empty()) return false;
  settings_ = s;
  row_ = band_top_ = band_rows_ = 0;
  row_bytes_ = static_cast<std::size_t>(s.width + 7) / 8;
  band_.clear();
  band_.reserve(std::min(kBandBytes, row_bytes_ * static_cast<std::size_t>(s.length)));
  bits_.assign(row_bytes_, 0xff);
  if (s.halftone == Halftone::kDiffusion) {
    error_this_.assign(static_cast<std::size_t>(s.width) + 2, 0);
    error_next_.assign(static_cast<std::size_t>(s.width) + 2, 0);
  }
  // A new label image, its size, then what the job asks of the print head.
  std::string head = "N\r\nq" + std::to_string(s.width) + "\r\nQ" + std::to_string(s.length) + ",";
  switch (s.tracking) {
    case Tracking::kGap:
      head += std::to_string(GapDots(s.dpi));
      break;
    case Tracking::kMark:
      head += "B" + std::to_string(GapDots(s.dpi));
      break;
    case Tracking::kContinuous:
      head += "0";
      break;
  }
  head += "\r\n";
  if (s.darkness >= 0) head += "H" + std::to_string(s.darkness) + "\r\n";
  if (s.speed > 0) head += "S" + std::to_string(s.speed) + "\r\n";
  open_ = Put(head);
  return open_;
}

bool LabelWriter::AddRow(const std::uint8_t* grey) {
  if (!open_) return false;
  if (row_ >= settings_.length) return true;
  const int width = settings_.width;
  std::fill(bits_.begin(), bits_.end(), 0xff);
  bool black = false;
  if (settings_.halftone == Halftone::kThreshold) {
    for (int x = 0; x < width; ++x)
      if (grey[x] < 128) {
        bits_[static_cast<std::size_t>(x) >> 3] &= static_cast<std::uint8_t>(~(0x80 >> (x & 7)));
        black = true;
      }
  } else {
    // Floyd and Steinberg: each dot's error goes 7/16 right, 3/16 down left, 5/16 down, 1/16 down right.
    // The rows carry one spare entry on each side, so that the edges need no test.
    std::swap(error_this_, error_next_);
    std::fill(error_next_.begin(), error_next_.end(), 0);
    for (int x = 0; x < width; ++x) {
      const int want = grey[x] + error_this_[static_cast<std::size_t>(x) + 1] / 16;
      const int got = want < 128 ? 0 : 255;
      const int owed = want - got;
      error_this_[static_cast<std::size_t>(x) + 2] += owed * 7;
      error_next_[static_cast<std::size_t>(x)] += owed * 3;
      error_next_[static_cast<std::size_t>(x) + 1] += owed * 5;
      error_next_[static_cast<std::size_t>(x) + 2] += owed;
      if (got == 0) {
        bits_[static_cast<std::size_t>(x) >> 3] &= static_cast<std::uint8_t>(~(0x80 >> (x & 7)));
        black = true;
      }
    }
  }
  const int row = row_++;
  if (!black) return FlushBand();  // a blank row ends the band: the label starts blank
  if (band_rows_ == 0) band_top_ = row;
  band_.insert(band_.end(), bits_.begin(), bits_.end());
  ++band_rows_;
  if (band_.size() + row_bytes_ > kBandBytes) return FlushBand();
  return true;
}

bool LabelWriter::FlushBand() {
  if (band_rows_ == 0) return true;
  const std::string line =
      "GW0," + std::to_string(band_top_) + "," + std::to_string(row_bytes_) + "," + std::to_string(band_rows_);
  const bool ok = Put(line) && Put(band_.data(), band_.size()) && Put("\r\n", 2);
  band_.clear();
  band_rows_ = 0;
  if (!ok) open_ = false;
  return ok;
}

bool LabelWriter::End() {
  if (!open_) return false;
  open_ = false;
  return FlushBand() && Put("W1," + std::to_string(settings_.copies) + "\r\n");
}

}  // namespace kv::printer
