"""Names that share the whole of the name table's hash, through the four
entry points.

100,000 names of 24 bytes and 100,000 of 272 bytes that share the text hash
and their first eight bytes (crafted by bench/crafted_names.h, through
build/bench/bench_tree_crafted_whole_hash, which keeps them in /tmp), each
beside as many random names of the same length and the same bytes:

- read: `eval_expression("count(/r/*)", "<r><name/>...</r>")`;
- `check_form` of a form whose instance holds an element of each name, with
  200 binds on the first 200 names, each calculating `concat()` of ten of
  the others (few, so that the names' tables weigh the most);
- `submission_findings` of that form and its instance;
- `Session(form, instance=...).recompute()`.

Each is timed in CPU seconds, the best of three, crafted and random taking
turns, and the ratio printed.

    .venv/bin/python bench/crafted_whole_hash.py [path of bench_tree_crafted_whole_hash]
"""
import random
import subprocess
import sys
import time

import vindle

NAMES = 100_000
BINDS = 200
READS_PER_BIND = 10
NAME_BYTES = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_."


def crafted_names(binary):
    files = subprocess.run([binary, "craft"], check=True, capture_output=True,
                           text=True).stdout.split()
    lists = []
    for path in files:
        with open(path, encoding="ascii") as f:
            lists.append(f.read().split())
    return lists


def random_names(size):
    draw = random.Random(size)
    names = []
    for k in range(NAMES):
        name = [draw.choice(NAME_BYTES[:52])]
        name += [draw.choice(NAME_BYTES) for _ in range(size - 5)]
        name += [NAME_BYTES[(k >> (6 * digit)) & 63] for digit in range(4)]
        names.append("".join(name))
    return names


def form(names):
    binds = []
    for k in range(BINDS):
        read = names[BINDS + k * READS_PER_BIND:BINDS + (k + 1) * READS_PER_BIND]
        calculate = "concat(" + ", ".join("/data/" + name for name in read) + ")"
        binds.append(f'<bind nodeset="/data/{names[k]}" type="string" calculate="{calculate}"/>')
    return ('<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml">'
            "<h:head><h:title>Names</h:title><model><instance>" + instance(names) +
            "</instance>" + "".join(binds) + "</model></h:head><h:body/></h:html>")


def instance(names):
    return '<data id="names">' + "".join(f"<{name}/>" for name in names) + "</data>"


def entry_points(names):
    document = "<r>" + "".join(f"<{name}/>" for name in names) + "</r>"
    the_form = form(names)
    submission = instance(names)

    def read():
        assert vindle.eval_expression("count(/r/*)", document) == str(len(names))

    def check():
        assert vindle.check_form(the_form) == []

    def findings():
        assert vindle.submission_findings(the_form, submission) == []

    def recompute():
        vindle.Session(the_form, instance=submission).recompute()

    return [("read", read), ("check_form", check), ("submission_findings", findings),
            ("recompute", recompute)]


def cpu_seconds(call):
    start = time.process_time()
    call()
    return time.process_time() - start


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build/bench/bench_tree_crafted_whole_hash"
    for crafted in crafted_names(binary):
        size = len(crafted[0])
        random_ones = random_names(size)
        print(f"\n{NAMES:,} names of {size} bytes, best of three, CPU seconds")
        print(f"{'':22} {'crafted':>9} {'random':>9} {'ratio':>7}")
        for (what, crafted_call), (_, random_call) in zip(entry_points(crafted),
                                                          entry_points(random_ones)):
            best_crafted = best_random = float("inf")
            for _ in range(3):
                best_crafted = min(best_crafted, cpu_seconds(crafted_call))
                best_random = min(best_random, cpu_seconds(random_call))
            print(f"{what:22} {best_crafted:9.3f} {best_random:9.3f} "
                  f"{best_crafted / best_random:6.2f}x", flush=True)


if __name__ == "__main__":
    main()
