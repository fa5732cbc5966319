from typing import Optional

__version__: str
__all__: list[str]

def check_form(form: str) -> list[dict[str, Optional[str]]]:
    """Will this form mean the same thing on a tablet and in a browser?

    Returns one dict per finding: the bind it belongs to, which rule, the
    construct at fault, where it breaks, what happens, and what to write
    instead. An empty list means the form travels."""

def submission_findings(
    form: str,
    submission: str,
    today: Optional[str] = None,
    now: Optional[str] = None,
) -> list[dict[str, str]]:
    """What a form's own rules say about a submission.

    A rule the engine could not evaluate comes back as `not-evaluated`,
    never as a pass: a rule that did not run has not been satisfied, and
    reporting it as clean would be the one failure worth avoiding."""

def eval_expression(
    expression: str,
    submission: str,
    today: Optional[str] = None,
    now: Optional[str] = None,
) -> str:
    """Evaluate one expression against a submission, for working out what a
    rule does before writing it into a form.

    An expression this engine cannot evaluate raises, rather than returning
    a plausible value."""
