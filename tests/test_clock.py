"""today() and now() as Python gives them: a str is used as it stands, the
empty one included; None or nothing leaves them to the submission."""
import pytest

from vindle import eval_expression

END = "<d><end>2024-05-01T10:00:00.000+02:00</end></d>"


@pytest.mark.parametrize(
    "arguments, kwargs, today, now",
    [
        ((), {}, "2024-05-01", "2024-05-01T10:00:00.000+02:00"),
        ((), {"today": None, "now": None}, "2024-05-01", "2024-05-01T10:00:00.000+02:00"),
        ((None, None), {}, "2024-05-01", "2024-05-01T10:00:00.000+02:00"),
        ((), {"now": "N"}, "2024-05-01", "N"),
        ((), {"today": "T"}, "T", "2024-05-01T10:00:00.000+02:00"),
        (("T", "N"), {}, "T", "N"),
        ((), {"today": "", "now": ""}, "", ""),
    ],
)
def test_today_and_now(arguments, kwargs, today, now):
    assert eval_expression("today()", END, *arguments, **kwargs) == today
    assert eval_expression("now()", END, *arguments, **kwargs) == now
