// What the platform under test does differently, and the set-up it needs (platform_posix.cpp natively,
// platform_wine.cpp under Wine): tests ask these facts instead of asking which platform they run on.
#ifndef KV_TESTS_PLATFORM_H
#define KV_TESTS_PLATFORM_H

#include <string>

namespace kvtest {

class PaintRecorder;

// The file name under which a program loads the shipped label library from its own directory.
extern const char kLabelLibraryFile[];

// A directory in which nothing can be created, whoever asks (permission bits do not stop root).
extern const char kUnwritableDirectory[];

// Whether the spooler reports a stopped queue as off line.
extern const bool kStoppedQueueIsOffLine;

// Whether a refusing queue refuses a job when the document starts (CUPS), not when it ends (Wine's spooler
// hands the document to CUPS only at its end).
extern const bool kRefusalAtStartOfDocument;

// Whether abandoning a document ends it (Wine's AbortPrinter leaves it open, and the next one cannot start).
extern const bool kAbortEndsTheDocument;

// Whether the spooler lists the test queues under the tests' printer names only (Wine lists each CUPS queue
// under its queue name too).
extern const bool kPrintersListedByNameOnly;

// Whether the library's messages reach the host's handler (on Windows they go to the system's message box).
extern const bool kMessagesReachTheHost;

// Whether paint requests reach the caller's window as window messages (Windows), not the repaint handler.
extern const bool kPaintsReachTheWindow;

// Whether the profile writer edits only its own line (Wine's writes the file anew, without blank lines and
// the spaces around "=").
extern const bool kProfileWriterKeepsLayout;

// How far a text drawn turned may differ from the upright one turned afterwards: the share of differing pixels
// and the slack of the ink's box in dots (GDI draws turned text afresh from the outlines).
extern const double kTurnedTextMismatch;
extern const int kTurnedTextSlack;

// A Chinese text (UTF-8) as the platform's text functions take it: UTF-8, or code page 936 on Windows; empty
// when the platform cannot take it (another ANSI code page).
std::string ChineseText(const char* utf8);

// Gives the spooler a printer of this name printing through the CUPS queue `queue` with that driver, unless it
// has one (Wine forgets printers of its own making whenever a process starts; CUPS has its printers already).
void EnsurePrinter(const char* name, const char* queue, const char* driver);

// A window that reports each paint request to the recorder (Windows: a message-only window receiving
// WM_PAINT), or an opaque value that the host's repaint handler receives.
void* OpenPaintWindow(PaintRecorder* recorder);
void ClosePaintWindow(void* window);

}  // namespace kvtest

#endif
