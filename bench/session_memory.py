"""Memory kept once sessions are dropped.

A form with a repeat of four questions (one of them relevant on two others,
one with a constraint) and three calculations, one of them in every row,
built here with instances of it. Each case runs in fresh processes, which
read their resident set before the sessions are made and again once they
and what recompute returned have been dropped:

- one session opened on an instance of 100,000 rows, recomputed, then
  dropped, itself before its result, or its result first;
- three such sessions one after the other, each dropped before the next is
  made, straight away or two seconds apart;
- 2,000 sessions opened on instances of 500 rows, each recomputed, all
  held together and then dropped;
- 2,000 such sessions one after the other, each dropped before the next.

    python3 bench/session_memory.py [processes]
"""
import subprocess
import sys

CHILD = r"""
import gc
import sys
import time
import vindle

FORM = '''<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml"
    xmlns:jr="http://openrosa.org/javarosa">
<h:head><h:title>Household</h:title><model>
<instance><data id="household"><village/>
<member jr:template=""><name/><sex/><age/><pregnant/><label/></member>
<members/><adults/></data></instance>
<bind nodeset="/data/village" type="string" required="true()"/>
<bind nodeset="/data/member/name" type="string" required="true()"/>
<bind nodeset="/data/member/sex" type="select1" required="true()"/>
<bind nodeset="/data/member/age" type="int" required="true()"
      constraint=". &gt;= 0 and . &lt;= 120" jr:constraintMsg="Age must be between 0 and 120"/>
<bind nodeset="/data/member/pregnant" type="select1" required="true()"
      relevant="../sex = 'f' and ../age &gt; 12"/>
<bind nodeset="/data/member/label" type="string" calculate="concat(../name, ' (', ../age, ')')"/>
<bind nodeset="/data/members" type="string" calculate="count(/data/member)"/>
<bind nodeset="/data/adults" type="string" calculate="count(/data/member[age &gt;= 18])"/>
</model></h:head>
<h:body>
<input ref="/data/village"><label>Village</label></input>
<group ref="/data/member"><label>Member</label><repeat nodeset="/data/member">
<input ref="/data/member/name"><label>Name</label></input>
<select1 ref="/data/member/sex"><label>Sex</label>
<item><label>Female</label><value>f</value></item><item><label>Male</label><value>m</value></item>
</select1>
<input ref="/data/member/age"><label>Age</label></input>
<select1 ref="/data/member/pregnant"><label>Pregnant?</label>
<item><label>Yes</label><value>yes</value></item><item><label>No</label><value>no</value></item>
</select1>
</repeat></group>
</h:body></h:html>'''


def instance(rows):
    # Every eleventh age is missing; the labels are left for recompute.
    parts = ['<data id="household"><village>North</village>']
    for row in range(rows):
        age = "" if row % 11 == 0 else str(row % 90)
        parts.append(f"<member><name>person {row}</name><sex>{'mf'[row % 2]}</sex>"
                     f"<age>{age}</age><pregnant/><label/></member>")
    parts.append("<members/><adults/></data>")
    return "".join(parts)


def resident():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


def reset_peak():
    with open("/proc/self/clear_refs", "w") as refs:
        refs.write("5")


def peak():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    return 0


scenario = sys.argv[1]
if scenario.startswith("three"):
    text = instance(100_000)
    gc.collect()
    reset_peak()
    before = resident()
    for _ in range(3):
        session = vindle.Session(FORM, text)
        result = session.recompute()
        del result
        del session
        if scenario == "three, apart":
            time.sleep(2)
elif scenario.startswith("large"):
    text = instance(100_000)
    gc.collect()
    reset_peak()
    before = resident()
    session = vindle.Session(FORM, text)
    result = session.recompute()
    assert result["repeats"]["/data/member"] == 100_000, result["repeats"]
    if scenario == "large, session first":
        del session
        del result
    else:
        del result
        del session
else:
    text = instance(500)
    gc.collect()
    reset_peak()
    before = resident()
    if scenario == "together":
        sessions = []
        for _ in range(2000):
            sessions.append(vindle.Session(FORM, text))
            sessions[-1].recompute()
        del sessions
    else:
        for _ in range(2000):
            session = vindle.Session(FORM, text)
            session.recompute()
            del session
gc.collect()
print(before, peak(), resident())
"""

SCENARIOS = {
    "large, session first": "one session of 100,000 rows, dropped before its result",
    "large, result first": "one session of 100,000 rows, its result dropped first",
    "three, straight": "three sessions of 100,000 rows, one straight after another",
    "three, apart": "three sessions of 100,000 rows, two seconds apart",
    "together": "2,000 sessions of 500 rows, held together, then dropped",
    "in turn": "2,000 sessions of 500 rows, one after the other",
}


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    print(f"resident set above where it stood before the sessions were made, "
          f"in MB; one process each, {rounds} processes")
    print(f"{'':58}{'peak':>8}  held")
    for scenario, title in SCENARIOS.items():
        rises, held = [], []
        for _ in range(rounds):
            out = subprocess.run([sys.executable, "-c", CHILD, scenario], check=True,
                                 capture_output=True, text=True).stdout.split()
            before, highest, after = (int(v) for v in out)
            rises.append((highest - before) / 1e6)
            held.append((after - before) / 1e6)
        print(f"{title:58}{max(rises):8.0f}  " + " ".join(f"{kept:.1f}" for kept in held))

if __name__ == "__main__":
    main()
