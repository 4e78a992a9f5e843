#!/usr/bin/env python3
"""Plays one transcript through the game and compares what it writes with the recording.

    run.py KESSANDOR DIR            check DIR/output (and DIR/status, default 0)
    run.py --record KESSANDOR DIR   write them from this run, for a reviewed change only

The game runs in a session of its own with both streams on pipes, so it has no terminal:
it clears the window with a form feed and its key waits return at once."""
import difflib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile


def visible(line):
    """The line with its line end and every other control byte spelled out."""
    names = {"\n": "\\n", "\f": "\\f", "\t": "\\t", "\r": "\\r", "\x1b": "\\e"}
    return re.sub(r"[\x00-\x1f\x7f]",
                  lambda m: names.get(m[0], "\\x%02x" % ord(m[0])), line)


def main(argv):
    record = argv[1:2] == ["--record"]
    if len(argv) != 3 + record:
        sys.exit(__doc__)
    binary, folder = argv[1 + record], pathlib.Path(argv[2 + record])
    args = (folder / "args").read_text().split()
    with tempfile.TemporaryDirectory() as home:  # the player's files: never the real ones
        if (folder / "data").is_dir():
            shutil.copytree(folder / "data", home + "/data")
        env = dict(os.environ, XDG_DATA_HOME=home + "/data", XDG_STATE_HOME=home + "/state")
        run = subprocess.run([binary, *args], input=(folder / "input").read_bytes(), env=env,
                             capture_output=True, timeout=120, start_new_session=True)
    if record:
        (folder / "output").write_bytes(run.stdout)
        (folder / "status").unlink(missing_ok=True)
        if run.returncode != 0:
            (folder / "status").write_text("%d\n" % run.returncode)
        return 0
    status_file = folder / "status"
    status = int(status_file.read_text()) if status_file.exists() else 0
    expected = (folder / "output").read_bytes()
    ok = run.stdout == expected and run.returncode == status and not run.stderr
    if run.stdout != expected:
        def lines(data):
            return [visible(l) for l in
                    data.decode("utf-8", "backslashreplace").splitlines(keepends=True)]
        sys.stdout.writelines(l + "\n" for l in difflib.unified_diff(
            lines(expected), lines(run.stdout), "expected", "written", lineterm=""))
    if run.returncode != status:
        print("exit status %d, expected %d" % (run.returncode, status))
    if run.stderr:
        print("standard error:\n" + run.stderr.decode("utf-8", "backslashreplace"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
