// The KIRV printer models the kit knows, in one table: the printer descriptions (made from it at build
// time), the parameter tool's resolution rule, the job renderer's default label and the printer
// application's drivers all read it. Plain C++17, no system header: the Windows build includes it too.
//
// data/make_ppd.py and data/CMakeLists.txt read the rows of kModels as text: {"name", dpi, print width}.
#ifndef KV_MODELS_H
#define KV_MODELS_H

namespace kv {

struct Model {
  const char* name;  // as the printer reports it and a spooler's driver or printer name carries it
  int dpi;           // 203 (the 200-DPI class, 8 dots a millimetre) or 300 (12 dots a millimetre)
  int print_width;   // dots across the print head: the widest label the model prints
};

// The 203 dpi model first, then the 300 dpi models in the order the tool searches a printer name for them.
// clang-format off
inline constexpr Model kModels[] = {
    {"KIRV R5", 203, 864},
    {"KIRV R5i", 300, 1248},
    {"KIRV R500i", 300, 1248},
    {"KIRV 20i", 300, 1248},
    {"KIRV 26i", 300, 1248},
    {"KIRV Tallmir 7i", 300, 1248},
    {"KIRV QNB 815TS", 300, 1248},
    {"pilto 417", 300, 1248},
    {"Tallmir 7i", 300, 1248},
};
// clang-format on

// Dots for a length in thousandths of an inch at a resolution, rounded down as a print head counts them
// (4 in at 203 dpi: 812 dots).
constexpr int DotsOfMils(int dpi, int mils) { return static_cast<int>(static_cast<long long>(dpi) * mils / 1000); }

// The label a printer assumes until a job sets its size: 4 x 6 inches, the common shipping label.
constexpr int DefaultLabelWidth(int dpi) { return DotsOfMils(dpi, 4000); }
constexpr int DefaultLabelLength(int dpi) { return DotsOfMils(dpi, 6000); }

}  // namespace kv

#endif
