#!/usr/bin/env python3
# The demo as a native Wayland client, walked through the accessibility bus alone: the bus gives
# places relative to each window there, so every step is an action, a text or a value, and each
# is checked by the frames the virtual cards print.
#   tools/waylandsession.sh dbus-run-session -- /usr/bin/python3 tests/wayland/walk.py DEMO
import os, re, subprocess, sys, threading, time
import pyatspi
from pyatspi import ROLE_ALERT, ROLE_DIALOG, ROLE_MENU_ITEM, ROLE_PUSH_BUTTON, ROLE_RADIO_BUTTON, ROLE_SLIDER
from pyatspi import ROLE_TEXT, STATE_CHECKED, STATE_FOCUSED, STATE_SHOWING

pyatspi.setTimeout(2000, 15000)  # a press that waits on a box it opened fails here
demo = subprocess.Popen([sys.argv[1], "--no-monitor"], stdout=subprocess.PIPE, text=True,
                        env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
frames = []
# Every frame a card received, half ones ("has no value") included; not the lines naming ports.
threading.Thread(target=lambda: frames.extend(l for l in demo.stdout if " ch " in l),
                 daemon=True).start()


def within(done, failure, seconds=5):
    end = time.monotonic() + seconds
    while not (result := done()):
        assert demo.poll() is None, f"the program ended ({demo.returncode}) before: {failure}"
        assert time.monotonic() < end, failure
        time.sleep(0.05)
    return result


def find(acc, role, name=None):
    # Showing, but for a menu's items, which are there to be pressed while the menu is shut.
    todo = [acc]
    while todo:
        acc = todo.pop()
        if acc.getRole() == role and name in (None, acc.name) and (
                role == ROLE_MENU_ITEM or showing(acc)):
            return acc
        todo += [child for child in acc if child is not None]
    return None


def showing(acc):
    return acc.getState().contains(STATE_SHOWING)


def press(acc):
    action = acc.queryAction()
    action.doAction(next(i for i in range(action.nActions) if action.getName(i) == "Press"))


def sent(*expected, seconds=3):
    # Exactly these frames, in order, and nothing else.
    want = [f"COM{port} ch {ch} = {value}\n" for port, ch, value in expected]
    time.sleep(0.3)
    within(lambda: len(frames) >= len(want), f"frames {want}, got {frames}", seconds)
    got = [frames.pop(0) for _ in range(len(frames))]
    assert got == want, f"frames {want}, got {got}"


def box(title):
    # A question box is an alert to a screen reader, the others dialogs.
    return within(lambda: find(app, ROLE_DIALOG, title) or find(app, ROLE_ALERT, title),
                  f'no "{title}" box')


def answer(title, button, texts=()):
    dialog = box(title)
    for name, text in texts:
        find(dialog, ROLE_TEXT, name).queryEditableText().setTextContents(text)
    press(find(dialog, ROLE_PUSH_BUTTON, button))
    within(lambda: not showing(dialog), f'"{title}" stayed open')


def new(item, channel, name):
    press(find(app, ROLE_MENU_ITEM, item))
    answer("Lumidesk", "OK", [(None, str(channel))])
    answer("Lumidesk", "OK", [(None, name)])


def level(value):
    slider.queryValue().currentValue = value


desk = pyatspi.Registry.getDesktop(0)
app = within(lambda: next((a for a in desk if a and a.get_process_id() == demo.pid), None),
             "no demo on the accessibility bus", 20)
new("Slider", 12, "Front")
slider = within(lambda: find(app, ROLE_SLIDER, "Channel 12 level"), "no slider on channel 12")
for value in (1, 2, 255, 0):
    level(value)
    sent((1, 12, value))
new("Preset", 5, "Spots")
answer("Set Presets", "OK", [("Preset 1 name", "Full"), ("Preset 1 value", "255")])
press(within(lambda: find(app, ROLE_PUSH_BUTTON, "Full"), "no preset button Full"))
sent((1, 5, 255))
press(find(app, ROLE_RADIO_BUTTON, "COM2"))
within(lambda: find(app, ROLE_RADIO_BUTTON, "COM2").getState().contains(STATE_CHECKED), "COM2")
level(7)
sent((2, 12, 7))
press(find(app, ROLE_PUSH_BUTTON, "COM port open"))
level(8)
sent()
press(within(lambda: find(app, ROLE_PUSH_BUTTON, "COM port closed"), "the lamp stayed lit"))
within(lambda: find(app, ROLE_PUSH_BUTTON, "COM port open"), "the lamp stayed unlit")
level(9)
sent((2, 12, 9))
press(find(app, ROLE_PUSH_BUTTON, "Help"))
answer("Instructions", "OK")
# The window list, made as the New menu opens: the slider chosen there takes the keyboard.
new_menu = find(app, ROLE_MENU_ITEM, "New").queryAction()
new_menu.doAction(next(i for i in range(new_menu.nActions) if new_menu.getName(i) == "ShowMenu"))
press(within(lambda: find(app, ROLE_MENU_ITEM, "1 Front (channel 12)"), "no window list"))
within(lambda: slider.getState().contains(STATE_FOCUSED), "the chosen slider has no focus")
press(find(app, ROLE_PUSH_BUTTON, "Exit"))
answer("Exit?", "No")
level(10)
sent((2, 12, 10))
press(find(app, ROLE_PUSH_BUTTON, "Exit"))
press(find(box("Exit?"), ROLE_PUSH_BUTTON, "Yes"))
assert demo.wait(10) == 0, f"Exit ended the program with status {demo.returncode}"
print("Wayland walk: 1 passed, 0 failed (13 steps, every frame as expected)")
