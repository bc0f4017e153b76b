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
#  define KV_CALL      __stdcall
#  define KV_API(type) type KV_CALL
#else
#  define KV_CALL
#  define KV_API(type) __attribute__((visibility("default"))) type KV_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- error codes ---------------------------------------------------------------------------- */
/* clang-format off */

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

/* Label command builders: each has a code for a closed connection (returned, never stored), a code
 * for a failed spool-file write (stored and returned) and, where it checks its arguments, a check code
 * (stored and returned). KV_CutPage and KV_CutPageTmp share theirs. */
#define KV_ERR_SET_DARKNESS_CLOSED          (-3239)
#define KV_ERR_SET_DARKNESS_WRITE           (-3012)
#define KV_ERR_SOFT_FONT_LIST_CLOSED        (-3246)
#define KV_ERR_SOFT_FONT_LIST_WRITE         (-3014)
#define KV_ERR_SOFT_FONT_DEL_CLOSED         (-3245)
#define KV_ERR_SOFT_FONT_DEL_WRITE          (-3016)
#define KV_ERR_SOFT_FONT_DEL_CHECK          (-3015)
#define KV_ERR_FORM_END_CLOSED              (-3225)
#define KV_ERR_FORM_END_WRITE               (-3017)
#define KV_ERR_FORM_LIST_CLOSED             (-3226)
#define KV_ERR_FORM_LIST_WRITE              (-3018)
#define KV_ERR_FORM_DEL_CLOSED              (-3223)
#define KV_ERR_FORM_DEL_WRITE               (-3021)
#define KV_ERR_FORM_DEL_CHECK               (-3020)
#define KV_ERR_EXEC_FORM_CLOSED             (-3222)
#define KV_ERR_EXEC_FORM_WRITE              (-3024)
#define KV_ERR_EXEC_FORM_CHECK              (-3023)
#define KV_ERR_FORM_DOWNLOAD_CLOSED         (-3224)
#define KV_ERR_FORM_DOWNLOAD_WRITE          (-3027)
#define KV_ERR_FORM_DOWNLOAD_CHECK          (-3026)
#define KV_ERR_DISABLE_BACK_FEED_CLOSED     (-3204)
#define KV_ERR_DISABLE_BACK_FEED_WRITE      (-3041)
#define KV_ERR_ENABLE_BACK_FEED_CLOSED      (-3219)
#define KV_ERR_ENABLE_BACK_FEED_WRITE       (-3042)
#define KV_ERR_DRAW_LINE_XOR_CLOSED         (-3212)
#define KV_ERR_DRAW_LINE_XOR_WRITE          (-3043)
#define KV_ERR_DRAW_LINE_OR_CLOSED          (-3211)
#define KV_ERR_DRAW_LINE_OR_WRITE           (-3044)
#define KV_ERR_DRAW_DIAGONAL_CLOSED         (-3210)
#define KV_ERR_DRAW_DIAGONAL_WRITE          (-3045)
#define KV_ERR_DRAW_WHITE_LINE_CLOSED       (-3217)
#define KV_ERR_DRAW_WHITE_LINE_WRITE        (-3046)
#define KV_ERR_SET_PRINTER_STATE_CLOSED     (-3243)
#define KV_ERR_SET_PRINTER_STATE_WRITE      (-3048)
#define KV_ERR_PRINT_LABEL_CLOSED           (-3234)
#define KV_ERR_PRINT_LABEL_WRITE            (-3050)
#define KV_ERR_PRINT_LABEL_CHECK            (-3051)
#define KV_ERR_PRINT_LABEL_AUTO_CLOSED      (-3235)
#define KV_ERR_PRINT_LABEL_AUTO_WRITE       (-3052)
#define KV_ERR_PRINT_LABEL_AUTO_CHECK       (-3053)
#define KV_ERR_SET_LABEL_HEIGHT_CLOSED      (-3241)
#define KV_ERR_SET_LABEL_HEIGHT_WRITE       (-3054)
#define KV_ERR_SET_LABEL_HEIGHT_CHECK       (-3058)
#define KV_ERR_SET_LABEL_WIDTH_CLOSED       (-3242)
#define KV_ERR_SET_LABEL_WIDTH_WRITE        (-3055)
#define KV_ERR_SET_COORDINATE_ORIGIN_CLOSED (-3238)
#define KV_ERR_SET_COORDINATE_ORIGIN_WRITE  (-3056)
#define KV_ERR_SET_PRINT_SPEED_CLOSED       (-3244)
#define KV_ERR_SET_PRINT_SPEED_WRITE        (-3057)
#define KV_ERR_PRINT_CONFIGUNATION_CLOSED   (-3231)
#define KV_ERR_PRINT_CONFIGUNATION_WRITE    (-3059)
#define KV_ERR_DISABLE_ERROR_REPORT_CLOSED  (-3205)
#define KV_ERR_DISABLE_ERROR_REPORT_WRITE   (-3060)
#define KV_ERR_ENABLE_ERROR_REPORT_CLOSED   (-3220)
#define KV_ERR_ENABLE_ERROR_REPORT_WRITE    (-3061)
#define KV_ERR_DRAW_RECTANGLE_CLOSED        (-3214)
#define KV_ERR_DRAW_RECTANGLE_WRITE         (-3065)
#define KV_ERR_SET_DIRECTION_CLOSED         (-3240)
#define KV_ERR_SET_DIRECTION_WRITE          (-3068)
#define KV_ERR_ENABLE_FLASH_CLOSED          (-3221)
#define KV_ERR_ENABLE_FLASH_WRITE           (-3070)
#define KV_ERR_DISABLE_FLASH_CLOSED         (-3206)
#define KV_ERR_DISABLE_FLASH_WRITE          (-3071)
#define KV_ERR_DOWNLOAD_CLOSED              (-3207)
#define KV_ERR_DOWNLOAD_WRITE               (-3072)
#define KV_ERR_RESET_CLOSED                 (-3237)
#define KV_ERR_RESET_WRITE                  (-3073)
#define KV_ERR_FEED_BACK_CLOSED             (-3200)
#define KV_ERR_FEED_BACK_WRITE              (-3074)
#define KV_ERR_CUT_CLOSED                   (-3250)
#define KV_ERR_CUT_WRITE                    (-3101)

/* Text, barcode and field commands */
#define KV_ERR_GET_INFO_CLOSED              (-3227)
#define KV_ERR_GET_INFO_WRITE               (-3001)
#define KV_ERR_DRAW_TEXT_CLOSED             (-3215)
#define KV_ERR_DRAW_TEXT_WRITE              (-3002)
#define KV_ERR_DRAW_TEXT_CHECK              (-3003)
#define KV_ERR_DRAW_BARCODE_CLOSED          (-3208)
#define KV_ERR_DRAW_BARCODE_WRITE           (-3008)
#define KV_ERR_DRAW_BARCODE_CHECK           (-3009)
#define KV_ERR_PDF417_CHECK                 (-3250) /* also returned, unstored, when no connection is open */
#define KV_ERR_PDF417_WRITE                 (-3008)
#define KV_ERR_DEFINE_COUNTER_CLOSED        (-3202)
#define KV_ERR_DEFINE_COUNTER_WRITE         (-3010)
#define KV_ERR_DEFINE_COUNTER_CHECK         (-3011)
#define KV_ERR_DEFINE_VARIABLE_CLOSED       (-3203)
#define KV_ERR_DEFINE_VARIABLE_WRITE        (-3062)
#define KV_ERR_DEFINE_VARIABLE_CHECK        (-3064)

/* Graphics stored in the printer by name (1 to 16 characters), and bitmaps */
#define KV_ERR_PCX_PLACE_CLOSED             (-3213)
#define KV_ERR_PCX_PLACE_CHECK              (-3029) /* graphic name missing, empty or over 16 characters */
#define KV_ERR_PCX_PLACE_WRITE              (-3030)
#define KV_ERR_PCX_LIST_CLOSED              (-3230)
#define KV_ERR_PCX_LIST_WRITE               (-3031)
#define KV_ERR_PCX_DEL_CLOSED               (-3228)
#define KV_ERR_PCX_DEL_CHECK                (-3033) /* graphic name missing, empty or over 16 characters */
#define KV_ERR_PCX_DEL_WRITE                (-3034)
#define KV_ERR_PCX_DOWNLOAD_CLOSED          (-3229)
#define KV_ERR_PCX_DOWNLOAD_CHECK           (-3040) /* graphic name missing, empty or over 16 characters */
#define KV_ERR_PCX_DOWNLOAD_OPEN            (-3036) /* the file cannot be opened or read (or is over 2 GB) */
#define KV_ERR_PCX_DOWNLOAD_WRITE           (-3037)
#define KV_ERR_BIN_GRAPHICS_CLOSED          (-3209)
#define KV_ERR_BIN_GRAPHICS_CHECK           (-3038) /* negative sizes, a size over 2 GB, or no data */
#define KV_ERR_BIN_GRAPHICS_WRITE           (-3038) /* the command line could not be written */
#define KV_ERR_BIN_GRAPHICS_DATA_WRITE      (-3039) /* the image data could not be written */
#define KV_ERR_PRINT_PCX_CLOSED             (-3236)
#define KV_ERR_PRINT_PCX_FAILED             (-3080) /* deleting, downloading or placing failed */

/* TrueType text as a graphic */
#define KV_ERR_TRUETYPE_CLOSED              (-3216)
#define KV_ERR_TRUETYPE_CHECK               (-3083) /* text empty or missing; face or graphic name unusable */
#define KV_ERR_TRUETYPE_NO_PRINTER          (-3081) /* neither reference printer "KIRV R5" nor "KIRV R5i" */
#define KV_ERR_TRUETYPE_NO_MEMORY           (-3082) /* no memory for the image */
#define KV_ERR_TRUETYPE_NO_SURFACE          (-3084) /* no drawing surface for the text could be made */
#define KV_ERR_PCX_HEADER_MEMORY            (-3075)
#define KV_ERR_PCX_ROW_MEMORY               (-3076)
#define KV_ERR_PCX_FILE                     (-3078) /* the work file "KIRV.pcx" cannot be created or written */
#define KV_ERR_PCX_ROW_TOO_LONG             (-3079) /* an encoded row needs more than 1024 bytes */

/* ChangeCopies: the print file is never left half rewritten; on every failure it is unchanged. */
#define KV_ERR_COPIES_CLOSED                (-1099) /* no open printer */
#define KV_ERR_COPIES_OPEN                  (-2222) /* the print file cannot be opened for reading */
#define KV_ERR_COPIES_WORK_FILE             (-2223) /* the work file "PrnTmp" cannot be created */
#define KV_ERR_COPIES_NO_BD                 (-1100) /* the file does not begin with "#BD#" */
#define KV_ERR_COPIES_NO_CP                 (-1101) /* "#BD#" is not followed by "#CP#" */
#define KV_ERR_COPIES_TRUNCATED             (-1097) /* the file ends inside the count or right after "#CP#" */
#define KV_ERR_COPIES_COUNT_TOO_LONG        (-1096) /* the old count has 10240 digits or more */
#define KV_ERR_COPIES_READ                  (-1095) /* the print file failed while being read */
#define KV_ERR_COPIES_WRITE                 (-1094) /* the work file could not be written */
#define KV_ERR_COPIES_REPLACE               (-1093) /* the rewritten copy could not take the file's place */
#define KV_ERR_COPIES_NOT_PLAIN             (-1092) /* a link, FIFO, device or folder: left as it is */

/* clang-format on */

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

/* ---- label commands of fixed form: each appends one line, ended by CR LF -------------------- */

/* Sets the print darkness: "H%d". */
KV_API(int) KV_SetDarkness(int darkness);

/* Asks the printer to list its soft fonts: "EI". */
KV_API(int) KV_SoftFontList(void);

/* Deletes soft font A to Z, or all with '*': "EK\"%c\"". */
KV_API(int) KV_SoftFontDel(int font);

/* Ends a form definition: "FE". */
KV_API(int) KV_FormEnd(void);

/* Asks the printer to list its forms: "FI". */
KV_API(int) KV_FormList(void);

/* Deletes a stored form (name of 1 to 16 characters): "FK\"%s\"". */
KV_API(int) KV_FormDel(const char *name);

/* Prints with a stored form (name of 1 to 16 characters): "FR\"%s\"". */
KV_API(int) KV_ExecForm(const char *name);

/* Begins storing a form (name of 1 to 16 characters): "FS\"%s\"". */
KV_API(int) KV_FormDownload(const char *name);

/* Switches back-feed off: "JB". */
KV_API(int) KV_DisableBackFeed(void);

/* Switches back-feed on: "JF%d". */
KV_API(int) KV_EnableBackFeed(int value);

/* Draws a line in exclusive-or: "LE%d,%d,%d,%d". */
KV_API(int) KV_DrawLineXor(int x, int y, int width, int height);

/* Draws a line; the same "LE" line as KV_DrawLineXor, with codes of its own. */
KV_API(int) KV_DrawLineOr(int x, int y, int width, int height);

/* Draws a diagonal line: "LS%d,%d,%d,%d,%d". */
KV_API(int) KV_DrawDiagonal(int x1, int y1, int thickness, int x2, int y2);

/* Draws a white line: "LW%d,%d,%d,%d". */
KV_API(int) KV_DrawWhiteLine(int x, int y, int width, int height);

/* Sets a printer option: "O%c". */
KV_API(int) KV_SetPrinterState(int state);

/* Appends "W%d,%d" (each count 1 to 65535) and sends the job. */
KV_API(int) KV_PrintLabel(unsigned int sets, unsigned int copies);

/* Prints automatically: "WA%d,%d" (first count 1 to 65535; a second count out of range becomes 1). */
KV_API(int) KV_PrintLabelAuto(unsigned int sets, unsigned int copies);

/* Sets the label height (1 to 65535) and the gap (16 to 240): "Q%d,%d". */
KV_API(int) KV_SetLabelHeight(unsigned int height, unsigned int gap);

/* Sets the label width: "q%d". */
KV_API(int) KV_SetLabelWidth(int width);

/* Moves the origin: "R%d,%d". */
KV_API(int) KV_SetCoordinateOrigin(int x, int y);

/* Sets the print speed: "S%d". */
KV_API(int) KV_SetPrintSpeed(int speed);

/* Prints the configuration label: "U". */
KV_API(int) KV_PrintConfigunation(void);

/* Switches error reports off: "UN". */
KV_API(int) KV_DisableErrorReport(void);

/* Switches error reports on: "US". */
KV_API(int) KV_EnableErrorReport(void);

/* Draws a box: "X%d,%d,%d,%d,%d". */
KV_API(int) KV_DrawRectangle(int x, int y, int thickness, int x2, int y2);

/* Sets the print direction: "Z%c". */
KV_API(int) KV_SetDirection(int direction);

/* Selects flash memory: "ZN". */
KV_API(int) KV_EnableFlASH(void);

/* Deselects flash memory: "ZS". */
KV_API(int) KV_DisableFLASH(void);

/* Begins a download: "?". */
KV_API(int) KV_Download(void);

/* Resets the printer: "^@". */
KV_API(int) KV_Reset(void);

/* Asks for the printer's status: "^ee". */
KV_API(int) KV_FeedBack(void);

/* Cuts after every count labels, 1 to 999 (others become 1): "#UM>CP%3d". */
KV_API(int) KV_CutPage(unsigned int count);

/* Cuts once after count labels, 1 to 999 (others become 1): "CT%d". */
KV_API(int) KV_CutPageTmp(unsigned int count);

/* ---- text, barcode and field commands --------------------------------------------------------- */

/* Appends the library's identification text (four lines). */
KV_API(int) KV_GetInfo(void);

/* Text in a numbered font (1 to 5) or a soft font (A to Z, a): "T%d,%d,%d,<font>,%d,%d,%c,\"data\"".
 * rotation 0 to 3, each factor 1 to 24, reverse 'N' or 'R', data at most 95 characters. */
KV_API(int)
KV_DrawText(int x, int y, int rotation, int font, int x_factor, int y_factor, int reverse, const char *data);

/* A linear barcode: "B%d,%d,%d,<selection>,%d,%d,%d,%c,\"data\"". rotation 0 to 3, readable 'N' or 'B',
 * data at most 95 characters. */
KV_API(int)
KV_DrawBarcode(int x, int y, int rotation, const char *selection, int narrow, int wide, int height, int readable,
               const char *data);

/* A PDF417 symbol: "b%d,%d,P,%d,%d,s%d,c%d,x%d,y%d,r%d,l%d,t%d,o%d,\"data\"". s 0 to 8, c 0 or 1, x 0 to 8,
 * y 4 to 99, t 0 or 1, o 0 to 3, data at most 2710 characters. */
KV_API(int)
KV_DrawBar2D_Pdf417(int x, int y, int width, int height, int s, int c, int x_module, int y_module, int r, int l, int t,
                    int o, const char *data);

/* Defines counter 0 to 9 of 1 to 40 digits, justified 'L', 'C', 'R' or 'N', with its step (at most 97
 * characters) and prompt (at most 95): "C%d,%d,%c,step\r\n,\"prompt\"\r\n". */
KV_API(int) KV_DefineCounter(int number, int digits, int justify, const char *step, const char *prompt);

/* Defines variable 0 to 99 of 1 to 99 characters, justified 'L', 'C', 'R' or 'N', with its prompt (at
 * most 95 characters): "V%d,%d,%c" and the prompt's line. */
KV_API(int) KV_DefineVariable(unsigned int number, unsigned int length, int justify, const char *prompt);

/* ---- graphics ---------------------------------------------------------------------------------- */

/* Places the stored graphic `name` at x, y: "GG%d,%d,\"name\"". */
KV_API(int) KV_DrawPcxGraphics(int x, int y, const char *name);

/* Asks the printer to list its stored graphics: "GI". */
KV_API(int) KV_PcxGraphicsList(void);

/* Deletes the stored graphic `name`: "GK\"name\"". */
KV_API(int) KV_PcxGraphicsDel(const char *name);

/* Stores the PCX file at `path` in the printer as `name`: "GM\"name\"<length>" and the file's bytes. */
KV_API(int) KV_PcxGraphicsDownload(const char *name, const char *path);

/* Draws a bitmap of `rows` rows of `row_bytes` bytes: "GW%d,%d,%d,%d" and the bytes. */
KV_API(int) KV_DrawBinGraphics(int x, int y, int row_bytes, int rows, const unsigned char *data);

/* Deletes, downloads and places the PCX file at `path`, named by its last 15 characters. */
KV_API(int) KV_PrintPCX(int x, int y, const char *path);

/* Draws `text` in a TrueType font as a graphic stored as `name` and places it at x, y. The height and
 * width are in printer dots (width 0: the font's own proportions); orientation 2, 3 or 4 turns the
 * text by 90, 180 or 270 degrees counter-clockwise; weight 100 to 900 (0: normal). The text is in the
 * system's code page on Windows and UTF-8 on Linux. */
KV_API(int)
KV_DrawTextTrueTypeW(int x, int y, int height, int width, const char *face, int orientation, int weight, int italic,
                     int underline, int strike_out, const char *name, const char *text);

/* ---- print files ------------------------------------------------------------------------------ */

/* Rewrites the copy count of a tagged print file ("#BD#", "#CP#", digits) in place. Only a plain
 * file of one name is rewritten; its permissions are kept. */
KV_API(int) ChangeCopies(const char *path, int copies);

#if !defined(_WIN32)
/* ---- Linux only: the host program's handlers ----------------------------------------------- */

/* Shows a message of the library (UTF-8) to the user. */
typedef void (*KV_MessageHandler)(const char *text, void *user);
/* Repaints the window that was passed to OurSendFileEx. */
typedef void (*KV_RepaintHandler)(void *window, void *user);

/* Installs the host's handlers. Without a message handler, messages are lines on standard error;
 * without a repaint handler, OurSendFileEx repaints nothing. Null uninstalls. */
KV_API(void) KV_SetHostHandlers(KV_MessageHandler on_message, KV_RepaintHandler on_repaint, void *user);

/* The language of the library's messages (on Windows they are always Chinese). */
#  define KV_MESSAGES_LOCALE  0 /* the locale's (LC_ALL, else LC_MESSAGES, else LANG): Chinese for zh*, else English */
#  define KV_MESSAGES_CHINESE 1
#  define KV_MESSAGES_ENGLISH 2

/* Chooses the language of the library's messages, shown or handed to the message handler; at load it
 * is KV_MESSAGES_LOCALE. Returns the language the messages are now in (KV_MESSAGES_CHINESE or
 * KV_MESSAGES_ENGLISH); any other value than the three changes nothing. */
KV_API(int) KV_SetMessageLanguage(int language);
#endif

#ifdef __cplusplus
}
#endif

#endif /* KVTAGLIB_H */
