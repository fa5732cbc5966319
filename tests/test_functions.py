"""String, node, selection, choice, lookup, date and geographic functions."""
import math
import time

import pytest

from vindle import Session, eval_expression, submission_findings

DATA = (
    "<data id='d1'><row><x>a</x></row><row><x>b</x></row><row><x>c</x></row>"
    "<ws>\t a \u00a0 b\n</ws><geo>0 0; 0 1</geo><geo>0 0; 5 5</geo></data>"
)


def ev(expression, submission=DATA, **kw):
    return eval_expression(expression, submission, **kw)


def fails(expression, submission=DATA):
    with pytest.raises(RuntimeError) as raised:
        ev(expression, submission)
    return str(raised.value)


@pytest.mark.parametrize(
    "expression, expected",
    [
        # characters, not bytes
        ("string-length('h\u00e9llo\U0001F600')", "6"),
        ("substring('h\u00e9llo', 2, 2)", "\u00e9l"),
        ("substr('\u65e5\u672c\u8a9e\u30c6', -3, 3)", "\u672c\u8a9e"),
        ("translate('\u65e5\u672c', '\u672c\u65e5', 'BN')", "NB"),
        # substring: 1-based, rounded; NaN, infinities and huge values
        ("substring('12345', 1.5, 2.6)", "234"),
        ("substring('12345', -1, 3)", "1"),
        ("substring('12345', 0 div 0, 3)", ""),
        ("substring('12345', 1, 0 div 0)", ""),
        ("substring('12345', 0 div 0)", "12345"),
        ("substring('12345', -42, 1 div 0)", "12345"),
        ("substring('12345', 2, -1 div 0)", ""),
        ("substring('12345', -1 div 0, 1 div 0)", ""),
        ("substring('12345', 0 div 0, 1 div 0)", "12345"),
        ("substring('12345', 1 div 0)", ""),
        ("substring('12345', -1 div 0, 3)", ""),
        ("substring('12345', 2, number('1e300'))", "2345"),
        ("substring('12345', -number('1e300'), number('1e300'))", ""),
        # substr: 0-based, truncated, negative from the end
        ("substr('abcdef', 1, -1)", "bcde"),
        ("substr('abcdef', -2.5)", "def"),
        ("substr('abcdef', 1.9, 3.9)", "bc"),
        ("substr('abcdef', 4, 2)", ""),
        ("substr('abcdef', 0 div 0)", ""),
        ("substr('abcdef', 0, 0 div 0)", "abcdef"),
        ("substr('abcdef', -100, -99)", ""),
        ("substr('abcdef', -1 div 0, number('1e300'))", "abcdef"),
        # White_Space is the Unicode set; U+200B is not in it
        ("normalize-space(/data/ws)", "a b"),
        ("normalize-space('a\u2003\u3000b\u200bc')", "a b\u200bc"),
        ("concat()", ""),
        ("concat(/data/row/x)", "abc"),
        ("concat(/data/row/x, '')", "a"),
        ("concat('-', /data/row/x, 1.50, true())", "-a1.5true"),
        ("substring-after('abc', '')", "abc"),
        ("substring-before('abc', '')", ""),
        ("substring-before('a-b-c', '-')", "a"),
        ("contains('abc', '')", "true"),
        ("ends-with('abc', 'ab')", "false"),
        # translate: first position wins, extra "from" characters are dropped
        ("translate('--aaa--', 'abc-', 'ABC')", "AAA"),
        ("translate('aba', 'aa', 'xy')", "xbx"),
        ("join(', ', /data/row/x)", "a, b, c"),
        ("join(', ', 5)", "5"),
        ("join('-', /data/nothing)", ""),
        ("coalesce(' ', nosuch())", " "),
        ("coalesce(/data/nothing, /data/row/x)", "a"),
        ("regex('abc', 'a|abc')", "true"),
        ("regex('xabcx', 'abc')", "false"),
        ("regex('h\u00e9llo', 'h.llo')", "true"),
        # a pattern that closes the group itself still matches whole values
        ("regex('xb', 'a)|(?:b')", "false"),
        ("regex('b', 'a)|(?:b')", "true"),
    ],
)
def test_string_functions(expression, expected):
    assert ev(expression) == expected


@pytest.mark.parametrize(
    "expression, expected",
    [
        ("string-length()", "5"),
        ("normalize-space()", "a\u00e9 b"),
        ("name()", "d"),
        ("once(nosuch())", " a\u00e9 b"),
    ],
)
def test_no_argument_reads_the_focus_node(expression, expected):
    assert ev(expression, "<d> a\u00e9 <e>b</e></d>") == expected


ONCE_FORM = (
    "<h:html xmlns:h='http://www.w3.org/1999/xhtml'><h:head><model><instance>"
    "<data id='once'><a/><b>kept</b><c/></data></instance>"
    "<bind nodeset='/data/a' calculate=\"once(concat('x', 'y'))\"/>"
    "<bind nodeset='/data/b' calculate=\"once(concat('x', 'y'))\"/>"
    "<bind nodeset='/data/c' calculate='once(nosuch())'/>"
    "</model></h:head><h:body/></h:html>"
)


def test_once_fills_an_empty_node_in_a_session_and_in_the_judgement():
    session = Session(ONCE_FORM)
    first = session.recompute()
    assert first["calculated"] == {"/data/a": "xy"}
    assert first["failed"] == [
        ("/data/c", "unknown function nosuch()"),
        ("/data/c", "unknown function nosuch()"),
    ]
    assert session.get("/data/a") == "xy" and session.get("/data/b") == "kept"
    assert session.recompute()["calculated"] == {}

    # A received submission is held to what the tablet would have written.
    assert submission_findings(ONCE_FORM, "<data id='once'><a/><b>kept</b><c>z</c></data>") == [
        {"path": "/data/a", "kind": "calculation",
         "says": '/data/a: holds "", but the form calculates "xy"'},
    ]
    assert submission_findings(ONCE_FORM, "<data id='once'><a>ab</a><b/><c>z</c></data>") == [
        {"path": "/data/b", "kind": "calculation",
         "says": '/data/b: holds "", but the form calculates "xy"'},
    ]


@pytest.mark.parametrize(
    "expression, expected",
    [
        ("local-name(/data/@id)", "id"),
        ("name(/data/nothing)", ""),
        ("selected('a b  c', ' b ')", "true"),
        ("selected('ab', 'a')", "false"),
        ("selected('a b', ' ')", "false"),
        ("selected('\u03b1\u00a0\u03b2', '\u03b2')", "true"),
        ("selected-at('a b c', 1.9)", "b"),
        ("selected-at('a b c', 3)", ""),
        ("selected-at('a b c', -0.5)", ""),
        ("selected-at('a b c', 0 div 0)", "a"),
        ("selected-at('a b c', 1 div 0)", ""),
        ("selected-at('a b c', number('1e300'))", ""),
        ("count-selected('  a \t b ')", "2"),
        ("count-selected(' ')", "0"),
        ("choice-name('  ', nosuch())", ""),
    ],
)
def test_node_and_selection_functions(expression, expected):
    assert ev(expression) == expected


@pytest.mark.parametrize(
    "expression, message",
    [
        ("coalesce('', nosuch())", "unknown function nosuch()"),
        ("name(1)", "name() names a node, and was given a number"),
        ("local-name('x')", "local-name() names a node, and was given a string"),
        (
            "jr:choice-name(' \"x\\ ', concat(' /data', '/q '))",
            'jr:choice-name(): no choice " \\"x\\\\ " for /data/q — the evaluator was given '
            "no choice list for that question",
        ),
        (
            "pulldata('fruit', 'name', 'key', 'b')",
            "pulldata() cannot find the table 'fruit' — the form declares it as an external "
            "file, and nothing has loaded it",
        ),
        ("pulldata('t')", "pulldata() needs an argument in position 2"),
        ("distance()", "distance() needs an argument in position 1"),
        ("distance('0 0; 0 1', nosuch())", "unknown function nosuch()"),
        ("substring('abc')", "substring() takes 2 or 3 argument(s), got 1"),
    ],
)
def test_failures(expression, message):
    assert fails(expression) == message


def test_regex_reports_a_pattern_it_cannot_build_and_writes_nothing(capfd):
    prefix = 'regex(): "x\\\\\\"(" is not a pattern this engine can build — '
    message = fails("regex('a', 'x\\\"(')")
    assert message.startswith(prefix) and len(message) > len(prefix)
    assert capfd.readouterr().err == ""


@pytest.mark.parametrize(
    "expression, expected",
    [
        (
            "format-date-time('2024-03-05T04:07:09.5Z', '%Y|%y|%m|%n|%d|%e|%H|%h|%M|%S|%3|%%')",
            "2024|24|03|3|05|5|04|4|07|09|500|%",
        ),
        ("format-date('2024-03-05T14:07:09-05:00', '%H:%M')", "14:07"),
        ("format-date('2024-03-05 14:07+02:00', '%H:%M')", "14:07"),
        ("format-date('2024-03-05', '%H:%M:%S.%3')", "00:00:00.000"),
        ("format-date-time('2024-03-05T25:61:99.123456', '%H:%M:%S.%3')", "25:61:99.123"),
        ("format-date-time('2024-03-05Tab:4294967296:1.25', '%h %M %S %3')", "0 00 01 250"),
        ("format-date('2024-03-05-99', '%d')", "05"),
        ("format-date('5-01-01', '%Y %y')", "0005 05"),
        ("format-date('+12345-01-01', '%Y')", "12345"),
        ("format-date(' 2024-02-31\n', '%d')", "31"),
        ("format-date('2024-03-05', '\u00e9%%Y')", "\u00e9%Y"),
        ("format-date(' ', nosuch())", ""),
    ],
)
def test_format_date(expression, expected):
    assert ev(expression) == expected


def iso_refusal(name, value):
    return f"{name}(): {value} is not an ISO date or date-time"


@pytest.mark.parametrize(
    "expression, message",
    [
        ("format-date('2024-13-01', '%Y')", iso_refusal("format-date", '"2024-13-01"')),
        ("format-date('2024-02-32', '%Y')", iso_refusal("format-date", '"2024-02-32"')),
        ("format-date('2024-00-01', '%Y')", iso_refusal("format-date", '"2024-00-01"')),
        (
            "format-date-time('2024-03-05t10:00', '%H')",
            iso_refusal("format-date-time", '"2024-03-05t10:00"'),
        ),
        ("format-date(20240305, '%Y')", iso_refusal("format-date", '"20240305"')),
        ("format-date('-2024-03-05', '%Y')", iso_refusal("format-date", '"-2024-03-05"')),
        (
            "format-date('9223372036854775808-01-01', '%Y')",
            iso_refusal("format-date", '"9223372036854775808-01-01"'),
        ),
        ("format-date(' 2024-3\t', nosuch())", iso_refusal("format-date", '" 2024-3\\t"')),
        (
            "format-date('2024-03-05', '%Y %b')",
            "%b names a day or month in the form's language, and this evaluator has none — "
            "it will not guess one",
        ),
        ("format-date('2024-03-05', '%I')", "unknown date format code %I"),
        ("format-date('2024-03-05', '%\u65e5')", "unknown date format code %\u65e5"),
        ("format-date('2024-03-05', '100%')", "a date format ends with a bare %"),
    ],
)
def test_format_date_failures(expression, message):
    assert fails(expression) == message


ONE_DEGREE = 6378100 * math.pi / 180
SQUARE = 1.239e10  # about, for one degree by one degree at the equator


@pytest.mark.parametrize(
    "expression, expected",
    [
        ("distance('0 0 0 0; 0 1 0 0')", ONE_DEGREE),
        ("distance('0 0; 1 0')", ONE_DEGREE),
        ("distance(' ;0\t0;; 0\u00a01 extra;')", ONE_DEGREE),
        ("distance('0 0; 0 1; 0 0')", 2 * ONE_DEGREE),
        ("distance('+0 -0; 1e0 .0')", ONE_DEGREE),
        ("distance(/data/geo[1])", ONE_DEGREE),
        ("distance('1 2')", 0),
        # one bad piece drops the whole list
        ("distance('0 0; x 1; 0 1')", 0),
        ("distance('0 0; 5; 0 1')", 0),
        ("area('0 0; 0 1; 1 1; 1 0; 0 0')", SQUARE),
        ("area('0 0; 1 0; 1 1; 0 1')", SQUARE),
        ("area('0 0; 0 1')", 0),
        ("area('0 0; 0 1; 1 x')", 0),
    ],
)
def test_distance_and_area(expression, expected):
    assert float(ev(expression)) == pytest.approx(expected, rel=1e-3, abs=0)


WALK = "<d><r><p>0 0</p></r><r><p>0 1</p></r><r><p>1 1</p></r><r><p>1 0 12 5</p></r></d>"


@pytest.mark.parametrize(
    "expression, same_as, about",
    [
        # every row's point, in document order, as one trace
        ("distance(/d/r/p)", "distance('0 0; 0 1; 1 1; 1 0')", 333_940),
        ("area(/d/r/p)", "area('0 0; 0 1; 1 1; 1 0')", SQUARE),
        ("distance(/d/r/p, '0 0')", "distance('0 0; 0 1; 1 1; 1 0; 0 0')", 445_258),
        ("distance('1 1', /d/r[position() < 3]/p)", "distance('1 1; 0 0; 0 1')", 268_743),
        # one node is its own text
        ("distance(/d/r[2]/p)", "distance('0 1')", 0),
        ("area(/d/r[4]/p)", "area('1 0')", 0),
    ],
)
def test_distance_and_area_of_the_nodes_of_a_repeat(expression, same_as, about):
    got = ev(expression, WALK)
    assert got == ev(same_as, WALK)
    assert float(got) == pytest.approx(about, rel=1e-3, abs=0)


def test_a_written_nan_is_a_number_and_spreads():
    assert ev("distance('nan 0; 0 1')") == "NaN"
    assert ev("distance('nanx 0; 0 1')") == "0"


def test_large_inputs_stay_fast_and_sound():
    started = time.monotonic()
    # exponential for a backtracking engine
    assert ev("regex(/d/v, '(a+)+$')", "<d><v>" + "a" * 10_000 + "b</v></d>") == "false"
    assert time.monotonic() - started < 2

    layout = ev("format-date('2024-03-05', /d/f)", "<d><f>" + "%Y-" * 350_000 + "</f></d>")
    assert layout == "2024-" * 350_000

    trace = "; ".join(f"0 {i / 1000} 10 5" for i in range(100_000))
    assert float(ev("distance(/d/t)", f"<d><t>{trace}</t></d>")) == pytest.approx(
        99.999 * ONE_DEGREE, rel=1e-4
    )
