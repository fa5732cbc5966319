"""today() and now(): from the arguments, the submission, or the defaults."""
import pytest

from vindle import eval_expression


@pytest.mark.parametrize(
    "submission, kwargs, today, now",
    [
        ("<d/>", {}, "1970-01-01", "1970-01-01T00:00:00.000Z"),
        (
            "<d><end>2024-05-01T10:00:00.000+02:00</end></d>",
            {},
            "2024-05-01",
            "2024-05-01T10:00:00.000+02:00",
        ),
        (
            "<d><today> 2024-06-01</today><end>2024-05-01T10:00:00.000+02:00</end></d>",
            {},
            " 2024-06-01",
            "2024-05-01T10:00:00.000+02:00",
        ),
        ("<d><g><meta><today>2020-01-01</today></meta></g><today>2021-01-01</today></d>", {}, "2020-01-01", "1970-01-01T00:00:00.000Z"),
        ("<d><today> </today><today>2021-01-01</today></d>", {}, "1970-01-01", "1970-01-01T00:00:00.000Z"),
        ("<d><end>  2024-05-01T10</end></d>", {}, "  2024-05-", "  2024-05-01T10"),
        ("<d><end>2024-05</end></d>", {}, "2024-05", "2024-05"),
        ("<d><start>2024-01-01T08:00</start></d>", {}, "1970-01-01", "2024-01-01T08:00"),
        ("<d><start>S</start><end>E</end></d>", {}, "E", "E"),
        ("<d><end>2024-05-01</end></d>", {"now": "N"}, "2024-05-01", "N"),
        ("<d><end>2024-05-01</end></d>", {"today": "T"}, "T", "2024-05-01"),
        ("<d><end>2024-05-01</end></d>", {"today": "", "now": ""}, "", ""),
        ("<d><end>2024-05-01</end></d>", {"today": None, "now": None}, "2024-05-01", "2024-05-01"),
        ("<d><today>20<x>24</x></today></d>", {}, "2024", "1970-01-01T00:00:00.000Z"),
    ],
)
def test_today_and_now(submission, kwargs, today, now):
    assert eval_expression("today()", submission, **kwargs) == today
    assert eval_expression("now()", submission, **kwargs) == now
