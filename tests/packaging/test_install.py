"""`cmake --install` of a build tree into any prefix: the pkg-config file and the CMake package found there
point into that prefix, and a C program built through pkg-config prints a label."""

import os
import subprocess

from common import LABEL_BYTES, LABEL_PROGRAM, Spooler

BUILD = os.environ.get("KV_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "linux"))


def test_pkg_config_follows_the_install_prefix(tmp_path):
    prefix = tmp_path / "prefix"
    subprocess.run(["cmake", "--install", BUILD, "--prefix", str(prefix)], check=True, stdout=subprocess.DEVNULL)
    (pc,) = prefix.glob("lib*/**/pkgconfig/kvtaglib.pc")
    env = dict(os.environ, PKG_CONFIG_PATH=str(pc.parent))
    include = subprocess.run(["pkg-config", "--variable=includedir", "kvtaglib"], env=env, stdout=subprocess.PIPE,
                             text=True, check=True).stdout.strip()
    assert os.path.realpath(include) == str(prefix / "include")
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "kvtaglib"], env=env, stdout=subprocess.PIPE,
                           text=True, check=True).stdout.split()
    (tmp_path / "label.c").write_text(LABEL_PROGRAM)
    subprocess.run(["cc", "-Wall", "-Werror", "-o", str(tmp_path / "label"), str(tmp_path / "label.c")] + flags,
                   check=True)
    spooler = Spooler()
    try:
        before = spooler.job_count()
        run = subprocess.run([str(tmp_path / "label"), "KIRV R5"], cwd=tmp_path, stdout=subprocess.PIPE, text=True,
                             env=dict(spooler.env, LD_LIBRARY_PATH=str(pc.parent.parent)))
        assert run.stdout == "0\n"
        assert spooler.wait_for_job(before + 1) == LABEL_BYTES
    finally:
        spooler.stop()
