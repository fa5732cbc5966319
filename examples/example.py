"""A first look at vindle, on the form and submission beside this script."""
from pathlib import Path

import vindle

here = Path(__file__).resolve().parent
form = str(here / "form.xml")
submission = str(here / "submission.xml")

print("vindle", vindle.__version__)

print("\nWill the form mean the same thing on a tablet and in a browser?")
for finding in vindle.check_form(form):
    print("  " + finding["says"])

print("\nWhat do the form's own rules say about the submission?")
for finding in vindle.submission_findings(form, submission):
    print(f"  [{finding['kind']}] {finding['says']}")

print("\nWhat does an expression give on the submission?")
for expression in [
    "count(/household/member)",
    "/household/member[age < 18]/name",
    "round(sum(/household/member/age) div count(/household/member), 1)",
]:
    print(f"  {expression}  =>  {vindle.eval_expression(expression, submission)!r}")

print("\nFilling the form in:")
session = vindle.Session(form, today="2024-05-01")
session.set("/household/region", "north")
print("  districts offered in the north:",
      [choice["label"] for choice in session.choices("/household/district")])
session.set("/household/district", "mabuki")
session.set("/household/village", "Nyanguge")
for name, age, sex in [("Rehema", "41", "female"), ("Baraka", "12", "male")]:
    rows = session.add_row("/household/member")
    session.set(f"/household/member[{rows}]/name", name)
    session.set(f"/household/member[{rows}]/age", age)
    session.set(f"/household/member[{rows}]/sex", sex)
result = session.recompute()
print("  calculated:", result["calculated"])
print("  still missing:", result["missing"])
print("  repeats:", result["repeats"])
print("  " + session.instance_xml())
