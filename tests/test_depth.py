"""Nesting as Python sees it: deep nesting is refused with one message, on
the main thread and on threads with small stacks alike, and a flat chain
such as 1 + 1 + ... + 1 is no nesting, however long."""
import subprocess
import sys

import pytest

import vindle

TOO_DEEP = "expression is nested more than 1000 levels deep — split it into smaller expressions"


def xform(binds, instance="<data><q/></data>"):
    bind_xml = "".join(
        "<bind" + "".join(f" {k}='{v}'" for k, v in bind.items()) + "/>" for bind in binds
    )
    return (
        "<h:html xmlns='http://www.w3.org/2002/xforms' xmlns:h='http://www.w3.org/1999/xhtml'>"
        f"<h:head><model><instance>{instance}</instance>{bind_xml}</model></h:head></h:html>"
    )


@pytest.mark.parametrize(
    "expression",
    [
        "(" * 100_000 + "1" + ")" * 100_000,
        "-" * 100_000 + "1",
        "a" + "[a" * 100_000 + "]" * 100_000,
        "f(" * 100_000 + ")" * 100_000,
        "1 + (" * 100_000 + "1" + ")" * 100_000,
    ],
)
def test_deep_nesting_is_refused(expression):
    with pytest.raises(RuntimeError) as raised:
        vindle.eval_expression(expression, "<a/>")
    assert raised.value.args == (TOO_DEEP,)


def test_nesting_at_the_limit_evaluates():
    assert vindle.eval_expression("(" * 999 + "1" + ")" * 999, "<a/>") == "1"
    assert vindle.eval_expression("-" * 999 + "1", "<a/>") == "-1"


@pytest.mark.parametrize(
    "expression, expected",
    [
        (" + ".join(["1"] * 100_000), "100000"),
        (" - ".join(["1"] * 100_000), "-99998"),
        (" * ".join(["2"] * 100_000), "Infinity"),
        ("count(" + " | ".join(["/d/a"] * 100_000) + ")", "1"),
        (" = ".join(["1"] * 100_000), "true"),
        # Short-circuits as before: what follows a decided operand is never
        # evaluated, however far up the chain it stands.
        (" or ".join(["0"] * 100_000) + " or 1 or nosuch()", "true"),
        (" and ".join(["1"] * 100_000) + " and 0 and nosuch()", "false"),
        (" + ".join(["1"] * 100_000) + " + nosuch()", "error: unknown function nosuch()"),
    ],
)
def test_flat_chains_of_any_length(expression, expected):
    try:
        got = vindle.eval_expression(expression, "<d><a>1</a></d>")
    except RuntimeError as error:
        got = f"error: {error}"
    assert got == expected


def test_flat_chains_in_forms():
    chain = " + ".join(["1"] * 100_000)
    xml = xform([{"nodeset": "/data/q", "calculate": chain, "relevant": chain + " > last()"}])
    assert vindle.submission_findings(xml, "<data><q>100000</q></data>") == []
    assert [f["construct"] for f in vindle.check_form(xml)] == ["last()"]
    session = vindle.Session(xml)
    assert session.recompute()["calculated"] == {"/data/q": "100000"}


def test_check_form_skips_expressions_nested_too_deep():
    deep = "(" * 1200 + "1" + ")" * 1200
    xml = xform([{"nodeset": "/data/q", "calculate": deep, "constraint": "last()"}])
    assert [f["construct"] for f in vindle.check_form(xml)] == ["last()"]


# Runs every kind of nesting through every entry point on a thread with a
# small stack and prints what went wrong. A crash kills the child process,
# not the test run. Each call answers as it would on a large stack, or
# refuses with the message; each kind's value does not depend on where it
# is evaluated.
CHILD = r"""
import sys, threading
import vindle

TOO_DEEP = "expression is nested more than 1000 levels deep \u2014 split it into smaller expressions"
KINDS = {
    "nested calls": lambda n: ("concat(" * n + "'v'" + ")" * n, "v"),
    "predicates": lambda n: ("count(" + ".[" * n + "." + "]" * n + ")", "1"),
    "parentheses": lambda n: ("(" * n + "'v'" + ")" * n, "v"),
    "unary minus": lambda n: ("-" * n + "1", "-1" if n % 2 else "1"),
    "right operands": lambda n: ("1 + (" * n + "0" + ")" * n, str(n)),
    "chains": lambda n: (" + ".join(["1"] * (10 * n)), str(10 * n)),
    "unions": lambda n: ("count(" + " | ".join(["."] * (10 * n)) + ")", "1"),
    "nested unions": lambda n: ("count(" + "(. | " * n + "." + ")" * n + ")", "1"),
}
failures = []

def xform(expression):
    return ("<h:html xmlns='http://www.w3.org/2002/xforms' xmlns:h='http://www.w3.org/1999/xhtml'>"
            "<h:head><model><instance><data><q/></data></instance>"
            '<bind nodeset="/data/q" calculate="' + expression + '"/>'
            "</model></h:head></h:html>")

def call(name, work, expected):
    try:
        answer = work()
        if answer != expected:
            failures.append(f"{name}: {answer!r}")
    except RuntimeError as error:
        if TOO_DEEP not in str(error):
            failures.append(f"{name}: {error!r}")

def run_all():
    for kind, build in KINDS.items():
        for levels in (10, 300, 999):
            expression, value = build(levels)
            name = f"{kind} at {levels}"
            submission = f"<data><q>{value}</q></data>"
            form = xform(expression)
            call(name + ": eval_expression",
                 lambda: vindle.eval_expression(expression, submission), value)
            call(name + ": submission_findings",
                 lambda: [f for f in vindle.submission_findings(form, submission)
                          if TOO_DEEP not in f["says"]], [])
            call(name + ": check_form", lambda: type(vindle.check_form(form)), list)
            call(name + ": Session", lambda: session_answers(form, expression, value), True)

def session_answers(form, expression, value, session=None):
    session = session or vindle.Session(form)
    result = session.recompute()
    failed = {reason for _, reason in result["failed"]}
    if result["calculated"] != {"/data/q": value} and failed != {TOO_DEEP}:
        return result
    path = "/data/q[" + expression + "]"
    if session.get(path) not in ("", session.get("/data/q")):
        return "get"
    try:
        session.set(path, "w")
    except ValueError:
        pass
    return True

# Sessions whose expressions were read on the main thread's large stack,
# then evaluated and freed on the small one.
made_on_main = [(build(450), vindle.Session(xform(build(450)[0]))) for build in KINDS.values()]

def run_made_on_main():
    for (expression, value), session in made_on_main:
        call("session made on the main thread", lambda: session_answers(None, expression, value, session), True)
    made_on_main.clear()

threading.stack_size(int(sys.argv[1]) * 1024)
for work in (run_all, run_made_on_main):
    thread = threading.Thread(target=work)
    thread.start()
    thread.join()
print("\n".join(failures) or "ok")
"""


@pytest.mark.parametrize("kib", [256, 512])
def test_small_thread_stacks(kib):
    child = subprocess.run([sys.executable, "-c", CHILD, str(kib)], capture_output=True,
                           text=True, timeout=600)
    assert child.returncode == 0, f"the child ended with {child.returncode}: {child.stderr[-2000:]}"
    assert child.stdout.strip() == "ok"
