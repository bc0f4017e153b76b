"""The printer descriptions the build makes (KV_PPD_DIR): one per model of the table of models, valid, raw, of the
right resolution."""

import glob
import os
import re
import subprocess

import pytest

from common import ROOT, Spooler, supported_models

PPD_DIR = os.environ.get("KV_PPD_DIR") or os.path.join(ROOT, "build", "linux", "data", "ppd")


def read_ppd(name):
    with open(os.path.join(PPD_DIR, name.replace(" ", "_") + ".ppd"), encoding="latin-1") as f:
        return f.read()


@pytest.mark.parametrize("model,dpi", sorted(supported_models().items()))
def test_every_model_has_a_raw_description_of_its_resolution(model, dpi):
    text = read_ppd(model)
    assert re.search(rf'^\*NickName: "{re.escape(model)}"$', text, re.M)
    assert re.search(rf"^\*DefaultResolution: {dpi}dpi$", text, re.M)
    # Raw: the only filter passes the library's jobs through unchanged.
    assert re.findall(r"^\*cupsFilter2?: .*$", text, re.M) == ['*cupsFilter: "application/vnd.cups-raw 0 -"']


def test_descriptions_pass_cupstestppd_and_none_is_extra():
    files = sorted(glob.glob(os.path.join(PPD_DIR, "*.ppd")))
    assert sorted(os.path.basename(f) for f in files) == sorted(m.replace(" ", "_") + ".ppd"
                                                                for m in supported_models())
    run = subprocess.run(["cupstestppd", "-W", "all"] + files, stdout=subprocess.PIPE, text=True)
    assert run.returncode == 0, run.stdout
    assert "WARN" not in run.stdout, run.stdout


def test_the_spooler_lists_every_model_and_a_queue_from_one_prints_raw(tmp_path):
    spooler = Spooler(ppd_dir=PPD_DIR)
    try:
        listed = spooler.run("lpinfo", "-m", check=True).stdout
        for model in supported_models():
            assert f"kirv/{model.replace(' ', '_')}.ppd {model}\n" in listed
        queue = "Model_Tallmir_7i"
        spooler.run("lpadmin", "-p", queue, "-E", "-v", f"socket://127.0.0.1:{spooler.port}/?snmp=false",
                    "-m", "kirv/Tallmir_7i.ppd", check=True)
        made = spooler.run("lpoptions", "-p", queue, check=True).stdout
        assert "printer-make-and-model='Tallmir 7i'" in made
        before = spooler.job_count()
        label = b'N\r\nT10,10,0,3,1,1,N,"\xff\x00raw"\r\nW1,1\r\n'
        (tmp_path / "label.prn").write_bytes(label)
        spooler.run("lp", "-d", queue, "-o", "raw", str(tmp_path / "label.prn"), check=True)
        assert spooler.wait_for_job(before + 1) == label
    finally:
        spooler.stop()
