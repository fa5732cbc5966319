"""A first look at vindle, on the files beside this script."""
from pathlib import Path

import vindle

here = Path(__file__).resolve().parent
submission = str(here / "submission.xml")

print("vindle", vindle.__version__)
for expression in [
    "count(/household/member)",
    "sum(/household/member/age)",
    "/household/member[age < 18]/name",
    "round(sum(/household/member/age) div count(/household/member), 1)",
]:
    print(f"{expression}  =>  {vindle.eval_expression(expression, submission)!r}")
