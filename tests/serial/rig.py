# The rig's guest seen from this machine: boots it (guest.sh), talks to the desk inside on its
# console, reads the card's three lines, pulls and plugs the USB adapters, and follows every
# write to the UART's registers from QEMU's trace.
import os, re, select, socket, subprocess, tempfile, time
from collections import namedtuple

STALL_MS = 6000  # the link gives a line up that takes nothing for this long
# The devices an operator's PC names COM1 to COM3: on-board ports first, then USB adapters.
DEVICE = {1: "ttyS0", 2: "ttyACM0", 3: "ttyUSB0"}
# Enough to back each line up into its driver: the UART's 4 KB, the whole ACM line.
BURST = {1: 3000, 2: 20000}
# What the desk told, when it came (ms on this machine's clock), and how many writes to the
# UART's registers had been seen by then.
Event = namedtuple("Event", "at what detail writes")


# n frames over every channel in turn, the levels counting up from first.
def sweep(n, first=0):
    return [(i % 112 + 1, (first + i) % 256) for i in range(n)]


def wire(frames):
    return bytes(b for frame in frames for b in frame)


# What the guest handed the UART between two points of its register trace: the bytes, how many
# went while the line was not 9600 baud 8N1 (divisor 12; 8 bits, 1 stop bit, no parity, no
# break), and how often DTR (modem control bit 0) rose and fell.
def handed(writes, start, end=None):
    sent, off, raised, dropped, lcr, divisor, mcr = bytearray(), 0, 0, 0, 0, 0, 0
    for i, (reg, value) in enumerate(writes[:end]):
        counted = i >= start
        if reg == 3:
            lcr = value
        elif reg <= 1 and lcr & 0x80:
            divisor = divisor & 0xFF00 | value if reg == 0 else divisor & 0xFF | value << 8
        elif reg == 0 and counted:
            sent.append(value)
            off += divisor != 12 or lcr & 0x4F != 3  # parity's kind is moot unless it is on
        elif reg == 4:
            raised += counted and value & 1 > mcr & 1
            dropped += counted and value & 1 < mcr & 1
            mcr = value
    return bytes(sent), off, raised, dropped


# The far end of one of the guest's lines, read as the card reads it: at most `rate` bytes a
# second (960 is 9600 baud, 8N1; 0, as fast as it comes), saving nothing up beyond 50 ms worth
# while idle. A card that stops reading backs the line up into the guest; the ACM line's far
# end stops in the guest (`stop`), since the way out of it holds more than the line would.
class Line:
    def __init__(self, sock, rate=0, stop=None):
        self.sock, self.rate, self.stop, self.bytes = sock, rate, stop, bytearray()
        self.reading, self.allowance, self.last = True, 0.0, time.monotonic()

    def stall(self, on):
        if self.stop:
            self.stop(b"stop\n" if on else b"go\n")
        else:
            self.reading = not on

    def read(self):
        now = time.monotonic()
        self.allowance = min(self.allowance + self.rate * (now - self.last), self.rate / 20)
        self.last = now
        want = int(self.allowance) if self.rate else 65536
        if self.reading and want > 0:
            try:
                data = self.sock.recv(want, socket.MSG_DONTWAIT)
            except BlockingIOError:
                return
            self.allowance -= len(data)
            self.bytes += data


class Guest:
    # Boots a guest of the kernel unpacked in cache running program, with kernel_args; returns
    # once the desk in it is ready.
    def __init__(self, cache, program, *kernel_args):
        self.dir = tempfile.TemporaryDirectory()
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "guest.sh")
        self.qemu = subprocess.Popen(["bash", script, "boot", cache, self.dir.name, program, *kernel_args],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        os.set_blocking(self.qemu.stderr.fileno(), False)
        self.clock, self.events, self.writes, self.mark, self.told, self.traced = time.monotonic(), [], [], 0, b"", b""
        # QEMU opens the sockets one after the other, each waiting for its reader.
        self.console, uart, usb, acm, self.monitor = map(self.connect, ("console", "uart", "usb", "acm", "monitor"))
        self.uart, self.usb, self.acm = Line(uart, 960), Line(usb), Line(acm, stop=acm.sendall)
        if not self.wait("ready", timeout=120):
            raise RuntimeError("the desk in the guest did not start")

    def connect(self, name):
        sock, deadline = socket.socket(socket.AF_UNIX), time.monotonic() + 60
        while sock.connect_ex(os.path.join(self.dir.name, name)) != 0:
            if time.monotonic() > deadline or self.qemu.poll() is not None:
                raise RuntimeError(f"no guest socket {name}")
            time.sleep(0.02)
        return sock

    def close(self):
        self.qemu.kill()
        self.qemu.wait()

    def now(self):
        return (time.monotonic() - self.clock) * 1000

    def command(self, line):
        self.console.sendall(line.encode() + b"\n")

    def line(self, com):
        return (self.uart, self.acm, self.usb)[com - 1]

    # Pulls COMn's USB adapter out: the ACM gadget in the guest, the FTDI one in QEMU.
    def pull(self, com):
        if com == 2:
            self.acm.sock.sendall(b"pull\n")
        else:
            self.monitor.sendall(b"device_del adapter\n")

    def plug(self, com):
        if com == 2:
            self.acm.sock.sendall(b"plug\n")
        else:
            self.monitor.sendall(b"device_add usb-serial,id=adapter,chardev=adaptercard,bus=xhci.0\n")

    # Handles what comes from the guest within 10 ms.
    def pump(self):
        ready = select.select([self.console, self.qemu.stderr, self.monitor], [], [], 0.01)[0]
        self.trace()  # the registers' writes up to now, before any event
        if self.console in ready:
            self.told += self.console.recv(65536)
            *lines, self.told = self.told.split(b"\n")
            for line in lines:
                words = line.decode(errors="replace").strip().split(" ", 2)
                if words[0] == "EV" and len(words) > 1:
                    self.events.append(Event(self.now(), words[1], (words[2:] or [""])[0], len(self.writes)))
                else:
                    print("guest:", *words, flush=True)
        if self.monitor in ready:
            self.monitor.recv(65536)  # its prompts and echoes say nothing the rig needs
        for line in (self.uart, self.usb, self.acm):
            line.read()

    def trace(self):
        # QEMU's trace of the UART: "serial_write write addr 0x04 val 0x0b".
        self.traced += self.qemu.stderr.read() or b""
        *lines, self.traced = self.traced.split(b"\n")
        for line in lines:
            m = re.search(rb"addr 0x([0-9a-f]+) val 0x([0-9a-f]+)", line)
            if m:
                self.writes.append((int(m[1], 16), int(m[2], 16)))
            elif b"QEMU waiting for connection" not in line:
                print("qemu:", line.decode(errors="replace"), flush=True)

    def wait_until(self, done, timeout):
        deadline = time.monotonic() + timeout
        while not done() and time.monotonic() < deadline and self.qemu.poll() is None:
            self.pump()
        return done()

    def pause(self, seconds):
        self.wait_until(lambda: False, seconds)

    # The first event what whose detail starts with detail, from event start on (the mark when
    # None), waiting up to timeout seconds for it.
    def wait(self, what, detail="", timeout=10, start=None):
        def found():
            return next((e for e in self.events[self.mark if start is None else start:]
                         if e.what == what and e.detail.startswith(detail)), None)
        self.wait_until(found, timeout)
        return found()

    # Sends line and waits for the answer what (the line's own word when None) that follows it;
    # a desk that has stopped answering is waited for.
    def ask(self, line, what=None, timeout=45):
        start = len(self.events)
        self.command(line)
        return self.wait(what or line, timeout=timeout, start=start)

    def asked(self, what):
        answer = self.ask(what)
        return int(answer.detail) if answer else 10**9

    def count(self, what):
        return sum(e.what == what for e in self.events[self.mark:])

    # Presses COMn's button; the link's event once the port is open on the device an operator's
    # PC names so.
    def use(self, com):
        self.mark = len(self.events)
        self.command(f"port {com}")
        return self.wait("link", f"COM{com} open {DEVICE[com]}")

    def send(self, frames):
        for i in range(0, len(frames), 100):
            self.command("send " + " ".join(f"{c} {v}" for c, v in frames[i:i + 100]))

    # The card stops reading while a burst goes: the line backs up into the driver.
    def stall(self, com):
        self.line(com).stall(True)
        self.send(sweep(BURST[com]))
        self.pause(2)
