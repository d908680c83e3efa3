"""Single-instance mode: later starts hand their arguments to a running first instance (real exes under Wine).

The first instance runs the stand-in VM in record mode, its main waiting for a gate file; the test
itself plays the Java side: it reads each complete communication file and deletes it.
"""
import os
import re
import signal
import time

import pytest

import tovex
from files_util import all_logs, finish, linux_path, new_logs, option_value, read_log, windows_pid
from runtimes import make_runtime

SINGLE = "MAIN_CLASS = app.Main\nSINGLE_INSTANCE = 1\n"
COUNTER = "MAIN_CLASS = app.Main\n"


class FirstInstance:
    def __init__(self, appdir, tmp_path, conf=SINGLE, exe=None):
        self.started = tmp_path / "main started"
        self.gate = tmp_path / "main gate"
        self.gate.write_text("")
        self.rt = make_runtime(appdir / "jre", script=f"main touch {self.started}\nmain wait-gone {self.gate}\n")
        self.exe = exe or tovex.build_app(appdir, conf)
        self.env = {"TOVEX_JAVA_HOME": self.rt.home_win}
        self.procs = []

    def start(self, path=None, args=(), log=False):
        proc = tovex.start_exe(path or self.exe, list(args), env=self.env, log=log)
        self.procs.append(proc)
        return proc

    def start_first(self):
        self.first = self.start()
        tovex.wait_for(self.started.exists, 90, what="first instance in main")
        comm = option_value(self.rt.options(), "tovex.processCommFile")
        assert comm, self.rt.options()
        self.comm = linux_path(comm)
        self.comm.unlink(missing_ok=True)
        return self.first

    def stop(self):
        self.gate.unlink(missing_ok=True)
        if hasattr(self, "first") and self.first.poll() is None:
            try:
                self.first.wait(timeout=60)
            except Exception:  # noqa: BLE001
                pass
        finish(self.procs)
        if hasattr(self, "comm"):
            self.comm.unlink(missing_ok=True)


@pytest.fixture
def first(appdir, tmp_path):
    instance = FirstInstance(appdir, tmp_path)
    yield instance
    instance.stop()


def take_comm_file(path):
    """What the Java side does: a complete text (ending in a line feed) is read, then the file deleted."""
    try:
        data = path.read_bytes()
    except FileNotFoundError:
        return None
    if len(data) < 2 or len(data) % 2 or data[-2:] != b"\n\x00":
        return None
    path.unlink()
    return data.decode("utf-16-le")


def serve(first, procs, limit=240):
    """Plays the Java side until every process in procs has ended; returns the texts received."""
    received = []
    deadline = time.monotonic() + limit
    while any(p.poll() is None for p in procs):
        assert time.monotonic() < deadline, f"second starts still running after {limit} s"
        text = take_comm_file(first.comm)
        if text is not None:
            received.append(text)
        else:
            time.sleep(0.01)
    text = take_comm_file(first.comm)
    if text is not None:
        received.append(text)
    return received


def test_thirty_concurrent_starts_all_arrive_once(first):
    first.start_first()
    seconds = [first.start(args=[f"arg{i}", f"two words {i}"]) for i in range(30)]
    received = serve(first, seconds)
    assert [p.returncode for p in seconds] == [0] * 30
    expected = [f'arg{i} "two words {i}"\n' for i in range(30)]
    assert sorted(received) == sorted(expected), "every argument set once, none mixed or lost"
    assert first.first.poll() is None, "the first instance keeps running"
    assert not first.comm.exists()


NOT_HANDED_OVER = "The running instance of this application did not take over the arguments of this start."


def test_second_start_without_arguments_writes_a_line_feed_and_takes_it_back_when_nobody_reads(first):
    first.start_first()
    before = all_logs()
    second = first.start(log=True)
    tovex.wait_for(lambda: first.comm.exists(), 90, what="the communication file")
    assert first.comm.read_bytes() == "\n".encode("utf-16-le")
    # Nobody reads the file: after its 60-second wait the start takes it back; it had
    # nothing to hand over, so nothing is lost and it ends with 0.
    assert second.wait(timeout=180) == 0
    assert not first.comm.exists()
    log = read_log(new_logs(before)[-1])
    assert f"other pid {windows_pid(first.rt)}" in log.splitlines()
    assert "waiting for file deletion" in log.splitlines()
    assert log.splitlines()[-1] == "ERROR: arguments not handed over (the communication file was not taken)"


def test_slow_first_instance_gets_every_argument_set(first):
    """The first instance's Java side starts reading 20 s late (a cold VM on a slow machine): more than
    the 10 seconds a second start used to wait, after which it left its file and the next start
    failed with internal error 21, its arguments lost."""
    first.start_first()
    seconds = [first.start(args=[f"late{i}"]) for i in range(3)]
    tovex.wait_for(first.comm.exists, 90, what="the first communication file")
    time.sleep(20)   # the injected fault: nobody reads for 20 s
    received = serve(first, seconds)
    assert [p.returncode for p in seconds] == [0, 0, 0]
    assert sorted(received) == ["late0\n", "late1\n", "late2\n"]


def test_first_instance_killed_while_second_starts_wait(first):
    first.start_first()
    before = all_logs()
    seconds = [first.start(args=[f"waiting{i}"], log=True) for i in range(4)]
    # Every one of them has found the first instance and waits (one of them for the file's deletion).
    tovex.wait_for(lambda: sum("waiting for notification semaphore" in read_log(p) for p in new_logs(before)) == 4,
                   90, what="four waiting second starts")
    tovex.wait_for(first.comm.exists, 90, what="a communication file")
    assert all(p.poll() is None for p in seconds)
    os.killpg(first.first.pid, signal.SIGKILL)
    first.first.wait(timeout=60)
    for p in seconds:
        assert p.wait(timeout=120) == 0
    assert not first.comm.exists(), "the start that wrote the file removes it"


def last_line(path):
    lines = read_log(path).splitlines()
    return lines[-1] if lines else ""


def hold_the_turn(first, before, args):
    """Starts a second start and stops it (SIGSTOP) while it has the turn: its file is written and it
    waits for the file's deletion. Stopped, it cannot run out of its own 10 seconds. Returns (proc, log)."""
    holder = first.start(args=args, log=True)
    logs = tovex.wait_for(lambda: [p for p in new_logs(before) if last_line(p) == "waiting for file deletion"], 90,
                          what="the holder waiting for the deletion")
    os.killpg(holder.pid, signal.SIGSTOP)
    assert first.comm.exists() and holder.poll() is None
    return holder, logs[0]


def test_second_start_killed_while_it_holds_the_turn_blocks_nobody(first):
    first.start_first()
    before = all_logs()
    holder, holder_log = hold_the_turn(first, before, ["killed"])
    waiting = [first.start(args=[f"behind{i}"], log=True) for i in range(2)]
    tovex.wait_for(lambda: sum("waiting for notification semaphore" in read_log(p)
                               for p in new_logs(before) if p != holder_log) == 2, 90, what="two waiting starts")
    os.killpg(holder.pid, signal.SIGKILL)   # the wine process of that start
    assert holder.wait(timeout=60) == -signal.SIGKILL
    received = serve(first, waiting, limit=120)
    assert [p.returncode for p in waiting] == [0, 0]
    assert sorted(received) == ["behind0\n", "behind1\n", "killed\n"], "the killed start's text was complete"
    taken_over = [p for p in new_logs(before) if p != holder_log and
                  "the previous holder of the notification semaphore ended without releasing it" in read_log(p)]
    assert len(taken_over) == 1, "the start right behind the killed one takes its turn over"
    assert first.first.poll() is None


def test_second_start_waits_for_its_turn_at_most_sixty_seconds(first):
    first.start_first()
    before = all_logs()
    holder, holder_log = hold_the_turn(first, before, ["stopped"])
    try:
        first.comm.unlink()  # the Java side took the file; the stopped holder does not notice
        behind = first.start(args=["behind"], log=True)
        code = behind.wait(timeout=180)
        err = tovex.decode_text(behind.communicate()[1])
    finally:
        os.killpg(holder.pid, signal.SIGCONT)
    assert code == tovex.EXIT_FATAL
    assert NOT_HANDED_OVER in err and "\r\n\r\nbehind\r\n" in err, err
    log = [read_log(p) for p in new_logs(before) if p != holder_log][0]
    assert "ERROR: no turn for the hand-over within 60 seconds" in log.splitlines()
    assert not first.comm.exists(), "it wrote nothing"
    assert holder.wait(timeout=60) == 0, "the holder, running again, ends its own hand-over"


def test_stale_communication_file_names_the_arguments_of_each_waiting_start(first):
    first.start_first()
    first.comm.write_bytes("stale\n".encode("utf-16-le")[:-2])   # incomplete: never taken
    seconds = [first.start(args=[f"late{i}"]) for i in range(2)]
    results = [(p.wait(timeout=240), p.communicate()[1].decode("utf-8", "replace")) for p in seconds]
    # Neither is lost silently: each tells which arguments did not reach the running instance.
    for i, (code, err) in enumerate(results):
        assert code == tovex.EXIT_FATAL
        assert NOT_HANDED_OVER in err and err.rstrip().endswith(f"late{i}"), err
    assert first.comm.read_bytes() == "stale\n".encode("utf-16-le")[:-2], "someone else's file stays"


def test_differently_cased_path_hands_over_to_the_same_instance(first):
    first.start_first()
    path = tovex.wine_path(first.exe)
    shouted = "".join(c.upper() if c.isascii() else c for c in path)
    assert shouted != path
    second = first.start(path=shouted, args=["via", "SHOUTED"])
    received = serve(first, [second])
    assert second.returncode == 0
    assert received == ["via SHOUTED\n"]


def semaphore_names(log_text):
    return re.findall(r"^semaphore name (\S+), code", log_text, re.M)


def test_counter_mode_third_concurrent_start_gets_suffix_2(appdir, tmp_path):
    instance = FirstInstance(appdir, tmp_path, conf=COUNTER)
    try:
        names = []
        for n in range(3):
            before = all_logs()
            instance.start(log=True)
            tovex.wait_for(lambda: instance.rt.transcript().count("call main") == n + 1, 90, what=f"start {n} in main")
            logs = new_logs(before)
            assert len(logs) == 1
            names += semaphore_names(read_log(logs[0]))
        base = names[0][:-1]
        assert base.startswith("Local\\") and "\\" not in base[len("Local\\"):] and " " not in base
        assert names == [base + "0", base + "1", base + "2"]
        assert option_value(instance.rt.options(), "tovex.semaphoreName") == base + "2"
        assert option_value(instance.rt.options(), "tovex.processCommFile") is None
        instance.gate.unlink()
        assert [p.wait(timeout=120) for p in instance.procs] == [0, 0, 0]
    finally:
        instance.stop()
