#!/usr/bin/env python3
# A careless operator at the demo for MONKEY_SECONDS: it finds each control in the desktop's
# accessibility tree (name, role, place on the screen), clicks it with real X input or presses
# keys, some held for a second, checks what that must have done and every frame the virtual
# cards receive. Only the monkey's own Yes to the exit question may end the program. The last
# third of a run looks again in Qt's Windows style. SEED replays a run.
#   tools/xsession.sh 4000x1300 dbus-run-session -- /usr/bin/python3 tests/monkey/monkey.py DEMO
import collections, math, os, random, re, subprocess, sys, threading, time, types
import pyatspi
# Roles by their constants, never their names: at-spi2-core 2.56 calls a push button "button".
from pyatspi import ROLE_DIALOG, ROLE_FRAME, ROLE_LAYERED_PANE, ROLE_PUSH_BUTTON, ROLE_RADIO_BUTTON
from pyatspi import ROLE_SLIDER, ROLE_TEXT, STATE_CHECKED, STATE_FOCUSED, STATE_SHOWING

SECONDS = float(os.environ.get("MONKEY_SECONDS") or 300)
SEED = int(os.environ.get("SEED") or random.SystemRandom().randrange(1 << 31))
rng, actions = random.Random(SEED), collections.deque(maxlen=50)
pyatspi.setTimeout(3000, 15000)  # no question to the desk waits longer than 3 s
FRAME = re.compile(r"COM(\d) ch (\d+) (?:= (\d+)|has no value)")
# Replaces what a box holds by the next argument; what follows it goes on as a chain.
RETYPE = ("key", "ctrl+a", "BackSpace", "type", "--args", 1)
KEYS = ("Tab", "shift+Tab", "Left", "Right", "Up", "Down", "Prior", "Next", "Home", "End", "F6",
        "ctrl+Tab", "Escape", "Return", "space")


def xdo(*args):
    done = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=20)
    return done.stdout.strip()


def find(acc, role, name=None, every=False):
    found, todo = [], [acc]  # depth first: the first match, or every match
    while todo and (every or not found):
        acc = todo.pop()
        found += [acc] if acc.getRole() == role and name in (None, acc.name) else []
        todo += reversed([child for child in acc if child is not None])
    return found if every else (found or [None])[0]


def extents(acc):
    return acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


class Monkey:
    def __init__(self, demo, style, log):
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:quarantine_size_mb=16",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_STYLE_OVERRIDE=style)
        self.proc = subprocess.Popen([demo], stdout=subprocess.PIPE, stderr=log, text=True, env=env)
        self.frames, self.windows, self.count, self.checked = collections.deque(), [], 0, 0
        threading.Thread(target=self.read, daemon=True).start()
        self.rows, self.port, self.lit, self.closed = [0] * 10, 1, True, {}

    def run(self, seconds, hands):
        # The controls as a screen reader finds them, then the operator's hands until time is up.
        desk = pyatspi.Registry.getDesktop(0)
        ours = lambda: next((a for a in desk if a and a.get_process_id() == self.proc.pid), None)
        self.app = self.within(ours, "no demo on the accessibility bus", 20)
        self.area = self.within(lambda: find(self.app, ROLE_LAYERED_PANE), "no workspace")
        self.ports = {n: find(self.app, ROLE_RADIO_BUTTON, f"COM{n}") for n in range(1, 6)}
        self.lamps = [find(self.app, ROLE_PUSH_BUTTON, f"COM port {s}") for s in ("closed", "open")]
        # The frame as wide as the screen allows, for forty windows; the card monitor below.
        windows = ["search", "--sync", "--all", "--onlyvisible", "--pid", self.proc.pid, "--name"]
        self.main, monitor = xdo(*windows, "^Lumidesk$"), xdo(*windows, "^Card monitor$")
        xdo("windowsize", "--sync", self.main, int(xdo("getdisplaygeometry").split()[0]) - 100, 700,
            "windowmove", "--sync", self.main, 0, 0, "windowmove", "--sync", monitor, 0, 760)
        if hands:
            self.hands()
        start = time.monotonic()
        while time.monotonic() - start < seconds:
            self.act()
        actions.append("closing script: a slider on ch 42 up three times, then Exit")
        self.switch(self.port, True)
        self.new("s", 42)
        for _ in range(3):
            self.press(self.windows[-1], up=True)  # the last: 42 = 3
        time.sleep(0.5)
        assert not self.check(), "frames after the closing slider's last"
        xdo("key", "alt+x")
        self.answer("Exit?")  # Yes is the default
        status = self.proc.wait(5)
        assert status == 0, f"Exit ended the program with status {status}"

    def read(self):
        for m in filter(None, map(FRAME.match, self.proc.stdout)):
            self.frames.append((time.monotonic(), int(m[1]), int(m[2]), m[3] and int(m[3])))

    def within(self, done, failure, seconds=2):
        end = time.monotonic() + seconds
        while not (result := done()):
            assert self.proc.poll() is None, f"the program ended ({self.proc.returncode})"
            assert time.monotonic() <= end, failure
            time.sleep(0.02)
        return result

    def click(self, acc, at=None):
        e = extents(acc)
        y = e.y + (e.height // 2 if at is None else at % e.height)
        xdo("mousemove", e.x + e.width // 2, y, "click", 1)

    def answer(self, title, press=lambda: xdo("key", "Return")):
        # A box that must come up over the frame, answered by Enter, by typing, or by its OK.
        def up():
            w = xdo("getactivewindow")
            return w if w != self.main and xdo("getwindowname", w) == title else None

        shown = self.within(up, f'no "{title}" window')
        press()
        self.within(lambda: xdo("getactivewindow") != shown, f'"{title}" stayed open')

    def check(self):
        got = []
        while self.frames:  # whole, on the open port (or one closed under a second ago), and
            t, port, ch, value = self.frames.popleft()  # what a window on the channel can send
            self.checked += 1
            actions.append(f"    COM{port} ch {ch} = {value}")
            assert value is not None, f"COM{port} received channel byte {ch} without its value"
            opened = (port == self.port and self.lit) or t - self.closed.get(port, -9) <= 1
            assert opened, f"COM{port} received ch {ch} = {value} but was not open"
            sent = any((w.levels is None or value in w.levels) and t <= w.closed + 1
                       for w in self.windows if w.ch == ch)  # not from a window closed by then
            assert sent, f"ch {ch} = {value}: no window on ch {ch} could send it"
            got.append((port, ch, value))
        return got

    def act(self):
        xdo("windowactivate", "--sync", self.main)
        choices = [(lambda: self.switch(rng.randint(1, 5), True), 2),
                   (lambda: self.switch(self.port, not self.lit), 1)]
        right = lambda acc: extents(acc).x + extents(acc).width
        # A new window only where it will be in view.
        if not self.windows or right(self.windows[-1].acc) + 200 < right(self.area):
            choices.append((lambda: self.new(rng.choice("sp"), rng.randint(1, 112)), 2))
        for w in (w for w in self.windows if w.shown):
            choices += [(lambda w=w: self.press(w), 4), (lambda w=w: self.close(w), 0.1)]
        rng.choices(*zip(*choices + [(self.keys, 2)]))[0]()
        self.count += 1
        assert self.proc.poll() is None, f"the program ended ({self.proc.returncode}) unasked"
        self.check()

    def new(self, kind, ch):
        actions.append(f"new {kind} on ch {ch}")
        known = [w.acc for w in self.windows]
        xdo("key", "ctrl+" + kind)
        self.answer("Lumidesk", lambda: xdo(*RETYPE, ch, "key", "Return"))
        self.answer("Lumidesk")  # the name "Ch: N"
        if kind == "p":
            dialog = self.within(lambda: find(self.app, ROLE_DIALOG, "Set Presets"), "no dialog")
            for i in rng.sample(range(10), rng.randint(0, 10)):
                self.rows[i] = rng.randint(0, 255)
                row = find(dialog, ROLE_TEXT, f"Preset {i + 1} value")
                self.click(row)
                xdo(*RETYPE, self.rows[i])
                typed = lambda: row.queryText().getText(0, -1) == str(self.rows[i])
                self.within(typed, "the row lost its level")
            self.answer("Set Presets", lambda: self.click(find(dialog, ROLE_PUSH_BUTTON, "OK")))
        made = lambda: [f for f in find(self.area, ROLE_FRAME, every=True) if f not in known
                        and (kind == "p" or find(f, ROLE_SLIDER).name == f"Channel {ch} level")]
        acc = self.within(made, "no new window")[0]  # a new slider's is on its channel
        levels = list(self.rows) if kind == "p" else None  # a slider can send any level
        self.windows.append(types.SimpleNamespace(ch=ch, acc=acc, shown=True, levels=levels,
                                                  closed=math.inf))

    def press(self, w, up=None):
        # A preset button, or a slider's arrow at the very end of its bar in any style.
        if w.levels is not None:
            i = rng.randrange(10)
            level = w.levels[i]
            actions.append(f"preset ch {w.ch} button {i} = {level}")
            buttons = [b for b in find(w.acc, ROLE_PUSH_BUTTON, every=True) if b.name != "Close"]
            self.click(buttons[i])
        else:
            up = rng.random() < 0.5 if up is None else up
            bar = find(w.acc, ROLE_SLIDER)
            was = int(bar.queryValue().currentValue)
            level = min(255, max(0, was + (1 if up else -1)))
            actions.append(f"slider ch {w.ch} from {was} to {level}")
            self.click(bar, 3 if up else -4)
            self.within(lambda: bar.queryValue().currentValue == level, "the slider did not follow")
            if level == was:
                return
        frame = (self.port, w.ch, level)
        if self.lit:
            self.within(lambda: frame in self.check(), "no frame COM%d ch %d = %d" % frame)

    def close(self, w):
        actions.append(f"close ch {w.ch}")
        self.click(find(w.acc, ROLE_PUSH_BUTTON, "Close"))
        self.within(lambda: not w.acc.getState().contains(STATE_SHOWING), "Close left it showing")
        w.shown, w.closed = False, time.monotonic()

    def keys(self):
        # Keys on whatever has the focus, one now and then held for a second (auto-repeat). A
        # box one opened shows until answered: the exit question No, the help closed. Then the
        # desk is read again: the port down, the lamp, the windows still showing.
        for key in rng.choices(KEYS, k=rng.randint(1, 4)):
            held = rng.random() < 0.15
            actions.append(f"key {key}" + (" held" if held else ""))
            xdo(*(("keydown", key, "sleep", 1, "keyup", key) if held else ("key", key)))
            time.sleep(0.2)
            if (box := xdo("getactivewindow")) != self.main:
                title = xdo("getwindowname", box)
                assert title in ("Exit?", "Instructions"), f'a key opened "{title}"'
                actions.append(f'    "{title}" answered by Escape')
                self.answer(title, lambda: xdo("key", "Escape"))
            lit = self.lamps[1].getState().contains(STATE_SHOWING)
            port = next(n for n, b in self.ports.items() if b.getState().contains(STATE_CHECKED))
            if self.lit and (port, lit) != (self.port, True):
                self.closed[self.port] = time.monotonic()
            self.port, self.lit = port, lit
            for w in (w for w in self.windows if w.shown):
                if not w.acc.getState().contains(STATE_SHOWING):
                    actions.append(f"    ch {w.ch} closed")
                    w.shown, w.closed = False, time.monotonic()

    def hands(self):
        # Enter and Space held 1.2 s on Exit, a preset button and a Close, five times each, while
        # two busy processes load the machine and X's repeats reach Qt late: Exit leaves its
        # question showing, a preset sends once, a Close presses nothing else.
        busy = [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(2)]
        try:
            for key in ("Return", "space"):
                for _ in range(5):
                    xdo("windowactivate", "--sync", self.main)
                    self.new("p", rng.randint(1, 112))
                    w, others = self.windows[-1], [w for w in self.windows[:-1] if w.shown]
                    self.hold(find(self.app, ROLE_PUSH_BUTTON, "Exit"), key)
                    self.answer("Exit?", lambda: xdo("key", "Escape"))
                    preset = next(b for b in find(w.acc, ROLE_PUSH_BUTTON, every=True) if b.name != "Close")
                    self.hold(preset, key)
                    got = self.check()
                    assert got == [(1, w.ch, w.levels[0])], f"a held {key} sent {got}"
                    self.hold(find(w.acc, ROLE_PUSH_BUTTON, "Close"), key)
                    self.within(lambda: not w.acc.getState().contains(STATE_SHOWING), "not closed")
                    w.shown, w.closed = False, time.monotonic()
                    assert all(o.acc.getState().contains(STATE_SHOWING) for o in others)
                    assert not self.check(), f"a held {key} on Close pressed something else"
        finally:
            for p in busy:
                p.kill()

    def hold(self, acc, key):
        actions.append(f"{key} held on {acc.name}")
        xdo("windowactivate", "--sync", self.main)
        acc.queryComponent().grabFocus()
        self.within(lambda: acc.getState().contains(STATE_FOCUSED), f"{acc.name} has no focus")
        xdo("keydown", key, "sleep", 1.2, "keyup", key)
        time.sleep(0.5)

    def switch(self, port, lit):
        # A port button, or the lamp: the button must be down and the lamp say what it did.
        actions.append(f"COM{port} {'open' if lit else 'closed'}")
        # Opened by a port button, closed by the lamp; the port that is down but closed is opened
        # again by its button or by the lamp, half and half.
        by_button = rng.random() < 0.5 if lit and port == self.port and not self.lit else lit
        self.click(self.ports[port] if by_button else self.lamps[self.lit])
        if self.lit:
            self.closed[self.port] = time.monotonic()
        self.port, self.lit = port, lit
        shows = lambda: self.lamps[lit].getState().contains(STATE_SHOWING)
        self.within(lambda: self.ports[port].getState().contains(STATE_CHECKED) and shows(),
                    f"COM{port} is not as it should be")


def main():
    log, total, checked = open(os.environ.get("MONKEY_LOG", "/tmp/lumidesk-monkey.err"), "w+"), 0, 0
    for style, share in (("Fusion", 2 / 3), ("Windows", 1 / 3)):
        monkey = Monkey(sys.argv[1], style, log)
        try:
            monkey.run(SECONDS * share, style == "Fusion")
        except AssertionError as violation:
            monkey.proc.kill()
            print(f"monkey: VIOLATION in {style}: {violation}\nseed {SEED}; the last actions:",
                  *actions, open(log.name).read()[-4000:], f"replay: make monkey SEED={SEED}",
                  sep="\n")
            return 1
        total, checked = total + monkey.count, checked + monkey.checked
    reports = len(re.findall(r"runtime error|Sanitizer", open(log.name).read()))
    print(f"{total} actions, {checked} frames checked, {reports} violations, seed {SEED}")
    return 1 if reports else 0


sys.exit(main())
