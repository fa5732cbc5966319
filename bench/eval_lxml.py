"""eval_expression against lxml on generated submissions.

Each line times one whole call: vindle.eval_expression reads the submission
text and evaluates; lxml does etree.fromstring and then .xpath. Run after
`pip install lxml` (the benchmark's only extra):

    python3 bench/eval_lxml.py
"""
import statistics
import time

import vindle
from lxml import etree

EXPRESSIONS = [
    "sum(/data/rep/x)",
    "count(/data/rep[x > 500])",
    "/data/rep[last()]/x",
]


def submission(rows):
    body = "".join(f"<rep><x>{i % 1000}</x><y>row {i}</y></rep>" for i in range(rows))
    return f"<data>{body}<meta><instanceID>uuid:1</instanceID></meta></data>"


def best_of(runs, fn):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times), statistics.median(times)


def main():
    results = {}
    print(f"{'expression':<28}{'rows':>8}{'vindle ms':>12}{'lxml ms':>12}{'lxml/vindle':>13}")
    for rows in (10_000, 100_000):
        xml = submission(rows)
        data = xml.encode()
        runs = 15 if rows == 10_000 else 5
        for expression in EXPRESSIONS:
            mine = best_of(runs, lambda: vindle.eval_expression(expression, xml))[0]
            theirs = best_of(runs, lambda: etree.fromstring(data).xpath(expression))[0]
            results[(expression, rows)] = mine
            print(f"{expression:<28}{rows:>8}{mine * 1e3:>12.2f}{theirs * 1e3:>12.2f}{theirs / mine:>13.2f}")
    print()
    for expression in EXPRESSIONS:
        ratio = results[(expression, 100_000)] / results[(expression, 10_000)]
        print(f"{expression:<28} 100,000 rows / 10,000 rows: {ratio:.1f}x")


if __name__ == "__main__":
    main()
