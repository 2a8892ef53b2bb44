# The demo as a screen reader meets it on the desktop's accessibility bus: its controls found by
# role and name and pressed by their actions, the frames its virtual cards print, a time limit
# on every wait. Shared by the Wayland walk and the held keys.
import atexit, collections, os, re, subprocess, threading, time
import pyatspi
# Roles by their constants, never their names: at-spi2-core 2.56 calls a push button "button".
from pyatspi import *

# No call to the desk waits longer than 3 s: a press that waits on a box it opened fails.
pyatspi.setTimeout(3000, 15000)
frames = collections.deque()  # (COM number, channel, level) of every frame a card receives


def start(demo):
    global proc, app
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    proc = subprocess.Popen([demo, "--no-monitor"], stdout=subprocess.PIPE, text=True, env=env)
    # Ended and reaped with the script, however it ends: a dead desk's lock files free its
    # ports only once no process of that number is left.
    atexit.register(lambda: proc.kill() or proc.wait())
    threading.Thread(target=read, daemon=True).start()
    ours = lambda: next((a for a in Registry.getDesktop(0) if a and a.get_process_id() == proc.pid), None)
    app = within(ours, "no demo on the accessibility bus", 20)
    return proc, app


def read():
    for m in filter(None, map(re.compile(r"COM(\d) ch (\d+) = (\d+)").match, proc.stdout)):
        frames.append(tuple(map(int, m.groups())))


def within(done, failure, seconds=5):
    end = time.monotonic() + seconds
    while not (result := done()):
        assert proc.poll() is None, f"it ended ({proc.returncode}) before: {failure}"
        assert time.monotonic() < end, failure
        time.sleep(0.05)
    return result


def sent(*expected):
    # Exactly these frames, whole and in order, and nothing else.
    time.sleep(0.3)
    within(lambda: len(frames) >= len(expected), f"no frames {expected}", 3)
    got = tuple(frames.popleft() for _ in range(len(frames)))
    assert got == expected, f"frames {expected}, got {got}"


def find(acc, role, name=None, state=STATE_SHOWING):
    return findDescendant(acc, lambda a: a.getRole() == role and name in (None, a.name)
                          and a.getState().contains(state))


def control(name, role=ROLE_PUSH_BUTTON, state=STATE_SHOWING):
    # A menu's items are there to be pressed while the menu is shut: not showing, but enabled.
    return within(lambda: find(app, role, name, state), f'no "{name}" {state}')


def press(acc, action="Press"):
    a = acc.queryAction()
    a.doAction(next(i for i in range(a.nActions) if a.getName(i) == action))


def box(title):
    # A box over the frame that has the keyboard: a question is an alert, the rest dialogs.
    up = lambda: next((a for a in app if a.getRole() != ROLE_FRAME and a.name == title
                       and a.getState().contains(STATE_ACTIVE)), None)
    return within(up, f'no "{title}" box')


def answer(title, button, *texts):
    b = box(title)
    for name, text in texts:
        find(b, ROLE_TEXT, name).queryEditableText().setTextContents(text)
    press(find(b, ROLE_PUSH_BUTTON, button))
    within(lambda: not b.getState().contains(STATE_SHOWING), f'"{title}" stayed open')


def new(item, channel, name, *presets):
    press(control(item, ROLE_MENU_ITEM, STATE_ENABLED))
    for text in (str(channel), name):
        answer("Lumidesk", "OK", (None, text))
    if presets:
        answer("Set Presets", "OK", *presets)
