// The tests' platform facts natively: CUPS through libcups, POSIX files, FreeType.
#include "platform.h"

namespace kvtest {

const char kLabelLibraryFile[] = "./libkvtaglib.so.1";
const char kUnwritableDirectory[] = "/proc";
const bool kStoppedQueueIsOffLine = true;
const bool kRefusalAtStartOfDocument = true;
const bool kAbortEndsTheDocument = true;
const bool kPrintersListedByNameOnly = true;
const bool kMessagesReachTheHost = true;
const bool kPaintsReachTheWindow = false;
const bool kProfileWriterKeepsLayout = true;
const double kTurnedTextMismatch = 0.0;
const int kTurnedTextSlack = 0;

std::string ChineseText(const char* utf8) { return utf8; }

void EnsurePrinter(const char*, const char*, const char*) {}

void* OpenPaintWindow(PaintRecorder* recorder) { return recorder; }

void ClosePaintWindow(void*) {}

}  // namespace kvtest
