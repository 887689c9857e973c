#!/usr/bin/env python3
"""kel2fram at a terminal: runs the tool on a pseudo-terminal, types keys at its prompts and
checks the console, the output file, the exit status and the history of answers.

Usage: console_terminal_test.py KEL2FRAM editor|plain [TERM]
  editor: the tool is built with a line editor (TERM defaults to xterm);
  plain:  answers are read as plain lines (TERM defaults to dumb, which turns an editor off).
"""
import atexit
import fcntl
import os
import select
import shutil
import stat
import subprocess
import sys
import tempfile
import termios
import time

EXE, MODE = sys.argv[1], sys.argv[2]
TERM = sys.argv[3] if len(sys.argv) > 3 else ("xterm" if MODE == "editor" else "dumb")

ASK_INPUT = b" Give file containing Weight Data  :  "
ASK_OUTPUT = b" File to write the processed data  :  "
ASK_UNIT = b" Mass unit (kg or tonnes. Def=tonnes): "
ASK_SPREAD = b" Number of nodes to spread mass /1/  : "
ASK_X, ASK_Y, ASK_Z = (b" Skip Masses outside %smin/%smax  (no) ? " % (a, a) for a in (b"X", b"Y", b"Z"))
RANGE_X = b"  .. Give X-min and X-max            : "
UP, LEFT, HOME = b"\x1b[A", b"\x1b[D", b"\x1b[H"
WEIGHTS = "1.5 10 20 30\n2.0 -5 0 4.5\n"
failures = []


class Run:
    """The tool on a pseudo-terminal of its own (its controlling terminal), in folder `cwd`."""

    def __init__(self, cwd, env, args=(), stdin=None):
        self.master, slave = os.openpty()
        self.out = b""
        self.seen = 0  # where the next expected text is looked for

        def own_terminal():
            os.setsid()
            fcntl.ioctl(slave, termios.TIOCSCTTY, 0)

        self.process = subprocess.Popen(
            [EXE, *args], cwd=cwd, env=env, stdin=slave if stdin is None else subprocess.PIPE,
            stdout=slave, stderr=subprocess.PIPE, preexec_fn=own_terminal)
        os.close(slave)
        atexit.register(lambda: self.process.poll() is None and self.process.kill())
        if stdin is not None:
            self.process.stdin.write(stdin)
            self.process.stdin.close()

    def read(self, seconds):
        end = time.time() + seconds
        while time.time() < end:
            ready, _, _ = select.select([self.master], [], [], 0.05)
            if ready:
                try:
                    data = os.read(self.master, 65536)
                except OSError:
                    return False
                if not data:
                    return False
                self.out += data
                return True
        return True

    def expect(self, text):
        end = time.time() + 15
        while self.out.find(text, self.seen) < 0:
            if time.time() > end or not self.read(0.2):
                raise AssertionError("no %r; the console holds %r" % (text, self.out[-600:]))
        self.seen = self.out.find(text, self.seen) + len(text)

    def answer(self, prompt, keys):
        self.expect(prompt)
        time.sleep(0.05)
        os.write(self.master, keys)

    def finish(self):
        end = time.time() + 15
        while self.read(0.5) and time.time() < end:
            pass
        status = self.process.wait(timeout=15)
        err = self.process.stderr.read().decode()
        mode = termios.tcgetattr(self.master)
        os.close(self.master)
        return status, err, mode


def check(name, condition, detail=""):
    if not condition:
        failures.append("%s: %s" % (name, detail))


def dialogue(run, answers):
    prompts = [ASK_INPUT, ASK_OUTPUT, ASK_UNIT, ASK_SPREAD, ASK_X, ASK_Y, ASK_Z]
    for prompt, keys in zip(prompts, answers):
        run.answer(prompt, keys)


def history_file(env):
    state = env.get("XDG_STATE_HOME") or os.path.join(env["HOME"], ".local", "state")
    return os.path.join(state, "kel2fram", "history")


def folder_with_weights():
    """A folder holding w.txt, and a home folder of its own for the run."""
    folder, home = tempfile.mkdtemp(prefix="kel2fram-terminal-"), tempfile.mkdtemp()
    atexit.register(shutil.rmtree, folder, True)
    atexit.register(shutil.rmtree, home, True)
    with open(os.path.join(folder, "w.txt"), "w") as f:
        f.write(WEIGHTS)
    env = dict(os.environ, TERM=TERM, HOME=home)
    env.pop("XDG_STATE_HOME", None)
    return folder, env


def slips_are_asked_again():
    """Leading blanks reach the tool; a bad spread or range is asked again at a terminal."""
    folder, env = folder_with_weights()
    run = Run(folder, env)
    run.answer(ASK_INPUT, b"  w.txt\r")
    run.expect(b" Nonexisting file :  w.txt ")
    for prompt, keys in [(ASK_INPUT, b"w.txt\r"), (ASK_OUTPUT, b"out.txt\r"), (ASK_UNIT, b"\r"),
                         (ASK_SPREAD, b"two\r"), (ASK_SPREAD, b"3\r"), (ASK_X, b"y\r"),
                         (RANGE_X, b"0 to 100\r"), (RANGE_X, b"0\r"), (RANGE_X, b"0 100\r"),
                         (ASK_Y, b"\r"), (ASK_Z, b"\r")]:
        run.answer(prompt, keys)
    status, err, _ = run.finish()
    name = "slips"
    check(name, status == 0, "status %d" % status)
    check(name, b' *** ERROR: BAD INTEGER "two" ON UNIT 5 (standard input)\r\r\n' + ASK_SPREAD
          in run.out, "no spread slip")
    check(name, b' *** ERROR: BAD REAL NUMBER "to" ON UNIT 5 (standard input)\r\r\n' + RANGE_X
          in run.out, "no range slip")
    check(name, "kel2fram: the X range needs its two bounds on one line, the minimum first" in err,
          err)
    report = open(os.path.join(folder, "out.txt"), "rb").read()
    check(name, b"#  X_min and X_max boundary:   0.000E+00   1.000E+02" in report, "range")
    check(name, b"#  Masses are spread to 3 nearest node(s)." in report, "spread")
    check(name, not os.path.exists(history_file(env)) or MODE == "editor", "plain run wrote history")


def end_of_input_ends_the_run():
    folder, env = folder_with_weights()
    run = Run(folder, env)
    run.answer(ASK_INPUT, b"\x04")
    status, _, _ = run.finish()
    check("Ctrl-D", status == 2 and b"END OF INPUT ON UNIT 5" in run.out, "status %d" % status)


def piped_runs_leave_the_history_alone():
    folder, env = folder_with_weights()
    past = history_file(env)
    os.makedirs(os.path.dirname(past))
    with open(past, "w") as f:
        f.write("weight-list\tw.txt\n")
    before = os.stat(past)
    run = Run(folder, env, stdin=b"w.txt\nout.txt\n\n\n\n\n\n")
    status, _, _ = run.finish()
    after = os.stat(past)
    check("piped", status == 0, "status %d" % status)
    check("piped", (after.st_mtime_ns, after.st_size) == (before.st_mtime_ns, before.st_size),
          "the history changed")


def completion_keys_and_history():
    """Tab completes names, the keys of a shell edit, and a later run recalls the answers."""
    folder, env = folder_with_weights()
    os.makedirs(os.path.join(folder, "lists"))
    with open(os.path.join(folder, "lists", "weights_unique.txt"), "w") as f:
        f.write(WEIGHTS)
    for name in ("out_a.txt", "out_b.txt"):
        open(os.path.join(folder, name), "w").close()
    past = history_file(env)
    os.makedirs(os.path.dirname(past))
    with open(past, "w") as f:  # earlier runs' answers, more than are kept
        f.write("".join("spread\t%d\n" % n for n in range(250)) + "weight-list\tw.txt\n")
    run = Run(folder, env)
    dialogue(run, [b"li\tw\t\r", b"ou\t\tc.txt\r", b"garbage\x15junk words\x17\x17g" + HOME + b"k\r",
                   b"44" + LEFT + b"\x7f\r", b"\r", b"\r", b"\r"])
    status, _, _ = run.finish()
    name = "completion"
    check(name, status == 0, "status %d: %r" % (status, run.out[-800:]))
    check(name, b"out_a.txt  out_b.txt" in run.out, "no list of names")
    report = open(os.path.join(folder, "out_c.txt"), "rb").read()
    check(name, b"#  Input File: lists/weights_unique.txt, with input mass unit [kg]." in report,
          "input name or unit")
    check(name, b"spread to 4 nearest" in report, "spread")
    check(name, stat.S_IMODE(os.stat(past).st_mode) == 0o600, oct(os.stat(past).st_mode))
    lines = [l.split("\t") for l in open(past).read().splitlines() if not l.startswith("#")]
    spreads = [a for q, a in lines if q == "spread"]
    check(name, len(spreads) == 200 and spreads[-1] == "4" and spreads.count("4") == 1,
          "%d spreads, last %s" % (len(spreads), spreads[-1:]))
    check(name, ["weight-list", "w.txt"] in lines, "an earlier answer was lost")

    # The next run, with the state folder named: the up arrow recalls each question's answer.
    env["XDG_STATE_HOME"] = os.path.join(folder, "state")
    os.makedirs(env["XDG_STATE_HOME"])
    os.rename(os.path.dirname(past), os.path.join(env["XDG_STATE_HOME"], "kel2fram"))
    os.remove(os.path.join(folder, "out_c.txt"))
    run = Run(folder, env)
    dialogue(run, [UP + b"\r", UP + b"\r", UP + b"\r", UP + b"\r", b"\r", b"\r", b"\r"])
    status, _, _ = run.finish()
    check("recall", status == 0, "status %d" % status)
    report = open(os.path.join(folder, "out_c.txt"), "rb").read()
    check("recall", b"lists/weights_unique.txt, with input mass unit [kg]" in report and
          b"spread to 4 nearest" in report, "not recalled")


def a_history_that_cannot_be_used_is_passed_over():
    """A FIFO in the history's place neither holds up nor fails a run; a state folder that
    cannot be one (a file in its place) is told once, and the run goes on."""
    folder, env = folder_with_weights()
    fifo_state = os.path.join(env["HOME"], "state")
    os.makedirs(os.path.join(fifo_state, "kel2fram"))
    os.mkfifo(os.path.join(fifo_state, "kel2fram", "history"))
    last = "kel2fram: 2 records written to out.txt; 0 warnings\n"
    told = ("kel2fram: the history of answers is not kept: %s cannot be opened as a folder: "
            "Not a directory\n" % os.path.join(folder, "w.txt"))
    for name, state, expected in (("fifo", fifo_state, last),
                                  ("a file", os.path.join(folder, "w.txt"), told + last)):
        run = Run(folder, dict(env, XDG_STATE_HOME=state))
        dialogue(run, [b"w.txt\r", b"out.txt\r", b"\r", b"\r", b"\r", b"\r", b"\r"])
        status, err, _ = run.finish()
        check(name, status == 0 and err == expected, "status %d: %r" % (status, err))
        os.remove(os.path.join(folder, "out.txt"))


def a_state_folder_not_there_yet_is_made():
    """A state folder named but not there yet (a fresh account) is made, 0700, with the
    folders above it that are missing; the next run recalls the answers."""
    folder, env = folder_with_weights()
    env["XDG_STATE_HOME"] = os.path.join(folder, "fresh", "state")
    for n in range(2):
        run = Run(folder, env)
        dialogue(run, [(UP if n else b"w.txt") + b"\r", b"out.txt\r", b"\r", b"\r", b"\r",
                       b"\r", b"\r"])
        status, err, _ = run.finish()
        check("fresh state %d" % n, status == 0 and "history" not in err, "status %d: %r" % (status, err))
        os.remove(os.path.join(folder, "out.txt"))
    modes = [stat.S_IMODE(os.stat(os.path.join(folder, *p)).st_mode)
             for p in (["fresh"], ["fresh", "state"], ["fresh", "state", "kel2fram"])]
    check("fresh state", modes == [0o700] * 3, str([oct(m) for m in modes]))
    lines = open(history_file(env)).read().splitlines()
    check("fresh state", lines.count("weight-list\tw.txt") == 1, str(lines))


def names_with_control_characters_stay_one_answer():
    """Tab never puts a line feed into the answer, and a listing shows control characters
    escaped: no name retitles the window or clears the screen."""
    folder, env = folder_with_weights()
    for name in ("q\nkg", "w\x1b]0;OWNED\x07\x1b[2J.txt"):
        open(os.path.join(folder, name), "w").close()
    run = Run(folder, env)
    dialogue(run, [b"w.txt\r", b"q\t\t\x15w\t\t\x15out.txt\r", b"\r", b"\r", b"\r", b"\r",
                   b"\r"])
    status, _, _ = run.finish()
    name = "control characters"
    check(name, status == 0, "status %d: %r" % (status, run.out[-800:]))
    check(name, b"q\\nkg" in run.out and b"w\\e]0;OWNED\\x07\\e[2J.txt" in run.out,
          "names not listed escaped: %r" % run.out[-800:])
    check(name, b"\x1b]0;OWNED" not in run.out and b"q\nkg" not in run.out, "raw name written")
    report = open(os.path.join(folder, "out.txt"), "rb").read()
    check(name, b"with input mass unit [tonnes]." in report, "answers shifted")


def interrupt_gives_the_terminal_back():
    folder, env = folder_with_weights()
    run = Run(folder, env)
    run.answer(ASK_INPUT, b"w.txt\r")
    run.answer(ASK_OUTPUT, b"out.txt\r")
    run.answer(ASK_UNIT, b"kg\x03")
    status, _, mode = run.finish()
    check("Ctrl-C", status == -2, "status %d" % status)
    check("Ctrl-C", mode[3] & termios.ECHO and mode[3] & termios.ICANON, "terminal left raw")
    check("Ctrl-C", sorted(os.listdir(folder)) == ["w.txt"], str(os.listdir(folder)))


cases = [slips_are_asked_again, end_of_input_ends_the_run, piped_runs_leave_the_history_alone]
if MODE == "editor":
    cases += [completion_keys_and_history, a_history_that_cannot_be_used_is_passed_over,
              a_state_folder_not_there_yet_is_made,
              names_with_control_characters_stay_one_answer, interrupt_gives_the_terminal_back]
for case in cases:
    try:
        case()
    except Exception as e:  # a hung or failed run fails this case, the others still run
        failures.append("%s: %s" % (case.__name__, e))
for f in failures:
    print("FAIL", f)
print("%d cases, %d failures (%s, TERM=%s)" % (len(cases), len(failures), MODE, TERM))
sys.exit(1 if failures else 0)
