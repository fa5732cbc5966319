"""Forms published by other projects, judged with their paired submissions
and with their own primary instance: every call gives findings or raises one
of the documented exceptions, never anything else."""
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

from vindle import submission_findings

SHARED_FORMS = Path(__file__).resolve().parents[1].parent / "shared" / "forms"
KINDS = {"constraint", "required", "calculation", "not-evaluated"}


def forms():
    if not SHARED_FORMS.is_dir():
        return []
    found = []
    for path in sorted(SHARED_FORMS.rglob("*.xml")):
        # Submissions and external secondary instances are not forms.
        if ".submission-" in path.name or any(p.name.endswith("-media") for p in path.parents):
            continue
        found.append(path)
    return found


def submissions_of(form):
    stem = form.name[: -len(".xml")]
    return sorted(form.parent.glob(f"{stem}.submission-*.xml"))


def primary_instance(form):
    """The first child of the form's first instance element, as XML text."""
    try:
        root = ET.parse(form).getroot()
    except ET.ParseError:
        return None
    for element in root.iter():
        if element.tag.rsplit("}", 1)[-1] == "instance":
            children = list(element)
            return ET.tostring(children[0], encoding="unicode") if children else None
    return None


def judged(form, submission):
    try:
        found = submission_findings(str(form), submission)
    except (RuntimeError, ValueError) as error:
        assert str(error), form
        return None
    assert isinstance(found, list)
    for finding in found:
        assert list(finding) == ["path", "kind", "says"]
        assert finding["kind"] in KINDS
        assert finding["says"].startswith(finding["path"] + ": ")
    return found


FORMS = forms()
pytestmark = pytest.mark.skipif(not FORMS, reason="no shared forms on this machine")


@pytest.mark.parametrize("form", FORMS, ids=lambda p: str(p.relative_to(SHARED_FORMS)))
def test_paired_submissions(form):
    for submission in submissions_of(form):
        judged(form, str(submission))


@pytest.mark.parametrize("form", FORMS, ids=lambda p: str(p.relative_to(SHARED_FORMS)))
def test_own_primary_instance(form):
    instance = primary_instance(form)
    if instance is not None:
        judged(form, instance)


def test_some_forms_are_paired():
    assert any(submissions_of(form) for form in FORMS)
