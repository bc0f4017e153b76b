"""The package as a user installs it: a wheel built from the source tree, installed into a fresh virtual
environment with nothing but Debian's packages (no network), prints a label."""

import os
import subprocess
import sys
import textwrap
import venv

PACKAGE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def test_wheel_installs_into_a_fresh_environment_and_prints(capture, tmp_path):
    # Nothing of the test run's own package path: pip would take the built copy for an installed one.
    clean = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    wheels = tmp_path / "wheels"
    subprocess.run([sys.executable, "-m", "pip", "wheel", "--no-build-isolation", "--no-index", "--no-deps",
                    "--quiet", "-w", str(wheels), PACKAGE], check=True, env=clean)
    (wheel,) = wheels.glob("kvtag-*.whl")
    venv.create(tmp_path / "env", with_pip=True)
    python = str(tmp_path / "env" / "bin" / "python")
    subprocess.run([python, "-m", "pip", "install", "--no-index", "--quiet", str(wheel)], check=True, env=clean)
    script = textwrap.dedent("""
        import kvtag
        with kvtag.open("KIRV R5") as job:
            job.draw_text(10, 20, 0, 3, 1, 1, "N", "wheel " + kvtag.__version__)
            job.print_label(1, 1)
        print(kvtag.__file__)
    """)
    run = subprocess.run([python, "-c", script], check=True, stdout=subprocess.PIPE, text=True,
                         cwd=tmp_path, env=clean)
    assert run.stdout.startswith(str(tmp_path / "env"))  # the installed copy, not the source tree
    import kvtag
    assert capture.next_job() == f'N\r\nT10,20,0,3,1,1,N,"wheel {kvtag.__version__}"\r\nW1,1\r\n'.encode()
