#!/usr/bin/env python3
# The demo as a native Wayland client, walked through the accessibility bus alone: the bus gives
# places relative to each window there, so every step is an action, a text or a value, and each
# is checked by the frames the virtual cards print.
#   tests/desktop/waylandsession.sh dbus-run-session -- /usr/bin/python3 tests/desktop/walk.py DEMO
import sys
from demo import *

proc, app = start(sys.argv[1])


def level(value, *frames):
    slider.queryValue().currentValue = value
    sent(*frames)


new("Slider", 12, "Front")
slider = control("Channel 12 level", ROLE_SLIDER)
for value in (1, 2, 255, 0):
    level(value, (1, 12, value))
new("Preset", 5, "Spots", ("Preset 1 name", "Full"), ("Preset 1 value", "255"))
press(control("Full"))
sent((1, 5, 255))
press(control("COM2", ROLE_RADIO_BUTTON))
control("COM2", ROLE_RADIO_BUTTON, STATE_CHECKED)
level(7, (2, 12, 7))
press(control("COM port open"))
level(8)
press(control("COM port closed"))
control("COM port open")
level(9, (2, 12, 9))
press(control("Help"))
answer("Instructions", "OK")
# The window list, made as the New menu opens: the slider chosen there takes the keyboard.
press(control("New", ROLE_MENU_ITEM), "ShowMenu")
press(control("1 Front (channel 12)", ROLE_MENU_ITEM))
control("Channel 12 level", ROLE_SLIDER, STATE_FOCUSED)
press(control("Exit"))
answer("Exit?", "No")
level(10, (2, 12, 10))
press(control("Exit"))
press(find(box("Exit?"), ROLE_PUSH_BUTTON, "Yes"))
assert proc.wait(10) == 0, f"Exit ended the program with status {proc.returncode}"
print("Wayland walk: 1 passed, 0 failed (13 steps, every frame as expected)")
