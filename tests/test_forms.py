"""The forms under tests/forms, each judged with a clean submission and a broken one.

Each form <name>.xml comes with <name>.clean.xml, which breaks none of its
rules, and <name>.broken.xml, whose findings are written out below.
"""
from pathlib import Path

import pytest

from vindle import submission_findings

FORMS = Path(__file__).resolve().parent / "forms"

BROKEN = {
    "cascading-places": [
        ('not-evaluated', '/place/district_label: rule could not be evaluated — jr:choice-name(): no choice "gulu" for /place/district — the evaluator was given no choice list for that question'),
        ('constraint', '/place/district: The district does not lie in the region'),
    ],
    "clinic-visit": [
        ('constraint', "/visit/symptoms/days: the answer does not satisfy the form's constraint"),
        ('required', '/visit/referral/facility: required, and unanswered'),
    ],
    "consent": [
        ('calculation', '/interview/end_note: holds "declined", but the form calculates "interviewed"'),
        ('required', "/interview/main/guardian/guardian_signature: A minor needs the guardian's signature"),
        ('required', '/interview/main/occupation: required, and unanswered'),
    ],
    "crop-labels": [
        ('calculation', '/farm/crop_label: holds "Kasooli", but the form calculates "Maize"'),
        ('not-evaluated', '/farm/pest_label: rule could not be evaluated — jr:choice-name(): no choice "locust" for /farm/pest — the evaluator was given no choice list for that question'),
        ('calculation', '/farm/season_label: holds "Second Rains", but the form calculates "Second rains"'),
    ],
    "dwellings": [
        ('calculation', '/census/dwelling[2]/room_count: holds "3", but the form calculates "2"'),
        ('calculation', '/census/dwelling[2]/crowded: holds "yes", but the form calculates "no"'),
        ('constraint', "/census/dwelling[1]/dwelling_id: the answer does not satisfy the form's constraint"),
        ('required', '/census/dwelling[2]/room[1]/use: required, and unanswered'),
        ('required', '/census/dwelling[1]/room[1]/sleepers: required, and unanswered'),
        ('constraint', "/census/dwelling[2]/room[2]/sleepers: the answer does not satisfy the form's constraint"),
    ],
    "household-roster": [
        ('calculation', '/roster/members: holds "3", but the form calculates "2"'),
        ('required', '/roster/village: required, and unanswered'),
        ('required', '/roster/member[2]/name: required, and unanswered'),
        ('constraint', '/roster/member[2]/age: Age must be between 0 and 120'),
        ('required', '/roster/member[1]/pregnant: required, and unanswered'),
    ],
    "market-prices": [
        ('calculation', '/market/item[1]/line_total: holds "7.50", but the form calculates "7.5"'),
        ('calculation', '/market/item_count: holds "2", but the form calculates "3"'),
        ('constraint', '/market/item[1]/product: Lower-case letters only'),
        ('constraint', "/market/item[2]/quantity: the answer does not satisfy the form's constraint"),
        ('constraint', "/market/item[2]/unit_price: the answer does not satisfy the form's constraint"),
    ],
    "school-survey": [
        ('calculation', '/school/pupils/total: holds "410", but the form calculates "400"'),
        ('constraint', '/school/secondary/labs/lab_count: A school with more than two streams needs a laboratory'),
    ],
    "translated-messages": [
        ('calculation', '/survey/bmi: holds "25", but the form calculates "781.3"'),
        ('required', "/survey/name: Please give the respondent's name"),
        ('constraint', '/survey/weight: Weight must be more than 0.5 kg and less than 300 kg'),
        ('constraint', '/survey/height: Height must be given in centimetres'),
    ],
    "visit-dates": [
        ('calculation', '/visit/visit_month: holds "2024-04", but the form calculates "2024-05"'),
        ('constraint', '/visit/visit_date: The visit cannot lie in the future'),
        ('constraint', '/visit/next_visit: The next visit comes after this one'),
    ],
    "water-points": [
        ('calculation', '/wp/source_count: holds "2", but the form calculates "3"'),
        ('constraint', '/wp/point_id: Write the id as WP- and four digits'),
        ('constraint', "/wp/sources: 'none' cannot go with other sources"),
        ('required', '/wp/source_other: required, and unanswered'),
    ],
}


def test_every_form_has_both_submissions():
    names = sorted(p.name[: -len(".clean.xml")] for p in FORMS.glob("*.clean.xml"))
    assert names == sorted(BROKEN)
    assert len(names) >= 10
    for name in names:
        assert (FORMS / f"{name}.xml").is_file()
        assert (FORMS / f"{name}.broken.xml").is_file()


@pytest.mark.parametrize("name", sorted(BROKEN))
def test_clean_submission_has_no_finding(name):
    assert submission_findings(str(FORMS / f"{name}.xml"), str(FORMS / f"{name}.clean.xml")) == []


@pytest.mark.parametrize("name", sorted(BROKEN))
def test_broken_submission(name):
    found = submission_findings(str(FORMS / f"{name}.xml"), str(FORMS / f"{name}.broken.xml"))
    assert [(f["kind"], f["says"]) for f in found] == BROKEN[name]
    assert all(f["says"].startswith(f["path"] + ": ") for f in found)
