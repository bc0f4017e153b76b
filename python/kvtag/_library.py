"""Loads libkvtaglib.so.1 and declares the C types of its exports, as the header declares them (the table
FUNCTIONS, made from kvtaglib.h when the package is built).

The library is found as any program finds it (the system's library path), or at the file named by the
environment variable KVTAG_LIBRARY, read once when the library is first used."""

import ctypes
import logging
import operator
import os
import threading
from typing import Callable, Optional, Sequence, Tuple

from ._codes import FUNCTIONS

LIBRARY_FILE = "libkvtaglib.so.1"

# The ctypes type of each C type the header's exports use (the host handlers' types are declared below).
C_TYPES = {
    "void": None, "int": ctypes.c_int, "unsigned int": ctypes.c_uint, "const char *": ctypes.c_char_p,
    "const unsigned char *": ctypes.c_char_p, "void *": ctypes.c_void_p, "int *": ctypes.POINTER(ctypes.c_int),
}


def _range(c_type) -> Tuple[int, int]:
    bits = 8 * ctypes.sizeof(c_type)
    if c_type(-1).value < 0:
        return -(1 << (bits - 1)), (1 << (bits - 1)) - 1
    return 0, (1 << bits) - 1


# The values each integer C type holds: ctypes would wrap any other silently (2**32 + 1 becomes 1).
INTEGER_RANGES = {name: _range(c_type) for name, c_type in C_TYPES.items() if c_type in (ctypes.c_int, ctypes.c_uint)}

# export name -> (result type, argument types), from the header's declarations.
PROTOTYPES = {name: (C_TYPES[result], [C_TYPES[c_type] for c_type, _ in arguments])
              for name, (result, arguments) in FUNCTIONS.items() if name != "KV_SetHostHandlers"}


def check_arguments(function: str, arguments: Sequence[object]) -> None:
    """Refuses, before the library is called, what the C types of `function`'s parameters cannot carry
    unchanged: an integer outside its type's range (OverflowError), a zero-terminated string with a null
    byte inside, which the library would read only up to (ValueError). A character pointer followed by its
    length is a counted buffer and may hold any byte."""
    parameters = FUNCTIONS[function][1]
    for index, ((c_type, name), value) in enumerate(zip(parameters, arguments)):
        bounds = INTEGER_RANGES.get(c_type)
        if bounds is not None:
            number = operator.index(value)  # TypeError for what is not a whole number
            if not bounds[0] <= number <= bounds[1]:
                raise OverflowError(f"{function}: {name} = {number} is outside the range of {c_type} "
                                    f"({bounds[0]} to {bounds[1]})")
        elif c_type == "const char *" and isinstance(value, bytes) and b"\0" in value:
            counted = index + 1 < len(parameters) and parameters[index + 1][1] == "length"
            if not counted:
                raise ValueError(f"{function}: {name} holds an embedded null byte")


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
