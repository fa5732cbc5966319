"""The type stub against the module and against typed code that reads every
result. Both checks run the type checker in a process of its own."""
import os
import subprocess
import sys
from pathlib import Path

import pytest

HERE = Path(__file__).resolve().parent

# The checker is a compiled program of its own; under the sanitizers'
# preloaded runtime it would report its own leaks, and the stub is the same
# file in both runs.
pytestmark = pytest.mark.skipif(
    os.environ.get("VINDLE_SANITIZED") == "1", reason="the stub is checked in the plain run"
)

# Names the stub declares for type checkers only, and the metaclass that
# pybind11 gives every class it makes.
STUB_ONLY = ["vindle.PortabilityFinding", "vindle.SubmissionFinding", "vindle.RecomputeResult",
             "vindle.Choice", "vindle.Session"]


def run(*args, cwd):
    return subprocess.run([sys.executable, "-m", *args], cwd=cwd, capture_output=True, text=True)


def test_typed_code_reading_every_result_passes_strict_checking(tmp_path):
    done = run("mypy", "--strict", "--cache-dir", str(tmp_path / "cache"),
               str(HERE / "typing" / "results.py"), cwd=tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr


def test_stub_matches_the_module(tmp_path):
    allow = tmp_path / "allow.txt"
    allow.write_text("\n".join(STUB_ONLY) + "\n")
    done = run("mypy.stubtest", "vindle", "--allowlist", str(allow), cwd=tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr

