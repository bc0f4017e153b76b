"""kvtag against the real library, the private spooler and its capture printer."""

import logging
import os
import re

import pytest

import kvtag
import kvtag_header
from kvtag import _codes

HEADER = os.path.join(os.path.dirname(__file__), "..", "..", "library", "include", "kvtaglib.h")


def test_label_reaches_the_printer_byte_for_byte(capture):
    with kvtag.open("KIRV R5") as job:
        job.set_label_width(812)
        job.set_label_height(406, 24)
        job.draw_text(40, 30, 0, 4, 1, 1, "N", "Hello")
        job.draw_barcode(40, 80, 0, "1", 2, 4, 60, "B", b"KV-42")
        job.draw_rectangle(10, 10, 2, 800, 400)
        job.print_label(1, 1)
    assert capture.next_job() == (b'N\r\nq812\r\nQ406,24\r\nT40,30,0,4,1,1,N,"Hello"\r\n'
                                  b'B40,80,0,1,2,4,60,B,"KV-42"\r\nX10,10,2,800,400\r\nW1,1\r\n')


def test_queue_name_and_a_job_that_keeps_the_printers_image(capture):
    with kvtag.open(b"KIRV_R5i", clear_buffer=False) as job:
        job.draw_text(0, 0, 0, "A", 1, 1, "R", "汉字")
        job.print_label(2, 3)
    assert capture.next_job() == 'T0,0,0,A,1,1,R,"汉字"\r\nW2,3\r\n'.encode("utf-8")


def test_keywords_and_enums_make_the_lines_of_the_one_to_one_calls(capture):
    with kvtag.open("KIRV R5") as job:
        job.text(40, 30, "Hello", font=4)
        job.text(1, 2, b"Inv", rotation=kvtag.Rotation.CW90, reverse=True, x_factor=2)
        job.barcode(40, 80, "KV-42")
        job.barcode(5, 6, "12345670", kind=kvtag.Barcode.EAN8, height=50, readable=False, rotation=2)
        job.pdf417(7, 8, "P", security=2, truncated=True)
        job.counter(0, 6, prompt="Serial")
        job.variable(1, 20, "Name", justify=kvtag.Justify.CENTER)
        job.draw_text(3, 4, kvtag.Rotation.CW270, 1, 1, 1, kvtag.Reverse.NORMAL, "x")
        job.print_label(1, 1)
    assert capture.next_job() == (
        b'N\r\nT40,30,0,4,1,1,N,"Hello"\r\nT1,2,1,3,2,1,R,"Inv"\r\nB40,80,0,1,2,4,60,B,"KV-42"\r\n'
        b'B5,6,2,E80,2,4,50,N,"12345670"\r\nb7,8,P,0,0,s2,c0,x0,y6,r0,l0,t1,o0,"P"\r\n'
        b'C0,6,R,+1\r\n,"Serial"\r\n\r\nV1,20,C\r\n"Name"\r\nT3,4,3,1,1,1,N,"x"\r\nW1,1\r\n')


def test_send_file_reports_each_piece(capture, tmp_path):
    data = bytes(range(256)) * 100  # 25600 bytes: three pieces of at most 10240
    (tmp_path / "part.prn").write_bytes(data)
    seen = []
    with kvtag.open("KIRV R5") as job:
        job.send_file(tmp_path / "part.prn", progress=seen.append)
        job.send_file(str(tmp_path / "part.prn"))
        job.write_printer()
    assert seen == [10240, 20480, 25600]
    assert capture.next_job() == b"N\r\n" + data + data


def test_generated_codes_match_the_header():
    with open(HEADER, encoding="utf-8") as f:
        text = f.read()
    header = kvtag_header.parse(text)
    assert _codes.CODES == tuple((c.name, c.value, kvtag_header.class_name(c.name), c.note, kvtag_header.kind(c.name))
                                 for c in header.codes if c.name != "KV_OK")
    assert kvtag.__version__ == header.version
    # Every named code of the header, counted without the parser: none is missed.
    assert len(_codes.CODES) == len(re.findall(r"^#define KV_ERR_\w+\s+\(-\d+\)", text, re.M))
    groups = (kvtag.ClosedConnectionError, kvtag.ArgumentCheckError, kvtag.SpoolerError, kvtag.FileError,
              kvtag.OutOfMemoryError, kvtag.ConnectionStateError)
    for name, value, class_name, _, _ in _codes.CODES:
        cls = getattr(kvtag, class_name)
        assert cls.__bases__[0] in groups and (cls.code, cls.name) == (value, name)
    with pytest.raises(ValueError):  # a new code that no rule places stops the build until it gets a kind
        kvtag_header.kind("KV_ERR_UNPLACED")
    # Every export of the header (counted without the parser) has its argument types in the package's table.
    assert set(_codes.FUNCTIONS) == set(re.findall(r"^KV_API\([^)]*\)\s*(\w+)\(", text, re.M))


def _job():
    return kvtag.Job()


# (what fails, the call, the class, the code): the library's answer, raised as the class of its name. Some
# numbers carry several names; the answering function decides which.
# (what fails, the call, the class, the code, the class of its kind): the library's answer, raised as the class
# of its name. Some numbers carry several names; the answering function decides which.
Closed, Check, Spooler, File = (kvtag.ClosedConnectionError, kvtag.ArgumentCheckError, kvtag.SpoolerError,
                                kvtag.FileError)
FAILURES = [
    ("no connection", lambda: _job().draw_text(0, 0, 0, 1, 1, 1, "N", "x"), "DrawTextClosedError", -3215, Closed),
    ("no connection, cut", lambda: _job().cut_page(1), "CutClosedError", -3250, Closed),
    ("no connection, PDF417", lambda: _job().draw_pdf417(0, 0, 1, 1, 0, 0, 0, 4, 0, 0, 0, 0, "x"),
     "Pdf417CheckError", -3250, Check),
    ("no connection, start a job", lambda: _job().clear_tmp_file(), "TmpClosedError", -3201, Closed),
    ("no connection, delivery", lambda: _job().write_printer(), "TmpReadError", -2897, File),
    ("no connection, serial", lambda: kvtag.set_com_port(9600), "ComClosedError", -3249, Closed),
    ("no printer of that name", lambda: kvtag.open_port("No_Such_Printer"), "OpenPrinterError", -2992, Spooler),
    ("no connection, copies", lambda: kvtag.change_copies("/nonexistent/file.prn", 2), "CopiesClosedError", -1099,
     Closed),
]


@pytest.mark.parametrize("what,call,class_name,code,kind", FAILURES, ids=[f[0] for f in FAILURES])
def test_failures_raise_the_class_of_their_code(capture, caplog, what, call, class_name, code, kind):
    with pytest.raises(kind) as raised:
        call()
    assert type(raised.value).__name__ == class_name
    assert isinstance(raised.value, getattr(kvtag, class_name))
    assert raised.value.code == code and raised.value.name == getattr(kvtag, class_name).name
    assert str(code) in str(raised.value)


# The same within an open job: (what, the call on the job, the class, the code).
JOB_FAILURES = [
    ("rotation out of range", lambda job: job.draw_text(0, 0, 9, 1, 1, 1, "N", "x"), "DrawTextCheckError", -3003,
     Check),
    ("text too long", lambda job: job.draw_text(0, 0, 0, 1, 1, 1, "N", "x" * 96), "DrawTextCheckError", -3003, Check),
    ("no labels", lambda job: job.print_label(0, 1), "PrintLabelCheckError", -3051, Check),
    ("gap too small", lambda job: job.set_label_height(100, 15), "SetLabelHeightCheckError", -3058, Check),
    ("graphic name too long", lambda job: job.pcx_graphics_del("n" * 17), "PcxDelCheckError", -3033, Check),
    ("bitmap of negative size", lambda job: job.draw_bin_graphics(0, 0, -2, 3, b""), "BinGraphicsCheckError", -3038,
     Check),
    ("raw data too long", lambda job: job.pulse(b"x" * 10241), "PulseLengthError", -1100, Check),
    ("missing file", lambda job: job.send_file("/nonexistent/file.prn"), "FileOpenError", -2222, File),
    ("no print file", lambda job: kvtag.change_copies("/nonexistent/file.prn", 2), "CopiesOpenError", -2222, File),
    ("printer already open", lambda job: kvtag.open_port("KIRV R5"), "AlreadyOpenError", -4000,
     kvtag.ConnectionStateError),
]


@pytest.mark.parametrize("what,call,class_name,code,kind", JOB_FAILURES, ids=[f[0] for f in JOB_FAILURES])
def test_job_failures_raise_the_class_of_their_code(capture, caplog, what, call, class_name, code, kind):
    with kvtag.open("KIRV R5", clear_buffer=False) as job:  # an empty job: a failed label sends nothing
        with pytest.raises(kind) as raised:
            call(job)
        assert raised.value.code == code and type(raised.value).__name__ == class_name
        assert kvtag.get_err_state() == code or code in (-1100, -2222, -4000)
    assert capture.nothing_more(0.2)


def test_change_copies_names_its_own_codes(capture, tmp_path):
    (tmp_path / "plain.prn").write_bytes(b"hello")
    (tmp_path / "tagged.prn").write_bytes(b"#BD##CP#1\r\nW1,1\r\n")
    with kvtag.open("KIRV R5"):
        with pytest.raises(kvtag.CopiesNoBdError) as raised:  # -1100, the number of PulseLengthError too
            kvtag.change_copies(tmp_path / "plain.prn", 2)
        kvtag.change_copies(tmp_path / "tagged.prn", 12)
    assert raised.value.code == -1100 and raised.value.function == "ChangeCopies"
    assert (tmp_path / "tagged.prn").read_bytes() == b"#BD##CP#12\r\nW1,1\r\n"


# (what, the call on the job, the exception): refused before the library is called, which would otherwise get
# a wrapped number or a string cut at its null byte.
REFUSED = [
    ("bitmap size wrapped to 200", lambda job: job.draw_bin_graphics(0, 0, 200 - 2**32, 200000, b""), OverflowError),
    ("bitmap size wrapped to 100", lambda job: job.draw_bin_graphics(0, 0, 100 - 2**32, 1000, b""), OverflowError),
    ("bitmap shorter than its size", lambda job: job.draw_bin_graphics(0, 0, 4, 4, b"\xff" * 15), ValueError),
    ("int above its range", lambda job: job.set_label_width(2**31), OverflowError),
    ("int below its range", lambda job: job.set_coordinate_origin(-2**31 - 1, 0), OverflowError),
    ("unsigned above its range", lambda job: job.print_label_auto(2**32 + 1, 2**32 + 7), OverflowError),
    ("unsigned below zero", lambda job: job.set_label_height(-1, 24), OverflowError),
    ("character code above int", lambda job: job.set_direction(2**40), OverflowError),
    ("keyword call, factor", lambda job: job.text(0, 0, "x", x_factor=2**32 + 1), OverflowError),
    ("not a whole number", lambda job: job.set_print_speed(4.0), TypeError),
    ("null byte in text", lambda job: job.draw_text(0, 0, 0, 1, 1, 1, "N", "AB\0CD"), ValueError),
    ("null byte in a path", lambda job: job.send_file("secret.txt\0.prn"), ValueError),
    ("null byte in a name", lambda job: job.pcx_graphics_download("logo", b"logo.pcx\0"), ValueError),
    ("null byte in a printer name", lambda job: kvtag.open_printer("KIRV R5\0x"), ValueError),
    ("null byte in a print file", lambda job: kvtag.change_copies("a\0b", 2), ValueError),
]


@pytest.mark.parametrize("what,call,error", REFUSED, ids=[r[0] for r in REFUSED])
def test_what_a_c_type_cannot_carry_is_refused_before_the_library_is_called(capture, tmp_path, what, call, error):
    (tmp_path / "secret.txt").write_bytes(b"secret")
    with kvtag.open("KIRV R5") as job:
        before = kvtag.get_err_state()
        with pytest.raises(error):
            call(job)
        assert kvtag.get_err_state() == before  # the library stored no answer: it was not called
        job.pulse(b"A\0B")  # raw bytes are counted, not cut at a null byte
        job.set_coordinate_origin(-2**31, 2**31 - 1)  # the ends of the range pass unchanged
        job.print_label(1, 1)
    assert capture.next_job() == b"N\r\nA\0BR-2147483648,2147483647\r\nW1,1\r\n"


@pytest.mark.parametrize("name,error", [("KIRV R5i", kvtag.AlreadyOpenError), ("KIRV\0R5", ValueError)],
                         ids=["already open", "name refused"])
def test_a_failed_nested_open_leaves_the_outer_job_alone(capture, name, error):
    with kvtag.open("KIRV R5") as job:
        job.set_label_width(812)
        with pytest.raises(error):
            with kvtag.open(name):
                pytest.fail("the block must not run")
        job.print_label(1, 1)
    assert capture.next_job() == b"N\r\nq812\r\nW1,1\r\n"


def test_closing_runs_when_the_block_raises(capture, tmp_path):
    with pytest.raises(RuntimeError):
        with kvtag.open("KIRV R5") as job:
            job.set_label_width(812)
            assert (tmp_path / "KIRVtemp.prn").exists()
            raise RuntimeError("the caller's own failure")
    assert kvtag.get_err_state() == -1  # ClosePort ran: it stores -1
    assert not (tmp_path / "KIRVtemp.prn").exists()
    with kvtag.open("KIRV R5") as job:  # the port is free again
        job.print_label(1, 1)
    assert capture.next_job() == b"N\r\nW1,1\r\n"


def test_closing_runs_when_a_library_call_raises(capture):
    with pytest.raises(kvtag.PrintLabelCheckError):
        with kvtag.open("KIRV R5", clear_buffer=False) as job:
            job.print_label(70000, 1)
    assert kvtag.get_err_state() == -1
    assert capture.nothing_more(0.2)


def test_a_failed_open_leaves_the_port_free(capture, caplog):
    with pytest.raises(kvtag.OpenPrinterError):
        with kvtag.open("No_Such_Printer"):
            pytest.fail("the block must not run")
    with kvtag.open("KIRV R5") as job:
        job.print_label(1, 1)
    assert capture.next_job() == b"N\r\nW1,1\r\n"


def test_messages_are_log_records_not_lines_on_standard_error(capture, caplog, capfd):
    with caplog.at_level(logging.WARNING, logger="kvtag"):
        with pytest.raises(kvtag.OpenPrinterError):
            kvtag.open_port("No_Such_Printer")
    records = [r for r in caplog.records if r.name == "kvtag"]
    # Two messages: the printer could not be opened; check that it is installed.
    assert len(records) == 2 and all(r.levelno == logging.WARNING and r.getMessage() for r in records)
    assert capfd.readouterr().err == ""
