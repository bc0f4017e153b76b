"""Writes the kvtaglib(3) manual page: the text of kvtaglib.3.in with the list of functions and the list of
codes made from the library's header, so that the page names every export and every code there is.

  python3 make_kvtaglib3.py TEMPLATE HEADER OUT
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
import kvtag_header  # noqa: E402


def roff(text):
    """Text as roff shows it: backslashes and minus signs escaped, no line taken for a request."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def functions(header):
    out = []
    for f in header.functions:
        out += [".TP", f".B {f.result} {f.name}({f.params})".replace("-", "\\-"), roff(f.doc or "(no description)")]
    return out


# What the codes of the builders mean, told by the last word of their names (the header says it once, above
# the block).
_MEANING = {
    "CLOSED": "no connection is open (returned, not stored)",
    "WRITE": "the command could not be written to the spool file",
    "CHECK": "an argument is out of range, or the data too long",
}


def codes(header):
    out, group = [], None
    for c in header.codes:
        if c.group != group:
            group = c.group
            title = "General" if group.lower() == "error codes" else group[:1].upper() + group[1:]
            out += [".SS " + roff(title)]
        out += [".TP", f".BR {c.name} \" ({c.value})\"".replace("-", "\\-")]
        note = c.note or ("success" if c.value == 0 else _MEANING.get(c.name.rsplit("_", 1)[-1], c.group))
        out.append(roff(note))
    return out


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[2], encoding="utf-8") as f:
        header = kvtag_header.parse(f.read())
    with open(argv[1], encoding="utf-8") as f:
        page = f.read()
    page = page.replace("@VERSION@", header.version)
    page = page.replace("@FUNCTIONS@", "\n".join(functions(header)))
    page = page.replace("@CODES@", "\n".join(codes(header)))
    with open(argv[3], "w", encoding="utf-8") as f:
        f.write(page)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
