"""The kvtag tests print through a private spooler and its capture printer (tests/support/harness.py).
Under ctest the spooler is already running (CUPS_SERVER, KV_CAPTURE_DIR); run alone, the tests start one of
their own. KVTAG_LIBRARY names the library to test, else the build tree's, else the installed one."""

import os
import subprocess
import sys
import tempfile
import time

import pytest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
HARNESS = os.path.join(ROOT, "tests", "support", "harness.py")
BUILT = os.path.join(ROOT, "build", "linux", "library", "libkvtaglib.so.1")

if not os.environ.get("KVTAG_LIBRARY") and os.path.exists(BUILT):
    os.environ["KVTAG_LIBRARY"] = BUILT


@pytest.fixture(scope="session")
def spooler():
    """The capture folder of a running private spooler."""
    if os.environ.get("CUPS_SERVER") and os.environ.get("KV_CAPTURE_DIR"):
        yield os.environ["KV_CAPTURE_DIR"]
        return
    folder = tempfile.mkdtemp(prefix="kvpy-", dir="/tmp")
    out = subprocess.run([sys.executable, HARNESS, "start", folder], check=True, stdout=subprocess.PIPE,
                         text=True).stdout
    for line in out.split():
        key, _, value = line.partition("=")
        os.environ[key] = value
    try:
        yield os.environ["KV_CAPTURE_DIR"]
    finally:
        subprocess.run([sys.executable, HARNESS, "stop", folder], check=False)


class Capture:
    """The jobs the capture printer receives from now on."""

    def __init__(self, folder):
        self.folder = folder
        self.seen = self._count()

    def _count(self):
        return len([n for n in os.listdir(self.folder) if n.endswith(".prn")])

    def next_job(self, seconds=30.0):
        """The bytes of the next job, waiting for it to arrive."""
        path = os.path.join(self.folder, f"job-{self.seen + 1:06d}.prn")
        end = time.time() + seconds
        while not os.path.exists(path):
            if time.time() > end:
                pytest.fail(f"no job reached the capture printer ({path})")
            time.sleep(0.05)
        self.seen += 1
        with open(path, "rb") as f:
            return f.read()

    def nothing_more(self, seconds=1.0):
        """True when no further job arrives within `seconds`."""
        time.sleep(seconds)
        return self._count() == self.seen


@pytest.fixture
def capture(spooler, tmp_path, monkeypatch):
    """A capture of the coming jobs; the test runs in a folder of its own (the spool file is made there)."""
    monkeypatch.chdir(tmp_path)
    return Capture(spooler)
