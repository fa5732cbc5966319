from typing import Literal, Optional, SupportsIndex, TypedDict

__version__: str
__all__ = ["__version__", "check_form", "submission_findings", "eval_expression", "Session"]

# The shapes of the dicts the module returns. They exist for type checkers
# only: the module itself returns plain dicts.

class PortabilityFinding(TypedDict):
    says: str
    path: str
    rule: Literal["relevant", "calculate", "constraint", "required", "readonly"]
    expression: str
    construct: str
    breaks: Literal[
        "Collect / KoboCollect",
        "Enketo web forms",
        "both, differently",
        "both, identically and silently",
    ]
    effect: str
    suggestion: Optional[str]

class SubmissionFinding(TypedDict):
    path: str
    kind: Literal["constraint", "required", "calculation", "not-evaluated"]
    says: str

class RecomputeResult(TypedDict):
    calculated: dict[str, str]
    relevant: dict[str, bool]
    missing: list[str]
    invalid: list[tuple[str, str]]
    failed: list[tuple[str, str]]
    repeats: dict[str, int]

class Choice(TypedDict):
    value: str
    label: str

def check_form(form: str) -> list[PortabilityFinding]:
    """Will this form mean the same thing on a tablet and in a browser?

    Returns one dict per finding: the bind it belongs to, which rule, the
    construct at fault, where it breaks, what happens, and what to write
    instead. An empty list means the form travels."""

def submission_findings(
    form: str,
    submission: str,
    today: Optional[str] = None,
    now: Optional[str] = None,
) -> list[SubmissionFinding]:
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

class Session:
    """A form being filled in.

    Holds the instance, applies what the form derives, and reports what
    moved. The same engine that judges the submission when it arrives, so a
    form cannot behave one way while it is being filled and another way
    afterwards."""

    def __init__(
        self,
        form: str,
        instance: Optional[str] = None,
        today: Optional[str] = None,
        now: Optional[str] = None,
    ) -> None: ...
    def set(self, path: str, value: str) -> None:
        """Answer a question."""
    def get(self, path: str) -> str:
        """The current answer, or the empty string."""
    def add_row(self, path: str) -> int:
        """Add a row to a repeat; returns how many there are now."""
    def remove_row(self, path: str, position: SupportsIndex) -> int:
        """Remove one row, counted from 1 as XPath counts."""
    def recompute(self) -> RecomputeResult:
        """Run the form's logic and apply what it derives.

        Returns what is asked, what was calculated (only where it changed),
        what is missing, what was rejected, and how many rows each repeat
        has."""
    def choices(self, path: str) -> Optional[list[Choice]]:
        """The choices a filtered question offers right now, or `None` when its
        list is fixed."""
    def instance_xml(self) -> str:
        """The instance as it would be submitted."""
