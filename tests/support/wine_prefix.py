#!/usr/bin/env python3
"""Makes the Wine prefix of a build tree (WINEPREFIX) ready for the tests.

  wine_prefix.py WINE

Runs wineboot, then tells Wine which installed font stands in for the Chinese dialog font "宋体"
(SimSun): Windows has it, this machine has WenQuanYi Zen Hei instead.
"""
import os
import subprocess
import sys
import tempfile

wine = sys.argv[1] if len(sys.argv) > 1 else "wine"
subprocess.run([wine, "wineboot", "-i"], check=True)
subprocess.run(["wineserver", "-w"], check=False)

reg = ("Windows Registry Editor Version 5.00\r\n\r\n"
       "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n"
       "\"宋体\"=\"WenQuanYi Zen Hei\"\r\n"
       "\"SimSun\"=\"WenQuanYi Zen Hei\"\r\n")
fd, path = tempfile.mkstemp(suffix=".reg", dir=os.environ.get("WINEPREFIX", "/tmp"))
with os.fdopen(fd, "wb") as f:
    f.write(b"\xff\xfe" + reg.encode("utf-16-le"))
subprocess.run([wine, "regedit", "/S", "Z:" + path.replace("/", "\\")], check=True)
subprocess.run(["wineserver", "-w"], check=False)
os.remove(path)
