"""submission_findings: a submission judged against the rules of its form."""
import inspect

import pytest

import vindle
from vindle import submission_findings


def xform(model, body="", instance="<data><a/><b/><c/></data>"):
    return (
        "<h:html xmlns:h='http://www.w3.org/1999/xhtml' xmlns:jr='http://openrosa.org/javarosa'>"
        f"<h:head><model><instance>{instance}</instance>{model}</model></h:head>"
        f"<h:body>{body}</h:body></h:html>"
    )


def judge(model, submission, body="", **kw):
    return submission_findings(xform(model, body), submission, **kw)


def says(model, submission, body="", **kw):
    return [f["says"] for f in judge(model, submission, body, **kw)]


def kinds(model, submission, body="", **kw):
    return [(f["path"], f["kind"]) for f in judge(model, submission, body, **kw)]


def error_of(expression):
    """The engine's own message for an expression that fails to parse or evaluate."""
    with pytest.raises(RuntimeError) as raised:
        vindle.eval_expression(expression, "<d/>")
    return str(raised.value)


# -- loading the form ------------------------------------------------------


@pytest.mark.parametrize(
    "model, submission, expected",
    [
        # nodeset wins over ref; a blank nodeset gives way to ref
        ("<bind nodeset='/data/a' ref='/data/b' required='true()'/>", "<data><a/><b/></data>",
         ["/data/a: required, and unanswered"]),
        ("<bind nodeset=' ' ref='/data/b' required='true()'/>", "<data><a/><b/></data>",
         ["/data/b: required, and unanswered"]),
        # blank attributes count as absent
        ("<bind nodeset='/data/a' relevant='  ' required='true()' requiredMsg=' '/>",
         "<data><a/></data>", ["/data/a: required, and unanswered"]),
        ("<bind nodeset='/data/a' constraint='false()' constraintMsg='\t'/>",
         "<data><a>1</a></data>", ["/data/a: the answer does not satisfy the form's constraint"]),
        ("<bind nodeset='/data/a' required=' ' calculate='' constraint=' '/>",
         "<data><a/></data>", []),
        # a bind anywhere in the document counts; prefixes are dropped
        ("<x:bind xmlns:x='y' nodeset='/data/a' required='true()'/>", "<data><a/></data>",
         ["/data/a: required, and unanswered"]),
    ],
)
def test_bind_attributes(model, submission, expected):
    assert says(model, submission) == expected


def test_load_failures_in_the_order_of_the_phases():
    bad = error_of("1 +")
    cases = [
        ("<bind nodeset='/data/a' relevant='1 +' calculate='2 +'/>",
         f'relevant of /data/a: {bad} — in expression "1 +"'),
        ("<bind nodeset='/data/a' readonly='1 +' required='2 +'/>",
         f'readonly of /data/a: {bad} — in expression "1 +"'),
        ("<bind nodeset='/data/a' constraint='\"x\" +'/>",
         f'constraint of /data/a: {error_of(chr(34) + "x" + chr(34) + " +")}'
         ' — in expression "\\"x\\" +"'),
        ("<bind relevant='1 +'/><bind nodeset='/data/a' relevant='1 +'/>",
         "a <bind> has no nodeset"),
        ("<bind nodeset='/data/a' calculate='1 +'/><bind/>",
         f'calculate of /data/a: {bad} — in expression "1 +"'),
        ("", "the XForm declares no binds, so it carries no rules"),
        ("<bind nodeset='/data/a' calculate='/data/b'/><bind nodeset='/data/b' calculate='/data/a'/>",
         "these calculations depend on each other, so none of them has a defined value: "
         "/data/a → /data/b → /data/a"),
    ]
    for model, message in cases:
        with pytest.raises(RuntimeError) as raised:
            judge(model, "<data/>")
        assert str(raised.value) == message, model


def test_form_that_is_not_xml():
    with pytest.raises(RuntimeError) as raised:
        submission_findings("<h:html><model>", "<data/>")
    assert str(raised.value).startswith("XForm XML: ")


def test_form_is_refused_before_the_submission_is_read():
    with pytest.raises(RuntimeError) as raised:
        submission_findings(xform(""), "<data>")
    assert str(raised.value) == "the XForm declares no binds, so it carries no rules"


def test_unreadable_submission_raises_the_reader_message():
    with pytest.raises(RuntimeError) as raised:
        judge("<bind nodeset='/data/a'/>", "<data>")
    with pytest.raises(RuntimeError) as direct:
        vindle.eval_expression("1", "<data>")
    assert str(raised.value) == str(direct.value)


# -- calculation order -----------------------------------------------------

RING = "these calculations depend on each other, so none of them has a defined value: "


@pytest.mark.parametrize(
    "model, message",
    [
        # a ring of three, met from a bind outside it, named from its first bind met
        ("<bind nodeset='/data/x' calculate='/data/b'/>"
         "<bind nodeset='/data/a' calculate='/data/b'/>"
         "<bind nodeset='/data/b' calculate='/data/c'/>"
         "<bind nodeset='/data/c' calculate='/data/a'/>",
         RING + "/data/b → /data/c → /data/a → /data/b"),
        ("<bind nodeset='/data/a' calculate='../c + 1'/>"
         "<bind nodeset='/data/b' calculate='../a'/>"
         "<bind nodeset='/data/c' calculate='../b'/>",
         RING + "/data/a → /data/c → /data/b → /data/a"),
    ],
)
def test_calculation_rings(model, message):
    with pytest.raises(RuntimeError) as raised:
        judge(model, "<data/>")
    assert str(raised.value) == message


@pytest.mark.parametrize(
    "model, order",
    [
        # dependencies first, the rest in declaration order
        ("<bind nodeset='/data/a' calculate='/data/c'/><bind nodeset='/data/b' calculate='1'/>"
         "<bind nodeset='/data/c' calculate='2'/>",
         ["/data/c", "/data/a", "/data/b"]),
        # reading its own node is no circle
        ("<bind nodeset='/data/a' calculate='. + 1'/>", ["/data/a"]),
        # the later bind of a shared nodeset is the one depended on
        ("<bind nodeset='/data/a' calculate='/data/b'/><bind nodeset='/data/b' calculate='1'/>"
         "<bind nodeset='/data/b' required='false()'/>",
         ["/data/a", "/data/b"]),
        ("<bind nodeset='/data/a' calculate='/data/b'/><bind nodeset='/data/b' required='false()'/>"
         "<bind nodeset='/data/b' calculate='1'/>",
         ["/data/b", "/data/a"]),
    ],
)
def test_calculations_are_checked_in_dependency_order(model, order):
    found = judge(model, "<data><a>a</a><b>b</b><c>c</c></data>")
    assert [f["path"] for f in found] == order
    assert {f["kind"] for f in found} == {"calculation"}


def test_calculations_compare_with_what_the_submission_holds():
    # b's calculation reads a as held, not a's calculated value.
    model = ("<bind nodeset='/data/a' calculate='5'/>"
             "<bind nodeset='/data/b' calculate='/data/a * 2'/>"
             "<bind nodeset='/data/c' calculate='concat(/data/a, /data/b)'/>")
    assert says(model, "<data><a>5.0</a><b>10</b><c>5.010 </c></data>") == [
        '/data/a: holds "5.0", but the form calculates "5"',
        '/data/c: holds "5.010 ", but the form calculates "5.010"',
    ]
    # a node with children is compared by its whole string-value
    assert says("<bind nodeset='/data/a' calculate=\"'xyz'\"/>",
                "<data><a>x<p>y</p><q>z</q></a></data>") == []


# -- relevance -------------------------------------------------------------

GROUPS = "<data><g><h><q/></h><r/></g><k><q/></k><x><q/></x></data>"


@pytest.mark.parametrize(
    "model, expected",
    [
        # a false group hides every bound node below it, whatever their own
        ("<bind nodeset='/data/g' relevant='false()'/>"
         "<bind nodeset='/data/g/h/q' relevant='true()' required='true()'/>"
         "<bind nodeset='/data/g/r' required='true()'/>",
         []),
        ("<bind nodeset='/data/g' relevant='true()'/>"
         "<bind nodeset='/data/g/h/q' relevant='false()' required='true()'/>"
         "<bind nodeset='/data/g/r' required='true()'/>",
         [("/data/g/r", "required")]),
        # the last bind with a relevant expression on a node decides
        ("<bind nodeset='/data/k' relevant='false()'/><bind nodeset='/data/k' relevant='true()'/>"
         "<bind nodeset='/data/k/q' required='true()'/>",
         [("/data/k/q", "required")]),
        ("<bind nodeset='/data/k' relevant='0 div 0'/><bind nodeset='/data/k/q' required='1'/>", []),
        ("<bind nodeset='/data/k' relevant='1 div 0'/><bind nodeset='/data/k/q' required='1'/>",
         [("/data/k/q", "required")]),
        ("<bind nodeset='/data/k' relevant=\"'false'\"/><bind nodeset='/data/k/q' required='1'/>",
         [("/data/k/q", "required")]),
        ("<bind nodeset='/data/k' relevant='/data/nothing'/>"
         "<bind nodeset='/data/k/q' required='1'/>", []),
        # a failing relevant leaves its node and those below relevant, and is reported
        ("<bind nodeset='/data/x' relevant='nosuch()' required='true()'/>"
         "<bind nodeset='/data/x/q' required='true()'/>",
         [("/data/x", "not-evaluated"), ("/data/x", "required"), ("/data/x/q", "required")]),
        # a failure's true replaces an earlier false
        ("<bind nodeset='/data/x' relevant='false()'/><bind nodeset='/data/x' relevant='nosuch()'/>"
         "<bind nodeset='/data/x/q' required='true()'/>",
         [("/data/x", "not-evaluated"), ("/data/x/q", "required")]),
        # and a failure below a false group is reported, while the node stays hidden
        ("<bind nodeset='/data/g' relevant='false()'/>"
         "<bind nodeset='/data/g/r' relevant='nosuch()' required='true()'/>",
         [("/data/g/r", "not-evaluated")]),
    ],
)
def test_relevance(model, expected):
    assert kinds(model, GROUPS) == expected


def test_relevance_evaluates_at_each_row():
    model = ("<bind nodeset='/data/rep/v' relevant=\"../use = 'y'\" required='true()' "
             "constraint='. &gt; 0' calculate='1'/>")
    submission = ("<data><rep><use>y</use><v/></rep><rep><use>n</use><v>-1</v></rep>"
                  "<rep><use>y</use><v>-1</v></rep></data>")
    assert kinds(model, submission) == [
        ("/data/rep[1]/v", "calculation"),
        ("/data/rep[3]/v", "calculation"),
        ("/data/rep[1]/v", "required"),
        ("/data/rep[3]/v", "constraint"),
    ]


# -- required and constraint -----------------------------------------------


@pytest.mark.parametrize(
    "answer, required, constraint, expected",
    [
        ("", "true()", "false()", ["required"]),
        (" \t\n\u00a0\u3000", "true()", "false()", ["required"]),
        ("0", "true()", ". = 1", ["constraint"]),
        ("0", "true()", ". = 0", []),
        ("", "false()", "false()", []),
        ("", "0", "nosuch()", []),
        ("", "'no'", "false()", ["required"]),
        ("", "/data/b", "false()", []),
        ("", "/data/a", "false()", ["required"]),  # an empty element is a node
        ("x", "nosuch()", "false()", ["not-evaluated", "constraint"]),
        ("", "nosuch()", "false()", ["not-evaluated"]),
        ("x", "true()", "nosuch()", ["not-evaluated"]),
        ("x", None, "'false'", []),
        ("x", None, "0 div 0", ["constraint"]),
    ],
)
def test_required_and_constraint(answer, required, constraint, expected):
    attributes = f"constraint=\"{constraint}\""
    if required is not None:
        attributes += f" required=\"{required}\""
    found = judge(f"<bind nodeset='/data/a' {attributes}/>", f"<data><a>{answer}</a></data>")
    assert [f["kind"] for f in found] == expected


def test_rules_that_cannot_be_evaluated_are_never_passed():
    reason = "rule could not be evaluated — "
    for attribute in ("calculate", "relevant", "required", "constraint"):
        found = judge(f"<bind nodeset='/data/a' {attribute}=\"instance('none')/x\"/>",
                      "<data><a>1</a></data>")
        assert [f["kind"] for f in found] == ["not-evaluated"], attribute
        assert found[0]["says"] == (
            "/data/a: " + reason + "instance('none') is not loaded — the form expects a "
            "secondary instance the evaluator was not given"), attribute


def test_order_of_findings():
    model = (
        "<bind nodeset='/data/c' required='true()' constraint='false()'/>"
        "<bind nodeset='/data/b' relevant='nosuch()' required='nosuch()' constraint='false()'/>"
        "<bind nodeset='/data/a' calculate='/data/c' constraint='false()' constraintMsg='A'/>"
        "<bind nodeset='/data/c' calculate='3' required='true()' requiredMsg='C'/>"
    )
    assert says(model, "<data><a>1</a><b>2</b><c/></data>") == [
        "/data/b: rule could not be evaluated — " + error_of("nosuch()"),
        '/data/c: holds "", but the form calculates "3"',
        '/data/a: holds "1", but the form calculates ""',
        "/data/c: required, and unanswered",
        "/data/b: rule could not be evaluated — " + error_of("nosuch()"),
        "/data/b: the answer does not satisfy the form's constraint",
        "/data/a: A",
        "/data/c: C",
    ]


def test_each_dict_has_path_kind_says_in_order():
    found = judge("<bind nodeset='/data/a' required='true()'/>", "<data><a/></data>")
    assert found == [
        {"path": "/data/a", "kind": "required", "says": "/data/a: required, and unanswered"}
    ]
    assert list(found[0]) == ["path", "kind", "says"]
    assert judge("<bind nodeset='/data/a' required='true()'/>", "<data><a>x</a></data>") == []


def test_calculation_texts_quote_both_values():
    found = says("<bind nodeset='/data/a' calculate=\"concat('é', '&quot;')\"/>",
                 "<data><a>a\u0301\u0007\\\t</a></data>")
    assert found == ['/data/a: holds "a\\u{301}\\u{7}\\\\\\t", but the form calculates "é\\""']


@pytest.mark.parametrize(
    "nodeset",
    ["/data/a[", "1 + 1", "/data/nothing", "nosuch()", "instance('none')/x", "'/data/a'"],
)
def test_nodesets_that_select_nothing_are_not_judged(nodeset):
    model = (f"<bind nodeset=\"{nodeset}\" required='true()' relevant='nosuch()' "
             "calculate='1' constraint='false()'/><bind nodeset='/data/b' required='true()'/>")
    assert kinds(model, "<data><a/><b/></data>") == [("/data/b", "required")]


def test_nodes_selected_twice_are_judged_twice():
    model = ("<bind nodeset='/data/a' required='true()'/>"
             "<bind nodeset='/data/*' required='true()'/>")
    assert kinds(model, "<data><a/><b>x</b></data>") == [
        ("/data/a", "required"), ("/data/a", "required")]


# -- messages --------------------------------------------------------------

ITEXT = (
    "<itext><translation lang='English'>"
    "<text id='c1'><value> Too big </value></text>"
    "<text id='r1'><value form='long'>Say something</value><value>short</value></text>"
    "</translation><translation lang='French' default='true()'>"
    "<text id='c1'><value>Trop grand</value></text></translation></itext>"
)


@pytest.mark.parametrize(
    "message, expected",
    [
        ("jr:itext('c1')", "/data/a:  Too big "),
        ("  jr:itext('c1')", "/data/a:  Too big "),
        ("jr:itext('nope')", "/data/a: nope"),
        ("JR:ITEXT('c1')", "/data/a: JR:ITEXT('c1')"),
        ("Plain words", "/data/a: Plain words"),
        ("jr:itext(/data/key)", "/data/a:  Too big "),
    ],
)
def test_constraint_messages_resolve_from_the_first_translation(message, expected):
    model = ITEXT + f"<bind nodeset='/data/a' constraint='false()' constraintMsg=\"{message}\"/>"
    assert says(model, "<data><a>1</a><key>c1</key></data>") == [expected]


def test_required_messages_resolve_too():
    model = ITEXT + "<bind nodeset='/data/a' required='true()' requiredMsg=\"jr:itext('r1')\"/>"
    assert says(model, "<data><a/></data>") == ["/data/a: Say something"]


# -- choice labels ---------------------------------------------------------

LISTS = (
    "<instance id='lists'><root>"
    "<item><name>y</name><label>Yes from list</label><itextId>yes</itextId></item>"
    "<item><name>n</name><label>No from list</label><itextId>no</itextId></item>"
    "</root></instance>"
)
LABEL_TEXTS = (
    "<itext><translation lang='en'>"
    "<text id='/data/a/y:label'><value>Yes, itext</value></text>"
    "<text id='yes'><value>Yes, by id</value></text>"
    "</translation></itext>"
)


@pytest.mark.parametrize(
    "control, expected",
    [
        ("<select1 ref='/data/a'><item><value>y</value><label>Yes</label></item></select1>",
         "Yes"),
        ("<select1 ref=' /data/a '><item><value> y </value><label>Yes </label></item></select1>",
         "Yes "),
        ("<select1 ref='/data/a'><item><value>y</value>"
         "<label ref=\"jr:itext('/data/a/y:label')\"/></item></select1>",
         "Yes, itext"),
        ("<select1 ref='/data/a'><item><value>y</value>"
         "<label ref=\"jr:itext('/data/a/z:label')\"/></item></select1>",
         "/data/a/z:label"),
        ("<select1 ref='/data/a'><itemset nodeset=\"instance('lists')/root/item\">"
         "<value ref='name'/><label ref='label'/></itemset></select1>",
         "Yes from list"),
        ("<select1 ref='/data/a'><itemset nodeset=\"instance('lists')/root/item\">"
         "<label ref='label'/></itemset></select1>",
         "Yes from list"),
        ("<select1 ref='/data/a'><itemset nodeset=\"instance('lists')/root/item\"/></select1>",
         "y"),
        ("<select1 ref='/data/a'><itemset nodeset=\"instance('lists')/root/item\">"
         "<value ref='name'/><label ref='jr:itext(itextId)'/></itemset></select1>",
         "Yes, by id"),
        ("<rank ref='/data/a'><itemset nodeset=\"instance('lists')/root/item[name != /data/b]\">"
         "<value ref='name'/><label ref='label'/></itemset></rank>",
         "Yes from list"),
    ],
)
def test_choice_names(control, expected):
    model = LISTS + LABEL_TEXTS + (
        "<bind nodeset='/data/c' calculate=\"jr:choice-name(/data/a, '/data/a')\"/>")
    found = submission_findings(xform(model, control), "<data><a>y</a><b>n</b><c/></data>")
    assert [f["says"] for f in found] == [f'/data/c: holds "", but the form calculates "{expected}"']


@pytest.mark.parametrize(
    "control",
    [
        # a static item without a label: the itemset is not consulted
        "<select1 ref='/data/a'><item><value>y</value></item>"
        "<itemset nodeset=\"instance('lists')/root/item\"/></select1>",
        # the value reference names a child; ./name is never found
        "<select1 ref='/data/a'><itemset nodeset=\"instance('lists')/root/item\">"
        "<value ref='./name'/></itemset></select1>",
        "<select1 ref='/data/a'><itemset nodeset=\"instance('lists')/root/item[\"/></select1>",
        "<select1 ref='data/a'><item><value>y</value><label>Yes</label></item></select1>",
        "<group ref='/data/a'><item><value>y</value><label>Yes</label></item></group>",
    ],
)
def test_choice_names_that_find_nothing_are_not_evaluated(control):
    model = LISTS + "<bind nodeset='/data/c' calculate=\"jr:choice-name(/data/a, '/data/a')\"/>"
    found = submission_findings(xform(model, control), "<data><a>y</a><c/></data>")
    assert [f["kind"] for f in found] == ["not-evaluated"]


def test_itemsets_and_labels_see_empty_today():
    control = ("<select1 ref='/data/a'><itemset nodeset=\"instance('lists')/root/item"
               "[today() = '']\"><value ref='name'/><label ref='concat(label, now())'/>"
               "</itemset></select1>")
    model = LISTS + "<bind nodeset='/data/c' calculate=\"jr:choice-name(/data/a, '/data/a')\"/>"
    found = submission_findings(xform(model, control), "<data><a>n</a><c/></data>",
                                today="2024-01-01", now="2024-01-01T00:00:00Z")
    assert [f["says"] for f in found] == ['/data/c: holds "", but the form calculates "No from list"']


# -- secondary instances, today and now ------------------------------------


def test_findings_on_secondary_instance_nodes_carry_instance_paths():
    model = (LISTS + "<instance id='a-first'><x><v>1</v></x></instance>"
             "<bind nodeset=\"instance('lists')/root/item/name\" constraint=\". = 'y'\"/>"
             "<bind nodeset=\"instance('a-first')/x/v\" constraint='. &gt; 1'/>")
    assert kinds(model, "<data/>") == [
        ("/instance[2]/root/item[2]/name", "constraint"),
        ("/instance[1]/x/v", "constraint"),
    ]


@pytest.mark.parametrize(
    "submission, kw, expected",
    [
        ("<data><a/><b/></data>", {}, ("1970-01-01", "1970-01-01T00:00:00.000Z")),
        ("<data><a/><b/><meta><end>2024-05-01T10:00:00.000+02:00</end></meta></data>", {},
         ("2024-05-01", "2024-05-01T10:00:00.000+02:00")),
        ("<data><a/><b/><today>2023-02-03</today><start>S</start></data>", {},
         ("2023-02-03", "S")),
        ("<data><a/><b/><today>2023-02-03</today></data>", {"today": "", "now": "N"}, ("", "N")),
    ],
)
def test_today_and_now(submission, kw, expected):
    model = "<bind nodeset='/data/a' calculate='today()'/><bind nodeset='/data/b' calculate='now()'/>"
    # A calculation equal to the empty text held is no finding.
    wanted = [f'{path}: holds "", but the form calculates "{value}"'
              for path, value in zip(("/data/a", "/data/b"), expected) if value]
    assert says(model, submission, **kw) == wanted


# -- the module surface ----------------------------------------------------


def test_signature_and_docstring():
    assert "submission_findings" in vindle.__all__
    assert vindle.__all__.index("submission_findings") == vindle.__all__.index("check_form") + 1
    assert str(inspect.signature(submission_findings)) == "(form, submission, today=None, now=None)"
    assert submission_findings.__text_signature__ == "(form, submission, today=None, now=None)"
    assert submission_findings.__doc__ == (
        "What a form's own rules say about a submission.\n\n"
        "A rule the engine could not evaluate comes back as `not-evaluated`,\n"
        "never as a pass: a rule that did not run has not been satisfied, and\n"
        "reporting it as clean would be the one failure worth avoiding."
    )
    assert submission_findings.__module__ == "vindle"


def test_keywords_work_like_positions():
    form = xform("<bind nodeset='/data/a' calculate='today()'/>")
    assert submission_findings(submission="<data><a/></data>", form=form, today="T") == \
        submission_findings(form, "<data><a/></data>", "T")


@pytest.mark.parametrize(
    "args, parameter",
    [
        ((1, "<data/>"), "form"),
        (("missing.xml", b"<data/>"), "submission"),
        (("missing.xml", "missing.xml", 5), "today"),
        (("missing.xml", "missing.xml", None, object()), "now"),
    ],
)
def test_type_errors_name_the_parameter_before_any_file_is_read(args, parameter):
    with pytest.raises(TypeError) as raised:
        submission_findings(*args)
    assert f"'{parameter}'" in str(raised.value)


def test_binding_errors():
    with pytest.raises(TypeError):
        submission_findings("<a/>")
    with pytest.raises(TypeError):
        submission_findings("<a/>", "<a/>", None, None, None)
    with pytest.raises(TypeError):
        submission_findings("<a/>", "<a/>", when="x")


def test_unreadable_paths(tmp_path):
    missing = str(tmp_path / "missing.xml")
    with pytest.raises(ValueError) as raised:
        submission_findings(missing, missing)
    assert str(raised.value).startswith(f"form: could not read '{missing}'")
    # both arguments are read before either is parsed
    not_xml = tmp_path / "form.xml"
    not_xml.write_text("<h:html", encoding="utf-8")
    with pytest.raises(ValueError) as raised:
        submission_findings(str(not_xml), missing)
    assert str(raised.value).startswith(f"submission: could not read '{missing}'")
    with pytest.raises(ValueError) as raised:
        submission_findings(xform("<bind nodeset='/data/a'/>"), "")
    assert str(raised.value).startswith("submission: could not read ''")


def test_files_are_read(tmp_path):
    form = tmp_path / "form.xml"
    form.write_text(xform("<bind nodeset='/data/a' required='true()'/>"), encoding="utf-8")
    submission = tmp_path / "submission.xml"
    submission.write_text("<data><a/></data>", encoding="utf-8")
    assert says_paths(str(form), str(submission)) == ["/data/a"]


def says_paths(form, submission):
    return [f["path"] for f in submission_findings(form, submission)]


def test_non_ascii_round_trips():
    found = judge("<bind nodeset='/data/a' constraint='false()' constraintMsg='Trop élevé — ✗'/>",
                  "<data><a>ü</a></data>")
    assert found[0]["says"] == "/data/a: Trop élevé — ✗"
