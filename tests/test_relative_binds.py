"""Binds whose nodeset is written relative ("age", "vitals/temperature") are
read from the primary instance's root element, as the form engines read them:
they are judged, computed and checked like the same binds written absolute."""
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

from vindle import Session, check_form, submission_findings

SHARED_FORMS = Path(__file__).resolve().parents[1].parent / "shared" / "forms"
EIMCI = SHARED_FORMS / "javarosa" / "eIMCI-by-D-Tree.xml"
EIMCI_NS = "http://dtree.org/e-imci"
MISSING = "which this form's instance has no node for"

ONE_RELATIVE_BIND = """<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml">
<h:head><model>
  <instance><data><continue/><age/><double/><half/></data></instance>
  <bind nodeset="age" type="int" relevant="/data/continue = 'yes'" required="true()"
        constraint=". &lt; 120" jr:constraintMsg="Too old" xmlns:jr="http://openrosa.org/javarosa"/>
  <bind nodeset="./half" calculate="../double div 4"/>
  <bind nodeset="double" calculate="/data/age * 2"/>
</model></h:head><h:body/></h:html>"""

ONLY_AGE = """<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml">
<h:head><model>
  <instance><data><continue/><age/></data></instance>
  <bind nodeset="age" type="int" relevant="/data/continue = 'yes'"/>
</model></h:head><h:body/></h:html>"""


def submission(cont, age, double="", half=""):
    return (f"<data><continue>{cont}</continue><age>{age}</age>"
            f"<double>{double}</double><half>{half}</half></data>")


# Each calculation is judged on the answers as held, so half follows what
# double holds.
@pytest.mark.parametrize("answers, expected", [
    (("no", "130", "260", "65"), []),
    (("yes", "130", "260", "65"), [("constraint", "/data/age: Too old")]),
    (("yes", "", "NaN", "NaN"), [("required", "/data/age: required, and unanswered")]),
    (("yes", "30", "60", "15"), []),
    (("yes", "30", "61", "15.25"),
     [("calculation", '/data/double: holds "61", but the form calculates "60"')]),
])
def test_one_relative_bind_is_judged(answers, expected):
    found = submission_findings(ONE_RELATIVE_BIND, submission(*answers))
    assert [(f["kind"], f["says"]) for f in found] == expected


@pytest.mark.parametrize("form", [ONLY_AGE, ONE_RELATIVE_BIND])
@pytest.mark.parametrize("answer, relevant", [("yes", True), ("no", False), (None, False)])
def test_relevance_of_a_relative_bind_follows_what_it_reads(form, answer, relevant):
    session = Session(form)
    if answer is not None:
        session.set("/data/continue", answer)
    assert session.recompute()["relevant"]["/data/age"] is relevant


def test_relative_calculations_run_after_what_they_read():
    # half is declared before double, which it reads: one recompute still
    # gives both, because the order follows what each reads.
    session = Session(ONE_RELATIVE_BIND)
    session.set("/data/age", "30")
    assert session.recompute()["calculated"] == {"/data/double": "60", "/data/half": "15"}


def eimci_submission(answers):
    """The form's primary instance with some answers set, as XML text."""
    ET.register_namespace("", EIMCI_NS)
    root = ET.parse(EIMCI).getroot()
    instance = next(e for e in root.iter() if e.tag.rsplit("}", 1)[-1] == "instance")
    data = list(instance)[0]
    for path, value in answers.items():
        node = data.find("/".join(f"{{{EIMCI_NS}}}{step}" for step in path.split("/")))
        assert node is not None, path
        node.text = value
    return ET.tostring(data, encoding="unicode")


needs_eimci = pytest.mark.skipif(not EIMCI.is_file(), reason="the shared forms are not here")


# vitals/age_unit and vitals/temperature are bound by relative nodesets, and
# their constraints read their neighbours with "..".
@needs_eimci
@pytest.mark.parametrize("answers, constraints", [
    ({"vitals/age": "3", "vitals/age_unit": "years"}, []),
    ({"vitals/age": "30", "vitals/age_unit": "years"},
     ["/imci/vitals/age_unit: Age must be less than 20 years / 240 months"]),
    ({"vitals/age": "30", "vitals/age_unit": "months", "vitals/temp_type": "therm",
      "vitals/temperature": "50"},
     ["/imci/vitals/temperature: Temperature must be between 32 and 44 degrees"]),
    # Not relevant unless the temperature was measured: not judged.
    ({"vitals/age": "30", "vitals/age_unit": "months", "vitals/temperature": "50"}, []),
])
def test_eimci_relative_constraints_are_judged(answers, constraints):
    found = submission_findings(str(EIMCI), eimci_submission(answers))
    assert [f["says"] for f in found if f["kind"] == "constraint"] == constraints


@needs_eimci
def test_eimci_relative_requirements_and_calculations_are_judged_and_computed():
    answers = {"vitals/age": "18", "vitals/age_unit": "months"}
    says = [f["says"] for f in submission_findings(str(EIMCI), eimci_submission(answers))]
    assert '/imci/tmp/normalized/age: holds "", but the form calculates "1.5"' in says
    assert "/imci/notice: required, and unanswered" in says
    assert "/imci/vitals/age: required, and unanswered" not in says
    session = Session(str(EIMCI))
    for path, value in answers.items():
        session.set(f"/imci/{path}", value)
    result = session.recompute()
    assert result["calculated"]["/imci/tmp/normalized/age"] == "1.5"
    assert result["relevant"]["/imci/vitals/age_unit"] is True


@needs_eimci
def test_eimci_relative_binds_give_no_missing_path_findings():
    found = check_form(str(EIMCI))
    assert [f["says"] for f in found if f["construct"].endswith(MISSING)] == []


def test_check_form_reads_and_reports_a_relative_bind_from_the_instance_root():
    found = check_form(ONE_RELATIVE_BIND.replace('"../double div 4"', '"../doubled div 4"'))
    assert [(f["path"], f["construct"], f["suggestion"]) for f in found] == [
        ("/data/half", f"/data/doubled, {MISSING}", None)]
