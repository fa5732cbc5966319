# Typed code that reads every key of every result, as a caller would. The
# typing test runs a type checker over it in strict mode against the
# installed stub; it is never run.
from vindle import *
from vindle import Choice, PortabilityFinding, RecomputeResult, SubmissionFinding

FORM = "form.xml"


def portable(form: str) -> list[str]:
    lines: list[str] = []
    for finding in check_form(form):
        suggestion: str = finding["suggestion"] or "no suggestion"
        lines.append(finding["says"] + finding["path"] + finding["rule"] + finding["expression"])
        lines.append(finding["construct"] + finding["breaks"] + finding["effect"] + suggestion)
    return lines


def judged(form: str, submission: str) -> dict[str, list[str]]:
    by_kind: dict[str, list[str]] = {}
    for finding in submission_findings(form, submission, today="2024-01-01"):
        by_kind.setdefault(finding["kind"], []).append(finding["path"] + ": " + finding["says"])
    return by_kind


def filled(session: Session) -> tuple[int, bool, str]:
    result: RecomputeResult = session.recompute()
    changed: dict[str, str] = result["calculated"]
    shown: bool = all(result["relevant"].values())
    missing: list[str] = result["missing"]
    rejected: list[tuple[str, str]] = result["invalid"] + result["failed"]
    rows: int = sum(result["repeats"].values()) + session.add_row("/data/r")
    rows += session.remove_row("/data/r", 1)
    first = rejected[0][1] if rejected else ""
    return rows + len(changed) + len(missing), shown, first + eval_expression("1", "<data/>")


def offered(session: Session) -> list[str]:
    choices: list[Choice] | None = session.choices("/data/q")
    return [choice["value"] + choice["label"] for choice in choices or []]


def kept(findings: list[SubmissionFinding], portable: list[PortabilityFinding]) -> int:
    return len(findings) + len(portable) + len(__version__)


session = Session(FORM, instance=None)
session.set("/data/q", "a")
print(portable(FORM), judged(FORM, "s.xml"), filled(session), offered(session), session.get("/data/q"))
print(kept([], []), session.instance_xml())
