from typing import Optional

__version__: str
__all__: list[str]

def check_form(form: str) -> list[dict[str, Optional[str]]]:
    """Will this form mean the same thing on a tablet and in a browser?

    Returns one dict per finding: the bind it belongs to, which rule, the
    construct at fault, where it breaks, what happens, and what to write
    instead. An empty list means the form travels."""

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
