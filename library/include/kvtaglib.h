/*
 * kvtaglib.h - the label command library.
 *
 * An application opens a label printer by its spooler name, composes a label one command at a time
 * and prints it as one raw spooler job:
 *
 *     OpenPort("KIRV R5");
 *     ClearTmpFile();                  one job: the spool file in the current directory
 *     ... command functions ...        each appends one line to the spool file
 *     KV_WritePrinter();               the whole spool file goes to the printer as one job
 *     ClosePort();
 *
 * Every function answers with 0 or a negative error code of its own (below); GetErrState reports the
 * last code that was stored. The library keeps one connection per process and no locks: call it from
 * one thread at a time. Strings are zero-terminated bytes handed to the printer unchanged.
 */
#ifndef KVTAGLIB_H
#define KVTAGLIB_H

#define KVTAGLIB_VERSION "2.0.0.1"

/* KV_API(type) declares an export: its visibility and the calling convention of the platform
 * (__stdcall on Windows, where the names are exported undecorated through kvtaglib.def). */
#if defined(_WIN32)
#  define KV_CALL __stdcall
#  define KV_API(type) type KV_CALL
#else
#  define KV_CALL
#  define KV_API(type) __attribute__((visibility("default"))) type KV_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- error codes ---------------------------------------------------------------------------- */

#define KV_OK                      0
#define KV_ERR_PORT_CLOSED        (-1)    /* stored by ClosePort: the connection has been closed */

/* OpenPort */
#define KV_ERR_CMD_BUFFER         (-1019) /* no memory for the command buffer */
#define KV_ERR_SCRATCH_BUFFER     (-1021) /* no memory for the scratch buffer */
#define KV_ERR_OPEN_PRINTER       (-2992) /* the spooler refused to open the printer */
#define KV_ERR_ALREADY_OPEN       (-4000) /* a printer is already open */

/* SetPCComPort */
#define KV_ERR_COM_CLOSED         (-3249) /* no open printer to apply the settings to */
#define KV_ERR_COM_STATE          (-3100) /* the serial settings were refused */

/* Spool file: ClearTmpFile, KV_ClearBuffer and every appending function */
#define KV_ERR_TMP_CLOSED         (-3201) /* ClearTmpFile, KV_ClearBuffer: the connection is not open */
#define KV_ERR_TMP_CREATE         (-2899) /* the spool file cannot be created (or its name is too long) */
#define KV_ERR_TMP_WRITE          (-2898) /* fewer bytes reached the spool file than were to be written */
#define KV_ERR_CLEAR_WRITE        (-3047) /* KV_ClearBuffer: the "N" line could not be written */

/* Raw appenders: Pulse, OurSendFile, OurSendFileEx */
#define KV_ERR_RAW_CLOSED         (-1099) /* the connection is not open */
#define KV_ERR_PULSE_LENGTH       (-1100) /* Pulse: length above 10240 or negative, or no data */
#define KV_ERR_FILE_READ          (-1098) /* OurSendFile(Ex): the file failed while being read */
#define KV_ERR_FILE_OPEN          (-2222) /* OurSendFile(Ex): the file cannot be opened for reading */

/* Delivery: KV_WritePrinter */
#define KV_ERR_JOB_MEMORY         (-2891) /* no memory for the whole job; the connection has been closed */
#define KV_ERR_NO_PRINTER         (-2893) /* no printer is open */
#define KV_ERR_END_DOC            (-2894) /* the spooler refused to end the document */
#define KV_ERR_WRITE_DATA         (-2895) /* the spooler refused the data; the document was abandoned */
#define KV_ERR_START_DOC          (-2896) /* the spooler refused to start the document */
#define KV_ERR_TMP_READ           (-2897) /* the spool file could not be read back; nothing was sent */

/* ---- connection and error state ------------------------------------------------------------- */

/* Opens the connection: the work buffers and the printer of this spooler name. */
KV_API(int) OpenPort(const char *printer_name);

/* Closes the connection: frees the buffers, deletes the spool file, closes the printer. */
KV_API(void) ClosePort(void);

/* Opens the named printer alone (no buffers); returns its spooler handle, or null. */
KV_API(void *) KV_OpenPrinter(const char *printer_name);

/* Closes the open printer; non-zero when the spooler closed it, 0 when it refused. */
KV_API(int) KV_ClosePrinter(void);

/* Applies serial-line settings (baud rate; non-zero handshake selects hardware handshake). */
KV_API(int) SetPCComPort(unsigned int baud_rate, int handshake);

/* The last error code stored; 0 before any, -1 after ClosePort. */
KV_API(int) GetErrState(void);

/* ---- spool file, raw transfers and delivery ------------------------------------------------- */

/* Starts a job: creates or truncates the spool file "KIRVtemp.prn" in the current directory. */
KV_API(int) ClearTmpFile(void);

/* Starts a job whose first line is "N" (clear the printer's image buffer). */
KV_API(int) KV_ClearBuffer(void);

/* Appends `length` raw bytes (at most 10240) to the job. The third argument is not used. */
KV_API(int) Pulse(const char *data, int length, int unused);

/* Appends the whole file at `path` to the job. The second argument is not used. */
KV_API(int) OurSendFile(const char *path, int unused);

/* As OurSendFile; after each appended piece (at most 10240 bytes), unless window is (void *)-1,
 * adds the piece's length to *counter and asks the window to repaint. */
KV_API(int) OurSendFileEx(const char *path, int unused, void *window, int *counter);

/* Sends the whole spool file to the printer as one raw job, "My PrintJob". */
KV_API(int) KV_WritePrinter(void);

#if !defined(_WIN32)
/* ---- Linux only: the host program's handlers ----------------------------------------------- */

/* Shows a message of the library (UTF-8) to the user. */
typedef void (*KV_MessageHandler)(const char *text, void *user);
/* Repaints the window that was passed to OurSendFileEx. */
typedef void (*KV_RepaintHandler)(void *window, void *user);

/* Installs the host's handlers. Without a message handler, messages are lines on standard error;
 * without a repaint handler, OurSendFileEx repaints nothing. Null uninstalls. */
KV_API(void) KV_SetHostHandlers(KV_MessageHandler on_message, KV_RepaintHandler on_repaint, void *user);
#endif

#ifdef __cplusplus
}
#endif

#endif /* KVTAGLIB_H */
