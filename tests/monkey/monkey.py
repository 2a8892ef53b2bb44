#!/usr/bin/env python3
# A careless operator at the demo for MONKEY_SECONDS: it finds each control in the desktop's
# accessibility tree (name, role, place on the screen), clicks it with real X input, checks
# what the click must have done and every frame the virtual cards receive. The last third of
# a run looks again in Qt's Windows style. SEED replays a run.
#   tools/xsession.sh 4000x1300 dbus-run-session -- /usr/bin/python3 tests/monkey/monkey.py DEMO
import collections, os, random, re, subprocess, sys, threading, time
import pyatspi

SECONDS = float(os.environ.get("MONKEY_SECONDS") or 300)
SEED = int(os.environ.get("SEED") or random.SystemRandom().randrange(1 << 31))
rng, actions = random.Random(SEED), collections.deque(maxlen=50)
pyatspi.setTimeout(3000, 15000)  # no question to the desk waits longer than 3 s


def xdo(*args):  # "type" takes every later argument as text: it must end a chain
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=20).stdout.strip()


def find(acc, role, name=None, every=False):
    found, todo = [], [acc]  # depth first: the first match, or every match
    while todo and (every or not found):
        acc = todo.pop()
        found += [acc] if acc.getRoleName() == role and name in (None, acc.name) else []
        todo += reversed([child for child in acc if child is not None])
    return found if every else (found or [None])[0]


class Monkey:
    def __init__(self, demo, style, log):
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:quarantine_size_mb=16", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_STYLE_OVERRIDE=style)
        self.proc = subprocess.Popen([demo], stdout=subprocess.PIPE, stderr=log, text=True, env=env)
        self.frames, self.windows, self.count, self.checked = collections.deque(), [], 0, 0
        threading.Thread(target=self.read, daemon=True).start()
        self.rows, self.port, self.lit, self.closed = [0] * 10, 1, True, {}
        desk = pyatspi.Registry.getDesktop(0)
        self.app = self.within(lambda: next((a for a in desk if a and a.get_process_id() == self.proc.pid), None),
                               "no demo on the accessibility bus", 20)
        self.area = self.within(lambda: find(self.app, "layered pane"), "no workspace")
        self.ports = {n: find(self.app, "radio button", f"COM{n}") for n in range(1, 6)}
        self.lamps = {on: find(self.app, "push button", f"COM port {'open' if on else 'closed'}") for on in (1, 0)}
        # The frame as wide as the screen allows, for forty windows; the card monitor below.
        windows = ["search", "--sync", "--all", "--onlyvisible", "--pid", self.proc.pid, "--name"]
        self.main, monitor = xdo(*windows, "^Lumidesk$"), xdo(*windows, "^Card monitor$")
        xdo("windowsize", "--sync", self.main, int(xdo("getdisplaygeometry").split()[0]) - 100, 700,
            "windowmove", "--sync", self.main, 0, 0, "windowmove", "--sync", monitor, 0, 760)

    def read(self):
        for m in filter(None, map(re.compile(r"COM(\d) ch (\d+) (?:= (\d+)|has no value)").match, self.proc.stdout)):
            self.frames.append((time.monotonic(), int(m[1]), int(m[2]), m[3] and int(m[3])))

    def within(self, done, failure, seconds=2):
        end = time.monotonic() + seconds
        while not (result := done()):
            if self.proc.poll() is not None or time.monotonic() > end:
                raise AssertionError(failure if self.proc.poll() is None else f"the program ended ({self.proc.returncode})")
            time.sleep(0.02)
        return result

    def click(self, acc, at=None):
        e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        xdo("mousemove", e.x + e.width // 2, e.y + (e.height // 2 if at is None else at % e.height), "click", 1)

    def answer(self, title, text=None, ok=None):
        # A box that must come up over the frame, answered by typing and Enter, or by its OK.
        up = lambda: (w := xdo("getactivewindow")) != self.main and xdo("getwindowname", w) == title and w
        shown = self.within(up, f'no "{title}" window')
        xdo("key", "ctrl+a", "BackSpace", "type", "--", text) if text is not None else None
        self.click(ok) if ok else xdo("key", "Return")
        self.within(lambda: xdo("getactivewindow") != shown, f'"{title}" stayed open')

    def check(self):
        got = []
        while self.frames:  # whole, on the open port (or one closed under a second ago), and
            t, port, ch, value = self.frames.popleft()  # what a window on the channel can send
            self.checked += 1
            actions.append(f"    COM{port} ch {ch} = {value}")
            if value is None:
                raise AssertionError(f"COM{port} received channel byte {ch} without its value")
            if not (port == self.port and self.lit) and t - self.closed.get(port, -9) > 1:
                raise AssertionError(f"COM{port} received ch {ch} = {value} but was not open")
            if not any(w["levels"] is None or value in w["levels"] for w in self.windows if w["ch"] == ch):
                raise AssertionError(f"ch {ch} = {value}: no window on ch {ch} could send it")
            got.append((port, ch, value))
        return got

    def act(self):
        xdo("windowactivate", "--sync", self.main)
        choices = [(lambda: self.switch(rng.randint(1, 5), True), 2), (lambda: self.switch(self.port, not self.lit), 1)]
        right = lambda acc: (e := acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)).x + e.width
        if not self.windows or right(self.windows[-1]["acc"]) + 200 < right(self.area):
            choices.append((self.new, 2))  # only where the new window will be in view
        for w in (w for w in self.windows if w["shown"]):
            choices += [(lambda w=w: self.press(w), 4), (lambda w=w: self.close(w), 0.1)]
        rng.choices(*zip(*choices))[0]()
        self.count += 1
        self.check()

    def new(self, kind=None, ch=None):
        kind, ch = kind or rng.choice("sp"), ch or rng.randint(1, 112)
        actions.append(f"new {kind} on ch {ch}")
        known = [w["acc"] for w in self.windows]
        xdo("key", "ctrl+" + kind)
        self.answer("Lumidesk", str(ch))
        self.answer("Lumidesk")  # the name "Ch: N"
        if kind == "p":
            dialog = self.within(lambda: find(self.app, "dialog", "Set Presets"), "no dialog")
            for i in rng.sample(range(10), rng.randint(0, 10)):
                self.rows[i] = rng.randint(0, 255)
                self.click(row := find(dialog, "text", f"Preset {i + 1} value"))
                xdo("key", "ctrl+a", "BackSpace", "type", "--", self.rows[i])
                self.within(lambda: row.queryText().getText(0, -1) == str(self.rows[i]), "the row lost its level")
            self.answer("Set Presets", ok=find(dialog, "push button", "OK"))
        acc = self.within(lambda: next((f for f in find(self.area, "frame", every=True) if f not in known and
                                        (kind == "p" or find(f, "slider").name == f"Channel {ch} level")), None), "no new window")
        self.windows.append(dict(ch=ch, acc=acc, shown=True, levels=list(self.rows) if kind == "p" else None))

    def press(self, w, up=None):
        # A preset button, or a slider's arrow at the very end of its bar in any style.
        if w["levels"] is not None:
            level = w["levels"][i := rng.randrange(10)]
            actions.append(f"preset ch {w['ch']} button {i} = {level}")
            self.click([b for b in find(w["acc"], "push button", every=True) if b.name != "Close"][i])
        else:
            bar, up = find(w["acc"], "slider"), rng.random() < 0.5 if up is None else up
            was = int(bar.queryValue().currentValue)
            level = min(255, max(0, was + (1 if up else -1)))
            actions.append(f"slider ch {w['ch']} from {was} to {level}")
            self.click(bar, 3 if up else -4)
            self.within(lambda: int(bar.queryValue().currentValue) == level, "the slider did not follow")
            if level == was:
                return
        frame = (self.port, w["ch"], level)
        self.within(lambda: not self.lit or frame in self.check(), "no frame COM%d ch %d = %d" % frame)

    def close(self, w):
        actions.append(f"close ch {w['ch']}")
        self.click(find(w["acc"], "push button", "Close"))
        self.within(lambda: not w["acc"].getState().contains(pyatspi.STATE_SHOWING), "Close left it showing")
        w["shown"] = False

    def switch(self, port, lit):
        # A port button, or the lamp: the button must be down and the lamp say what it did.
        actions.append(f"COM{port} {'open' if lit else 'closed'}")
        self.click(self.ports[port] if lit and (port != self.port or self.lit or rng.random() < 0.5) else self.lamps[self.lit])
        if self.lit:
            self.closed[self.port] = time.monotonic()
        self.port, self.lit = port, lit
        self.within(lambda: self.ports[port].getState().contains(pyatspi.STATE_CHECKED) and
                    self.lamps[lit].getState().contains(pyatspi.STATE_SHOWING), f"COM{port} is not as it should be")

    def run(self, seconds):
        start = time.monotonic()
        while time.monotonic() - start < seconds:
            self.act()
        actions.append("closing script: a slider on ch 42 up three times, then Exit")
        self.switch(self.port, True)
        self.new("s", 42)
        for _ in range(3):
            self.press(self.windows[-1], up=True)  # the last: 42 = 3
        if time.sleep(0.5) or self.check():
            raise AssertionError("frames after the closing slider's last")
        xdo("key", "alt+x")
        self.answer("Exit?")  # Yes is the default
        if self.proc.wait(5) != 0:
            raise AssertionError(f"Exit ended the program with status {self.proc.returncode}")
        print(f"monkey: {self.count / seconds:.1f} actions a second")


def main():
    log, total, checked = open(os.environ.get("MONKEY_LOG", "/tmp/lumidesk-monkey.err"), "w+"), 0, 0
    for style, share in (("Fusion", 2 / 3), ("Windows", 1 / 3)):
        monkey = None
        try:
            monkey = Monkey(sys.argv[1], style, log)
            monkey.run(SECONDS * share)
        except AssertionError as violation:
            monkey and monkey.proc.kill()
            print(f"monkey: VIOLATION in {style}: {violation}\nseed {SEED}; the last actions:", *actions,
                  open(log.name).read()[-4000:], f"replay: make monkey SEED={SEED}", sep="\n")
            return 1
        total, checked = total + monkey.count, checked + monkey.checked
    reports = len(re.findall(r"runtime error|Sanitizer", open(log.name).read()))
    print(f"{total} actions, {checked} frames checked, {reports} violations, seed {SEED}")
    return 1 if reports else 0


if __name__ == "__main__":
    sys.exit(main())
