#!/usr/bin/env python3
"""kvprinter's own pages as a browser uses them: a server of the test's own (a free loopback port, its own
state and spool folders) with two printers whose devices are virtual printers (kvlabel serve, 203 and
300 dpi). Every form is posted as the page's own form posts it (its hidden fields, its session, the button
pressed); what reaches the device is compared with the tool's table of cases (tests/tool/set_cases.h) and,
where the printer can be addressed directly, with what `kvpanel --set` sends for the same value.

Environment: KV_KVPRINTER, KV_KVLABEL, KV_PANEL (programs), KV_SET_CASES (the table), KV_SCREENSHOTS (the
folder for the browser's pictures), KV_CHROMIUM (the browser; the browser tests skip without it).
"""

import base64
import codecs
import fcntl
import html.parser
import json
import os
import re
import shutil
import socket
import subprocess
import tempfile
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

KVPRINTER = os.environ.get("KV_KVPRINTER", "kvprinter")
KVLABEL = os.environ.get("KV_KVLABEL", "kvlabel")
PANEL = os.environ.get("KV_PANEL", "kvpanel")
CHROMIUM = os.environ.get("KV_CHROMIUM", "/usr/bin/chromium")
# The socket through which kvprinter's sub-commands reach the server of this user.
SERVER_SOCKET = ("/run/kvprinter.sock" if os.geteuid() == 0 else
                 f"{os.environ.get('TMPDIR', '/tmp')}/kvprinter{os.geteuid()}.sock")
PRINTERS = {"R5": ("kirv_r5", 203), "R5i": ("kirv_r5i", 300)}  # the app's printer: driver, device dpi
CASE_PRINTER = {"KIRV R5": "R5", "KIRV R5i": "R5i"}


def c_string(token):
    token = token.strip()
    if token in ("nullptr", "NULL"):
        return None
    return codecs.decode(token[1:-1], "unicode_escape")


def read_cases(path):
    """The rows of kSetCases and kButtonCases, read as text (as data/make_ppd.py reads the table of models)."""
    text = read(path)
    set_rows, button_rows = [], []
    block = text[text.index("kSetCases[]"):text.index("};", text.index("kSetCases[]"))]
    for row in re.findall(r"^\s*\{(.*)\},\s*$", block, re.M):
        f = [x.strip() for x in re.findall(r'"(?:[^"\\]|\\.)*"|[^,]+', row)]
        set_rows.append(dict(name=c_string(f[0]), index=int(f[1]), printer=c_string(f[2]), stored=c_string(f[3]),
                             shown=c_string(f[4]), typed=c_string(f[5]), command=c_string(f[6]),
                             kept=c_string(f[7]), echo=c_string(f[8]), out_of_range=f[9] == "true"))
    block = text[text.index("kButtonCases[]"):text.index("};", text.index("kButtonCases[]"))]
    for row in re.findall(r"^\s*\{(.*)\},\s*$", block, re.M):
        f = [x.strip() for x in re.findall(r'"(?:[^"\\]|\\.)*"|[^,]+', row)]
        button_rows.append(dict(index=int(f[0]), word=c_string(f[2]), command=c_string(f[3])))
    return set_rows, button_rows


class Forms(html.parser.HTMLParser):
    """The page's forms (their fields in order) and the stored value shown for each option."""

    def __init__(self, text):
        super().__init__()
        self.forms, self.stored, self.message, self._span, self._msg = [], {}, None, None, False
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "form":
            self.forms.append({"action": a.get("action"), "fields": []})
        elif tag in ("input", "button") and self.forms:
            self.forms[-1]["fields"].append(a)
        elif tag == "span" and a.get("class") == "kv-stored":
            self._span = a["id"][len("stored-"):]
            self.stored[self._span] = ""
        elif tag == "div" and a.get("id") == "kv-message":
            self._msg, self.message = True, ""

    def handle_endtag(self, tag):
        if tag == "span":
            self._span = None
        if tag == "div":
            self._msg = False

    def handle_data(self, data):
        if self._span:
            self.stored[self._span] += data
        if self._msg:
            self.message += data

    def form_of(self, option):
        for f in self.forms:
            if any(x.get("name") == "option" and x.get("value") == option for x in f["fields"]):
                return f
        raise AssertionError(f"no form for {option}")


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def socket_answers(path):
    with socket.socket(socket.AF_UNIX) as s:
        try:
            s.connect(path)
            return True
        except OSError:
            return False


def wait_until(test, seconds=30.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if test():
            return True
        time.sleep(0.05)
    return test()


class Server:
    """kvprinter server, its printers and their virtual printers."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="kvprinter-web-")
        self.procs, self.server, self.port = [], None, 0
        assert not socket_answers(SERVER_SOCKET), "another kvprinter server is running"
        self.env = dict(os.environ, XDG_STATE_HOME=os.path.join(self.dir, "user-state"))
        self.devices = {}
        for name, (_, dpi) in PRINTERS.items():
            out = os.path.join(self.dir, "out-" + name)
            os.makedirs(out)
            log = os.path.join(self.dir, f"serve-{name}.log")
            with open(log, "w") as f:
                self.procs.append(subprocess.Popen([KVLABEL, "serve", "--port", "0", "--out", out, "--dpi", str(dpi)],
                                                   stdout=f, stderr=subprocess.STDOUT))
            assert wait_until(lambda: "127.0.0.1:" in read(log))
            port = int(re.search(r"127\.0\.0\.1:(\d+)", read(log)).group(1))
            self.devices[name] = (out, port)
        self.port = free_port()
        self.state = os.path.join(self.dir, "state")
        with open(os.path.join(self.dir, "server.out"), "w") as out:
            self.server = subprocess.Popen(
                [KVPRINTER, "server", "-o", f"server-port={self.port}", "-o", f"state-directory={self.state}", "-o",
                 f"spool-directory={self.dir}/spool", "-o", f"log-file={self.dir}/kvprinter.log", "-o",
                 "log-level=info", "-o", "dnssd=off"], stdout=out, stderr=subprocess.STDOUT, env=self.env)
        assert wait_until(lambda: socket_answers(SERVER_SOCKET))
        for name, (driver, _) in PRINTERS.items():
            subprocess.run([KVPRINTER, "add", "-d", name, "-v", f"socket://127.0.0.1:{self.devices[name][1]}",
                            "-m", driver], check=True, env=self.env, capture_output=True)

    def stop(self, keep):
        if self.server:
            subprocess.run([KVPRINTER, "shutdown"], env=self.env, capture_output=True)
        try:
            socket.create_connection(("127.0.0.1", self.port), 1).close()  # wakes the server to see it
        except OSError:
            pass
        for p in [q for q in [self.server] + self.procs if q]:
            try:
                p.wait(10 if p is self.server else 0.1)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        if not keep:
            shutil.rmtree(self.dir, ignore_errors=True)

    def url(self, path):
        return f"http://localhost:{self.port}{path}"

    def get(self, path, language=None):
        headers = {"Accept-Language": language} if language else {}
        with urllib.request.urlopen(urllib.request.Request(self.url(path), headers=headers), timeout=30) as r:
            return r.read().decode()

    def post(self, path, fields):
        data = urllib.parse.urlencode(fields).encode()
        try:
            with urllib.request.urlopen(urllib.request.Request(self.url(path), data=data), timeout=30) as r:
                return r.status, r.read().decode()
        except urllib.error.HTTPError as e:
            return e.code, ""

    def jobs(self, printer):
        out = self.devices[printer][0]
        return sorted((f for f in os.listdir(out) if f.endswith(".prn")), key=lambda f: int(re.sub(r"\D", "", f)))

    def new_bytes(self, printer, before, count=1):
        """The bytes of the device's jobs after the first `before`, once `count` have arrived."""
        out = self.devices[printer][0]
        assert wait_until(lambda: len(self.jobs(printer)) >= before + count), "nothing reached the device"
        return b"".join(read(os.path.join(out, f), "rb") for f in self.jobs(printer)[before:])

    def store(self, printer, key, value):
        """Puts a value into the application's settings file as a value stored before."""
        path = os.path.join(self.state, "KV_setting.ini")
        text = read(path) if os.path.exists(path) else ""
        lines = [l for l in text.splitlines() if not l.startswith(key + "=")] if value is None else text.splitlines()
        if value is not None:
            section = f"[{printer}]"
            if section not in lines:
                lines.append(section)
            lines = [l for l in lines if not l.startswith(key + "=")]
            lines.insert(lines.index(section) + 1, f"{key}={value}")
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")


SERVER = None
SET_CASES, BUTTON_CASES = read_cases(os.environ.get("KV_SET_CASES", "tests/tool/set_cases.h"))


def setUpModule():
    global SERVER, OPTIONS
    SERVER = Server.__new__(Server)
    try:
        SERVER.__init__()
    except BaseException:
        SERVER.stop(keep=True)
        raise
    # The command line's keys of the options, in the option list's order: (short key, stored key).
    listed = subprocess.run([PANEL, "--options"], capture_output=True, text=True, check=True, cwd=SERVER.dir).stdout
    OPTIONS = [tuple(line.split("\t")[:2]) for line in listed.splitlines()]
    assert len(OPTIONS) == 20 and len(SET_CASES) >= 20 and len(BUTTON_CASES) == 8, "the tables were not read"


def tearDownModule():
    SERVER.stop(keep=bool(unittest_failed))


unittest_failed = []


class Test(unittest.TestCase):
    def run(self, result=None):
        result = super().run(result)
        if result and (result.failures or result.errors):
            unittest_failed.append(True)
        return result


def posted(form, choose=None, values=None, confirm=True):
    """The fields the browser posts for a form: its inputs, the values typed, the box ticked, the button."""
    fields = []
    for f in form["fields"]:
        kind, name = f.get("type", "text"), f.get("name")
        if kind == "submit" or (f.get("type") is None and name == "button"):
            continue
        if kind == "checkbox":
            if confirm:
                fields.append((name, f.get("value", "on")))
        elif name:
            fields.append((name, (values or {}).get(name, f.get("value", ""))))
    if choose:
        fields.append(("button", choose))
    return fields


class SettingsPage(Test):
    def page(self, printer, language="en"):
        return Forms(SERVER.get(f"/{printer}/kvsettings?lang={language}"))

    def set_through_page(self, printer, option, values=None, button=None, confirm=True):
        form = self.page(printer).form_of(option)
        before = len(SERVER.jobs(printer))
        status, text = SERVER.post(form["action"], posted(form, button, values, confirm))
        self.assertEqual(status, 200)
        return before, Forms(text)

    def panel_bytes(self, key, value):
        """What kvpanel --set sends for the value to the 203 dpi printer, addressed directly."""
        printer = "R5"
        before = len(SERVER.jobs(printer))
        device = f"socket://127.0.0.1:{SERVER.devices[printer][1]}"
        given = [value] if value is not None else []
        ran = subprocess.run([PANEL, "--language", "en", "--printer", device, "--set", key] + given + ["--yes"],
                             capture_output=True, text=True, cwd=SERVER.dir)
        if ran.returncode != 0:
            return None
        return SERVER.new_bytes(printer, before)

    def test_every_option_as_the_tool_sets_it(self):
        for c in SET_CASES:
            with self.subTest(c["name"]):
                printer = CASE_PRINTER[c["printer"]]
                key, stored_key = OPTIONS[c["index"]]
                if stored_key != "-":
                    SERVER.store(printer, stored_key, c["stored"])
                    self.assertEqual(self.page(printer).stored.get(key), c["shown"])
                before, answer = self.set_through_page(printer, key, {"value": c["typed"]})
                if c["out_of_range"]:
                    refusal = f"Not a value this option takes: {c['typed']} (see --options)."
                    self.assertEqual(answer.message.strip(), refusal)
                    time.sleep(0.5)
                    self.assertEqual(len(SERVER.jobs(printer)), before, "a refused value reached the printer")
                    continue
                self.assertEqual(SERVER.new_bytes(printer, before).decode(), c["command"])
                if c["kept"] is not None:
                    self.assertEqual(self.page(printer).stored.get(key), c["echo"])
                if printer == "R5":
                    self.assertEqual(self.panel_bytes(key, c["typed"] or None).decode(), c["command"])

    def test_every_button(self):
        for c in BUTTON_CASES:
            with self.subTest(f"{OPTIONS[c['index']][0]} {c['word']}"):
                key = OPTIONS[c["index"]][0]
                before, _ = self.set_through_page("R5", key, button=c["word"])
                self.assertEqual(SERVER.new_bytes("R5", before).decode(), c["command"])
                self.assertEqual(self.panel_bytes(key, c["word"]).decode(), c["command"])

    def test_network_address(self):
        values = {"ip": "192.168.7.20", "mask": "255.255.255.0", "gateway": "192.168.7.1"}
        before, _ = self.set_through_page("R5", "network", values)
        sent = SERVER.new_bytes("R5", before, 3)
        self.assertEqual(sent, self.panel_bytes("network", "192.168.7.20,255.255.255.0,192.168.7.1"))
        stored = self.page("R5").stored["network"]
        self.assertEqual(stored, "192.168.7.20,255.255.255.0,192.168.7.1")

    def test_a_printer_name_cannot_break_the_settings_file(self):
        # A name with the characters of a section header and a key keeps its values in a section of its own.
        name = "Bay[2]=x"
        subprocess.run([KVPRINTER, "add", "-d", name, "-v", f"socket://127.0.0.1:{SERVER.devices['R5'][1]}", "-m",
                        "kirv_r5"], env=SERVER.env, check=True, capture_output=True)
        form = Forms(SERVER.get(f"/{urllib.parse.quote(name)}/kvsettings?lang=en")).form_of("darkness")
        before = len(SERVER.jobs("R5"))
        status, _ = SERVER.post(form["action"], posted(form, values={"value": "7"}))
        self.assertEqual(status, 200)
        SERVER.new_bytes("R5", before)
        lines = read(os.path.join(SERVER.state, "KV_setting.ini")).splitlines()
        self.assertIn("[Bay_2__x]", lines)
        self.assertFalse([l for l in lines if l.startswith("[Bay[")], lines)

    def test_advanced_reset_is_confirmed_first(self):
        for key in ("advanced-reset", "factory-reset"):
            with self.subTest(key):
                before, answer = self.set_through_page("R5", key, confirm=False)
                self.assertIn("Confirm the reset first", answer.message)
                time.sleep(0.3)
                self.assertEqual(len(SERVER.jobs("R5")), before)
                before, answer = self.set_through_page("R5", key)
                self.assertEqual(answer.message.strip(), "Sent to the printer.")
                self.assertEqual(SERVER.new_bytes("R5", before), self.panel_bytes(key, None))

    def test_bad_forms_are_refused_and_nothing_is_sent(self):
        form = self.page("R5").form_of("darkness")
        good = dict(posted(form, values={"value": "5"}))
        cases = [
            ("no session", {k: v for k, v in good.items() if k != "session"}, "This form is not one of this page's"),
            ("another session", dict(good, session="0" * 64), "This form is not one of this page's"),
            ("unknown option", dict(good, option="brightness"), "Unknown option: brightness"),
            ("no option", {k: v for k, v in good.items() if k != "option"}, "Unknown option: "),
            ("no value", {k: v for k, v in good.items() if k != "value"}, "Not a value this option takes: (none)"),
            ("out of range", dict(good, option="y-offset", value="-26"), "Not a value this option takes: -26"),
            ("control character", dict(good, value="5\r\n~JR"), "Unknown or incomplete arguments: 5??~JR"),
            ("over-long", dict(good, value="5" * 4000), "Not a value this option takes: 555"),
            ("not a number", dict(good, value="5x"), "Not a value this option takes: 5x"),
            ("bad address", dict(good, option="network", ip="1.2.3", mask="255.0.0.0", gateway="1.2.3.1"),
             "Not a value this option takes: 1.2.3,"),
            ("half an address", {"session": good["session"], "option": "network", "ip": "1.2.3.4"},
             "Not a value this option takes: (none)"),
        ]
        for name, fields, message in cases:
            with self.subTest(name):
                before = len(SERVER.jobs("R5"))
                status, text = SERVER.post(form["action"], fields)
                self.assertEqual(status, 200)
                self.assertIn(message, Forms(text).message)
                time.sleep(0.3)
                self.assertEqual(len(SERVER.jobs("R5")), before)
        with self.subTest("too large a form"):
            status, _ = SERVER.post(form["action"], dict(good, value="5" * 20000))
            self.assertEqual(status, 413)

    def test_languages(self):
        self.assertIn("Label printer settings", SERVER.get("/R5/kvsettings", "en-GB,en"))
        chinese = SERVER.get("/R5/kvsettings", "zh-CN,zh;q=0.9")
        self.assertIn("标签打印机设置", chinese)
        self.assertIn("已保存的值", chinese)
        self.assertIn("标签打印机设置", SERVER.get("/R5/kvsettings?lang=zh", "en"))
        self.assertIn("/R5/kvsettings", SERVER.get("/R5"), "the printer's page links the settings page")


SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LABEL_JOB = os.path.join(SOURCE, "tests", "fuzz", "corpus", "render_fuzz", "barcodes.prn")


def newest_job(printer):
    """The id of the newest job on the printer's preview list, 0 without one."""
    found = re.search(r'<div class="kv-job" id="job-(\d+)"', SERVER.get(f"/{printer}/kvpreview?part=jobs"))
    return int(found.group(1)) if found else 0


def submit(printer, path):
    """Prints a file through the application as users do (kvprinter submit): the device's job count and the
    preview list's newest job before."""
    before = (len(SERVER.jobs(printer)), newest_job(printer))
    subprocess.run([KVPRINTER, "submit", "-d", printer, path], check=True, env=SERVER.env, capture_output=True)
    return before


def preview_of(printer, after):
    """The preview list's line of the printer's first job after `after` once it is drawn: (job id, its pictures'
    PNG bytes, its warnings)."""
    found = {}

    def drawn():
        text = SERVER.get(f"/{printer}/kvpreview?part=jobs")
        jobs = re.findall(r'<div class="kv-job" id="job-(\d+)"(.*?)</div>', text, re.S)
        if not jobs or int(jobs[0][0]) <= after or "kv-label" not in jobs[0][1]:
            return False
        found["id"], found["line"] = int(jobs[0][0]), jobs[0][1]
        return True

    assert wait_until(drawn), "the job's preview did not appear"
    pngs = []
    for src in re.findall(r'<img class="kv-label" src="([^"]+)"', found["line"]):
        with urllib.request.urlopen(SERVER.url(src.replace("&amp;", "&")), timeout=30) as r:
            pngs.append(r.read())
    warnings = [html.unescape(w) for w in re.findall(r"<li>(.*?)</li>", found["line"])]
    return found["id"], pngs, warnings


class Preview(Test):
    def test_a_label_in_the_printers_language_is_kvlabel_renders_picture(self):
        before, last = submit("R5", LABEL_JOB)
        SERVER.new_bytes("R5", before)
        _, pngs, _ = preview_of("R5", last)
        rendered = os.path.join(SERVER.dir, "rendered.png")
        subprocess.run([KVLABEL, "render", LABEL_JOB, "-o", rendered], check=True, capture_output=True)
        # The same drawing written by the same PNG writer: equal files are equal dot for dot.
        self.assertEqual(pngs, [read(rendered, "rb")])

    def test_a_picture_job_shows_the_applications_bitmap(self):
        picture = os.path.join(SERVER.dir, "picture.png")
        subprocess.run([KVLABEL, "render", LABEL_JOB, "-o", picture], check=True, capture_output=True)
        before, last = submit("R5i", picture)
        SERVER.new_bytes("R5i", before)
        _, pngs, _ = preview_of("R5i", last)
        out = SERVER.devices["R5i"][0]
        # What the virtual printer drew of the bytes it received: the bitmap the application made.
        drawn = os.path.join(out, SERVER.jobs("R5i")[before].replace(".prn", ".png"))
        self.assertTrue(wait_until(lambda: os.path.exists(drawn)))
        self.assertEqual(pngs, [read(drawn, "rb")])

    def test_the_renderers_warnings_stand_beside_the_picture(self):
        job = os.path.join(SOURCE, "tests", "fuzz", "corpus", "render_fuzz", "forms_calling.prn")
        ran = subprocess.run([KVLABEL, "render", job, "-o", os.path.join(SERVER.dir, "cut.png")], capture_output=True,
                             text=True)
        expected = [l[len("kvlabel: "):] for l in ran.stderr.splitlines() if re.match(r"kvlabel: line \d+:", l)]
        self.assertTrue(expected, "the job was to give warnings")
        before, last = submit("R5", job)
        SERVER.new_bytes("R5", before)
        _, _, warnings = preview_of("R5", last)
        self.assertEqual([w for w in warnings if w.startswith("line ")], expected)


class Browser:
    """Headless Chromium driven through the DevTools protocol over a pipe (fds 3 and 4)."""

    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="kvprinter-chromium-")
        # The browser reads commands on fd 3 and answers on fd 4. Its ends of the pipes are moved above
        # them (closed at exec), so that putting one in place cannot close the other; Python's own
        # descriptors are not inherited (close_fds=False passes only 3 and 4 on).
        def above(fd):
            high = fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10)
            os.close(fd)
            return high

        to_browser, self.writer = os.pipe()
        self.reader, from_browser = os.pipe()
        to_browser, from_browser = above(to_browser), above(from_browser)
        self.proc = subprocess.Popen(
            [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             f"--user-data-dir={self.profile}", "--remote-debugging-pipe", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, close_fds=False,
            preexec_fn=lambda: (os.dup2(to_browser, 3), os.dup2(from_browser, 4)))
        os.close(to_browser)
        os.close(from_browser)
        self.buffer, self.next_id = b"", 0
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.call("Network.enable", session=True)
        self.call("Emulation.setDeviceMetricsOverride", session=True, width=1000, height=1400, deviceScaleFactor=1,
                  mobile=False)

    def call(self, method, session=False, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = self.session
        os.write(self.writer, json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.buffer:
                chunk = os.read(self.reader, 1 << 20)
                if not chunk:
                    raise RuntimeError("the browser closed its pipe")
                self.buffer += chunk
            raw, self.buffer = self.buffer.split(b"\0", 1)
            answer = json.loads(raw)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError(f"{method}: {answer['error']}")
                return answer.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", session=True, expression=expression, returnByValue=True,
                           awaitPromise=True)
        return result.get("result", {}).get("value")

    def open(self, url, language="en-GB"):
        self.call("Network.setExtraHTTPHeaders", session=True, headers={"Accept-Language": language})
        self.call("Page.navigate", session=True, url=url)
        assert wait_until(lambda: self.evaluate("document.readyState") == "complete" and
                          self.evaluate("location.href") == url), f"{url} did not load"

    def screenshot(self, name):
        folder = os.environ.get("KV_SCREENSHOTS", os.path.join(SERVER.dir, "screenshots"))
        os.makedirs(folder, exist_ok=True)
        data = self.call("Page.captureScreenshot", session=True, format="png", captureBeyondViewport=True)["data"]
        with open(os.path.join(folder, name), "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        try:
            self.call("Browser.close")
        except (RuntimeError, OSError):
            pass
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        os.close(self.writer)
        os.close(self.reader)
        shutil.rmtree(self.profile, ignore_errors=True)


@unittest.skipUnless(os.access(CHROMIUM, os.X_OK), "no Chromium")
class InTheBrowser(Test):
    @classmethod
    def setUpClass(cls):
        cls.browser = Browser()

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()

    def test_home_and_printer_pages(self):
        # PAPPL's own pages with the kit's printers, and the links to the kit's pages on the printer's.
        self.browser.open(SERVER.url("/"))
        self.assertTrue(self.browser.evaluate("document.body.innerText.includes('R5i')"))
        self.browser.screenshot("home.png")
        self.browser.open(SERVER.url("/R5/"))
        links = self.browser.evaluate("Array.from(document.querySelectorAll('a')).map(a => a.pathname).join(' ')")
        self.assertIn("/R5/kvsettings", links)
        self.assertIn("/R5/kvpreview", links)
        self.browser.screenshot("printer.png")

    def test_settings_page_in_both_languages(self):
        for language, title, picture in (("en-GB,en", "Label printer settings", "settings-en.png"),
                                         ("zh-CN,zh", "标签打印机设置", "settings-zh.png")):
            with self.subTest(language):
                self.browser.open(SERVER.url("/R5/kvsettings"), language)
                self.assertEqual(self.browser.evaluate("document.querySelector('h1.title').textContent"), title)
                self.assertEqual(self.browser.evaluate("document.querySelectorAll('.kv-option form').length"), 20)
                self.browser.screenshot(picture)

    def test_a_form_submitted_in_the_browser(self):
        self.browser.open(SERVER.url("/R5/kvsettings"))
        before = len(SERVER.jobs("R5"))
        self.browser.evaluate("""(() => {
            const form = document.querySelector('input[name=option][value=speed]').form;
            form.querySelector('input[name=value]').value = '3';
            form.querySelector('input[type=submit]').click(); })()""")
        self.assertEqual(SERVER.new_bytes("R5", before), b"#UM>OS03\r\n")
        self.assertTrue(wait_until(lambda: self.browser.evaluate(
            "(document.getElementById('stored-speed') || {}).textContent") == "3"))

    def test_the_live_page_shows_a_new_job(self):
        self.browser.open(SERVER.url("/R5/kvpreview"))
        for attempt in range(2):  # a loaded machine may hold one poll back; twice is a fault
            before, last = submit("R5", LABEL_JOB)
            SERVER.new_bytes("R5", before)
            ended = time.monotonic()
            job_id, _, _ = preview_of("R5", last)
            shown = f"!!(document.getElementById('job-{job_id}') || document).querySelector('img.kv-label')"
            appeared = wait_until(lambda: self.browser.evaluate(shown), 2.0 + 0.5)
            if appeared and time.monotonic() - ended <= 2.0 + 0.5:
                break
        else:
            self.fail("the live page did not show the new job within 2 s of its end")
        self.browser.screenshot("preview.png")


if __name__ == "__main__":
    unittest.main(verbosity=2)
