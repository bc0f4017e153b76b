"""What the packaging tests share: the source tree, the supported models, a private spooler."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
HARNESS = os.path.join(ROOT, "tests", "support", "harness.py")
MODELS_HEADER = os.path.join(ROOT, "platform", "include", "kv", "models.h")


# A C program that prints one label on the printer named by its argument, and the bytes it sends.
LABEL_PROGRAM = r"""
#include <kvtaglib.h>
#include <stdio.h>
int main(int argc, char **argv) {
  int r = OpenPort(argc > 1 ? argv[1] : "KIRV R5");
  if (r == KV_OK) r = KV_ClearBuffer();
  if (r == KV_OK) r = KV_SetLabelWidth(812);
  if (r == KV_OK) r = KV_DrawText(40, 30, 0, 4, 1, 1, 'N', "installed");
  if (r == KV_OK) r = KV_PrintLabel(1, 1);
  ClosePort();
  printf("%d\n", r);
  return r == KV_OK ? 0 : 1;
}
"""
LABEL_BYTES = b'N\r\nq812\r\nT40,30,0,4,1,1,N,"installed"\r\n'
LABEL_BYTES += b"W1,1\r\n"


def supported_models():
    """The models of the table of models (kv/models.h), with their resolution."""
    sys.path.insert(0, os.path.join(ROOT, "data"))
    import make_ppd
    models = {m.name: m.dpi for m in make_ppd.read_models(MODELS_HEADER)}
    assert len(models) == 9, models
    return models


class Spooler:
    """A private cupsd and capture printer (the test harness), optionally offering another folder of
    printer descriptions."""

    def __init__(self, ppd_dir=None):
        self.dir = tempfile.mkdtemp(prefix="kvpk-", dir="/tmp")
        env = dict(os.environ)
        env.pop("KV_HARNESS_DISPLAY", None)
        if ppd_dir:
            env["KV_HARNESS_PPD_DIR"] = ppd_dir
        out = subprocess.run([sys.executable, HARNESS, "start", self.dir], env=env, check=True,
                             stdout=subprocess.PIPE, text=True).stdout
        self.env = dict(os.environ)
        for line in out.split():
            key, _, value = line.partition("=")
            self.env[key] = value
        self.jobs = self.env["KV_CAPTURE_DIR"]
        with open(os.path.join(self.dir, "capture.port")) as f:
            self.port = int(f.read())

    def run(self, *args, **kwargs):
        return subprocess.run(list(args), env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              text=True, **kwargs)

    def job_count(self):
        return len([n for n in os.listdir(self.jobs) if n.endswith(".prn")])

    def wait_for_job(self, index, seconds=30.0):
        path = os.path.join(self.jobs, f"job-{index:06d}.prn")
        end = time.time() + seconds
        while not os.path.exists(path):
            if time.time() > end:
                raise AssertionError(f"no job {path}")
            time.sleep(0.05)
        with open(path, "rb") as f:
            return f.read()

    def stop(self):
        subprocess.run([sys.executable, HARNESS, "stop", self.dir], check=False)


class StockSpooler:
    """A cupsd as a stock install runs it, with the system's own data and driver folders (DataDir
    /usr/share/cups, ServerBin /usr/lib/cups: what the installed packages put there is what it offers), but
    its own configuration, state and socket in a scratch folder, so that it disturbs nothing. It ends by
    itself after `seconds`, should the test that started it never stop it."""

    def __init__(self, seconds=300):
        self.dir = tempfile.mkdtemp(prefix="kvstock-", dir="/tmp")
        os.chmod(self.dir, 0o755)
        for sub in ("etc", "etc/ppd", "spool", "spool/tmp", "cache", "state", "log"):
            os.makedirs(os.path.join(self.dir, sub), mode=0o755)
        self.socket = os.path.join(self.dir, "cups.sock")
        with open(os.path.join(self.dir, "etc", "cupsd.conf"), "w") as f:
            f.write(f"Listen {self.socket}\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                    "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                    "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
                    "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
        # No DataDir and no ServerBin: the compiled-in folders of the system's CUPS.
        with open(os.path.join(self.dir, "etc", "cups-files.conf"), "w") as f:
            f.write(f"User lp\nGroup lp\nSystemGroup root\nServerRoot {self.dir}/etc\n"
                    f"RequestRoot {self.dir}/spool\nTempDir {self.dir}/spool/tmp\nCacheDir {self.dir}/cache\n"
                    f"StateDir {self.dir}/state\nErrorLog {self.dir}/log/error_log\n"
                    f"AccessLog {self.dir}/log/access_log\nPageLog {self.dir}/log/page_log\nFatalErrors none\n")
        subprocess.run(["chown", "-R", "root:lp"] + [os.path.join(self.dir, s) for s in
                                                      ("spool", "cache", "state", "log")], check=True)
        for sub in ("spool", "spool/tmp", "cache", "state"):
            os.chmod(os.path.join(self.dir, sub), 0o775)
        self.env = dict(os.environ, CUPS_SERVER=self.socket)
        self.cupsd = subprocess.Popen(["timeout", "-k", "5", str(seconds), "cupsd", "-f",
                                       "-c", os.path.join(self.dir, "etc", "cupsd.conf"),
                                       "-s", os.path.join(self.dir, "etc", "cups-files.conf")],
                                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL, start_new_session=True)
        end = time.time() + 30
        while self.run("lpstat", "-r").stdout.strip() != "scheduler is running":
            if self.cupsd.poll() is not None or time.time() > end:
                self.stop()
                raise AssertionError(f"the stock cupsd did not start; see {self.dir}/log")
            time.sleep(0.1)

    def run(self, *args, **kwargs):
        return subprocess.run(list(args), env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              text=True, **kwargs)

    def stop(self):
        if self.cupsd.poll() is None:
            os.killpg(self.cupsd.pid, signal.SIGTERM)
            self.cupsd.wait(timeout=20)
        shutil.rmtree(self.dir, ignore_errors=True)
