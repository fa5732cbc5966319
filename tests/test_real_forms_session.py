"""Forms published by other projects, filled in through a Session: opened,
recomputed, given a row in every repeat and recomputed again, their filtered
choices listed and their instance read back. Every call succeeds or raises
one of the documented exceptions, never anything else."""
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

import vindle
from vindle import Session

SHARED_FORMS = Path(__file__).resolve().parents[1].parent / "shared" / "forms"
CONTROLS = {"rank", "input", "range", "select", "upload", "select1"}


def forms():
    if not SHARED_FORMS.is_dir():
        return []
    return [
        path
        for path in sorted(SHARED_FORMS.rglob("*.xml"))
        # Submissions and external secondary instances are not forms.
        if ".submission-" not in path.name and not any(p.name.endswith("-media") for p in path.parents)
    ]


def control_refs(form):
    try:
        root = ET.parse(form).getroot()
    except ET.ParseError:
        return []
    return [
        element.get("ref")
        for element in root.iter()
        if element.tag.rsplit("}", 1)[-1] in CONTROLS and element.get("ref")
    ]


def check_result(result):
    assert list(result) == ["calculated", "relevant", "missing", "invalid", "failed", "repeats"]
    assert all(isinstance(k, str) and isinstance(v, str) for k, v in result["calculated"].items())
    assert all(isinstance(v, bool) for v in result["relevant"].values())
    assert all(isinstance(p, str) for p in result["missing"])
    for entry in result["invalid"] + result["failed"]:
        assert type(entry) is tuple and len(entry) == 2 and all(isinstance(t, str) for t in entry)
    assert all(isinstance(v, int) and v >= 0 for v in result["repeats"].values())


FORMS = forms()
pytestmark = pytest.mark.skipif(not FORMS, reason="no shared forms on this machine")


@pytest.mark.parametrize("form", FORMS, ids=lambda p: str(p.relative_to(SHARED_FORMS)))
def test_a_session_over_the_form(form):
    try:
        s = Session(str(form))
    except RuntimeError as error:
        # a form the loader refuses says why
        assert str(error)
        return
    first = s.recompute()
    check_result(first)
    for path in first["repeats"]:
        try:
            s.add_row(path)
        except ValueError as error:
            assert str(error) == f"'{path}' has nowhere to hang"
    second = s.recompute()
    check_result(second)
    for path, rows in second["repeats"].items():
        assert rows >= first["repeats"][path]
    for ref in control_refs(form):
        choices = s.choices(ref)
        assert choices is None or all(list(c) == ["value", "label"] for c in choices)
    xml = s.instance_xml()
    assert repr(s) == f"<vindle.Session {len(xml.encode())} bytes>"
    assert vindle.eval_expression("count(.)", xml) == "1"
    ET.fromstring(xml[len("<?xml version='1.0' ?>"):])
