// The demo's shipping label as a PDF: one 4 x 6 in page (288 x 432 pt) with text, boxes and a Code 128
// barcode drawn as vector rectangles, as a shipping system sends it to a label printer.
#ifndef KV_EXAMPLES_SHIPPING_LABEL_H
#define KV_EXAMPLES_SHIPPING_LABEL_H

#include <cstdint>
#include <string>
#include <vector>

namespace kv::examples {

// What the label's barcode holds.
inline constexpr const char* kShippingBarcode = "KV1Z48102957364";

// Writes the label's PDF into *pdf. False, with *error, when cairo, the fonts or the barcode encoder fail.
bool MakeShippingLabelPdf(std::vector<std::uint8_t>* pdf, std::string* error);

}  // namespace kv::examples

#endif
