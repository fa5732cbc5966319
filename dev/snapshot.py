"""Writes what the four entry points answer on every form we hold, so that
two builds can be compared byte for byte. Run it with the Python that vindle
is installed into, the virtual environment's that dev/setup makes (the
system's python3 has no vindle):

    .venv/bin/python dev/snapshot.py > before.txt
    ... change, rebuild, reinstall (dev/setup, or pip install . into .venv) ...
    .venv/bin/python dev/snapshot.py > after.txt
    diff before.txt after.txt

For each form (the forms under ../shared/forms and tests/forms): check_form;
submission_findings with each paired submission and with the form's own
primary instance; eval_expression of every bind expression against that
primary instance; a Session opened, recomputed, given a row in every
repeat, recomputed again, asked for every control's choices and every
bind's answer, and read back. Every exception is written as its type and
message. Give a folder as the argument to snapshot only the forms below it.
"""
import re
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

import vindle

HERE = Path(__file__).resolve().parent.parent
SHARED = HERE.parent / "shared" / "forms"
LOCAL = HERE / "tests" / "forms"
CONTROLS = {"rank", "input", "range", "select", "upload", "select1"}
RULES = ("relevant", "calculate", "constraint", "required", "readonly")
TODAY, NOW = "2024-03-15", "2024-03-15T10:20:30.000Z"


def forms(roots):
    for root in roots:
        for path in sorted(root.rglob("*.xml")):
            name = path.name
            if ".submission-" in name or ".clean." in name or ".broken." in name:
                continue
            if any(p.name.endswith("-media") for p in path.parents):
                continue
            yield root, path


def paired(form):
    stem = form.name[: -len(".xml")]
    found = sorted(form.parent.glob(f"{stem}.submission-*.xml"))
    found += [p for p in (form.parent / f"{stem}.clean.xml", form.parent / f"{stem}.broken.xml") if p.exists()]
    return found


def local(tag):
    return tag.rsplit("}", 1)[-1]


def read_tree(form):
    try:
        return ET.parse(form).getroot()
    except ET.ParseError:
        return None


def primary_instance(root):
    for element in root.iter():
        if local(element.tag) == "instance":
            children = list(element)
            return ET.tostring(children[0], encoding="unicode") if children else None
    return None


def outcome(call, *args, **kwargs):
    try:
        return repr(call(*args, **kwargs))
    except Exception as error:  # every exception is part of the answer
        return f"{type(error).__name__}: {error}"


def snapshot(root, form, out):
    name = form.relative_to(root)
    write = lambda *parts: out.write(f"{name}\t" + "\t".join(parts) + "\n")
    text = str(form)
    write("check_form", outcome(vindle.check_form, text))
    for submission in paired(form):
        write("findings", submission.name,
              outcome(vindle.submission_findings, text, str(submission), today=TODAY, now=NOW))
        write("findings-own-clock", submission.name,
              outcome(vindle.submission_findings, text, str(submission)))
    tree = read_tree(form)
    instance = primary_instance(tree) if tree is not None else None
    binds = [e for e in tree.iter() if local(e.tag) == "bind"] if tree is not None else []
    refs = [e.get("ref") for e in tree.iter() if local(e.tag) in CONTROLS and e.get("ref")] \
        if tree is not None else []
    if instance is not None:
        write("findings", "primary", outcome(vindle.submission_findings, text, instance, today=TODAY, now=NOW))
        for bind in binds:
            for rule in RULES:
                expression = bind.get(rule)
                if expression:
                    write("eval", bind.get("nodeset") or bind.get("ref") or "", rule,
                          outcome(vindle.eval_expression, expression, instance, today=TODAY, now=NOW))
    try:
        session = vindle.Session(text, today=TODAY, now=NOW)
    except Exception as error:
        write("session", f"{type(error).__name__}: {error}")
        return
    first = session.recompute()
    write("recompute", repr(first))
    for path in first["repeats"]:
        write("add_row", path, outcome(session.add_row, path))
    write("recompute", outcome(session.recompute))
    for ref in refs:
        write("choices", ref, outcome(session.choices, ref))
    for bind in binds:
        path = bind.get("nodeset") or bind.get("ref")
        if path:
            write("get", path, outcome(session.get, path))
    write("instance_xml", outcome(session.instance_xml))
    write("repr", repr(session))


def main():
    roots = [Path(a).resolve() for a in sys.argv[1:]] or [r for r in (SHARED, LOCAL) if r.is_dir()]
    for root in roots:
        for base, form in forms([root]):
            snapshot(base, form, sys.stdout)


if __name__ == "__main__":
    main()
