#!/usr/bin/env python3
# A careless operator at the demo for MONKEY_SECONDS, two thirds in the desk's own style, then
# in Qt's Windows style: it finds each control in the accessibility tree and clicks it with real
# X input, or presses keys wherever the focus is, some held so that they repeat. It checks what
# each action must have done and every frame the virtual cards receive; only its own Yes to the
# exit question may end the program. SEED replays a run.
#   tests/desktop/xsession.sh 4000x1300 dbus-run-session -- \
#       /usr/bin/python3 tests/desktop/monkey.py DEMO
import collections, math, os, random, subprocess, sys, time, types
from demo import *

SECONDS = float(os.environ.get("MONKEY_SECONDS") or 300)
SEED = int(os.environ.get("SEED") or random.randrange(1 << 31))
rng, tally = random.Random(SEED), collections.Counter()
KEYS = "Tab shift+Tab Left Right Up Down Prior Next Home End F6 ctrl+Tab Escape Return space"


def xdo(*args):
    return subprocess.check_output(["xdotool", *map(str, args)], text=True, timeout=20).strip()


def retype(text, *then):
    # What the box with the keyboard holds, replaced; then the keys that follow.
    xdo("key", "ctrl+a", "BackSpace", "type", "--args", 1, text, *then)


def click(acc, at=0.5):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdo("mousemove", e.x + e.width // 2, e.y + int(e.height * at), "click", 1)


def presets(w):
    return [b for b in find(w.acc, ROLE_PUSH_BUTTON, every=True) if b.name != "Close"]


class Monkey(Demo):
    def run(self, seconds, hands):
        # The frame as wide as the screen allows. The lamp stands for COM0.
        self.main = xdo("search", "--sync", "--onlyvisible", "--pid", self.proc.pid, "--name",
                        "^Lumidesk$")
        xdo("windowsize", "--sync", self.main, "97%", 700, "windowmove", self.main, 0, 0)
        self.ports = [None, *find(self.app, ROLE_RADIO_BUTTON, every=True)]
        self.windows, self.closed, self.rows = [], {}, [0] * 10
        self.port, self.lit = self.toolbar()
        if hands:
            self.hands()
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            self.act()
        click(find(self.app, ROLE_PUSH_BUTTON, "Exit"))
        self.box("Exit?")
        xdo("key", "Return")
        assert self.proc.wait(5) == 0, f"Exit ended the program with status {self.proc.returncode}"

    def act(self):
        xdo("windowactivate", "--sync", self.main)
        w = rng.choice(self.shown() or [None])
        # Twenty-five windows fit the frame's width.
        rng.choices([lambda: self.switch(rng.randint(0, 5)), lambda: self.new(rng.choice("sp")),
                     self.keys, lambda: self.press(w), lambda: self.close(w)],
                    [2, 2 * (len(self.windows) < 25), 2, 8 * bool(w), 0.3 * bool(w)])[0]()
        assert self.proc.poll() is None, f"the program ended ({self.proc.returncode}) unasked"
        self.check()
        tally["actions"] += 1

    def check(self):
        # Every frame whole, on the open port (or one closed under a second ago), with a level
        # that a window on its channel, not closed a second before, could send.
        got = []
        for t, port, ch, value in self.take():
            got.append(frame := (port, ch, value))
            tally["frames checked"] += 1
            assert value is not None, f"half a frame: {frame}"
            assert (port, True) == (self.port, self.lit) or t < self.closed.get(port, -9) + 1, \
                f"a frame on a closed port: {frame}"
            assert any((w.levels is None or value in w.levels) and t < w.closed + 1
                       for w in self.windows if w.ch == ch), f"a frame no window sends: {frame}"
        return got

    def shown(self):
        return [w for w in self.windows if w.closed == math.inf]

    def toolbar(self):
        # The port whose button is down, and whether the lamp is lit.
        down = [n for n in range(1, 6) if self.ports[n].getState().contains(STATE_CHECKED)]
        return *down, bool(find(self.app, ROLE_PUSH_BUTTON, "COM port open"))

    def moved(self, port, lit):
        # A port that closes may still send what it holds for a second.
        if self.lit:
            self.closed[self.port] = time.monotonic()
        self.port, self.lit = port, lit

    def switch(self, n):
        # A port button opens its port; the lamp closes the open one or opens the one down.
        lamp = find(self.app, ROLE_PUSH_BUTTON, f"COM port {('closed', 'open')[self.lit]}")
        click(self.ports[n] if n else lamp)
        self.moved(n or self.port, bool(n) or not self.lit)
        self.within(lambda: self.toolbar() == (self.port, self.lit), "the toolbar did not follow")

    def new(self, kind):
        known, ch = find(self.app, ROLE_FRAME, every=True), rng.randint(1, 112)
        xdo("key", "ctrl+" + kind)
        self.answer("Lumidesk", lambda box: retype(ch, "key", "Return"))
        self.answer("Lumidesk", lambda box: xdo("key", "Return"))
        if kind == "p":
            dialog = self.box("Set Presets")
            for i in rng.sample(range(10), rng.randint(0, 10)):
                self.rows[i] = rng.randint(0, 255)
                click(find(dialog, ROLE_TEXT, f"Preset {i + 1} value"))
                retype(self.rows[i])
            self.answer("Set Presets", lambda box: click(find(box, ROLE_PUSH_BUTTON, "OK")))
        made = lambda: [f for f in find(self.app, ROLE_FRAME, every=True) if f not in known]
        acc = self.within(made, "no window")[0]
        # A preset window sends the levels of its buttons; a slider any level.
        levels = list(self.rows) if kind == "p" else None
        self.windows.append(types.SimpleNamespace(ch=ch, acc=acc, levels=levels, closed=math.inf))

    def press(self, w):
        # A preset button, or a slider's arrow at the very end of its bar in any style.
        if w.levels:
            i = rng.randrange(10)
            click(presets(w)[i])
            level = w.levels[i]
        else:
            bar, up = find(w.acc, ROLE_SLIDER), rng.random() < 0.5
            was = int(bar.queryValue().currentValue)
            level = min(255, max(0, was + (1 if up else -1)))
            click(bar, 0.01 if up else 0.99)
            self.within(lambda: bar.queryValue().currentValue == level, "the slider did not follow")
            if level == was:
                return
        if self.lit:
            frame = (self.port, w.ch, level)
            self.within(lambda: frame in self.check(), f"no frame {frame}")

    def close(self, w):
        click(find(w.acc, ROLE_PUSH_BUTTON, "Close"))
        self.gone(w)

    def gone(self, w):
        self.within(lambda: not showing(w.acc), "Close left it showing")
        w.closed = time.monotonic()

    def keys(self):
        # Now and then one held for a second. A box a key opened shows until answered: the exit
        # question No, the help closed. Then the desk is read again.
        for key in rng.choices(KEYS.split(), k=rng.randint(1, 4)):
            held = rng.random() < 0.15
            xdo(*(["keydown", key, "sleep", 1, "keyup"] if held else ["key"]), key)
            time.sleep(0.2)
            if box := next((a for a in self.app if a.getRole() != ROLE_FRAME and showing(a)), None):
                assert box.name in ("Exit?", "Instructions"), f'{key} opened "{box.name}"'
                self.answer(box.name, lambda box: xdo("key", "Escape"))
            self.moved(*self.toolbar())
            for w in self.shown():
                if not showing(w.acc):
                    w.closed = time.monotonic()

    def hands(self):
        # Enter and Space held 1.2 s on Exit, a preset button and a Close, five times each, while
        # two busy processes load the machine and X's repeats reach Qt late: Exit leaves its
        # question showing, a preset sends once, a Close presses nothing else.
        busy = [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(2)]
        try:
            for key in ["Return"] * 5 + ["space"] * 5:
                self.new("p")
                w, others = self.windows[-1], self.shown()[:-1]
                self.hold(find(self.app, ROLE_PUSH_BUTTON, "Exit"), key)
                self.answer("Exit?", lambda box: xdo("key", "Escape"))
                self.hold(presets(w)[0], key)
                got = self.check()
                assert got == [(self.port, w.ch, w.levels[0])], f"a held {key} sent {got}"
                self.hold(find(w.acc, ROLE_PUSH_BUTTON, "Close"), key)
                self.gone(w)
                assert all(showing(o.acc) for o in others) and not self.check(), \
                    f"a held {key} on Close pressed something else"
        finally:
            for p in busy:
                p.kill()

    def hold(self, acc, key):
        xdo("windowactivate", "--sync", self.main)
        acc.queryComponent().grabFocus()
        self.within(lambda: acc.getState().contains(STATE_FOCUSED), f"{acc.name} has no focus")
        xdo("keydown", key, "sleep", 1.2, "keyup", key)
        time.sleep(0.5)


for style, share in ("Fusion", 2 / 3), ("Windows", 1 / 3):
    print(f"monkey: {style} style, seed {SEED} (make monkey SEED={SEED} replays it)")
    os.environ["QT_STYLE_OVERRIDE"] = style
    Monkey(sys.argv[1], "--no-monitor").run(SECONDS * share, style == "Fusion")
print(f"monkey: {dict(tally)}, no violations")
