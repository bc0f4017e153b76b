"""Reads the public header of the label command library, kvtaglib.h: its version, its named codes and its
functions with the C type of every argument. The Python package's table of codes and argument types and the
library's manual page are made from it, so that neither can drift from the header.

  python3 kvtag_header.py codes HEADER OUT.py     write the kvtag package's code table
"""

import re
import sys
from typing import List, NamedTuple, Tuple

_VERSION = re.compile(r'^#define KVTAGLIB_VERSION "([0-9.]+)"$', re.M)
_CODE = re.compile(r"^#define (KV_(?:OK|ERR_[A-Z0-9_]+))\s+\(?(-?[0-9]+)\)?[ \t]*(?:/\*\s*(.*?)\s*\*/)?[ \t]*$")
_SECTION = re.compile(r"^/\*\s*(?:-+\s*)?(.*?)\s*(?:-+\s*)?(?:\*/)?$")
_FUNCTION = re.compile(r"^KV_API\(([^)]*)\)\s*([A-Za-z_][A-Za-z0-9_]*)\((.*?)\);", re.S | re.M)
_COMMENT_BEFORE = re.compile(r"/\*((?:[^*]|\*(?!/))*)\*/\s*$")
_PARAM = re.compile(r"^(.*?[\s*])([A-Za-z_][A-Za-z0-9_]*)$")

# The kind of failure each code reports, by which the Python package groups its exception classes. A code is
# placed by its name; a new code that no rule places stops the build until it is given a kind here.
KINDS = ("closed", "open", "argument", "spooler", "file", "memory")
_KIND_OF_NAME = {
    "KV_ERR_PORT_CLOSED": "closed", "KV_ERR_NO_PRINTER": "closed", "KV_ERR_ALREADY_OPEN": "open",
    "KV_ERR_OPEN_PRINTER": "spooler", "KV_ERR_COM_STATE": "spooler", "KV_ERR_END_DOC": "spooler",
    "KV_ERR_WRITE_DATA": "spooler", "KV_ERR_START_DOC": "spooler", "KV_ERR_TRUETYPE_NO_PRINTER": "spooler",
    "KV_ERR_TRUETYPE_NO_SURFACE": "spooler",  # the reference printer gave no surface to draw the text on
    "KV_ERR_PULSE_LENGTH": "argument", "KV_ERR_PCX_ROW_TOO_LONG": "argument",
    "KV_ERR_CMD_BUFFER": "memory", "KV_ERR_SCRATCH_BUFFER": "memory",
    "KV_ERR_TMP_CREATE": "file", "KV_ERR_TMP_READ": "file", "KV_ERR_FILE_READ": "file", "KV_ERR_FILE_OPEN": "file",
    "KV_ERR_PCX_DOWNLOAD_OPEN": "file", "KV_ERR_PCX_FILE": "file", "KV_ERR_PRINT_PCX_FAILED": "file",
}
_KIND_OF_PATTERN = ((re.compile(r"_CLOSED$"), "closed"), (re.compile(r"_CHECK$"), "argument"),
                    (re.compile(r"_WRITE$"), "file"), (re.compile(r"MEMORY"), "memory"),
                    (re.compile(r"^KV_ERR_COPIES_"), "file"))


class Code(NamedTuple):
    name: str       # KV_ERR_DRAW_TEXT_CHECK
    value: int      # -3003
    note: str       # the header's comment on the line, or ""
    group: str      # the heading of the block the code stands in


class Function(NamedTuple):
    name: str       # KV_DrawText
    result: str     # int
    params: str     # int x, int y, ...
    doc: str        # the comment above the declaration

    def arguments(self) -> List[Tuple[str, str]]:
        """(C type, name) of each parameter: [("int", "x"), ("const char *", "data")]; [] for (void)."""
        out = []
        for param in self.params.split(","):
            param = param.strip()
            if param in ("", "void"):
                continue
            match = _PARAM.match(param)
            if match is None:
                raise ValueError(f"{self.name}: cannot read the parameter {param!r}")
            out.append((" ".join(match.group(1).replace("*", " * ").split()).replace(" *", " *"), match.group(2)))
        return out


class Header(NamedTuple):
    version: str
    codes: List[Code]
    functions: List[Function]


def parse(text: str) -> Header:
    """Parses the header's text. Raises ValueError when the version or the codes cannot be found."""
    version = _VERSION.search(text)
    if version is None:
        raise ValueError("kvtaglib.h defines no KVTAGLIB_VERSION")
    codes: List[Code] = []
    group = ""
    for line in text.splitlines():
        code = _CODE.match(line)
        if code:
            codes.append(Code(code.group(1), int(code.group(2)), code.group(3) or "", group))
            continue
        heading = _SECTION.match(line.strip())
        if heading and line.startswith("/*") and not line.startswith(("/* KV_API", "/* clang-format")) \
                and heading.group(1):
            group = heading.group(1).split(":")[0]
    if not any(c.name == "KV_OK" for c in codes):
        raise ValueError("kvtaglib.h names no codes")
    functions = []
    for match in _FUNCTION.finditer(text):
        before = _COMMENT_BEFORE.search(text, 0, match.start())
        doc = ""
        if before:
            doc = " ".join(part.strip().lstrip("*").strip() for part in before.group(1).splitlines()).strip()
        params = " ".join(match.group(3).split())
        functions.append(Function(match.group(2), match.group(1).strip(), params, doc))
    return Header(version.group(1), codes, functions)


def class_name(code_name: str) -> str:
    """The Python class of a code: KV_ERR_DRAW_TEXT_CHECK -> DrawTextCheckError."""
    words = code_name[len("KV_ERR_"):].split("_")
    return "".join(w.capitalize() for w in words) + "Error"


def kind(code_name: str) -> str:
    """The kind of failure a code reports, one of KINDS. Raises ValueError for a code no rule places."""
    if code_name in _KIND_OF_NAME:
        return _KIND_OF_NAME[code_name]
    for pattern, found in _KIND_OF_PATTERN:
        if pattern.search(code_name):
            return found
    raise ValueError(f"kvtaglib.h: {code_name} has no kind; give it one in kvtag_header.py")


def codes_module(header: Header) -> str:
    """The source of kvtag/_codes.py: the version, every named code with its class name and kind, and every
    function with the C types of its result and arguments."""
    lines = [
        '"""The codes and functions of the label command library, made from kvtaglib.h when the package is built.',
        'Do not edit."""',
        "",
        f"VERSION = {header.version!r}",
        "",
        "# (name, value, class name, note, kind), in the header's order",
        "CODES = (",
    ]
    for c in header.codes:
        if c.name == "KV_OK":
            continue
        lines.append(f"    ({c.name!r}, {c.value}, {class_name(c.name)!r}, {c.note!r}, {kind(c.name)!r}),")
    lines += [")", "", "# name: (result type, ((argument type, argument name), ...)), the C types as in the header",
              "FUNCTIONS = {"]
    for f in header.functions:
        lines.append(f"    {f.name!r}: ({f.result!r}, {tuple(f.arguments())!r}),")
    lines += ["}", ""]
    return "\n".join(lines)


def main(argv: List[str]) -> int:
    if len(argv) != 4 or argv[1] != "codes":
        sys.stderr.write(__doc__)
        return 2
    with open(argv[2], encoding="utf-8") as f:
        header = parse(f.read())
    with open(argv[3], "w", encoding="utf-8") as f:
        f.write(codes_module(header))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
