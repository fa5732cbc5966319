"""check_form: the constructs the tablet and browser engines read differently,
the paths that match nothing in the form's instance, and the function as
Python sees it."""
import inspect
import pytest

import vindle
from vindle import check_form

TABLET = "Collect / KoboCollect"
BROWSER = "Enketo web forms"
DIFFER = "both, differently"
SILENT = "both, identically and silently"

KEYS = ["says", "path", "rule", "expression", "construct", "breaks", "effect", "suggestion"]

# data holds q, a, group (with a of its own) and the repeat rep.
INSTANCE = "<data id='f'><q/><a/><group><a/></group><rep><v/><w/></rep></data>"


def attr(value):
    """An attribute value in double quotes; the reader decodes only the five
    predefined entities, so control characters are written as they are."""
    return '"' + value.replace("&", "&amp;").replace("<", "&lt;").replace('"', "&quot;") + '"'


def form(binds, instance=INSTANCE, repeats=("/data/rep",), more_instances=""):
    """An XForm with the given bind elements (attribute dicts or raw XML)."""
    bind_xml = "".join(
        b if isinstance(b, str)
        else "<bind" + "".join(f" {k}={attr(v)}" for k, v in b.items()) + "/>"
        for b in binds
    )
    repeat_xml = "".join(f"<repeat nodeset={attr(r)}/>" for r in repeats)
    return (
        "<h:html xmlns='http://www.w3.org/2002/xforms' xmlns:h='http://www.w3.org/1999/xhtml'>"
        f"<h:head><model><instance>{instance}</instance>{more_instances}{bind_xml}</model></h:head>"
        f"<h:body><group ref='/data/rep'>{repeat_xml}</group></h:body></h:html>"
    )


def constructs(expression, **kw):
    """(construct, breaks, suggestion) of each construct finding of one
    calculate; the instance has no root, so no read path is checked."""
    findings = check_form(form([{"nodeset": "/data/q", "calculate": expression}],
                               instance="", **kw))
    return [(f["construct"], f["breaks"], f["suggestion"]) for f in findings]


def missing_of(xml):
    """(read path, suggestion) of each finding, construct findings kept whole."""
    suffix = ", which this form's instance has no node for"
    return [(f["construct"].removesuffix(suffix), f["suggestion"]) for f in check_form(xml)]


def missing(expression, path="/data/q", more_instances=""):
    return missing_of(form([{"nodeset": path, "calculate": expression}],
                           more_instances=more_instances))


# ---------------------------------------------------------------- the texts

AREA_EFFECT = (
    "JavaRosa projects the shape onto a plane and Enketo uses a spherical formula, and Enketo "
    "also rounds to two decimals. Over a city block the two agree within a square metre; over a "
    "degree they differ by a tenth of a percent"
)
MISSING_EFFECT = (
    "the path matches nothing, so the rule reads an empty node-set: a calculation comes out 0, "
    "a comparison comes out false, and a relevant hides its question for the whole of fieldwork"
)


@pytest.mark.parametrize(
    "expression, construct, effect, breaks, suggestion",
    [
        ("/data/rep/v = 'x'", "comparing /data/rep/v, which repeats",
         "JavaRosa refuses to compare a field that repeats against a value, so the whole rule fails",
         TABLET, "count(/data/rep/v[. = \u2026]) > 0, or indexed-repeat() to name one instance"),
        ("count(//item)", "the // shorthand",
         "JavaRosa supports only child steps, so the path matches nothing",
         TABLET, "the full path from the instance root"),
        ("/data/rep[2]/v", "the positional predicate [2]",
         "JavaRosa matches nothing for a bare [n], so this silently reads as empty",
         TABLET, "[position() = 2]"),
        ("area(/data/shape)", "area()", AREA_EFFECT, DIFFER,
         "round() the result, or compare with a margin"),
        ("last()", "last()", "JavaRosa has no last(), so the rule fails", TABLET,
         "count() of the repeat"),
        ("floor(/data/x)", "floor()", "JavaRosa has no floor()", TABLET, "int(x) - (x < int(x))"),
        ("ceiling(/data/x)", "ceiling()", "JavaRosa has no ceiling()", TABLET,
         "int(x) + (x > int(x))"),
        ("substring(/data/x, 2, 3)", "substring()", "JavaRosa has substr() but not substring()",
         TABLET, "substr(), remembering it counts from 0 and its end is exclusive: "
         "substring(s, 2, 3) is substr(s, 1, 4)"),
        ("pulldata('f', 'c', 'k', .)", "pulldata()",
         "pulldata() is ODK Collect's own function, not an XForms one. Enketo does not have it, "
         "so every rule that calls it fails there",
         BROWSER, "instance('file')/root/item[key = \u2026]/column, which both engines evaluate"),
        ("distance(/data/line)", "distance()",
         "Enketo rounds the answer to two decimals and JavaRosa does not, so a rule comparing a "
         "distance against a threshold can fall either side of it",
         DIFFER, "round(distance(\u2026)) or a comparison with room to spare"),
        ("regex(., concat('^', /data/x))", "regex() with a pattern that is not written out",
         "the pattern is built at runtime, so whether it anchors cannot be checked here \u2014 "
         "the two engines still differ on unanchored ones",
         DIFFER, None),
        ("regex(., '\\d+')", 'regex() with the unanchored pattern "\\\\d+"',
         "JavaRosa requires the whole value to match while Enketo accepts a match anywhere in it, "
         "so the same answer passes in one and fails in the other",
         DIFFER, "'^(?:\\d+)$'"),
        ("regex(., '^a|b$')", 'regex() with alternation outside the anchors: "^a|b$"',
         "the ^ and $ bind only to the first and last alternatives, so this is anchored in "
         "JavaRosa and loose in Enketo despite looking anchored",
         DIFFER, "'^(?:^a|b$)$'"),
        ("boolean-from-string('TRUE')", 'boolean-from-string("TRUE")',
         "JavaRosa accepts any casing, Enketo only lowercase 'true'", DIFFER,
         "'true' in lowercase"),
        ("geofence(., /data/area)", "geofence()",
         "Enketo does not implement it, so a web form cannot open this", BROWSER, None),
    ],
)
def test_each_rule_gives_its_texts(expression, construct, effect, breaks, suggestion):
    [finding] = check_form(form([{"nodeset": "/data/total", "calculate": expression}],
                                instance=""))
    assert list(finding) == KEYS
    clause = {TABLET: "on " + TABLET, BROWSER: "on " + BROWSER,
              DIFFER: "and the two engines differ"}[breaks]
    write = f" Write {suggestion} instead." if suggestion is not None else ""
    assert finding == {
        "says": f"/data/total (calculate): {construct} \u2014 {effect}, {clause}.{write}",
        "path": "/data/total",
        "rule": "calculate",
        "expression": expression,
        "construct": construct,
        "breaks": breaks,
        "effect": effect,
        "suggestion": suggestion,
    }


def test_says_lines_written_out():
    findings = check_form(form([
        {"nodeset": "/data/q", "calculate": "last() + /data/nowhere",
         "readonly": "pulldata('a', 'b', 'c', .)", "constraint": "distance(.) > 10"},
    ]))
    assert [f["says"] for f in findings] == [
        "/data/q (calculate): last() \u2014 JavaRosa has no last(), so the rule fails, "
        "on Collect / KoboCollect. Write count() of the repeat instead.",
        "/data/q (calculate): /data/nowhere, which this form's instance has no node for "
        "\u2014 the path matches nothing, so the rule reads an empty node-set: a calculation "
        "comes out 0, a comparison comes out false, and a relevant hides its question for the "
        "whole of fieldwork, identically on both engines.",
        "/data/q (constraint): distance() \u2014 Enketo rounds the answer to two decimals and "
        "JavaRosa does not, so a rule comparing a distance against a threshold can fall either "
        "side of it, and the two engines differ. Write round(distance(\u2026)) or a comparison "
        "with room to spare instead.",
        "/data/q (readonly): pulldata() \u2014 pulldata() is ODK Collect's own function, not an "
        "XForms one. Enketo does not have it, so every rule that calls it fails there, on Enketo "
        "web forms. Write instance('file')/root/item[key = \u2026]/column, which both engines "
        "evaluate instead.",
    ]
    assert findings[1]["effect"] == MISSING_EFFECT
    assert findings[1]["breaks"] == SILENT


# ------------------------------------------------- the rules and near misses

REP = "comparing {}, which repeats"


@pytest.mark.parametrize(
    "expression, expected",
    [
        # names are compared whole, as written, case and prefix included
        ("Floor(1)", []),
        ("LAST()", []),
        ("jr:floor(1)", []),
        ("jr:regex(., 'a')", []),
        ("floors(1)", []),
        ("is-selected(., 'a')", [("is-selected()", BROWSER, None)]),
        ("enclosed-area(.)", [("enclosed-area()", BROWSER, None)]),
        ("base64-decode(.)", [("base64-decode()", BROWSER, None)]),
        ("extract-signed(., 'k')", [("extract-signed()", BROWSER, None)]),
        # boolean-from-string: four bytes, "true" in another ASCII casing
        ("boolean-from-string('True')", [('boolean-from-string("True")', DIFFER, "'true' in lowercase")]),
        ("boolean-from-string('tRuE')", [('boolean-from-string("tRuE")', DIFFER, "'true' in lowercase")]),
        ("boolean-from-string('true')", []),
        ("boolean-from-string('yes')", []),
        ("boolean-from-string(' true')", []),
        ("boolean-from-string('TRUE ')", []),
        ("boolean-from-string('TRUË')", []),
        ("boolean-from-string(/data/flag)", []),
        ("boolean-from-string()", []),
        # the // shorthand: only descendant-or-self::node()
        ("/data//v", [("the // shorthand", TABLET, "the full path from the instance root")]),
        ("descendant::v", []),
        # bare positions: step predicates only, numbers written plainly
        ("/data/rep[1.50]/v", [("the positional predicate [1.5]", TABLET, "[position() = 1.5]")]),
        ("/data/rep[2.0]", [("the positional predicate [2]", TABLET, "[position() = 2]")]),
        ("/data/rep[-1]", []),
        ("/data/rep[position() = 2]", []),
        ("(/data/rep)[2]", []),
        ("instance('t')/root/item[3]", [("the positional predicate [3]", TABLET, "[position() = 3]")]),
        # regex: the pattern's first and last bytes, and bars outside groups
        ("regex(., '^(a|b)$')", []),
        ("regex(., '^[a|b]$')", []),
        ("regex(., '^a\\|b$')", []),
        ("regex(., '^a\\$')", []),
        ("regex(., '^a|b\\$')", [('regex() with alternation outside the anchors: "^a|b\\\\$"', DIFFER, "'^(?:^a|b\\$)$'")]),
        ("regex(., '')", [('regex() with the unanchored pattern ""', DIFFER, "'^(?:)$'")]),
        ("regex(., '^abc')", [('regex() with the unanchored pattern "^abc"', DIFFER, "'^(?:^abc)$'")]),
        ("regex(., 'abc$')", [('regex() with the unanchored pattern "abc$"', DIFFER, "'^(?:abc$)$'")]),
        ("regex(., 'a|b')", [('regex() with the unanchored pattern "a|b"', DIFFER, "'^(?:a|b)$'")]),
        ("regex(., \"it's\")", [('regex() with the unanchored pattern "it\'s"', DIFFER, "'^(?:it's)$'")]),
        ("regex(., 'a\tb')", [('regex() with the unanchored pattern "a\\tb"', DIFFER, "'^(?:a\tb)$'")]),
        ("regex(.)", [("regex() with a pattern that is not written out", DIFFER, None)]),
        ("regex(., /data/p)", [("regex() with a pattern that is not written out", DIFFER, None)]),
    ],
)
def test_rules_and_near_misses(expression, expected):
    assert constructs(expression) == expected


@pytest.mark.parametrize(
    "repeats, expression, expected",
    [
        (["/data/rep"], "/data/rep/v = 'x'", ["/data/rep/v"]),
        (["/data/rep"], "/data/rep = 'x'", ["/data/rep"]),
        (["/data/rep"], "'x' != /data/rep/v", ["/data/rep/v"]),
        (["/data/rep"], "/data/rep/v = /data/rep/w", ["/data/rep/v", "/data/rep/w"]),
        (["/data/rep"], "not(/data/rep/v >= 1)", ["/data/rep/v"]),
        (["/data/rep"], "/data/rep/g/v < 1", ["/data/rep/g/v"]),
        (["/data/rep"], "/data/rep/v[1] = 'x'", []),
        (["/data/rep"], "count(/data/rep/v) > 0", []),
        (["/data/rep"], "../v = 'x'", []),
        (["/data/rep"], "/data/rep/* = 'x'", []),
        (["/data/rep"], "/data/rep/@id = 'x'", []),
        (["/data/rep"], "/data/repeat/v = 'x'", []),
        (["/data/rep"], "/data/rep/v + 1", []),
        (["/data/rep"], "/data/rep/v = 1 + /data/rep/w", ["/data/rep/v"]),
        (["data/rep"], "/data/rep/v = 'x'", []),
        (["/data/rep/"], "/data/rep/v = 'x'", ["/data/rep/v"]),
        (["  /data/rep\n"], "/data/rep/v = 'x'", ["/data/rep/v"]),
        ([""], "/data/q = 'x'", ["/data/q"]),
        (["/"], "/data/q = 'x'", ["/data/q"]),
        (["/data/rep", "/data/rep/inner"], "/data/rep/inner/v = 1", ["/data/rep/inner/v"]),
        ([], "/data/rep/v = 'x'", []),
    ],
)
def test_repeat_comparisons(repeats, expression, expected):
    found = [c for c, _, _ in constructs(expression, repeats=repeats)]
    assert [c for c in found if c.startswith("comparing ")] == [REP.format(p) for p in expected]


def test_a_repeat_without_nodeset_adds_nothing():
    xml = form([{"nodeset": "/data/q", "calculate": "/data/q = 1"}], repeats=())
    assert check_form(xml.replace("<h:body>", "<h:body><repeat/><repeat ref='/data/q'/>")) == []
    xml = xml.replace("<h:body>", "<h:body><repeat nodeset=''/>")
    assert [f["construct"] for f in check_form(xml)] == [REP.format("/data/q")]


@pytest.mark.parametrize(
    "expression, expected",
    [
        # a call's own hit comes before those of its arguments
        ("floor(substring(/data/x, 1))", ["floor()", "substring()"]),
        # left operand before right
        ("last() + ceiling(1)", ["last()", "ceiling()"]),
        # a comparison's repeat hits, left then right, before anything inside
        ("floor(/data/rep/v) = /data/rep/w", ["comparing /data/rep/w, which repeats", "floor()"]),
        ("/data/rep/v = last()", ["comparing /data/rep/v, which repeats", "last()"]),
        # a step's // before its predicates, a predicate's position before its insides
        ("//a[floor(1)][2]", ["the // shorthand", "floor()", "the positional predicate [2]"]),
        # a filter: primary, own predicates, then its steps
        ("(last() | //x)[floor(1)]/y[3]",
         ["last()", "the // shorthand", "floor()", "the positional predicate [3]"]),
        ("-ceiling(1) | area(.)", ["ceiling()", "area()"]),
    ],
)
def test_order_of_construct_findings(expression, expected):
    assert [c for c, _, _ in constructs(expression)] == expected


# ------------------------------------------------------------- read paths

TO_ROOT = "a path under /data \u2014 that is this form's instance root, not /{}"


@pytest.mark.parametrize(
    "expression, expected",
    [
        ("../a > 1", []),
        ("/data/q = 'x'", []),
        (". > 5", []),
        ("/data/group/a != ''", []),
        ("/data", []),
        ("../b > 1", [("/data/b", None)]),
        ("/data/b + /data/b", [("/data/b", None)]),
        ("/data/b + ../b + ./../b", [("/data/b", None)]),
        ("zz", [("/data/q/zz", None)]),
        ("count(zz)", [("/data/q/zz", None)]),
        # one candidate wins whatever the first segment
        ("/form/q = 1", [("/form/q", "/data/q")]),
        ("/data/x/w", [("/data/x/w", "/data/rep/w")]),
        ("/data/group", []),
        # several candidates or none: the root sentence, unless the path starts there
        ("/form/a = 1", [("/form/a", TO_ROOT.format("form"))]),
        ("/form/zz = 1", [("/form/zz", TO_ROOT.format("form"))]),
        ("/data/x/a = 1", [("/data/x/a", None)]),
        ("/Data/zz", [("/Data/zz", TO_ROOT.format("Data"))]),
        ("/zz", [("/zz", TO_ROOT.format("zz"))]),
        ("../../x", [("/x", TO_ROOT.format("x"))]),
        # what has no plain rendering is not a read path
        ("/data/nowhere/@x", []),
        ("../*", []),
        ("//zz", [("the // shorthand", "the full path from the instance root")]),
        ("$v/zz", []),
        ("../../..", []),
        ("instance('lookup')/root/item", []),
        # relative paths inside predicates and filters are left out, absolute ones count
        ("/data/rows/row[name = 'x']/@x", []),
        ("/data/group[zz = 1]/a", []),
        ("/data/rows/row[/data/zz = 1]/@x", [("/data/zz", None)]),
        ("count(instance('lookup')/root/item[/data/zz = 1][yy])", [("/data/zz", None)]),
        ("(../zz)[1]", []),
        # construct findings first, then the paths, in walk order
        ("floor(/data/zz) + /data/yy[/data/xx]",
         [("floor()", "int(x) - (x < int(x))"), ("/data/zz", None), ("/data/yy", None),
          ("/data/xx", None)]),
    ],
)
def test_read_paths(expression, expected):
    assert missing(expression) == expected


@pytest.mark.parametrize(
    "bind_path, expression, expected",
    [
        # a bind on an attribute reads its owner through "."
        ("/data/q/@x", ". = 1", []),
        ("/data/zz/@x", ". = 1", [("/data/zz/@x", None)]),
        # the bind path is taken as text, blanks and trailing slashes kept
        ("/data/q/", ". = 1", []),
        (" /data/q ", ". = 1", [("/data/q ", None)]),
        (" /data/q ", "/data/q = 1", []),
        # a relative bind path is read from the instance root, so one that
        # repeats the root's name lies a level below it
        ("data/q", "../a", [("/data/data/a", None)]),
        ("q", "../a", []),
        ("/data/rep/v", "../w + ../../a", []),
    ],
)
def test_read_paths_against_the_bind_path(bind_path, expression, expected):
    assert missing(expression, path=bind_path) == expected


@pytest.mark.parametrize(
    "more_instances, expression, expected",
    [
        ("<instance id='lookup'><root/></instance>", "/lookup/item", []),
        ("<instance id='lookup'><root/></instance>", "/Lookup/item", [("/Lookup/item", TO_ROOT.format("Lookup"))]),
        ("<instance id=' lookup'><root/></instance>", "/lookup/item", [("/lookup/item", TO_ROOT.format("lookup"))]),
        ("<instance id=''/>", "/data/q", []),
        ("<instance id=''/>", "/data/zz", [("/data/zz", None)]),
    ],
)
def test_secondary_instance_ids(more_instances, expression, expected):
    assert missing(expression, more_instances=more_instances) == expected


def test_an_empty_instance_id_covers_an_empty_first_segment():
    bind = {"nodeset": "//q", "calculate": ". + 1"}
    assert missing_of(form([bind])) == [("//q", "/data/q")]
    assert missing_of(form([bind], more_instances="<instance id=''/>")) == []


@pytest.mark.parametrize(
    "instances, expected",
    [
        # the first instance without an id is the primary, wherever it stands
        ("<instance id='first'><other><zz/></other></instance><instance><data><q/><a/></data></instance>",
         [("/other/zz", TO_ROOT.format("other"))]),
        ("<instance id='first'/><instance><data><q/></data></instance>",
         [("/data/a", None), ("/other/zz", TO_ROOT.format("other"))]),
        # a later instance without an id is ignored
        ("<instance><data><q/></data></instance><instance><other><zz/></other></instance>",
         [("/data/a", None), ("/other/zz", TO_ROOT.format("other")), ("/first/x", TO_ROOT.format("first"))]),
        # paths under a secondary instance's id are not checked
        ("<instance id='other'/><instance><data><q/></data></instance>",
         [("/data/a", None), ("/first/x", TO_ROOT.format("first"))]),
        # a primary instance without a root: no read path is checked
        ("<instance/><instance><data/></instance>", []),
        ("<instance>text only</instance>", []),
        ("", []),
    ],
)
def test_the_primary_instance(instances, expected):
    xml = (
        f"<html><head><model>{instances}"
        "<bind nodeset='/data/q' calculate='/data/a + /other/zz + /first/x'/>"
        "</model></head></html>"
    )
    assert missing_of(xml) == expected


def test_construct_rules_run_without_an_instance_root():
    xml = "<html><model><instance/><bind nodeset='/data/q' calculate='last() + /data/zz'/></model></html>"
    assert [f["construct"] for f in check_form(xml)] == ["last()"]


# ------------------------------------------------------------------ the walk over binds


def test_binds_attributes_and_trimming():
    xml = form([
        # attributes in reverse order; the findings follow the fixed order
        "<bind readonly='last()' required='last()' constraint='last()' calculate='last()' "
        "relevant='last()' nodeset='/data/q'/>",
        {"calculate": "last()"},                                  # no path
        {"nodeset": " \t", "calculate": "last()"},                 # blank path
        {"nodeset": "", "ref": "/data/a", "calculate": "floor(1)"},  # blank nodeset, ref used
        {"nodeset": "/data/q", "ref": "/data/a", "calculate": "ceiling(1)"},
        {"nodeset": "/data/q", "calculate": "floor(", "relevant": " ", "constraint": "last()"},
        {"nodeset": "\n /data/q\t", "calculate": "  last()\n"},
        "<xf:bind nodeset='/data/q' calculate='area(.)'/>",
        "<bind nodeset='/data/q' type='int' jr:constraintMsg='last()' Calculate='last()'/>",
    ])
    assert [(f["path"], f["rule"], f["expression"], f["construct"]) for f in check_form(xml)] == [
        ("/data/q", "relevant", "last()", "last()"),
        ("/data/q", "calculate", "last()", "last()"),
        ("/data/q", "constraint", "last()", "last()"),
        ("/data/q", "required", "last()", "last()"),
        ("/data/q", "readonly", "last()", "last()"),
        ("/data/a", "calculate", "floor(1)", "floor()"),
        ("/data/q", "calculate", "ceiling(1)", "ceiling()"),
        ("/data/q", "constraint", "last()", "last()"),
        ("/data/q", "calculate", "last()", "last()"),
        ("/data/q", "calculate", "area(.)", "area()"),
    ]


def test_the_first_of_repeated_attributes_decides():
    xml = form(["<bind nodeset=' ' nodeset='/data/q' ref='/data/a' calculate='last()'/>",
                "<bind nodeset='/data/q' calculate=' ' calculate='last()'/>"])
    assert [f["path"] for f in check_form(xml)] == ["/data/a"]


def test_a_million_deep_instance():
    depth = 1_000_000
    instance = "<data><q/>" + "<d>" * depth + "<leaf/>" + "</d>" * depth + "</data>"
    xml = form([{"nodeset": "/data/q", "calculate": "/data/leaf + ../q"}], instance=instance)
    [finding] = check_form(xml)
    assert finding["suggestion"] == "/data" + "/d" * depth + "/leaf"


def test_many_binds_on_the_same_path_are_all_reported():
    xml = form([{"nodeset": "/data/q", "calculate": "last()"}] * 3)
    assert len(check_form(xml)) == 3


# ------------------------------------------------------------------ the function


def test_signature_and_docstring():
    assert vindle.check_form.__text_signature__ == "(form)"
    assert str(inspect.signature(vindle.check_form)) == "(form)"
    assert vindle.check_form.__doc__ == (
        "Will this form mean the same thing on a tablet and in a browser?\n\n"
        "Returns one dict per finding: the bind it belongs to, which rule, the\n"
        "construct at fault, where it breaks, what happens, and what to write\n"
        "instead. An empty list means the form travels."
    )
    assert vindle.check_form.__module__ == "vindle"
    assert vindle.__all__.index("check_form") == 1


class Text(str):
    pass


def test_arguments():
    xml = form([{"nodeset": "/data/q", "calculate": "last()"}])
    assert check_form(form=xml) == check_form(xml) == check_form(Text(xml))
    for bad in (None, b"<a/>", 1):
        with pytest.raises(TypeError, match="'form'"):
            check_form(bad)
    with pytest.raises(TypeError):
        check_form()
    with pytest.raises(TypeError):
        check_form(xml, xml)
    with pytest.raises(UnicodeEncodeError):
        check_form("<a>\ud800</a>")


def test_form_from_a_file(tmp_path):
    path = tmp_path / "form.xml"
    path.write_text(form([{"nodeset": "/data/q", "calculate": "last()"}]), encoding="utf-8")
    assert [f["construct"] for f in check_form(str(path))] == ["last()"]


@pytest.mark.parametrize("argument", ["", "/nonexistent/form.xml", "form.xml"])
def test_an_unreadable_form_raises_value_error(argument):
    with pytest.raises(ValueError) as raised:
        check_form(argument)
    assert str(raised.value).startswith(f"form: could not read '{argument}': ")


@pytest.mark.parametrize(
    "xml, message",
    [
        ("  <?xml version='1.0'?>", "XForm XML: no root element"),
        ("<a><b></a>", "XForm XML: closing </a> does not match open <b>"),
    ],
)
def test_xml_that_does_not_read_raises_runtime_error(xml, message):
    with pytest.raises(RuntimeError) as raised:
        check_form(xml)
    assert str(raised.value) == message


@pytest.mark.parametrize("xml", ["<a/>", form([]), form(["<bind nodeset='/data/q'/>"])])
def test_forms_that_travel(xml):
    assert check_form(xml) == []
