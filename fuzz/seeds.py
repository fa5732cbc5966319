#!/usr/bin/env python3
"""Writes seed inputs for one fuzz target from the forms and tests at hand.

    seeds.py KIND MAX_LEN OUT SOURCE...

KIND is what the target reads (the "seeds=" of its "dev/fuzz:" line):
  xml             an XML document
  expression      an expression
  expression+xml  an expression, a NUL byte, an XML document
  form+submission a form, a NUL byte, a submission of it
  none            nothing is seeded

A SOURCE is a folder, searched for *.xml files (forms, submissions,
instances) and for test sources (*.cc, *.py), whose string literals are
taken as expressions, or as XML when they start with "<". Nothing longer
than MAX_LEN bytes is written. Seeds are named by their content's hash, so
running again adds nothing twice.
"""
import hashlib
import html
import pathlib
import re
import sys

# Attributes whose values are expressions or paths in a form.
EXPRESSION_ATTRIBUTE = re.compile(
    rb'\s(?:calculate|relevant|constraint|required|readonly|nodeset|ref|value|'
    rb'jr:count|jr:preload|saveIncomplete)\s*=\s*("[^"]*"|\'[^\']*\')')
LITERAL = {
    ".cc": re.compile(rb'"((?:[^"\\\n]|\\.)*)"'),
    ".py": re.compile(rb'"((?:[^"\\\n]|\\.)*)"|\'((?:[^\'\\\n]|\\.)*)\''),
}
ESCAPE = re.compile(rb'\\(x[0-9a-fA-F]{2}|[nrt0"\'\\])')
# The primary instance of a form: the first instance without an id.
PRIMARY_INSTANCE = re.compile(rb'<(?:\w+:)?instance\s*>\s*(<.*?)\s*</(?:\w+:)?instance>', re.S)


def unescape(literal):
    def one(match):
        code = match.group(1)
        if code.startswith(b"x"):
            return bytes([int(code[1:], 16)])
        return {b"n": b"\n", b"r": b"\r", b"t": b"\t", b"0": b"\0"}.get(code, code)
    return ESCAPE.sub(one, literal)


def gather(sources):
    """XML documents, forms with their submissions, and expressions."""
    documents, expressions, pairs = [], [], []
    for source in sources:
        root = pathlib.Path(source)
        if not root.is_dir():
            continue
        for path in sorted(root.rglob("*")):
            if not path.is_file():
                continue
            data = path.read_bytes()
            if path.suffix == ".xml":
                documents.append(data)
                for match in EXPRESSION_ATTRIBUTE.finditer(data):
                    text = html.unescape(match.group(1)[1:-1].decode("utf-8", "replace"))
                    expressions.append(text.encode())
                submission = path.with_name(path.stem + ".submission-1.xml")
                if submission.is_file():
                    pairs.append((data, submission.read_bytes()))
            elif path.suffix in LITERAL:
                for match in LITERAL[path.suffix].finditer(data):
                    literal = unescape(next(g for g in match.groups() if g is not None))
                    if not literal.strip():
                        continue
                    (documents if literal.lstrip().startswith(b"<") else expressions).append(literal)
    return documents, expressions, pairs


def main():
    kind, max_len, out = sys.argv[1], int(sys.argv[2]), pathlib.Path(sys.argv[3])
    documents, expressions, pairs = gather(sys.argv[4:])
    seeds = []
    if kind == "xml":
        seeds = documents
    elif kind == "expression":
        seeds = expressions
    elif kind == "expression+xml":
        # Each form's expressions against its primary instance; test
        # expressions against the target's own default document.
        seeds = list(expressions)
        for document in documents:
            instance = PRIMARY_INSTANCE.search(document)
            if not instance:
                continue
            for match in EXPRESSION_ATTRIBUTE.finditer(document):
                text = html.unescape(match.group(1)[1:-1].decode("utf-8", "replace")).encode()
                seeds.append(text + b"\0" + instance.group(1))
    elif kind == "form+submission":
        seeds = [form + b"\0" + submission for form, submission in pairs]
    elif kind != "none":
        sys.exit(f"seeds.py: unknown kind {kind!r}")
    out.mkdir(parents=True, exist_ok=True)
    written = 0
    for seed in seeds:
        if len(seed) > max_len:
            continue
        name = out / hashlib.sha1(seed).hexdigest()
        if not name.exists():
            name.write_bytes(seed)
            written += 1
    print(f"{out}: {written} new seeds")


if __name__ == "__main__":
    main()
