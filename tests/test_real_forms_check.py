"""check_form over real forms: every published form comes back as findings
or as the documented exception, and forms written for the checker give the
findings written out below."""
from pathlib import Path

import pytest

from vindle import check_form

HERE = Path(__file__).resolve().parent
SHARED_FORMS = Path(__file__).resolve().parents[1].parent / "shared" / "forms"
KEYS = ["says", "path", "rule", "expression", "construct", "breaks", "effect", "suggestion"]

REAL_FORMS = sorted(SHARED_FORMS.rglob("*.xml")) if SHARED_FORMS.is_dir() else []


@pytest.mark.skipif(not REAL_FORMS, reason="no shared forms folder")
@pytest.mark.parametrize("path", REAL_FORMS, ids=lambda p: str(p.relative_to(SHARED_FORMS)))
def test_real_form_gives_findings_or_the_documented_error(path):
    try:
        findings = check_form(str(path))
    except (RuntimeError, ValueError) as error:
        assert str(error)
        return
    assert isinstance(findings, list)
    for finding in findings:
        assert list(finding) == KEYS
        assert all(isinstance(finding[k], str) for k in KEYS[:-1])
        assert finding["suggestion"] is None or isinstance(finding["suggestion"], str)
        assert finding["says"].startswith(f"{finding['path']} ({finding['rule']}): ")
    # the file and its text are read alike (a text is taken as XML only when
    # it starts with "<", so a file opening with a byte order mark is not)
    text = path.read_bytes().decode("utf-8")
    if text.lstrip().startswith("<"):
        assert check_form(text) == findings


MISSING = ", which this form's instance has no node for"


@pytest.mark.parametrize(
    "name, expected",
    [
        ("check-household.xml", [
            ("/data/phone", "relevant", "/household/consent" + MISSING, "/data/consent"),
            ("/data/phone", "constraint", 'regex() with the unanchored pattern "[0-9]{10}"',
             "'^(?:[0-9]{10})$'"),
            ("/data/village", "calculate", "pulldata()",
             "instance('file')/root/item[key = \u2026]/column, which both engines evaluate"),
            ("/data/monthly", "calculate", "floor()", "int(x) - (x < int(x))"),
            ("/data/oldest", "calculate", "last()", "count() of the repeat"),
            ("/data/any_child", "calculate", "comparing /data/member/age, which repeats",
             "count(/data/member/age[. = \u2026]) > 0, or indexed-repeat() to name one instance"),
        ]),
        # The instance with an id comes first; the one without is the primary,
        # and /crops/... is under the id "crops", so it is not checked.
        ("check-secondary-first.xml", [
            ("/survey/plot/area", "calculate", "area()", "round() the result, or compare with a margin"),
            ("/survey/plot/area", "calculate", "/survey/plot/shape" + MISSING, None),
            ("/survey/total", "calculate", "the // shorthand", "the full path from the instance root"),
            ("/survey/total", "calculate", "/data/plot/yield" + MISSING, "/survey/plot/yield"),
            ("/survey/total", "constraint", "ceiling()", "int(x) + (x > int(x))"),
            ("/survey/plot/yield", "relevant", 'boolean-from-string("TRUE")', "'true' in lowercase"),
        ]),
    ],
)
def test_written_forms(name, expected):
    findings = check_form(str(HERE / "forms" / name))
    assert [(f["path"], f["rule"], f["construct"], f["suggestion"]) for f in findings] == expected


def test_written_form_says_lines():
    findings = check_form(str(HERE / "forms" / "check-household.xml"))
    assert findings[0]["says"] == (
        "/data/phone (relevant): /household/consent, which this form's instance has no node for "
        "\u2014 the path matches nothing, so the rule reads an empty node-set: a calculation comes "
        "out 0, a comparison comes out false, and a relevant hides its question for the whole of "
        "fieldwork, identically on both engines. Write /data/consent instead."
    )
    assert findings[0]["expression"] == "/household/consent = 'yes'"
    assert findings[3]["says"] == (
        "/data/monthly (calculate): floor() \u2014 JavaRosa has no floor(), on Collect / "
        "KoboCollect. Write int(x) - (x < int(x)) instead."
    )
