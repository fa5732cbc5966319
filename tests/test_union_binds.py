"""Binds whose nodeset is a union ("x | g/x") are made absolute operand by
operand, and each operand is the node their rules run at: the rules are
judged at every node of the union, relative paths are read from each
operand, and no check takes the union's text for one path."""
import pytest

from vindle import Session, check_form, submission_findings

MISSING = "which this form's instance has no node for"

UNIONS = {
    "relative": "x | g/x",
    "mixed": "x | /data/g/x",
    "mixed, absolute first": "/data/x | g/x",
    "absolute": "/data/x | /data/g/x",
}
union_kinds = pytest.mark.parametrize("nodeset", UNIONS.values(), ids=UNIONS.keys())


def form(nodeset, constraint=". &lt; ../y"):
    return f"""<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml">
<h:head><model>
  <instance><data><x/><y/><g><x/><y/></g></data></instance>
  <bind nodeset="{nodeset}" constraint="{constraint}"/>
</model></h:head><h:body/></h:html>"""


# (x, y, g/x, g/y) and the nodes whose constraint x < y fails.
ANSWERS = [
    (("5", "1", "7", "9"), ["/data/x"]),
    (("5", "9", "7", "1"), ["/data/g/x"]),
    (("5", "1", "7", "1"), ["/data/x", "/data/g/x"]),
    (("5", "9", "7", "9"), []),
]


@union_kinds
@pytest.mark.parametrize("answers, flagged", ANSWERS)
def test_submission_findings_judge_each_node_of_the_union(nodeset, answers, flagged):
    x, y, gx, gy = answers
    found = submission_findings(
        form(nodeset), f"<data><x>{x}</x><y>{y}</y><g><x>{gx}</x><y>{gy}</y></g></data>")
    assert [(f["kind"], f["path"]) for f in found] == [("constraint", p) for p in flagged]


@union_kinds
@pytest.mark.parametrize("answers, flagged", ANSWERS)
def test_recompute_judges_each_node_of_the_union(nodeset, answers, flagged):
    session = Session(form(nodeset))
    for path, value in zip(["/data/x", "/data/y", "/data/g/x", "/data/g/y"], answers):
        session.set(path, value)
    result = session.recompute()
    assert result["invalid"] == [(p, "this answer is not allowed") for p in flagged]
    assert all(result["relevant"][p] for p in ["/data/x", "/data/g/x"])


@union_kinds
def test_check_form_reads_from_each_operand(nodeset):
    assert check_form(form(nodeset)) == []
    found = check_form(form(nodeset, ". &lt; ../z"))
    assert [(f["path"], f["construct"]) for f in found] == [
        ("/data/x | /data/g/x", f"/data/z, {MISSING}"),
        ("/data/x | /data/g/x", f"/data/g/z, {MISSING}"),
    ]


# t reads g/c, which the union bind calculates from g/a; the union bind is
# declared after t, so only the order puts it first.
CALCULATIONS = """<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml">
<h:head><model>
  <instance><data><t/><a/><c/><g><a/><c/></g></data></instance>
  <bind nodeset="/data/t" calculate="/data/g/c + 1"/>
  <bind nodeset="c | g/c" calculate="../a * 2"/>
</model></h:head><h:body/></h:html>"""


def test_a_union_calculation_runs_at_each_node_before_what_reads_it():
    session = Session(CALCULATIONS)
    session.set("/data/a", "3")
    session.set("/data/g/a", "5")
    assert session.recompute()["calculated"] == {
        "/data/t": "11", "/data/c": "6", "/data/g/c": "10"}
