"""Memory of one eval_expression call on a large submission.

A child process builds a submission of about 100 MB (the rows of
bench/eval_lxml.py), resets the kernel's peak-RSS mark, calls
eval_expression('count(//x)', ...) once and reports how far the resident
set rose during the call (the peak), against the document's size, and how
much of it is still held once the call has returned. Each measurement runs
in a fresh process, so that one run's heap does not serve the next.

    python3 bench/eval_memory.py [megabytes]
"""
import subprocess
import sys

CHILD = r"""
import sys
import vindle

def status(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    raise KeyError(field)

target = int(sys.argv[1]) * 1_000_000
row = 0
parts = []
size = len("<data></data>")
while size < target:
    part = f"<rep><x>{row % 1000}</x><y>row {row}</y></rep>"
    parts.append(part)
    size += len(part)
    row += 1
xml = "<data>" + "".join(parts) + "</data>"
del parts
before = status("VmRSS")
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")
result = vindle.eval_expression("count(//x)", xml)
peak = status("VmHWM")
after = status("VmRSS")
assert result == str(row), result
print(len(xml), row, before, peak, after)
"""


def main():
    megabytes = int(sys.argv[1]) if len(sys.argv) > 1 else 100
    runs = []
    for _ in range(3):
        out = subprocess.run([sys.executable, "-c", CHILD, str(megabytes)], check=True,
                             capture_output=True, text=True).stdout.split()
        runs.append([int(v) for v in out])
    size, rows = runs[0][0], runs[0][1]
    print(f"document: {size / 1e6:.1f} MB, {rows} rows; best of {len(runs)} processes")
    rise = min(peak - before for _, _, before, peak, _ in runs)
    held = min(after - before for _, _, before, _, after in runs)
    print(f"peak rise during the call: {rise / 1e6:8.1f} MB = {rise / size:.2f}x the document")
    print(f"held after the call:       {held / 1e6:8.1f} MB")


if __name__ == "__main__":
    main()
