"""The library's negative results as exceptions: one class per named code of kvtaglib.h, beneath the class of
its kind (closed connection, argument check, spooler, file, memory), beneath KvError."""

from typing import Dict, List, Optional, Tuple, Type

from ._codes import CODES


class KvError(Exception):
    """A label command library function answered with a negative code.

    `code` is the number, `name` its constant in kvtaglib.h (KV_ERR_...), `function` the library function
    that answered with it."""

    code: int = 0
    name: Optional[str] = None

    def __init__(self, function: str, code: Optional[int] = None, name: Optional[str] = None) -> None:
        if code is not None:
            self.code = code
        if name is not None:
            self.name = name
        self.function = function
        note = f" ({self.note})" if getattr(self, "note", "") else ""
        super().__init__(f"{function} answered {self.code} {self.name or 'an unnamed code'}{note}")


class ConnectionStateError(KvError):
    """The connection was not in the state the call needs: closed where it must be open, or already open."""


class ClosedConnectionError(ConnectionStateError):
    """No connection (or no printer) is open: OpenPort has not succeeded, or ClosePort has run."""


class ArgumentCheckError(KvError):
    """An argument is out of the command's range, or the data too long for it; nothing was appended."""


class SpoolerError(KvError):
    """The spooler or the printer refused: opening, starting, writing or ending the job, or the serial settings."""


class FileError(KvError):
    """A file failed: the spool file, a file to append or download, a print file to rewrite."""


class OutOfMemoryError(KvError):
    """The library found no memory for a buffer, a job or an image."""


KINDS: Dict[str, Type[KvError]] = {
    "closed": ClosedConnectionError, "open": ConnectionStateError, "argument": ArgumentCheckError,
    "spooler": SpoolerError, "file": FileError, "memory": OutOfMemoryError,
}
ERROR_CLASSES: Dict[str, Type[KvError]] = {}
_BY_VALUE: Dict[int, List[Tuple[str, Type[KvError]]]] = {}

for _name, _value, _class_name, _note, _kind in CODES:
    _cls = type(_class_name, (KINDS[_kind],), {"code": _value, "name": _name, "note": _note,
                                              "__doc__": f"{_name} ({_value}): {_note or 'see kvtaglib.h'}",
                                              "__module__": "kvtag"})
    ERROR_CLASSES[_name] = _cls
    _BY_VALUE.setdefault(_value, []).append((_name, _cls))

for _cls in (KvError, *KINDS.values()):
    _cls.__module__ = "kvtag"

# Where one number has several names, the name that belongs to the answering function is chosen: its stem
# is the function's name (KV_DrawText: KV_ERR_DRAW_TEXT_...), or the one named here.
_STEMS = {
    "ChangeCopies": "copies", "KV_CutPage": "cut", "KV_CutPageTmp": "cut", "KV_DrawBar2D_Pdf417": "pdf417",
    "KV_DrawPcxGraphics": "pcxplace", "KV_PcxGraphicsList": "pcxlist", "KV_PcxGraphicsDel": "pcxdel",
    "KV_PcxGraphicsDownload": "pcxdownload", "KV_DrawTextTrueTypeW": "truetype",
}


def _stem(function: str) -> str:
    return _STEMS.get(function, function[3:] if function.startswith("KV_") else function).lower()


def error_for(function: str, code: int) -> KvError:
    """The exception for `function` answering the negative `code`."""
    candidates = _BY_VALUE.get(code, [])
    stem = _stem(function)
    for name, cls in candidates:
        if name[len("KV_ERR_"):].replace("_", "").lower().startswith(stem):
            return cls(function)
    if candidates:
        return candidates[0][1](function)  # the number's first name in the header
    return KvError(function, code)


def check(function: str, result: int) -> int:
    """Raises the KvError of a negative result; returns any other result."""
    if result < 0:
        raise error_for(function, result)
    return result
