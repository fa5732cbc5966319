"""Unions of many operands, through every entry point that reads them.

- `eval_expression` of count(/data/x0 | /data/x1 | ...) over a submission
  that holds every x, at 4,000 to 32,000 operands;
- a form whose one bind selects x0 | x1 | ... (relative operands) with a
  required rule, a constraint and a calculation, at 1,000 to 8,000
  operands: `submission_findings` of a submission where the odd x are blank
  and the even ones break the constraint, and where the calculation fails
  at every node (it reads an instance the form does not have), so that
  every node has findings; `recompute` of a session opened on that
  submission (every node a failed calculation, twice); and `check_form`;
- memory: the highest resident set of a process that judges, or
  recomputes, a form whose bind selects 12,000 operands under
  required="true()" with every node blank (every node a finding), and the
  same at 3,000 and 6,000, beside the size of the form.

Each figure comes from fresh processes: the time is the best of ten calls
in each (one call for the memory cases) and the best over the processes;
the peak is the process's own high-water mark (its maximum resident set)
less its resident set before the calls, the highest over the processes.

    .venv/bin/python bench/union_binds.py [processes]
"""
import subprocess
import sys

CHILD = r"""
import resource
import sys
import time
import vindle


def operands(k, prefix):
    return " | ".join(f"{prefix}x{i}" for i in range(k))


def form(k, rules):
    xs = "".join(f"<x{i}/>" for i in range(k))
    return (f'<h:html xmlns="http://www.w3.org/2002/xforms" '
            f'xmlns:h="http://www.w3.org/1999/xhtml"><h:head><model>'
            f'<instance><data>{xs}</data></instance>'
            f'<bind nodeset="{operands(k, "")}" {rules}/>'
            f'</model></h:head><h:body/></h:html>')


def submission(k, values):
    xs = "".join(f"<x{i}>{values[i % len(values)]}</x{i}>" for i in range(k))
    return f"<data>{xs}</data>"


def resident():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


# Every node gives findings: odd ones are blank and required, even ones break
# the constraint, and the calculation fails at each.
RULES = 'required="true()" constraint=". &gt; 1" calculate="instance(\'absent\')/v"'
case, k = sys.argv[1], int(sys.argv[2])
if case == "eval":
    text = submission(k, ["1"])
    expression = f"count({operands(k, '/data/')})"
    call = lambda: vindle.eval_expression(expression, text)
    expected = str(k)
elif case == "findings":
    xform, text = form(k, RULES), submission(k, ["1", ""])
    call = lambda: vindle.submission_findings(xform, text)
    expected = None
elif case == "recompute":
    session = vindle.Session(form(k, RULES), submission(k, ["1", ""]))
    call = session.recompute
elif case == "check":
    xform = form(k, RULES)
    call = lambda: vindle.check_form(xform)
elif case == "findings memory":
    xform, text = form(k, 'required="true()"'), submission(k, [""])
    call = lambda: vindle.submission_findings(xform, text)
elif case == "recompute memory":
    xform = form(k, 'required="true()"')
    session = vindle.Session(xform)
    call = session.recompute
else:
    raise SystemExit(case)

calls = 1 if case.endswith("memory") else 10
best = float("inf")
before = resident()
for _ in range(calls):
    start = time.perf_counter()
    result = call()
    best = min(best, time.perf_counter() - start)
    if case == "eval":
        assert result == expected, result
    elif case in ("findings memory", "recompute memory"):
        found = result if case.startswith("findings") else result["missing"]
        assert len(found) == k, len(found)
    del result
size = len(xform) if case.endswith("memory") else 0
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
print(best, peak - before, size)
"""


def run(case, k, rounds):
    best, rise, size = float("inf"), 0, 0
    for _ in range(rounds):
        out = subprocess.run([sys.executable, "-c", CHILD, case, str(k)], check=True,
                             capture_output=True, text=True).stdout.split()
        best = min(best, float(out[0]))
        rise = max(rise, int(out[1]))
        size = int(out[2])
    return best, rise, size


def times(case, title, sizes, rounds):
    results = {k: run(case, k, rounds)[0] for k in sizes}
    first = results[sizes[0]]
    cells = "  ".join(f"{k:>6,}: {seconds:8.4f} s ({seconds / first:5.1f}x)"
                      for k, seconds in results.items())
    print(f"{title:22}{cells}")


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    print(f"best call of {rounds} processes, and the growth over the smallest size")
    times("eval", "eval_expression", [4_000, 8_000, 16_000, 32_000], rounds)
    for case, title in [("findings", "submission_findings"), ("recompute", "recompute"),
                        ("check", "check_form")]:
        times(case, title, [1_000, 2_000, 4_000, 8_000], rounds)
    print("peak resident set above where it stood before the call, in MB")
    for case, title in [("findings memory", "submission_findings"),
                        ("recompute memory", "recompute")]:
        for k in [3_000, 6_000, 12_000]:
            seconds, rise, size = run(case, k, rounds)
            print(f"{title:22}{k:>6,} operands, form {size / 1e3:6.0f} KB: "
                  f"peak {rise / 1e6:8.1f} MB, {seconds:7.3f} s")


if __name__ == "__main__":
    main()
