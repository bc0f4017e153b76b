"""kvtag: label printing through the KIRV label command library (libkvtaglib.so.1).

    import kvtag

    with kvtag.open("KIRV R5") as job:          # opens the printer, starts a clean job ("N")
        job.set_label_width(812)
        job.text(40, 30, "Hello", font=4)       # or job.draw_text(40, 30, 0, 4, 1, 1, "N", "Hello")
        job.barcode(40, 80, "KV-42", kind=kvtag.Barcode.CODE128, height=60)
        job.print_label(1, 1)                   # appends W1,1 and sends the job

Every library function that answers with a negative code raises the KvError subclass of that code, which
carries the code (`code`), its name in kvtaglib.h (`name`) and the function (`function`); for example
DrawTextCheckError for KV_ERR_DRAW_TEXT_CHECK. The classes of the codes stand beneath the class of their kind:
ClosedConnectionError (within ConnectionStateError, with AlreadyOpenError), ArgumentCheckError, SpoolerError,
FileError and OutOfMemoryError. The library's messages become records of the logger "kvtag" (level WARNING)
instead of lines on standard error.

Arguments are checked against the C types of the library's parameters before it is called: a number outside
its type's range raises OverflowError, a text or path with a null byte inside raises ValueError.

Texts are given as bytes, which reach the printer unchanged, or as str, which is sent as UTF-8. Single
letters (a reverse flag "N", a justification "L") are given as a one-character str, its code or the enums
Reverse, Readable and Justify; rotations as 0 to 3 or Rotation, barcode selections as text or Barcode.
"""

import ctypes
import enum
import os
from typing import Callable, Optional, Union

from . import _library
from ._codes import VERSION
from ._errors import (ERROR_CLASSES, KINDS, ArgumentCheckError, ClosedConnectionError, ConnectionStateError,
                      FileError, KvError, OutOfMemoryError, SpoolerError, check, error_for)

__version__ = VERSION

Text = Union[str, bytes]
Char = Union[str, int]
PathLike = Union[str, bytes, "os.PathLike[str]"]



class Rotation(enum.IntEnum):
    """The turn of text, barcodes and PDF417 symbols about their point, clockwise."""
    NONE = 0
    CW90 = 1
    CW180 = 2
    CW270 = 3


class Reverse(str, enum.Enum):
    """Text drawn black on white (NORMAL) or white on black (REVERSE)."""
    NORMAL = "N"
    REVERSE = "R"


class Readable(str, enum.Enum):
    """A barcode with (YES) or without (NO) its readable text under the bars."""
    NO = "N"
    YES = "B"


class Justify(str, enum.Enum):
    """The justification of a counter's or variable's value in its length."""
    LEFT = "L"
    CENTER = "C"
    RIGHT = "R"
    NONE = "N"


class Barcode(str, enum.Enum):
    """The barcode selections of KV_DrawBarcode."""
    CODE128 = "1"
    CODE128_A = "1A"
    CODE128_B = "1B"
    CODE128_C = "1C"
    GS1_128 = "1E"
    INTERLEAVED_2_OF_5 = "2"
    INTERLEAVED_2_OF_5_CHECK = "2C"
    CODE39 = "3"
    CODE39_CHECK = "3C"
    CODE93 = "9"
    EAN13 = "E30"
    EAN8 = "E80"
    UPC_A = "UA0"
    UPC_E = "UE0"
    CODABAR = "K"


globals().update({cls.__name__: cls for cls in ERROR_CLASSES.values()})
__all__ = ["KvError", "ConnectionStateError", "ClosedConnectionError", "ArgumentCheckError", "SpoolerError",
           "FileError", "OutOfMemoryError", "Job", "open", "open_port", "close_port", "open_printer",
           "close_printer", "set_com_port", "get_err_state", "change_copies", "error_for", "Rotation", "Reverse",
           "Readable", "Justify", "Barcode", "__version__"] + [cls.__name__ for cls in ERROR_CLASSES.values()]
assert set(KINDS.values()) <= {globals()[name] for name in __all__ if name.endswith("Error")}


def _text(value: Optional[Text]) -> Optional[bytes]:
    if value is None or isinstance(value, bytes):
        return value
    if isinstance(value, enum.Enum):
        value = value.value
    return value.encode("utf-8")


def _path(value: Optional[PathLike]) -> Optional[bytes]:
    return None if value is None else os.fsencode(value)


def _char(value: Char) -> int:
    if isinstance(value, str):
        if len(value) != 1:
            raise ValueError(f"one character expected, not {value!r}")
        return ord(value)
    return value


def _checked(name: str, *arguments):
    """Calls the export `name` once its arguments have passed the check of their C types."""
    _library.check_arguments(name, arguments)
    return getattr(_library.library(), name)(*arguments)


def _call(name: str, *arguments) -> int:
    return check(name, _checked(name, *arguments))


# ---- the connection ---------------------------------------------------------------------------------

def open_port(printer_name: Text) -> None:
    """OpenPort: opens the connection to the printer of this spooler name ("KIRV R5" or "KIRV_R5")."""
    _call("OpenPort", _text(printer_name))


def close_port() -> None:
    """ClosePort: closes the connection, deletes the spool file, closes the printer. Safe to call twice."""
    _library.library().ClosePort()


def open_printer(printer_name: Text) -> Optional[int]:
    """KV_OpenPrinter: opens the named printer alone (no buffers); its spooler handle, or None."""
    return _checked("KV_OpenPrinter", _text(printer_name))


def close_printer() -> bool:
    """KV_ClosePrinter: closes the open printer; True when the spooler closed it."""
    return _library.library().KV_ClosePrinter() != 0


def set_com_port(baud_rate: int, hardware_handshake: bool = False) -> None:
    """SetPCComPort: applies serial-line settings to the open printer."""
    _call("SetPCComPort", baud_rate, 1 if hardware_handshake else 0)


def get_err_state() -> int:
    """GetErrState: the last code the library stored (0 before any, -1 after ClosePort)."""
    return _library.library().GetErrState()


def change_copies(path: PathLike, copies: int) -> None:
    """ChangeCopies: rewrites the copy count of a tagged print file ("#BD#", "#CP#", digits) in place."""
    _call("ChangeCopies", _path(path), copies)


class Job:
    """The open connection's label job: each method appends one command to the spool file.

    Made by kvtag.open(); the methods are the library's exports, named in Python's way."""

    # ---- spool file, raw data and delivery ----

    def clear_tmp_file(self) -> None:
        """ClearTmpFile: starts a new job (the spool file KIRVtemp.prn in the current directory)."""
        _call("ClearTmpFile")

    def clear_buffer(self) -> None:
        """KV_ClearBuffer: starts a new job whose first line is "N" (clear the printer's image buffer)."""
        _call("KV_ClearBuffer")

    def pulse(self, data: Text) -> None:
        """Pulse: appends raw bytes (at most 10240) to the job."""
        raw = _text(data) or b""
        _call("Pulse", raw, len(raw), 0)

    def send_file(self, path: PathLike, progress: Optional[Callable[[int], None]] = None) -> None:
        """OurSendFile, or OurSendFileEx with `progress`: appends a whole file to the job. `progress` is
        called with the number of bytes appended so far after each piece."""
        if progress is None:
            _call("OurSendFile", _path(path), 0)
            return
        _library.counter.value = 0
        _library.progress = progress
        try:
            _call("OurSendFileEx", _path(path), 0, ctypes.c_void_p(1), ctypes.byref(_library.counter))
        finally:
            _library.progress = None

    def write_printer(self) -> None:
        """KV_WritePrinter: sends the whole spool file to the printer as one raw job."""
        _call("KV_WritePrinter")

    # ---- commands of fixed form ----

    def set_darkness(self, darkness: int) -> None:
        """KV_SetDarkness: "H<darkness>"."""
        _call("KV_SetDarkness", darkness)

    def soft_font_list(self) -> None:
        """KV_SoftFontList: "EI"."""
        _call("KV_SoftFontList")

    def soft_font_del(self, font: Char) -> None:
        """KV_SoftFontDel: deletes soft font "A" to "Z", or all with "*"."""
        _call("KV_SoftFontDel", _char(font))

    def form_end(self) -> None:
        """KV_FormEnd: "FE"."""
        _call("KV_FormEnd")

    def form_list(self) -> None:
        """KV_FormList: "FI"."""
        _call("KV_FormList")

    def form_del(self, name: Text) -> None:
        """KV_FormDel: deletes a stored form (name of 1 to 16 characters)."""
        _call("KV_FormDel", _text(name))

    def exec_form(self, name: Text) -> None:
        """KV_ExecForm: prints with a stored form (name of 1 to 16 characters)."""
        _call("KV_ExecForm", _text(name))

    def form_download(self, name: Text) -> None:
        """KV_FormDownload: begins storing a form (name of 1 to 16 characters)."""
        _call("KV_FormDownload", _text(name))

    def disable_back_feed(self) -> None:
        """KV_DisableBackFeed: "JB"."""
        _call("KV_DisableBackFeed")

    def enable_back_feed(self, value: int) -> None:
        """KV_EnableBackFeed: "JF<value>"."""
        _call("KV_EnableBackFeed", value)

    def draw_line_xor(self, x: int, y: int, width: int, height: int) -> None:
        """KV_DrawLineXor: a line drawn in exclusive-or."""
        _call("KV_DrawLineXor", x, y, width, height)

    def draw_line_or(self, x: int, y: int, width: int, height: int) -> None:
        """KV_DrawLineOr: a line."""
        _call("KV_DrawLineOr", x, y, width, height)

    def draw_diagonal(self, x1: int, y1: int, thickness: int, x2: int, y2: int) -> None:
        """KV_DrawDiagonal: a diagonal line."""
        _call("KV_DrawDiagonal", x1, y1, thickness, x2, y2)

    def draw_white_line(self, x: int, y: int, width: int, height: int) -> None:
        """KV_DrawWhiteLine: a white line."""
        _call("KV_DrawWhiteLine", x, y, width, height)

    def set_printer_state(self, state: Char) -> None:
        """KV_SetPrinterState: "O<state>"."""
        _call("KV_SetPrinterState", _char(state))

    def print_label(self, sets: int, copies: int) -> None:
        """KV_PrintLabel: appends "W<sets>,<copies>" (each 1 to 65535) and sends the job."""
        _call("KV_PrintLabel", sets, copies)

    def print_label_auto(self, sets: int, copies: int) -> None:
        """KV_PrintLabelAuto: "WA<sets>,<copies>"."""
        _call("KV_PrintLabelAuto", sets, copies)

    def set_label_height(self, height: int, gap: int) -> None:
        """KV_SetLabelHeight: the label height (1 to 65535) and gap (16 to 240)."""
        _call("KV_SetLabelHeight", height, gap)

    def set_label_width(self, width: int) -> None:
        """KV_SetLabelWidth: "q<width>"."""
        _call("KV_SetLabelWidth", width)

    def set_coordinate_origin(self, x: int, y: int) -> None:
        """KV_SetCoordinateOrigin: "R<x>,<y>"."""
        _call("KV_SetCoordinateOrigin", x, y)

    def set_print_speed(self, speed: int) -> None:
        """KV_SetPrintSpeed: "S<speed>"."""
        _call("KV_SetPrintSpeed", speed)

    def print_configuration(self) -> None:
        """KV_PrintConfigunation: prints the configuration label ("U")."""
        _call("KV_PrintConfigunation")

    def disable_error_report(self) -> None:
        """KV_DisableErrorReport: "UN"."""
        _call("KV_DisableErrorReport")

    def enable_error_report(self) -> None:
        """KV_EnableErrorReport: "US"."""
        _call("KV_EnableErrorReport")

    def draw_rectangle(self, x: int, y: int, thickness: int, x2: int, y2: int) -> None:
        """KV_DrawRectangle: a box."""
        _call("KV_DrawRectangle", x, y, thickness, x2, y2)

    def set_direction(self, direction: Char) -> None:
        """KV_SetDirection: "Z<direction>"."""
        _call("KV_SetDirection", _char(direction))

    def enable_flash(self) -> None:
        """KV_EnableFlASH: "ZN"."""
        _call("KV_EnableFlASH")

    def disable_flash(self) -> None:
        """KV_DisableFLASH: "ZS"."""
        _call("KV_DisableFLASH")

    def download(self) -> None:
        """KV_Download: "?"."""
        _call("KV_Download")

    def reset(self) -> None:
        """KV_Reset: resets the printer ("^@")."""
        _call("KV_Reset")

    def feed_back(self) -> None:
        """KV_FeedBack: asks for the printer's status ("^ee")."""
        _call("KV_FeedBack")

    def cut_page(self, count: int) -> None:
        """KV_CutPage: cuts after every `count` labels (1 to 999)."""
        _call("KV_CutPage", count)

    def cut_page_tmp(self, count: int) -> None:
        """KV_CutPageTmp: cuts once after `count` labels (1 to 999)."""
        _call("KV_CutPageTmp", count)

    # ---- text, barcodes and fields ----

    def get_info(self) -> None:
        """KV_GetInfo: appends the library's identification text."""
        _call("KV_GetInfo")

    def draw_text(self, x: int, y: int, rotation: int, font: Char, x_factor: int, y_factor: int,
                  reverse: Char, data: Text) -> None:
        """KV_DrawText: text in font 1 to 5 or soft font "A" to "Z", "a"; reverse "N" or "R"."""
        _call("KV_DrawText", x, y, rotation, _char(font), x_factor, y_factor, _char(reverse), _text(data))

    def draw_barcode(self, x: int, y: int, rotation: int, selection: Text, narrow: int, wide: int, height: int,
                     readable: Char, data: Text) -> None:
        """KV_DrawBarcode: a linear barcode; readable "N" or "B"."""
        _call("KV_DrawBarcode", x, y, rotation, _text(selection), narrow, wide, height, _char(readable),
              _text(data))

    def draw_pdf417(self, x: int, y: int, width: int, height: int, s: int, c: int, x_module: int, y_module: int,
                    r: int, l: int, t: int, o: int, data: Text) -> None:
        """KV_DrawBar2D_Pdf417: a PDF417 symbol."""
        _call("KV_DrawBar2D_Pdf417", x, y, width, height, s, c, x_module, y_module, r, l, t, o, _text(data))

    def define_counter(self, number: int, digits: int, justify: Char, step: Text, prompt: Text) -> None:
        """KV_DefineCounter: counter 0 to 9 of 1 to 40 digits, justified "L", "C", "R" or "N"."""
        _call("KV_DefineCounter", number, digits, _char(justify), _text(step), _text(prompt))

    def define_variable(self, number: int, length: int, justify: Char, prompt: Text) -> None:
        """KV_DefineVariable: variable 0 to 99 of 1 to 99 characters, justified "L", "C", "R" or "N"."""
        _call("KV_DefineVariable", number, length, _char(justify), _text(prompt))

    # ---- the same with keywords, defaults and enums ----

    def text(self, x: int, y: int, data: Text, font: Char = 3, *, rotation: int = Rotation.NONE, x_factor: int = 1,
             y_factor: int = 1, reverse: Union[bool, Reverse] = False) -> None:
        """draw_text with keywords: job.text(40, 30, "Hello", font=4, reverse=True)."""
        flag = reverse if isinstance(reverse, Reverse) else (Reverse.REVERSE if reverse else Reverse.NORMAL)
        self.draw_text(x, y, rotation, font, x_factor, y_factor, flag, data)

    def barcode(self, x: int, y: int, data: Text, kind: Union[Barcode, Text] = Barcode.CODE128, *, height: int = 60,
                narrow: int = 2, wide: int = 4, rotation: int = Rotation.NONE,
                readable: Union[bool, Readable] = True) -> None:
        """draw_barcode with keywords: job.barcode(40, 80, "KV-42", kind=Barcode.CODE39, height=80)."""
        flag = readable if isinstance(readable, Readable) else (Readable.YES if readable else Readable.NO)
        self.draw_barcode(x, y, rotation, kind, narrow, wide, height, flag, data)

    def pdf417(self, x: int, y: int, data: Text, *, security: int = 0, module: int = 0, row_height: int = 6,
               max_rows: int = 0, columns: int = 0, truncated: bool = False, rotation: int = Rotation.NONE,
               width: int = 0, height: int = 0, c: int = 0) -> None:
        """draw_pdf417 with keywords: security level 0 to 8, module width (0: 2 dots), row height 4 to 99
        dots, at most `max_rows` rows and `columns` data columns (0: free)."""
        self.draw_pdf417(x, y, width, height, security, c, module, row_height, max_rows, columns, int(truncated),
                         rotation, data)

    def counter(self, number: int, digits: int, step: Text = "+1", prompt: Text = "", *,
                justify: Char = Justify.RIGHT) -> None:
        """define_counter with keywords: job.counter(0, 6, "+1", "Serial", justify=Justify.LEFT)."""
        self.define_counter(number, digits, justify, step, prompt)

    def variable(self, number: int, length: int, prompt: Text = "", *, justify: Char = Justify.LEFT) -> None:
        """define_variable with keywords: job.variable(0, 20, "Name", justify=Justify.CENTER)."""
        self.define_variable(number, length, justify, prompt)

    # ---- graphics ----

    def draw_pcx_graphics(self, x: int, y: int, name: Text) -> None:
        """KV_DrawPcxGraphics: places the stored graphic `name`."""
        _call("KV_DrawPcxGraphics", x, y, _text(name))

    def pcx_graphics_list(self) -> None:
        """KV_PcxGraphicsList: "GI"."""
        _call("KV_PcxGraphicsList")

    def pcx_graphics_del(self, name: Text) -> None:
        """KV_PcxGraphicsDel: deletes the stored graphic `name`."""
        _call("KV_PcxGraphicsDel", _text(name))

    def pcx_graphics_download(self, name: Text, path: PathLike) -> None:
        """KV_PcxGraphicsDownload: stores the PCX file at `path` in the printer as `name`."""
        _call("KV_PcxGraphicsDownload", _text(name), _path(path))

    def draw_bin_graphics(self, x: int, y: int, row_bytes: int, rows: int, data: bytes) -> None:
        """KV_DrawBinGraphics: a bitmap of `rows` rows of `row_bytes` bytes each."""
        if len(data) < row_bytes * rows:
            # The library reads row_bytes * rows bytes: never let it read past the given data.
            raise ValueError(f"{row_bytes} x {rows} bytes expected, {len(data)} given")
        _call("KV_DrawBinGraphics", x, y, row_bytes, rows, data)

    def print_pcx(self, x: int, y: int, path: PathLike) -> None:
        """KV_PrintPCX: deletes, downloads and places the PCX file at `path`."""
        _call("KV_PrintPCX", x, y, _path(path))

    def draw_truetype(self, x: int, y: int, height: int, width: int, face: Text, orientation: int, weight: int,
                      italic: bool, underline: bool, strike_out: bool, name: Text, text: Text) -> None:
        """KV_DrawTextTrueTypeW: `text` in a TrueType face, as the graphic `name` placed at x, y."""
        _call("KV_DrawTextTrueTypeW", x, y, height, width, _text(face), orientation, weight, int(italic),
              int(underline), int(strike_out), _text(name), _text(text))


class _Opened:
    def __init__(self, printer_name: Text, clear_buffer: bool) -> None:
        self._printer_name, self._clear_buffer = printer_name, clear_buffer

    def __enter__(self) -> Job:
        try:
            open_port(self._printer_name)
        except KvError as error:
            # A failed open may hold the work buffers: ClosePort frees them. Already open, the connection is
            # another job's, which stays as it is (as it does when the name is refused before OpenPort runs).
            if not isinstance(error, ERROR_CLASSES["KV_ERR_ALREADY_OPEN"]):
                close_port()
            raise
        try:
            job = Job()
            job.clear_buffer() if self._clear_buffer else job.clear_tmp_file()
            return job
        except BaseException:
            close_port()
            raise

    def __exit__(self, *exc) -> None:
        close_port()


def open(printer_name: Text, clear_buffer: bool = True) -> "_Opened":  # noqa: A001 (kvtag.open, like io.open)
    """A context manager: opens the printer, starts a job, yields the Job, and always runs ClosePort at the
    end, also when the block raises. The job begins with "N", which clears the printer's image so that the
    label starts blank (KV_ClearBuffer); with clear_buffer=False it begins empty (ClearTmpFile) and draws
    over what the printer's image holds. When a printer is already open, the AlreadyOpenError leaves that
    connection and its job alone."""
    return _Opened(printer_name, clear_buffer)
