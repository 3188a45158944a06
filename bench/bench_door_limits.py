"""The door's two long limits, measured on the stand-in board of the
end-to-end tests: a caller whose DOOR32.SYS gives 546 minutes, served with
--max-minutes 2, and a caller served with no limit of the sysop's who never
presses a key (the door's default idle time). Both callers watch their
screen and type nothing; the script prints when each saw the one-minute
notice and when each door ended, and the log's lines. It takes about five
minutes; it fails no build on a number.

    QUIXMAG=build/quixmag /usr/bin/python3 bench/bench_door_limits.py
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from doorboard import EXIT_TEXT, TIME_NOTICE, Caller, Watch  # noqa: E402


def measure(name, limit, **kw):
    caller = Caller(**kw)
    watch = Watch(caller, [TIME_NOTICE], limit=limit)
    return name, caller, watch


def main():
    folder = tempfile.mkdtemp(prefix="quixmag-limits-")
    log = os.path.join(folder, "doors.log")
    runs = [
        measure("--max-minutes 2, drop file 546 minutes", 200, minutes=546, args=["--max-minutes", "2", "--log", log]),
        measure("no key, the default idle time", 400, minutes=546, args=["--log", log]),
    ]
    for name, caller, watch in runs:
        watch.join()
        notice = watch.seen.get(TIME_NOTICE)
        ended = watch.ended
        print(f"{name}: notice after "
              f"{'-' if notice is None else f'{notice - caller.started:.1f} s'}, the end after "
              f"{'-' if ended is None else f'{ended - caller.started:.1f} s'}, status {caller.proc.returncode}, "
              f"exit screen {'shown' if EXIT_TEXT in bytes(caller.output) else 'not shown'}")
        caller.close()
    with open(log, encoding="ascii") as f:
        print(f.read(), end="")


if __name__ == "__main__":
    main()
