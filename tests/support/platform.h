// What the platform under test does differently, and the set-up it needs: one definition per
// platform (platform_posix.cpp natively, platform_wine.cpp for the Windows build under Wine), chosen
// by CMake. Tests ask these facts instead of asking which platform they run on.
#ifndef KV_TESTS_PLATFORM_H
#define KV_TESTS_PLATFORM_H

#include <string>

namespace kvtest {

class PaintRecorder;

// The file name under which a program loads the shipped label library from its own directory.
extern const char kLabelLibraryFile[];

// A directory in which nothing can be created, whoever asks (the tests run as root, for whom a
// read-only directory's permission bits would not stop a creation).
extern const char kUnwritableDirectory[];

// Whether the spooler reports a stopped queue as off line.
extern const bool kStoppedQueueIsOffLine;

// Whether a queue that refuses jobs refuses them when the document starts (CUPS) rather than when
// it ends (Wine's spooler keeps the document itself and hands it to CUPS only at its end).
extern const bool kRefusalAtStartOfDocument;

// Whether abandoning a document really ends it (Wine's AbortPrinter does nothing: the document
// stays open on the printer handle, and the next one cannot start).
extern const bool kAbortEndsTheDocument;

// Whether the spooler lists the test queues under the printer names the tests give them only (Wine
// lists each CUPS queue under its queue name too, with the queue name as driver name).
extern const bool kPrintersListedByNameOnly;

// Whether the library's messages reach the host's handler (on Windows they go to the system's box,
// which a test must not open).
extern const bool kMessagesReachTheHost;

// Whether the library's paint requests reach the caller's window as window messages (Windows)
// rather than the host's repaint handler.
extern const bool kPaintsReachTheWindow;

// Whether the profile writer edits only its own line (Wine's writes the whole file anew from the
// entries it read: blank lines go and the spaces around "=" with them).
extern const bool kProfileWriterKeepsLayout;

// How far a text drawn turned may differ from the upright one turned afterwards: the share of
// differing pixels and the slack of the ink's box in dots (GDI draws turned text afresh from the
// outlines, so its pixels may differ a little at the edges).
extern const double kTurnedTextMismatch;
extern const int kTurnedTextSlack;

// A Chinese text (UTF-8) as the platform's text functions take it: UTF-8 itself, or code page 936
// on Windows; empty when the platform cannot take it (an ANSI code page other than 936).
std::string ChineseText(const char* utf8);

// Gives the spooler a printer of this name that prints through the CUPS queue `queue`, with the
// driver of that name, unless it has one already. Wine lists each CUPS queue under its queue name
// only and forgets printers of its own making whenever a process starts, so each test program adds
// them for itself; CUPS has its printers already.
void EnsurePrinter(const char* name, const char* queue, const char* driver);

// A window that reports each paint request to the recorder (Windows: a message-only window that
// receives WM_PAINT), or an opaque value that the host's repaint handler receives.
void* OpenPaintWindow(PaintRecorder* recorder);
void ClosePaintWindow(void* window);

}  // namespace kvtest

#endif
