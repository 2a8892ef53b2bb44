#!/usr/bin/env python3
# Keys held down on a real X server while two busy processes load the machine, so that X's
# repeats often reach Qt unmarked: Enter and Space held 1.2 s on Exit, on a preset button and on
# a Close, five times each. Each acts once: Exit asks once, the preset sends once, the Close
# shuts its window and presses nothing after it, and the program never ends.
#   tests/desktop/xsession.sh 1600x1000 dbus-run-session -- /usr/bin/python3 tests/desktop/keys.py DEMO
import subprocess, sys
from demo import *

proc, app = start(sys.argv[1])
busy = [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(2)]
atexit.register(lambda: [p.kill() for p in busy])
# A window to take the keyboard when a Close is pressed: a stray press there sends a frame.
new("Preset", 1, "Spare", ("Preset 1 name", "Spare"))


def hold(acc, key):
    acc.queryComponent().grabFocus()
    within(lambda: acc.getState().contains(STATE_FOCUSED), f"{acc.name} has no focus")
    subprocess.run(["xdotool", "keydown", key, "sleep", "1.2", "keyup", key], check=True)
    time.sleep(0.5)


for n, key in enumerate(["Return", "space"] * 5, 2):
    new("Preset", n, "Spots", ("Preset 1 name", "Full"), ("Preset 1 value", "255"))
    hold(control("Exit"), key)
    answer("Exit?", "No")
    hold(control("Full"), key)
    sent((1, n, 255))
    hold(find(control("Spots", ROLE_FRAME), ROLE_PUSH_BUTTON, "Close"), key)
    within(lambda: not find(app, ROLE_FRAME, "Spots"), "Close left its window showing")
    sent()
    assert not [a for a in app if a.getRole() != ROLE_FRAME and a.getState().contains(STATE_SHOWING)]
print("held keys: 1 passed, 0 failed (Enter and Space on Exit, a preset and a Close, 5 times)")
