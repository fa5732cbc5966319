from typing import Optional

__version__: str
__all__: list[str]

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
