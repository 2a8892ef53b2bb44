# make bench, on the kernel's real serial drivers: the rig's guest (a 16550 UART as COM1, a USB
# CDC-ACM adapter as COM2, a USB FTDI adapter as COM3) measured as an operator feels it. Appends
# a section to the results.
#   serialbench.py RIGDESK GUEST-CACHE RESULTS.md
import datetime, os, statistics, subprocess, sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "serial"))
from rig import STALL_MS, Guest, sweep  # noqa: E402

NAMES = {1: "8250 UART", 2: "USB CDC-ACM adapter", 3: "USB FTDI adapter"}


# Frames a second through the UART at line pace, between a tenth and nine tenths of a
# flood, clear of its start and end; and the longest the driver took nothing meanwhile.
def flood(g):
    g.use(1)
    g.asked("silence")
    got, start, n = g.uart.bytes, len(g.uart.bytes), 3000
    g.send(sweep(n))
    g.wait_until(lambda: len(got) >= start + n // 5, 10)
    first = g.now()
    g.wait_until(lambda: len(got) >= start + n * 9 // 5, 30)
    per_second = n * 0.8 * 1000 / (g.now() - first)
    g.wait_until(lambda: len(got) >= start + 2 * n, 10)
    return per_second, g.asked("silence")


# The card stops reading in a burst: ms to the box, and the longest event-loop block until
# a second after it.
def dead_line(g, com):
    g.use(com)
    g.asked("late")
    g.mark, stopped = len(g.events), g.now()
    g.stall(com)
    box = g.wait("box", f"COM{com} was lost", 60)
    g.pause(1)
    late = g.asked("late")
    g.line(com).stall(False)
    return (box.at - stopped if box else None), late


# The adapter pulled out, idle or as a slider moves and 2,000 frames go: ms to the unlit
# lamp and the longest event-loop block until a second after it. Plugged back, opened again.
def pull(g, com, moving):
    g.use(com)
    if moving:
        g.command("drag 9")
        g.pause(0.3)
        g.send(sweep(2000))
    g.asked("late")
    g.mark, pulled = len(g.events), g.now()
    g.pull(com)
    lamp = g.wait("lamp", "unlit", 5)
    g.pause(1)
    late = g.asked("late")
    g.command("still")
    # QEMU takes a moment to let the adapter go; plugged back at once, the name is still taken.
    g.pause(0.5)
    g.plug(com)
    g.pause(2.5)
    g.ask("lamp", "link")
    return (lamp.at - pulled if lamp else None), late


# The exit with a stalled line: ms to the last window gone and to the program's end, and
# the event loop's longest block on the way. The guest starts the desk again.
def exit_stalled(g, com):
    g.use(com)
    g.stall(com)
    g.asked("late")
    g.mark, asked = len(g.events), g.now()
    g.command("exit")
    ended = g.wait("ended", timeout=60)
    gone = min((e.at for e in g.events[g.mark:] if e.what in ("hidden", "ended")), default=None)
    late = g.wait("late")
    g.line(com).stall(False)
    g.wait("ready", timeout=60)
    return (gone - asked if gone else None), (ended.at - asked if ended else None), (int(late.detail) if late else None)


def ms(v):
    return "none" if v is None else f"{v:.0f} ms"


# The median and the worst of the runs that came to an end, and how many did not.
def spread(runs):
    done = sorted(v for v in runs if v is not None)
    missed = f"; {len(runs) - len(done)} never" if len(done) < len(runs) else ""
    return f"{statistics.median(done):.0f} ms (worst {done[-1]:.0f} ms, {len(done)} runs{missed})" if done else "none"


def main(rigdesk, cache, out):
    g = Guest(cache, rigdesk)
    try:
        per_second, silence = flood(g)
        rows = [("frames a second through the 8250 UART in a flood, at line pace", f"{per_second:.1f}", "480 (9600 8N1)"),
                ("longest the UART's driver took nothing on that healthy line", ms(silence), "below the 6 s stall window")]
        for com in (1, 2):
            to_box, late = dead_line(g, com)
            rows += [(f"{NAMES[com]}, dead line: the card stops reading, to the box", ms(to_box), f"{STALL_MS} ms stall window"),
                     (f"{NAMES[com]}, dead line: longest event-loop block, to a second after the box", ms(late), "1 s")]
        for com in (2, 3):
            for how, moving in (("idle", False), ("as a slider moves and 2,000 frames go", True)):
                runs = [pull(g, com, moving) for _ in range(3)]
                rows += [(f"{NAMES[com]} pulled out {how}: to the unlit lamp", spread([r[0] for r in runs]), "1 s"),
                         (f"{NAMES[com]} pulled out {how}: longest event-loop block", spread([r[1] for r in runs]), "1 s")]
        for com in (1, 2):
            gone, ended, late = exit_stalled(g, com)
            rows += [(f"{NAMES[com]}, stalled line: exit to the last window gone", ms(gone), "1 s"),
                     (f"{NAMES[com]}, stalled line: exit to the program's end", ms(ended), f"{STALL_MS} ms stall window"),
                     (f"{NAMES[com]}, stalled line: longest event-loop block on the way out", ms(late), "1 s")]
    finally:
        g.close()
    release = dict(line.split("=", 1) for line in open("/etc/os-release").read().split("\n") if "=" in line)
    # Debian 13 renamed the package libqt6core6t64.
    qt = subprocess.run(["dpkg-query", "-W", "-f", "${Version} ", "libqt6core6*"], capture_output=True, text=True).stdout.strip()
    kernel = os.listdir(os.path.join(cache, "root", "lib", "modules"))[0]
    report = (f"\n## On the kernel's real serial drivers, {release['PRETTY_NAME'].strip(chr(34))}\n\n"
              f"The rig's QEMU guest (TCG, 2 processors) on this release's kernel {kernel}, Qt {qt.split('+')[0]}, "
              f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%dT%H:%M:%SZ}; "
              "the UART's far end read at 960 bytes a second.\n\n| figure | measured | limit |\n|---|---|---|\n"
              + "".join(f"| {a} | {b} | {c} |\n" for a, b, c in rows))
    print(report)
    with open(out, "a") as f:
        f.write(report)


if __name__ == "__main__":
    main(*sys.argv[1:4])
