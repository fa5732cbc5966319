"""Session: a form filled in answer by answer, with rows added and removed,
what the form derives recomputed, and the choices of filtered questions."""
import inspect
import random
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

import vindle
from vindle import Session

FORMS = Path(__file__).resolve().parent / "forms"


def xform(model, instance="<data><a/><b/><c/></data>", body=""):
    return (
        "<h:html xmlns:h='http://www.w3.org/1999/xhtml' xmlns:jr='http://openrosa.org/javarosa'>"
        f"<h:head><model><instance>{instance}</instance>{model}</model></h:head>"
        f"<h:body>{body}</h:body></h:html>"
    )


def session(model="<bind nodeset='/data/a'/>", instance="<data><a/><b/><c/></data>", body="", **kw):
    return Session(xform(model, instance, body), **kw)


def xml_of(s):
    """The instance XML without its header."""
    text = s.instance_xml()
    assert text.startswith("<?xml version='1.0' ?>")
    return text[len("<?xml version='1.0' ?>"):]


def refusal(call, *args):
    with pytest.raises(ValueError) as raised:
        call(*args)
    return str(raised.value)


REPEAT = "<data><rep jr:template=''><x>d</x></rep><rep><x>1</x></rep><tail/></data>"

# -- answers ---------------------------------------------------------------


@pytest.mark.parametrize(
    "path, value, expected_xml",
    [
        ("/data/a", "1", "<data><a>1</a><b/><c/></data>"),
        ("a", "1", "<data><a>1</a><b/><c/></data>"),
        ("/a", "1", "<data><a>1</a><b/><c/></data>"),
        # a missing group is made under the root, then the question in it
        ("/data/grp/q", "2", "<data><a/><b/><c/><grp><q>2</q></grp></data>"),
        ("//grp//q", "2", "<data><a/><b/><c/><grp><q>2</q></grp></data>"),
        # a path that does not parse but has plain pieces
        ("/data/new q+", "3", None),
        ("/data/d-1/e.2", "4", "<data><a/><b/><c/><d-1><e.2>4</e.2></d-1></data>"),
        ("/data/ünï", "5", "<data><a/><b/><c/><ünï>5</ünï></data>"),
    ],
)
def test_set_writes_or_makes_the_path(path, value, expected_xml):
    s = session()
    if expected_xml is None:
        # pieces that are not element names are refused before any change
        assert refusal(s.set, path, value) == f"'{path}' points at new q+, which is not an element name"
        assert xml_of(s) == "<data><a/><b/><c/></data>"
        return
    s.set(path, value)
    assert xml_of(s) == expected_xml
    assert s.get(path) == value
    # a second set resolves the node it made and replaces its text
    s.set(path, value + "!")
    assert s.get(path) == value + "!"


@pytest.mark.parametrize(
    "path, message",
    [
        ("", "'' names nothing"),
        ("///", "'///' names nothing"),
        ("/data/rep[3]/x", "'/data/rep[3]/x' points at rep[3], which does not exist — add the row first with add_row()"),
        ("/data/g/h[1]", "'/data/g/h[1]' points at h[1], which does not exist — add the row first with add_row()"),
        ("/data/@id", "'/data/@id' points at @id, which is not an element name"),
        ("count(/data/rep)", "'count(/data/rep)' points at count(, which is not an element name"),
        ("/data/x:y", "'/data/x:y' points at x:y, which is not an element name"),
    ],
)
def test_set_refusals_leave_the_instance_as_it_was(path, message):
    s = Session(xform("<bind nodeset='/data/tail'/>", REPEAT))
    before = xml_of(s)
    assert refusal(s.set, path, "v") == message
    assert xml_of(s) == before


@pytest.mark.parametrize(
    "character, refused",
    [
        ("\x00", "U+0000"),
        ("\x01", "U+0001"),
        ("\x08", "U+0008"),
        ("\t", None),
        ("\n", None),
        ("\x0b", "U+000B"),
        ("\x0c", "U+000C"),
        ("\r", None),
        ("\x0e", "U+000E"),
        ("\x1f", "U+001F"),
        (" ", None),
        ("\x7f", None),
        ("\ud7ff", None),
        ("\ue000", None),
        ("\ufffd", None),
        ("\ufffe", "U+FFFE"),
        ("\uffff", "U+FFFF"),
        ("\U00010000", None),
        ("\U0010ffff", None),
    ],
)
@pytest.mark.parametrize("path", ["/data/a", "/data/new/q", "/data/@id"])
def test_set_refuses_a_character_xml_cannot_carry(character, refused, path):
    s = session(instance="<data id='x'><a>old</a><b/></data>")
    before = xml_of(s)
    value = "a" + character + "b"
    if refused is None:
        s.set(path, value)
        assert s.get(path) == value
        # the text reads back as XML, the character in it
        assert s.instance_xml() != before
        ET.fromstring(s.instance_xml())
        return
    message = f"'{path}' cannot hold {refused}, a character XML does not allow — the instance would no longer read as XML"
    assert refusal(s.set, path, value) == message
    # nothing changed, and no part of a new path was made
    assert xml_of(s) == before
    assert s.get(path) == ("old" if path == "/data/a" else "x" if path == "/data/@id" else "")
    # the first refused character is the one named
    assert refusal(s.set, path, "\ufffe" + value) == message.replace(refused, "U+FFFE")


def test_set_on_a_group_replaces_only_its_own_text():
    s = session(instance="<data><g><q>1</q></g></data>")
    s.set("/data/g", "own")
    assert s.get("/data/g") == "own1"
    assert xml_of(s) == "<data><g><q>1</q></g></data>"


def test_set_on_an_attribute():
    s = session(instance="<data id='x'><a/></data>")
    s.set("/data/@id", "y")
    assert xml_of(s) == '<data id="y"><a/></data>'


@pytest.mark.parametrize(
    "path, expected",
    [("/data/a", "1"), ("/data/nothing", ""), ("count(/data/*)", ""), ("/data/a +", ""), ("/data", "12")],
)
def test_get(path, expected):
    s = session(instance="<data><a>1</a><b>2</b></data>")
    assert s.get(path) == expected


# -- rows ------------------------------------------------------------------


def test_add_row_goes_after_the_last_row_even_when_another_element_follows():
    s = Session(xform("<bind nodeset='/data/tail'/>", REPEAT))
    assert xml_of(s) == "<data><rep><x>1</x></rep><tail/></data>"
    assert s.add_row("/data/rep") == 2
    assert xml_of(s) == "<data><rep><x>1</x></rep><rep><x>d</x></rep><tail/></data>"
    assert s.remove_row("/data/rep", 1) == 1
    assert s.remove_row("/data/rep", 1) == 0
    # with every row gone, the next row goes to the end of the parent
    assert s.add_row("/data/rep") == 1
    assert xml_of(s) == "<data><tail/><rep><x>d</x></rep></data>"


@pytest.mark.parametrize(
    "path, message",
    [
        ("/rep", "'/rep' is not a repeat in this form"),
        ("/data/rep[1]", "'/data/rep[1]' is not a repeat in this form"),
        ("/data/grp/rep", "'/data/grp/rep' has nowhere to hang"),
    ],
)
def test_add_row_refusals(path, message):
    instance = "<data><rep jr:template=''/><grp jr:template=''><rep jr:template=''/></grp></data>"
    s = Session(xform("<bind nodeset='/data/rep'/>", instance))
    assert refusal(s.add_row, path) == message
    assert xml_of(s) == "<data/>"


@pytest.mark.parametrize(
    "path, position, message",
    [
        ("/data/rep", 0, "'/data/rep' has 2 row(s); there is no row 0"),
        ("/data/rep", 3, "'/data/rep' has 2 row(s); there is no row 3"),
        ("/data/nothing", 1, "'/data/nothing' has 0 row(s); there is no row 1"),
        ("rep", 1, "'rep' has 0 row(s); there is no row 1"),
        ("/data/rep", 2**64 - 1, f"'/data/rep' has 2 row(s); there is no row {2**64 - 1}"),
    ],
)
def test_remove_row_refusals(path, position, message):
    s = Session(xform("<bind nodeset='/data/tail'/>", REPEAT))
    s.add_row("/data/rep")
    before = xml_of(s)
    assert refusal(s.remove_row, path, position) == message
    assert xml_of(s) == before


def test_remove_row_removes_the_row_at_its_position():
    s = Session(xform("<bind nodeset='/data/tail'/>", REPEAT))
    s.add_row("/data/rep")
    s.set("/data/rep[2]/x", "2")
    assert s.remove_row("/data/rep", True) == 1
    assert xml_of(s) == "<data><rep><x>2</x></rep><tail/></data>"
    # any path of elements, not only repeats
    assert s.remove_row("/data/tail", 1) == 0


def test_nested_repeats():
    instance = (
        "<data><hh jr:template=''><name/><member jr:template=''><age/></member></hh>"
        "<hh><name>first</name></hh></data>"
    )
    s = Session(xform("<bind nodeset='/data/hh/member/age' required='true()'/>", instance))
    assert xml_of(s) == "<data><hh><name>first</name></hh></data>"
    # a new outer row holds no pattern row of the inner repeat
    assert s.add_row("/data/hh") == 2
    assert xml_of(s) == "<data><hh><name>first</name></hh><hh><name/></hh></data>"
    assert s.add_row("/data/hh/member") == 1
    assert s.add_row("/data/hh/member") == 2
    assert xml_of(s) == (
        "<data><hh><name>first</name><member><age/></member><member><age/></member></hh>"
        "<hh><name/></hh></data>"
    )
    result = s.recompute()
    assert result["repeats"] == {"/data/hh": 2, "/data/hh/member": 2}
    assert result["missing"] == ["/data/hh[1]/member[1]/age", "/data/hh[1]/member[2]/age"]


def test_saved_instance_loses_its_templates_and_keeps_the_forms():
    saved = "<data><rep template=''><x>old</x></rep><rep><x>7</x></rep><today>2030-01-01</today></data>"
    s = Session(xform("<bind nodeset='/data/today' calculate='today()'/>", REPEAT), saved)
    assert xml_of(s) == "<data><rep><x>7</x></rep><today>2030-01-01</today></data>"
    assert s.add_row("/data/rep") == 2
    assert s.get("/data/rep[2]/x") == "d"
    result = s.recompute()
    assert result["repeats"] == {"/data/rep": 2}
    # a saved instance's today element is not consulted
    assert result["calculated"] == {"/data/today": "1970-01-01"}


# -- recompute -------------------------------------------------------------


def test_recompute_reports_in_its_orders():
    model = (
        "<bind nodeset='/data/a' required='true()'/>"
        "<bind nodeset='/data/b' constraint='. &lt; 5'/>"
        "<bind nodeset='/data/b' constraint='. &lt; 3' jr:constraintMsg='under three'/>"
        "<bind nodeset='/data/c' relevant='nosuch()'/>"
        "<bind nodeset='/data/g' relevant='/data/b != 9'/>"
        "<bind nodeset='/data/g/h' required='true()'/>"
        "<bind nodeset='/data/t' calculate='/data/b * 2'/>"
        "<bind nodeset='/data/rep/x' calculate='1 div 0 + nosuch()'/>"
    )
    instance = "<data><a/><b>7</b><c/><g><h/></g><t/><rep jr:template=''><x/></rep><rep><x/></rep><rep><x/></rep></data>"
    s = Session(xform(model, instance))
    result = s.recompute()
    assert list(result) == ["calculated", "relevant", "missing", "invalid", "failed", "repeats"]
    assert result["calculated"] == {"/data/t": "14"}
    assert result["relevant"] == {
        "/data/a": True, "/data/b": True, "/data/c": True, "/data/g": True,
        "/data/g/h": True, "/data/rep[1]/x": True, "/data/rep[2]/x": True, "/data/t": True,
    }
    assert result["missing"] == ["/data/a", "/data/g/h"]
    assert result["invalid"] == [("/data/b", "this answer is not allowed"), ("/data/b", "under three")]
    reason = str(pytest.raises(RuntimeError, vindle.eval_expression, "nosuch()", "<d/>").value)
    calc_reason = str(pytest.raises(RuntimeError, vindle.eval_expression, "1 div 0 + nosuch()", "<d/>").value)
    assert result["failed"] == [
        # calculations by nodeset, one per node
        ("/data/rep/x", calc_reason), ("/data/rep/x", calc_reason),
        # relevance with the whole line, then the judgement's own
        ("/data/c", f"/data/c: rule could not be evaluated — {reason}"),
        ("/data/c", reason),
        ("/data/rep[1]/x", calc_reason), ("/data/rep[2]/x", calc_reason),
    ]
    assert result["repeats"] == {"/data/rep": 2}
    assert all(type(entry) is tuple and len(entry) == 2 for entry in result["invalid"] + result["failed"])
    # the written value persists; nothing changes the second time
    assert s.get("/data/t") == "14"
    assert s.recompute()["calculated"] == {}

    # a non-relevant group hides its required question
    s.set("/data/b", "9")
    result = s.recompute()
    assert result["relevant"]["/data/g"] is False and result["relevant"]["/data/g/h"] is False
    assert result["missing"] == ["/data/a"]
    assert result["calculated"] == {"/data/t": "18"}


def test_a_calculation_reads_another_calculated_in_the_same_recompute():
    model = (
        "<bind nodeset='/data/c' calculate='/data/b + 1'/>"
        "<bind nodeset='/data/b' calculate='/data/a * 10'/>"
        "<bind nodeset='/data/a' relevant='false()'/>"
    )
    s = session(model, instance="<data><a>2</a><b/><c/></data>")
    result = s.recompute()
    assert result["calculated"] == {"/data/b": "20", "/data/c": "21"}
    assert xml_of(s) == "<data><a>2</a><b>20</b><c>21</c></data>"


def test_a_calculation_on_a_non_relevant_node_is_written_but_not_judged():
    model = (
        "<bind nodeset='/data/a' relevant='false()' calculate='nosuch()' required='true()'/>"
        "<bind nodeset='/data/b' relevant='false()' calculate=\"'x '\"/>"
    )
    s = session(model, instance="<data><a/><b>x</b></data>")
    result = s.recompute()
    assert result["calculated"] == {"/data/b": "x "}
    assert result["missing"] == []
    assert [path for path, _ in result["failed"]] == ["/data/a"]


# -- choices ---------------------------------------------------------------


def test_choices_follow_the_answers():
    s = Session(str(FORMS / "cascading-places.xml"))
    assert s.choices("/place/district") == []
    s.set("/place/region", "north")
    assert s.choices("/place/district") == [
        {"value": "gulu", "label": "Gulu"}, {"value": "lira", "label": "Lira"}]
    s.set("/place/region", "south")
    assert s.choices(" /place/district ") == [{"value": "masaka", "label": "Masaka"}]
    s.set("/place/district", "masaka")
    result = s.recompute()
    assert result["calculated"] == {"/place/district_label": "Masaka"}
    assert result["missing"] == [] and result["invalid"] == []


@pytest.mark.parametrize(
    "body, expected",
    [
        ("<select1 ref='/data/a'><item><value>1</value><label>One</label></item></select1>", None),
        ("<input ref='/data/b'/>", None),
        ("<select1 ref='/data/a'><itemset nodeset=\"instance('l')/item[\"/></select1>", None),
        ("<select1 ref='/data/a'><itemset nodeset='1 + 1'/></select1>", []),
        ("<select1 ref='/data/a'><itemset nodeset=\"instance('l')/item\"><value ref='v'/></itemset></select1>",
         [{"value": " y ", "label": " y "}, {"value": "z", "label": "z"}]),
        ("<select1 ref='/data/a'><itemset nodeset=\"instance('l')/item\"><value ref='./v'/></itemset></select1>", []),
        ("<select1 ref='/data/a'><itemset nodeset=\"instance('l')/item[today() = '']\">"
         "<value ref='v'/><label ref='concat(v, now())'/></itemset></select1>",
         [{"value": " y ", "label": " y "}, {"value": "z", "label": "z"}]),
    ],
)
def test_choices_of_a_control(body, expected):
    model = "<instance id='l'><item><v> </v></item><item><v> y </v></item><item><v>z</v></item></instance><bind nodeset='/data/a'/>"
    s = session(model, body=body, today="2024-01-01", now="x")
    assert s.choices("/data/a") == expected
    if expected:
        assert all(list(choice) == ["value", "label"] for choice in expected)


# -- the Python surface -----------------------------------------------------


def test_signatures_and_docstrings():
    assert Session.__module__ == "vindle"
    assert str(inspect.signature(Session)) == "(form, instance=None, today=None, now=None)"
    assert Session.__text_signature__ == "(form, instance=None, today=None, now=None)"
    assert Session.__doc__ == (
        "A form being filled in.\n\nHolds the instance, applies what the form derives, and reports what\n"
        "moved. The same engine that judges the submission when it arrives, so a\n"
        "form cannot behave one way while it is being filled and another way\n"
        "afterwards."
    )
    methods = {
        "set": ("($self, path, value)", "Answer a question."),
        "get": ("($self, path)", "The current answer, or the empty string."),
        "add_row": ("($self, path)", "Add a row to a repeat; returns how many there are now."),
        "remove_row": ("($self, path, position)", "Remove one row, counted from 1 as XPath counts."),
        "recompute": ("($self)", "Run the form's logic and apply what it derives.\n\n"
                      "Returns what is asked, what was calculated (only where it changed),\n"
                      "what is missing, what was rejected, and how many rows each repeat\nhas."),
        "choices": ("($self, path)", "The choices a filtered question offers right now, or `None` when its\n"
                    "list is fixed."),
        "instance_xml": ("($self)", "The instance as it would be submitted."),
    }
    bound = session()
    for name, (signature, doc) in methods.items():
        method = getattr(Session, name)
        assert (method.__text_signature__, method.__doc__) == (signature, doc), name
        # The receiver is dropped once, not twice, from a bound method.
        rest = signature[len("($self"):].lstrip(", ")
        assert str(inspect.signature(getattr(bound, name))) == "(" + rest, name


def test_repr_counts_bytes():
    s = session(instance="<data><a>é€</a></data>")
    assert repr(s) == f"<vindle.Session {len(s.instance_xml().encode())} bytes>"
    assert len(s.instance_xml().encode()) == len(s.instance_xml()) + 3


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda s: s.set(1, "x"), TypeError),
        (lambda s: s.set("/data/a", None), TypeError),
        (lambda s: s.get(b"/data/a"), TypeError),
        (lambda s: s.add_row(None), TypeError),
        (lambda s: s.choices(3), TypeError),
        (lambda s: s.recompute(1), TypeError),
        (lambda s: s.instance_xml(None), TypeError),
        (lambda s: s.remove_row("/data/a", 1.0), TypeError),
        (lambda s: s.remove_row("/data/a", "1"), TypeError),
        (lambda s: s.remove_row("/data/a", -1), OverflowError),
        (lambda s: s.remove_row("/data/a", 2**64), OverflowError),
        (lambda s: s.set("/data/\ud800", "x"), UnicodeEncodeError),
        (lambda s: s.set(path="/data/a", value="1", other=2), TypeError),
    ],
)
def test_argument_conventions(call, error):
    s = session()
    with pytest.raises(error) as raised:
        call(s)
    if error is TypeError and "remove_row" in inspect.getsource(call):
        assert "'position'" in str(raised.value)
    assert xml_of(s) == "<data><a/><b/><c/></data>"


def test_constructor_arguments():
    form = xform("<bind nodeset='/data/a' calculate='concat(today(), \"|\", now())'/>")
    assert Session(form).recompute()["calculated"] == {"/data/a": "1970-01-01|1970-01-01T00:00:00.000Z"}
    assert Session(form, None, "", None).recompute()["calculated"] == {"/data/a": "|1970-01-01T00:00:00.000Z"}
    assert Session(form=form, now="n", today="t").recompute()["calculated"] == {"/data/a": "t|n"}
    with pytest.raises(ValueError, match="^instance: could not read ''"):
        Session(form, "")
    # the instance is read before the form is parsed
    with pytest.raises(ValueError, match="^instance: "):
        Session("<not xml", "/no/such/file.xml")
    with pytest.raises(RuntimeError, match="^XForm XML: "):
        Session("<not xml")
    with pytest.raises(RuntimeError, match="^saved instance: "):
        Session(form, "<a>")
    with pytest.raises(RuntimeError, match="^the XForm has no primary instance$"):
        Session("<h><bind nodeset='/a'/></h>")
    with pytest.raises(TypeError, match="'today'"):
        Session(form, today=1)


def test_a_position_that_calls_back_into_the_session_is_refused():
    s = Session(xform("<bind nodeset='/data/tail'/>", REPEAT))
    before = xml_of(s)
    seen = []

    class Position:
        def __init__(self, call):
            self.call = call

        def __index__(self):
            try:
                self.call()
            except RuntimeError as error:
                seen.append(str(error))
                raise
            return 1

    for call, message in [
        (lambda: s.get("/data/tail"), "Already mutably borrowed"),
        (lambda: repr(s), "Already mutably borrowed"),
        (lambda: s.set("/data/tail", "x"), "Already borrowed"),
        (lambda: s.recompute(), "Already borrowed"),
    ]:
        with pytest.raises(RuntimeError, match=f"^{message}$"):
            s.remove_row("/data/rep", Position(call))
        assert seen.pop() == message
    # a second __init__ from inside leaves the session alone
    s.remove_row("/data/rep", Position(lambda: s.__init__(xform("<bind nodeset='/data/q'/>", "<data><q/></data>"))))
    assert xml_of(s) == before.replace("<rep><x>1</x></rep>", "")
    # the borrow is released afterwards
    assert s.get("/data/tail") == "" and s.add_row("/data/rep") == 1


NEVER_INITIALISED = "this Session was never initialised — its __init__ did not run, or raised"


@pytest.mark.parametrize(
    "call",
    [
        lambda s: s.set("/data/a", "1"),
        lambda s: s.get("/data/a"),
        lambda s: s.add_row("/data/rep"),
        lambda s: s.remove_row("/data/rep", 1),
        lambda s: s.recompute(),
        lambda s: s.choices("/data/a"),
        lambda s: s.instance_xml(),
        repr,
    ],
)
def test_a_session_without_state_refuses_every_call(call):
    made_by_new = Session.__new__(Session)
    failed_init = Session.__new__(Session)
    with pytest.raises(RuntimeError, match="^XForm XML: "):
        failed_init.__init__("<not xml")
    for s in (made_by_new, failed_init):
        with pytest.raises(RuntimeError) as raised:
            call(s)
        assert str(raised.value) == NEVER_INITIALISED
    # __init__ can still give it a state
    made_by_new.__init__(xform("<bind nodeset='/data/a'/>", REPEAT))
    call(made_by_new)


# -- the same judgement as submission_findings ------------------------------


def test_a_filled_in_instance_is_judged_as_recompute_reported():
    form = FORMS / "household-roster.xml"
    s = Session(str(form))
    rng = random.Random(7)
    rows = [p for p in s.recompute()["repeats"]]
    for path in rows:
        for _ in range(3):
            s.add_row(path)
    result = s.recompute()
    for path in list(result["relevant"])[::2]:
        s.set(path, rng.choice(["", "1", "25", "-3", "yes", "x y"]))
    result = s.recompute()
    relevant = {p for p, r in result["relevant"].items() if r}
    findings = vindle.submission_findings(str(form), s.instance_xml())
    kinds = [(f["path"], f["kind"]) for f in findings if f["path"] in relevant or f["path"] not in result["relevant"]]
    assert [p for p, k in kinds if k == "required"] == result["missing"]
    assert [p for p, k in kinds if k == "constraint"] == [p for p, _ in result["invalid"]]
    assert [p for p, k in kinds if k == "calculation"] == []


# -- no sequence of calls breaks a session ----------------------------------


@pytest.mark.parametrize("name", ["household-roster.xml", "dwellings.xml", "cascading-places.xml"])
def test_random_calls_keep_the_instance_readable(name):
    form = str(FORMS / name)
    s = Session(form)
    rng = random.Random(name)
    repeats = list(s.recompute()["repeats"])
    paths = list(s.recompute()["relevant"]) + repeats + ["", "/", "//x", "@id", "/a/b[2]", "..", "*", "x[", "/x/y/z"]
    values = ["", "0", "12", "é", "<&>\"'", "  ", "2024-01-01", "a b"]
    for step in range(2000):
        path = rng.choice(paths)
        action = rng.randrange(7)
        try:
            if action == 0:
                s.set(path, rng.choice(values))
            elif action == 1:
                assert isinstance(s.get(path), str)
            elif action == 2:
                s.add_row(rng.choice(repeats) if repeats and rng.random() < 0.8 else path)
            elif action == 3:
                s.remove_row(path, rng.randrange(4))
            elif action == 4:
                result = s.recompute()
                paths.extend(rng.sample(list(result["relevant"]), min(3, len(result["relevant"]))))
            elif action == 5:
                s.choices(path)
            else:
                repr(s)
        except ValueError:
            pass
        xml = s.instance_xml()
        # reads back, by the system's own reader and by another
        assert vindle.eval_expression("count(.)", xml) == "1"
        ET.fromstring(xml[len("<?xml version='1.0' ?>"):])


def test_a_template_whose_name_holds_brackets_is_keyed_by_its_whole_name():
    instance = "<data><x/><r] jr:template=''><a/></r]><g><s] jr:template=''/></g><g/></data>"
    s = Session(xform("<bind nodeset='/data/x'/>", instance))
    assert sorted(s.recompute()["repeats"]) == ["/data/g[1]/s]", "/data/r]"]
    assert xml_of(s) == "<data><x/><g/><g/></data>"
