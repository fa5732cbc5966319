"""eval_expression against lxml on generated submissions.

Each line times one whole call: vindle.eval_expression reads the submission
text and evaluates; lxml does etree.fromstring and then .xpath. Times are
the process's CPU time, the least over several rounds in which the sizes
take turns, each library's calls running back to back, so that a busy
machine disturbs them less.
Run after `pip install lxml` (the benchmark's only extra):

    python3 bench/eval_lxml.py
"""
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


def timed(fn):
    start = time.process_time()
    fn()
    return time.process_time() - start


ROUNDS = 8


def main():
    sizes = (10_000, 100_000)
    texts = {rows: submission(rows) for rows in sizes}
    best = {}
    for _ in range(ROUNDS):
        for rows in sizes:
            xml = texts[rows]
            data = xml.encode()
            # Each library's calls run back to back, so each is timed warm
            # rather than just after the other has filled the caches.
            repeat = 10 if rows == 10_000 else 3
            for expression in EXPRESSIONS:
                calls = {
                    "vindle": lambda: vindle.eval_expression(expression, xml),
                    "lxml": lambda: etree.fromstring(data).xpath(expression),
                }
                for name, call in calls.items():
                    seconds = min(timed(call) for _ in range(repeat))
                    key = (name, expression, rows)
                    best[key] = min(best.get(key, seconds), seconds)

    print(f"{'expression':<28}{'rows':>8}{'vindle ms':>12}{'lxml ms':>12}{'lxml/vindle':>13}")
    results = {}
    for rows in sizes:
        for expression in EXPRESSIONS:
            mine = best[("vindle", expression, rows)]
            theirs = best[("lxml", expression, rows)]
            results[(expression, rows)] = mine
            print(f"{expression:<28}{rows:>8}{mine * 1e3:>12.2f}{theirs * 1e3:>12.2f}{theirs / mine:>13.2f}")
    print()
    for expression in EXPRESSIONS:
        ratio = results[(expression, 100_000)] / results[(expression, 10_000)]
        print(f"{expression:<28} 100,000 rows / 10,000 rows: {ratio:.1f}x")


if __name__ == "__main__":
    main()
