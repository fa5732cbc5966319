"""The module as Python sees it: attributes, signatures, argument handling
and the mapping of failures to exceptions."""
import inspect
import os

import pytest

import vindle


def test_module_attributes():
    assert vindle.__version__ == "0.1.1"
    assert vindle.__doc__ == ""
    assert vindle.__all__ == ["__version__", "check_form", "submission_findings", "eval_expression", "Session"]
    assert all(hasattr(vindle, name) for name in vindle.__all__)
    assert vindle.eval_expression.__module__ == "vindle"


def test_eval_expression_signature_and_docstring():
    function = vindle.eval_expression
    assert function.__text_signature__ == "(expression, submission, today=None, now=None)"
    assert str(inspect.signature(function)) == "(expression, submission, today=None, now=None)"
    assert function.__doc__ == (
        "Evaluate one expression against a submission, for working out what a\n"
        "rule does before writing it into a form.\n\n"
        "An expression this engine cannot evaluate raises, rather than returning\n"
        "a plausible value."
    )


class Text(str):
    pass


@pytest.mark.parametrize(
    "call",
    [
        lambda f: f("1 + 1", "<d/>"),
        lambda f: f(expression="1 + 1", submission="<d/>"),
        lambda f: f("1 + 1", submission="<d/>", today=None, now=None),
        lambda f: f(Text("1 + 1"), Text("<d/>"), Text("t"), Text("n")),
    ],
)
def test_arguments_by_position_keyword_and_str_subclass(call):
    assert call(vindle.eval_expression) == "2"


@pytest.mark.parametrize("parameter", ["expression", "submission", "today", "now"])
@pytest.mark.parametrize("value", [b"<d/>", 1, 1.5, ["x"], object()])
def test_non_str_arguments_raise_type_error_naming_the_parameter(parameter, value):
    arguments = {"expression": "1", "submission": "<d/>", "today": None, "now": None}
    arguments[parameter] = value
    with pytest.raises(TypeError, match=f"'{parameter}'"):
        vindle.eval_expression(**arguments)


@pytest.mark.parametrize("parameter", ["expression", "submission", "today", "now"])
def test_lone_surrogate_raises_unicode_encode_error(parameter):
    arguments = {"expression": "1", "submission": "<d/>"}
    arguments[parameter] = "\ud800"
    with pytest.raises(UnicodeEncodeError):
        vindle.eval_expression(**arguments)


def test_arguments_are_converted_before_any_file_is_read():
    # The path does not exist, but the bad today is reported first.
    with pytest.raises(TypeError, match="'today'"):
        vindle.eval_expression("1", "/no/such/file.xml", today=5)


@pytest.mark.parametrize(
    "call",
    [
        lambda f: f(),
        lambda f: f("1"),
        lambda f: f("1", "<d/>", None, None, None),
        lambda f: f("1", "<d/>", later=None),
        lambda f: f("1", "<d/>", expression="1"),
    ],
)
def test_binding_errors_raise_type_error(call):
    with pytest.raises(TypeError):
        call(vindle.eval_expression)


def test_unreadable_submission_raises_value_error(tmp_path):
    with pytest.raises(ValueError) as raised:
        vindle.eval_expression("1", "")
    assert str(raised.value) == "submission: could not read '': No such file or directory (os error 2)"

    not_utf8 = tmp_path / "latin1.xml"
    not_utf8.write_bytes("<d>é</d>".encode("latin-1"))
    with pytest.raises(ValueError) as raised:
        vindle.eval_expression("1", str(not_utf8))
    assert str(raised.value) == f"submission: could not read '{not_utf8}': stream did not contain valid UTF-8"

    with pytest.raises(ValueError, match="file name contained an unexpected NUL byte"):
        vindle.eval_expression("1", "a\0b")


def test_submission_from_a_file(tmp_path):
    path = tmp_path / "s.xml"
    path.write_text("\ufeff<?xml version='1.0'?>\n<data><q>5</q></data>\n", encoding="utf-8")
    assert vindle.eval_expression("/data/q * 2", str(path)) == "10"


@pytest.mark.parametrize(
    "expression, submission, message",
    [
        ("1 +", "<a><b></a>", "closing </a> does not match open <b>"),
        ("1 +", "<a>", "unclosed elements"),
        ("1 +", "<a/>", "expected a node test, found None"),
        ("a b", "<a/>", 'unexpected trailing input in "a b" at token 1'),
        ("'abc", "<a/>", "unterminated string starting at character 1"),
    ],
)
def test_xml_and_expression_failures_raise_runtime_error(expression, submission, message):
    with pytest.raises(RuntimeError) as raised:
        vindle.eval_expression(expression, submission)
    assert raised.value.args == (message,)


def test_million_deep_document():
    depth = 1_000_000
    xml = "<e>" * depth + "x" + "</e>" * depth
    assert vindle.eval_expression("count(//e)", xml) == str(depth - 1)
    assert vindle.eval_expression("/", xml) == "x"
    assert vindle.eval_expression("count(//e[not(e)]/ancestor::*)", xml) == str(depth - 1)
    assert vindle.eval_expression("count(/e/descendant::e[last()]/preceding::*)", xml) == "0"
