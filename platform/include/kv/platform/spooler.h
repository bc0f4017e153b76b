// The print spooler: a printer opened by name, one document of one page, written in raw bytes.
// Each call is one spooler call of the system (winspool, or its counterpart in CUPS).
#ifndef KV_PLATFORM_SPOOLER_H
#define KV_PLATFORM_SPOOLER_H

#include <cstddef>

namespace kv::plat {

// An open printer; null when none.
using SpoolHandle = void*;

// Opens the printer of this name with default access and settings; null when the spooler refuses.
SpoolHandle spool_open(const char* printer_name);

// Closes an open printer. False when the spooler refuses (a null handle, for example).
bool spool_close(SpoolHandle printer);

// Starts a document of the given name and data type ("RAW": the bytes go to the printer unchanged).
bool spool_start_doc(SpoolHandle printer, const char* doc_name, const char* data_type);

// Starts and ends a page of the current document.
bool spool_start_page(SpoolHandle printer);
bool spool_end_page(SpoolHandle printer);

// Hands len bytes of the document to the spooler. False when the spooler refuses them.
bool spool_write(SpoolHandle printer, const void* data, std::size_t len);

// Ends the document: the spooler owns the job from here on.
bool spool_end_doc(SpoolHandle printer);

// Abandons the current document: the spooler discards what it has of it.
bool spool_abort_doc(SpoolHandle printer);

// The caller's codes for the ways spool_send_raw can fail.
struct SendCodes {
  int no_printer;  // the printer handle was null
  int start_doc;   // the document could not be started
  int write;       // the bytes were refused; the document was abandoned
  int end_doc;     // the document could not be ended
};

// Sends `len` bytes to an open printer as one document of one page, in data type "RAW": start the
// document, start the page, write the bytes in one call, end the page, end the document. Refused
// bytes abandon the started document rather than leave it open on the printer. The printer stays
// open. Returns 0 when the spooler owns the document, else the caller's code for what failed.
int spool_send_raw(SpoolHandle printer, const char* doc_name, const void* data, std::size_t len,
                   const SendCodes& codes);

// True when spool_open reaches a printer of this name directly, without the spooler (a raw TCP port
// or a device file; Linux only).
bool spool_is_direct_name(const char* printer_name);

}  // namespace kv::plat

#endif
