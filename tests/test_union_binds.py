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


# --- The calculation order places each operand of a union bind on its own ---
# A union bind calculates as the binds written one per operand would: each
# operand runs after what it reads, wherever the other operands fall, and
# the form loads exactly when those binds load.

CIRCLE = "these calculations depend on each other, so none of them has a defined value: "


def calculating(binds, instance="<data><a/><x>1</x><g><x/><c/></g></data>"):
    rules = "".join(f'<bind nodeset="{nodeset}" calculate="{calculate}"/>'
                    for nodeset, calculate in binds)
    return f"""<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml">
<h:head><model><instance>{instance}</instance>{rules}</model></h:head><h:body/></h:html>"""


def split(binds):
    return [(operand, calculate) for nodeset, calculate in binds
            for operand in nodeset.split(" | ")]


# a, then g/x, which reads a, then g/c, which reads g/x.
BOTH_SIDES = [("/data/a | /data/g/c", "../x"), ("/data/g/x", "/data/a + 1")]


def test_a_union_on_both_sides_of_a_calculation_calculates_as_its_operands_would():
    united = Session(calculating(BOTH_SIDES)).recompute()
    assert united["calculated"] == {"/data/a": "1", "/data/g/c": "2", "/data/g/x": "2"}
    assert united == Session(calculating(split(BOTH_SIDES))).recompute()
    assert check_form(calculating(BOTH_SIDES)) == []


# (a, x, g/x, g/c) and the nodes whose held value is not what is calculated.
HELD = [
    (("1", "1", "2", "2"), []),
    (("1", "4", "2", "9"), ["/data/a", "/data/g/c"]),
    (("5", "1", "7", "7"), ["/data/a", "/data/g/x"]),
]


@pytest.mark.parametrize("held, flagged", HELD)
def test_a_union_on_both_sides_is_judged_as_its_operands_would_be(held, flagged):
    a, x, gx, gc = held
    submission = f"<data><a>{a}</a><x>{x}</x><g><x>{gx}</x><c>{gc}</c></g></data>"
    united = submission_findings(calculating(BOTH_SIDES), submission)
    assert sorted(f["path"] for f in united) == flagged
    assert {f["kind"] for f in united} <= {"calculation"}
    by_path = lambda found: sorted(found, key=lambda f: f["path"])
    assert by_path(united) == by_path(submission_findings(calculating(split(BOTH_SIDES)), submission))


def test_an_operand_runs_after_the_operand_of_its_union_that_it_reads():
    # b stands first in the instance, but reads a.
    binds = [("/data/b | /data/a", "/data/a + 1")]
    instance = "<data><b/><a>1</a></data>"
    united = Session(calculating(binds, instance)).recompute()
    assert united["calculated"] == {"/data/a": "2", "/data/b": "3"}
    assert united == Session(calculating(split(binds), instance)).recompute()


@pytest.mark.parametrize("binds, circle", [
    ([("/data/a | /data/x", "/data/a + /data/x")], "/data/a → /data/x → /data/a"),
    ([("/data/a | /data/g/x", "/data/x"), ("/data/x", "/data/g/x")],
     "/data/x → /data/g/x → /data/x"),
], ids=["operands reading each other", "through one operand"])
def test_a_circle_through_union_operands_is_refused_as_split_binds_are(binds, circle):
    for form in (calculating(binds), calculating(split(binds))):
        with pytest.raises(RuntimeError) as raised:
            Session(form)
        assert str(raised.value) == CIRCLE + circle
        with pytest.raises(RuntimeError) as raised:
            submission_findings(form, "<data/>")
        assert str(raised.value) == CIRCLE + circle


def test_a_node_that_two_operands_select_is_calculated_once():
    instance = "<data><a>1</a><b>5</b></data>"
    form = calculating([("/data/a | /data/*", ". + 1")], instance)
    session = Session(form)
    assert session.recompute()["calculated"] == {"/data/a": "2", "/data/b": "6"}
    assert session.recompute()["calculated"] == {"/data/a": "3", "/data/b": "7"}
    found = submission_findings(form, instance)
    assert [(f["path"], f["kind"]) for f in found] == [
        ("/data/a", "calculation"), ("/data/b", "calculation")]

    failing = Session(calculating([("/data/a | /data/*", "instance('none')/v")], instance))
    failed = failing.recompute()["failed"]
    assert [path for path, reason in failed] == [
        "/data/a | /data/*", "/data/a | /data/*", "/data/a", "/data/b"]


# A calculation that fails is listed at each node of its bind under the
# bind's path; for a union of many operands that path is long, so every
# entry holds the one str rather than a copy of it.
def test_a_failed_union_calculation_lists_each_node_under_one_path():
    form = calculating([("x | g/x | y", "nosuch()")], "<data><x/><g><x/></g><y/></data>")
    failed = Session(form).recompute()["failed"]
    reason = "unknown function nosuch()"
    assert failed == [("/data/x | /data/g/x | /data/y", reason)] * 3 + [
        ("/data/x", reason), ("/data/g/x", reason), ("/data/y", reason)]
    assert all(path is failed[0][0] for path, _ in failed[:3])
