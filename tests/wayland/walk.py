#!/usr/bin/env python3
# The demo as a native Wayland client, walked through the accessibility bus alone: the bus gives
# places relative to each window there, so every step is an action, a text or a value, and each
# is checked by the frames the virtual cards print.
#   tools/waylandsession.sh dbus-run-session -- /usr/bin/python3 tests/wayland/walk.py DEMO
import os, subprocess, sys, threading, time
import pyatspi
from pyatspi import ROLE_ALERT, ROLE_DIALOG, ROLE_MENU_ITEM, ROLE_PUSH_BUTTON, ROLE_RADIO_BUTTON
from pyatspi import ROLE_SLIDER, ROLE_TEXT, STATE_CHECKED, STATE_FOCUSED, STATE_SHOWING

pyatspi.setTimeout(2000, 15000)  # a press that waits on a box it opened fails here
demo = subprocess.Popen([sys.argv[1], "--no-monitor"], stdout=subprocess.PIPE, text=True,
                        env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
frames = []  # every frame a card received, half ones ("has no value") too
threading.Thread(target=lambda: frames.extend(l for l in demo.stdout if " ch " in l),
                 daemon=True).start()


def within(done, failure, seconds=5):
    end = time.monotonic() + seconds
    while not (result := done()):
        assert demo.poll() is None, f"the program ended ({demo.returncode}) before: {failure}"
        assert time.monotonic() < end, failure
        time.sleep(0.05)
    return result


def find(acc, role, name=None, state=STATE_SHOWING):
    # A menu's items are there to be pressed while the menu is shut, so they are not showing.
    todo, state = [acc], None if role == ROLE_MENU_ITEM else state
    while todo:
        acc = todo.pop()
        shown = state is None or acc.getState().contains(state)
        if acc.getRole() == role and name in (None, acc.name) and shown:
            return acc
        todo += [child for child in acc if child is not None]


def act(acc, name="Press"):
    a = acc.queryAction()
    a.doAction(next(i for i in range(a.nActions) if a.getName(i) == name))


def sent(*expected):
    # Exactly these frames, in order, and nothing else.
    want = [f"COM{port} ch {ch} = {value}\n" for port, ch, value in expected]
    time.sleep(0.3)
    within(lambda: len(frames) >= len(want), f"frames {want}, got {frames}", 3)
    assert frames == want, f"frames {want}, got {frames}"
    frames.clear()


def answer(title, button, texts=()):
    # A question box is an alert to a screen reader, the others dialogs. A Yes ends the program.
    box = within(lambda: find(app, ROLE_DIALOG, title) or find(app, ROLE_ALERT, title),
                 f'no "{title}" box')
    for name, text in texts:
        find(box, ROLE_TEXT, name).queryEditableText().setTextContents(text)
    act(find(box, ROLE_PUSH_BUTTON, button))
    if button != "Yes":
        within(lambda: not box.getState().contains(STATE_SHOWING), f'"{title}" stayed open')


def new(item, channel, name):
    act(find(app, ROLE_MENU_ITEM, item))
    for text in (str(channel), name):
        answer("Lumidesk", "OK", [(None, text)])


def level(value, *expected):
    slider.queryValue().currentValue = value
    sent(*expected)


def button(name, role=ROLE_PUSH_BUTTON):
    return within(lambda: find(app, role, name), f'no "{name}"')


desk = pyatspi.Registry.getDesktop(0)
app = within(lambda: next((a for a in desk if a and a.get_process_id() == demo.pid), None),
             "no demo on the accessibility bus", 20)
new("Slider", 12, "Front")
slider = button("Channel 12 level", ROLE_SLIDER)
for value in (1, 2, 255, 0):
    level(value, (1, 12, value))
new("Preset", 5, "Spots")
answer("Set Presets", "OK", [("Preset 1 name", "Full"), ("Preset 1 value", "255")])
act(button("Full"))
sent((1, 5, 255))
act(button("COM2", ROLE_RADIO_BUTTON))
within(lambda: find(app, ROLE_RADIO_BUTTON, "COM2", STATE_CHECKED), "COM2 is not down")
level(7, (2, 12, 7))
act(button("COM port open"))
level(8)
act(button("COM port closed"))
button("COM port open")
level(9, (2, 12, 9))
act(button("Help"))
answer("Instructions", "OK")
# The window list, made as the New menu opens: the slider chosen there takes the keyboard.
act(find(app, ROLE_MENU_ITEM, "New"), "ShowMenu")
act(button("1 Front (channel 12)", ROLE_MENU_ITEM))
within(lambda: slider.getState().contains(STATE_FOCUSED), "the chosen slider has no focus")
act(button("Exit"))
answer("Exit?", "No")
level(10, (2, 12, 10))
act(button("Exit"))
answer("Exit?", "Yes")
assert demo.wait(10) == 0, f"Exit ended the program with status {demo.returncode}"
print("Wayland walk: 1 passed, 0 failed (13 steps, every frame as expected)")
