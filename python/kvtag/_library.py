"""Loads libkvtaglib.so.1 and declares the C types of its exports.

The library is found as any program finds it (the system's library path), or at the file named by the
environment variable KVTAG_LIBRARY, read once when the library is first used."""

import ctypes
import logging
import os
import threading
from typing import Callable, Optional

LIBRARY_FILE = "libkvtaglib.so.1"

_i, _u, _s, _p = ctypes.c_int, ctypes.c_uint, ctypes.c_char_p, ctypes.c_void_p

# export name -> (result type, argument types)
PROTOTYPES = {
    "OpenPort": (_i, [_s]), "ClosePort": (None, []), "KV_OpenPrinter": (_p, [_s]), "KV_ClosePrinter": (_i, []),
    "SetPCComPort": (_i, [_u, _i]), "GetErrState": (_i, []),
    "ClearTmpFile": (_i, []), "KV_ClearBuffer": (_i, []), "Pulse": (_i, [_s, _i, _i]),
    "OurSendFile": (_i, [_s, _i]), "OurSendFileEx": (_i, [_s, _i, _p, ctypes.POINTER(_i)]),
    "KV_WritePrinter": (_i, []),
    "KV_SetDarkness": (_i, [_i]), "KV_SoftFontList": (_i, []), "KV_SoftFontDel": (_i, [_i]),
    "KV_FormEnd": (_i, []), "KV_FormList": (_i, []), "KV_FormDel": (_i, [_s]), "KV_ExecForm": (_i, [_s]),
    "KV_FormDownload": (_i, [_s]), "KV_DisableBackFeed": (_i, []), "KV_EnableBackFeed": (_i, [_i]),
    "KV_DrawLineXor": (_i, [_i] * 4), "KV_DrawLineOr": (_i, [_i] * 4), "KV_DrawDiagonal": (_i, [_i] * 5),
    "KV_DrawWhiteLine": (_i, [_i] * 4), "KV_SetPrinterState": (_i, [_i]), "KV_PrintLabel": (_i, [_u, _u]),
    "KV_PrintLabelAuto": (_i, [_u, _u]), "KV_SetLabelHeight": (_i, [_u, _u]), "KV_SetLabelWidth": (_i, [_i]),
    "KV_SetCoordinateOrigin": (_i, [_i, _i]), "KV_SetPrintSpeed": (_i, [_i]), "KV_PrintConfigunation": (_i, []),
    "KV_DisableErrorReport": (_i, []), "KV_EnableErrorReport": (_i, []), "KV_DrawRectangle": (_i, [_i] * 5),
    "KV_SetDirection": (_i, [_i]), "KV_EnableFlASH": (_i, []), "KV_DisableFLASH": (_i, []),
    "KV_Download": (_i, []), "KV_Reset": (_i, []), "KV_FeedBack": (_i, []), "KV_CutPage": (_i, [_u]),
    "KV_CutPageTmp": (_i, [_u]),
    "KV_GetInfo": (_i, []), "KV_DrawText": (_i, [_i] * 7 + [_s]),
    "KV_DrawBarcode": (_i, [_i, _i, _i, _s, _i, _i, _i, _i, _s]), "KV_DrawBar2D_Pdf417": (_i, [_i] * 12 + [_s]),
    "KV_DefineCounter": (_i, [_i, _i, _i, _s, _s]), "KV_DefineVariable": (_i, [_u, _u, _i, _s]),
    "KV_DrawPcxGraphics": (_i, [_i, _i, _s]), "KV_PcxGraphicsList": (_i, []), "KV_PcxGraphicsDel": (_i, [_s]),
    "KV_PcxGraphicsDownload": (_i, [_s, _s]), "KV_DrawBinGraphics": (_i, [_i, _i, _i, _i, _s]),
    "KV_PrintPCX": (_i, [_i, _i, _s]), "KV_DrawTextTrueTypeW": (_i, [_i] * 4 + [_s] + [_i] * 5 + [_s, _s]),
    "ChangeCopies": (_i, [_s, _i]),
}

MESSAGE_HANDLER = ctypes.CFUNCTYPE(None, ctypes.c_char_p, ctypes.c_void_p)
REPAINT_HANDLER = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)

log = logging.getLogger("kvtag")

_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None
_handlers = ()
# Called with the running count after each piece that OurSendFileEx appends (see Job.send_file).
progress: Optional[Callable[[int], None]] = None
counter = ctypes.c_int(0)


def _on_message(text: Optional[bytes], _user: Optional[int]) -> None:
    log.warning("%s", (text or b"").decode("utf-8", "replace"))


def _on_repaint(_window: Optional[int], _user: Optional[int]) -> None:
    if progress is not None:
        progress(counter.value)


def library() -> ctypes.CDLL:
    """The loaded library, with its prototypes and the package's message and repaint handlers."""
    global _library, _handlers
    with _lock:
        if _library is None:
            name = os.environ.get("KVTAG_LIBRARY") or LIBRARY_FILE
            try:
                lib = ctypes.CDLL(name)
            except OSError as error:
                raise OSError(f"kvtag cannot load the label command library {name} ({error}): install the "
                              "package libkvtaglib1, or name the library file in KVTAG_LIBRARY") from error
            for name, (result, arguments) in PROTOTYPES.items():
                function = getattr(lib, name)
                function.restype, function.argtypes = result, arguments
            # The library's messages become records of the "kvtag" logger instead of lines on standard error.
            _handlers = (MESSAGE_HANDLER(_on_message), REPAINT_HANDLER(_on_repaint))  # kept alive here
            lib.KV_SetHostHandlers.restype = None
            lib.KV_SetHostHandlers.argtypes = [MESSAGE_HANDLER, REPAINT_HANDLER, ctypes.c_void_p]
            lib.KV_SetHostHandlers(_handlers[0], _handlers[1], None)
            _library = lib
        return _library
