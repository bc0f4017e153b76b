// From grey pictures to a label in the printer's command language: the label's size, darkness, speed and
// media from the job's options, the picture as raw bitmap lines (GW) in bands of bounded size, one label a
// page. No PAPPL in here: the printer application feeds it rows, the tests feed it directly.
#ifndef KV_PRINTER_LABEL_WRITER_H
#define KV_PRINTER_LABEL_WRITER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv::printer {

// How the label stock is told apart: gaps between labels, black marks on the back, or one continuous web.
enum class Tracking { kGap, kMark, kContinuous };

// Grey to one bit: a plain threshold keeps bars and text edges sharp (a scanner reads the barcode); error
// diffusion keeps the tones of a photograph.
enum class Halftone { kThreshold, kDiffusion };

struct LabelSettings {
  int dpi = 203;
  int width = 812;    // dots across: the label width (q), at most the model's print width
  int length = 1218;  // dots down: the label length (Q)
  Tracking tracking = Tracking::kGap;
  int darkness = -1;  // the printer's darkness level (H), 0 to kMaxDarkness; -1: the printer's own
  int speed = 0;      // inches a second (S), 1 to kMaxSpeed; 0: the printer's own
  int copies = 1;     // printed of each label (W1,copies)
  Halftone halftone = Halftone::kThreshold;
};

inline constexpr int kMaxDarkness = 20;  // the printer's darkness levels are 0 to 20
inline constexpr int kMaxSpeed = 15;     // and its speeds 1 to 15 inches a second
inline constexpr int kMaxCopies = 65535;
// A bitmap band carries at most this many bytes of dots: bounded memory here and in the printer.
inline constexpr std::size_t kBandBytes = 32 * 1024;

// The gap (or mark) between labels that the label length line announces: 3 mm in dots.
int GapDots(int dpi);

// Receives the command bytes as they are made; false stops the label (the printer went away).
using ByteSink = std::function<bool(const void* data, std::size_t size)>;

// One label at a time: Begin, then the rows of the label top first, then End. Rows are grey, one byte a
// dot (0 black .. 255 white), exactly `width` dots each. Blank rows cost nothing; runs of rows with black
// dots go out as GW bands of at most kBandBytes.
class LabelWriter {
 public:
  explicit LabelWriter(ByteSink sink) : sink_(std::move(sink)) {}

  // Starts a label: the size, darkness and speed lines. False when the settings are out of range (the
  // reason in error()) or the sink refused.
  bool Begin(const LabelSettings& settings);
  // One row of `settings.width` grey dots. Rows past the label's length are dropped.
  bool AddRow(const std::uint8_t* grey);
  // Rows not given are blank; prints the label.
  bool End();

  const std::string& error() const { return error_; }

 private:
  bool FlushBand();
  bool Put(const std::string& text) { return Put(text.data(), text.size()); }
  bool Put(const void* data, std::size_t size);

  ByteSink sink_;
  LabelSettings settings_;
  std::string error_;
  int row_ = 0;                               // rows of the label given so far
  int band_top_ = 0;                          // the label row of the band's first row
  int band_rows_ = 0;                         // rows in the band
  std::size_t row_bytes_ = 0;                 // bytes of one bitmap row
  std::vector<std::uint8_t> band_;            // the band's bitmap rows
  std::vector<std::uint8_t> bits_;            // the row being packed
  std::vector<int> error_this_, error_next_;  // error diffusion: what each dot of this and the next row owes
  bool open_ = false;
};

}  // namespace kv::printer

#endif
