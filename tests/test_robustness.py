"""What the process lives through: an import in a sub-interpreter, memory
running out, and a path argument that keeps the read waiting. Each case
runs in a child process of its own, so that a hang or a crash fails the
test instead of the run."""
import os
import subprocess
import sys
import textwrap

import pytest

SANITIZED = os.environ.get("VINDLE_SANITIZED") == "1"


def run_child(code, *args):
    """The lines the child prints; its failure fails the test."""
    done = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code), *args],
        capture_output=True, text=True, timeout=120,
    )
    assert done.returncode == 0, done.stderr
    return done.stdout.splitlines()


# -- sub-interpreters -------------------------------------------------------

SUB_INTERPRETER = """
    try:
        import _interpreters as interpreters
    except ImportError:
        import _xxsubinterpreters as interpreters
    run = getattr(interpreters, "run_string", None) or interpreters.exec
    IMPORT = (
        "try:\\n    import vindle\\n    print('imported', flush=True)\\n"
        "except ImportError as error:\\n    print('ImportError:', error, flush=True)\\n"
    )
    run(interpreters.create(), IMPORT)
    import vindle
    print(vindle.eval_expression("1 + 1", "<a/>"), flush=True)
    run(interpreters.create(), IMPORT)
"""


def test_an_import_in_a_sub_interpreter_is_refused_at_once():
    try:
        import _interpreters  # noqa: F401
    except ImportError:
        pytest.importorskip("_xxsubinterpreters")
    refused = "ImportError: vindle can be imported only in the main interpreter, not in a sub-interpreter"
    # before and after the main interpreter has imported it
    assert run_child(SUB_INTERPRETER) == [refused, "2", refused]


# -- memory running out -----------------------------------------------------

FORM = (
    "<h:html xmlns:h='http://www.w3.org/1999/xhtml'><h:head><model>"
    "<instance><data><a/></data></instance><bind nodeset='/data/a'/>"
    "</model></h:head><h:body/></h:html>"
)

OUT_OF_MEMORY = """
    import resource, sys, vindle
    FORM = sys.argv[1]

    def outcome(call):
        try:
            call()
            return "done"
        except Exception as error:
            return type(error).__name__

    session = vindle.Session(FORM)
    large = "/data/" + "x" * (256 << 20)
    with open("/proc/self/status") as status:
        size = next(int(line.split()[1]) << 10 for line in status if line.startswith("VmSize:"))
    # the address space in use and 128 MB more: less than the large text
    resource.setrlimit(resource.RLIMIT_AS, (size + (128 << 20), resource.RLIM_INFINITY))
    calls = {
        "Session": lambda: vindle.Session("/dev/zero"),
        "Session, instance": lambda: vindle.Session(FORM, "/dev/zero"),
        "check_form": lambda: vindle.check_form("/dev/zero"),
        "submission_findings, form": lambda: vindle.submission_findings("/dev/zero", "<a/>"),
        "submission_findings, submission": lambda: vindle.submission_findings(FORM, "/dev/zero"),
        "eval_expression": lambda: vindle.eval_expression("1", "/dev/zero"),
        "Session.set": lambda: session.set("/data/a", large),
        "Session.add_row": lambda: session.add_row(large),
    }
    for name, call in calls.items():
        print(name, outcome(call), flush=True)
    # the session is still whole and usable
    session.set("/data/a", "after")
    print(session.get("/data/a"), session.recompute()["relevant"], session.instance_xml())
"""


@pytest.mark.skipif(SANITIZED, reason="AddressSanitizer reserves more address space than any limit")
def test_running_out_of_memory_raises_memory_error_and_the_session_lives_on():
    assert run_child(OUT_OF_MEMORY, FORM) == [
        "Session MemoryError",
        "Session, instance MemoryError",
        "check_form MemoryError",
        "submission_findings, form MemoryError",
        "submission_findings, submission MemoryError",
        "eval_expression MemoryError",
        "Session.set MemoryError",
        "Session.add_row MemoryError",
        "after {'/data/a': True} <?xml version='1.0' ?><data><a>after</a></data>",
    ]


# -- reads that keep waiting ------------------------------------------------

# A timer signals the child every 20 ms; the first time, its handler raises
# KeyboardInterrupt (as Ctrl-C would), or raises nothing, or initialises the
# session that is being made.
INTERRUPTED = """
    import os, resource, signal, subprocess, sys, vindle
    fifo, case, form = sys.argv[1:4]
    os.mkfifo(fifo)
    state = {"signals": 0}
    session = vindle.Session.__new__(vindle.Session)

    def on_alarm(signum, frame):
        state["signals"] += 1
        if state["signals"] == 1 and case == "initialised meanwhile":
            session.__init__(form.replace("<a/>", "<a>handler</a>"))
        elif state["signals"] == 1 and case != "resumed":
            raise KeyboardInterrupt

    helper = None
    if case == "silent writer":
        # the pipe is open for writing, but nothing comes
        helper = "import sys, time; f = open(sys.argv[1], 'w'); time.sleep(60)"
    elif case in ("resumed", "initialised meanwhile"):
        helper = "import sys, time; time.sleep(0.3); open(sys.argv[1], 'w').write(sys.argv[2])"
    if helper:
        text = "<a><b/></a>" if case == "resumed" else form
        helper = subprocess.Popen([sys.executable, "-c", helper, fifo, text])
    if case == "endless device":
        with open("/proc/self/status") as status:
            size = next(int(l.split()[1]) << 10 for l in status if l.startswith("VmSize:"))
        resource.setrlimit(resource.RLIMIT_AS, (size + (2 << 30), resource.RLIM_INFINITY))

    signal.signal(signal.SIGALRM, on_alarm)
    signal.setitimer(signal.ITIMER_REAL, 0.02, 0.02)
    try:
        if case == "no writer":
            vindle.check_form(fifo)
        elif case == "silent writer":
            vindle.Session(fifo)
        elif case == "resumed":
            print(vindle.eval_expression("count(/a/b)", fifo))
        elif case == "initialised meanwhile":
            session.__init__(fifo)
            print(session.get("/data/a"))
        elif case == "endless device":
            vindle.eval_expression("1", "/dev/zero")
    except KeyboardInterrupt:
        print("KeyboardInterrupt")
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        if helper:
            helper.kill()
            helper.wait()
    print("signals handled:", "some" if state["signals"] else "none")
"""


@pytest.mark.parametrize(
    "case, expected",
    [
        # the wait for a writer, and for bytes, ends with the handler's exception
        ("no writer", ["KeyboardInterrupt"]),
        ("silent writer", ["KeyboardInterrupt"]),
        # a handler that raises nothing lets the read go on
        ("resumed", ["1"]),
        # a session that a handler initialised while its files were read
        # keeps that state, as a second __init__ changes nothing
        ("initialised meanwhile", ["handler"]),
        # a read that never waits is still asked between reads
        ("endless device", ["KeyboardInterrupt"]),
    ],
)
def test_a_signal_handler_that_raises_ends_a_read(tmp_path, case, expected):
    if case == "endless device" and SANITIZED:
        pytest.skip("AddressSanitizer reserves more address space than any limit")
    lines = run_child(INTERRUPTED, str(tmp_path / "pipe"), case, FORM)
    assert lines == expected + ["signals handled: some"]
