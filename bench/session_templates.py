"""Session(form) on a form of many repeat templates, as Python sees it.

The primary instance is <data><x/> followed by T copies of
<r jr:template=""/>, for T = 8,000, 16,000 and 32,000. Each call runs in a
fresh process, as a program that opens one such session would, three
processes a size, the sizes taking turns; the CPU time of the call alone.
Prints each size's times and median, and the growth of the median from
8,000 to 32,000.
"""

import statistics
import subprocess
import sys

SIZES = (8000, 16000, 32000)
PROCESSES = 3

ONE_CALL = """
import sys, time, vindle
templates = int(sys.argv[1])
form = ('<h:html xmlns:h="http://www.w3.org/1999/xhtml" '
        'xmlns:jr="http://openrosa.org/javarosa"><h:head><model><instance><data><x/>'
        + '<r jr:template=""/>' * templates
        + '</data></instance><bind nodeset="/data/x"/></model></h:head><h:body/></h:html>')
start = time.process_time()
session = vindle.Session(form)
print(time.process_time() - start)
"""


def one_call(templates):
    result = subprocess.run(
        [sys.executable, "-c", ONE_CALL, str(templates)],
        check=True, capture_output=True, text=True)
    return float(result.stdout)


def main():
    times = {size: [] for size in SIZES}
    for _ in range(PROCESSES):
        for size in SIZES:
            times[size].append(one_call(size))
    for size in SIZES:
        shown = ", ".join(f"{t * 1e3:.1f}" for t in sorted(times[size]))
        print(f"{size:6d} templates: {shown} ms, median {statistics.median(times[size]) * 1e3:.1f} ms")
    growth = statistics.median(times[SIZES[-1]]) / statistics.median(times[SIZES[0]])
    print(f"32,000 / 8,000 templates, medians: {growth:.2f}x")


if __name__ == "__main__":
    main()
