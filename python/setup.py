"""Builds the kvtag package. Its code table, kvtag/_codes.py, is made here from the library's header,
kvtaglib.h (KVTAG_HEADER, else ../library/include/kvtaglib.h of the source tree), and so is the version:
the package always matches the library it was built with. A source archive carries the table made when
it was packed, for builds without the header."""

import os
import re
import sys

from setuptools import setup

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import kvtag_header  # noqa: E402 (beside this file)

HEADER = os.environ.get("KVTAG_HEADER") or os.path.join(HERE, "..", "library", "include", "kvtaglib.h")
CODES = os.path.join(HERE, "kvtag", "_codes.py")

if os.path.exists(HEADER):
    with open(HEADER, encoding="utf-8") as f:
        text = kvtag_header.codes_module(kvtag_header.parse(f.read()))
    if not os.path.exists(CODES) or open(CODES, encoding="utf-8").read() != text:
        with open(CODES, "w", encoding="utf-8") as f:
            f.write(text)
elif not os.path.exists(CODES):
    raise SystemExit(f"kvtag: the library's header is not at {HEADER}; set KVTAG_HEADER")

with open(CODES, encoding="utf-8") as f:
    version = re.search(r"^VERSION = '([0-9.]+)'$", f.read(), re.M).group(1)

setup(version=version)
