#!/usr/bin/env python3
"""Private print spooler for the tests and the demo.

  harness.py start DIR      start a capture printer and a private cupsd in DIR, create the test queues
  harness.py stop DIR       stop both and remove the run-time files (captured jobs stay)
  harness.py env DIR        print the environment lines (CUPS_SERVER=..., KV_CAPTURE_DIR=...)
  harness.py queue DIR NAME URI   add a queue NAME (printer description "KIRV R5") that sends to URI,
                                  for example a virtual printer: socket://127.0.0.1:PORT
  harness.py capture DIR    (internal) run the capture printer in the foreground
  harness.py restart DIR    start cupsd again (after a test has stopped or killed it), same queues

KV_HARNESS_DOCUMENTS=yes makes it type and convert documents as any CUPS does (queues made with -m everywhere).
KV_HARNESS_JOB_HISTORY=No makes cupsd forget each job once it is done (the default keeps them all).
With KV_HARNESS_TCP_PORT set, cupsd also listens on 127.0.0.1:PORT (IPP over TCP), as a print server
of a site does; clients reach it with CUPS_SERVER=127.0.0.1:PORT.

With KV_HARNESS_DISPLAY set (":N"), start also runs an X server (Xvfb) on that display for the tests
that need real windows.

The capture printer is a loopback TCP listener: every connection that carries bytes is one job,
saved as DIR/jobs/job-NNNNNN.prn once the connection has ended (written first as .part, then renamed,
so a reader never sees half a job); a connection without bytes prints nothing, as on a real printer.
Every queue sends to it with socket://127.0.0.1:PORT. It also reads the FIFO DIR/device.fifo, which
stands in for a printer's device file: what one writer sends between its open and close is a job
(two writers in quick succession may arrive as one).

The queues take their printer descriptions from DIR/ppd (the shipped ones, made from the table of models
by data/make_ppd.py as the build makes them) or tests/support/ppd (made-up test printers); the spooler
offers the shipped ones as its models kirv/NAME.ppd, or those of the folder named by KV_HARNESS_PPD_DIR (an
unpacked package's).

cupsd refuses to run its filters and backends as root, so it runs them as User lp; DIR is
made readable for lp. The server listens only on DIR/cups.sock.
"""

import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "data"))
import make_ppd  # noqa: E402

MODELS_HEADER = os.path.join(HERE, "..", "..", "platform", "include", "kv", "models.h")
# The printer descriptions that users install are made from the table of models; those of made-up test
# printers stay here. KV_HARNESS_PPD_DIR names another folder of installed descriptions (an unpacked
# package's), which the spooler then also offers as its models kirv/NAME.ppd (lpinfo -m, lpadmin -m).
TEST_PPD_DIR = os.path.join(HERE, "ppd")


def shipped_ppd_dir(d):
    named = os.environ.get("KV_HARNESS_PPD_DIR")
    if named:
        return named
    made = os.path.join(d, "ppd")
    make_ppd.write_all(MODELS_HEADER, made)
    return made


def ppd_path(d, name):
    shipped = os.path.join(shipped_ppd_dir(d), name)
    return shipped if os.path.exists(shipped) else os.path.join(TEST_PPD_DIR, name)

# queue name -> (printer description file or None for a plain raw queue, state)
QUEUES = [
    ("KIRV_R5", "KIRV_R5.ppd", "enabled"),
    ("KIRV_R5i", "KIRV_R5i.ppd", "enabled"),
    ("Office_KIRV_R500i", "KIRV_R500i.ppd", "enabled"),
    ("Label_1", "KIRV_Label_1.ppd", "enabled"),
    ("Office_Laser", "Office_Laser.ppd", "enabled"),
    ("KIRV_R5_Stopped", "KIRV_R5.ppd", "stopped"),
    ("Raw_Refusing", None, "rejecting"),
]


def sock_path(d):
    return os.path.join(d, "cups.sock")


def fifo_path(d):
    return os.path.join(d, "device.fifo")


def env_lines(d):
    return [f"CUPS_SERVER={sock_path(d)}", f"KV_CAPTURE_DIR={os.path.join(d, 'jobs')}"]


def run_capture(d):
    jobs = os.path.join(d, "jobs")
    os.makedirs(jobs, exist_ok=True)
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", 0))
    srv.listen(16)
    with open(os.path.join(d, "capture.port.tmp"), "w") as f:
        f.write(str(srv.getsockname()[1]))
    os.rename(os.path.join(d, "capture.port.tmp"), os.path.join(d, "capture.port"))
    lock = threading.Lock()
    counter = [len([n for n in os.listdir(jobs) if n.endswith(".prn")])]

    def save(data):
        if not data:
            return
        with lock:
            counter[0] += 1
            n = counter[0]
        part = os.path.join(jobs, f"job-{n:06d}.part")
        with open(part, "wb") as out:
            out.write(data)
        os.rename(part, os.path.join(jobs, f"job-{n:06d}.prn"))

    def serve(conn):
        data = bytearray()
        with conn:
            while True:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                data += chunk
        save(bytes(data))

    def read_fifo():
        # The read end is never closed while a writer could come, so a writer never meets a FIFO
        # without a reader. After each end of data a fresh read end replaces the old one: poll on it
        # waits for the next writer instead of reporting the old writer's hang-up again.
        path = fifo_path(d)
        fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
        data = bytearray()
        while True:
            # Poll does not report the end of a writer that opened before this read end did, so
            # the pipe is also looked at every 50 ms.
            ready, _, _ = select.select([fd], [], [], 0.05)
            while True:
                try:
                    chunk = os.read(fd, 65536)
                except BlockingIOError:
                    break  # a writer is there, with nothing more for now
                if chunk:
                    data += chunk
                    continue
                if ready:
                    # No writer is left. A fresh read end, opened before the old one closes, keeps
                    # the FIFO read, and poll stops reporting the writer that has gone.
                    fresh = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
                    os.close(fd)
                    fd = fresh
                if data:
                    save(bytes(data))
                    data = bytearray()
                break

    if os.path.exists(fifo_path(d)):
        os.remove(fifo_path(d))
    os.mkfifo(fifo_path(d), 0o600)
    threading.Thread(target=read_fifo, daemon=True).start()

    while True:
        conn, _ = srv.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


def wait_for(what, test, seconds=30.0):
    end = time.time() + seconds
    while time.time() < end:
        if test():
            return
        time.sleep(0.05)
    raise SystemExit(f"harness: timed out waiting for {what}")


def cups_env(d):
    env = dict(os.environ)
    env["CUPS_SERVER"] = sock_path(d)
    return env


def lp(d, *args, check=True):
    r = subprocess.run(list(args), env=cups_env(d), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if check and r.returncode != 0:
        raise SystemExit(f"harness: {' '.join(args)} failed: {r.stderr.strip()}")
    return r


def write_config(d, port):
    etc = os.path.join(d, "etc")
    for sub in ("etc", "etc/ppd", "spool", "spool/tmp", "cache", "log", "state", "jobs"):
        os.makedirs(os.path.join(d, sub), exist_ok=True)
    tcp = os.environ.get("KV_HARNESS_TCP_PORT")
    listen_tcp = f"Listen 127.0.0.1:{int(tcp)}\n" if tcp else ""
    with open(os.path.join(etc, "cupsd.conf"), "w") as f:
        f.write(f"""LogLevel {os.environ.get("KV_HARNESS_LOGLEVEL", "warn")}
Listen {sock_path(d)}
{listen_tcp}Browsing No
DefaultAuthType None
WebInterface No
ErrorPolicy abort-job
JobRetryInterval 1
MaxJobs 0
PreserveJobHistory {os.environ.get("KV_HARNESS_JOB_HISTORY", "Yes")}
PreserveJobFiles No
DirtyCleanInterval 0
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
""")
    with open(os.path.join(etc, "cups-files.conf"), "w") as f:
        f.write(f"""User lp
Group lp
SystemGroup root
ServerRoot {etc}
RequestRoot {d}/spool
TempDir {d}/spool/tmp
CacheDir {d}/cache
StateDir {d}/state
ErrorLog {d}/log/error_log
AccessLog {d}/log/access_log
PageLog {d}/log/page_log
FatalErrors none
Sandboxing Relaxed
ServerBin /usr/lib/cups
DataDir {d}/data
""")
    # A data folder of our own: the system's, except for the type database. With no typing rules, every
    # document that a client sends as application/octet-stream (Wine's spooler does) stays that type and
    # goes to the printer raw, as a Windows RAW job does, instead of being auto-typed as text and refused.
    data = os.path.join(d, "data")
    shutil.rmtree(data, ignore_errors=True)
    os.makedirs(os.path.join(data, "mime"))
    os.makedirs(os.path.join(data, "model"))
    for name in os.listdir("/usr/share/cups"):
        if name not in ("mime", "model"):
            os.symlink(os.path.join("/usr/share/cups", name), os.path.join(data, name))
    for name in os.listdir("/usr/share/cups/model") if os.path.isdir("/usr/share/cups/model") else []:
        if name == "kirv":
            continue  # the installed package's descriptions: the tests offer the tree's (or KV_HARNESS_PPD_DIR's)
        os.symlink(os.path.join("/usr/share/cups/model", name), os.path.join(data, "model", name))
    os.symlink(os.path.abspath(shipped_ppd_dir(d)), os.path.join(data, "model", "kirv"))
    # KV_HARNESS_DOCUMENTS=yes keeps the system's typing and conversion rules as well, so that documents (PDF,
    # pictures) are typed and converted as on any CUPS, for queues made with -m everywhere.
    if os.environ.get("KV_HARNESS_DOCUMENTS") == "yes":
        for name in os.listdir("/usr/share/cups/mime"):
            os.symlink(os.path.join("/usr/share/cups/mime", name), os.path.join(data, "mime", name))
    with open(os.path.join(data, "mime", "raw.types"), "w") as f:
        f.write("application/octet-stream\napplication/vnd.cups-raw\n")
    with open(os.path.join(data, "mime", "raw.convs"), "w") as f:
        f.write("application/octet-stream application/vnd.cups-raw 0 -\n")


def start(d):
    d = os.path.abspath(d)
    if os.path.exists(os.path.join(d, "pids")):
        stop(d)
    os.makedirs(d, exist_ok=True)
    for sub in ("spool", "cache", "state", "etc"):
        shutil.rmtree(os.path.join(d, sub), ignore_errors=True)
    for name in ("capture.port", "cups.sock"):
        if os.path.exists(os.path.join(d, name)):
            os.remove(os.path.join(d, name))

    # The helpers get no descriptor of ours: whoever waits for this command to finish (ctest) must not
    # wait for them too.
    os.makedirs(os.path.join(d, "log"), exist_ok=True)
    with open(os.path.join(d, "log", "capture.out"), "w") as out:
        cap = subprocess.Popen([sys.executable, os.path.abspath(__file__), "capture", d],
                               stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                               start_new_session=True, close_fds=True)
    wait_for("the capture printer", lambda: os.path.exists(os.path.join(d, "capture.port")))
    port = int(open(os.path.join(d, "capture.port")).read())

    write_config(d, port)
    # cupsd drops to User lp for its helpers and checks that its files are not world-writable.
    os.chmod(d, 0o755)
    for root, dirs, files in os.walk(d):
        for name in dirs:
            os.chmod(os.path.join(root, name), 0o755)
    subprocess.run(["chown", "-R", "root:lp", os.path.join(d, "spool"), os.path.join(d, "cache"),
                    os.path.join(d, "state"), os.path.join(d, "log")], check=True)
    for sub in ("spool", "spool/tmp", "cache", "state"):
        os.chmod(os.path.join(d, sub), 0o775)
    cupsd = launch_cupsd(d)
    pids = [cap.pid, cupsd.pid]
    display = os.environ.get("KV_HARNESS_DISPLAY")
    if display:
        lock = f"/tmp/.X{display.lstrip(':')}-lock"
        if os.path.exists(lock):
            os.remove(lock)
        xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        pids.append(xvfb.pid)
        sock = f"/tmp/.X11-unix/X{display.lstrip(':')}"
        wait_for("the X server", lambda: os.path.exists(sock))
    with open(os.path.join(d, "pids"), "w") as f:
        f.write("".join(f"{pid}\n" for pid in pids))
    wait_for_cupsd(d, cupsd)

    # No SNMP: the capture printer has no agent, and the query would cost seconds per job.
    uri = f"socket://127.0.0.1:{port}/?snmp=false"
    for queue, ppd, state in QUEUES:
        args = ["lpadmin", "-p", queue, "-v", uri, "-E"]
        if ppd:
            args += ["-P", ppd_path(d, ppd)]
        else:
            args += ["-m", "raw"]
        r = lp(d, *args, check=False)
        if r.returncode != 0 and ppd is None:
            # Newer CUPS has no "raw" model: a queue without any description is raw as well.
            lp(d, "lpadmin", "-p", queue, "-v", uri, "-E")
        elif r.returncode != 0:
            raise SystemExit(f"harness: lpadmin for {queue} failed: {r.stderr.strip()}")
        if state == "stopped":
            lp(d, "cupsdisable", queue)
        elif state == "rejecting":
            lp(d, "cupsreject", queue)
    for line in env_lines(d):
        print(line)


def launch_cupsd(d):
    with open(os.path.join(d, "log", "cupsd.out"), "a") as out:
        cupsd = subprocess.Popen(["cupsd", "-f", "-c", os.path.join(d, "etc", "cupsd.conf"),
                                  "-s", os.path.join(d, "etc", "cups-files.conf")],
                                 stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                 start_new_session=True)
    with open(os.path.join(d, "cupsd.pid"), "w") as f:
        f.write(f"{cupsd.pid}\n")
    return cupsd


def wait_for_cupsd(d, cupsd):
    def running():
        if cupsd.poll() is not None:
            raise SystemExit("harness: cupsd ended at start-up; see " + os.path.join(d, "log"))
        return os.path.exists(sock_path(d)) and lp(d, "lpstat", "-r", check=False).stdout.startswith(
            "scheduler is running")
    wait_for("cupsd", running)


def restart(d):
    """Starts cupsd again in place of one that a test stopped or killed; the queues are kept."""
    d = os.path.abspath(d)
    old = int(open(os.path.join(d, "cupsd.pid")).read())
    try:
        os.killpg(old, signal.SIGKILL)
    except ProcessLookupError:
        pass
    for _ in range(200):
        try:
            os.kill(old, 0)
        except ProcessLookupError:
            break
        time.sleep(0.05)
    cupsd = launch_cupsd(d)
    pids = [int(p) for p in open(os.path.join(d, "pids")).read().split()]
    pids = [cupsd.pid if p == old else p for p in pids]
    with open(os.path.join(d, "pids"), "w") as f:
        f.write("".join(f"{pid}\n" for pid in pids))
    wait_for_cupsd(d, cupsd)


def stop(d):
    d = os.path.abspath(d)
    pids = os.path.join(d, "pids")
    if not os.path.exists(pids):
        return
    for pid in open(pids).read().split():
        try:
            os.killpg(int(pid), signal.SIGTERM)
        except ProcessLookupError:
            pass
    for pid in open(pids).read().split():
        for _ in range(100):
            try:
                os.kill(int(pid), 0)
            except ProcessLookupError:
                break
            time.sleep(0.05)
    os.remove(pids)
    for name in ("capture.port", "cups.sock"):
        if os.path.exists(os.path.join(d, name)):
            os.remove(os.path.join(d, name))


def add_queue(d, name, uri):
    lp(d, "lpadmin", "-p", name, "-v", uri, "-E", "-P", ppd_path(d, "KIRV_R5.ppd"))


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "queue":
        add_queue(os.path.abspath(sys.argv[2]), sys.argv[3], sys.argv[4])
        return
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop", "env", "capture", "restart"):
        raise SystemExit(__doc__)
    cmd, d = sys.argv[1], sys.argv[2]
    if cmd == "start":
        start(d)
    elif cmd == "stop":
        stop(d)
    elif cmd == "restart":
        restart(d)
    elif cmd == "env":
        for line in env_lines(os.path.abspath(d)):
            print(line)
    else:
        run_capture(os.path.abspath(d))


if __name__ == "__main__":
    main()
