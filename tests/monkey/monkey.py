#!/usr/bin/env python3
# A careless operator at the demo for MONKEY_SECONDS: random actions through the X server
# only, each frame the virtual cards receive checked against what the desk could have sent.
#   tools/xsession.sh 4000x1300 tests/monkey/monkey.py build-asan/tools/lumidesk-demo
# SEED replays a run. A violation prints the seed and the last 50 actions and exits 1.
import collections, os, random, re, subprocess, sys, threading, time

SECONDS = float(os.environ.get("MONKEY_SECONDS") or 300)
SEED = int(os.environ.get("SEED") or random.SystemRandom().randrange(1 << 31))
rng = random.Random(SEED)

# In pixels of the main frame's client area (Fusion, 96 dpi): the menu bar and toolbar above
# the workspace, a control window's contents within its frame, and its outer width. The frame
# is made as wide as the screen allows and no more windows are made than fit in it, so the
# workspace never scrolls and every window stays where it was put.
TOP, INSET, FRAME = 48, (4, 24), (3900, 700)
WIDTH = {"slider": 72, "preset": 124}
ROOM = FRAME[0] - 20 - WIDTH["slider"]  # the closing slider always fits

# Answers with what the program must make of them, as the unit tests pin the readings down;
# None is refused. Most answers are ordinary; these are the careless and the hostile. ASCII
# only: xdotool types other characters by changing the keyboard map under the program's
# feet, and keys typed around such a change can reach Qt as other keys.
CHANNELS = [("0", None), ("113", None), ("-5", None), ("abc", None), ("", None), ("12abc", 12),
            (" 1 2", 12), ("7.5", 8), ("8.5", 8), ("112.5", 112), ("0.5", None), ("1e2", 100),
            ("1.12D2", 112), ("&H70", 112), ("&O160", 112), ("&o78", 7), ("+7", 7),
            ("0x10", None), ("inf", None), ("40000", None), ("1e400", None), ("- 5", None)]
LEVELS = [(" 7.5 ", 8), ("8.5", 8), ("2.55e2", 255), ("&hFF", 255), (".6", 1), ("+7", 7),
          ("-0.5", 0), ("255.5", None), ("-5", None), ("abc", None), ("", None), ("1e3", None),
          ("300", None), ("%s%n", None)]
NAMES = ["", "Front", "&Wash", "Back light", "<b>X</b>", "[*]", "%1 %2", "x" * 40]


class Violation(Exception):
    pass


def xdo(*args):
    # "type" takes every argument after it as text, so it must end a chain of commands.
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True,
                          text=True).stdout.strip()


class Monkey:
    def __init__(self, demo):
        self.log = open(os.environ.get("MONKEY_LOG", "/tmp/lumidesk-monkey.err"), "w+")
        # A small quarantine, so that the memory shows what the program holds, not what
        # AddressSanitizer holds back.
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:quarantine_size_mb=16",
                   UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
        self.proc = subprocess.Popen([demo], stdout=subprocess.PIPE, stderr=self.log,
                                     text=True, env=env)
        self.frames, self.plugs = collections.deque(), collections.deque()
        threading.Thread(target=self.read, daemon=True).start()
        self.actions = collections.deque(maxlen=50)
        self.count = self.checked = self.next_left = 0
        self.windows = []  # kind, ch, left, shown, buttons (a preset's levels)
        self.rows = [("0", 0)] * 10  # the preset dialog keeps what was typed
        self.port, self.lit, self.plugged = 1, True, {n: True for n in range(1, 6)}
        # The card of the open port was pulled out: the program learns of it when it writes.
        self.dead = False
        self.closed = {}  # when the monkey last closed each port
        find = ["search", "--sync", "--onlyvisible", "--name"]
        self.main = xdo(*find, "^Lumidesk$").split()[0]
        self.monitor = xdo(*find, "^Card monitor$").split()[0]
        self.seen = {self.main}
        xdo("windowsize", self.main, *FRAME, "windowmove", self.main, 0, 0,
            "windowmove", self.monitor, 0, FRAME[1] + 60)
        self.start = time.monotonic()

    def read(self):
        for line in self.proc.stdout:
            if m := re.match(r"COM(\d) ch (\d+) (?:= (\d+)|has no value)", line):
                value = None if m[3] is None else int(m[3])
                self.frames.append((time.monotonic(), int(m[1]), int(m[2]), value))
            else:
                self.plugs.append(line)

    def note(self, text):
        self.actions.append(f"{time.monotonic() - self.start:8.2f}s {text}")

    # -- what the monkey sees ----------------------------------------------------------------

    def top(self):
        wid = xdo("getactivewindow")
        return wid, xdo("getwindowname", wid)

    def within(self, seconds, done, failure):
        end = time.monotonic() + seconds
        while not (result := done()):
            if self.proc.poll() is not None:
                raise Violation(f"the program ended with status {self.proc.returncode}")
            if time.monotonic() > end:
                raise Violation(failure)
            time.sleep(0.02)
        return result

    def wait_for(self, title):
        # The window on top with this title; a box must be a new one, not the frame.
        def found():
            wid, name = self.top()
            return wid if name == title and (wid not in self.seen or title != "Lumidesk") else None

        self.seen.add(wid := self.within(2, found, f'no "{title}" window within 2 s'))
        return wid

    def answer(self, title, key="Return", click=None):
        box = self.wait_for(title)
        if rng.random() < 0.2:
            # While a box is open the desk takes no input: clicks on it must send nothing.
            time.sleep(0.3)
            self.check()
            for _ in range(rng.randint(1, 4)):
                self.click(*self.somewhere())
            time.sleep(0.3)
            if self.check():
                raise Violation(f'a click on the desk sent a frame while "{title}" was open')
        xdo(*(["mousemove", "--window", *click, "click", 1] if click else ["key", key]))
        self.within(2, lambda: self.top()[0] != box, f'"{title}" stayed open')

    def check(self):
        got = []
        while self.frames:
            t, port, ch, value = self.frames.popleft()
            self.checked += 1
            self.note(f"    COM{port} ch {ch} = {value}")
            if value is None:
                raise Violation(f"COM{port} received channel byte {ch} without its value")
            # A frame trails the click that sent it by the time it takes to reach the card and
            # the screen: a port closed less than a second before may still get one.
            if not (port == self.port and self.lit) and t - self.closed.get(port, -9) > 1:
                raise Violation(f"COM{port} received ch {ch} = {value} but was not open")
            if not any(w["kind"] == "slider" or value in w["buttons"]
                       for w in self.windows if w["ch"] == ch):
                raise Violation(f"ch {ch} = {value}: no window on ch {ch} could send it")
            got.append((port, ch, value))
        return got

    def expect(self, frame):
        self.within(2, lambda: frame in self.check(), "no frame COM%d ch %d = %d in 2 s" % frame)

    # -- where things are, and what changes --------------------------------------------------

    def click(self, x, y, *more):
        xdo("mousemove", "--window", self.main, x, y, "click", *(more or [1]))

    def at(self, w, x, y):
        return w["left"] + INSET[0] + x, TOP + INSET[1] + y

    def somewhere(self):
        # Boxes and dialogs open further right, so that these clicks cannot land in them.
        near = [w for w in self.windows if w["shown"] and w["left"] + WIDTH[w["kind"]] < 400]
        if near and rng.random() < 0.7:
            w = rng.choice(near)
            return self.at(w, rng.randrange(WIDTH[w["kind"]] - 8), rng.randrange(520))
        return 15 + 31 * rng.randrange(7), TOP - 15

    def set_open(self, port):
        if self.lit:
            self.closed[self.port] = time.monotonic()
        self.lit, self.dead = port is not None, False

    def lost(self):
        self.answer("Lumidesk")  # the port was lost
        self.set_open(None)

    # -- actions ---------------------------------------------------------------------------

    def act(self):
        wid, title = self.top()
        if wid not in (self.main, self.monitor):
            raise Violation(f'a window "{title}" came up that no action asked for')
        if wid != self.main:
            xdo("windowactivate", "--sync", self.main)
        shown = [w for w in self.windows if w["shown"]]
        kinds = {k: [w for w in shown if w["kind"] == k] for k in WIDTH}
        choices = [(self.pause, 2), (self.port_button, 2), (self.lamp, 1),
                   (lambda: self.box("help", 225, "alt+h", "Instructions", ["Return"]), 1),
                   (lambda: self.box("exit, No", 255, "alt+x", "Exit?", ["Escape", "alt+n"]), 1),
                   (lambda: self.monitor_button(False), 1), (lambda: self.monitor_button(True), 1)]
        if self.next_left + WIDTH["preset"] <= ROOM:
            choices.append((self.new, 4 if len(shown) < 4 else 1))
        for kind, weight in (("slider", 20), ("preset", 16)):
            if kinds[kind]:
                choices.append((lambda k=kind: getattr(self, k)(rng.choice(kinds[k])), weight))
        if shown:
            choices.append((lambda: self.close(rng.choice(shown)), 1))
        rng.choices(*zip(*choices))[0]()
        self.count += 1
        self.check()

    def pause(self):
        self.note(f"pause {(seconds := rng.choice([0.05, 0.2, 1.0]))}s")
        time.sleep(seconds)

    def new(self, kind=None, channel=None):
        kind = kind or rng.choice(list(WIDTH))
        by_menu = rng.random() < 0.3 and channel is None
        self.note(f"new {kind} by {'menu' if by_menu else 'shortcut'}")
        xdo("key", *(["alt+n", kind[0]] if by_menu else ["ctrl+" + kind[0]]))
        while True:
            ch = channel or rng.randint(1, 112)
            text, ch = (str(ch), ch) if channel or rng.random() < 0.6 else rng.choice(CHANNELS)
            self.note(f"  channel {text!r}")
            self.type_into(text)
            if ch:
                break
            self.answer("Lumidesk")  # the warning; the question comes again
        w = dict(kind=kind, ch=ch, left=self.next_left, shown=True, buttons=[])
        self.windows.append(w)
        self.next_left += WIDTH[kind]
        self.type_into("" if channel else rng.choice(NAMES))
        if kind == "preset":
            w["buttons"] = self.fill_presets()

    def type_into(self, text):
        box = self.wait_for("Lumidesk")
        xdo("key", "ctrl+a", "BackSpace", "type", "--delay", 2, "--", text)
        xdo("key", "Return")
        self.within(2, lambda: self.top()[0] != box, f"the input box took no answer {text!r}")

    def fill_presets(self):
        dialog = self.wait_for("Set Presets")
        for i in rng.sample(range(10), rng.randint(0, 10)):
            v = rng.randint(0, 255)
            self.rows[i] = (str(v), v) if v % 3 else rng.choice(LEVELS)
            for x, text in ((65, rng.choice(NAMES)), (135, self.rows[i][0])):
                xdo("mousemove", "--window", dialog, x, 42 + 30 * i, "click", 1, "key",
                    "ctrl+a", "BackSpace", "type", "--delay", 2, "--", text)
        self.note("  presets " + ", ".join(repr(r[0]) for r in self.rows))
        # Neither Enter nor Escape may end the dialog half filled; only OK does.
        xdo("key", rng.choice(["Return", "Escape"]))
        time.sleep(0.1)
        if self.top()[0] != dialog:
            raise Violation("Enter or Escape closed the preset details dialog")
        self.answer("Set Presets", click=(dialog, 86, 355))
        return [r[1] for r in self.rows]

    def slider(self, w):
        how = rng.choice(["up", "down", "trough", "drag", "keys", "wheel"])
        self.note(f"slider ch {w['ch']} at {w['left']}: {how}")
        ends = {"up": 16, "down": 444, "keys": rng.choice([16, 444])}
        x, y = self.at(w, 31, ends.get(how, rng.randint(36, 424)))
        if how == "drag":
            xdo("mousemove", "--window", self.main, x, y, "mousedown", 1, "sleep", 0.05,
                "mousemove", "--window", self.main, x, y + rng.randint(-300, 300),
                "sleep", rng.choice([0.05, 0.5]), "mouseup", 1)
        elif how == "wheel":
            x, y = self.at(w, rng.randrange(60), rng.randrange(520))
            self.click(x, y, "--repeat", rng.randint(1, 6), rng.choice([4, 5]))
        else:
            self.click(x, y)
            if how == "keys":
                xdo("key", "--delay", 5, *rng.choices(["Up", "Down", "Prior", "Next", "Home",
                                                       "End"], k=5))
        if self.dead:
            # Whether the level moved, and so whether the program wrote, is not known here.
            time.sleep(0.4)
            if (box := self.top()) and box[1] == "Lumidesk" and box[0] not in self.seen:
                self.lost()

    def preset(self, w):
        level = w["buttons"][i := rng.randrange(10)]
        self.note(f"preset ch {w['ch']} button {i} = {level}")
        self.click(*self.at(w, 59 if i == 0 else 56, (307 + 495 * i) // 12))
        if self.lit and level is None:
            self.answer("Lumidesk")  # the level cannot be sent
        elif self.dead:
            self.lost()
        elif self.lit:
            self.expect((self.port, w["ch"], level))

    def close(self, w):
        self.note(f"close ch {w['ch']} at {w['left']}")
        self.click(*self.at(w, *((31, 500) if w["kind"] == "slider" else (56, 440))))
        w["shown"] = False

    def port_button(self, n=None):
        n = n or rng.randint(1, 5)
        self.note(f"port {n} ({'card in' if self.plugged[n] else 'no card'})")
        self.set_open(None)
        self.port = n
        if self.plugged[n]:
            self.set_open(n)
        self.click(15 + 31 * (n - 1), TOP - 15)
        if not self.plugged[n]:
            self.answer("Lumidesk")  # cannot be opened

    def lamp(self):
        self.note(f"lamp ({'lit' if self.lit else 'unlit'}, COM{self.port})")
        fails = not self.lit and not self.plugged[self.port]
        self.set_open(self.port if not self.lit and not fails else None)
        self.click(172, TOP - 18)
        if fails:
            self.answer("Lumidesk")  # cannot be opened

    def box(self, what, x, key, title, answers):
        # The toolbar's button or the menu's access key; a box that must come, answered.
        self.note(what)
        self.click(x, TOP - 15) if rng.random() < 0.5 else xdo("key", key)
        self.answer(title, rng.choice(answers))

    def monitor_button(self, plug_in):
        n = self.port
        self.note(f"{'plug in' if plug_in else 'unplug'} COM{n} on the card monitor")
        self.plugs.clear()
        xdo("windowactivate", "--sync", self.monitor, "key", "alt+p" if plug_in else "alt+u")
        if self.plugged[n] != plug_in:
            # The button shows itself pressed for a moment; the card follows after it.
            says = f"COM{n} is {'/dev/' if plug_in else 'unplugged'}"
            self.within(2, lambda: any(p.startswith(says) for p in self.plugs),
                        f"COM{n}'s card did not follow the card monitor within 2 s")
            self.plugged[n] = plug_in
            self.dead = self.dead or (self.lit and not plug_in)

    # -- the run ---------------------------------------------------------------------------

    def rss(self):
        with open(f"/proc/{self.proc.pid}/status") as status:
            return int(re.search(r"VmHWM:\s+(\d+)", status.read())[1])

    def run(self):
        baseline = None
        while time.monotonic() - self.start < SECONDS:
            self.act()
            if not baseline and time.monotonic() - self.start >= min(60, SECONDS / 3):
                baseline = self.rss()
        # A fixed end: a new slider on a known channel, moved to a known level.
        self.note("closing script")
        self.monitor_button(True)
        xdo("windowactivate", "--sync", self.main)
        if self.dead or not self.lit:
            self.port_button(self.port)  # opens it afresh
        self.new("slider", 42)
        self.click(*self.at(self.windows[-1], 31, 16))
        self.expect((self.port, 42, 1))
        xdo("key", "Home")
        for _ in range(3):
            self.click(*self.at(self.windows[-1], 31, 444))
        self.expect((self.port, 42, 252))
        time.sleep(0.5)
        if self.check():
            raise Violation("frames after the closing slider's last")
        if (peak := self.rss()) > 1.5 * (baseline := baseline or peak):
            raise Violation(f"peak memory grew from {baseline} kB to {peak} kB")
        xdo("windowactivate", "--sync", self.main, "key", "alt+x")
        self.answer("Exit?")
        if self.proc.wait(5) != 0:
            raise Violation(f"Exit ended the program with status {self.proc.returncode}")
        return baseline, peak


def main():
    monkey = Monkey(sys.argv[1])
    try:
        baseline, peak = monkey.run()
    except Violation as violation:
        on_top = monkey.top()[1]
        monkey.proc.kill()
        monkey.log.seek(0)
        print(f"monkey: VIOLATION: {violation} ({on_top!r} on top)\nseed {SEED}; the last actions:",
              *monkey.actions, monkey.log.read()[-4000:], f"replay: make monkey SEED={SEED}",
              sep="\n")
        return 1
    monkey.log.seek(0)
    reports = len(re.findall(r"runtime error|Sanitizer", monkey.log.read()))
    print(f"monkey: {monkey.count / SECONDS:.1f} actions a second; peak RSS {baseline} kB "
          f"early on, {peak} kB at the end")
    print(f"{monkey.count} actions, {monkey.checked} frames checked, {reports} violations, "
          f"seed {SEED}")
    return 1 if reports else 0


if __name__ == "__main__":
    sys.exit(main())
