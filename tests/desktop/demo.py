# The demo as a screen reader meets it on the desktop's accessibility bus: its controls found by
# role and name, the frames its virtual cards print, a time limit on every wait.
import atexit, collections, os, re, subprocess, threading, time
import pyatspi
# Roles by their constants, never their names: at-spi2-core 2.56 calls a push button "button".
from pyatspi import *

# No call to the desk waits longer than 3 s: a press that waits on a box it opened fails.
pyatspi.setTimeout(3000, 15000)


def showing(acc):
    return acc.getState().contains(STATE_SHOWING)


def find(acc, role, name=None, state=STATE_SHOWING, every=False):
    def match(a):
        return a.getRole() == role and name in (None, a.name) and a.getState().contains(state)

    return (findAllDescendants if every else findDescendant)(acc, match)


class Demo:
    def __init__(self, *command):
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.proc = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, env=env)
        # Ended and reaped with the script, however it ends: a dead desk's lock files free its
        # ports only once no process of that number is left.
        atexit.register(self.stop)
        # Every frame a card receives: when, the COM number, channel and level (None for half).
        self.frames = collections.deque()
        threading.Thread(target=self.read, daemon=True).start()
        desk = pyatspi.Registry.getDesktop(0)
        ours = lambda: next((a for a in desk if a and a.get_process_id() == self.proc.pid), None)
        self.app = self.within(ours, "no demo on the accessibility bus", 20)

    def stop(self):
        self.proc.kill()
        self.proc.wait()

    def read(self):
        frame = re.compile(r"COM(\d) ch (\d+)( = (\d+))?")
        for m in filter(None, map(frame.match, self.proc.stdout)):
            self.frames.append((time.monotonic(), int(m[1]), int(m[2]), m[4] and int(m[4])))

    def take(self):
        # The frames received since the last call.
        return [self.frames.popleft() for _ in range(len(self.frames))]

    def within(self, done, failure, seconds=5):
        end = time.monotonic() + seconds
        while not (result := done()):
            assert self.proc.poll() is None, f"it ended ({self.proc.returncode}) before: {failure}"
            assert time.monotonic() < end, failure
            time.sleep(0.05)
        return result

    def box(self, title):
        # A box over the frame that has the keyboard: a question is an alert, the rest dialogs.
        up = lambda: next((a for a in self.app if a.getRole() != ROLE_FRAME and a.name == title
                           and a.getState().contains(STATE_ACTIVE)), None)
        return self.within(up, f'no "{title}" box')

    def answer(self, title, press):
        press(box := self.box(title))
        self.within(lambda: not showing(box), f'"{title}" stayed open')
