"""A session's instance saved with instance_xml() and opened again keeps
every answer, an answer of white space alone included."""
import pytest

from vindle import Session, eval_expression

HEADER = "<?xml version='1.0' ?>"

FORM = (
    "<h:html xmlns:h='http://www.w3.org/1999/xhtml'><h:head><model>"
    "<instance><data id='f'><a/><b>x</b></data></instance>"
    "<bind nodeset='/data/a'/></model></h:head><h:body/></h:html>"
)


def reopened(s):
    return Session(FORM, s.instance_xml())


@pytest.mark.parametrize(
    "value, written",
    [
        (" ", "&#32;"),
        ("\t", "&#9;"),
        ("\n", "&#10;"),
        ("\r", "&#13;"),
        ("\r\n", "&#13;&#10;"),
        ("  \n\t ", "&#32;&#32;&#10;&#9;&#32;"),
        ("\u00a0", "&#160;"),
        ("\u2028", "&#8232;"),
        ("\u3000", "&#12288;"),
        ("\u0085", "&#133;"),
        (" \u00a0\u2029\u202f\u2000\u200a", "&#32;&#160;&#8233;&#8239;&#8192;&#8202;"),
    ],
)
def test_an_answer_of_white_space_alone_survives_a_save_and_reload(value, written):
    s = Session(FORM)
    s.set("/data/a", value)
    xml = s.instance_xml()
    assert xml == f"{HEADER}<data id=\"f\"><a>{written}</a><b>x</b></data>"
    again = reopened(s)
    assert again.get("/data/a") == value
    assert again.instance_xml() == xml


@pytest.mark.parametrize(
    "value, written",
    [
        (" 5 ", " 5 "),
        ("\nx\n", "\nx\n"),
        ("a < b & c", "a &lt; b &amp; c"),
        ("&#32;", "&amp;#32;"),
        ("\u200b", "\u200b"),  # a zero width space is not White_Space
    ],
)
def test_other_answers_are_written_as_they_are(value, written):
    s = Session(FORM)
    s.set("/data/a", value)
    assert s.instance_xml() == f"{HEADER}<data id=\"f\"><a>{written}</a><b>x</b></data>"
    assert reopened(s).get("/data/a") == value


def test_blank_attribute_values_and_cleared_answers_survive_too():
    s = Session(FORM)
    s.set("/data/@id", " \n")
    s.set("/data/b", "")
    xml = s.instance_xml()
    assert xml == f"{HEADER}<data id=\" \n\"><a/><b/></data>"
    again = reopened(s)
    assert again.get("/data/@id") == " \n"
    assert again.get("/data/b") == ""


def test_a_saved_reference_to_white_space_is_read_as_that_character():
    s = Session(FORM, "<data id='f'><a>&#10;</a><b>&#x20;&#9;</b></data>")
    assert s.get("/data/a") == "\n"
    assert s.get("/data/b") == " \t"
    assert s.instance_xml() == f"{HEADER}<data id=\"f\"><a>&#10;</a><b>&#32;&#9;</b></data>"


def test_a_calculated_blank_survives_a_save_and_reload():
    form = (
        "<h:html xmlns:h='http://www.w3.org/1999/xhtml'><h:head><model>"
        "<instance><data id='f'><aggregated/><new-part/></data></instance>"
        "<bind nodeset='/data/aggregated' calculate=\"concat(/data/nothing, ' ', /data/new-part)\"/>"
        "<bind nodeset='/data/new-part'/></model></h:head><h:body/></h:html>"
    )
    s = Session(form)
    assert s.recompute()["calculated"]["/data/aggregated"] == " "
    again = Session(form, s.instance_xml())
    assert again.get("/data/aggregated") == " "
    assert again.instance_xml() == s.instance_xml()


# A name that ends in its colon is legal XML 1.0; it keeps its whole text,
# so that the save reads back, while every other prefix is still dropped.
@pytest.mark.parametrize(
    "saved, written",
    [
        ('<data id="f"><q:/><r>1</r><x a:="2"/></data>', '<data id="f"><q:/><r>1</r><x a:="2"/></data>'),
        ("<data id='f'><q: k='v'>3</q:></data>", '<data id="f"><q: k="v">3</q:></data>'),
        ("<data id='f'><a:b:>4</a:b:><c:d/></data>", '<data id="f"><a:b:>4</a:b:><d/></data>'),
        ("<data id='f'><:>5</:></data>", '<data id="f"><:>5</:></data>'),
    ],
)
def test_a_name_ending_in_a_colon_survives_a_save_and_reload(saved, written):
    s = Session(FORM, saved)
    assert s.instance_xml() == HEADER + written
    again = Session(FORM, s.instance_xml())
    assert again.instance_xml() == HEADER + written


def test_a_path_names_an_element_ending_in_a_colon_as_written():
    s = Session(FORM, "<data id='f'><q:>5</q:><g:q>6</g:q></data>")
    assert s.get("/data/q:") == "5"
    assert s.get("/data/q") == "6"
    s.set("/data/q:", "7")
    assert eval_expression("/data/q: + /data/q", s.instance_xml()) == "13"
