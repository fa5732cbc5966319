"""eval_expression against lxml on generated submissions.

Each figure times one whole call: vindle.eval_expression reads the submission
text and evaluates; lxml does etree.fromstring and then .xpath. Times are the
process's CPU time (user and system), the least of several calls.

Two ways of running, both printed by default:
- own process: each library, at each size, runs in a process of its own,
  as a program that uses only one of them would; the processes of the two
  libraries take turns for several rounds and the best of each counts, so
  that a burst of load from elsewhere during one process (a size's calls
  last a few milliseconds) does not decide a figure;
- alternating: one process holds both and their calls take turns, as a
  program that has both loaded sees them (each leaves the caches and the
  allocator to the other).

Run after installing lxml into the module's environment (the benchmark's
only extra):

    .venv/bin/python -m pip install lxml
    .venv/bin/python bench/eval_lxml.py [--sizes 1000,10000] [--mode own|alternating|both]
                                        [--rounds 3]
"""
import argparse
import json
import subprocess
import sys
import time

EXPRESSIONS = [
    "sum(/data/rep/x)",
    "count(/data/rep[x > 500])",
    "/data/rep[last()]/x",
    "//x",
    "count(/data/rep[contains(a, '7')])",
]
SIZES = (1_000, 10_000, 100_000, 1_000_000)
# Calls per figure: more where a call is short.
REPEATS = {1_000: 60, 10_000: 20, 100_000: 6, 1_000_000: 3}


def submission(rows):
    body = "".join(f"<rep><x>{i % 1000}</x><a>row {i}</a></rep>" for i in range(rows))
    return f"<data>{body}<meta><instanceID>uuid:1</instanceID></meta></data>"


def timed(fn):
    start = time.process_time()
    fn()
    return time.process_time() - start


def calls(library, expression, xml, data):
    if library == "vindle":
        import vindle

        return lambda: vindle.eval_expression(expression, xml)
    from lxml import etree

    return lambda: etree.fromstring(data).xpath(expression)


def worker(library, rows):
    """One library at one size in this process: a JSON line of best seconds."""
    xml = submission(rows)
    data = xml.encode()
    best = {}
    for expression in EXPRESSIONS:
        call = calls(library, expression, xml, data)
        # Warm: imports, and the allocator's first touch of its memory,
        # which lasts into the second call.
        call()
        call()
        best[expression] = min(timed(call) for _ in range(REPEATS[rows]))
    print(json.dumps(best))


def own_process(sizes, rounds):
    results = {}
    for _ in range(rounds):
        for rows in sizes:
            for library in ("vindle", "lxml"):
                out = subprocess.run(
                    [sys.executable, __file__, "--worker", library, str(rows)],
                    check=True, capture_output=True, text=True,
                ).stdout
                for expression, seconds in json.loads(out).items():
                    key = (library, expression, rows)
                    results[key] = min(results.get(key, seconds), seconds)
    return results


def alternating(sizes):
    results = {}
    for rows in sizes:
        xml = submission(rows)
        data = xml.encode()
        for expression in EXPRESSIONS:
            pair = {lib: calls(lib, expression, xml, data) for lib in ("vindle", "lxml")}
            for call in pair.values():
                call()
                call()
            for _ in range(REPEATS[rows]):
                for library, call in pair.items():
                    seconds = timed(call)
                    key = (library, expression, rows)
                    results[key] = min(results.get(key, seconds), seconds)
    return results


def report(title, results, sizes):
    print(title)
    print(f"{'expression':<38}{'rows':>10}{'vindle ms':>12}{'lxml ms':>12}{'lxml/vindle':>13}")
    for rows in sizes:
        for expression in EXPRESSIONS:
            mine = results[("vindle", expression, rows)]
            theirs = results[("lxml", expression, rows)]
            print(f"{expression:<38}{rows:>10,}{mine * 1e3:>12.2f}{theirs * 1e3:>12.2f}"
                  f"{theirs / mine:>13.2f}")
    for small, large in zip(sizes, sizes[1:]):
        for expression in EXPRESSIONS:
            growth = results[("vindle", expression, large)] / results[("vindle", expression, small)]
            print(f"{expression:<38} {large:,} rows / {small:,} rows: {growth:.1f}x")
    print()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sizes", default=",".join(str(s) for s in SIZES))
    parser.add_argument("--mode", choices=("own", "alternating", "both"), default="both")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--worker", nargs=2, metavar=("LIBRARY", "ROWS"))
    args = parser.parse_args()
    if args.worker:
        worker(args.worker[0], int(args.worker[1]))
        return
    sizes = tuple(int(s) for s in args.sizes.split(","))
    if args.mode in ("own", "both"):
        report("each library in its own process", own_process(sizes, args.rounds), sizes)
    if args.mode in ("alternating", "both"):
        report("both in one process, calls alternating", alternating(sizes), sizes)


if __name__ == "__main__":
    main()
