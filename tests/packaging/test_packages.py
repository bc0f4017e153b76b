"""The Debian packages of build/packages (scripts/package), installed as a user installs them: unpacked
into a scratch root with dpkg -x (and, with KV_PACKAGE_APT=1 as root, installed with apt-get, set up as the
README says against a cupsd of the system's own folders, and removed again). The installed tool starts with
the installed library, a C program builds against the installed development files through pkg-config and
through find_package and prints a label byte for byte, so does the Python package, the spooler offers the
installed printer descriptions, lintian finds no error, the binaries are hardened, and a second build of
the commit gives the same packages."""

import email.utils
import glob
import gzip
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import textwrap
import time

import pytest

from common import LABEL_BYTES, LABEL_PROGRAM, ROOT, Spooler, StockSpooler, supported_models

PACKAGES = os.path.join(ROOT, "build", "packages")
# Every package built (the README's table must name each).
NAMES = sorted(os.path.basename(p).split("_")[0] for p in glob.glob(os.path.join(PACKAGES, "*.deb")))
MULTIARCH = subprocess.run(["dpkg-architecture", "-qDEB_HOST_MULTIARCH"], stdout=subprocess.PIPE,
                           text=True).stdout.strip()
LIBDIR = f"usr/lib/{MULTIARCH}"

def deb(name):
    found = glob.glob(os.path.join(PACKAGES, f"{name}_*.deb"))
    assert len(found) == 1, f"{name}: {found} (run scripts/package)"
    return found[0]


def field(name, key):
    return subprocess.run(["dpkg-deb", "-f", deb(name), key], stdout=subprocess.PIPE, text=True,
                          check=True).stdout.strip()


@pytest.fixture(scope="module")
def root():
    """A scratch root holding every package's files."""
    folder = tempfile.mkdtemp(prefix="kvroot-", dir="/tmp")
    os.chmod(folder, 0o755)  # the spooler's helpers (User lp) read the descriptions from here
    for name in NAMES:
        subprocess.run(["dpkg", "-x", deb(name), folder], check=True)
    yield folder
    shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture(scope="module")
def spooler(root):
    s = Spooler(ppd_dir=os.path.join(root, "usr", "share", "cups", "model", "kirv"))
    yield s
    s.stop()


def test_packages_hold_what_they_promise(root):
    version = field("libkvtaglib1", "Version")
    for name in NAMES:
        assert field(name, "Version") == version
    assert version.startswith(open(os.path.join(ROOT, "library", "include", "kvtaglib.h")).read()
                              .split('#define KVTAGLIB_VERSION "')[1].split('"')[0] + "-")
    # dpkg-shlibdeps found the library's run-time packages.
    depends = field("libkvtaglib1", "Depends")
    for needed in ("libcups2", "libfreetype6", "libfontconfig1", "libc6"):
        assert needed in depends
    assert f"libkvtaglib1 (= {version})" in field("libkvtaglib-dev", "Depends")
    assert "libkvtaglib1" in field("kvpanel", "Depends") and "libqt6widgets6" in field("kvpanel", "Depends")
    assert field("printer-driver-kirv", "Architecture") == "all"
    assert field("python3-kvtag", "Architecture") == "all" and "libkvtaglib1 (>=" in field("python3-kvtag", "Depends")
    listing = {name: subprocess.run(["dpkg-deb", "-c", deb(name)], stdout=subprocess.PIPE, text=True,
                                    check=True).stdout for name in NAMES}
    # Where a stock CUPS offers them as kirv/NAME.ppd (not /usr/share/ppd, which it lists as lsb/usr/...).
    assert "./usr/share/cups/model/kirv/KIRV_R5.ppd" in listing["printer-driver-kirv"]
    assert "./usr/lib/python3/dist-packages/kvtag/_codes.py" in listing["python3-kvtag"]
    assert f"./{LIBDIR}/libkvtaglib.so.1.0.0" in listing["libkvtaglib1"]
    assert f"./{LIBDIR}/libkvtaglib.so ->" in listing["libkvtaglib-dev"]
    assert "./usr/include/kvtaglib.h" in listing["libkvtaglib-dev"]
    assert "libkvtaglib.so " not in listing["libkvtaglib1"]  # the unversioned link is for building only
    assert os.path.islink(os.path.join(root, LIBDIR, "libkvtaglib.so.1"))
    assert "libpappl1" in field("kvprinter", "Depends")
    for path in ("usr/bin/kvprinter", "usr/lib/systemd/system/kvprinter.service",
                 "usr/lib/systemd/user/kvprinter.service", "usr/share/man/man1/kvprinter.1.gz"):
        assert f"./{path}\n" in listing["kvprinter"], path


def test_lintian_finds_no_error():
    run = subprocess.run(["lintian", "--no-tag-display-limit"] + [deb(n) for n in NAMES],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    print(run.stdout)  # the warnings left, for the record
    errors = [line for line in run.stdout.splitlines() if line.startswith("E:")]
    assert errors == [] and run.returncode in (0, 2), run.stdout


def test_installed_tool_starts_with_the_installed_library(root, tmp_path):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LD_LIBRARY_PATH=os.path.join(root, LIBDIR),
               LC_ALL="C.UTF-8")
    program = os.path.join(root, "usr", "bin", "kvpanel")
    if b"--version" in open(program, "rb").read():
        version = subprocess.run([program, "--version"], env=env, stdout=subprocess.PIPE, text=True, timeout=30)
        assert field("libkvtaglib1", "Version").split("-")[0] in version.stdout
    tool = subprocess.Popen([program], env=env, cwd=tmp_path, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        maps = ""
        end = time.time() + 20
        while time.time() < end and os.path.join(root, LIBDIR, "libkvtaglib.so.1.0.0") not in maps:
            assert tool.poll() is None, tool.stderr.read().decode()
            with open(f"/proc/{tool.pid}/maps") as f:
                maps = f.read()
            time.sleep(0.1)
        # The dialog is up: it loaded the installed library by its file name, and made its settings file.
        assert os.path.join(root, LIBDIR, "libkvtaglib.so.1.0.0") in maps
        assert "DisplayLan" in (tmp_path / "KV_setting.ini").read_text()
    finally:
        tool.send_signal(signal.SIGTERM)
        tool.wait(timeout=10)


def test_c_program_through_pkg_config(root, spooler, tmp_path):
    env = dict(os.environ, PKG_CONFIG_PATH=os.path.join(root, LIBDIR, "pkgconfig"))

    def pkg_config(*args, **more):
        return subprocess.run(["pkg-config"] + list(args) + ["kvtaglib"], env=dict(env, **more),
                              stdout=subprocess.PIPE, text=True, check=True).stdout.split()

    # Installed in /usr the file names the system's folders as they are, so pkg-config leaves them out;
    # in the scratch root it is read as in a system root (PKG_CONFIG_SYSROOT_DIR), as a cross build does.
    assert pkg_config("--variable=prefix") == ["/usr"]
    assert pkg_config("--cflags", "--libs") == ["-lkvtaglib"]
    flags = pkg_config("--cflags", "--libs", PKG_CONFIG_SYSROOT_DIR=root)
    assert flags == [f"-I{root}/usr/include", f"-L{root}/{LIBDIR}", "-lkvtaglib"]
    (tmp_path / "label.c").write_text(LABEL_PROGRAM)
    subprocess.run(["cc", "-Wall", "-Werror", "-o", str(tmp_path / "label"), str(tmp_path / "label.c")] + flags,
                   check=True)
    before = spooler.job_count()
    run = subprocess.run([str(tmp_path / "label")], env=dict(spooler.env, LD_LIBRARY_PATH=os.path.join(root, LIBDIR)),
                         cwd=tmp_path, stdout=subprocess.PIPE, text=True)
    assert run.stdout == "0\n"
    assert spooler.wait_for_job(before + 1) == LABEL_BYTES


def test_c_program_through_find_package_on_a_queue_made_from_an_installed_description(root, spooler, tmp_path):
    queue = "Installed_KIRV_R5i"
    spooler.run("lpadmin", "-p", queue, "-E", "-v", f"socket://127.0.0.1:{spooler.port}/?snmp=false",
                "-m", "kirv/KIRV_R5i.ppd", check=True)
    (tmp_path / "src").mkdir()
    (tmp_path / "src" / "label.c").write_text(LABEL_PROGRAM)
    (tmp_path / "src" / "CMakeLists.txt").write_text(
        "cmake_minimum_required(VERSION 3.25)\nproject(label C)\nfind_package(kvtaglib 2 REQUIRED)\n"
        "add_executable(label label.c)\ntarget_link_libraries(label PRIVATE kvtag::kvtaglib)\n")
    subprocess.run(["cmake", "-S", str(tmp_path / "src"), "-B", str(tmp_path / "build"), "-G", "Ninja",
                    f"-DCMAKE_PREFIX_PATH={root}/usr"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(tmp_path / "build")], check=True, stdout=subprocess.DEVNULL)
    before = spooler.job_count()
    run = subprocess.run([str(tmp_path / "build" / "label"), "Installed KIRV R5i"],
                         env=dict(spooler.env, LD_LIBRARY_PATH=os.path.join(root, LIBDIR)), cwd=tmp_path,
                         stdout=subprocess.PIPE, text=True)
    assert run.stdout == "0\n"
    assert spooler.wait_for_job(before + 1) == LABEL_BYTES


def test_spooler_lists_every_installed_description(spooler):
    listed = spooler.run("lpinfo", "-m", check=True).stdout
    for model in supported_models():
        assert f"kirv/{model.replace(' ', '_')}.ppd {model}\n" in listed


def test_python_package_prints(root, spooler, tmp_path):
    script = textwrap.dedent("""
        import kvtag
        with kvtag.open("KIRV R5") as job:
            job.set_label_width(812)
            job.text(40, 30, "installed", font=4)
            job.print_label(1, 1)
        print(kvtag.__file__)
    """)
    before = spooler.job_count()
    run = subprocess.run(["/usr/bin/python3", "-c", script], cwd=tmp_path, stdout=subprocess.PIPE, text=True,
                         env=dict(spooler.env, PYTHONPATH=os.path.join(root, "usr/lib/python3/dist-packages"),
                                  KVTAG_LIBRARY=os.path.join(root, LIBDIR, "libkvtaglib.so.1")), check=True)
    assert run.stdout.startswith(os.path.join(root, "usr/lib/python3/dist-packages/kvtag/"))
    assert spooler.wait_for_job(before + 1) == LABEL_BYTES


def elf_files(root):
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            if not os.path.islink(path) and open(path, "rb").read(4) == b"\x7fELF":
                yield path


def readelf(*args):
    return subprocess.run(["readelf", "-W"] + list(args), stdout=subprocess.PIPE, text=True, check=True).stdout


def test_binaries_are_hardened_and_carry_no_compiler_notes(root):
    files = list(elf_files(root))
    assert len(files) >= 3, files  # the library, kvpanel, kvlabel
    for path in files:
        assert re.search(r"\(FLAGS\)\s+BIND_NOW|\(FLAGS_1\)\s+Flags: NOW", readelf("-d", path)), path
        assert "GNU_RELRO" in readelf("-l", path), path
        assert " .comment " not in readelf("-S", path), path
    # Fortified: the library calls the checking variants of the C library's string and print functions.
    imports = subprocess.run(["nm", "-D", "--undefined-only", os.path.join(root, LIBDIR, "libkvtaglib.so.1")],
                             stdout=subprocess.PIPE, text=True, check=True).stdout
    assert re.search(r"__\w+_chk\b", imports), imports


def test_symbols_file_names_every_export_of_the_library(root):
    symbols = subprocess.run(["dpkg-deb", "--info", deb("libkvtaglib1"), "symbols"], stdout=subprocess.PIPE,
                             text=True, check=True).stdout.splitlines()
    assert symbols[0] == "libkvtaglib.so.1 libkvtaglib1 #MINVER#"
    listed = sorted(line.split("@")[0].strip() for line in symbols[1:] if line.startswith(" "))
    exported = subprocess.run(["nm", "-D", "--defined-only", os.path.join(root, LIBDIR, "libkvtaglib.so.1")],
                              stdout=subprocess.PIPE, text=True, check=True).stdout.split()[2::3]
    assert listed == sorted(exported) and "OpenPort" in listed


def test_readme_lists_every_package_and_each_is_dated_by_the_last_commit(root):
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        table = f.read().split("## Installing the kit", 1)[1].split("\n## ", 1)[0]
    assert sorted(re.findall(r"^\| `([a-z0-9.+-]+)` \|", table, re.M)) == NAMES
    commit = int(subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], stdout=subprocess.PIPE,
                                text=True, check=True).stdout)
    for name in NAMES:
        with gzip.open(os.path.join(root, "usr/share/doc", name, "changelog.Debian.gz"), "rt") as f:
            date = re.search(r"^ -- .*>  (.*)$", f.read(), re.M).group(1)
        assert email.utils.parsedate_to_datetime(date).timestamp() == commit, name


def build_packages_of_head(folder):
    """Clones the commit that is checked out and builds its packages there; their folder."""
    subprocess.run(["git", "clone", "-q", ROOT, str(folder)], check=True)
    env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
    subprocess.run([os.path.join(folder, "scripts", "package")], cwd=folder, env=env, check=True,
                   stdout=subprocess.DEVNULL, timeout=1800)
    return os.path.join(folder, "build", "packages")


def test_a_second_build_of_the_commit_gives_identical_packages(tmp_path):
    head = subprocess.run(["git", "-C", ROOT, "rev-parse", "HEAD"], stdout=subprocess.PIPE, text=True,
                          check=True).stdout.strip()
    with open(os.path.join(PACKAGES, "commit")) as f:
        built_from = f.read().strip()
    # build/packages counts as the first build when scripts/package made it from this commit, unchanged.
    first = PACKAGES if built_from == head else build_packages_of_head(tmp_path / "first")
    second = build_packages_of_head(tmp_path / "second")  # another folder: no path of the build may show
    names = sorted(os.path.basename(p) for p in glob.glob(os.path.join(first, "*.deb")))
    assert names == sorted(os.path.basename(p) for p in glob.glob(os.path.join(second, "*.deb")))
    differing = [n for n in names if open(os.path.join(first, n), "rb").read() !=
                 open(os.path.join(second, n), "rb").read()]
    assert differing == []


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR"
    return struct.unpack(">II", head[16:24])


def test_desktop_entry_icons_and_manual_pages(root):
    desktop = os.path.join(root, "usr", "share", "applications", "kvpanel.desktop")
    subprocess.run(["desktop-file-validate", desktop], check=True)
    text = open(desktop, encoding="utf-8").read()
    assert "Exec=kvpanel\n" in text and "Icon=kvpanel\n" in text and "Name[zh_CN]=" in text
    for size in (16, 32, 48, 128):
        assert png_size(os.path.join(root, f"usr/share/icons/hicolor/{size}x{size}/apps/kvpanel.png")) == (size, size)
    for page in ("usr/share/man/man1/kvpanel.1.gz", "usr/share/man/man3/kvtaglib.3.gz"):
        run = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", os.path.join(root, page)],
                             env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"), stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
        assert run.returncode == 0 and run.stderr == "" and "SEE ALSO" in run.stdout
    # The library's page names every export.
    functions = subprocess.run(["man", "-l", os.path.join(root, "usr/share/man/man3/kvtaglib.3.gz")],
                               env=dict(os.environ, MANWIDTH="200"), stdout=subprocess.PIPE, text=True).stdout
    exports = [line.split("@")[0].strip() for line in open(os.path.join(ROOT, "library", "kvtaglib.def"))
               if "@" in line and not line.startswith(";")]
    assert len(exports) == 59
    for name in exports + ["KV_SetHostHandlers"]:
        assert f" {name}(" in functions
    assert "clang-format" not in functions  # the header's formatter notes are no headings of the page


@pytest.mark.skipif(os.environ.get("KV_PACKAGE_APT") != "1" or os.geteuid() != 0,
                    reason="installs into the system: set KV_PACKAGE_APT=1 and run as root (CI)")
def test_apt_installs_the_packages_and_the_readme_sets_up_a_printer_on_a_stock_cups(spooler, tmp_path):
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(["apt-get", "install", "-y", "--no-install-recommends"] + [deb(n) for n in NAMES],
                   env=env, check=True, stdout=subprocess.DEVNULL)
    try:
        assert "libkvtaglib.so.1 " in subprocess.run(["ldconfig", "-p"], stdout=subprocess.PIPE, text=True).stdout
        assert os.access("/usr/bin/kvpanel", os.X_OK)
        assert subprocess.run(["pkg-config", "--cflags", "--libs", "kvtaglib"], stdout=subprocess.PIPE, text=True,
                              check=True).stdout.split() == ["-lkvtaglib"]
        # The README's set-up, word for word but for the address, on a cupsd with the system's own folders.
        stock = StockSpooler()
        try:
            assert "kirv/KIRV_R5.ppd KIRV R5\n" in stock.run("lpinfo", "-m", check=True).stdout
            stock.run("lpadmin", "-p", "KIRV_R5", "-E", "-v", f"socket://127.0.0.1:{spooler.port}/?snmp=false",
                      "-m", "kirv/KIRV_R5.ppd", check=True)
            # Debian's python3 and the installed kvtag package, with the installed library.
            script = ('import kvtag\nwith kvtag.open("KIRV R5") as job:\n    job.set_label_width(812)\n'
                      '    job.text(40, 30, "installed", font=4)\n    job.print_label(1, 1)\n')
            before = spooler.job_count()
            clean = {k: v for k, v in stock.env.items() if k not in ("PYTHONPATH", "KVTAG_LIBRARY", "LD_LIBRARY_PATH")}
            subprocess.run(["/usr/bin/python3", "-c", script], env=clean, cwd=tmp_path, check=True)
            assert spooler.wait_for_job(before + 1) == LABEL_BYTES
        finally:
            stock.stop()
    finally:
        subprocess.run(["apt-get", "remove", "--purge", "-y"] + NAMES, env=env, check=True, stdout=subprocess.DEVNULL)
    assert not os.path.exists("/usr/bin/kvpanel")
    assert not os.path.exists("/usr/lib/python3/dist-packages/kvtag")  # nor its byte code
    listed = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${db:Status-Abbrev}\n"] + NAMES,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
    assert all(line.split()[1:] in ([], ["un"], ["pn"]) for line in listed.splitlines()), listed
